#pragma once
// Shared bits of the fuzz targets: silent stand-ins for the window and a
// scratch folder that every input's files go into.
#include "common/Messages.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fb::fuzz {

class SilentMessageBoxes : public MessageBoxes {
public:
    MessageAnswer show(const std::string&, const std::string&, MessageButtons buttons, MessageIcon) override
    {
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
};

// A private folder for the files an input is written to, made once per process.
// (Not made the current directory: libFuzzer reads its corpus by relative path.)
inline const std::string& scratchFolder()
{
    struct Folder {
        std::string path;
        ~Folder()
        {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    };
    static const Folder folder{[] {
        // In memory where there is such a folder: the settings writer syncs every file.
        std::string templ = access("/dev/shm", W_OK) == 0 ? "/dev/shm/fbfuzz.XXXXXX" : "/tmp/fbfuzz.XXXXXX";
        if (!mkdtemp(templ.data())) std::abort();
        return templ;
    }()};
    return folder.path;
}

inline std::string writeInput(const std::string& name, const uint8_t* data, size_t size)
{
    std::string path = scratchFolder() + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path;
}

// Fails the run with a message libFuzzer records with the input.
#define FUZZ_CHECK(cond)                                                                                     \
    do {                                                                                                     \
        if (!(cond)) {                                                                                       \
            fprintf(stderr, "check failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__);                        \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)

} // namespace fb::fuzz
