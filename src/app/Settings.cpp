#include "app/Settings.h"

#include "common/Files.h"
#include "common/LineReader.h"
#include "common/Text.h"

namespace fb {

namespace {

// A value the file can hold and give back unchanged: one line, within the text limit.
bool storable(const std::string& value)
{
    return value.size() <= kMaxTextLength && value.find_first_of("\r\n") == std::string::npos;
}

} // namespace

void loadSettings(Settings& s, const std::string& path)
{
    // A missing file leaves the defaults, silently; so does anything that is
    // not a regular file, which could block or never end.
    LineReader in(path);
    std::string line;
    for (LineReader::Result got; (got = in.next(line)) != LineReader::Result::End;) {
        if (got == LineReader::Result::TooLong) continue; // a cut path would name another file
        std::size_t start = line.find_first_not_of(';');
        if (start == std::string::npos) continue; // empty or only ";": no key
        std::size_t end = line.find(';', start);
        std::string key = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
        // The value is the whole rest of the line, so a path holding ";" reads back whole.
        std::string value = end == std::string::npos ? std::string() : line.substr(end + 1);
        if (key == "ODDEVERY") {
            if (storable(value)) s.oddEveryFile = value;
        } else if (key == "ODDFINAL") {
            if (storable(value)) s.oddFinalFile = value;
        } else if (key == "NOSPLASH") {
            s.noSplash = true;
        }
    }
}

bool saveSettings(const Settings& s, MessageBoxes& messages, const std::string& path)
{
    // A path with a line break would read back as other settings; refuse it whole.
    bool ok = storable(s.oddEveryFile) && storable(s.oddFinalFile);
    std::string reason = ok ? std::string() : "a filler path is too long or holds a line break";
    if (ok) {
        // Written beside the old file and renamed over it, so a failed save
        // never leaves the settings half-written.
        AtomicFileWriter writer(path);
        ok = writer.open();
        if (ok) {
            writer.stream() << "ODDEVERY;" << s.oddEveryFile << "\r\n"
                            << "ODDFINAL;" << s.oddFinalFile << "\r\n";
            if (s.noSplash) writer.stream() << "NOSPLASH\r\n";
            ok = writer.commit();
        }
        if (!ok) reason = path + ": " + writer.failure();
    }
    if (!ok) messages.showWithReason("can't save to setup.ini", applicationName(), reason);
    return ok;
}

} // namespace fb
