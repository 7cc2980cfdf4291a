// How soon the first thumbnails of a long document appear once the Append
// Parameters dialog is asked for: the real dialog over the real main window,
// built and shown for a source, timed from the start of building it (show()
// comes straight after) to the first thumbnail painted on screen. The main
// window is up first, as in the program, so its start-up is not counted.
// Prints every run and the median; run 1 is the first opening in the process,
// the rest are later openings. Beside the wall time each run gives
// the CPU time the whole process spent meanwhile (UI and rendering threads),
// which a loaded machine disturbs far less.
//
//   cmake --build build --target preview-bench && QT_QPA_PLATFORM=offscreen build/preview-bench
//   [pages|FILE.pdf] [runs]
#include "CpuTime.h"
#include "SilentMessages.h"
#include "app/AppendParameters.h"
#include "app/qt/AppendParametersDialog.h"
#include "app/qt/MainWindow.h"
#include "common/FileDialogs.h"
#include "pages/PageCount.h"
#include "pages/qt/PagePreview.h"
#include "testkit/SamplePdf.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

double processCpuMs()
{
    return fb::bench::processCpuSeconds() * 1e3;
}

// The middle value of a sorted copy.
double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const std::string given = argc > 1 ? argv[1] : "2000";
    const bool realFile = given.find_first_not_of("0123456789") != std::string::npos;
    const int runs = std::max(argc > 2 ? std::atoi(argv[2]) : 15, 1);
    char folder[] = "/tmp/mervo-preview-bench.XXXXXX";
    if (!mkdtemp(folder)) return 1;
    std::string path = given;
    int pages = 0;
    if (realFile) {
        // The row's page count, counted before the dialog as the job list does.
        pages = fb::countPages(path);
        if (pages <= 0) {
            std::fprintf(stderr, "preview-bench: %s does not open as a PDF\n", path.c_str());
            return 1;
        }
    } else {
        pages = std::atoi(given.c_str());
        path = std::string(folder) + "/manual.pdf";
        fb::SamplePdfOptions o;
        o.name = "Manual";
        o.pages = pages;
        if (!fb::makeSamplePdf(path, o)) return 1;
    }

    // The window's remembered state stays in the bench's own folder.
    qputenv("MERVO_CONFIG_DIR", folder);
    fb::bench::SilentMessages messages;
    fb::CancelParametersPrompt prompt;
    std::ofstream(std::string(folder) + "/setup.ini", std::ios::binary) << "NOSPLASH\r\n";
    fb::MainWindowOptions o;
    o.logPath = std::string(folder) + "/append.log";
    o.settingsPath = std::string(folder) + "/setup.ini";
    o.windowStatePath = std::string(folder) + "/window.ini";
    o.messages = &messages;
    o.prompt = &prompt;
    fb::MainWindow window(o);
    window.start({"mervo"}, folder);
    window.show();
    {
        QEventLoop settle;
        QTimer::singleShot(100, &settle, &QEventLoop::quit);
        settle.exec();
    }

    fb::CancelFolderChooser folders;
    fb::CancelFileDialogs files;
    fb::AppendParameters values(messages);

    std::vector<double> ms, cpu;
    for (int i = 0; i < runs; ++i) {
        fb::ParametersRequest request;
        request.fileName = path;
        request.pageCount = pages;
        request.rowValues = fb::RowValues{"all", "", "", "Y", "N", "N", "N"};
        values.open(request);
        QEventLoop wait;
        double took = -1, tookCpu = -1;
        QElapsedTimer clock;
        const double cpuAtStart = processCpuMs();
        clock.start();
        fb::AppendParametersDialog dialog(&window, values, folders, files, {});
        auto* preview = dialog.findChild<fb::PagePreview*>();
        QObject::connect(preview, &fb::PagePreview::firstThumbnailShown, &dialog, [&] {
            // Counted once the frame holding it has been painted.
            preview->repaint();
            took = clock.nsecsElapsed() / 1e6;
            tookCpu = processCpuMs() - cpuAtStart;
            wait.quit();
        });
        QTimer::singleShot(10000, &wait, &QEventLoop::quit);
        dialog.show();
        wait.exec();
        ms.push_back(took);
        cpu.push_back(tookCpu);
        std::printf("run %d: %.1f ms, cpu %.1f ms\n", i + 1, took, tookCpu);
        std::fflush(stdout);
    }
    const double cpuMedian = median(cpu);
    std::sort(ms.begin(), ms.end());
    std::printf("pages %d, runs %d: median %.1f ms, best %.1f ms, worst %.1f ms, cpu median %.1f ms\n", pages,
                runs, ms[ms.size() / 2], ms.front(), ms.back(), cpuMedian);
    std::filesystem::remove_all(folder);
    return 0;
}
