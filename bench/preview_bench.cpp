// How soon the first thumbnails of a long document appear once the preview is
// shown: a 2,000-page PDF, a fresh preview each time, from show() to the first
// thumbnail drawn on screen. Prints every time and the median. Given a file
// instead of a page count, it times that PDF (a real manual) as it stands.
//
//   cmake --build build --target preview-bench && QT_QPA_PLATFORM=offscreen build/preview-bench
//   [pages|FILE.pdf] [runs]
#include "testkit/SamplePdf.h"
#include "pages/qt/PagePreview.h"
#include "pages/qt/ThumbnailRenderer.h"

#include <poppler-qt6.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const std::string given = argc > 1 ? argv[1] : "2000";
    const bool realFile = given.find_first_not_of("0123456789") != std::string::npos;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 15;
    char folder[] = "/tmp/mervo-preview-bench.XXXXXX";
    if (!mkdtemp(folder)) return 1;
    std::string path = given;
    int pages = 0;
    if (realFile) {
        auto doc = Poppler::Document::load(QString::fromStdString(path));
        if (!doc || doc->isLocked()) {
            std::fprintf(stderr, "preview-bench: %s does not open as a PDF\n", path.c_str());
            return 1;
        }
        pages = doc->numPages();
    } else {
        pages = std::atoi(given.c_str());
        path = std::string(folder) + "/manual.pdf";
        fb::SamplePdfOptions o;
        o.name = "Manual";
        o.pages = pages;
        if (!fb::makeSamplePdf(path, o)) return 1;
    }

    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QDialog dialog;
        auto* preview = new fb::PagePreview(&dialog);
        auto* layout = new QHBoxLayout(&dialog);
        layout->addWidget(preview);
        dialog.resize(320, 480);
        QEventLoop wait;
        QElapsedTimer clock;
        double took = -1;
        QObject::connect(preview, &fb::PagePreview::firstThumbnailShown, &dialog, [&] {
            // Counted once the frame holding it has been painted.
            preview->repaint();
            took = clock.nsecsElapsed() / 1e6;
            wait.quit();
        });
        QTimer::singleShot(10000, &wait, &QEventLoop::quit);
        clock.start();
        dialog.show();
        preview->setSource(path, pages);
        preview->setSelection("all");
        wait.exec();
        ms.push_back(took);
        std::printf("run %d: %.1f ms\n", i + 1, took);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("pages %d, runs %d: median %.1f ms, best %.1f ms, worst %.1f ms\n", pages, runs,
                ms[ms.size() / 2], ms.front(), ms.back());
    std::filesystem::remove_all(folder);
    return 0;
}
