// window-bench ROWS [FILES]: a batch file of ROWS rows over FILES small PDFs
// (200 unless given), loaded once without a window and once into the real main
// window on the offscreen platform. Prints one figure a line: "name wall cpu"
// in seconds for times, "name value" for the rest:
//   headless_load  seconds for the load without a window
//   window_load    seconds for the same load into the window
//   longest_gap    the longest time in milliseconds that the window's event
//                  loop went without processing an event during that load
//   total_seen     how many distinct "Total Items:" values the load showed
//   sort           seconds for the window's "Sort on filename"
//   select_all     seconds for selecting every row in the view
//   delete_half    seconds for deleting the selected first half
//   headless_drop, window_drop   ROWS/5 dropped files (parameters held)
//   headless_bulk, window_bulk   a grouping bulk load of ROWS/5 files
//   bulk_gap       the longest event gap during the window's bulk load
#include "SilentMessages.h"
#include "app/qt/MainWindow.h"
#include "app/qt/MainWindowIds.h"
#include "app/qt/QtServices.h"
#include "bulk/BulkLoad.h"
#include "bulk/qt/ScanningWindow.h"
#include "testkit/SamplePdf.h"
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

using fb::bench::SilentMessages;

struct NoDialogs : fb::FileDialogs {
    std::optional<std::string> openFile(const fb::FileDialogRequest&) override { return {}; }
    std::optional<std::string> saveFile(const fb::FileDialogRequest&) override { return {}; }
};

struct OkOptions : fb::BulkLoadOptionsPrompt {
    bool askGrouping(fb::GroupingSettings& s) override
    {
        s.outputDirectory = "/nonexistent";
        return true;
    }
    bool askOneOutput(fb::OneOutputSettings&) override { return true; }
};

struct FixedFolder : fb::FolderChooser {
    std::string folder;
    std::optional<std::string> chooseFolder(const fb::FolderRequest&) override { return folder; }
};

// Holds one answer for every file, as "use same parameters" does.
struct HeldPrompt : fb::ParametersPrompt {
    fb::ParametersAnswer prompt(const fb::ParametersRequest&) override
    {
        return {true, {"all", "", "/nonexistent/out.pdf", "N", "N", "Y", "N"}, false};
    }
};

// Wall and process CPU seconds: on a shared machine the CPU figure is the
// one that says what the work costs.
struct Stamp {
    std::chrono::steady_clock::time_point wall;
    double cpu;
};
double cpuNow()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}
Stamp now()
{
    return {std::chrono::steady_clock::now(), cpuNow()};
}
struct Took {
    double wall, cpu;
};
Took since(Stamp start)
{
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start.wall).count(),
            cpuNow() - start.cpu};
}
void print(const char* name, Took t)
{
    std::printf("%s %.3f %.3f\n", name, t.wall, t.cpu);
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

    // A folder tree of ROWS/5 files (hard links to the sample PDFs) for the
    // bulk load, and the same files as a drop.
    const int treeFiles = rows / 5;
    std::vector<std::string> dropped;
    for (int i = 0; i < treeFiles; ++i) {
        const std::string sub = dir + "/tree/d" + std::to_string(i / 500);
        std::filesystem::create_directories(sub);
        dropped.push_back(sub + "/g" + std::to_string(i) + ".pdf");
        std::filesystem::create_hard_link(names[i % files], dropped.back());
    }

    SilentMessages messages;
    HeldPrompt prompt;
    Took headless{}, headlessDrop{}, headlessBulk{};
    {
        NoDialogs dialogs;
        fb::JobList jobs(messages, prompt, {});
        fb::BatchFiles loader(jobs, messages, dialogs);
        loader.setQuietMode(true);
        Stamp start = now();
        loader.readBatchFile(batch);
        headless = since(start);
        if (jobs.rowCount() != rows) {
            std::fprintf(stderr, "window-bench: headless load gave %d rows\n", jobs.rowCount());
            return 1;
        }
        jobs.ClearAll();
        jobs.setAlwaysShowParameters(false);
        start = now();
        for (const std::string& path : dropped)
            jobs.AddJobEntry(path, 1, {});
        headlessDrop = since(start);

        OkOptions options;
        FixedFolder folder;
        folder.folder = dir + "/tree";
        fb::EventPump pump;
        fb::BulkLoader bulk({jobs, messages, folder, options, pump, {}, {}});
        start = now();
        bulk.BulkLoadGrouping();
        headlessBulk = since(start);
        if (jobs.rowCount() != treeFiles) return 1;
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
            std::fprintf(stderr, "gap %lld ms at %lld ms, %d rows\n", static_cast<long long>(now - last),
                         static_cast<long long>(now), window.model().jobs().rowCount());
        longest = std::max(longest, now - last);
        last = now;
    });
    auto* total = window.findChild<QLineEdit*>(fb::mainids::kTotalItems);
    std::set<QString> totals;
    QObject::connect(total, &QLineEdit::textChanged, [&](const QString& t) { totals.insert(t); });

    clock.start();
    beat.start();
    Stamp start = now();
    window.model().readBatchFile(batch);
    const Took windowLoad = since(start);
    longest = std::max(longest, clock.elapsed() - last);
    beat.stop();
    const qint64 loadGap = longest;
    if (window.model().jobs().rowCount() != rows) {
        std::fprintf(stderr, "window-bench: window load gave %d rows\n", window.model().jobs().rowCount());
        return 1;
    }

    start = now();
    window.runCommand(fb::kCmdSortOnFilename, fb::CommandOrigin::MenuBar);
    QApplication::processEvents();
    const Took sorted = since(start);

    start = now();
    window.listView()->selectAll();
    QApplication::processEvents();
    const Took selectedAll = since(start);

    QAbstractItemModel* model = window.listView()->model();
    window.listView()->selectionModel()->select(
        QItemSelection(model->index(0, 0), model->index(rows / 2 - 1, fb::kColumnCount - 1)),
        QItemSelectionModel::ClearAndSelect);
    start = now();
    window.runCommand(fb::kCmdDeleteSelection, fb::CommandOrigin::MenuBar);
    QApplication::processEvents();
    const Took deleted = since(start);
    if (window.model().jobs().rowCount() != rows - rows / 2) {
        std::fprintf(stderr, "window-bench: %d rows left after the delete\n",
                     window.model().jobs().rowCount());
        return 1;
    }

    // A drop, with the parameters held from the first file.
    window.model().jobs().ClearAll();
    window.model().jobs().setAlwaysShowParameters(false);
    start = now();
    window.model().dropFiles(dropped);
    QApplication::processEvents();
    const Took windowDrop = since(start);
    if (window.model().jobs().rowCount() != treeFiles) return 1;

    // A bulk load as the window runs it: its event pump and "Scanning" window.
    OkOptions options;
    FixedFolder folder;
    folder.folder = dir + "/tree";
    fb::QtRunHost host(&window, nullptr);
    fb::BulkLoader bulk({window.model().jobs(), messages, folder, options, host,
                         [&window] { return std::make_unique<fb::ScanningProgress>(&window); },
                         [&window] { window.fitFileNameColumn(); }});
    longest = 0;
    last = 0;
    clock.restart();
    beat.start();
    start = now();
    bulk.BulkLoadGrouping();
    const Took windowBulk = since(start);
    longest = std::max(longest, clock.elapsed() - last);
    beat.stop();
    if (window.model().jobs().rowCount() != treeFiles) return 1;

    print("headless_load", headless);
    print("window_load", windowLoad);
    std::printf("longest_gap %lld\ntotal_seen %zu\n", static_cast<long long>(loadGap), totals.size());
    print("sort", sorted);
    print("select_all", selectedAll);
    print("delete_half", deleted);
    print("headless_drop", headlessDrop);
    print("window_drop", windowDrop);
    print("headless_bulk", headlessBulk);
    print("window_bulk", windowBulk);
    std::printf("bulk_gap %lld\n", static_cast<long long>(longest));
    std::filesystem::remove_all(dir);
    return 0;
}
