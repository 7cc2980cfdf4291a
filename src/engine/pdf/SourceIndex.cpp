#include "engine/pdf/SourceIndex.h"

#include "engine/pdf/Destinations.h"
#include "engine/pdf/Outline.h"
#include "common/Trace.h"

#include <set>

namespace fb::pdf {

using OH = QPDFObjectHandle;

SourceIndex::SourceIndex(std::shared_ptr<QPDF> pdf) : pdf_(std::move(pdf))
{
    pages_ = pdf_->getAllPages();
    for (std::size_t i = 0; i < pages_.size(); ++i)
        pageIndex_.emplace(pages_[i].getObjGen(), static_cast<long>(i));
    version_ = pdf_->getPDFVersion();
}

long SourceIndex::pageIndex(OH page) const
{
    if (!page.isIndirect()) return -1;
    auto it = pageIndex_.find(page.getObjGen());
    return it == pageIndex_.end() ? -1 : it->second;
}

OH SourceIndex::explicitDest(OH item)
{
    if (!names_) {
        try {
            names_.emplace(*pdf_);
        } catch (const std::exception& e) {
            trace(std::string("named destinations unreadable: ") + e.what());
            names_.reset();
            return OH::newNull();
        }
    }
    return pdf::explicitDest(item, *names_);
}

long SourceIndex::destPageIndex(OH dest) const
{
    if (!dest.isArray() || dest.getArrayNItems() < 1) return -1;
    return pageIndex(dest.getArrayItem(0));
}

const SourceOutline& SourceIndex::outline()
{
    if (outline_) return *outline_;
    outline_.emplace();
    SourceOutline& out = *outline_;
    std::set<QPDFObjGen> seen;
    // Depth first, bounded in depth and in the number of items.
    auto walk = [&](auto& self, OH parent, int depth, std::vector<int>& into) -> void {
        if (depth > kMaxOutlineDepth) return;
        for (OH item : outlineChildren(parent, seen)) {
            if (out.items.size() >= kMaxOutlineItems) return;
            int index = static_cast<int>(out.items.size());
            SourceOutlineItem entry;
            entry.item = item;
            try {
                entry.jumpsLocally = hasLocalJump(item);
                if (entry.jumpsLocally) entry.page = destPageIndex(explicitDest(item));
            } catch (const std::exception& e) {
                trace(std::string("bookmark jump unreadable: ") + e.what());
                entry.jumpsLocally = true; // an unreadable jump: treat as a page that never comes
                entry.page = -1;
            }
            out.items.push_back(std::move(entry));
            into.push_back(index);
            std::vector<int> kids;
            self(self, item, depth + 1, kids);
            out.items[static_cast<std::size_t>(index)].kids = std::move(kids);
        }
    };
    try {
        walk(walk, pdf_->getRoot().getKey("/Outlines"), 0, out.top);
    } catch (const std::exception& e) {
        trace(std::string("bookmarks read in part: ") + e.what());
        // Keep what was read before the damage.
    }
    return out;
}

QPDFAcroFormDocumentHelper& SourceIndex::form()
{
    if (!form_) form_.emplace(*pdf_);
    return *form_;
}

const PageLabelRanges& SourceIndex::labels()
{
    if (!labels_) {
        try {
            labels_ = readPageLabels(*pdf_);
        } catch (const std::exception& e) {
            trace(std::string("page labels unreadable: ") + e.what());
            labels_ = PageLabelRanges{};
        }
    }
    return *labels_;
}

} // namespace fb::pdf
