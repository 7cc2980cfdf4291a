#include "app/QtModule.h"

#include <dlfcn.h>
#include <unistd.h>

#include <vector>

#ifndef FB_QT_MODULE_DIR
#define FB_QT_MODULE_DIR "lib/mervo"
#endif

namespace fb {

namespace {
std::string executableFolder()
{
    std::vector<char> buf(4096);
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return "";
    std::string path(buf.data(), static_cast<std::size_t>(n));
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}
} // namespace

QtProgramEntry loadQtModule(std::string& error)
{
    const std::string folder = executableFolder();
    const std::string candidates[] = {folder + "libmervo-qt.so",
                                      folder + "../" FB_QT_MODULE_DIR "/libmervo-qt.so"};
    error.clear();
    for (const std::string& path : candidates) {
        if (::access(path.c_str(), F_OK) != 0) continue;
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* why = ::dlerror();
            error = why ? why : path;
            continue;
        }
        if (void* entry = ::dlsym(handle, "mervo_qt_main")) return reinterpret_cast<QtProgramEntry>(entry);
        error = path + ": no entry point mervo_qt_main";
    }
    if (error.empty()) error = "libmervo-qt.so not found beside " + folder;
    return nullptr;
}

} // namespace fb
