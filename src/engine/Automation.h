#pragma once
// The automation vocabulary is the seam the run talks through, so fault-injection tests can fail any call.
// App: the server (CloseAllDocs, Exit, MenuItemExecute("NewBookmark")); AVDoc: a shown file; PDDoc: pages.
// Save's type is ignored by qpdf: an update onto the file it opened, else (new, newer version) a whole file.
#include <memory>
#include <stdexcept>
#include <string>

namespace fb {

// Raised by an automation call that fails outright (as opposed to returning 0).
class AutomationError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class PDDoc;
class AVDoc;
class AVPageView;

// The objects of the page-work server. Results follow the automation
// convention: non-zero means done, zero means failed.
class App {
public:
    virtual ~App() = default;
    virtual long Exit() = 0;
    virtual long CloseAllDocs() = 0;
    virtual long MenuItemExecute(const std::string& item) = 0;
};

class AVDoc {
public:
    virtual ~AVDoc() = default;
    virtual long Open(const std::string& path, const std::string& title) = 0;
    virtual std::shared_ptr<PDDoc> GetPDDoc() = 0;
    virtual std::shared_ptr<AVPageView> GetAVPageView() = 0;
    virtual long Close(long noSave) = 0;
    // Why the last Open failed; empty when the PDF layer did not say.
    virtual std::string lastFailure() const { return {}; }
};

class PDDoc {
public:
    virtual ~PDDoc() = default;
    virtual long Open(const std::string& path) = 0;
    virtual long Close() = 0;
    // Pages are 0-based; insertAfter -1 inserts before the first page.
    virtual long InsertPages(long insertAfter, PDDoc& source, long firstPage, long count, long bookmarks) = 0;
    virtual long GetNumPages() = 0;
    // Throws AutomationError on failure.
    virtual long Create() = 0;
    virtual std::shared_ptr<AVDoc> OpenAVDoc(const std::string& title) = 0;
    virtual long Save(short type, const std::string& path) = 0;
    // Why the last Open, InsertPages or Save that returned 0 failed, as the
    // system or the PDF layer put it; empty when the server does not say.
    virtual std::string lastFailure() const { return {}; }
};

class AVPageView {
public:
    virtual ~AVPageView() = default;
    virtual long GoTo(long page) = 0;
};

class PDBookmark {
public:
    virtual ~PDBookmark() = default;
    virtual long GetByTitle(PDDoc& doc, const std::string& title) = 0;
    virtual long SetTitle(const std::string& title) = 0;
};

// Object creation by "ProgID"; nullptr = the object could not be created.
// Any call may throw AutomationError.
class AutomationServer {
public:
    virtual ~AutomationServer() = default;
    virtual std::shared_ptr<App> createApp() = 0;
    virtual std::shared_ptr<AVDoc> createAVDoc() = 0;
    virtual std::shared_ptr<PDDoc> createPDDoc() = 0;
    virtual std::shared_ptr<PDBookmark> createPDBookmark() = 0;
};

// The "Acrobat Connection" window shown while the server is being reached.
class ConnectionWindow {
public:
    virtual ~ConnectionWindow() = default;
    virtual void show() {}
    virtual void hide() {}
};

} // namespace fb
