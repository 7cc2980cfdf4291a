// window-bench ROWS [FILES]: a batch file of ROWS rows over FILES small PDFs
// (200 unless given), loaded once without a window and once into the real main
// window on the offscreen platform. Prints, one per line as "name value":
//   headless_load  seconds for the load without a window
//   window_load    seconds for the same load into the window
//   longest_gap    the longest time in milliseconds that the window's event
//                  loop went without processing an event during that load
//   total_seen     how many distinct "Total Items:" values the load showed
//   sort           seconds for the window's "Sort on filename"
//   select_all     seconds for selecting every row in the view
//   delete_half    seconds for deleting the selected first half
#include "app/qt/MainWindow.h"
#include "common/SamplePdf.h"
#include "jobs/BatchFile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace {

class SilentMessages : public fb::MessageBoxes {
public:
    fb::MessageAnswer show(const std::string&, const std::string&, fb::MessageButtons,
                           fb::MessageIcon) override
    {
        return fb::MessageAnswer::Ok;
    }
};

struct NoDialogs : fb::FileDialogs {
    std::optional<std::string> openFile(const fb::FileDialogRequest&) override { return {}; }
    std::optional<std::string> saveFile(const fb::FileDialogRequest&) override { return {}; }
};

double since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    const int rows = argc > 1 ? std::atoi(argv[1]) : 50000;
    const int files = argc > 2 ? std::atoi(argv[2]) : 200;
    char pattern[] = "/tmp/window-bench.XXXXXX";
    if (!::mkdtemp(pattern)) return 2;
    const std::string dir = pattern;

    std::vector<std::string> names;
    for (int i = 0; i < files; ++i) {
        fb::SamplePdfOptions o;
        o.name = "f" + std::to_string(i);
        o.pages = 1 + i % 7;
        names.push_back(dir + "/f" + std::to_string(i) + ".pdf");
        if (!fb::makeSamplePdf(names.back(), o)) return 2;
    }
    const std::string batch = dir + "/bench.app";
    {
        std::ofstream out(batch, std::ios::binary);
        for (int r = 0; r < rows; ++r) {
            // A scrambled order, so the sort has work to do.
            const std::string& name = names[(static_cast<unsigned>(r) * 2654435761u) % files];
            out << name << "; all; ; ; ; " << dir << "/out.pdf; N; N; Y; N\r\r\n";
        }
    }

    SilentMessages messages;
    fb::CancelParametersPrompt prompt;
    double headless = 0;
    {
        NoDialogs dialogs;
        fb::JobList jobs(messages, prompt, {});
        fb::BatchFiles loader(jobs, messages, dialogs);
        loader.setQuietMode(true);
        auto start = std::chrono::steady_clock::now();
        loader.readBatchFile(batch);
        headless = since(start);
        if (jobs.rowCount() != rows) {
            std::fprintf(stderr, "window-bench: headless load gave %d rows\n", jobs.rowCount());
            return 1;
        }
    }

    QApplication app(argc, argv);
    {
        std::ofstream(dir + "/setup.ini", std::ios::binary) << "NOSPLASH\r\n";
    }
    fb::MainWindowOptions o;
    o.logPath = dir + "/append.log";
    o.settingsPath = dir + "/setup.ini";
    o.messages = &messages;
    o.prompt = &prompt;
    fb::MainWindow window(o);
    window.start({"mervo"}, dir);
    window.show();
    QApplication::processEvents();

    // The event loop's heartbeat: a timer that fires whenever events are processed.
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer beat;
    beat.setTimerType(Qt::PreciseTimer);
    beat.setInterval(1);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        if (now - last > longest && std::getenv("WINDOW_BENCH_GAPS"))
            std::fprintf(stderr, "gap %lld ms at %lld ms, %d rows\n",
                         static_cast<long long>(now - last), static_cast<long long>(now),
                         window.model().jobs().rowCount());
        longest = std::max(longest, now - last);
        last = now;
    });
    auto* total = window.findChild<QLineEdit*>("1021");
    std::set<QString> totals;
    QObject::connect(total, &QLineEdit::textChanged, [&](const QString& t) { totals.insert(t); });

    clock.start();
    beat.start();
    auto start = std::chrono::steady_clock::now();
    window.model().readBatchFile(batch);
    const double windowLoad = since(start);
    longest = std::max(longest, clock.elapsed() - last);
    beat.stop();
    if (window.model().jobs().rowCount() != rows) {
        std::fprintf(stderr, "window-bench: window load gave %d rows\n",
                     window.model().jobs().rowCount());
        return 1;
    }

    start = std::chrono::steady_clock::now();
    window.runCommand(fb::kCmdSortOnFilename, fb::CommandOrigin::MenuBar);
    QApplication::processEvents();
    const double sorted = since(start);

    start = std::chrono::steady_clock::now();
    window.listView()->selectAll();
    QApplication::processEvents();
    const double selectedAll = since(start);

    QAbstractItemModel* model = window.listView()->model();
    window.listView()->selectionModel()->select(
        QItemSelection(model->index(0, 0), model->index(rows / 2 - 1, fb::kColumnCount - 1)),
        QItemSelectionModel::ClearAndSelect);
    start = std::chrono::steady_clock::now();
    window.runCommand(fb::kCmdDeleteSelection, fb::CommandOrigin::MenuBar);
    QApplication::processEvents();
    const double deleted = since(start);
    if (window.model().jobs().rowCount() != rows - rows / 2) {
        std::fprintf(stderr, "window-bench: %d rows left after the delete\n",
                     window.model().jobs().rowCount());
        return 1;
    }

    std::printf("headless_load %.3f\nwindow_load %.3f\nlongest_gap %lld\ntotal_seen %zu\n"
                "sort %.3f\nselect_all %.3f\ndelete_half %.3f\n",
                headless, windowLoad, static_cast<long long>(longest), totals.size(), sorted,
                selectedAll, deleted);
    std::filesystem::remove_all(dir);
    return 0;
}
