#include "engine/pdf/PageCopier.h"

#include "engine/pdf/LinkFixer.h"
#include "engine/pdf/OutlineCopier.h"
#include "engine/pdf/PageTreeAppender.h"
#include "engine/pdf/PdfOpen.h"
#include "engine/pdf/PdfTrees.h"
#include "common/Trace.h"

#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <cstdio>
#include <stdexcept>
#include <utility>
#include <vector>

namespace fb::pdf {

using OH = QPDFObjectHandle;

namespace {

// "1.7" → 1007; unreadable → 0.
int versionRank(const std::string& version)
{
    int major = 0;
    int minor = 0;
    if (std::sscanf(version.c_str(), "%d.%d", &major, &minor) < 1) return 0;
    return major * 1000 + minor;
}

// The page tree work: the copies of from, placed after output page insertAfter.
std::vector<OH> addPageCopies(QPDF& out, QPDF& in, const std::vector<OH>& from, long insertAfter,
                              PageTreeAppender* appender)
{
    if (appender) {
        // At the end: only the right edge of the tree changes, whatever its size.
        in.pushInheritedAttributesToPage();
        std::vector<OH> copies;
        for (const OH& page : from) {
            OH to = out.copyForeignObject(page);
            // The same source page twice: the second is a page of its own.
            if (to.getKey("/Parent").isDictionary()) to = out.makeIndirectObject(to.shallowCopy());
            appender->append(to);
            copies.push_back(to);
        }
        return copies;
    }
    QPDFPageDocumentHelper pages(out);
    std::vector<OH> copies;
    copies.reserve(from.size());
    for (std::size_t i = 0; i < from.size(); ++i) {
        std::size_t position = static_cast<std::size_t>(insertAfter + 1) + i;
        const auto& all = out.getAllPages();
        if (position >= all.size()) {
            pages.addPage(QPDFPageObjectHelper(from[i]), false);
        } else {
            OH before = all[position];
            pages.addPageAt(QPDFPageObjectHelper(from[i]), true, QPDFPageObjectHelper(before));
        }
        copies.push_back(out.getAllPages()[position]);
    }
    return copies;
}

// Whether a damaged annotation is, or hangs from or over, a node of the page
// tree. qpdf's fixing of copied annotations corrupts the source document on
// such a page (the crash comes when the source is closed), as `qpdf --pages`
// itself does; the page then keeps its annotations as the plain copy has them.
bool annotationTouchesPageTree(OH annot)
{
    if (annot.isPageObject() || annot.isPagesObject()) return true;
    if (!annot.isDictionary()) return false;
    OH kids = annot.getKey("/Kids");
    if (kids.isArray())
        for (auto& kid : kids.aitems())
            if (kid.isPageObject() || kid.isPagesObject()) return true;
    OH field = annot.getKey("/Parent");
    for (int depth = 0; depth < kMaxTreeDepth && field.isDictionary();
         ++depth, field = field.getKey("/Parent"))
        if (field.isPageObject() || field.isPagesObject()) return true;
    return false;
}

void fixFormFields(SourceIndex& source, QPDF& out, std::optional<QPDFAcroFormDocumentHelper>& outFormKept,
                   const std::vector<OH>& from, const std::vector<OH>& to, AppendState* append)
{
    QPDFAcroFormDocumentHelper& inForm = source.form();
    if (append && append->appender) {
        // Without a form in the source the copies already carry their annotations.
        if (!inForm.hasAcroForm()) return;
        // The form helper reads qpdf's list of all pages when it first reads
        // the form; it keeps itself right as fields go in after that.
        if (!outFormKept) out.updateAllPagesCache();
        append->formMerged = true;
    }
    if (!outFormKept) outFormKept.emplace(out);
    QPDFAcroFormDocumentHelper& outForm = *outFormKept;
    for (std::size_t i = 0; i < from.size(); ++i) {
        OH page = from[i];
        OH annots = page.getKey("/Annots");
        if (!annots.isArray() || annots.getArrayNItems() == 0) continue;
        bool damaged = false;
        for (auto& annot : annots.aitems())
            damaged = damaged || annotationTouchesPageTree(annot);
        if (damaged) continue;
        try {
            outForm.fixCopiedAnnotations(to[i], from[i], inForm);
        } catch (const std::exception& e) {
            trace(std::string("form fields kept as copied: ") + e.what());
            // Leave the annotations as the plain page copy carried them.
        }
    }
    try {
        if (inForm.hasAcroForm() && inForm.getNeedAppearances()) outForm.setNeedAppearances(true);
    } catch (const std::exception& e) {
        // The copy stands without the reader being asked to redraw fields.
        trace(std::string("form appearances: ") + e.what());
    }
}

} // namespace

CopySet& PageCopier::copySetFor(const std::shared_ptr<SourceIndex>& source, long firstPage, long count)
{
    CopySet& set = sets_[source.get()];
    bool again = false;
    for (long p = firstPage; p < firstPage + count && !again; ++p)
        again = set.copyOf(p).isInitialized();
    if (!set.source || again) {
        // A page copied a second time starts a new copy, with its own links and bookmarks.
        set = CopySet{};
        set.source = source;
        set.copyOfPage.resize(source->pages().size());
    }
    return set;
}

std::vector<OH> PageCopier::touched() const
{
    std::vector<OH> all = touchedLinks_;
    all.insert(all.end(), outline_.touched().begin(), outline_.touched().end());
    return all;
}

void PageCopier::finishOutlines()
{
    for (auto& [key, set] : sets_) {
        if (!set.bookmarks) continue;
        try {
            copyOutline(set, out_, outline_, true);
        } catch (const std::exception& e) {
            // Bookmarks are never worth failing the saved pages for.
            trace(std::string("bookmarks left out: ") + e.what());
        }
    }
}

void PageCopier::clearTouched()
{
    touchedLinks_.clear();
    outline_.clearTouched();
}

bool PageCopier::copy(const std::shared_ptr<SourceIndex>& source, long insertAfter, long firstPage,
                      long count, bool bookmarks, AppendState* append)
{
    PageTreeAppender* appender = append ? append->appender : nullptr;
    long outCount = appender ? appender->count() : static_cast<long>(out_.getAllPages().size());
    if (appender && insertAfter != outCount - 1) appender = nullptr; // qpdf's own insert, in the middle
    long inCount = static_cast<long>(source->pages().size());
    if (insertAfter < -1 || insertAfter > outCount - 1) return false;
    if (firstPage < 0 || count < 1 || firstPage >= inCount || count > inCount - firstPage) return false;

    std::vector<OH> from(source->pages().begin() + firstPage, source->pages().begin() + firstPage + count);
    // A page qpdf could not read whole would go in as null: the output would
    // lose a page and keep a hole in its page tree.
    for (long i = 0; i < count; ++i) {
        std::string why = unreadablePage(source->pdf(), from[static_cast<std::size_t>(i)], firstPage + i);
        if (!why.empty()) throw std::runtime_error(why);
    }
    if (!appender && append && append->appender) out_.updateAllPagesCache();
    std::vector<OH> to = addPageCopies(out_, source->pdf(), from, insertAfter, appender);
    for (long i = 0; i < count; ++i)
        if (!to[static_cast<std::size_t>(i)].isDictionary())
            throw std::runtime_error("page " + std::to_string(firstPage + i + 1) + " of " +
                                     source->pdf().getFilename() + " could not be copied whole");

    CopySet& set = copySetFor(source, firstPage, count);
    for (long i = 0; i < count; ++i)
        set.copyOfPage[static_cast<std::size_t>(firstPage + i)] = to[static_cast<std::size_t>(i)];

    fixFormFields(*source, out_, form_, from, to, appender ? append : nullptr);
    // Links and bookmarks are what make a document usable, but never worth
    // failing the copy of its pages for.
    for (long i = 0; i < count; ++i)
        linksArrived(set, firstPage + i, touchedLinks_);
    for (std::size_t i = 0; i < from.size(); ++i)
        fixCopiedLinks(set, from[i], to[i]);
    try {
        labels_.inserted(insertAfter + 1, count, outCount, source->labels(), firstPage);
    } catch (const std::exception& e) {
        // The pages keep their numbers; a damaged label tree is not worth the copy.
        trace(std::string("page labels left out: ") + e.what());
    }
    if (bookmarks) {
        try {
            copyOutline(set, out_, outline_);
        } catch (const std::exception& e) {
            // Bookmarks are never worth failing the copied pages for.
            trace(std::string("bookmarks left out: ") + e.what());
        }
    }
    if (versionRank(source->version()) > versionRank(minimumVersion_) &&
        versionRank(source->version()) > versionRank(out_.getPDFVersion()))
        minimumVersion_ = source->version();
    return true;
}

void PageCopier::raiseCatalogVersion()
{
    if (minimumVersion_.empty()) return;
    OH root = out_.getRoot();
    OH named = root.getKey("/Version");
    const std::string now = named.isName() ? named.getName().substr(1) : std::string();
    if (versionRank(now) >= versionRank(minimumVersion_)) return;
    root.replaceKey("/Version", OH::newName("/" + minimumVersion_));
}

} // namespace fb::pdf
