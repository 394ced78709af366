#include "AllocationCounter.h"
#include "BenchDatabase.h"

#include <clsSonarchive.h>

#include <benchmark/benchmark.h>

#include <filesystem>

using namespace sonarchive;

namespace {

std::u16string driveRoot() { return fromUtf8(bench::bigDevice().string() + "/"); }

void LoadiPodDB40000Tracks(benchmark::State& state)
{
    const auto root = driveRoot();
    const double fileSize = static_cast<double>(std::filesystem::file_size(bench::bigDevice() / "iPod_Control/iTunes/Sonarchive"));
    double peakRatio = 0;
    for (auto _ : state) {
        clsSonarchive db;
        db.initlaize(0, u"bench", root);
        bench::resetPeak();
        const std::size_t before = bench::heapInUse();
        if (!db.LoadiPodDB())
            state.SkipWithError("load failed");
        peakRatio = static_cast<double>(bench::heapPeak() - before) / fileSize;
        state.PauseTiming();  // freeing the records is not part of a load
        db.~clsSonarchive();
        new (&db) clsSonarchive();
        state.ResumeTiming();
    }
    state.counters["file_MB"] = fileSize / 1e6;
    state.counters["peak_heap_per_file_byte"] = peakRatio;
}
BENCHMARK(LoadiPodDB40000Tracks)->Unit(benchmark::kMillisecond)->Iterations(5);

void LoadAndGetTrackInfoForEveryTrack(benchmark::State& state)
{
    const auto root = driveRoot();
    for (auto _ : state) {
        clsSonarchive db;
        db.initlaize(0, u"bench", root);
        db.LoadiPodDB();
        const MHSD_T tracks = db.GetAllTracks();
        for (int i = 0; i < tracks.m_mhlt.iNumberOfllTracks; ++i)
            benchmark::DoNotOptimize(db.GetTrackInfo(tracks.m_mhlt.m_mhit[static_cast<std::size_t>(i)].iUniqueID));
    }
}
BENCHMARK(LoadAndGetTrackInfoForEveryTrack)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
