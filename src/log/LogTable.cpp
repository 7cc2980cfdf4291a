#include "log/LogTable.h"

#include "common/Files.h"
#include "common/Text.h"
#include "log/AppendLog.h"

#include <cerrno>
#include <cstdio>
#include <unistd.h>
#include <numeric>

namespace fb {

namespace {

static_assert(std::size(kLogFieldWidths) == kLogColumnCount);

// Where a line written without tabs keeps field i: each field at its width,
// one separator between.
constexpr std::size_t fixedFieldOffset(int i)
{
    std::size_t offset = 0;
    for (int before = 0; before < i; ++before)
        offset += kLogFieldWidths[before] + 1;
    return offset;
}

std::string withoutTrailingBlanks(std::string_view s)
{
    std::size_t end = s.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string() : std::string(s.substr(0, end + 1));
}

class RowSorter {
public:
    RowSorter(const std::vector<LogRow>& rows, std::vector<int>& order, int column, bool ascending)
        : rows_(rows), order_(order), column_(column), ascending_(ascending)
    {
    }

    // The exchange quicksort of the viewer. The larger part is looped over
    // instead of recursed into, so a hostile order can't exhaust the stack.
    void sort(int low, int high)
    {
        while (low < high) {
            const std::string& pivot = key((low + high) / 2);
            int lo = low, hi = high;
            while (lo <= hi) {
                while (lo < high && before(key(lo), pivot))
                    ++lo;
                while (hi > low && before(pivot, key(hi)))
                    --hi;
                if (lo <= hi) {
                    if (key(lo) != key(hi)) std::swap(order_[lo], order_[hi]);
                    ++lo;
                    --hi;
                }
            }
            if (hi - low < high - lo) {
                if (low < hi) sort(low, hi);
                low = lo;
            } else {
                if (lo < high) sort(lo, high);
                high = hi;
            }
        }
    }

private:
    const std::string& key(int position) const { return rows_[order_[position]].fields[column_]; }
    // Byte order: std::string compares its characters as unsigned bytes.
    bool before(const std::string& a, const std::string& b) const { return ascending_ ? a < b : b < a; }

    const std::vector<LogRow>& rows_;
    std::vector<int>& order_;
    int column_;
    bool ascending_;
};

} // namespace

LogRow parseLogLine(std::string_view line)
{
    LogRow row;
    if (line.find('\t') != std::string_view::npos) {
        std::size_t start = 0;
        for (int i = 0; i < kLogColumnCount; ++i) {
            // The last field keeps any further tabs.
            std::size_t tab = i + 1 < kLogColumnCount ? line.find('\t', start) : std::string_view::npos;
            std::size_t end = tab == std::string_view::npos ? line.size() : tab;
            row.fields[i] = withoutTrailingBlanks(line.substr(start, end - start));
            if (tab == std::string_view::npos) break;
            start = tab + 1;
        }
        return row;
    }
    for (int i = 0; i < kLogColumnCount; ++i) {
        const std::size_t offset = fixedFieldOffset(i);
        if (offset >= line.size()) break;
        row.fields[i] = withoutTrailingBlanks(line.substr(offset, kLogFieldWidths[i]));
    }
    return row;
}

std::optional<std::vector<LogRow>> readLogFile(const std::string& path)
{
    // Only a regular file, opened without blocking: a FIFO would hang the viewer.
    const int fd = openRegularForReading(path);
    if (fd < 0) return std::nullopt;
    std::FILE* f = ::fdopen(fd, "rb");
    if (!f) {
        ::close(fd);
        return std::nullopt;
    }
    std::string bytes;
    char buf[1 << 16];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        bytes.append(buf, n);
    std::fclose(f);

    std::vector<LogRow> rows;
    rows.reserve(bytes.size() / 200 + 1);
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t nl = bytes.find('\n', pos);
        std::size_t end = nl == std::string::npos ? bytes.size() : nl;
        std::size_t cut = end;
        while (cut > pos && bytes[cut - 1] == '\r')
            --cut;
        rows.push_back(parseLogLine(std::string_view(bytes).substr(pos, cut - pos)));
        if (nl == std::string::npos) break;
        pos = nl + 1;
    }
    return rows;
}

std::optional<std::vector<LogRow>> readLogFileOrSay(const std::string& path, MessageBoxes& messages)
{
    std::optional<std::vector<LogRow>> rows = readLogFile(path);
    if (!rows)
        messages.showWithReason("Can't open append.log", "Log File Error", path + ": " + reasonText(errno));
    return rows;
}

std::vector<int> logSortOrder(const std::vector<LogRow>& rows, int column, bool ascending, int low, int high)
{
    std::vector<int> order(rows.size());
    std::iota(order.begin(), order.end(), 0);
    if (column < 0 || column >= kLogColumnCount || rows.empty()) return order;
    int last = static_cast<int>(rows.size()) - 1;
    if (high == -1 || high > last) high = last;
    if (low < 0) low = 0;
    if (high <= low) return order;
    RowSorter(rows, order, column, ascending).sort(low, high);
    return order;
}

void SortLogRows(std::vector<LogRow>& rows, int column, bool ascending, int low, int high)
{
    std::vector<int> order = logSortOrder(rows, column, ascending, low, high);
    std::vector<LogRow> sorted;
    sorted.reserve(rows.size());
    for (int from : order)
        sorted.push_back(std::move(rows[from]));
    rows = std::move(sorted);
}

std::string csvField(std::string_view field)
{
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(field);
    std::string quoted = "\"";
    for (char c : field) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string csvLine(const LogRow& row)
{
    std::string line;
    for (int i = 0; i < kLogColumnCount; ++i) {
        if (i) line += ',';
        line += csvField(row.fields[i]);
    }
    line += "\r\n";
    return line;
}

bool ClearLog(AppendLog& log)
{
    return log.clear();
}

int ExportLogToCsv(const std::string& logPath, FileDialogs& dialogs, MessageBoxes& messages,
                   DesktopOpener& opener)
{
    FileDialogRequest request{"Export Log to CSV file", {"*.csv", "All Files *.*"}, "csv", false, ""};
    std::optional<std::string> chosen = dialogs.saveFile(request);
    if (!chosen || chosen->empty()) return 0;
    std::string csvPath = *chosen;
    if (fileTitle(csvPath).find('.') == std::string::npos) csvPath += ".csv";

    std::optional<std::vector<LogRow>> rows = readLogFileOrSay(logPath, messages);
    if (!rows) return -1;
    std::string text(kLogCsvHeader);
    for (const LogRow& row : *rows)
        text += csvLine(row);
    // Written beside the target and renamed over it, so a failed export
    // never leaves a half-written file in place of an earlier one.
    std::string why;
    if (!replaceFile(
            csvPath, [&](int fd) { return writeAll(fd, text.data(), text.size()); }, &why)) {
        messages.showWithReason(csvPath, "Log Write File Error", why);
        return -1;
    }
    if (messages.show("Do you want to open file now in excel ?", "Open File", MessageButtons::YesNo) ==
        MessageAnswer::Yes)
        opener.open(csvPath);
    return 1;
}

} // namespace fb
