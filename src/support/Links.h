#pragma once
#include "common/Desktop.h"
#include "common/Messages.h"

#include <optional>
#include <string>
#include <vector>

namespace fb {

struct SystemInfo;

// The maker's web site and the support mail address.
inline constexpr const char* kWebsiteUrl = "https://www.example.com/";
inline constexpr const char* kSupportAddress = "support@example.com";

// Results of opening a link: above 32 is success, the rest are the failure
// numbers that ReportLinkError knows.
constexpr int kLinkOpened = 42;
constexpr int kLinkFileNotFound = 2;
constexpr int kLinkAccessDenied = 5;
constexpr int kLinkNoAssociation = 31;
int linkResult(const OpenOutcome& outcome);
int linkResultOfStart(int startErrno);

// Where the desktop keeps its default applications (XDG base directories),
// in order of precedence.
struct XdgDirs {
    std::vector<std::string> configDirs;
    std::vector<std::string> dataDirs;
    std::vector<std::string> desktops; // XDG_CURRENT_DESKTOP, lower case
    static XdgDirs fromEnvironment();
};

// The .desktop file of the default application for a MIME type, and its Exec line.
std::optional<std::string> defaultHandlerDesktopFile(const std::string& mimeType, const XdgDirs& dirs);
std::optional<std::string> desktopEntryExec(const std::string& desktopFile);

// A browser's Exec line with the url in place of its placeholder: cut at the
// first %u, %U, %f, %F or %1 (at its opening quote when it is quoted), then a
// blank and the url.
struct BrowserCommand {
    std::string commandLine;
    std::vector<std::string> argv; // the url is always one argument
};
BrowserCommand browserCommand(const std::string& exec, const std::string& url);

struct LinkServices {
    DesktopOpener& opener;
    ProgramStarter& starter;
    XdgDirs dirs;
};

// Opens the url with the desktop's opener; when that fails, starts the
// default web browser with it. Above 32 means opened.
int GotoUrl(const std::string& url, LinkServices& services);

std::string linkErrorText(int result); // "Unable to open hyperlink:\n\n..."
// The address goes with the text as its details, so the user can see (and
// copy) what could not be opened.
void ReportLinkError(int result, MessageBoxes& messages, const std::string& url = {});

// "Go to Website Homepage": the result is ignored.
void OpenWebsite(LinkServices& services);

// The "mailto:" address of a bug report describing this machine.
std::string bugReportAddress(const SystemInfo& info, const std::string& supportAddress = kSupportAddress);
// The bug report as a person reads it: the mail address's body with its
// escaped line ends made real ones.
std::string bugReportText(const SystemInfo& info);
// "Email Bug/Suggestion/Comments": opens a new message in the user's mail
// program. Without one it says so and shows the address and the report, so
// they can be copied into a mail by hand.
void SendBugReport(DesktopOpener& opener, MessageBoxes& messages);

} // namespace fb
