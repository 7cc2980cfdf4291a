#include "engine/pdf/Destinations.h"

#include "engine/pdf/NamedDestinations.h"

namespace fb::pdf {

using OH = QPDFObjectHandle;

namespace {

bool isGoTo(OH action)
{
    return action.isDictionary() && action.getKey("/S").isName() && action.getKey("/S").getName() == "/GoTo";
}

} // namespace

bool hasLocalJump(OH item)
{
    if (!item.isDictionary()) return false;
    return !item.getKey("/Dest").isNull() || isGoTo(item.getKey("/A"));
}

OH localJump(OH item)
{
    if (!item.isDictionary()) return OH::newNull();
    OH dest = item.getKey("/Dest");
    if (dest.isNull()) {
        OH action = item.getKey("/A");
        if (isGoTo(action)) dest = action.getKey("/D");
    }
    return dest;
}

OH explicitDest(OH item, const NamedDestinations& names)
{
    OH dest = localJump(item);
    if (dest.isName() || dest.isString()) dest = names.find(dest);
    if (dest.isDictionary()) dest = dest.getKey("/D");
    if (dest.isArray() && dest.getArrayNItems() > 0) return dest;
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
        for (int i = 1; i < dest.getArrayNItems(); ++i)
            out.appendItem(dest.getArrayItem(i));
    } else {
        out.appendItem(OH::newName("/Fit"));
    }
    return out;
}

} // namespace fb::pdf
