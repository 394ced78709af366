// The library on the large device: loading, listing every track as our own
// clients do, the accessors' deep copy, rewriting and deleting. Peak heap is
// reported per byte of the database file.
#include "AllocationCounter.h"
#include "BenchDatabase.h"
#include "DatabaseBuilder.h"
#include "TempDir.h"

#include <clsSonarchive.h>

#include <benchmark/benchmark.h>

#include <filesystem>

using namespace sonarchive;
namespace fs = std::filesystem;

namespace {

std::u16string driveRoot(const fs::path& device) { return fromUtf8(device.string() + "/"); }

double fileBytes() { return static_cast<double>(fs::file_size(bench::bigDatabaseFile())); }

// Heap in use at the start of a run, to report the run's peak beyond it.
struct PeakHeap {
    std::size_t before = bench::heapInUse();
    PeakHeap() { bench::resetPeak(); }
    double perFileByte() const { return static_cast<double>(bench::heapPeak() - before) / fileBytes(); }
};

// A copy of the device's database in a temporary device, so that writes never touch the original.
struct WritableCopy {
    testsupport::TempDir dir;
    WritableCopy()
    {
        fs::create_directories(dir.path() / "iPod_Control/iTunes");
        fs::create_directories(dir.path() / "iPod_Control/Music");
        restore();
    }
    void restore() const
    {
        fs::copy_file(bench::bigDatabaseFile(), dir.path() / "iPod_Control/iTunes/Sonarchive", fs::copy_options::overwrite_existing);
    }
};

void Load(benchmark::State& state)
{
    double peak = 0;
    for (auto _ : state) {
        auto db = std::make_unique<clsSonarchive>();
        db->initlaize(0, u"bench", driveRoot(bench::bigDevice()));
        const PeakHeap heap;
        if (!db->LoadiPodDB())
            state.SkipWithError("load failed");
        peak = heap.perFileByte();
        state.PauseTiming();  // freeing the records is not part of a load
        db.reset();
        state.ResumeTiming();
    }
    state.counters["file_MB"] = fileBytes() / 1e6;
    state.counters["peak_heap_per_file_byte"] = peak;
}
BENCHMARK(Load)->Unit(benchmark::kMillisecond)->Iterations(5);

// Loading the same database with and without what the device recorded since its
// last sync beside it: a Play Counts entry (28 bytes) for each of the 40,000
// tracks and an On-The-Go list of 500. The difference is what the notes add.
void loadCopy(benchmark::State& state, bool withNotes)
{
    WritableCopy device;
    if (withNotes) {
        std::vector<testsupport::PlayCountFixture> entries(40000);
        for (std::size_t i = 0; i < entries.size(); ++i)
            entries[i] = {.plays = static_cast<std::uint32_t>(i % 7), .lastPlayed = 3800000000u, .rating = static_cast<std::uint32_t>(i % 6 * 20)};
        testsupport::installBesideDatabase(device.dir.path(), "Play Counts", testsupport::playCountsFile(28, entries));
        std::vector<std::uint32_t> onTheGo(500);
        for (std::size_t i = 0; i < onTheGo.size(); ++i)
            onTheGo[i] = static_cast<std::uint32_t>(i * 79 % 40000);
        testsupport::installBesideDatabase(device.dir.path(), "OTGPlaylistInfo", testsupport::onTheGoFile(onTheGo));
    }
    for (auto _ : state) {
        auto db = std::make_unique<clsSonarchive>();
        db->initlaize(0, u"bench", driveRoot(device.dir.path()));
        if (!db->LoadiPodDB())
            state.SkipWithError("load failed");
        state.PauseTiming();
        db.reset();
        state.ResumeTiming();
    }
}
void LoadWithoutPlayCounts(benchmark::State& state) { loadCopy(state, false); }
void LoadWithPlayCounts(benchmark::State& state) { loadCopy(state, true); }
BENCHMARK(LoadWithoutPlayCounts)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(LoadWithPlayCounts)->Unit(benchmark::kMillisecond)->Iterations(10);

// Load, then every track's information through the view our own clients use.
void LoadAndListEveryTrack(benchmark::State& state)
{
    double peak = 0;
    std::size_t tracks = 0;
    for (auto _ : state) {
        const PeakHeap heap;
        clsSonarchive db;
        db.initlaize(0, u"bench", driveRoot(bench::bigDevice()));
        if (!db.LoadiPodDB())
            state.SkipWithError("load failed");
        tracks = 0;
        db.forEachTrackInfo([&](const TrackInfo& info) {
            benchmark::DoNotOptimize(info.sTitle.data());
            ++tracks;
        });
        peak = heap.perFileByte();
    }
    state.counters["tracks"] = static_cast<double>(tracks);
    state.counters["peak_heap_per_file_byte"] = peak;
}
BENCHMARK(LoadAndListEveryTrack)->Unit(benchmark::kMillisecond)->Iterations(5);

// The interface's way: a deep copy of the track section and GetTrackInfo per id.
void LoadCopyAllTracksAndGetTrackInfo(benchmark::State& state)
{
    for (auto _ : state) {
        clsSonarchive db;
        db.initlaize(0, u"bench", driveRoot(bench::bigDevice()));
        db.LoadiPodDB();
        const MHSD_T tracks = db.GetAllTracks();
        for (const MHIT& track : validEntries(tracks.m_mhlt.m_mhit, tracks.m_mhlt.iNumberOfllTracks))
            benchmark::DoNotOptimize(db.GetTrackInfo(track.iUniqueID));
    }
}
BENCHMARK(LoadCopyAllTracksAndGetTrackInfo)->Unit(benchmark::kMillisecond)->Iterations(3);

// What `sonarchive rewrite` does: load, assemble, flush and rename over the old file.
void LoadAndRewrite(benchmark::State& state)
{
    const WritableCopy device;
    double peak = 0;
    for (auto _ : state) {
        const PeakHeap heap;
        clsSonarchive db;
        db.initlaize(0, u"bench", driveRoot(device.dir.path()));
        if (!db.LoadiPodDB() || !db.writeDatabase())
            state.SkipWithError("rewrite failed");
        peak = heap.perFileByte();
    }
    state.counters["peak_heap_per_file_byte"] = peak;
}
BENCHMARK(LoadAndRewrite)->Unit(benchmark::kMillisecond)->Iterations(5);

void Delete1000TracksThenWrite(benchmark::State& state)
{
    const WritableCopy device;
    for (auto _ : state) {
        state.PauseTiming();
        device.restore();
        clsSonarchive db;
        db.initlaize(0, u"bench", driveRoot(device.dir.path()));
        db.LoadiPodDB();
        const MHSD_T tracks = db.GetAllTracks();
        const auto all = validEntries(tracks.m_mhlt.m_mhit, tracks.m_mhlt.iNumberOfllTracks);
        state.ResumeTiming();
        for (std::size_t k = 0; k < 1000 && !all.empty(); ++k) {
            std::int32_t id = all[k * 37 % all.size()].iUniqueID;
            db.DeleteTrack(id);
        }
        db.writeDatabase();
    }
}
BENCHMARK(Delete1000TracksThenWrite)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
