#include "app/Settings.h"

#include "support/Files.h"
#include "support/Text.h"

#include <fstream>

namespace fb {

bool isSettingSet(const std::string& value) { return value.size() > 1; }

void loadSettings(Settings& s, const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return;
    std::string line;
    while (readTextLine(in, line)) {
        std::size_t start = line.find_first_not_of(';');
        if (start == std::string::npos) continue;  // no key at all
        std::size_t end = line.find(';', start);
        std::string key = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
        // The value is the rest of the line, so a path holding ";" survives.
        std::string value = end == std::string::npos ? "" : line.substr(end + 1);
        if (key == "ODDEVERY") s.oddEveryFile = value;
        else if (key == "ODDFINAL") s.oddFinalFile = value;
        else if (key == "NOSPLASH") s.noSplash = true;
    }
}

bool saveSettings(const Settings& s, MessageBoxes& messages, const std::string& path)
{
    AtomicFileWriter writer(path);
    bool ok = writer.open();
    if (ok) {
        writer.stream() << "ODDEVERY;" << s.oddEveryFile << "\r\n"
                        << "ODDFINAL;" << s.oddFinalFile << "\r\n";
        if (s.noSplash) writer.stream() << "NOSPLASH\r\n";
        ok = writer.commit();
    }
    if (!ok) messages.show("can't save to setup.ini", applicationName());
    return ok;
}

} // namespace fb
