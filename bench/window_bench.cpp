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
#include "CpuTime.h"
#include "SilentMessages.h"
#include "app/qt/MainWindow.h"
#include "app/qt/MainWindowIds.h"
#include "app/qt/QtServices.h"
#include "bulk/BulkLoad.h"
#include "bulk/qt/ScanningWindow.h"
#include "common/FileDialogs.h"
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

using fb::bench::processCpuSeconds;
using fb::bench::SilentMessages;

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
Stamp now()
{
    return {std::chrono::steady_clock::now(), processCpuSeconds()};
}
struct Took {
    double wall, cpu;
};
Took since(Stamp start)
{
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start.wall).count(),
            processCpuSeconds() - start.cpu};
}
void print(const char* name, Took t)
{
    std::printf("%s %.3f %.3f\n", name, t.wall, t.cpu);
}
// The files every figure reads: a batch file of ROWS rows over FILES sample
// PDFs, and a folder tree of ROWS/5 hard links for the drop and the bulk load.
struct BenchFiles {
    std::string dir, batch;
    std::vector<std::string> dropped;
    int rows = 0;
};

bool makeFiles(BenchFiles& f, int rows, int files)
{
    char pattern[] = "/tmp/window-bench.XXXXXX";
    if (!::mkdtemp(pattern)) return false;
    f.dir = pattern;
    f.rows = rows;
    std::vector<std::string> names;
    for (int i = 0; i < files; ++i) {
        fb::SamplePdfOptions o;
        o.name = "f" + std::to_string(i);
        o.pages = 1 + i % 7;
        names.push_back(f.dir + "/f" + std::to_string(i) + ".pdf");
        if (!fb::makeSamplePdf(names.back(), o)) return false;
    }
    f.batch = f.dir + "/bench.app";
    std::ofstream out(f.batch, std::ios::binary);
    for (int r = 0; r < rows; ++r) {
        // A scrambled order, so the sort has work to do.
        const std::string& name = names[(static_cast<unsigned>(r) * 2654435761u) % files];
        out << name << "; all; ; ; ; " << f.dir << "/out.pdf; N; N; Y; N\r\r\n";
    }
    for (int i = 0; i < rows / 5; ++i) {
        const std::string sub = f.dir + "/tree/d" + std::to_string(i / 500);
        std::filesystem::create_directories(sub);
        f.dropped.push_back(sub + "/g" + std::to_string(i) + ".pdf");
        std::filesystem::create_hard_link(names[i % files], f.dropped.back());
    }
    return static_cast<bool>(out.flush());
}

struct Figures {
    Took load{}, drop{}, bulk{};
};

bool measureHeadless(const BenchFiles& f, SilentMessages& messages, HeldPrompt& prompt, Figures& took)
{
    fb::CancelFileDialogs dialogs;
    fb::JobList jobs(messages, prompt, {});
    fb::BatchFiles loader(jobs, messages, dialogs);
    loader.setQuietMode(true);
    Stamp start = now();
    loader.readBatchFile(f.batch);
    took.load = since(start);
    if (jobs.rowCount() != f.rows) {
        std::fprintf(stderr, "window-bench: headless load gave %d rows\n", jobs.rowCount());
        return false;
    }
    jobs.ClearAll();
    jobs.setAlwaysShowParameters(false);
    start = now();
    for (const std::string& path : f.dropped)
        jobs.AddJobEntry(path, 1, {});
    took.drop = since(start);

    OkOptions options;
    FixedFolder folder;
    folder.folder = f.dir + "/tree";
    fb::EventPump pump;
    fb::BulkLoader bulk({jobs, messages, folder, options, pump, {}, {}});
    start = now();
    bulk.BulkLoadGrouping();
    took.bulk = since(start);
    return jobs.rowCount() == static_cast<int>(f.dropped.size());
}

// The event loop's heartbeat: a timer that fires whenever events are
// processed; the longest time between two beats is the longest gap.
class Heartbeat {
public:
    explicit Heartbeat(fb::MainWindow& window)
    {
        beat_.setTimerType(Qt::PreciseTimer);
        beat_.setInterval(1);
        QObject::connect(&beat_, &QTimer::timeout, [this, &window] {
            const qint64 now = clock_.elapsed();
            if (now - last_ > longest_ && std::getenv("WINDOW_BENCH_GAPS"))
                std::fprintf(stderr, "gap %lld ms at %lld ms, %d rows\n", static_cast<long long>(now - last_),
                             static_cast<long long>(now), window.model().jobs().rowCount());
            beat();
        });
    }
    void start()
    {
        last_ = longest_ = 0;
        clock_.restart();
        beat_.start();
    }
    qint64 stop()
    {
        beat();
        beat_.stop();
        return longest_;
    }

private:
    void beat()
    {
        const qint64 now = clock_.elapsed();
        longest_ = std::max(longest_, now - last_);
        last_ = now;
    }
    QElapsedTimer clock_;
    qint64 last_ = 0, longest_ = 0;
    QTimer beat_;
};

// Sort, select all and delete the first half, each with the window's turn.
bool measureListWork(fb::MainWindow& window, int rows)
{
    Stamp start = now();
    window.runCommand(fb::kCmdSortOnFilename, fb::CommandOrigin::MenuBar);
    QApplication::processEvents();
    print("sort", since(start));

    start = now();
    window.listView()->selectAll();
    QApplication::processEvents();
    print("select_all", since(start));

    QAbstractItemModel* model = window.listView()->model();
    window.listView()->selectionModel()->select(
        QItemSelection(model->index(0, 0), model->index(rows / 2 - 1, fb::kColumnCount - 1)),
        QItemSelectionModel::ClearAndSelect);
    start = now();
    window.runCommand(fb::kCmdDeleteSelection, fb::CommandOrigin::MenuBar);
    QApplication::processEvents();
    print("delete_half", since(start));
    if (window.model().jobs().rowCount() != rows - rows / 2) {
        std::fprintf(stderr, "window-bench: %d rows left after the delete\n",
                     window.model().jobs().rowCount());
        return false;
    }
    return true;
}

bool measureWindow(const BenchFiles& f, fb::MainWindow& window, SilentMessages& messages,
                   const Figures& headless)
{
    Heartbeat heartbeat(window);
    auto* total = window.findChild<QLineEdit*>(fb::mainids::kTotalItems);
    std::set<QString> totals;
    QObject::connect(total, &QLineEdit::textChanged, [&](const QString& t) { totals.insert(t); });

    heartbeat.start();
    Stamp start = now();
    window.model().readBatchFile(f.batch);
    const Took load = since(start);
    const qint64 loadGap = heartbeat.stop();
    if (window.model().jobs().rowCount() != f.rows) {
        std::fprintf(stderr, "window-bench: window load gave %d rows\n", window.model().jobs().rowCount());
        return false;
    }
    print("headless_load", headless.load);
    print("window_load", load);
    std::printf("longest_gap %lld\ntotal_seen %zu\n", static_cast<long long>(loadGap), totals.size());
    if (!measureListWork(window, f.rows)) return false;

    // A drop, with the parameters held from the first file.
    window.model().jobs().ClearAll();
    window.model().jobs().setAlwaysShowParameters(false);
    start = now();
    window.model().dropFiles(f.dropped);
    QApplication::processEvents();
    print("headless_drop", headless.drop);
    print("window_drop", since(start));
    const int treeFiles = static_cast<int>(f.dropped.size());
    if (window.model().jobs().rowCount() != treeFiles) return false;

    // A bulk load as the window runs it: its event pump and "Scanning" window.
    OkOptions options;
    FixedFolder folder;
    folder.folder = f.dir + "/tree";
    fb::QtRunHost host(&window, nullptr);
    fb::BulkLoader bulk({window.model().jobs(), messages, folder, options, host,
                         [&window] { return std::make_unique<fb::ScanningProgress>(&window); },
                         [&window] { window.fitFileNameColumn(); }});
    heartbeat.start();
    start = now();
    bulk.BulkLoadGrouping();
    const Took windowBulk = since(start);
    const qint64 bulkGap = heartbeat.stop();
    print("headless_bulk", headless.bulk);
    print("window_bulk", windowBulk);
    std::printf("bulk_gap %lld\n", static_cast<long long>(bulkGap));
    return window.model().jobs().rowCount() == treeFiles;
}

} // namespace

int main(int argc, char** argv)
{
    const int rows = argc > 1 ? std::atoi(argv[1]) : 50000;
    const int files = argc > 2 ? std::atoi(argv[2]) : 200;
    BenchFiles f;
    if (!makeFiles(f, rows, files)) return 2;

    SilentMessages messages;
    HeldPrompt prompt;
    Figures headless;
    if (!measureHeadless(f, messages, prompt, headless)) return 1;

    QApplication app(argc, argv);
    std::ofstream(f.dir + "/setup.ini", std::ios::binary) << "NOSPLASH\r\n";
    fb::MainWindowOptions o;
    o.logPath = f.dir + "/append.log";
    o.settingsPath = f.dir + "/setup.ini";
    o.messages = &messages;
    o.prompt = &prompt;
    fb::MainWindow window(o);
    window.start({"mervo"}, f.dir);
    window.show();
    QApplication::processEvents();
    const bool ok = measureWindow(f, window, messages, headless);
    std::filesystem::remove_all(f.dir);
    return ok ? 0 : 1;
}
