#include "engine/QpdfAutomation.h"

#include "engine/pdf/IncrementalWriter.h"
#include "engine/pdf/OpenOutputCache.h"
#include "engine/pdf/Outline.h"
#include "engine/pdf/PageCopier.h"
#include "engine/pdf/PageTreeAppender.h"
#include "engine/pdf/SourceIndex.h"
#include "engine/pdf/PdfOpen.h"
#include "engine/pdf/PdfSave.h"
#include "common/Messages.h"
#include "common/Trace.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <vector>

namespace fb {

namespace {

using OH = QPDFObjectHandle;

class QpdfPDDoc;
class QpdfAVDoc;

// An output gets a full rewrite after this many updates, which bounds the
// chain of updates and what older versions of objects add to the file.
constexpr int kMaxUpdates = 1000;
// Copied pages read their streams from their sources until a full rewrite,
// and each source holds its file open. Past this many the output is not kept
// open for the next row, which reads it afresh from the file instead.
constexpr std::size_t kMaxHeldSources = 200;

struct ServerState {
    std::vector<std::weak_ptr<QpdfPDDoc>> docs;
    std::vector<std::weak_ptr<QpdfAVDoc>> views;
    std::weak_ptr<QpdfAVDoc> activeView;
    pdf::OpenOutputCache outputs;
    long changes = 0; // every change to any document counts, so a kept output knows it is current
    // Outputs let go with a chain of updates: the file as it was left, and how
    // many updates since its full write, so the count goes on when it is read again.
    std::map<std::string, std::pair<pdf::FileIdentity, int>> chains;
    // Sources pages were copied from, by path, while an output still holds
    // them: a later row opening the same file takes the same document, so
    // its pages go on the same copy (links and bookmarks between the rows
    // kept, shared resources copied once).
    struct HeldSource {
        pdf::FileIdentity identity;
        std::weak_ptr<QPDF> pdf;
        std::weak_ptr<pdf::SourceIndex> index;
    };
    std::map<std::string, HeldSource> sources;
    void closeAll();
};

// ---- documents -------------------------------------------------------------

class QpdfPDDoc : public PDDoc, public std::enable_shared_from_this<QpdfPDDoc> {
public:
    explicit QpdfPDDoc(std::shared_ptr<ServerState> state) : state_(std::move(state)) {}

    long Open(const std::string& path) override
    {
        failure_.clear();
        try {
            closeDoc();
            if (auto kept = state_->outputs.take(path, state_->changes)) {
                pdf_ = std::move(kept->pdf);
                writer_ = std::move(kept->writer);
                copier_ = std::move(kept->copier);
                keepAlive_ = std::move(kept->sources);
                pageCount_ = kept->pageCount;
                tracking_ = true;
                pageCacheStale_ = true;
                path_ = path;
                registerOpen();
                return 1;
            }
            const auto identity = pdf::identityOf(path);
            if (identity && borrowHeld(path, *identity)) return 1;
            readFile(path);
            openedAs_ = identity;
            path_ = path;
            registerOpen();
            // Gathering the warnings costs a copy of each, which only the trace wants.
            if (tracing()) {
                const std::string noticed = pdf::warningsOf(*pdf_);
                trace("open " + path + ": " + std::to_string(pageCount_) + " pages" +
                      (noticed.empty() ? "" : " (damaged: " + noticed + ")"));
            }
            return 1;
        } catch (const std::exception& e) {
            closeDoc();
            failure_ = e.what();
            trace("open " + path + ": " + failure_);
            return 0;
        }
    }

    std::string lastFailure() const override { return failure_; }

    long Close() override
    {
        if (!pdf_) return 0;
        // Saved as an update and unchanged since: the next row that appends
        // to the same file can take it as it is.
        if (writer_ && savedAt_ == state_->changes && !path_.empty()) {
            auto kept = std::make_unique<pdf::OpenOutput>();
            kept->pdf = pdf_;
            kept->writer = std::move(writer_);
            kept->copier = std::move(copier_);
            kept->sources = keepAlive_;
            kept->pageCount = pageCount_;
            state_->outputs.keep(path_, std::move(kept), state_->changes);
        }
        closeDoc();
        return 1;
    }

    long Create() override
    {
        try {
            closeDoc();
            pdf_ = pdf::createEmptyPdf();
            pageCount_ = 0;
            path_.clear();
            registerOpen();
            return 1;
        } catch (const std::exception& e) {
            closeDoc();
            throw AutomationError(std::string("cannot create document: ") + e.what());
        }
    }

    long GetNumPages() override { return pdf_ ? pageCount_ : 0; }

    long InsertPages(long insertAfter, PDDoc& source, long firstPage, long count, long bookmarks) override
    {
        failure_.clear();
        auto* src = dynamic_cast<QpdfPDDoc*>(&source);
        try {
            if (pdf_) makePrivate();
            if (!pdf_ || !src || src == this || !src->pdf_ || src->pdf_ == pdf_) return 0;
            trace("insert pages " + std::to_string(firstPage + 1) + "-" + std::to_string(firstPage + count) +
                  " of " + src->path_ + " after page " + std::to_string(insertAfter + 1));
            return insertFrom(*src, insertAfter, firstPage, count, bookmarks != 0) ? 1 : 0;
        } catch (const std::exception& e) {
            failure_ = e.what();
            // A damaged source says why in its warnings, which the copy read.
            if (src && src->pdf_) {
                const std::string noticed = pdf::warningsOf(*src->pdf_);
                if (!noticed.empty()) failure_ += "; " + noticed;
            }
            trace("insert failed: " + failure_);
            return 0;
        }
    }

    std::shared_ptr<AVDoc> OpenAVDoc(const std::string& title) override;

    long Save(short type, const std::string& path) override
    {
        (void)type; // a full rewrite drops unreferenced objects; an update only adds
        failure_.clear();
        if (!pdf_ || path.empty()) return 0;
        if (!unreadable_.empty()) {
            failure_ = unreadable_;
            return 0;
        }
        try {
            makePrivate();
            if (copier_) copier_->finishOutlines();
            errno = 0;
            // A higher version goes in the catalog when the save is an update;
            // a full rewrite puts it in the header.
            const std::string version = copier_ ? copier_->minimumVersion() : std::string();
            const bool update =
                writer_ && !untracked_ && path == path_ && writer_->savesSinceFullWrite() < kMaxUpdates;
            if (update && copier_) copier_->raiseCatalogVersion();
            if (update && writer_->save(*pdf_, path, touched(), &failure_)) {
                if (appender_) appender_->clearTouched();
                if (copier_) copier_->clearTouched();
                savedAt_ = state_->changes;
                trace("save " + path + ": update appended");
                if (keepAlive_.size() >= kMaxHeldSources) {
                    if (auto id = pdf::identityOf(path))
                        state_->chains[path] = {*id, writer_->savesSinceFullWrite()};
                    savedAt_ = -1; // not kept: the next row opens the file, and the sources go
                }
                return 1;
            }
            if (pageCacheStale_) pdf_->updateAllPagesCache();
            pageCacheStale_ = false;
            // A failed update leaves the file as it was; a full rewrite may
            // still succeed (its reason is the one told).
            if (!pdf::savePdfAtomically(*pdf_, path, version, &failure_)) return 0;
            // The file no longer matches what the writer knew; the next row
            // opens it afresh and appends updates from there.
            writer_.reset();
            savedAt_ = -1;
            failure_.clear();
            trace("save " + path + ": whole file written");
            return 1;
        } catch (const std::exception& e) {
            failure_ = e.what();
            trace("save " + path + ": " + failure_);
            return 0;
        }
    }

    // ---- used by the other objects of this server ----
    QPDF* pdf() const { return pdf_.get(); }
    std::shared_ptr<QPDF> pdfShared() const { return pdf_; }

    void closeDoc()
    {
        appender_.reset();
        writer_.reset();
        copier_.reset();
        index_.reset();
        lastNewBookmark_ = OH();
        pdf_.reset();
        keepAlive_.clear();
        path_.clear();
        pageCount_ = 0;
        tracking_ = false;
        untracked_ = false;
        pageCacheStale_ = false;
        savedAt_ = -1;
        shared_ = false;
        openedAs_.reset();
        unreadable_.clear();
    }

    // Reads path as this document's own, noting a page that cannot be read
    // whole: fine for a source whose other pages are taken; an output with
    // such a page takes no pages and is not saved.
    void readFile(const std::string& path)
    {
        pdf_ = pdf::openPdf(path);
        const auto& pages = pdf_->getAllPages();
        pageCount_ = static_cast<long>(pages.size());
        unreadable_.clear();
        for (long i = 0; i < pageCount_ && unreadable_.empty(); ++i)
            unreadable_ = pdf::unreadablePage(*pdf_, pages[static_cast<std::size_t>(i)], i);
    }

    // A document shared with other rows' copies is about to change: from now
    // on this one works on a copy of its own, read afresh from its file.
    void makePrivate()
    {
        if (!shared_) return;
        auto held = state_->sources.find(path_);
        if (held != state_->sources.end() && held->second.pdf.lock() == pdf_) state_->sources.erase(held);
        shared_ = false;
        index_.reset();
        readFile(path_);
    }

    bool addBookmarkAt(long page, const std::string& title)
    {
        if (!pdf_ || pageCount_ < 1) return false;
        makePrivate();
        startTracking();
        ++state_->changes;
        if (page < 0) page = 0;
        if (page >= pageCount_) page = pageCount_ - 1;
        QPDFObjectHandle target = appender().pageAt(page);
        if (!target.isInitialized()) return false;
        index_.reset();
        lastNewBookmark_ = copier().outline().addPageBookmark(target, title);
        return true;
    }

    // The bookmark the last NewBookmark made, while it is still titled title:
    // the one to rename, whatever the document already held.
    OH newBookmarkTitled(const std::string& title)
    {
        OH t = lastNewBookmark_.isInitialized() ? lastNewBookmark_.getKey("/Title") : OH();
        if (t.isInitialized() && t.isString() && t.getUTF8Value() == title) return lastNewBookmark_;
        return OH();
    }

    // What copying out of this document needs, built on first use.
    std::shared_ptr<pdf::SourceIndex> sourceIndex()
    {
        if (!index_) {
            if (pageCacheStale_) pdf_->updateAllPagesCache();
            pageCacheStale_ = false;
            index_ = std::make_shared<pdf::SourceIndex>(pdf_);
            if (!tracking_ && openedAs_ && !path_.empty()) {
                state_->sources[path_] = {*openedAs_, pdf_, index_};
                shared_ = true;
            }
        }
        return index_;
    }

private:
    // The document a copy still holds for this very file, when there is one.
    bool borrowHeld(const std::string& path, const pdf::FileIdentity& identity)
    {
        auto held = state_->sources.find(path);
        if (held == state_->sources.end()) return false;
        auto pdf = held->second.pdf.lock();
        auto index = held->second.index.lock();
        if (!pdf || !index || !(held->second.identity == identity)) {
            state_->sources.erase(held);
            return false;
        }
        pdf_ = std::move(pdf);
        index_ = std::move(index);
        shared_ = true;
        openedAs_ = identity;
        pageCount_ = static_cast<long>(index_->pages().size());
        path_ = path;
        registerOpen();
        return true;
    }

    void registerOpen()
    {
        auto& docs = state_->docs;
        std::erase_if(docs, [](const auto& w) { return w.expired(); });
        for (auto& w : docs)
            if (w.lock().get() == this) return;
        docs.push_back(weak_from_this());
    }

    // From the first change on, the document's changes are followed so that
    // a document opened from a file can be saved as an update to it.
    void startTracking()
    {
        if (tracking_) return;
        tracking_ = true;
        if (!path_.empty()) {
            try {
                writer_ = pdf::IncrementalWriter::forFile(*pdf_, path_);
                auto chain = state_->chains.find(path_);
                if (chain != state_->chains.end()) {
                    if (writer_ && pdf::identityOf(path_) == chain->second.first)
                        writer_->continueChain(chain->second.second);
                    state_->chains.erase(chain);
                }
            } catch (const std::exception& e) {
                // No update to append to: the save rewrites the whole file instead.
                trace("whole rewrite of " + path_ + ": " + e.what());
                writer_.reset();
            }
        }
    }

    pdf::PageTreeAppender& appender()
    {
        if (!appender_) appender_ = std::make_unique<pdf::PageTreeAppender>(*pdf_);
        return *appender_;
    }

    pdf::PageCopier& copier()
    {
        if (!copier_) copier_ = std::make_unique<pdf::PageCopier>(*pdf_);
        return *copier_;
    }

    std::vector<QPDFObjectHandle> touched()
    {
        std::vector<QPDFObjectHandle> all =
            appender_ ? appender_->touched() : std::vector<QPDFObjectHandle>{};
        if (copier_) {
            auto more = copier_->touched();
            all.insert(all.end(), more.begin(), more.end());
        }
        return all;
    }

    bool insertFrom(QpdfPDDoc& src, long insertAfter, long firstPage, long count, bool bookmarks)
    {
        // Saved, its unreadable page would be written as null.
        if (!unreadable_.empty()) throw std::runtime_error(unreadable_);
        startTracking();
        ++state_->changes;
        // The copies read stream data from the source when this document is
        // written, so the source stays alive as long as this document.
        if (std::find(keepAlive_.begin(), keepAlive_.end(), src.pdf_) == keepAlive_.end())
            keepAlive_.push_back(src.pdf_);
        auto source = src.sourceIndex();
        index_.reset(); // this document changes: as a source it is read afresh
        // A tree whose /Count disagrees with its pages is left to qpdf, which
        // walks it.
        const bool atEnd = insertAfter == pageCount_ - 1 && appender().count() == pageCount_;
        if (!atEnd) {
            // qpdf's own insert: it reads and rebuilds its list of all pages,
            // and changes the tree in ways an update does not follow.
            if (pageCacheStale_) pdf_->updateAllPagesCache();
            pageCacheStale_ = false;
            untracked_ = true;
            appender_.reset();
            if (!copier().copy(source, insertAfter, firstPage, count, bookmarks)) return false;
            pageCount_ = static_cast<long>(pdf_->getAllPages().size());
            return true;
        }
        pdf::AppendState append;
        append.appender = &appender();
        pageCacheStale_ = true;
        const bool ok = copier().copy(source, insertAfter, firstPage, count, bookmarks, &append);
        if (append.formMerged) {
            untracked_ = true;
            pageCacheStale_ = false;
        }
        pageCount_ = appender_->count();
        return ok;
    }

    std::shared_ptr<ServerState> state_;
    std::shared_ptr<QPDF> pdf_;
    std::vector<std::shared_ptr<QPDF>> keepAlive_;
    std::string path_;
    long pageCount_ = 0;
    std::unique_ptr<pdf::IncrementalWriter> writer_;
    std::unique_ptr<pdf::PageTreeAppender> appender_;
    std::unique_ptr<pdf::PageCopier> copier_;
    std::shared_ptr<pdf::SourceIndex> index_;
    OH lastNewBookmark_;
    bool tracking_ = false;                     // changes since opening are followed
    bool untracked_ = false;                    // a change an update cannot carry: save in full
    std::string failure_;                       // why the last call that returned 0 failed
    std::string unreadable_;                    // why a page of the file as opened is not a page
    bool pageCacheStale_ = false;               // qpdf's list of pages misses appended ones
    bool shared_ = false;                       // pdf_ may be a source other documents' copies read from
    std::optional<pdf::FileIdentity> openedAs_; // the file as it was when read
    long savedAt_ = -1;                         // the change count at the last update saved
};

class QpdfAVPageView : public AVPageView {
public:
    explicit QpdfAVPageView(std::weak_ptr<QpdfPDDoc> doc) : doc_(std::move(doc)) {}
    long GoTo(long page) override
    {
        auto doc = doc_.lock();
        if (!doc || !doc->pdf()) return 0;
        long n = doc->GetNumPages();
        if (page < 0 || page >= n) return 0;
        shown_ = page;
        return 1;
    }
    long shownPage() const { return shown_; }

private:
    std::weak_ptr<QpdfPDDoc> doc_;
    long shown_ = 0;
};

class QpdfAVDoc : public AVDoc, public std::enable_shared_from_this<QpdfAVDoc> {
public:
    explicit QpdfAVDoc(std::shared_ptr<ServerState> state) : state_(std::move(state)) {}

    long Open(const std::string& path, const std::string& title) override
    {
        (void)title;
        try {
            Close(1);
            auto doc = std::make_shared<QpdfPDDoc>(state_);
            failure_.clear();
            if (!doc->Open(path)) {
                failure_ = doc->lastFailure();
                return 0;
            }
            attach(doc, true);
            return 1;
        } catch (const std::exception& e) {
            failure_ = e.what();
            return 0;
        }
    }

    std::string lastFailure() const override { return failure_; }

    std::shared_ptr<PDDoc> GetPDDoc() override
    {
        if (!open_) return nullptr;
        return doc_;
    }

    std::shared_ptr<AVPageView> GetAVPageView() override
    {
        if (!open_) return nullptr;
        return view_;
    }

    long Close(long noSave) override
    {
        (void)noSave; // nothing is ever saved implicitly
        if (!open_) return 0;
        open_ = false;
        if (ownsDoc_ && doc_) doc_->Close();
        return 1;
    }

    void attach(std::shared_ptr<QpdfPDDoc> doc, bool ownsDoc)
    {
        doc_ = std::move(doc);
        ownsDoc_ = ownsDoc;
        view_ = std::make_shared<QpdfAVPageView>(doc_);
        open_ = true;
        std::erase_if(state_->views, [](const auto& w) { return w.expired(); });
        state_->views.push_back(weak_from_this());
        state_->activeView = weak_from_this();
    }

    bool isOpen() const { return open_ && doc_ && doc_->pdf(); }
    QpdfPDDoc* doc() const { return doc_.get(); }
    long shownPage() const { return view_ ? view_->shownPage() : 0; }
    void forceClose() { Close(1); }

private:
    std::shared_ptr<ServerState> state_;
    std::shared_ptr<QpdfPDDoc> doc_;
    std::shared_ptr<QpdfAVPageView> view_;
    bool open_ = false;
    bool ownsDoc_ = false;
    std::string failure_; // why the last Open failed
};

std::shared_ptr<AVDoc> QpdfPDDoc::OpenAVDoc(const std::string& title)
{
    (void)title;
    try {
        if (!pdf_) return nullptr;
        auto view = std::make_shared<QpdfAVDoc>(state_);
        view->attach(shared_from_this(), false);
        return view;
    } catch (const std::exception& e) {
        trace(std::string("no view of ") + path_ + ": " + e.what());
        return nullptr;
    }
}

void ServerState::closeAll()
{
    auto viewsCopy = views;
    for (auto& w : viewsCopy)
        if (auto v = w.lock()) v->forceClose();
    auto docsCopy = docs;
    for (auto& w : docsCopy)
        if (auto d = w.lock()) d->closeDoc();
    views.clear();
    docs.clear();
    activeView.reset();
    outputs.clear();
    sources.clear();
}

class QpdfApp : public App {
public:
    explicit QpdfApp(std::shared_ptr<ServerState> state) : state_(std::move(state)) {}
    // There is no server process to end: exiting is closing everything.
    long Exit() override { return CloseAllDocs(); }
    long CloseAllDocs() override
    {
        try {
            state_->closeAll();
        } catch (const std::exception& e) {
            // Closing frees only memory; a failure there leaves nothing to undo.
            trace(std::string("closing: ") + e.what());
        }
        return 1;
    }
    long MenuItemExecute(const std::string& item) override
    {
        if (item != "NewBookmark") return 0;
        try {
            auto view = state_->activeView.lock();
            if (!view || !view->isOpen()) return 0;
            return view->doc()->addBookmarkAt(view->shownPage(), "Untitled") ? 1 : 0;
        } catch (const std::exception& e) {
            trace(std::string("new bookmark: ") + e.what());
            return 0;
        }
    }

private:
    std::shared_ptr<ServerState> state_;
};

class QpdfPDBookmark : public PDBookmark {
public:
    explicit QpdfPDBookmark(std::shared_ptr<ServerState> state) : state_(std::move(state)) {}

    long GetByTitle(PDDoc& doc, const std::string& title) override
    {
        try {
            item_ = OH();
            owner_.reset();
            auto* qdoc = dynamic_cast<QpdfPDDoc*>(&doc);
            if (!qdoc || !qdoc->pdf()) return 0;
            qdoc->makePrivate();
            OH found = qdoc->newBookmarkTitled(title);
            if (!found.isInitialized()) found = pdf::findOutlineItem(*qdoc->pdf(), title);
            if (!found.isInitialized()) return 0;
            item_ = found;
            owner_ = qdoc->pdfShared();
            return 1;
        } catch (const std::exception& e) {
            trace("bookmark " + title + ": " + e.what());
            item_ = OH();
            return 0;
        }
    }

    long SetTitle(const std::string& title) override
    {
        try {
            // The document may have been closed since the item was found.
            if (!item_.isInitialized() || owner_.expired()) return 0;
            ++state_->changes;
            item_.replaceKey("/Title", OH::newUnicodeString(title));
            return 1;
        } catch (const std::exception& e) {
            trace("bookmark title " + title + ": " + e.what());
            return 0;
        }
    }

private:
    OH item_;
    std::weak_ptr<QPDF> owner_;
    std::shared_ptr<ServerState> state_;
};

class QpdfServer : public AutomationServer {
public:
    std::shared_ptr<App> createApp() override { return std::make_shared<QpdfApp>(state_); }
    std::shared_ptr<AVDoc> createAVDoc() override { return std::make_shared<QpdfAVDoc>(state_); }
    std::shared_ptr<PDDoc> createPDDoc() override { return std::make_shared<QpdfPDDoc>(state_); }
    std::shared_ptr<PDBookmark> createPDBookmark() override
    {
        return std::make_shared<QpdfPDBookmark>(state_);
    }

private:
    std::shared_ptr<ServerState> state_ = std::make_shared<ServerState>();
};

} // namespace

std::unique_ptr<AutomationServer> makeQpdfAutomationServer()
{
    return std::make_unique<QpdfServer>();
}

} // namespace fb