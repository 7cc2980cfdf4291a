#include "engine/pdf/PageCopier.h"

#include "engine/pdf/LinkFixer.h"
#include "engine/pdf/OutlineCopier.h"
#include "engine/pdf/PageMap.h"

#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <set>
#include <utility>
#include <vector>

namespace fb::pdf {

using OH = QPDFObjectHandle;

bool copyPages(QPDF& in, QPDF& out, long insertAfter, long firstPage, long count, bool bookmarks)
{
    std::vector<OH> outPages = out.getAllPages();
    std::vector<OH> inPages = in.getAllPages();
    long outCount = static_cast<long>(outPages.size());
    long inCount = static_cast<long>(inPages.size());
    if (insertAfter < -1 || insertAfter > outCount - 1) return false;
    if (firstPage < 0 || count < 1 || firstPage >= inCount || count > inCount - firstPage) return false;

    QPDFAcroFormDocumentHelper outForm(out);
    QPDFAcroFormDocumentHelper inForm(in);
    QPDFPageDocumentHelper outPagesHelper(out);

    std::vector<std::pair<OH, OH>> copied; // source page, copy
    PageMap pageMap;
    for (long i = 0; i < count; ++i) {
        OH from = inPages[static_cast<std::size_t>(firstPage + i)];
        long position = insertAfter + 1 + i;
        if (position >= static_cast<long>(out.getAllPages().size())) {
            outPagesHelper.addPage(QPDFPageObjectHelper(from), false);
        } else {
            OH before = out.getAllPages()[static_cast<std::size_t>(position)];
            outPagesHelper.addPageAt(QPDFPageObjectHelper(from), true, QPDFPageObjectHelper(before));
        }
        OH to = out.getAllPages()[static_cast<std::size_t>(position)];
        copied.emplace_back(from, to);
        pageMap.emplace(from.getObjGen(), to);
    }

    bool sourceHasForm = inForm.hasAcroForm();
    for (auto& [from, to] : copied) {
        if (from.getKey("/Annots").isArray() && from.getKey("/Annots").getArrayNItems() > 0) {
            try {
                outForm.fixCopiedAnnotations(to, from, inForm);
            } catch (...) {
                // Leave the annotations as the plain page copy carried them.
            }
        }
    }
    if (sourceHasForm) {
        try {
            if (inForm.getNeedAppearances()) outForm.setNeedAppearances(true);
        } catch (...) {
        }
    }
    std::set<QPDFObjGen> localPages;
    for (auto& p : out.getAllPages()) localPages.insert(p.getObjGen());
    for (auto& [from, to] : copied) fixCopiedLinks(in, from, to, pageMap, localPages);

    if (bookmarks) copyOutline(in, out, pageMap);
    return true;
}

} // namespace fb::pdf
