#include "engine/JobPlan.h"

#include "engine/AppendRun.h"
#include "engine/pdf/PdfOpen.h"
#include "jobs/JobList.h"
#include "jobs/ParametersPrompt.h"
#include "log/AppendLog.h"
#include "common/Files.h"
#include "common/Trace.h"

#include <qpdf/QPDF.hh>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

namespace fb {

namespace {

std::string oneLine(std::string text)
{
    for (char& c : text)
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    return text;
}

std::string runText(const PlannedRun& r)
{
    std::string text = r.source + ":" + std::to_string(r.first);
    if (r.last != r.first) text += "-" + std::to_string(r.last);
    return text;
}

// ---- documents of the plan --------------------------------------------------

struct PlanState {
    PlanWorld* world = nullptr;
    std::vector<std::weak_ptr<class PlanDoc>> docs;
    std::weak_ptr<class PlanView> activeView;
};

class PlanDoc : public PDDoc, public std::enable_shared_from_this<PlanDoc> {
public:
    explicit PlanDoc(std::shared_ptr<PlanState> state) : state_(std::move(state)) {}

    long Open(const std::string& path) override
    {
        closeDoc();
        auto pages = state_->world->openPages(path);
        if (!pages) return 0;
        open_ = true;
        out_ = PlannedOutput{};
        out_.path = path;
        out_.pages = std::move(*pages);
        out_.pagesBefore = static_cast<long>(out_.pages.size());
        registerOpen();
        return 1;
    }

    long Close() override
    {
        if (!open_) return 0;
        closeDoc();
        return 1;
    }

    long Create() override
    {
        closeDoc();
        open_ = true;
        out_ = PlannedOutput{};
        out_.created = true;
        registerOpen();
        return 1;
    }

    long GetNumPages() override { return open_ ? static_cast<long>(out_.pages.size()) : 0; }

    // Refuses exactly what the PDF layer's copy refuses.
    long InsertPages(long insertAfter, PDDoc& source, long firstPage, long count, long bookmarks) override
    {
        auto* src = dynamic_cast<PlanDoc*>(&source);
        if (!open_ || !src || src == this || !src->open_) return 0;
        const long outCount = GetNumPages();
        const long inCount = src->GetNumPages();
        if (insertAfter < -1 || insertAfter > outCount - 1) return 0;
        if (firstPage < 0 || count < 1 || firstPage >= inCount || count > inCount - firstPage) return 0;
        const auto& from = src->out_.pages;
        out_.pages.insert(out_.pages.begin() + (insertAfter + 1), from.begin() + firstPage,
                          from.begin() + firstPage + count);
        out_.runs.push_back({src->out_.path, firstPage + 1, firstPage + count, bookmarks != 0});
        lastNewBookmark_ = -1;
        return 1;
    }

    std::shared_ptr<AVDoc> OpenAVDoc(const std::string& title) override;

    long Save(short type, const std::string& path) override
    {
        (void)type;
        if (!open_ || path.empty()) return 0;
        PlannedOutput saved = out_;
        saved.path = path;
        if (!state_->world->save(path, std::move(saved))) return 0;
        // What follows is added to the file as it now stands.
        out_.path = path;
        out_.created = false;
        out_.pagesBefore = static_cast<long>(out_.pages.size());
        out_.runs.clear();
        out_.bookmarks.clear();
        return 1;
    }

    bool addBookmark(long page, const std::string& title)
    {
        const long n = GetNumPages();
        if (!open_ || n < 1) return false;
        page = std::clamp(page, 0L, n - 1);
        out_.bookmarks.push_back({page + 1, title});
        lastNewBookmark_ = static_cast<long>(out_.bookmarks.size()) - 1;
        return true;
    }

    // The bookmark the last NewBookmark made, while it still has this title.
    PlannedBookmark* newBookmarkTitled(const std::string& title)
    {
        if (lastNewBookmark_ < 0 || lastNewBookmark_ >= static_cast<long>(out_.bookmarks.size()))
            return nullptr;
        PlannedBookmark& b = out_.bookmarks[static_cast<std::size_t>(lastNewBookmark_)];
        return b.title == title ? &b : nullptr;
    }

    bool isOpen() const { return open_; }

    void closeDoc()
    {
        open_ = false;
        out_ = PlannedOutput{};
        lastNewBookmark_ = -1;
    }

private:
    // Listed once, so that closing all documents reaches this one.
    void registerOpen()
    {
        std::erase_if(state_->docs, [this](const auto& w) { return w.expired() || w.lock().get() == this; });
        state_->docs.push_back(weak_from_this());
    }

    std::shared_ptr<PlanState> state_;
    bool open_ = false;
    PlannedOutput out_;
    long lastNewBookmark_ = -1;
};

// A document's window, which the run only asks for to put a file-name
// bookmark at a page; it is its own page view.
class PlanView : public AVDoc, public AVPageView, public std::enable_shared_from_this<PlanView> {
public:
    PlanView(std::shared_ptr<PlanState> state, std::shared_ptr<PlanDoc> doc)
        : state_(std::move(state)), doc_(std::move(doc))
    {
    }
    // The run opens documents as PDDocs only.
    long Open(const std::string&, const std::string&) override { return 0; }
    std::shared_ptr<PDDoc> GetPDDoc() override { return doc_; }
    std::shared_ptr<AVPageView> GetAVPageView() override
    {
        return doc_ ? std::shared_ptr<AVPageView>(shared_from_this(), this) : nullptr;
    }
    long Close(long) override { return doc_ ? 1 : 0; }
    long GoTo(long page) override
    {
        if (!doc_ || !doc_->isOpen() || page < 0 || page >= doc_->GetNumPages()) return 0;
        shown_ = page;
        return 1;
    }
    bool addBookmark() { return doc_ && doc_->isOpen() && doc_->addBookmark(shown_, "Untitled"); }

private:
    std::shared_ptr<PlanState> state_;
    std::shared_ptr<PlanDoc> doc_;
    long shown_ = 0;
};

std::shared_ptr<AVDoc> PlanDoc::OpenAVDoc(const std::string& title)
{
    (void)title;
    if (!open_) return nullptr;
    auto view = std::make_shared<PlanView>(state_, shared_from_this());
    state_->activeView = view;
    return view;
}

class PlanApp : public App {
public:
    explicit PlanApp(std::shared_ptr<PlanState> state) : state_(std::move(state)) {}
    long Exit() override { return CloseAllDocs(); }
    long CloseAllDocs() override
    {
        auto docs = state_->docs;
        for (auto& w : docs)
            if (auto d = w.lock()) d->closeDoc();
        state_->docs.clear();
        state_->activeView.reset();
        return 1;
    }
    long MenuItemExecute(const std::string& item) override
    {
        if (item != "NewBookmark") return 0;
        auto view = state_->activeView.lock();
        return view && view->addBookmark() ? 1 : 0;
    }

private:
    std::shared_ptr<PlanState> state_;
};

class PlanBookmark : public PDBookmark {
public:
    long GetByTitle(PDDoc& doc, const std::string& title) override
    {
        auto* d = dynamic_cast<PlanDoc*>(&doc);
        found_ = d ? d->newBookmarkTitled(title) : nullptr;
        return found_ ? 1 : 0;
    }
    long SetTitle(const std::string& title) override
    {
        if (!found_) return 0;
        found_->title = title;
        return 1;
    }

private:
    PlannedBookmark* found_ = nullptr;
};

class PlanServer : public AutomationServer {
public:
    explicit PlanServer(PlanWorld& world) { state_->world = &world; }
    std::shared_ptr<App> createApp() override { return std::make_shared<PlanApp>(state_); }
    std::shared_ptr<AVDoc> createAVDoc() override { return std::make_shared<PlanView>(state_, nullptr); }
    std::shared_ptr<PDDoc> createPDDoc() override { return std::make_shared<PlanDoc>(state_); }
    std::shared_ptr<PDBookmark> createPDBookmark() override { return std::make_shared<PlanBookmark>(); }

private:
    std::shared_ptr<PlanState> state_ = std::make_shared<PlanState>();
};

} // namespace

// ---- the plan ----------------------------------------------------------------

void JobPlan::add(const std::string& keyword, const std::string& rest)
{
    lines.push_back(keyword + " " + oneLine(rest));
}

std::string JobPlan::text() const
{
    std::string out;
    for (const std::string& line : lines)
        out += line + "\n";
    return out;
}

MessageAnswer PlanMessages::show(const std::string& text, const std::string& caption, MessageButtons buttons,
                                 MessageIcon icon)
{
    (void)icon;
    plan_.messages.push_back(caption + ": " + text);
    plan_.add("message", caption + ": " + text);
    return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

// ---- the pretend file system -------------------------------------------------

PlanWorld::PlanWorld(JobPlan& plan) : plan_(plan), server_(std::make_unique<PlanServer>(*this)) {}
PlanWorld::~PlanWorld() = default;

AutomationServer& PlanWorld::server()
{
    return *server_;
}

std::string PlanWorld::key(const std::string& path) const
{
    if (path.empty()) return path;
    std::error_code ec;
    auto abs = std::filesystem::absolute(path, ec);
    if (ec) return path;
    std::string k = abs.lexically_normal().string();
    while (k.size() > 1 && k.back() == '/')
        k.pop_back();
    return k;
}

const PlanWorld::File* PlanWorld::made(const std::string& path) const
{
    auto it = made_.find(key(path));
    return it == made_.end() ? nullptr : &it->second;
}

bool PlanWorld::removed(const std::string& path) const
{
    return removed_.count(key(path)) > 0;
}

bool PlanWorld::exists(const std::string& path)
{
    if (made(path)) return true;
    if (removed(path)) return false;
    return fb::pathExists(path);
}

bool PlanWorld::folderWritable(const std::string& folderWithSlash)
{
    std::string folder = folderWithSlash.empty() ? "." : folderWithSlash;
    if (folders_.count(key(folder))) return true;
    return fb::isDirectory(folder) && ::access(folder.c_str(), W_OK) == 0;
}

bool PlanWorld::canOpenForReading(const std::string& path)
{
    if (made(path)) return true;
    return !removed(path) && fb::canOpenForReading(path);
}

int PlanWorld::openError(const std::string& path)
{
    if (made(path)) return 0;
    return removed(path) ? ENOENT : RunFiles::openError(path);
}

bool PlanWorld::isRegularFile(const std::string& path)
{
    if (made(path)) return true;
    return !removed(path) && fb::isRegularFile(path);
}

bool PlanWorld::isReadableRegularFile(const std::string& path)
{
    if (made(path)) return true;
    return !removed(path) && fb::isReadableRegularFile(path);
}

bool PlanWorld::pathExists(const std::string& path)
{
    return exists(path);
}

bool PlanWorld::sameFile(const std::string& a, const std::string& b)
{
    if (made(a) || made(b) || removed(a) || removed(b)) return key(a) == key(b);
    return fb::sameFile(a, b);
}

std::string PlanWorld::tokenOf(const std::string& path)
{
    if (const File* f = made(path)) return f->token;
    return "file:" + key(path);
}

bool PlanWorld::sameContent(const std::string& a, const std::string& b)
{
    if (!exists(a) || !exists(b)) return false;
    const File* fa = made(a);
    const File* fb_ = made(b);
    if (!fa && !fb_) return fb::sameContent(a, b);
    if (tokenOf(a) == tokenOf(b)) return true;
    // A copy of a real file has that file's bytes.
    const std::string ra = fa ? fa->contentOf : a;
    const std::string rb = fb_ ? fb_->contentOf : b;
    return !ra.empty() && !rb.empty() && fb::sameContent(ra, rb);
}

bool PlanWorld::canReplace(const std::string& path)
{
    if (made(path)) return folderWritable(folderPartWithSlash(path));
    if (removed(path)) return false;
    return RunFiles::canReplace(path);
}

bool PlanWorld::writableOrAbsent(const std::string& path)
{
    // What the plan itself wrote or removed is the runner's own.
    if (made(path) || removed(path)) return true;
    return fb::writableOrAbsent(path);
}

bool PlanWorld::createFolderOneLevel(const std::string& path)
{
    if (fb::isDirectory(path) || folders_.count(key(path))) return true;
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    if (exists(trimmed)) return false; // a file of that name
    if (!folderWritable(folderPartWithSlash(trimmed))) return false;
    folders_.insert(key(path));
    return true;
}

bool PlanWorld::copy(const std::string& from, const std::string& to, bool replace)
{
    if (!exists(from)) {
        errno = ENOENT;
        return false;
    }
    if (!replace && exists(to)) {
        errno = EEXIST;
        return false;
    }
    if (!folderWritable(folderPartWithSlash(to))) {
        errno = EACCES;
        return false;
    }
    File f;
    if (const File* src = made(from))
        f = *src;
    else {
        f.contentOf = from;
        f.token = "file:" + key(from);
    }
    made_[key(to)] = f;
    removed_.erase(key(to));
    lastCopy_ = PlannedMove{from, to};
    return true;
}

bool PlanWorld::copyFileReplacing(const std::string& from, const std::string& to)
{
    return copy(from, to, true);
}
bool PlanWorld::copyFileNoReplace(const std::string& from, const std::string& to)
{
    return copy(from, to, false);
}

bool PlanWorld::removeFile(const std::string& path)
{
    if (!exists(path)) return false;
    if (!made(path) && !folderWritable(folderPartWithSlash(path))) return false;
    made_.erase(key(path));
    if (fb::pathExists(path)) removed_.insert(key(path));
    // A copy followed by removing its original is the run's move.
    if (lastCopy_ && key(lastCopy_->from) == key(path)) {
        plan_.moves.push_back(*lastCopy_);
        plan_.add("move", lastCopy_->from + " -> " + lastCopy_->to);
        lastCopy_.reset();
    }
    return true;
}

bool PlanWorld::openLog(AppendLog& log)
{
    // Whether the real run could open it, without creating it.
    const std::string& path = log.path();
    if (fb::pathExists(path)) return fb::isRegularFile(path) && ::access(path.c_str(), W_OK) == 0;
    return folderWritable(folderPartWithSlash(path));
}

bool PlanWorld::writeLogRecord(AppendLog& log, const std::string& output, const std::string& source)
{
    (void)log;
    (void)source;
    plan_.logRecords.push_back(output);
    plan_.add("log", output);
    return true;
}

std::optional<std::vector<PlannedPage>> PlanWorld::openPages(const std::string& path)
{
    std::string real = path;
    if (const File* f = made(path)) {
        if (f->pages) return f->pages;
        real = f->contentOf;
    } else if (removed(path)) {
        return std::nullopt;
    }
    const std::string k = key(real);
    auto cached = realPages_.find(k);
    if (cached != realPages_.end()) return cached->second;
    std::optional<std::vector<PlannedPage>> pages;
    // Opened as the page work opens it, so what it refuses (a missing file, a
    // folder, a pipe) is refused here too.
    try {
        auto pdf = pdf::openPdf(real);
        const long n = static_cast<long>(pdf->getAllPages().size());
        pages.emplace();
        for (long p = 1; p <= n; ++p)
            pages->push_back({k, p});
    } catch (const std::exception& e) {
        // Planned as the run would meet it: a source that does not open.
        trace("plan: " + real + ": " + e.what());
        pages.reset();
    }
    realPages_[k] = pages;
    return pages;
}

bool PlanWorld::save(const std::string& path, PlannedOutput output)
{
    if (!folderWritable(folderPartWithSlash(path))) return false;
    if (fb::isDirectory(path) && !made(path)) return false;
    File f;
    f.pages = output.pages;
    f.token = "saved:" + std::to_string(++saves_);
    made_[key(path)] = f;
    removed_.erase(key(path));

    plan_.add("output", std::string(output.created ? "create " : "append ") + path);
    for (const PlannedRun& r : output.runs) {
        plan_.add("pages", runText(r));
        if (r.keepBookmarks) plan_.add("keep-bookmarks", runText(r));
    }
    for (const PlannedBookmark& b : output.bookmarks)
        plan_.add("bookmark", std::to_string(b.page) + " " + b.title);
    plan_.add("total", std::to_string(output.pages.size()) + " " + path);
    plan_.outputs.push_back(std::move(output));
    return true;
}

// ---- a plan of rows held elsewhere ---------------------------------------------

JobPlan planRows(const std::vector<JobEntry>& rows, const FillerFiles& fillers, const RunOptions& options,
                 const std::string& logPath)
{
    JobPlan plan;
    PlanWorld world(plan);
    PlanMessages messages(plan);
    CancelParametersPrompt prompt;
    // A copy of the rows: the run writes their statuses.
    JobList jobs(messages, prompt, [](const std::string&) { return -1; });
    for (const JobEntry& row : rows) {
        if (jobs.AddJobEntry(row.fileName, 1, row.values()) != 1) continue;
        const int i = jobs.rowCount() - 1;
        for (int column = 0; column < kColumnCount; ++column)
            jobs.setText(i, column, row.column(column));
    }
    plan.messages.clear();
    plan.lines.clear();
    AppendLog log(logPath);
    if (!world.openLog(log)) {
        plan.add("message", "Log File Error: Can't open append.log");
        plan.incomplete = true;
        return plan;
    }
    AppendRunHost host;
    PlanReaderCloser readers;
    ConnectionWindow connection;
    AppendRun run(jobs, world.server(), messages, log, fillers, readers, host, connection, options);
    run.setFiles(world);
    run.click();
    for (const std::string& item : run.undone()) {
        plan.notDone.push_back(item);
        plan.add("not-done", item);
    }
    const RunResult result = run.lastResult();
    plan.incomplete = result == RunResult::Stopped || result == RunResult::Failed ||
                      !run.missingSources().empty() || !plan.notDone.empty();
    for (int i = 0; i < jobs.rowCount(); ++i)
        if (jobs.text(i, kStatus) == "Processing") plan.leftProcessing = true;
    return plan;
}

} // namespace fb
