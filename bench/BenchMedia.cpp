// Media analysis costs: the MPEG frame search over large files (hot cache), tag
// reading per file, WAV and AIFF header reading per file, and what the converter
// analysis (and a whole probe of an M4A) adds to the converter's own run.

#include <ConverterAnalysis.h>
#include <ID3Tags.h>
#include <MpegAudio.h>
#include <PcmAudio.h>
#include <clsSonarchive.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;
using namespace sonarchive;

namespace {

fs::path workFolderPath()
{
    return fs::temp_directory_path() / ("sonarchive-bench-" + std::to_string(::getpid()));
}

const fs::path& workFolder()
{
    static const fs::path folder = [] {
        fs::create_directories(workFolderPath());
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(workFolderPath(), ec);
        });
        return workFolderPath();
    }();
    return folder;
}

fs::path writeOnce(const std::string& name, const std::string& bytes)
{
    const fs::path path = workFolder() / name;
    if (!fs::exists(path))
        std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::string be32(std::uint32_t v) { return {char(v >> 24), char(v >> 16 & 0xFF), char(v >> 8 & 0xFF), char(v & 0xFF)}; }
std::string syncsafe(std::uint32_t v) { return {char(v >> 21 & 0x7F), char(v >> 14 & 0x7F), char(v >> 7 & 0x7F), char(v & 0x7F)}; }

// A typical ID3v2.3 tag: a few text frames and a 30 kB picture, then padding.
std::string typicalTag()
{
    std::string body;
    const auto frame = [&](const std::string& id, const std::string& content) {
        body += id + be32(std::uint32_t(content.size())) + std::string(2, '\0') + content;
    };
    frame("TIT2", std::string(1, '\0') + "A Song Title");
    frame("TPE1", std::string(1, '\0') + "Some Artist");
    frame("TALB", std::string(1, '\0') + "An Album");
    frame("TYER", std::string(1, '\0') + "2004");
    frame("TCON", std::string(1, '\0') + "(17)");
    frame("COMM", std::string(1, '\0') + "eng" + std::string(1, '\0') + "A comment");
    frame("APIC", std::string(30000, '\x5A'));
    body += std::string(2048, '\0');
    return std::string("ID3\x03\x00\x00", 6) + syncsafe(std::uint32_t(body.size())) + body;
}

// `size` bytes: the tag, a 128 kbit/s frame header, audio-like filler, an ID3v1 tag.
fs::path mp3File(const std::string& name, std::size_t size)
{
    std::string bytes = typicalTag();
    bytes += std::string("\xFF\xFB\x90\x00", 4);
    bytes.resize(size, '\x33');
    bytes += "TAG" + std::string(125, '\0');
    return writeOnce(name, bytes);
}

void mpegTenMegabytes(benchmark::State& state)
{
    const fs::path path = mp3File("ten.mp3", 10 << 20);
    for (auto _ : state) {
        MpegInfo info;
        benchmark::DoNotOptimize(AnalyseMpegAudio(path, info));
    }
}
BENCHMARK(mpegTenMegabytes)->Unit(benchmark::kMillisecond);

// No frame anywhere: the whole file is searched. Once with no 0xFF byte at all,
// once with a 0xFF at every other byte (each one a candidate to test).
void mpegFiftyMegabytesNoFrame(benchmark::State& state)
{
    const bool dense = state.range(0) != 0;
    std::string bytes(50 << 20, '\x11');
    if (dense)
        for (std::size_t i = 0; i < bytes.size(); i += 2)
            bytes[i] = '\xFF';
    const fs::path path = writeOnce(dense ? "nosync-dense.bin" : "nosync.bin", bytes);
    for (auto _ : state) {
        MpegInfo info;
        benchmark::DoNotOptimize(AnalyseMpegAudio(path, info));
    }
}
BENCHMARK(mpegFiftyMegabytesNoFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void tagReadingPerFile(benchmark::State& state)
{
    const fs::path path = mp3File("tagged.mp3", 4 << 20);
    for (auto _ : state) {
        TagFields v1, v2;
        ReadID3v1(path, v1);
        ReadID3v2(path, v2);
        benchmark::DoNotOptimize(v2.title.data());
    }
}
BENCHMARK(tagReadingPerFile)->Unit(benchmark::kMicrosecond);

// Files made with the converter: a short film (0) and a tagged M4A (1).
fs::path convertedFile(std::int64_t kind)
{
    const fs::path path = workFolder() / (kind == 0 ? "movie.mp4" : "song.m4a");
    if (!fs::exists(path)) {
        const std::string input = kind == 0 ? "-f lavfi -i testsrc=size=160x120:rate=10:duration=3 -f lavfi -i sine=duration=3 "
                                              "-c:v libx264 -c:a aac -shortest "
                                            : "-f lavfi -i sine=duration=3 -metadata title=Song -metadata artist=Artist -c:a aac ";
        const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y " + input + "'" + path.string() + "'";
        if (std::system(command.c_str()) != 0)
            return {};
    }
    return path;
}

// The converter alone: same arguments, output thrown away, waited for.
void converterAlone(benchmark::State& state)
{
    const fs::path movie = convertedFile(state.range(0));
    const std::string converter = findConverter(workFolder()).string();
    for (auto _ : state) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        std::string a0 = converter, a1 = "-i", a2 = movie.string(), a3 = "-analyzeduration", a4 = "30000";
        char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data(), a4.data(), nullptr};
        pid_t pid = 0;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ) == 0) {
            int status = 0;
            ::waitpid(pid, &status, 0);
        }
        posix_spawn_file_actions_destroy(&actions);
    }
}
BENCHMARK(converterAlone)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void converterAnalysis(benchmark::State& state)
{
    const fs::path movie = convertedFile(state.range(0));
    ConverterSetup setup;
    setup.converter = findConverter(workFolder());
    setup.captureFile = captureFileFor(workFolder());
    setup.pumpMessages = [] {};
    for (auto _ : state) {
        ConverterInfo info;
        if (!AnalyseWithConverter(movie, info, setup))
            state.SkipWithError("analysis failed");
    }
}
BENCHMARK(converterAnalysis)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Everything `sonarchive probe` does for an M4A: tags, the content check, the converter.
void probeM4a(benchmark::State& state)
{
    const std::u16string song = fromUtf8(convertedFile(1).string());
    clsSonarchive library;
    for (auto _ : state) {
        TrackInfo info;
        if (!library.SetTrackInfo(song, info) || !info.isFileSupported)
            state.SkipWithError("probe failed");
    }
}
BENCHMARK(probeM4a)->Unit(benchmark::kMillisecond)->UseRealTime();

// Header reading of a WAV (0) or an AIFF (1) file of 50 MB, opening the file included.
void pcmHeaderPerFile(benchmark::State& state)
{
    const bool isWave = state.range(0) == 0;
    const fs::path path = workFolder() / (isWave ? "long.wav" : "long.aiff");
    if (!fs::exists(path)) {
        const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i anullsrc=r=44100:cl=stereo -t 283 '" +
                                    path.string() + "'";
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("cannot make the file");
    }
    for (auto _ : state) {
        const auto source = FileSource::open(path);
        PcmInfo info;
        const bool read = source && (isWave ? AnalyseWave(*source, info) : AnalyseAiff(*source, info));
        if (!read || info.lengthMs < 282000)
            state.SkipWithError("header not read");
    }
}
BENCHMARK(pcmHeaderPerFile)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
