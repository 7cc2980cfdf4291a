#pragma once
#include "cli/CommandLine.h"
#include "jobs/JobList.h"
#include "jobs/ParametersPrompt.h"
#include "common/FileDialogs.h"
#include "testkit/RecordingMessageBoxes.h"

#ifndef POINTERHOLDER_TRANSITION
#define POINTERHOLDER_TRANSITION 4
#endif
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <string>
#include <vector>

namespace fb::test {

// Answers Cancel and remembers what it was asked and handed.
class RecordingPrompt : public ParametersPrompt {
public:
    ParametersAnswer prompt(const ParametersRequest& request) override
    {
        prompted.push_back(request.fileName);
        return {};
    }
    void holdValues(const std::string& fileName, const RowValues& values) override
    {
        heldFileName = fileName;
        held = values;
        ++holdCount;
    }
    std::vector<std::string> prompted;
    std::string heldFileName;
    RowValues held;
    int holdCount = 0;
};

// Records what the command line asks of the window, with the row count at
// that moment, so the order against added rows can be checked.
class RecordingHost : public CommandLineHost {
public:
    explicit RecordingHost(JobList& jobs) : jobs_(jobs) {}
    void runAppend() override { calls.push_back("run@" + std::to_string(jobs_.rowCount())); }
    void closeMainWindow() override { calls.push_back("close@" + std::to_string(jobs_.rowCount())); }
    void readBatchFile(const std::string& path) override { calls.push_back("batch:" + path); }
    void refreshTotalItems() override { calls.push_back("total@" + std::to_string(jobs_.rowCount())); }
    std::vector<std::string> calls;

private:
    JobList& jobs_;
};

class RecordingClipboard : public Clipboard {
public:
    bool setText(const std::string& text) override
    {
        texts.push_back(text);
        return true;
    }
    std::vector<std::string> texts;
};

// A job list with headless fakes around it; no Acrobat behind the page count.
struct JobListFixture {
    RecordingMessageBoxes messages;
    RecordingPrompt prompt;
    JobList jobs{messages, prompt, [](const std::string&) { return 0; }};

    std::vector<std::string> fileNames() const
    {
        std::vector<std::string> out;
        for (int r = 0; r < jobs.rowCount(); ++r)
            out.push_back(jobs.entry(r).fileName);
        return out;
    }
};

// A valid PDF with blank pages, made with qpdf.
inline void writeTinyPdf(const std::string& path, int pages = 1)
{
    QPDF pdf;
    pdf.emptyPDF();
    QPDFPageDocumentHelper doc(pdf);
    for (int i = 0; i < pages; ++i) {
        QPDFObjectHandle page =
            pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 200 200] >>"));
        doc.addPage(QPDFPageObjectHelper(page), false);
    }
    QPDFWriter writer(pdf, path.c_str());
    writer.write();
}

} // namespace fb::test
