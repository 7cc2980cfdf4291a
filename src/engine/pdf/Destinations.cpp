#include "engine/pdf/Destinations.h"

#include <qpdf/QPDFOutlineDocumentHelper.hh>

namespace fb::pdf {

namespace {

using OH = QPDFObjectHandle;

OH resolveNamed(QPDF& pdf, OH name)
{
    try {
        QPDFOutlineDocumentHelper helper(pdf);
        return helper.resolveNamedDest(name);
    } catch (...) {
        return OH::newNull();
    }
}

} // namespace

OH explicitDest(QPDF& pdf, OH item)
{
    if (!item.isDictionary()) return OH::newNull();
    OH dest = item.getKey("/Dest");
    if (dest.isNull()) {
        OH action = item.getKey("/A");
        if (action.isDictionary() && action.getKey("/S").isName() &&
            action.getKey("/S").getName() == "/GoTo")
            dest = action.getKey("/D");
    }
    if (dest.isName() || dest.isString()) dest = resolveNamed(pdf, dest);
    if (dest.isDictionary()) dest = dest.getKey("/D"); // named dest given as << /D [...] >>
    if (dest.isArray() && dest.getArrayNItems() > 0) return dest;
    return OH::newNull();
}

OH destPage(QPDF& pdf, OH item)
{
    OH dest = explicitDest(pdf, item);
    if (!dest.isArray()) return OH::newNull();
    OH page = dest.getArrayItem(0);
    if (page.isDictionary() && page.isIndirect()) return page;
    return OH::newNull();
}

OH retargetDest(OH dest, OH page)
{
    OH out = OH::newArray();
    out.appendItem(page);
    bool plain = dest.isArray() && dest.getArrayNItems() >= 2;
    if (plain) {
        for (int i = 1; i < dest.getArrayNItems(); ++i) {
            OH v = dest.getArrayItem(i);
            if (v.isIndirect() || !(v.isNumber() || v.isName() || v.isNull())) {
                plain = false;
                break;
            }
        }
    }
    if (plain) {
        for (int i = 1; i < dest.getArrayNItems(); ++i) out.appendItem(dest.getArrayItem(i));
    } else {
        out.appendItem(OH::newName("/Fit"));
    }
    return out;
}

} // namespace fb::pdf
