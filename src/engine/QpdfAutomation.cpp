#include "engine/QpdfAutomation.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFNameTreeObjectHelper.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fb {

namespace {

using OH = QPDFObjectHandle;

// Hostile files can nest or loop outlines; these bound every walk.
constexpr int kMaxOutlineDepth = 64;
constexpr std::size_t kMaxOutlineItems = 200000;

class QpdfPDDoc;
class QpdfAVDoc;

struct ServerState {
    std::vector<std::weak_ptr<QpdfPDDoc>> docs;
    std::vector<std::weak_ptr<QpdfAVDoc>> views;
    std::weak_ptr<QpdfAVDoc> activeView;
    void closeAll();
};

// ---- outline helpers ------------------------------------------------------

std::vector<OH> outlineChildren(OH parent, std::set<QPDFObjGen>& seen)
{
    std::vector<OH> out;
    if (!parent.isDictionary()) return out;
    OH cur = parent.getKey("/First");
    while (cur.isDictionary() && out.size() < kMaxOutlineItems) {
        if (cur.isIndirect() && !seen.insert(cur.getObjGen()).second) break;
        out.push_back(cur);
        cur = cur.getKey("/Next");
    }
    return out;
}

OH resolveNamed(QPDF& pdf, OH name)
{
    try {
        QPDFOutlineDocumentHelper helper(pdf);
        return helper.resolveNamedDest(name);
    } catch (...) {
        return OH::newNull();
    }
}

// The explicit destination array of an outline item or link annotation, or null.
OH explicitDest(QPDF& pdf, OH item)
{
    if (!item.isDictionary()) return OH::newNull();
    OH dest = item.getKey("/Dest");
    if (dest.isNull()) {
        OH action = item.getKey("/A");
        if (action.isDictionary() && action.getKey("/S").isName() &&
            action.getKey("/S").getName() == "/GoTo")
            dest = action.getKey("/D");
    }
    if (dest.isName() || dest.isString()) dest = resolveNamed(pdf, dest);
    if (dest.isDictionary()) dest = dest.getKey("/D"); // named dest given as << /D [...] >>
    if (dest.isArray() && dest.getArrayNItems() > 0) return dest;
    return OH::newNull();
}

OH destPage(QPDF& pdf, OH item)
{
    OH dest = explicitDest(pdf, item);
    if (!dest.isArray()) return OH::newNull();
    OH page = dest.getArrayItem(0);
    if (page.isDictionary() && page.isIndirect()) return page;
    return OH::newNull();
}

// A copy of dest that points at page, keeping the view parameters that are plain values.
OH retargetDest(OH dest, OH page)
{
    OH out = OH::newArray();
    out.appendItem(page);
    bool plain = dest.isArray() && dest.getArrayNItems() >= 2;
    if (plain) {
        for (int i = 1; i < dest.getArrayNItems(); ++i) {
            OH v = dest.getArrayItem(i);
            if (v.isIndirect() || !(v.isNumber() || v.isName() || v.isNull())) {
                plain = false;
                break;
            }
        }
    }
    if (plain) {
        for (int i = 1; i < dest.getArrayNItems(); ++i) out.appendItem(dest.getArrayItem(i));
    } else {
        out.appendItem(OH::newName("/Fit"));
    }
    return out;
}

OH ensureOutlineRoot(QPDF& pdf)
{
    OH root = pdf.getRoot();
    OH outlines = root.getKey("/Outlines");
    if (!outlines.isDictionary()) {
        outlines = pdf.makeIndirectObject(OH::parse("<< /Type /Outlines >>"));
        root.replaceKey("/Outlines", outlines);
    }
    return outlines;
}

// Recomputes /First, /Last and /Count of the top level after items were appended.
void refreshOutlineRoot(OH outlines)
{
    std::set<QPDFObjGen> seen;
    auto items = outlineChildren(outlines, seen);
    long long count = 0;
    for (auto& item : items) {
        count += 1;
        OH c = item.getKey("/Count");
        if (c.isInteger() && c.getIntValue() > 0) count += c.getIntValue();
    }
    if (!items.empty()) outlines.replaceKey("/Last", items.back());
    outlines.replaceKey("/Count", OH::newInteger(count));
}

struct NewItem {
    std::string title;
    OH dest;
    OH color;
    OH flags;
    std::vector<NewItem> kids;
};

// Links the given items under parent, after its existing children; returns the
// number of items written (all open).
int appendOutlineItems(QPDF& pdf, OH parent, const std::vector<NewItem>& items)
{
    if (items.empty()) return 0;
    std::set<QPDFObjGen> seen;
    auto existing = outlineChildren(parent, seen);
    OH previous = existing.empty() ? OH() : existing.back();
    int total = 0;
    for (const auto& item : items) {
        OH node = pdf.makeIndirectObject(OH::newDictionary());
        node.replaceKey("/Title", OH::newUnicodeString(item.title));
        node.replaceKey("/Parent", parent);
        node.replaceKey("/Dest", item.dest);
        OH color = item.color;
        OH flags = item.flags;
        if (color.isInitialized() && color.isArray() && !color.isIndirect()) node.replaceKey("/C", color);
        if (flags.isInitialized() && flags.isInteger()) node.replaceKey("/F", flags);
        if (previous.isInitialized()) {
            previous.replaceKey("/Next", node);
            node.replaceKey("/Prev", previous);
        } else {
            parent.replaceKey("/First", node);
        }
        parent.replaceKey("/Last", node);
        int below = appendOutlineItems(pdf, node, item.kids);
        if (below > 0) node.replaceKey("/Count", OH::newInteger(below));
        total += 1 + below;
        previous = node;
    }
    return total;
}

// ---- documents -------------------------------------------------------------

class QpdfPDDoc : public PDDoc, public std::enable_shared_from_this<QpdfPDDoc> {
public:
    explicit QpdfPDDoc(std::shared_ptr<ServerState> state) : state_(std::move(state)) {}

    long Open(const std::string& path) override
    {
        try {
            closeDoc();
            auto pdf = std::make_shared<QPDF>();
            pdf->setSuppressWarnings(true);
            pdf->processFile(path.c_str());
            // Touch the page tree now so that a file too damaged to use fails here.
            (void)pdf->getAllPages();
            pdf_ = std::move(pdf);
            path_ = path;
            registerOpen();
            return 1;
        } catch (...) {
            closeDoc();
            return 0;
        }
    }

    long Close() override
    {
        if (!pdf_) return 0;
        closeDoc();
        return 1;
    }

    long Create() override
    {
        try {
            closeDoc();
            auto pdf = std::make_shared<QPDF>();
            pdf->setSuppressWarnings(true);
            pdf->emptyPDF();
            pdf_ = std::move(pdf);
            path_.clear();
            registerOpen();
            return 1;
        } catch (const std::exception& e) {
            closeDoc();
            throw AutomationError(std::string("cannot create document: ") + e.what());
        } catch (...) {
            closeDoc();
            throw AutomationError("cannot create document");
        }
    }

    long GetNumPages() override
    {
        if (!pdf_) return 0;
        try {
            return static_cast<long>(pdf_->getAllPages().size());
        } catch (...) {
            return 0;
        }
    }

    long InsertPages(long insertAfter, PDDoc& source, long firstPage, long count, long bookmarks) override
    {
        try {
            auto* src = dynamic_cast<QpdfPDDoc*>(&source);
            if (!pdf_ || !src || src == this || !src->pdf_ || src->pdf_ == pdf_) return 0;
            return insertFrom(*src, insertAfter, firstPage, count, bookmarks != 0) ? 1 : 0;
        } catch (...) {
            return 0;
        }
    }

    std::shared_ptr<AVDoc> OpenAVDoc(const std::string& title) override;

    long Save(short type, const std::string& path) override
    {
        (void)type; // every save here is a full rewrite that drops unreferenced objects
        if (!pdf_ || path.empty()) return 0;
        try {
            return saveAtomically(path) ? 1 : 0;
        } catch (...) {
            return 0;
        }
    }

    // ---- used by the other objects of this server ----
    QPDF* pdf() const { return pdf_.get(); }
    std::shared_ptr<QPDF> pdfShared() const { return pdf_; }

    void closeDoc()
    {
        pdf_.reset();
        keepAlive_.clear();
        path_.clear();
    }

    bool addBookmarkAt(long page, const std::string& title)
    {
        if (!pdf_) return false;
        auto pages = pdf_->getAllPages();
        if (pages.empty()) return false;
        if (page < 0) page = 0;
        if (page >= static_cast<long>(pages.size())) page = static_cast<long>(pages.size()) - 1;
        OH dest = OH::newArray();
        dest.appendItem(pages[static_cast<std::size_t>(page)]);
        dest.appendItem(OH::newName("/Fit"));
        OH outlines = ensureOutlineRoot(*pdf_);
        appendOutlineItems(*pdf_, outlines, {NewItem{title, dest, OH(), OH(), {}}});
        refreshOutlineRoot(outlines);
        return true;
    }

private:
    void registerOpen()
    {
        auto& docs = state_->docs;
        std::erase_if(docs, [](const auto& w) { return w.expired(); });
        for (auto& w : docs)
            if (w.lock().get() == this) return;
        docs.push_back(weak_from_this());
    }

    bool insertFrom(QpdfPDDoc& src, long insertAfter, long firstPage, long count, bool bookmarks)
    {
        QPDF& out = *pdf_;
        QPDF& in = *src.pdf_;
        std::vector<OH> outPages = out.getAllPages();
        std::vector<OH> inPages = in.getAllPages();
        long outCount = static_cast<long>(outPages.size());
        long inCount = static_cast<long>(inPages.size());
        if (insertAfter < -1 || insertAfter > outCount - 1) return false;
        if (firstPage < 0 || count < 1 || firstPage >= inCount || count > inCount - firstPage) return false;

        // The copies read stream data from the source when this document is
        // written, so the source stays alive as long as this document.
        if (std::find(keepAlive_.begin(), keepAlive_.end(), src.pdf_) == keepAlive_.end())
            keepAlive_.push_back(src.pdf_);

        QPDFAcroFormDocumentHelper outForm(out);
        QPDFAcroFormDocumentHelper inForm(in);
        QPDFPageDocumentHelper outPagesHelper(out);

        std::vector<std::pair<OH, OH>> copied; // source page, copy
        std::map<QPDFObjGen, OH> pageMap;
        for (long i = 0; i < count; ++i) {
            OH from = inPages[static_cast<std::size_t>(firstPage + i)];
            long position = insertAfter + 1 + i;
            if (position >= static_cast<long>(out.getAllPages().size())) {
                outPagesHelper.addPage(QPDFPageObjectHelper(from), false);
            } else {
                OH before = out.getAllPages()[static_cast<std::size_t>(position)];
                outPagesHelper.addPageAt(QPDFPageObjectHelper(from), true, QPDFPageObjectHelper(before));
            }
            OH to = out.getAllPages()[static_cast<std::size_t>(position)];
            copied.emplace_back(from, to);
            pageMap.emplace(from.getObjGen(), to);
        }

        bool sourceHasForm = inForm.hasAcroForm();
        for (auto& [from, to] : copied) {
            if (from.getKey("/Annots").isArray() && from.getKey("/Annots").getArrayNItems() > 0) {
                try {
                    outForm.fixCopiedAnnotations(to, from, inForm);
                } catch (...) {
                    // Leave the annotations as the plain page copy carried them.
                }
            }
        }
        if (sourceHasForm) {
            try {
                if (inForm.getNeedAppearances()) outForm.setNeedAppearances(true);
            } catch (...) {
            }
        }
        std::set<QPDFObjGen> localPages;
        for (auto& p : out.getAllPages()) localPages.insert(p.getObjGen());
        for (auto& [from, to] : copied) fixLinks(in, from, to, pageMap, localPages);

        if (bookmarks) copyOutline(in, pageMap);
        return true;
    }

    // Links copied ahead of their target page lost it; point them at the copy,
    // or drop the destination when the target page did not come along.
    void fixLinks(QPDF& in, OH from, OH to, const std::map<QPDFObjGen, OH>& pageMap,
                  const std::set<QPDFObjGen>& localPages)
    {
        auto links = [](OH page) {
            std::vector<OH> out;
            OH annots = page.getKey("/Annots");
            if (!annots.isArray()) return out;
            for (int i = 0; i < annots.getArrayNItems(); ++i) {
                OH a = annots.getArrayItem(i);
                if (a.isDictionary() && a.getKey("/Subtype").isName() && a.getKey("/Subtype").getName() == "/Link")
                    out.push_back(a);
            }
            return out;
        };
        auto fromLinks = links(from);
        auto toLinks = links(to);

        for (std::size_t i = 0; i < toLinks.size(); ++i) {
            OH link = toLinks[i];
            OH target;
            OH srcDest;
            if (fromLinks.size() == toLinks.size()) {
                srcDest = explicitDest(in, fromLinks[i]);
                OH srcPage = srcDest.isArray() ? srcDest.getArrayItem(0) : OH::newNull();
                if (srcPage.isIndirect()) {
                    auto found = pageMap.find(srcPage.getObjGen());
                    if (found != pageMap.end()) target = found->second;
                }
            }
            OH action = link.getKey("/A");
            bool goTo = action.isDictionary() && action.getKey("/S").isName() &&
                        action.getKey("/S").getName() == "/GoTo";
            OH current = link.getKey("/Dest");
            if (current.isNull() && goTo) current = action.getKey("/D");
            if (!current.isArray()) continue; // named or remote: nothing refers to a page object here
            if (target.isInitialized()) {
                OH dest = retargetDest(srcDest, target);
                if (link.hasKey("/Dest")) {
                    link.replaceKey("/Dest", dest);
                } else {
                    OH newAction = action.shallowCopy();
                    newAction.replaceKey("/D", dest);
                    link.replaceKey("/A", newAction);
                }
                continue;
            }
            OH page = current.getArrayItem(0);
            if (page.isIndirect() && localPages.count(page.getObjGen())) continue;
            if (link.hasKey("/Dest")) link.removeKey("/Dest");
            else if (goTo) link.removeKey("/A");
        }
    }

    void copyOutline(QPDF& in, const std::map<QPDFObjGen, OH>& pageMap)
    {
        OH srcOutlines = in.getRoot().getKey("/Outlines");
        if (!srcOutlines.isDictionary()) return;
        std::set<QPDFObjGen> seen;
        std::size_t budget = kMaxOutlineItems;
        std::function<std::vector<NewItem>(OH, int)> collect = [&](OH parent, int depth) {
            std::vector<NewItem> result;
            if (depth > kMaxOutlineDepth) return result;
            for (OH item : outlineChildren(parent, seen)) {
                if (budget == 0) break;
                --budget;
                std::vector<NewItem> kids = collect(item, depth + 1);
                OH page = destPage(in, item);
                auto found = page.isInitialized() && !page.isNull() ? pageMap.find(page.getObjGen()) : pageMap.end();
                if (found != pageMap.end()) {
                    NewItem n;
                    OH title = item.getKey("/Title");
                    n.title = title.isString() ? title.getUTF8Value() : std::string();
                    n.dest = retargetDest(explicitDest(in, item), found->second);
                    OH c = item.getKey("/C");
                    if (c.isArray() && !c.isIndirect()) n.color = c.shallowCopy();
                    OH f = item.getKey("/F");
                    if (f.isInteger()) n.flags = OH::newInteger(f.getIntValue());
                    n.kids = std::move(kids);
                    result.push_back(std::move(n));
                } else {
                    // The item's page did not come along: its kept kids move up a level.
                    for (auto& k : kids) result.push_back(std::move(k));
                }
            }
            return result;
        };
        std::vector<NewItem> items = collect(srcOutlines, 0);
        if (items.empty()) return;
        OH outlines = ensureOutlineRoot(*pdf_);
        appendOutlineItems(*pdf_, outlines, items);
        refreshOutlineRoot(outlines);
    }

    bool saveAtomically(const std::string& path)
    {
        struct stat st{};
        if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return false;
        mode_t mode;
        if (stat(path.c_str(), &st) == 0) {
            mode = st.st_mode & 07777;
        } else {
            mode_t mask = umask(0);
            umask(mask);
            mode = 0666 & ~mask;
        }
        std::string folder;
        std::string name = path;
        auto slash = path.rfind('/');
        if (slash != std::string::npos) {
            folder = path.substr(0, slash + 1);
            name = path.substr(slash + 1);
        }
        std::string tempName = folder + "." + name + ".XXXXXX";
        std::vector<char> buffer(tempName.begin(), tempName.end());
        buffer.push_back('\0');
        int fd = mkstemp(buffer.data());
        if (fd < 0) return false;
        std::string temp(buffer.data());
        FILE* file = fdopen(fd, "wb");
        if (!file) {
            close(fd);
            unlink(temp.c_str());
            return false;
        }
        bool ok = false;
        try {
            QPDFWriter writer(*pdf_);
            writer.setOutputFile(temp.c_str(), file, false);
            writer.write();
            ok = std::fflush(file) == 0 && fchmod(fd, mode) == 0 && fsync(fd) == 0;
        } catch (...) {
            ok = false;
        }
        if (std::fclose(file) != 0) ok = false;
        if (ok && std::rename(temp.c_str(), path.c_str()) != 0) ok = false;
        if (!ok) {
            unlink(temp.c_str());
            return false;
        }
        int dirFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
        if (dirFd >= 0) {
            (void)fsync(dirFd);
            close(dirFd);
        }
        return true;
    }

    std::shared_ptr<ServerState> state_;
    std::shared_ptr<QPDF> pdf_;
    std::vector<std::shared_ptr<QPDF>> keepAlive_;
    std::string path_;
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
            if (!doc->Open(path)) return 0;
            attach(doc, true);
            return 1;
        } catch (...) {
            return 0;
        }
    }

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
};

std::shared_ptr<AVDoc> QpdfPDDoc::OpenAVDoc(const std::string& title)
{
    (void)title;
    try {
        if (!pdf_) return nullptr;
        auto view = std::make_shared<QpdfAVDoc>(state_);
        view->attach(shared_from_this(), false);
        return view;
    } catch (...) {
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
}

class QpdfApp : public App {
public:
    explicit QpdfApp(std::shared_ptr<ServerState> state) : state_(std::move(state)) {}
    long Exit() override
    {
        try {
            state_->closeAll();
        } catch (...) {
        }
        return 1;
    }
    long CloseAllDocs() override
    {
        try {
            state_->closeAll();
        } catch (...) {
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
        } catch (...) {
            return 0;
        }
    }

private:
    std::shared_ptr<ServerState> state_;
};

class QpdfPDBookmark : public PDBookmark {
public:
    long GetByTitle(PDDoc& doc, const std::string& title) override
    {
        try {
            item_ = OH();
            owner_.reset();
            auto* qdoc = dynamic_cast<QpdfPDDoc*>(&doc);
            if (!qdoc || !qdoc->pdf()) return 0;
            OH outlines = qdoc->pdf()->getRoot().getKey("/Outlines");
            std::set<QPDFObjGen> seen;
            std::size_t budget = kMaxOutlineItems;
            std::function<bool(OH, int)> search = [&](OH parent, int depth) {
                if (depth > kMaxOutlineDepth) return false;
                for (OH item : outlineChildren(parent, seen)) {
                    if (budget == 0) return false;
                    --budget;
                    OH t = item.getKey("/Title");
                    if (t.isString() && t.getUTF8Value() == title) {
                        item_ = item;
                        return true;
                    }
                    if (search(item, depth + 1)) return true;
                }
                return false;
            };
            if (!search(outlines, 0)) return 0;
            owner_ = qdoc->pdfShared();
            return 1;
        } catch (...) {
            item_ = OH();
            return 0;
        }
    }

    long SetTitle(const std::string& title) override
    {
        try {
            // The document may have been closed since the item was found.
            if (!item_.isInitialized() || owner_.expired()) return 0;
            item_.replaceKey("/Title", OH::newUnicodeString(title));
            return 1;
        } catch (...) {
            return 0;
        }
    }

private:
    OH item_;
    std::weak_ptr<QPDF> owner_;
};

class QpdfServer : public AutomationServer {
public:
    std::shared_ptr<App> createApp() override { return std::make_shared<QpdfApp>(state_); }
    std::shared_ptr<AVDoc> createAVDoc() override { return std::make_shared<QpdfAVDoc>(state_); }
    std::shared_ptr<PDDoc> createPDDoc() override { return std::make_shared<QpdfPDDoc>(state_); }
    std::shared_ptr<PDBookmark> createPDBookmark() override { return std::make_shared<QpdfPDBookmark>(); }

private:
    std::shared_ptr<ServerState> state_ = std::make_shared<ServerState>();
};

} // namespace

std::unique_ptr<AutomationServer> makeQpdfAutomationServer()
{
    return std::make_unique<QpdfServer>();
}

} // namespace fb
