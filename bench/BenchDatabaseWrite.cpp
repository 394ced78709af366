#include "BenchDatabase.h"

#include <clsSonarchive.h>

#include <benchmark/benchmark.h>

#include <filesystem>

using namespace sonarchive;

namespace {

// Each run writes a copy of the big device, so the original stays as it is.
struct DeviceCopy {
    std::filesystem::path root = bench::bigDevice().parent_path() / "write-copy";
    DeviceCopy()
    {
        std::filesystem::remove_all(root);
        std::filesystem::copy(bench::bigDevice(), root, std::filesystem::copy_options::recursive);
    }
    ~DeviceCopy() { std::filesystem::remove_all(root); }
    std::u16string drive() const { return fromUtf8(root.string() + "/"); }
};

void WriteiPodDB40000Tracks(benchmark::State& state)
{
    DeviceCopy device;
    clsSonarchive db;
    db.initlaize(0, u"bench", device.drive());
    if (!db.LoadiPodDB())
        state.SkipWithError("load failed");
    for (auto _ : state)
        db.WriteiPodDB();  // assembled in memory, flushed to the disk, renamed over the old file
}
BENCHMARK(WriteiPodDB40000Tracks)->Unit(benchmark::kMillisecond)->Iterations(5);

void Delete1000TracksThenWrite(benchmark::State& state)
{
    DeviceCopy device;
    for (auto _ : state) {
        state.PauseTiming();
        clsSonarchive db;
        db.initlaize(0, u"bench", device.drive());
        db.LoadiPodDB();
        state.ResumeTiming();
        for (std::int32_t id = 1000; id < 2000; ++id) {
            std::int32_t track = id * 37 % 40000 + 1000;
            db.DeleteTrack(track);
        }
        db.WriteiPodDB();
        state.PauseTiming();
        std::filesystem::copy_file(bench::bigDevice() / "iPod_Control/iTunes/Sonarchive",
                                   device.root / "iPod_Control/iTunes/Sonarchive",
                                   std::filesystem::copy_options::overwrite_existing);
        state.ResumeTiming();
    }
}
BENCHMARK(Delete1000TracksThenWrite)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
