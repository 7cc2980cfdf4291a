#include "jobs/JobList.h"

#include "common/Text.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace fb {

namespace {
const char* const kSelectFirst = "Please select item first";

bool endsInPdf(const std::string& name)
{
    if (name.size() < 4) return false;
    std::string tail = name.substr(name.size() - 4);
    return tail == ".pdf" || tail == ".PDF";
}

// Byte-wise, as unsigned characters: a capital Z sorts before a small a.
int compareBytes(const std::string& a, const std::string& b)
{
    std::size_t n = std::min(a.size(), b.size());
    int c = n ? std::memcmp(a.data(), b.data(), n) : 0;
    if (c != 0) return c < 0 ? -1 : 1;
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}
} // namespace

std::string iconKeyFor(const std::string& fileName)
{
    auto slash = fileName.find_last_of('/');
    auto dot = fileName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    return toLowerAscii(fileName.substr(dot));
}

JobList::JobList(MessageBoxes& messages, ParametersPrompt& prompt, AcrobatPageCounter acrobatFallback)
    : messages_(messages), prompt_(prompt), acrobatFallback_(std::move(acrobatFallback))
{
}

void JobList::subscribe(JobListObserver* observer)
{
    if (observer) observers_.push_back(observer);
}

void JobList::unsubscribe(JobListObserver* observer)
{
    for (auto& o : observers_)
        if (o == observer) o = nullptr;
    if (notifying_ == 0) std::erase(observers_, nullptr);
}

template <class F> void JobList::notify(F&& call)
{
    // By index: an observer may subscribe or leave while it is being told.
    ++notifying_;
    for (std::size_t i = 0; i < observers_.size(); ++i)
        if (JobListObserver* o = observers_[i]) call(*o);
    if (--notifying_ == 0) std::erase(observers_, nullptr);
}

void JobList::notifyChanged(int row)
{
    notify([row](JobListObserver& o) { o.rowChanged(row); });
}

void JobList::notifyTotalItems()
{
    notify([](JobListObserver& o) { o.refreshTotalItems(); });
}

namespace {
// How long rows may arrive before the window gets a turn: short enough that
// nothing a person does waits noticeably, long enough that turns cost little.
constexpr auto kLoadSlice = std::chrono::milliseconds(25);
// A turn that costs more (a busy machine, a slow screen) spaces the turns out,
// so that drawing never takes more than a fifth of a load; never past the
// point where a key press would wait noticeably.
constexpr int kTurnSpacing = 4;
constexpr auto kLongestSlice = std::chrono::milliseconds(50);
} // namespace

void JobList::beginLoad()
{
    if (loadDepth_++ > 0) return;
    loadStopped_ = false;
    lastTurn_ = std::chrono::steady_clock::now();
    lastTurnCost_ = {};
    notifyLoadProgress(true);
}

void JobList::endLoad()
{
    if (--loadDepth_ > 0) return;
    loadStopped_ = false;
    notifyLoadProgress(false);
}

void JobList::stopLoad()
{
    if (loading()) loadStopped_ = true;
}

void JobList::showLoadedRows()
{
    if (loading()) notifyLoadProgress(true);
}

void JobList::notifyLoadProgress(bool active)
{
    const int rows = rowCount();
    notify([active, rows](JobListObserver& o) { o.loadProgress(active, rows); });
}

void JobList::loadPoint()
{
    if (!loading()) return;
    const auto now = std::chrono::steady_clock::now();
    const auto slice = std::clamp<std::chrono::steady_clock::duration>(kTurnSpacing * lastTurnCost_,
                                                                       kLoadSlice, kLongestSlice);
    if (now - lastTurn_ < slice) return;
    notifyTotalItems();
    notifyLoadProgress(true);
    if (loadPump_) loadPump_->dispatchAllPending();
    lastTurn_ = std::chrono::steady_clock::now();
    lastTurnCost_ = lastTurn_ - now;
}

std::uint32_t JobList::intern(const std::string& text)
{
    if (auto found = textIndex_.find(text); found != textIndex_.end()) return found->second;
    const auto index = static_cast<std::uint32_t>(texts_.size());
    texts_.push_back(text);
    textIndex_.emplace(texts_.back(), index);
    return index;
}

void JobList::forgetTextsIfEmpty()
{
    // With no rows no index is in use: texts of lists long gone do not pile up.
    if (!rows_.empty() || texts_.size() == 1) return;
    texts_.resize(1);
    textIndex_.clear();
    textIndex_.emplace(std::string_view(), 0);
}

const std::string& JobList::text(int row, int column) const
{
    const Row& r = rows_.at(row);
    if (column == kFileName) return r.fileName;
    if (column < 0 || column >= kColumnCount) throw std::out_of_range("job list column");
    return texts_[r.text[slot(column)]];
}

bool JobList::takesPartInRun(int row) const
{
    return JobEntry::takesPartInRun(text(row, kSelected), text(row, kAppendParameters),
                                    text(row, kOutputFile));
}

JobEntry JobList::entry(int row) const
{
    JobEntry e;
    for (int c = 0; c < kColumnCount; ++c)
        e.column(c) = text(row, c);
    return e;
}

std::string JobList::iconKey(int row) const
{
    return iconKeyFor(rows_.at(row).fileName);
}

void JobList::setText(int row, int column, const std::string& text)
{
    Row& r = rows_.at(row);
    if (column == kFileName)
        r.fileName = text;
    else if (column >= 0 && column < kColumnCount)
        r.text[slot(column)] = intern(text);
    else
        throw std::out_of_range("job list column");
    notifyChanged(row);
}

void JobList::setRowSelected(int row, bool on)
{
    if (rows_.at(row).highlighted == on) return;
    rows_[row].highlighted = on;
    notify([row](JobListObserver& o) { o.rowHighlightChanged(row); });
}

int JobList::firstSelectedRow() const
{
    for (int i = 0; i < rowCount(); ++i)
        if (rows_[i].highlighted) return i;
    return -1;
}

int JobList::selectedRowCount() const
{
    int n = 0;
    for (const auto& r : rows_)
        n += r.highlighted ? 1 : 0;
    return n;
}

void JobList::clearSelection()
{
    for (int i = 0; i < rowCount(); ++i) {
        if (rows_[i].highlighted) setRowSelected(i, false);
    }
}

void JobList::setAlwaysShowParameters(bool on)
{
    alwaysShowParameters_ = on;
    notify([on](JobListObserver& o) { o.alwaysShowParametersChanged(on); });
}

int JobList::rowPageCount(const std::string& path, int row)
{
    int count = pageCounts_.probe(path, acrobatFallback_);
    if (count == -1 && row >= 0 && row < rowCount()) setText(row, kSelected, "No");
    return count;
}

void JobList::writeParameters(int row, const RowValues& values)
{
    // The dialog pumps events: the row may have gone meanwhile.
    if (row < 0 || row >= rowCount()) return;
    Row& r = rows_[row];
    for (const auto& [column, field] : kRowValueColumns)
        r.text[slot(column)] = intern(values.*field);
    notifyChanged(row);
}

bool JobList::refuseTooLong(const std::string& what, const std::string& text)
{
    if (text.size() <= kMaxTextLength) return false;
    // Never cut a text short: a shortened path would point at another file.
    messages_.show(what + " too long (more than 4095 characters): " + text.substr(0, 80) + "...",
                   applicationName(), MessageButtons::Ok, MessageIcon::Warning);
    return true;
}

int JobList::AddJobEntry(const std::string& fileName, int selected, const RowValues& values)
{
    if (!endsInPdf(fileName)) return -1;
    // A stopped load keeps the rows it has and takes no more.
    if (loadStopped_) return -1;
    if (refuseTooLong("File name", fileName)) return -1;
    for (const auto& [column, field] : kRowValueColumns)
        if (refuseTooLong(columnInfo(column).header, values.*field)) return -1;
    int row = rowCount();
    notify([row](JobListObserver& o) { o.rowAboutToBeInserted(row); });
    Row r;
    r.fileName = fileName;
    r.text[slot(kSelected)] = intern(selected == 1 ? "Yes" : "No");
    rows_.push_back(std::move(r));
    notify([row](JobListObserver& o) { o.rowInserted(row); });

    int count = rowPageCount(fileName, row);
    rows_[row].text[slot(kPages)] = intern(std::to_string(count));
    rows_[row].text[slot(kStatus)] = intern("Ready.");
    writeParameters(row, values);
    if (count == -1) setText(row, kStatus, "No File.");

    if (values.appendParameters.empty()) {
        // The new row is on screen before the dialog covers the window. Rows
        // that need no dialog (none, or one that confirms itself) are painted
        // with the rest: a repaint per row would cost more than the row.
        if (alwaysShowParameters_) notify([](JobListObserver& o) { o.repaintNow(); });
        ParametersAnswer answer = prompt_.prompt({fileName, count, std::nullopt, alwaysShowParameters_});
        if (answer.ok) {
            if (answer.useSameParameters) setAlwaysShowParameters(false);
            writeParameters(row, answer.values);
        }
    }
    loadPoint();
    return 1;
}

void JobList::ToggleSelected()
{
    int row = firstSelectedRow();
    if (row < 0) return;
    if (text(row, kSelected) == "Yes") {
        setText(row, kSelected, "No");
        setText(row, kStatus, "");
    } else {
        setText(row, kSelected, "Yes");
        setText(row, kStatus, "Ready.");
    }
}

void JobList::UpdateJobEntry(bool forceDialog)
{
    int row = firstSelectedRow();
    if (row < 0) {
        messages_.show(kSelectFirst, applicationName());
        return;
    }
    const JobEntry e = entry(row);
    ParametersAnswer answer = prompt_.prompt(
        {e.fileName, parseLeadingInt(e.pages), e.values(), forceDialog || alwaysShowParameters_});
    if (!answer.ok) return;
    if (answer.useSameParameters) setAlwaysShowParameters(false);
    writeParameters(row, answer.values);
}

void JobList::DeleteSelectedEntries()
{
    if (firstSelectedRow() < 0) {
        messages_.show(kSelectFirst, applicationName());
    } else {
        // One pass: erasing row by row costs a copy of the rest of the list
        // each time, which on a list of 100,000 rows takes minutes. A view
        // follows it as one reset, for the same reason.
        notify([](JobListObserver& o) { o.rowsAboutToBeReset(); });
        std::vector<int> removedAt; // each row's index at the moment it goes, in order
        int kept = 0;
        const int total = rowCount();
        for (int i = 0; i < total; ++i) {
            if (rows_[i].highlighted) {
                const int row = i - static_cast<int>(removedAt.size());
                removedAt.push_back(row);
                if (focused_ == row)
                    focused_ = -1;
                else if (focused_ > row)
                    --focused_;
                continue;
            }
            if (kept != i) rows_[kept] = std::move(rows_[i]);
            ++kept;
        }
        rows_.resize(kept);
        forgetTextsIfEmpty();
        notify([](JobListObserver& o) { o.rowsReset(); });
    }
    notifyTotalItems();
}

void JobList::ClearAll()
{
    notify([](JobListObserver& o) { o.rowsAboutToBeReset(); });
    rows_.clear();
    forgetTextsIfEmpty();
    focused_ = -1;
    notify([](JobListObserver& o) { o.rowsReset(); });
    notifyTotalItems();
}

void JobList::MoveEntryUp()
{
    moveSelectedBy(-1);
}

void JobList::MoveEntryDown()
{
    moveSelectedBy(1);
}

void JobList::moveSelectedBy(int step)
{
    int s = firstSelectedRow();
    clearSelection();
    int t = s + step;
    if (s < 0 || rowCount() < 2 || t < 0 || t >= rowCount()) return;
    std::swap(rows_[t].fileName, rows_[s].fileName);
    std::swap(rows_[t].text, rows_[s].text);
    notifyChanged(s);
    notifyChanged(t);
    setRowSelected(t, true);
    focused_ = t;
}

void JobList::SortEntries(int column, bool ascending, int first, int last)
{
    if (column < 0 || column >= kColumnCount) return;
    if (last == -1) last = rowCount() - 1;
    if (first < 0 || last >= rowCount()) return;
    if (first >= last) return;
    notify([](JobListObserver& o) { o.rowsAboutToBeReset(); });
    sortRange(column, ascending, first, last);
    notify([](JobListObserver& o) { o.rowsReset(); });
}

// Hand-written on purpose: rows that compare equal end up in the order this
// quicksort leaves them, which std::sort would not keep.
void JobList::sortRange(int column, bool ascending, int first, int last)
{
    if (first >= last) return;
    const std::string pivot = text((first + last) / 2, column);
    // "below" in ascending order is "above" in descending order.
    auto before = [&](int row) {
        int c = compareBytes(text(row, column), pivot);
        return ascending ? c < 0 : c > 0;
    };
    auto after = [&](int row) {
        int c = compareBytes(text(row, column), pivot);
        return ascending ? c > 0 : c < 0;
    };
    int i = first, j = last;
    while (j >= i) {
        while (i < last && before(i))
            ++i;
        if (first < j) {
            while (j > first && after(j))
                --j;
        }
        if (j >= i) {
            if (text(i, column) != text(j, column)) {
                std::swap(rows_[i], rows_[j]);
                if (focused_ == i)
                    focused_ = j;
                else if (focused_ == j)
                    focused_ = i;
            }
            ++i;
            --j;
        }
    }
    if (first < j) sortRange(column, ascending, first, j);
    if (i < last) sortRange(column, ascending, i, last);
}

void JobList::RefreshPageCounts()
{
    for (int i = 0; i < rowCount(); ++i) {
        std::string pages = "Unknown";
        int count = 0;
        const std::string name = text(i, kFileName);
        if (contains(name, ".pdf") || contains(name, ".PDF")) {
            count = rowPageCount(name, i);
            pages = std::to_string(count);
        }
        setText(i, kPages, pages);
        // "Ready" without the stop that a new row gets: what a refresh has always written.
        setText(i, kStatus, count == -1 ? "No File." : "Ready");
    }
}

} // namespace fb
