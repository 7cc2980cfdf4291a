#include "support/Links.h"

#include "common/Files.h"
#include "common/Text.h"
#include "support/SystemInfo.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>

namespace fb {

namespace {

const char* knownLinkError(int result)
{
    switch (result) {
    case 0: return "The operating system is out\nof memory or resources.";
    case 2: return "The specified file was not found.";
    case 3: return "The specified path was not found.";
    case 5: return "The operating system denied\naccess to the specified file.";
    case 8: return "There was not enough memory to complete the operation.";
    case 11: return "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
    case 26: return "A sharing violation occurred. ";
    case 27: return "The filename association is\nincomplete or invalid.";
    case 28: return "The DDE transaction could not\nbe completed because the request timed out.";
    case 29: return "The DDE transaction failed.";
    case 30:
        return "The DDE transaction could not\nbe completed because other DDE transactions\nwere "
               "being processed.";
    case 31: return "There is no application associated\nwith the given filename extension.";
    case 32: return "The specified dynamic-link library was not found.";
    }
    return nullptr;
}

// A failure number of our own must neither read as success nor borrow the
// text of a failure it is not.
int unknownFailure(int code)
{
    return code >= 1 && code <= 32 && !knownLinkError(code) ? code : 1;
}

std::vector<std::string> splitList(const char* value, const std::string& fallback)
{
    std::string s = value && *value ? value : fallback;
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= s.size()) {
        std::size_t colon = s.find(':', start);
        std::string part = s.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (!part.empty()) out.push_back(part);
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    return out;
}

// The desktop-file ids listed for the type in one group of a list file.
std::vector<std::string> listedHandlers(const std::string& file, const std::string& group,
                                        const std::string& mimeType)
{
    std::vector<std::string> ids;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    bool inGroup = false;
    while (readTextLine(in, line)) {
        if (!line.empty() && line[0] == '[') {
            inGroup = line == "[" + group + "]";
            continue;
        }
        if (!inGroup || line.rfind(mimeType + "=", 0) != 0) continue;
        std::string list = line.substr(mimeType.size() + 1);
        std::size_t start = 0;
        while (start < list.size()) {
            std::size_t semi = list.find(';', start);
            std::string id =
                trimBlanks(list.substr(start, semi == std::string::npos ? std::string::npos : semi - start));
            if (!id.empty()) ids.push_back(id);
            if (semi == std::string::npos) break;
            start = semi + 1;
        }
    }
    return ids;
}

// "org.kde-foo.desktop" may also lie at "org/kde-foo.desktop"... every '-' may be a folder.
std::optional<std::string> findDesktopFile(const std::string& id, const XdgDirs& dirs)
{
    for (const std::string& data : dirs.dataDirs) {
        std::string base = data + "/applications/";
        if (isRegularFile(base + id)) return base + id;
        std::string nested = id;
        for (std::size_t dash = nested.find('-'); dash != std::string::npos;
             dash = nested.find('-', dash + 1)) {
            nested[dash] = '/';
            if (isRegularFile(base + nested)) return base + nested;
        }
    }
    return std::nullopt;
}

bool isFieldCode(const std::string& token)
{
    return token.size() == 2 && token[0] == '%' && token[1] != '%';
}

// Splits the command part of an Exec line as the desktop-entry rules quote it.
std::vector<std::string> execArguments(const std::string& command)
{
    std::vector<std::string> args;
    std::string current;
    bool inToken = false, quoted = false;
    for (std::size_t i = 0; i < command.size(); ++i) {
        char c = command[i];
        if (quoted) {
            if (c == '\\' && i + 1 < command.size())
                current += command[++i];
            else if (c == '"')
                quoted = false;
            else
                current += c;
            continue;
        }
        if (c == ' ' || c == '\t') {
            if (inToken && !isFieldCode(current)) args.push_back(current);
            current.clear();
            inToken = false;
            continue;
        }
        inToken = true;
        if (c == '"')
            quoted = true;
        else if (c == '%' && i + 1 < command.size() && command[i + 1] == '%')
            current += command[++i];
        else
            current += c;
    }
    if (inToken && !isFieldCode(current)) args.push_back(current);
    return args;
}

} // namespace

int linkResult(const OpenOutcome& outcome)
{
    switch (outcome.status) {
    case OpenStatus::Opened: return kLinkOpened;
    case OpenStatus::MissingTarget: return kLinkFileNotFound;
    case OpenStatus::NoHandler: return kLinkNoAssociation;
    case OpenStatus::Failed: break;
    }
    return unknownFailure(outcome.code);
}

int linkResultOfStart(int startErrno)
{
    switch (startErrno) {
    case 0: return kLinkOpened;
    case ENOENT:
    case ENOTDIR: return kLinkFileNotFound;
    case EACCES:
    case EPERM: return kLinkAccessDenied;
    case ENOMEM: return 8;
    case ENOEXEC: return 11;
    }
    return unknownFailure(startErrno);
}

XdgDirs XdgDirs::fromEnvironment()
{
    XdgDirs dirs;
    const char* home = std::getenv("HOME");
    std::string homeDir = home ? home : "";
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    dirs.configDirs.push_back(configHome && *configHome ? configHome : homeDir + "/.config");
    for (std::string& d : splitList(std::getenv("XDG_CONFIG_DIRS"), "/etc/xdg"))
        dirs.configDirs.push_back(d);
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    dirs.dataDirs.push_back(dataHome && *dataHome ? dataHome : homeDir + "/.local/share");
    for (std::string& d : splitList(std::getenv("XDG_DATA_DIRS"), "/usr/local/share:/usr/share"))
        dirs.dataDirs.push_back(d);
    for (std::string& d : splitList(std::getenv("XDG_CURRENT_DESKTOP"), ""))
        dirs.desktops.push_back(toLowerAscii(d));
    return dirs;
}

std::optional<std::string> defaultHandlerDesktopFile(const std::string& mimeType, const XdgDirs& dirs)
{
    std::vector<std::string> lists;
    auto addLists = [&](const std::string& folder) {
        for (const std::string& desktop : dirs.desktops)
            lists.push_back(folder + "/" + desktop + "-mimeapps.list");
        lists.push_back(folder + "/mimeapps.list");
    };
    for (const std::string& d : dirs.configDirs)
        addLists(d);
    for (const std::string& d : dirs.dataDirs)
        addLists(d + "/applications");
    for (const char* group : {"Default Applications", "Added Associations"}) {
        for (const std::string& list : lists)
            for (const std::string& id : listedHandlers(list, group, mimeType))
                if (auto file = findDesktopFile(id, dirs)) return file;
    }
    for (const std::string& d : dirs.dataDirs)
        for (const std::string& id :
             listedHandlers(d + "/applications/mimeinfo.cache", "MIME Cache", mimeType))
            if (auto file = findDesktopFile(id, dirs)) return file;
    return std::nullopt;
}

std::optional<std::string> desktopEntryExec(const std::string& desktopFile)
{
    std::ifstream in(desktopFile, std::ios::binary);
    std::string line;
    bool inEntry = false;
    while (readTextLine(in, line)) {
        if (!line.empty() && line[0] == '[') {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (inEntry && line.rfind("Exec=", 0) == 0) {
            std::string exec = trimBlanks(line.substr(5));
            if (!exec.empty()) return exec;
        }
    }
    return std::nullopt;
}

BrowserCommand browserCommand(const std::string& exec, const std::string& url)
{
    std::size_t cut = std::string::npos;
    for (const char* placeholder : {"%u", "%U", "%f", "%F", "%1"}) {
        std::size_t at = exec.find(placeholder);
        if (at < cut) cut = at;
    }
    std::string head = exec;
    if (cut != std::string::npos) {
        bool quoted = cut > 0 && exec[cut - 1] == '"' && cut + 2 < exec.size() && exec[cut + 2] == '"';
        head = exec.substr(0, quoted ? cut - 1 : cut);
    }
    BrowserCommand command;
    command.commandLine = head + " " + url;
    command.argv = execArguments(head);
    command.argv.push_back(url);
    return command;
}

int GotoUrl(const std::string& url, LinkServices& services)
{
    int result = linkResult(services.opener.open(url));
    if (result > 32) return result;
    std::optional<std::string> handler = defaultHandlerDesktopFile("text/html", services.dirs);
    if (!handler) return result;
    std::optional<std::string> exec = desktopEntryExec(*handler);
    if (!exec) return result;
    BrowserCommand command = browserCommand(*exec, url);
    if (command.argv.size() < 2) return result;
    return linkResultOfStart(services.starter.start(command.argv));
}

std::string linkErrorText(int result)
{
    std::string text = "Unable to open hyperlink:\n\n";
    if (const char* known = knownLinkError(result)) return text + known;
    return text + "Unknown Error (" + std::to_string(result) + ") occurred.";
}

void ReportLinkError(int result, MessageBoxes& messages, const std::string& url)
{
    messages.showWithReason(linkErrorText(result), applicationName(),
                            url.empty() ? std::string() : "Address: " + url, MessageButtons::Ok,
                            MessageIcon::Warning);
}

void OpenWebsite(LinkServices& services)
{
    GotoUrl(kWebsiteUrl, services);
}

namespace {

const char* const kBugReportSubject = "Folioband Batch Edition";

// The bug report's body with every line ended by lineEnd: "%0d" inside a
// mail address, a real line end where a person reads it.
std::string bugReportBody(const SystemInfo& info, const std::string& lineEnd)
{
    std::string body = lineEnd + lineEnd + lineEnd + lineEnd + std::string(35, '-') + lineEnd + lineEnd +
                       kBugReportSubject + lineEnd + lineEnd;
    std::vector<std::pair<std::string, std::string>> lines = info.lines();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        body += lines[i].first + " : " + lines[i].second + lineEnd;
        // A blank line after the version, the processor and the memory lines.
        if (i == 0 || i == 4 || i == 8) body += lineEnd;
    }
    return body;
}

} // namespace

std::string bugReportAddress(const SystemInfo& info, const std::string& supportAddress)
{
    return "mailto:" + supportAddress + "?subject=" + kBugReportSubject +
           "&body=" + bugReportBody(info, "%0d");
}

std::string bugReportText(const SystemInfo& info)
{
    return std::string("Subject: ") + kBugReportSubject + "\n" + bugReportBody(info, "\n");
}

void SendBugReport(DesktopOpener& opener, MessageBoxes& messages)
{
    SystemInfo info = readSystemInfo();
    OpenOutcome outcome = opener.open(bugReportAddress(info));
    if (outcome.status == OpenStatus::Opened) return;
    std::string why = outcome.status == OpenStatus::NoHandler
                          ? "No mail program is set up to send it."
                          : "The desktop's opener failed (exit status " + std::to_string(outcome.code) + ").";
    messages.showWithReason("The bug report could not be opened in a mail program. " + why +
                                "\n\nPlease send the report below to " + kSupportAddress + ".",
                            applicationName(),
                            "To: " + std::string(kSupportAddress) + "\n" + bugReportText(info),
                            MessageButtons::Ok, MessageIcon::Information);
}

} // namespace fb
