#include "testkit/FakeAutomation.h"

#include "common/Files.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace fb::test {

namespace {

using Server = ScriptedAutomationServer;
using Doc = ScriptedAutomationServer::Document;

const char* const kMagic = "FAKEPDF";

bool writeDocument(const std::string& path, const Doc& doc)
{
    const std::string temp = path + ".fake-saving";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out << kMagic << "\n";
        for (const auto& p : doc.pages)
            out << "P " << p << "\n";
        for (const auto& b : doc.bookmarks)
            out << "B " << b.page << " " << b.title << "\n";
        out.flush();
        if (!out) {
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

bool readDocument(const std::string& path, Doc& doc)
{
    if (!canOpenForReading(path)) return false;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!std::getline(in, line) || line != kMagic) return false;
    while (std::getline(in, line)) {
        if (line.rfind("P ", 0) == 0) {
            doc.pages.push_back(line.substr(2));
        } else if (line.rfind("B ", 0) == 0) {
            std::istringstream fields(line.substr(2));
            Server::Bookmark b;
            fields >> b.page;
            fields.get();
            std::getline(fields, b.title);
            doc.bookmarks.push_back(b);
        }
    }
    return true;
}

class FakeAVDoc;

class FakePageView : public AVPageView {
public:
    FakePageView(Server& server, std::shared_ptr<Doc> doc) : server_(server), doc_(std::move(doc)) {}
    long GoTo(long page) override
    {
        if (server_.enter("AVPageView.GoTo", std::to_string(page)) == Server::Outcome::Fail) return 0;
        if (page < 0 || page >= static_cast<long>(doc_->pages.size())) return 0;
        doc_->shownPage = page;
        server_.activeDocument = doc_;
        return 1;
    }

private:
    Server& server_;
    std::shared_ptr<Doc> doc_;
};

class FakePDDoc : public PDDoc {
public:
    explicit FakePDDoc(Server& server, std::shared_ptr<Doc> doc = nullptr)
        : server_(server), doc_(std::move(doc))
    {
    }
    std::shared_ptr<Doc> doc() const { return doc_; }

    long Open(const std::string& path) override
    {
        if (server_.enter("PDDoc.Open", path) == Server::Outcome::Fail) return 0;
        doc_ = server_.load(path);
        return doc_ ? 1 : 0;
    }
    long Close() override
    {
        if (server_.enter("PDDoc.Close", "") == Server::Outcome::Fail) return 0;
        doc_.reset();
        return 1;
    }
    long InsertPages(long after, PDDoc& source, long first, long count, long bookmarks) override
    {
        if (server_.enter("PDDoc.InsertPages", std::to_string(after) + "," + std::to_string(first) + "," +
                                                   std::to_string(count) + "," + std::to_string(bookmarks)) ==
            Server::Outcome::Fail)
            return 0;
        auto* from = dynamic_cast<FakePDDoc*>(&source);
        if (!doc_ || !from || !from->doc_) return 0;
        const Doc& src = *from->doc_;
        const long have = static_cast<long>(doc_->pages.size());
        const long srcPages = static_cast<long>(src.pages.size());
        if (after < -1 || after >= have || first < 0 || count < 0 || first > srcPages ||
            count > srcPages - first)
            return 0;
        std::vector<std::string> taken(src.pages.begin() + first, src.pages.begin() + first + count);
        std::vector<Server::Bookmark> marks;
        if (bookmarks)
            for (const auto& b : src.bookmarks)
                if (b.page >= first && b.page < first + count)
                    marks.push_back({b.title, b.page - first + after + 1});
        for (auto& b : doc_->bookmarks)
            if (b.page > after) b.page += count;
        doc_->pages.insert(doc_->pages.begin() + (after + 1), taken.begin(), taken.end());
        doc_->bookmarks.insert(doc_->bookmarks.end(), marks.begin(), marks.end());
        return 1;
    }
    long GetNumPages() override
    {
        if (server_.enter("PDDoc.GetNumPages", "") == Server::Outcome::Fail) return 0;
        return doc_ ? static_cast<long>(doc_->pages.size()) : 0;
    }
    long Create() override
    {
        if (server_.enter("PDDoc.Create", "") == Server::Outcome::Fail)
            throw AutomationError("PDDoc.Create failed");
        doc_ = std::make_shared<Doc>();
        return 1;
    }
    std::shared_ptr<AVDoc> OpenAVDoc(const std::string& title) override;
    long Save(short type, const std::string& path) override
    {
        if (server_.enter("PDDoc.Save", std::to_string(type) + "," + path) == Server::Outcome::Fail) return 0;
        if (!doc_) return 0;
        return writeDocument(path, *doc_) ? 1 : 0;
    }

private:
    Server& server_;
    std::shared_ptr<Doc> doc_;
};

class FakeAVDoc : public AVDoc {
public:
    FakeAVDoc(Server& server, std::shared_ptr<Doc> doc) : server_(server), doc_(std::move(doc)) {}
    long Open(const std::string& path, const std::string& title) override
    {
        if (server_.enter("AVDoc.Open", path + "," + title) == Server::Outcome::Fail) return 0;
        doc_ = server_.load(path);
        return doc_ ? 1 : 0;
    }
    std::shared_ptr<PDDoc> GetPDDoc() override
    {
        if (server_.enter("AVDoc.GetPDDoc", "") == Server::Outcome::Fail || !doc_) return nullptr;
        return std::make_shared<FakePDDoc>(server_, doc_);
    }
    std::shared_ptr<AVPageView> GetAVPageView() override
    {
        if (server_.enter("AVDoc.GetAVPageView", "") == Server::Outcome::Fail || !doc_) return nullptr;
        return std::make_shared<FakePageView>(server_, doc_);
    }
    long Close(long noSave) override
    {
        if (server_.enter("AVDoc.Close", std::to_string(noSave)) == Server::Outcome::Fail) return 0;
        doc_.reset();
        return 1;
    }

private:
    Server& server_;
    std::shared_ptr<Doc> doc_;
};

std::shared_ptr<AVDoc> FakePDDoc::OpenAVDoc(const std::string& title)
{
    if (server_.enter("PDDoc.OpenAVDoc", title) == Server::Outcome::Fail || !doc_) return nullptr;
    return std::make_shared<FakeAVDoc>(server_, doc_);
}

class FakeApp : public App {
public:
    explicit FakeApp(Server& server) : server_(server) {}
    long Exit() override { return server_.enter("App.Exit", "") == Server::Outcome::Fail ? 0 : 1; }
    long CloseAllDocs() override
    {
        if (server_.enter("App.CloseAllDocs", "") == Server::Outcome::Fail) return 0;
        server_.activeDocument.reset();
        return 1;
    }
    long MenuItemExecute(const std::string& item) override
    {
        if (server_.enter("App.MenuItemExecute", item) == Server::Outcome::Fail) return 0;
        auto doc = server_.activeDocument;
        if (item != "NewBookmark" || !doc || doc->shownPage < 0) return 0;
        doc->bookmarks.push_back({"Untitled", doc->shownPage});
        return 1;
    }

private:
    Server& server_;
};

class FakeBookmark : public PDBookmark {
public:
    explicit FakeBookmark(Server& server) : server_(server) {}
    long GetByTitle(PDDoc& doc, const std::string& title) override
    {
        if (server_.enter("PDBookmark.GetByTitle", title) == Server::Outcome::Fail) return 0;
        auto* fake = dynamic_cast<FakePDDoc*>(&doc);
        if (!fake || !fake->doc()) return 0;
        auto& marks = fake->doc()->bookmarks;
        for (std::size_t k = 0; k < marks.size(); ++k)
            if (marks[k].title == title) {
                doc_ = fake->doc();
                index_ = k;
                return 1;
            }
        return 0;
    }
    long SetTitle(const std::string& title) override
    {
        if (server_.enter("PDBookmark.SetTitle", title) == Server::Outcome::Fail) return 0;
        if (!doc_ || index_ >= doc_->bookmarks.size()) return 0;
        doc_->bookmarks[index_].title = title;
        return 1;
    }

private:
    Server& server_;
    std::shared_ptr<Doc> doc_;
    std::size_t index_ = 0;
};

} // namespace

ScriptedAutomationServer::ScriptedAutomationServer() = default;
ScriptedAutomationServer::~ScriptedAutomationServer() = default;

ScriptedAutomationServer::Outcome ScriptedAutomationServer::enter(const std::string& name,
                                                                  const std::string& args)
{
    calls_.push_back(name.rfind("create.", 0) == 0 ? name : name + "(" + args + ")");
    const int n = ++seen_[name];
    for (const auto& t : throws_)
        if (t.first == name && t.second == n) throw AutomationError(name + " raised an error");
    for (const auto& f : fails_)
        if (f.first == name && f.second == n) return Outcome::Fail;
    return Outcome::Normal;
}

std::shared_ptr<App> ScriptedAutomationServer::createApp()
{
    if (enter("create.App", "") == Outcome::Fail) return nullptr;
    return std::make_shared<FakeApp>(*this);
}

std::shared_ptr<AVDoc> ScriptedAutomationServer::createAVDoc()
{
    if (enter("create.AVDoc", "") == Outcome::Fail) return nullptr;
    return std::make_shared<FakeAVDoc>(*this, nullptr);
}

std::shared_ptr<PDDoc> ScriptedAutomationServer::createPDDoc()
{
    if (enter("create.PDDoc", "") == Outcome::Fail) return nullptr;
    return std::make_shared<FakePDDoc>(*this);
}

std::shared_ptr<PDBookmark> ScriptedAutomationServer::createPDBookmark()
{
    if (enter("create.PDBookmark", "") == Outcome::Fail) return nullptr;
    return std::make_shared<FakeBookmark>(*this);
}

void ScriptedAutomationServer::setPages(const std::string& path, int pages)
{
    pagesByPath_[path] = pages;
}

void ScriptedAutomationServer::failOn(const std::string& callName, int occurrence)
{
    fails_.emplace_back(callName, occurrence);
}

void ScriptedAutomationServer::throwOn(const std::string& callName, int occurrence)
{
    throws_.emplace_back(callName, occurrence);
}

static std::string nameOf(const std::string& call)
{
    return call.substr(0, call.find('('));
}

int ScriptedAutomationServer::count(const std::string& callName) const
{
    return static_cast<int>(std::count_if(calls_.begin(), calls_.end(),
                                          [&](const std::string& c) { return nameOf(c) == callName; }));
}

std::vector<std::string> ScriptedAutomationServer::callsNamed(const std::string& callName) const
{
    std::vector<std::string> out;
    for (const auto& c : calls_)
        if (nameOf(c) == callName) out.push_back(c);
    return out;
}

std::shared_ptr<ScriptedAutomationServer::Document>
ScriptedAutomationServer::load(const std::string& path) const
{
    auto doc = std::make_shared<Document>();
    auto it = pagesByPath_.find(path);
    if (it != pagesByPath_.end()) {
        for (int k = 1; k <= it->second; ++k)
            doc->pages.push_back(fileTitle(path) + " p" + std::to_string(k));
        return doc;
    }
    if (readDocument(path, *doc)) return doc;
    return nullptr;
}

bool writeFakePdf(const std::string& path, int pages)
{
    Doc doc;
    for (int k = 1; k <= pages; ++k)
        doc.pages.push_back(fileTitle(path) + " p" + std::to_string(k));
    return writeDocument(path, doc);
}

ScriptedAutomationServer::Document readFakePdf(const std::string& path)
{
    Doc doc;
    if (!readDocument(path, doc)) return Doc{};
    return doc;
}

} // namespace fb::test
