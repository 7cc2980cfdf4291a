#include "cli/CommandLine.h"

#include "cli/Wildcard.h"
#include "common/Text.h"
#include "common/Trace.h"

#include <algorithm>

namespace fb {

namespace {

std::string withoutQuotes(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != '"') out += c;
    return out;
}

// Quotation marks removed, then blanks trimmed at both ends.
std::string cleaned(std::string_view text)
{
    return trimBlanks(withoutQuotes(text));
}

std::string defaultOutputFile(const std::string& startDirectory)
{
    if (startDirectory.empty()) return "default.pdf";
    if (startDirectory.back() == '/') return startDirectory + "default.pdf";
    return startDirectory + "/default.pdf";
}

} // namespace

std::vector<std::string> splitCommandLine(std::string_view raw)
{
    std::vector<std::string> slots;
    std::string token;
    bool inQuotes = false;
    for (char c : raw) {
        token += c;
        if (c == '"') inQuotes = !inQuotes;
        if (c == ' ' && !inQuotes) {
            slots.push_back(std::move(token));
            token.clear();
        }
    }
    slots.push_back(std::move(token));
    return slots;
}

bool commandLineTooLong(const std::vector<std::string>& slots, std::string& message)
{
    for (std::size_t i = 1; i < slots.size(); ++i) {
        if (slots[i].size() > kMaxTextLength) {
            message = "Argument too long (more than " + std::to_string(kMaxTextLength) +
                      " characters): " + slots[i].substr(0, 60) + "...";
            return true;
        }
    }
    return false;
}

void ExpandWildcard(const std::string& pattern, const RowValues& values, JobList& jobs)
{
    // The folder part ends at the last slash. A pattern without one names
    // files of the current folder, and its rows get the bare (relative) names.
    std::string folder;
    std::string prefix;
    std::string namePattern = pattern;
    std::size_t slash = pattern.rfind('/');
    if (slash != std::string::npos) {
        folder = slash == 0 ? "/" : pattern.substr(0, slash);
        prefix = pattern.substr(0, slash) + "/";
        namePattern = pattern.substr(slash + 1);
    }
    JobList::LoadScope load(jobs);
    for (const std::string& name : matchingFileNames(folder, namePattern)) {
        if (jobs.loadStopped()) break;
        std::string fullPath = prefix + name;
        if (!contains(toLowerAscii(fullPath), ".pdf")) continue;
        jobs.AddJobEntry(fullPath, 1, values);
    }
}

bool ProcessCommandLine(const std::vector<std::string>& slots, JobList& jobs, CommandLineHost& host,
                        RunOptions& options, const std::string& startDirectory)
{
    RowValues state;
    state.outputFile = defaultOutputFile(startDirectory);
    state.appendParameters = "all";
    state.createNew = "N";
    state.appendExisting = "Y";
    state.keepBookmarks = "N";
    state.bookmarkFilename = "N";
    options.noConnectionWindow = false;
    options.quietMode = false;

    bool whole = true;
    for (std::size_t i = 1; i < slots.size(); ++i) {
        if (host.stopRequested()) {
            whole = false;
            break;
        }
        const std::string& slot = slots[i];
        // A slot of a raw line keeps the space that ended it.
        if (trimRight(slot) == kVerboseSwitch) {
            setTracing(true);
            continue;
        }
        if (!slot.empty() && slot[0] == '-') {
            if (slot.size() < 2) continue;
            switch (slot[1]) {
            case 'a':
                state.createNew = "N";
                state.appendExisting = "Y";
                break;
            case 'b': state.keepBookmarks = "Y"; break;
            case 'c':
                state.createNew = "Y";
                state.appendExisting = "N";
                break;
            case 'd': options.noConnectionWindow = true; break;
            case 'e': options.quietMode = true; break;
            case 'f': state.bookmarkFilename = "Y"; break;
            case 'n': state.keepBookmarks = "N"; break;
            case 'o': state.outputFile = slot.substr(2); break;
            case 'p': state.appendParameters = slot.substr(2); break;
            case 'q': host.closeMainWindow(); break;
            case 'r': host.runAppend(); break;
            case 's': jobs.SortEntries(kFileName, true, 0, -1); break;
            default: break;
            }
            continue;
        }

        std::string name = cleaned(slot);
        RowValues values = state;
        values.outputFile = cleaned(state.outputFile);
        values.appendParameters = cleaned(state.appendParameters);
        if (contains(slot, ".app")) {
            host.readBatchFile(name);
        } else if (contains(name, "*")) {
            ExpandWildcard(name, values, jobs);
        } else if (!name.empty()) {
            // Blank slots (two spaces in a raw line) name no file.
            jobs.AddJobEntry(name, 1, values);
        }
    }
    host.refreshTotalItems();
    return whole;
}

std::string buildCommandLine(const JobEntry& entry)
{
    std::string text = "mervo";
    text += entry.createNew == "Y" ? " -c" : " -a";
    text += entry.keepBookmarks == "Y" ? " -b" : " -n";
    if (!entry.appendParameters.empty()) text += " -p" + entry.appendParameters;
    if (!entry.outputFile.empty()) text += " -o\"" + entry.outputFile + "\"";
    if (!entry.fileName.empty()) text += " \"" + entry.fileName + "\"";
    text += " -r -q";
    return text;
}

void ShowCommandLine(JobList& jobs, MessageBoxes& messages, Clipboard& clipboard, ParametersPrompt& prompt)
{
    int row = jobs.firstSelectedRow();
    if (row < 0) {
        messages.show("Please select item first", applicationName());
        return;
    }
    // A copy: the message box may let the list change under us.
    const JobEntry entry = jobs.entry(row);
    prompt.holdValues(entry.fileName, entry.values());
    std::string text = buildCommandLine(entry);
    MessageAnswer answer = messages.show(text + "\n\ncopy command to clipboard ?", "Command Line Parameters",
                                         MessageButtons::YesNo);
    if (answer == MessageAnswer::Yes) clipboard.setText(text);
}

} // namespace fb
