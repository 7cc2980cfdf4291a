#pragma once
#include "engine/Automation.h"

#include <map>
#include <ostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace fb::test {

// A page-work server that does its work on tiny text files instead of PDFs and
// records every call, so tests can check what an append asked for and make any
// call fail.
//
// Calls are recorded as "App.CloseAllDocs()", "PDDoc.Open(/p/a.pdf)",
// "PDDoc.InsertPages(-1,0,3,0)" (after, first, count, bookmarks), "AVDoc.Close(1)",
// "PDDoc.Save(33,/p/out.pdf)", "AVPageView.GoTo(2)", "PDBookmark.SetTitle(a.pdf)";
// object creation as "create.App", "create.AVDoc", "create.PDDoc", "create.PDBookmark".
// The call name used by failOn/throwOn is the text before "(".
//
// A document is a list of page labels ("a.pdf p3") plus bookmarks. Sources get
// their pages from setPages(path, n) or from a file written by writeFakePdf or
// by Save; Open of any other path fails.
class ScriptedAutomationServer : public AutomationServer {
public:
    struct Bookmark {
        std::string title;
        long page = 0; // 0-based
        bool operator==(const Bookmark&) const = default;
        friend std::ostream& operator<<(std::ostream& os, const Bookmark& b)
        {
            return os << "{" << b.title << " @" << b.page << "}";
        }
    };
    struct Document {
        std::vector<std::string> pages;
        std::vector<Bookmark> bookmarks;
        long shownPage = -1;
    };

    ScriptedAutomationServer();
    ~ScriptedAutomationServer() override;

    std::shared_ptr<App> createApp() override;
    std::shared_ptr<AVDoc> createAVDoc() override;
    std::shared_ptr<PDDoc> createPDDoc() override;
    std::shared_ptr<PDBookmark> createPDBookmark() override;

    void setPages(const std::string& path, int pages);
    // The occurrence-th call (1-based) of that name returns 0 / nullptr
    // ("PDDoc.Create" has no zero result and throws instead).
    void failOn(const std::string& callName, int occurrence = 1);
    // The occurrence-th call of that name throws AutomationError.
    void throwOn(const std::string& callName, int occurrence = 1);

    const std::vector<std::string>& calls() const { return calls_; }
    int count(const std::string& callName) const;
    // Calls whose name (text before "(") is callName, with their arguments.
    std::vector<std::string> callsNamed(const std::string& callName) const;

    // Internal to the fake's objects.
    enum class Outcome { Normal, Fail };
    Outcome enter(const std::string& name, const std::string& args);
    std::shared_ptr<Document> load(const std::string& path) const;
    std::shared_ptr<Document> activeDocument;

private:
    std::map<std::string, int> pagesByPath_;
    std::map<std::string, int> seen_;
    std::vector<std::pair<std::string, int>> fails_, throws_;
    std::vector<std::string> calls_;
};

// Writes a document file the fake can open: pages labelled "<title> p<k>".
bool writeFakePdf(const std::string& path, int pages);
// The pages and bookmarks of a file the fake wrote (empty document if unreadable).
ScriptedAutomationServer::Document readFakePdf(const std::string& path);

} // namespace fb::test
