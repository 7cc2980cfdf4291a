#include "support/Links.h"
#include "support/SystemInfo.h"
#include "testkit/RecordingMessageBoxes.h"
#include "testkit/TestDirs.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sys/stat.h>
#include <thread>

using namespace fb;
using namespace fb::test;

namespace {

struct FakeOpener : DesktopOpener {
    OpenOutcome answer{OpenStatus::NoHandler, 0};
    std::vector<std::string> asked;
    OpenOutcome open(const std::string& target) override
    {
        asked.push_back(target);
        return answer;
    }
};

struct FakeStarter : ProgramStarter {
    int answer = 0;
    std::vector<std::vector<std::string>> started;
    int start(const std::vector<std::string>& argv) override
    {
        started.push_back(argv);
        return answer;
    }
};

// A desktop whose default browser for web pages is given by a .desktop file.
struct FakeDesktop {
    TempDir dir;
    XdgDirs dirs;
    explicit FakeDesktop(const std::string& exec)
    {
        std::filesystem::create_directories(dir / "config");
        std::filesystem::create_directories(dir / "data/applications/vendor");
        writeFileBytes(dir / "config/mimeapps.list", "[Added Associations]\ntext/html=other.desktop;\n"
                                                     "[Default Applications]\r\ntext/plain=editor.desktop\r\n"
                                                     "text/html=missing.desktop;vendor-browser.desktop;\r\n");
        writeFileBytes(dir / "data/applications/vendor/browser.desktop",
                       "[Desktop Action new]\nExec=wrong\n[Desktop Entry]\nName=B\nExec=" + exec + "\n");
        writeFileBytes(dir / "data/applications/other.desktop", "[Desktop Entry]\nExec=other %u\n");
        dirs.configDirs = {dir / "config"};
        dirs.dataDirs = {dir / "data"};
    }
};

} // namespace

TEST(Links, OpenerFirstThenTheDefaultBrowserWithTheUrlInPlaceOfItsPlaceholder)
{
    FakeDesktop desktop("\"/opt/web browser/run\" --new-tab \"%1\" --extra");
    FakeOpener opener;
    FakeStarter starter;
    LinkServices links{opener, starter, desktop.dirs};

    opener.answer = {OpenStatus::Opened, 0};
    EXPECT_GT(GotoUrl("https://a.example.com/?q=1&r", links), 32);
    EXPECT_TRUE(starter.started.empty());

    opener.answer = {OpenStatus::NoHandler, 3};
    EXPECT_GT(GotoUrl("https://a.example.com/?q=1&r", links), 32);
    ASSERT_EQ(starter.started.size(), 1u);
    EXPECT_EQ(starter.started[0], (std::vector<std::string>{"/opt/web browser/run", "--new-tab",
                                                            "https://a.example.com/?q=1&r"}));

    starter.answer = ENOENT; // the browser program is gone
    EXPECT_EQ(GotoUrl("https://x", links), 2);
    starter.answer = EACCES;
    EXPECT_EQ(GotoUrl("https://x", links), 5);

    // No browser registered: the opener's own failure stands.
    links.dirs.dataDirs = {desktop.dir / "nowhere"};
    for (auto [outcome, expected] : {std::pair{OpenOutcome{OpenStatus::NoHandler, 3}, 31},
                                     {OpenOutcome{OpenStatus::MissingTarget, 2}, 2},
                                     {OpenOutcome{OpenStatus::Failed, 4}, 4},
                                     {OpenOutcome{OpenStatus::Failed, 26}, 1},
                                     {OpenOutcome{OpenStatus::Failed, 137}, 1}}) {
        opener.answer = outcome;
        EXPECT_EQ(GotoUrl("https://x", links), expected);
    }

    EXPECT_EQ(browserCommand("\"C:/b.exe\" \"%1\"", "u").commandLine, "\"C:/b.exe\"  u");
    EXPECT_EQ(browserCommand("firefox-esr %u", "u").commandLine, "firefox-esr  u");
    EXPECT_EQ(browserCommand("chromium --incognito %U %f", "u").argv,
              (std::vector<std::string>{"chromium", "--incognito", "u"}));
    EXPECT_EQ(browserCommand("browser", "u").commandLine, "browser u");
    EXPECT_EQ(browserCommand("b %i --x=100%% %u", "u").argv,
              (std::vector<std::string>{"b", "--x=100%", "u"}));
}

TEST(Links, FallBackStartsTheRealBrowserProgram)
{
    TempDir dir;
    std::string script = dir / "browser.sh";
    writeFileBytes(script, "#!/bin/sh\nprintf '%s|' \"$@\" > \"" + dir / "seen.tmp" + "\"\nmv \"" +
                               dir / "seen.tmp" + "\" \"" + dir / "seen" + "\"\n");
    ::chmod(script.c_str(), 0755);
    FakeDesktop desktop(script + " %u");
    XdgOpener noOpener(3000, dir / "no-such-opener");
    SpawnProgramStarter starter;
    LinkServices links{noOpener, starter, desktop.dirs};
    EXPECT_EQ(linkResult(noOpener.open("https://x")), 31);
    EXPECT_EQ(linkResult(noOpener.open(dir / "missing.csv")), 2);
    EXPECT_GT(GotoUrl("https://www.example.com/a b", links), 32);
    for (int i = 0; i < 500 && !std::filesystem::exists(dir / "seen"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(readFileBytes(dir / "seen"), "https://www.example.com/a b|");
}

TEST(Links, ErrorTextsAndReport)
{
    EXPECT_EQ(linkErrorText(26), "Unable to open hyperlink:\n\nA sharing violation occurred. ");
    EXPECT_EQ(linkErrorText(1), "Unable to open hyperlink:\n\nUnknown Error (1) occurred.");
    EXPECT_EQ(linkErrorText(0),
              "Unable to open hyperlink:\n\nThe operating system is out\nof memory or resources.");
    EXPECT_EQ(linkErrorText(31), "Unable to open hyperlink:\n\nThere is no application associated\nwith the "
                                 "given filename extension.");
    EXPECT_EQ(linkErrorText(33), "Unable to open hyperlink:\n\nUnknown Error (33) occurred.");
    RecordingMessageBoxes messages;
    ReportLinkError(2, messages, "https://x.example/");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].reason, "Address: https://x.example/");
    EXPECT_EQ(messages.shown[0].text, "Unable to open hyperlink:\n\nThe specified file was not found.");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Warning);
    EXPECT_EQ(messages.shown[0].buttons, MessageButtons::Ok);
}

TEST(BugReport, MailTextCarriesEveryLineUnescaped)
{
    SystemInfo info;
    info.productVersion = "1.07";
    info.processors = "2";
    info.processorLevel = "Pentium (II/Pro)";
    info.cpuManufacturer = "GenuineIntel";
    info.cpuSpeed = "2400 MHz";
    info.applicationMemoryUsed = "31244 KB";
    info.totalPhysicalMemory = memoryText(2147483648ULL);
    info.physicalMemoryAvailable = "1000 KB";
    info.totalVirtualMemory = "137438953468 KB";
    info.operatingSystem = "Tom & Jerry OS?";
    info.osVersion = "12";
    info.servicePack = "Linux 6.1.0";
    info.build = "1";
    EXPECT_EQ(bugReportAddress(info, "help@example.com"),
              "mailto:help@example.com?subject=Folioband Batch Edition&body=%0d%0d%0d%0d"
              "-----------------------------------%0d"
              "%0dFolioband Batch Edition%0d%0d"
              "Product Version : 1.07%0d%0d"
              "Processors : 2%0dProcessor Level : Pentium (II/Pro)%0dCPU Manufacturer : GenuineIntel%0d"
              "CPU Speed : 2400 MHz%0d%0d"
              "Application Memory Used : 31244 KB%0dTotal Psysical Memory : 2097152 KB%0d"
              "Psysical Memory Available : 1000 KB%0dTotal Virtual Memory : 137438953468 KB%0d%0d"
              "Operating System : Tom & Jerry OS?%0dOS Version : 12%0dService Pack : Linux 6.1.0%0d"
              "Build : 1%0d");
    // No mail program: it says so, and the address and the report, line by
    // line, come as details that can be copied.
    FakeOpener opener;
    RecordingMessageBoxes boxes;
    SendBugReport(opener, boxes);
    ASSERT_EQ(opener.asked.size(), 1u);
    EXPECT_EQ(opener.asked[0].rfind("mailto:support@example.com?subject=Folioband Batch Edition&body=", 0),
              0u);
    EXPECT_NE(opener.asked[0].find("Product Version : 1.07%0d"), std::string::npos);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].text.find("No mail program"), std::string::npos);
    EXPECT_NE(boxes.shown[0].text.find("support@example.com"), std::string::npos);
    EXPECT_EQ(boxes.shown[0].reason.rfind("To: support@example.com\nSubject: Folioband Batch Edition\n", 0),
              0u);
    EXPECT_NE(boxes.shown[0].reason.find("\nProduct Version : 1.07\n"), std::string::npos);
    EXPECT_EQ(boxes.shown[0].reason.find("%0d"), std::string::npos);
    // With one, nothing is shown.
    opener.answer = {OpenStatus::Opened, 0};
    SendBugReport(opener, boxes);
    EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST(SystemInfoTest, TablesRulesAndTheMachinesOwnFiles)
{
    EXPECT_EQ(processorLevelText(kArchIntel, 6), "Pentium (II/Pro)");
    EXPECT_EQ(processorLevelText(kArchIntel, 15), "");
    EXPECT_EQ(processorLevelText(kArchIntel, 3), "Intel 80386");
    EXPECT_EQ(processorLevelText(kArchMips, 7), "Unknown");
    EXPECT_EQ(processorLevelText(kArchAlpha, 21064), "Alpha21064");
    EXPECT_EQ(processorLevelText(kArchPowerPc, 6), "PPC 603+");
    EXPECT_EQ(processorLevelText(kArchPowerPc, 2), "");
    EXPECT_EQ(processorLevelText(12, 6), "");
    EXPECT_EQ(processorArchitecture("x86_64"), kArchIntel);
    EXPECT_EQ(processorArchitecture("ppc64le"), kArchPowerPc);
    EXPECT_EQ(processorArchitecture("aarch64"), kArchUnknown);
    EXPECT_EQ(memoryText(2147483648ULL), "2097152 KB");
    EXPECT_EQ(memoryText(8ULL << 40), "8589934592 KB"); // beyond 4 GB, not cut at 32 bits

    SystemInfo unknown;
    applyOperatingSystemRules(OsFacts{}, unknown);
    EXPECT_EQ(unknown.operatingSystem, "Not able to get OS information");
    EXPECT_EQ(unknown.osVersion + unknown.servicePack + unknown.build, "");

    OsFacts facts{true,
                  "Linux",
                  "6.1.0-18-amd64",
                  "#1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1",
                  "x86_64",
                  parseOsRelease("# c\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME='Debian'\n"
                                 "VERSION_ID=\"12\"\nX=\"a \\\"q\\\"\"\n")};
    EXPECT_EQ(facts.osRelease["X"], "a \"q\"");
    SystemInfo debian;
    applyOperatingSystemRules(facts, debian);
    EXPECT_EQ(debian.operatingSystem, "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(debian.osVersion, "12");
    EXPECT_EQ(debian.servicePack, "Linux 6.1.0-18-amd64");
    EXPECT_EQ(debian.build, "1");
    facts.osRelease = {};
    SystemInfo bare;
    applyOperatingSystemRules(facts, bare);
    EXPECT_EQ(bare.operatingSystem, "Linux");
    EXPECT_EQ(bare.osVersion, "");

    TempDir dir;
    writeFileBytes(dir / "cpuinfo", "processor\t: 0\nvendor_id\t: GenuineIntel\ncpu family\t: 6\n"
                                    "cpu MHz\t\t: 2399.998\n\nprocessor\t: 1\nvendor_id\t: Other\n");
    writeFileBytes(dir / "meminfo",
                   "MemTotal:       16318200 kB\nMemFree:  1 kB\nMemAvailable:    9000001 kB\n");
    writeFileBytes(dir / "status", "Name:\tmervo\nVmRSS:\t   31244 kB\n");
    writeFileBytes(dir / "os-release", "PRETTY_NAME=\"Test OS 9\"\nVERSION_ID=9\n");
    SystemInfo info = readSystemInfo(
        {dir / "cpuinfo", dir / "meminfo", dir / "status", {dir / "none", dir / "os-release"}});
    std::vector<std::pair<std::string, std::string>> lines = info.lines();
    std::vector<std::string> labels;
    for (auto& l : lines)
        labels.push_back(l.first);
    EXPECT_EQ(labels, (std::vector<std::string>{"Product Version", "Processors", "Processor Level",
                                                "CPU Manufacturer", "CPU Speed", "Application Memory Used",
                                                "Total Psysical Memory", "Psysical Memory Available",
                                                "Total Virtual Memory", "Operating System", "OS Version",
                                                "Service Pack", "Build"}));
    EXPECT_EQ(info.productVersion, "1.07");
    EXPECT_GE(std::stoi(info.processors), 1);
    EXPECT_EQ(info.cpuManufacturer, "GenuineIntel");
    EXPECT_EQ(info.cpuSpeed, "2399 MHz");
    EXPECT_EQ(info.applicationMemoryUsed, "31244 KB");
    EXPECT_EQ(info.totalPhysicalMemory, "16318200 KB");
    EXPECT_EQ(info.physicalMemoryAvailable, "9000001 KB");
    EXPECT_EQ(info.operatingSystem, "Test OS 9");
    EXPECT_EQ(info.osVersion, "9");

    SystemInfo missing = readSystemInfo({dir / "x", dir / "x", dir / "x", {dir / "x"}});
    EXPECT_EQ(missing.cpuManufacturer + missing.cpuSpeed + missing.processorLevel, "");
    EXPECT_EQ(missing.totalPhysicalMemory, "");

    SystemInfo real = readSystemInfo(); // this machine: its own resident memory
    EXPECT_NE(real.applicationMemoryUsed, "");
    EXPECT_NE(real.totalPhysicalMemory, "0 KB");
}
