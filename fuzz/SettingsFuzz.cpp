// Any setup.ini: reading never crashes, keeps each path to one storable line,
// and what it read is written and read back the same.
#include "app/Settings.h"
#include "common/Text.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = fb::fuzz::writeInput("setup.ini", data, size);
    fb::Settings s;
    fb::loadSettings(s, path);
    for (const std::string* v : {&s.oddEveryFile, &s.oddFinalFile}) {
        FUZZ_CHECK(v->size() <= fb::kMaxTextLength);
        FUZZ_CHECK(v->find_first_of("\r\n") == std::string::npos);
    }
    fb::fuzz::SilentMessageBoxes messages;
    const std::string copy = fb::fuzz::scratchFolder() + "/copy.ini";
    FUZZ_CHECK(fb::saveSettings(s, messages, copy));
    fb::Settings back;
    fb::loadSettings(back, copy);
    FUZZ_CHECK(back.oddEveryFile == s.oddEveryFile);
    FUZZ_CHECK(back.oddFinalFile == s.oddFinalFile);
    FUZZ_CHECK(back.noSplash == s.noSplash);
    return 0;
}
