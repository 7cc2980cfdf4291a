#include "bulk/BulkLoad.h"

#include "common/Files.h"
#include "common/Text.h"

#include <exception>
#include <utility>

#include <dirent.h>
#include <sys/stat.h>

namespace fb {

namespace {

const char* const kPdf = ".pdf";

std::string removeAll(std::string text, const std::string& part)
{
    std::string out;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(part, from)) != std::string::npos; from = at + part.size())
        out.append(text, from, at - from);
    out.append(text, from, std::string::npos);
    return out;
}

// What one directory entry is. Links are looked through for files only: a
// link to a folder is neither entered (a loop would never end) nor offered as
// a file.
enum class EntryKind { File, Folder, Skip };

EntryKind entryKind(const std::string& path, unsigned char type)
{
    if (type == DT_DIR) return EntryKind::Folder;
    if (type == DT_REG) return EntryKind::File;
    struct stat st {};
    if (type == DT_UNKNOWN) {
        if (::lstat(path.c_str(), &st) != 0) return EntryKind::File;
        if (S_ISDIR(st.st_mode)) return EntryKind::Folder;
        if (!S_ISLNK(st.st_mode)) return EntryKind::File;
    } else if (type != DT_LNK) {
        return EntryKind::File;
    }
    // A link: a dangling one still names a file, which the job list marks
    // "No File.".
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return EntryKind::Skip;
    return EntryKind::File;
}

// Closes the listing however the folder's walk ends.
struct Listing {
    explicit Listing(const std::string& folder) : dir(::opendir(folder.c_str())) {}
    ~Listing()
    {
        if (dir) ::closedir(dir);
    }
    Listing(const Listing&) = delete;
    Listing& operator=(const Listing&) = delete;
    dirent* next() { return dir ? ::readdir(dir) : nullptr; }
    DIR* dir;
};

} // namespace

std::string joinPath(const std::string& folder, const std::string& name)
{
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

std::string groupingOutputName(const std::string& outputDirectory, const std::string& title,
                               const std::string& suffix)
{
    std::string name = removeAll(removeAll(title, ".pdf"), ".PDF");
    return joinPath(outputDirectory, name) + suffix + ".pdf";
}

BulkLoader::BulkLoader(BulkLoadServices services) : services_(std::move(services)) {}

void BulkLoader::BulkLoadGrouping()
{
    run(Mode::Grouping);
}
void BulkLoader::BulkLoadToOneOutput()
{
    run(Mode::OneOutput);
}

void BulkLoader::stopWalk()
{
    if (progress_) progress_->requestStop();
}

void BulkLoader::run(Mode mode)
{
    // A command that arrives while a walk is pumping events would empty the
    // list under it; the walk in progress goes on alone.
    if (walking()) return;

    struct RefreshTotal {
        JobList& jobs;
        ~RefreshTotal() { jobs.notifyTotalItems(); }
    } refresh{services_.jobs};

    services_.jobs.ClearAll();
    bool ok = mode == Mode::Grouping ? services_.options.askGrouping(grouping_)
                                     : services_.options.askOneOutput(oneOutput_);
    if (!ok) return;

    auto chosen = services_.folders.chooseFolder(
        {"Drive or Directory to load...", "Please choose your drive to load documents from...", "/"});
    if (!chosen) return;
    std::string folder = *chosen;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    // The root keeps its one slash: an empty folder means "nothing to walk".

    added_ = 0;
    JobList::LoadScope load(services_.jobs);
    progress_ = services_.openProgress ? services_.openProgress() : std::make_unique<SilentScanProgress>();
    progress_->showFolder(folder);
    lastTurn_ = std::chrono::steady_clock::now();
    try {
        if (mode == Mode::Grouping)
            WalkFolderGrouping(folder, kPdf, true);
        else
            WalkFolderOneOutput(folder, kPdf, true, oneOutput_.containsText);
    } catch (...) {
        // Only closes the progress window; whatever the window's handlers threw goes on up.
        progress_.reset();
        throw;
    }
    progress_.reset();
    services_.messages.show("Bulk Files Loaded", applicationName());
}

void BulkLoader::WalkFolderGrouping(const std::string& folder, const std::string& extension, bool recurse)
{
    walk(folder, extension, recurse, Mode::Grouping, "");
}

void BulkLoader::WalkFolderOneOutput(const std::string& folder, const std::string& extension, bool recurse,
                                     const std::string& contains)
{
    walk(folder, extension, recurse, Mode::OneOutput, contains);
}

void BulkLoader::turn(const std::string& folder)
{
    if (std::chrono::steady_clock::now() - lastTurn_ < services_.turnEvery) return;
    if (progress_) progress_->showFolder(folder);
    services_.pump.dispatchOnePending();
    lastTurn_ = std::chrono::steady_clock::now();
}

void BulkLoader::walk(const std::string& folder, const std::string& extension, bool recurse, Mode mode,
                      const std::string& contains)
{
    if (stopRequested()) return;
    if (!folder.empty()) {
        turn(folder);
        // One open listing per folder level and nothing else: a folder's
        // entries are never gathered.
        Listing listing(folder);
        bool first = true;
        for (dirent* entry = listing.next(); entry; entry = listing.next(), first = false) {
            if (!first) {
                turn(folder);
                if (stopRequested()) return;
            }
            try {
                std::string name = entry->d_name;
                std::string path = joinPath(folder, name);
                switch (entryKind(path, entry->d_type)) {
                case EntryKind::Folder:
                    if (recurse && name[0] != '.') walk(path, extension, true, mode, contains);
                    break;
                case EntryKind::File: addFile(folder, name, extension, mode, contains); break;
                case EntryKind::Skip: break;
                }
            } catch (const std::exception&) {
                // One entry's failure costs that entry only.
            }
            // The main window is painted at the list's turns, not after every
            // entry: a repaint costs more than a row.
            services_.jobs.loadPoint();
        }
    }
    if (services_.fitFileNameColumn) services_.fitFileNameColumn();
}

void BulkLoader::addFile(const std::string& folder, const std::string& name, const std::string& extension,
                         Mode mode, const std::string& contains)
{
    if (mode == Mode::OneOutput && !contains.empty() && !fb::contains(name, contains)) return;
    std::string path = joinPath(folder, name);
    if (!fb::contains(toLowerAscii(path), extension)) return;

    int result;
    if (mode == Mode::Grouping) {
        std::string output = groupingOutputName(grouping_.outputDirectory, fileTitle(path), grouping_.suffix);
        result = services_.jobs.AddJobEntry(path, 1, {"all", "", output, "N", "N", "Y", "N"});
    } else {
        bool first = oneOutput_.removeExisting && services_.jobs.rowCount() == 0;
        result = services_.jobs.AddJobEntry(
            path, 1, {"all", "", oneOutput_.oneOutputFile, "N", first ? "Y" : "N", "Y", "N"});
    }
    if (result != 1) return;
    ++added_;
    if (progress_) progress_->showFilesAdded(added_);
}

} // namespace fb
