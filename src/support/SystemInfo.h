#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace fb {

// The machine as the bug-report mail describes it; every value starts empty.
struct SystemInfo {
    std::string productVersion;
    std::string processors;
    std::string processorLevel;
    std::string cpuManufacturer;
    std::string cpuSpeed;
    std::string applicationMemoryUsed;
    std::string totalPhysicalMemory;
    std::string physicalMemoryAvailable;
    std::string totalVirtualMemory;
    std::string operatingSystem;
    std::string osVersion;
    std::string servicePack;
    std::string build;

    // Label and value of each line of the mail, in mail order.
    std::vector<std::pair<std::string, std::string>> lines() const;
};

// Processor architecture numbers of the processor table.
constexpr int kArchIntel = 0, kArchMips = 1, kArchAlpha = 2, kArchPowerPc = 3, kArchUnknown = 0xFFFF;
int processorArchitecture(const std::string& machine); // uname's machine: "x86_64" -> Intel
std::string processorLevelText(int architecture, int level);

// Bytes shown in whole kilobytes: 2147483648 -> "2097152 KB".
std::string memoryText(std::uint64_t bytes);

// What the operating-system lines are made of.
struct OsFacts {
    bool known = false; // uname answered
    std::string sysname, release, version, machine;
    std::map<std::string, std::string> osRelease; // /etc/os-release, unquoted
};
std::map<std::string, std::string> parseOsRelease(const std::string& text);
void applyOperatingSystemRules(const OsFacts& facts, SystemInfo& info);

// Where the values are read; tests point these at files of their own.
struct SystemSources {
    std::string cpuinfo = "/proc/cpuinfo";
    std::string meminfo = "/proc/meminfo";
    std::string selfStatus = "/proc/self/status";
    std::vector<std::string> osRelease = {"/etc/os-release", "/usr/lib/os-release"};
};
SystemInfo readSystemInfo(const SystemSources& sources = {});

} // namespace fb
