#include "engine/pdf/PageCopier.h"

#include "engine/pdf/LinkFixer.h"
#include "engine/pdf/OutlineCopier.h"
#include "engine/pdf/PageMap.h"
#include "engine/pdf/PageTreeAppender.h"

#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <set>
#include <utility>
#include <vector>

namespace fb::pdf {

using OH = QPDFObjectHandle;

bool copyPages(QPDF& in, QPDF& out, long insertAfter, long firstPage, long count, bool bookmarks,
               AppendState* append)
{
    // Appending through the appender keeps each row's cost independent of
    // the output's size: qpdf's own insert rebuilds its list of all pages.
    const bool atEnd = append && append->appender && insertAfter == append->appender->count() - 1;
    std::vector<OH> inPages = in.getAllPages();
    long outCount = atEnd ? append->appender->count() : static_cast<long>(out.getAllPages().size());
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
        if (atEnd) {
            in.pushInheritedAttributesToPage();
            OH to = out.copyForeignObject(from);
            // The same source page twice: the second is a page of its own.
            if (to.getKey("/Parent").isDictionary()) to = out.makeIndirectObject(to.shallowCopy());
            append->appender->append(to);
            append->sourceCopies->insert(to.getObjGen());
            copied.emplace_back(from, to);
            pageMap.emplace(from.getObjGen(), to);
            continue;
        }
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
    if (atEnd && sourceHasForm) {
        // The form helper reads qpdf's list of all pages.
        out.updateAllPagesCache();
        append->formMerged = true;
    }
    for (auto& [from, to] : copied) {
        // Without a form in the source the copy already carries its annotations.
        if (atEnd && !sourceHasForm) break;
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
    if (atEnd) {
        // A copied link can only point at pages copied from the same source.
        localPages = *append->sourceCopies;
    } else {
        for (auto& p : out.getAllPages()) localPages.insert(p.getObjGen());
    }
    for (auto& [from, to] : copied) fixCopiedLinks(in, from, to, pageMap, localPages);

    if (bookmarks) copyOutline(in, out, pageMap);
    return true;
}

} // namespace fb::pdf
