#include "common/Text.h"

#include <cstdio>
#include <limits>

namespace fb {

// readTextLine lives with the other line readers, in LineReader.cpp.

std::string trimLeft(std::string_view s)
{
    const auto pos = s.find_first_not_of(' ');
    return pos == std::string_view::npos ? std::string() : std::string(s.substr(pos));
}

std::string trimRight(std::string_view s)
{
    const auto pos = s.find_last_not_of(' ');
    return pos == std::string_view::npos ? std::string() : std::string(s.substr(0, pos + 1));
}

std::string trimBlanks(std::string_view s)
{
    return trimLeft(trimRight(s));
}

int32_t parseLeadingInt(std::string_view s)
{
    std::size_t i = 0;
    auto isSpace = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    };
    while (i < s.size() && isSpace(s[i]))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    // Accumulate as a magnitude that stops growing past the int32 range, so no
    // digit string, however long, can overflow.
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t value = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        if (value <= kLimit) value = value * 10 + (s[i] - '0');
        ++i;
    }
    if (negative) return value >= kLimit ? std::numeric_limits<int32_t>::min() : static_cast<int32_t>(-value);
    return value >= kLimit ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(value);
}

bool endsWith(std::string_view s, std::string_view suffix)
{
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

bool contains(std::string_view s, std::string_view part)
{
    return s.find(part) != std::string_view::npos;
}

std::string toLowerAscii(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string onOneLine(std::string_view text)
{
    std::string out;
    std::size_t from = 0;
    while (from <= text.size()) {
        std::size_t end = text.find('\n', from);
        if (end == std::string_view::npos) end = text.size();
        if (end > from) {
            if (!out.empty()) out += ": ";
            out += text.substr(from, end - from);
        }
        from = end + 1;
    }
    return out;
}

std::string escapeControls(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    auto escape = [&out](unsigned char c) {
        static const char kHex[] = "0123456789abcdef";
        out += "\\x";
        out += kHex[c >> 4];
        out += kHex[c & 15];
    };
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7f) {
            escape(c);
        } else if (c == 0xc2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(s[i + 1]) <= 0x9f) {
            // U+0080..U+009F: CSI and its kind, as a UTF-8 terminal reads them.
            escape(c);
            escape(static_cast<unsigned char>(s[++i]));
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string formatLocalTime(std::time_t t)
{
    std::tm tm{};
    if (!localtime_r(&t, &tm)) tm = std::tm{};
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.4d-%.2d-%.2d %.2d:%.2d:%.2d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

} // namespace fb
