#pragma once
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <istream>
#include <string>
#include <string_view>

namespace fb {

// The longest text a field, argument, path or file line may hold. Longer texts
// are refused by whoever takes them in, never cut short silently.
constexpr std::size_t kMaxTextLength = 4095;

// Reads one line: CR CR LF, CR LF, LF and a lone CR all end it. A line longer
// than kMaxTextLength keeps its first kMaxTextLength characters; the rest is
// skipped. Returns false only at end of file with nothing read. Files are
// better read with LineReader, which also says when a line was too long.
bool readTextLine(std::istream& in, std::string& line);

// Blanks are ' ' only; tabs and other white space are kept.
std::string trimLeft(std::string_view s);
std::string trimRight(std::string_view s);
std::string trimBlanks(std::string_view s);

// atoi semantics (leading white space, optional sign, digits up to the first
// non-digit; no digits gives 0), saturating at the int32 range instead of
// overflowing.
int32_t parseLeadingInt(std::string_view s);

bool endsWith(std::string_view s, std::string_view suffix);
bool contains(std::string_view s, std::string_view part);
std::string toLowerAscii(std::string_view s);

// Control characters written as \xNN (ESC as \x1b), so bytes taken from
// files and names cannot drive a terminal or hide in a message box. Line feeds
// and tabs stay, as the program's own texts use them; DEL and the C1 controls
// (UTF-8 encoded) are escaped too.
std::string escapeControls(std::string_view s);

// A message of several lines (a text and its reason) told on one line, as a
// closing line or a trace line tells it: the non-empty lines joined by ": ".
std::string onOneLine(std::string_view text);

// Local time as "YYYY-MM-DD hh:mm:ss" (19 characters).
std::string formatLocalTime(std::time_t t);

} // namespace fb
