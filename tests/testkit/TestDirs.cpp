#include "testkit/TestDirs.h"

#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-page.h>
#include <poppler/cpp/poppler-toc.h>

#include <chrono>
#include <dirent.h>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fb::test {

TempDir::TempDir()
{
    std::string templ = "/tmp/fbtest.XXXXXX";
    if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
    path_ = templ;
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ec);
    std::filesystem::remove_all(path_, ec);
}

std::string readFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

RunningProgram::RunningProgram(const std::string& exe, const std::vector<std::string>& args,
                               const std::string& workingDirectory, const ProcessSetup& setup,
                               const std::function<void()>& inChild)
{
    const std::string outPath = capture_ / "out", errPath = capture_ / "err";
    pid_ = fork();
    if (pid_ == 0) {
        if (chdir(workingDirectory.c_str()) != 0) _exit(127);
        FILE* o = freopen(outPath.c_str(), "w", stdout);
        FILE* e = freopen(errPath.c_str(), "w", stderr);
        FILE* i = freopen("/dev/null", "r", stdin);
        (void)o;
        (void)e;
        (void)i;
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        if (setup.unprivileged && geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            _exit(126);
        if (setup.fileSizeLimit >= 0) {
            signal(SIGXFSZ, SIG_IGN); // stays ignored across exec
            const rlimit limit{static_cast<rlim_t>(setup.fileSizeLimit),
                               static_cast<rlim_t>(setup.fileSizeLimit)};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
        }
        if (inChild) inChild();
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(exe.c_str()));
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
}

RunningProgram::~RunningProgram()
{
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

ProcessResult RunningProgram::wait(int timeoutSeconds)
{
    ProcessResult r;
    if (pid_ <= 0) return r;
    int status = 0;
    struct rusage usage {};
    if (timeoutSeconds > 0) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
        while (wait4(pid_, &status, WNOHANG, &usage) == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                r.timedOut = true;
                kill(pid_, SIGKILL);
                wait4(pid_, &status, 0, &usage);
                break;
            }
            usleep(20000);
        }
    } else {
        wait4(pid_, &status, 0, &usage);
    }
    pid_ = -1;
    r.maxRssKb = usage.ru_maxrss;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = readFileBytes(capture_ / "out");
    r.err = readFileBytes(capture_ / "err");
    return r;
}

ProcessResult runProgram(const std::string& exe, const std::vector<std::string>& args,
                         const std::string& workingDirectory, int timeoutSeconds, const ProcessSetup& setup)
{
    return RunningProgram(exe, args, workingDirectory, setup).wait(timeoutSeconds);
}

std::vector<std::string> hiddenFiles(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name[0] == '.' && name != "." && name != "..") names.push_back(name);
        }
        closedir(d);
    }
    return names;
}

std::vector<std::string> pdfPageTexts(const std::string& path)
{
    std::vector<std::string> texts;
    std::unique_ptr<poppler::document> doc(poppler::document::load_from_file(path));
    if (!doc) return texts;
    for (int i = 0; i < doc->pages(); ++i) {
        std::unique_ptr<poppler::page> page(doc->create_page(i));
        std::string text;
        if (page) {
            auto bytes = page->text().to_utf8();
            text.assign(bytes.begin(), bytes.end());
        }
        while (!text.empty() &&
               (text.back() == '\n' || text.back() == ' ' || text.back() == '\r' || text.back() == '\f'))
            text.pop_back();
        texts.push_back(text);
    }
    return texts;
}

namespace {
void walkToc(poppler::toc_item* item, int depth, std::vector<OutlineEntry>& out)
{
    for (poppler::toc_item* kid : item->children()) {
        auto bytes = kid->title().to_utf8();
        out.push_back({std::string(bytes.begin(), bytes.end()), depth});
        walkToc(kid, depth + 1, out);
    }
}
} // namespace

std::vector<OutlineEntry> pdfOutline(const std::string& path)
{
    std::vector<OutlineEntry> out;
    std::unique_ptr<poppler::document> doc(poppler::document::load_from_file(path));
    if (!doc) return out;
    std::unique_ptr<poppler::toc> toc(doc->create_toc());
    if (toc && toc->root()) walkToc(toc->root(), 0, out);
    return out;
}

std::string qpdfCheckProblems(const std::string& path)
{
    ProcessResult r = runProgram("/usr/bin/qpdf", {"--check", path}, "/");
    if (r.exitCode == 0 && r.out.find("WARNING") == std::string::npos) return {};
    return "exit " + std::to_string(r.exitCode) + ": " + r.out + r.err;
}

} // namespace fb::test
