#include "support/SystemInfo.h"

#include "common/Version.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace fb {

namespace {

std::string readWhole(const std::string& path, bool& ok)
{
    std::ifstream in(path, std::ios::binary);
    ok = static_cast<bool>(in);
    std::ostringstream s;
    if (ok) s << in.rdbuf();
    return s.str();
}

std::string trimmed(const std::string& s)
{
    std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return "";
    std::size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

// The value of the first "key : value" line, or "" (for /proc/cpuinfo and /proc/meminfo).
std::string procField(const std::string& text, const std::string& key)
{
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        if (trimmed(line.substr(0, colon)) == key) return trimmed(line.substr(colon + 1));
    }
    return "";
}

// "16318200 kB" -> bytes; 0 when missing.
std::uint64_t kilobyteField(const std::string& text, const std::string& key)
{
    std::string v = procField(text, key);
    return v.empty() ? 0 : std::strtoull(v.c_str(), nullptr, 10) * 1024;
}

// The largest address space a process of this machine may use.
std::uint64_t addressSpaceBytes(const std::string& machine)
{
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) return limit.rlim_cur;
    if (sizeof(void*) == 4) return 0xC0000000ULL;
    if (machine == "aarch64") return 1ULL << 48;
    return 0x7FFFFFFFF000ULL; // x86-64 user space
}

} // namespace

std::vector<std::pair<std::string, std::string>> SystemInfo::lines() const
{
    return {{"Product Version", productVersion},
            {"Processors", processors},
            {"Processor Level", processorLevel},
            {"CPU Manufacturer", cpuManufacturer},
            {"CPU Speed", cpuSpeed},
            {"Application Memory Used", applicationMemoryUsed},
            {"Total Psysical Memory", totalPhysicalMemory},
            {"Psysical Memory Available", physicalMemoryAvailable},
            {"Total Virtual Memory", totalVirtualMemory},
            {"Operating System", operatingSystem},
            {"OS Version", osVersion},
            {"Service Pack", servicePack},
            {"Build", build}};
}

int processorArchitecture(const std::string& machine)
{
    // A 32-bit program on a 64-bit PC is told "Intel" with the processor's
    // family as its level; x86-64 is treated the same way.
    if (machine == "x86_64" || machine == "i386" || machine == "i486" || machine == "i586" ||
        machine == "i686")
        return kArchIntel;
    if (machine.rfind("mips", 0) == 0) return kArchMips;
    if (machine.rfind("alpha", 0) == 0) return kArchAlpha;
    if (machine.rfind("ppc", 0) == 0 || machine.rfind("powerpc", 0) == 0) return kArchPowerPc;
    return kArchUnknown;
}

std::string processorLevelText(int architecture, int level)
{
    switch (architecture) {
    case kArchIntel:
        switch (level) {
        case 3: return "Intel 80386";
        case 4: return "Intel 80486";
        case 5: return "Pentium";
        case 6: return "Pentium (II/Pro)";
        }
        return "";
    case kArchMips: return level == 4 ? "MIPS R4000" : "Unknown";
    case kArchAlpha: return "Alpha" + std::to_string(level);
    case kArchPowerPc:
        switch (level) {
        case 1: return "PPC 601";
        case 3: return "PPC 603";
        case 4: return "PPC 604";
        case 6: return "PPC 603+";
        case 9: return "PPC 604+";
        case 20: return "PPC 620";
        }
        return "";
    }
    return "";
}

std::string memoryText(std::uint64_t bytes)
{
    return std::to_string(bytes / 1024) + " KB";
}

std::map<std::string, std::string> parseOsRelease(const std::string& text)
{
    std::map<std::string, std::string> values;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        line = trimmed(line);
        if (line.empty() || line[0] == '#') continue;
        std::size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = line.substr(0, eq), raw = line.substr(eq + 1), value;
        char quote = !raw.empty() && (raw[0] == '"' || raw[0] == '\'') ? raw[0] : 0;
        for (std::size_t i = quote ? 1 : 0; i < raw.size(); ++i) {
            if (quote && raw[i] == quote) break;
            if (quote == '"' && raw[i] == '\\' && i + 1 < raw.size()) ++i;
            value += raw[i];
        }
        values[key] = value;
    }
    return values;
}

void applyOperatingSystemRules(const OsFacts& facts, SystemInfo& info)
{
    if (!facts.known) {
        info.operatingSystem = "Not able to get OS information";
        return;
    }
    auto field = [&](const char* key) {
        auto it = facts.osRelease.find(key);
        return it == facts.osRelease.end() ? std::string() : it->second;
    };
    info.operatingSystem = field("PRETTY_NAME");
    if (info.operatingSystem.empty()) {
        info.operatingSystem = field("NAME");
        std::string version = field("VERSION");
        if (!info.operatingSystem.empty() && !version.empty()) info.operatingSystem += " " + version;
    }
    if (info.operatingSystem.empty()) info.operatingSystem = facts.sysname;
    info.osVersion = field("VERSION_ID");
    // The kernel stands where a service pack would: it is what gets updated
    // under the same distribution version.
    info.servicePack = trimmed(facts.sysname + " " + facts.release);
    // The kernel's build number: "#1 SMP PREEMPT_DYNAMIC ..." -> "1".
    if (!facts.version.empty() && facts.version[0] == '#') {
        std::size_t end = facts.version.find_first_not_of("0123456789", 1);
        info.build = facts.version.substr(1, end == std::string::npos ? std::string::npos : end - 1);
    }
}

SystemInfo readSystemInfo(const SystemSources& sources)
{
    SystemInfo info;
    info.productVersion = kVersion;
    long processors = ::sysconf(_SC_NPROCESSORS_ONLN);
    if (processors > 0) info.processors = std::to_string(processors);

    OsFacts facts;
    struct utsname names {};
    if (::uname(&names) == 0) {
        facts.known = true;
        facts.sysname = names.sysname;
        facts.release = names.release;
        facts.version = names.version;
        facts.machine = names.machine;
    }

    bool ok = false;
    std::string cpuinfo = readWhole(sources.cpuinfo, ok);
    if (ok) {
        std::string family = procField(cpuinfo, "cpu family");
        info.processorLevel = processorLevelText(processorArchitecture(facts.machine),
                                                 family.empty() ? 0 : std::atoi(family.c_str()));
        info.cpuManufacturer = procField(cpuinfo, "vendor_id").substr(0, 63);
        std::string mhz = procField(cpuinfo, "cpu MHz");
        if (!mhz.empty()) info.cpuSpeed = std::to_string(std::atoi(mhz.c_str())) + " MHz";
    }

    std::string status = readWhole(sources.selfStatus, ok);
    if (ok && !procField(status, "VmRSS").empty())
        info.applicationMemoryUsed = memoryText(kilobyteField(status, "VmRSS"));
    std::string meminfo = readWhole(sources.meminfo, ok);
    if (ok) {
        info.totalPhysicalMemory = memoryText(kilobyteField(meminfo, "MemTotal"));
        info.physicalMemoryAvailable = memoryText(kilobyteField(meminfo, "MemAvailable"));
    }
    info.totalVirtualMemory = memoryText(addressSpaceBytes(facts.machine));

    for (const std::string& path : sources.osRelease) {
        std::string text = readWhole(path, ok);
        if (ok) {
            facts.osRelease = parseOsRelease(text);
            break;
        }
    }
    applyOperatingSystemRules(facts, info);
    return info;
}

} // namespace fb
