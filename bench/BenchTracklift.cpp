// Tracklift on the 40,000-track device: loading the grid, ticking every row,
// and copying files compared with cp(1).

#include "BenchDatabase.h"
#include "TempDir.h"

#include <BatchCopy.h>
#include <PanelSlides.h>
#include <QtDialogs.h>
#include <TrackList.h>
#include <frmMain.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QPushButton>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>

using namespace tracklift;
namespace fs = std::filesystem;

namespace {

// Dialogs that answer OK and choose nothing: the measurements show no boxes.
class SilentDialogs final : public Dialogs {
public:
    MessageResult messageBox(QWidget*, const QString&, const QString&, MessageButtons, MessageIcon) override { return MessageResult::OK; }
    QString browseForFolder(QWidget*, const QString&) override { return {}; }
    CopyResult copyFiles(QWidget*, const std::vector<CopyItem>&, const CopySettings&) override { return {}; }
    int execDialog(QDialog&) override { return 0; }
};

// Runs the growing button and the page slide to their end at once.
void finishAnimations(frmMain& window)
{
    PanelSlides& panels = window.panels();
    while (panels.isViewButtonGrowing() || panels.isSliding()) {
        if (panels.isViewButtonGrowing())
            panels.tmrShowViewButton_Timer();
        else
            panels.tmrAnimate_Timer();
    }
}

// A window showing the 40,000-track device's contents.
struct LoadedWindow {
    testsupport::TempDir config;
    SilentDialogs dialogs;
    std::unique_ptr<frmMain> window;

    LoadedWindow()
    {
        qputenv("TRACKLIFT_CONFIG_DIR", QByteArray::fromStdString(config.path().string()));
        window = std::make_unique<frmMain>(dialogs);
        window->useDeviceForThisRun(QString::fromStdString(bench::bigDevice().string()));
        window->show();
        window->cmdLoadiPod_Click();
        finishAnimations(*window);
        window->cmdViewContents_Click();
        finishAnimations(*window);
        QApplication::processEvents();
    }
};

// Resident memory of this process now and at its peak, in MiB (from /proc/self/status).
double residentMiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::stod(line.substr(std::strlen(field))) / 1024.0;
    return 0;
}

void GridLoad40000Tracks(benchmark::State& state)
{
    testsupport::TempDir config;
    qputenv("TRACKLIFT_CONFIG_DIR", QByteArray::fromStdString(config.path().string()));
    SilentDialogs dialogs;
    frmMain window(dialogs);
    window.useDeviceForThisRun(QString::fromStdString(bench::bigDevice().string()));
    window.show();
    QApplication::processEvents();
    for (auto _ : state) {
        // From the press of "Load iPod Contents" to the rows painted on the contents page.
        window.cmdLoadiPod_Click();
        finishAnimations(window);
        window.cmdViewContents_Click();
        finishAnimations(window);
        window.repaint();
        QApplication::processEvents();
        if (window.trackList().grid().rowCount() < 1)
            state.SkipWithError("the grid holds no rows");
        state.counters["rows"] = window.trackList().grid().rowCount();
        state.counters["resident_MiB"] = residentMiB("VmRSS:");
        state.counters["peak_resident_MiB"] = residentMiB("VmHWM:");
        state.PauseTiming();
        window.showStartPage();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(GridLoad40000Tracks)->Unit(benchmark::kMillisecond)->Iterations(5);

// Select All (or UnSelect All) until the status line under the grid tells it.
void SelectAll40000Tracks(benchmark::State& state)
{
    LoadedWindow loaded;
    frmMain& window = *loaded.window;
    auto* status = window.findChild<QLabel*>(QStringLiteral("lblTicked"));
    const int rows = window.trackList().grid().rowCount();
    const QString allTicked = QStringLiteral("%1 of %1 tracks ticked").arg(rows);
    bool on = true;
    for (auto _ : state) {
        window.SetAllChecks(on);
        QApplication::processEvents();
        if (status->text().startsWith(allTicked) != on)
            state.SkipWithError("the status line does not tell the ticks");
        on = !on;
    }
}
BENCHMARK(SelectAll40000Tracks)->Unit(benchmark::kMillisecond)->Iterations(10);

// The chooser's entry of the playlist nearest 2,000 tracks.
int playlistNear2000(const frmMain& window)
{
    const auto* chooser = window.findChild<QComboBox*>(QStringLiteral("cboPlaylist"));
    int best = -1;
    long bestDistance = 0;
    for (int i = 1; i < chooser->count(); ++i) {
        const QString caption = chooser->itemText(i);
        const long count = caption.mid(caption.lastIndexOf(QLatin1Char('(')) + 1).chopped(1).toLong();
        const long distance = std::labs(count - 2000);
        if (best < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

// Choosing a playlist of about 2,000 of the 40,000 tracks, until its rows are painted.
void ShowPlaylist2000Of40000Tracks(benchmark::State& state)
{
    LoadedWindow loaded;
    frmMain& window = *loaded.window;
    TrackList& list = window.trackList();
    const int choice = playlistNear2000(window);
    if (choice < 0) {
        state.SkipWithError("the device has no playlist");
        return;
    }
    for (auto _ : state) {
        list.showChoice(choice);
        window.repaint();
        QApplication::processEvents();
        state.counters["rows"] = list.grid().rowCount();
        state.PauseTiming();
        list.showChoice(0);
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(ShowPlaylist2000Of40000Tracks)->Unit(benchmark::kMillisecond)->Iterations(10);

// A click on the Title header (ascending, then descending), until painted.
void SortByTitle40000Tracks(benchmark::State& state)
{
    LoadedWindow loaded;
    frmMain& window = *loaded.window;
    TrackGrid& grid = window.trackList().grid();
    bool ascending = true;
    for (auto _ : state) {
        grid.sortByColumn(TrackTableModel::Title, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
        window.repaint();
        QApplication::processEvents();
        ascending = !ascending;
    }
    if (grid.sortColumn() != TrackTableModel::Title)
        state.SkipWithError("the grid is not sorted by title");
}
BENCHMARK(SortByTitle40000Tracks)->Unit(benchmark::kMillisecond)->Iterations(10);

// Filtering the list by title, alternating between two texts so that about a
// quarter of the rows change their visibility each time, then painting.
void Filter40000Tracks(benchmark::State& state)
{
    LoadedWindow loaded;
    frmMain& window = *loaded.window;
    window.findChild<QRadioButton*>(QStringLiteral("optFilterTracks"))->setChecked(true);
    int shown = 0;
    bool one = true;
    for (auto _ : state) {
        window.ApplyFilter(one ? QStringLiteral("track 1") : QStringLiteral("TRACK 2"));
        QApplication::processEvents();
        one = !one;
        state.PauseTiming();
        shown = 0;
        for (GridRow r = window.trackList().grid().firstRow(); r != kNoRow; r = window.trackList().grid().nextRow(r))
            shown += window.trackList().grid().isRowHidden(r) ? 0 : 1;
        state.ResumeTiming();
        if (shown == 0 || shown == window.trackList().grid().rowCount()) {
            state.SkipWithError("the filter did not narrow the list");
            break;
        }
    }
    state.counters["rows_shown"] = shown;
}
BENCHMARK(Filter40000Tracks)->Unit(benchmark::kMillisecond)->Iterations(10);

// One press of "Search" from the top that finds its match in the last row:
// the longest step there is short of finding nothing.
void SearchStep40000Tracks(benchmark::State& state)
{
    LoadedWindow loaded;
    frmMain& window = *loaded.window;
    const GridRow last = window.trackList().grid().lastRow();
    window.findChild<QLineEdit*>(QStringLiteral("txtSearch"))->setText(window.trackList().grid().cellText(last, TrackTableModel::Title));
    for (auto _ : state) {
        state.PauseTiming();
        window.trackList().grid().setActiveCell({});
        state.ResumeTiming();
        window.cmdSearch_Click();
        QApplication::processEvents();
        if (window.trackList().grid().activeCell().row != last)
            state.SkipWithError("the search did not reach the last row");
    }
}
BENCHMARK(SearchStep40000Tracks)->Unit(benchmark::kMillisecond)->Iterations(10);

// Forty files of 8 MB, made once.
const fs::path& sourceFiles()
{
    static testsupport::TempDir dir;
    static const bool made = [] {
        std::mt19937 generator(7);
        std::string bytes(8u << 20, '\0');
        for (int f = 0; f < 40; ++f) {
            for (char& c : bytes)
                c = static_cast<char>(generator());
            std::ofstream(dir.path() / ("track" + std::to_string(f) + ".mp3"), std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        }
        return true;
    }();
    (void)made;
    return dir.path();
}

std::int64_t sourceBytes()
{
    std::int64_t total = 0;
    for (const auto& entry : fs::directory_iterator(sourceFiles()))
        total += static_cast<std::int64_t>(entry.file_size());
    return total;
}

std::vector<CopyItem> copyItems(const fs::path& destination)
{
    std::vector<CopyItem> items;
    for (const auto& entry : fs::directory_iterator(sourceFiles()))
        items.push_back({entry.path(), destination / entry.path().filename()});
    return items;
}

class Yes final : public CopyObserver {
public:
    ReplaceAnswer askReplace(const fs::path&) override { return ReplaceAnswer::Yes; }
};

void CopyEngine320MB(benchmark::State& state)
{
    testsupport::TempDir out;
    const auto items = copyItems(out.path() / "copy");
    std::atomic<bool> cancel{false};
    Yes observer;
    for (auto _ : state) {
        const CopyResult result = BatchCopy(items).run(observer, cancel);
        if (result.copied != items.size())
            state.SkipWithError("copy failed");
        state.PauseTiming();
        fs::remove_all(out.path() / "copy");
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * sourceBytes());
}
BENCHMARK(CopyEngine320MB)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void Cp320MB(benchmark::State& state)
{
    testsupport::TempDir out;
    const std::string command = "mkdir -p '" + (out.path() / "copy").string() + "' && cp '" + sourceFiles().string() +
                                "'/* '" + (out.path() / "copy").string() + "/'";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("cp failed");
        state.PauseTiming();
        fs::remove_all(out.path() / "copy");
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * sourceBytes());
}
BENCHMARK(Cp320MB)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// The progress window copying 320 MB: how long the event loop goes without running
// a 10 ms timer, i.e. how responsive the program's windows stay.
void CopyWindowEventLoopStall(benchmark::State& state)
{
    testsupport::TempDir out;
    const auto items = copyItems(out.path() / "copy");
    QtDialogs dialogs;
    double worstMs = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            worstMs = std::max(worstMs, static_cast<double>(now - last));
            last = now;
        });
        tick.start(10);
        const CopyResult result = dialogs.copyFiles(nullptr, items, {});
        if (result.copied != items.size())
            state.SkipWithError("copy failed");
        state.PauseTiming();
        fs::remove_all(out.path() / "copy");
        state.ResumeTiming();
    }
    state.counters["worst_event_gap_ms"] = worstMs;
    state.SetBytesProcessed(state.iterations() * sourceBytes());
}
BENCHMARK(CopyWindowEventLoopStall)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
