// Adding tracks: copy throughput against cp, a rebuild over 2,000 MP3 files,
// and adding one track to a database of 40,000.

#include "BenchDatabase.h"
#include "TempDir.h"

#include <clsSonarchive.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

using namespace sonarchive;
using namespace testsupport;
namespace fs = std::filesystem;

namespace {

// A library object on a device folder, loaded.
struct Loaded {
    clsSonarchive db;
    explicit Loaded(const fs::path& root, bool reset)
    {
        db.initlaize(0, u"bench", fromUtf8(root.string() + "/"));
        if (reset)
            db.ResetiPodDB();
        if (!db.LoadiPodDB())
            throw std::runtime_error("cannot load the device at " + root.string());
    }
};

const fs::path& bigSource()
{
    static TempDir dir;
    static const fs::path file = [] {
        const fs::path path = dir.path() / "big.mp3";
        std::mt19937_64 random(42);
        std::vector<std::uint64_t> block(1 << 17);  // 1 MiB
        std::ofstream out(path, std::ios::binary);
        for (int mb = 0; mb < 200; ++mb) {
            for (auto& word : block)
                word = random();
            out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size() * 8));
        }
        return path;
    }();
    return file;
}

void removeMusic(const fs::path& root)
{
    std::error_code ec;
    fs::remove_all(root / "iPod_Control/Music", ec);
}

// AddTrack's copy of a 200 MB file, hot cache.
void BM_AddTrackCopy200MB(benchmark::State& state)
{
    const fs::path source = bigSource();
    TempDir device;
    Loaded device1(device.path(), true);
    TrackInfo info;
    info.sFiletype = u"MP3";
    for (auto _ : state) {
        TrackInfo copy = info;
        if (device1.db.AddTrack(fromUtf8(source.string()), copy, false, {}, true) <= 0)
            state.SkipWithError("the track was not added");
        state.PauseTiming();
        removeMusic(device.path());
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(fs::file_size(source)));
}
BENCHMARK(BM_AddTrackCopy200MB)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same file copied by cp onto the same file system, for comparison.
void BM_CpCopy200MB(benchmark::State& state)
{
    const fs::path source = bigSource();
    TempDir device;
    const std::string command = "cp '" + source.string() + "' '" + (device.path() / "copy.mp3").string() + "'";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("cp failed");
        state.PauseTiming();
        fs::remove(device.path() / "copy.mp3");
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(fs::file_size(source)));
}
BENCHMARK(BM_CpCopy200MB)->Unit(benchmark::kMillisecond)->UseRealTime();

// A device whose music folder holds 2,000 copies of a short tagged MP3 in 50 folders.
const fs::path& deviceWith2000Mp3()
{
    static TempDir dir;
    static const bool made = [] {
        const fs::path tone = dir.path() / "tone.mp3";
        const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i sine=frequency=440:duration=3 "
                                    "-metadata title=Tone -metadata artist=Bench -metadata album=Rebuild -c:a libmp3lame -b:a 128k '" +
                                    tone.string() + "'";
        if (std::system(command.c_str()) != 0)
            return false;
        for (int i = 0; i < 2000; ++i) {
            char folderName[8], fileName[16];
            std::snprintf(folderName, sizeof folderName, "F%02d", i % 50);
            std::snprintf(fileName, sizeof fileName, "T%d.mp3", i);
            const fs::path folder = dir.path() / "device/iPod_Control/Music" / folderName;
            fs::create_directories(folder);
            fs::copy_file(tone, folder / fileName);
        }
        fs::create_directories(dir.path() / "device/iPod_Control/iTunes");
        return true;
    }();
    static const fs::path device = made ? dir.path() / "device" : fs::path();
    return device;
}

void BM_ReBuildDB2000Mp3(benchmark::State& state)
{
    const fs::path device = deviceWith2000Mp3();
    if (device.empty()) {
        state.SkipWithError("ffmpeg could not make the media");
        return;
    }
    clsSonarchive db;
    db.initlaize(0, u"bench", fromUtf8(device.string() + "/"));
    db.ReBuildDB();  // warms the cache
    for (auto _ : state) {
        if (!db.ReBuildDB())
            state.SkipWithError("the rebuild failed");
    }
    if (db.GetAllTracks().m_mhlt.iNumberOfllTracks != 2000)
        state.SkipWithError("not every file was added");
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 2000);
    state.counters["ms_per_file"] = benchmark::Counter(static_cast<double>(state.iterations()) * 2000,
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert,
                                                       benchmark::Counter::kIs1000);
}
BENCHMARK(BM_ReBuildDB2000Mp3)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Adding the 40,001st track (a small file, copied) right after the database was loaded.
void BM_AddToBigDatabaseAfterLoad(benchmark::State& state)
{
    TempDir sources;
    const fs::path file = sources.path() / "small.mp3";
    std::ofstream(file, std::ios::binary) << std::string(64 << 10, 'm');
    clsSonarchive db;
    db.initlaize(0, u"bench", fromUtf8(bench::bigDevice().string() + "/"));
    for (auto _ : state) {
        state.PauseTiming();
        removeMusic(bench::bigDevice());
        if (!db.LoadiPodDB()) {
            state.SkipWithError("cannot load the big database");
            break;
        }
        TrackInfo info;
        info.sTitle = u"New";
        info.sFiletype = u"MP3";
        state.ResumeTiming();
        const std::int32_t id = db.AddTrack(fromUtf8(file.string()), info, false, {}, true);
        benchmark::DoNotOptimize(id);
        if (id <= 0) {
            state.SkipWithError("the track was not added");
            break;
        }
    }
    removeMusic(bench::bigDevice());
}
BENCHMARK(BM_AddToBigDatabaseAfterLoad)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

}  // namespace
