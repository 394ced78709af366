// The copy engine's cost per file, each against a yardstick measured in the same
// run: 40,000 small files against cp -r of the same folder, and 1,000 small
// tagged MP3s copied with the database's tags (fill) against the plain copy.
// The counter `ratio` is the engine's time over the yardstick's. And the
// planning of the names of many tracks of one title.

#include "TempDir.h"

#include <BatchCopy.h>
#include <CopyPlan.h>

#include <sonarchive/ByteText.h>
#include <sonarchive/TrackInfo.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>

namespace fs = std::filesystem;
using namespace trackcopy;

namespace {

class Yes final : public CopyObserver {
public:
    ReplaceAnswer askReplace(const fs::path&) override { return ReplaceAnswer::Yes; }
};

double secondsOf(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void removeCopies(const fs::path& folder)
{
    std::error_code ec;
    fs::remove_all(folder, ec);
}

// 40,000 files of 1 to 4 kB in one folder, made once.
const fs::path& smallFiles()
{
    static testsupport::TempDir dir;
    static const bool made = [] {
        std::mt19937 generator(11);
        std::string bytes(4096, '\0');
        for (char& c : bytes)
            c = static_cast<char>(generator());
        fs::create_directories(dir.path() / "src");
        for (int f = 0; f < 40000; ++f)
            std::ofstream(dir.path() / "src" / ("track" + std::to_string(f) + ".mp3"), std::ios::binary)
                .write(bytes.data(), 1024 + f % 3072);
        return true;
    }();
    (void)made;
    return dir.path();
}

// Each copy goes to a folder of its own, and the copies are removed only after
// the measurements: ext4 makes new files slowly for a while after many were deleted.
void CopyEngine40000SmallFiles(benchmark::State& state)
{
    const fs::path& dir = smallFiles();
    std::vector<fs::path> sources;
    for (const auto& entry : fs::directory_iterator(dir / "src"))
        sources.push_back(entry.path());
    std::atomic<bool> cancel{false};
    Yes observer;
    double engine = 0, yardstick = 0;
    int run = 0;
    for (auto _ : state) {
        const fs::path copy = dir / ("copy" + std::to_string(run)), cp = dir / ("cp" + std::to_string(run++));
        std::vector<CopyItem> items;
        for (const fs::path& source : sources)
            items.push_back({source, copy / source.filename()});
        const std::string command = "cp -r '" + (dir / "src").string() + "' '" + cp.string() + "'";
        const auto yard = [&] {
            if (std::system(command.c_str()) != 0)
                state.SkipWithError("cp failed");
        };
        if (run % 2 == 0) {  // the yardstick first every other time
            state.PauseTiming();
            yardstick += secondsOf(yard);
            state.ResumeTiming();
        }
        CopyResult result;
        engine += secondsOf([&] { result = BatchCopy(items).run(observer, cancel); });
        state.PauseTiming();
        if (result.copied != items.size())
            state.SkipWithError("copy failed");
        if (run % 2 == 1)
            yardstick += secondsOf(yard);
        state.ResumeTiming();
    }
    for (int k = 0; k < run; ++k) {
        removeCopies(dir / ("copy" + std::to_string(k)));
        removeCopies(dir / ("cp" + std::to_string(k)));
    }
    state.counters["cp_r_ms"] = yardstick * 1000 / static_cast<double>(state.iterations());
    state.counters["ratio"] = engine / yardstick;
}
BENCHMARK(CopyEngine40000SmallFiles)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// 1,000 MP3s of three seconds (about 48 kB) with ffmpeg's tags, and the tracks
// of a device that name them, rated and played.
struct TaggedMp3s {
    testsupport::TempDir dir;
    std::vector<sonarchive::TrackInfo> tracks;

    TaggedMp3s()
    {
        const fs::path first = dir.path() / "src" / "T0.mp3";
        fs::create_directories(first.parent_path());
        const std::string make = "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i sine=frequency=440:duration=3 "
                                 "-metadata title=Tone -metadata artist=Band -metadata album=Record -c:a libmp3lame -b:a 128k '" +
                                 first.string() + "'";
        if (std::system(make.c_str()) != 0)
            return;
        for (int i = 0; i < 1000; ++i) {
            const fs::path file = dir.path() / "src" / ("T" + std::to_string(i) + ".mp3");
            if (i > 0)
                fs::copy_file(first, file);
            sonarchive::TrackInfo info;
            info.iTrackID = i + 1;
            info.sTitle = sonarchive::fromUtf8("Tone " + std::to_string(i));
            info.sGenre = u"Jazz";
            info.sComposer = u"Writer";
            info.sYear = u"1999";
            info.iTrackNumber = i % 12 + 1;
            info.iTrackCount = 12;
            info.iRating = 20 * (i % 6);
            info.iPlayCount = i;
            info.sLocation = sonarchive::fromUtf8(file.string());
            tracks.push_back(std::move(info));
        }
    }
};

void CopyTags1000SmallMp3s(benchmark::State& state)
{
    static TaggedMp3s media;
    if (media.tracks.empty()) {
        state.SkipWithError("ffmpeg could not make the MP3s");
        return;
    }
    std::vector<std::int32_t> ids;
    for (const sonarchive::TrackInfo& info : media.tracks)
        ids.push_back(info.iTrackID);
    PlanOptions options;
    options.destination = media.dir.path() / "copy";
    std::atomic<bool> cancel{false};
    Yes observer;
    double fill = 0, none = 0;
    std::size_t untagged = 0;
    int run = 0;
    for (auto _ : state) {
        // Each copy to a folder of its own (see CopyEngine40000SmallFiles), the plain one first every other time.
        PlanOptions each = options;
        each.destination = options.destination / ("fill" + std::to_string(run));
        const CopyPlan tagged = CopyPlan::forTracks(media.tracks, ids, each);
        each.destination = options.destination / ("none" + std::to_string(run++));
        const CopyPlan plain = CopyPlan::forTracks(media.tracks, ids, each);
        state.PauseTiming();
        const auto copyPlain = [&] {
            if (plain.batch(TagMode::None).run(observer, cancel).copied != ids.size())
                state.SkipWithError("copy failed");
        };
        if (run % 2 == 0)
            none += secondsOf(copyPlain);
        state.ResumeTiming();
        CopyResult result;
        fill += secondsOf([&] { result = tagged.batch(TagMode::Fill).run(observer, cancel); });
        state.PauseTiming();
        untagged += result.untagged.size();
        if (result.copied != ids.size())
            state.SkipWithError("copy failed");
        if (run % 2 == 1)
            none += secondsOf(copyPlain);
        state.ResumeTiming();
    }
    removeCopies(options.destination);
    if (untagged)
        state.SkipWithError("files were copied without tags");
    state.counters["tags_none_ms"] = none * 1000 / static_cast<double>(state.iterations());
    state.counters["ratio"] = fill / none;
}
BENCHMARK(CopyTags1000SmallMp3s)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// Planning the names of 5,000 tracks of one title, all numbered into one folder
// ("Track (2).mp3" to "Track (5000).mp3"): no file is touched.
void PlanNames5000TracksOfOneName(benchmark::State& state)
{
    std::vector<CopyItem> items;
    for (int i = 0; i < 5000; ++i)
        items.push_back({"/ipod/F" + std::to_string(i % 50) + "/T" + std::to_string(i) + ".mp3", "/music/Track.mp3"});
    const BatchCopy batch(items);
    for (auto _ : state) {
        const std::vector<fs::path> planned = batch.plannedDestinations();
        if (planned.back() != "/music/Track (5000).mp3")
            state.SkipWithError("unexpected names");
        benchmark::DoNotOptimize(planned.data());
    }
}
BENCHMARK(PlanNames5000TracksOfOneName)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
