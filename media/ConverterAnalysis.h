#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace sonarchive {

class Error;

// The container's own descriptive texts, from the metadata block the converter
// prints for the whole file (not those of its streams); empty where it has none.
struct ContainerTags {
    std::u16string title, artist, album, genre, date, comment, composer, track, disc;
};

// What the converter's output tells of a file. The analysis sets only what the
// output mentions; every other field keeps the value it had.
struct ConverterInfo {
    std::u16string audioCodec;
    std::u16string videoCodec;   // of a real video stream; a cover picture is none
    std::int32_t lengthMs = 0;
    // The last duration parsed, in seconds: a duration line without "," keeps it
    // and gives the length from it; 0 (none yet) makes the analysis fail.
    float durationSeconds = 0;
    std::int32_t bitrateKbps = 0;
    std::int32_t sampleRateHz = 0;
    bool isSupported = false;
    std::uint32_t fileSize = 0;  // bytes; the database's size field is unsigned 32-bit
    bool hasVideo = false;       // a video stream that is not an attached picture
    std::string formats;         // the container as the converter names it ("mov,mp4,m4a,3gp,3g2,mj2")
    ContainerTags tags;
    std::string unplayable;      // why the device can't play the file, when it can't ("FLAC")
};

// How the converter analysis runs: which converter, where its output is captured,
// and how the caller's user interface takes part.
struct ConverterSetup {
    std::filesystem::path converter;    // the ffmpeg executable
    std::filesystem::path captureFile;  // the "analyse.txt" of this process
    std::function<void()> pumpMessages;
    // Shows a finished error text ("Error occured while parsing media file" ...).
    std::function<void(const std::u16string&)> showError;
    std::chrono::milliseconds timeout = std::chrono::seconds(60);
};

// Runs the converter on `file` and takes the codecs, length, bit rate, sample
// rate, support flag and size from what it prints. True when the output was read
// without a failure token. Run-time failures are shown through `setup.showError`
// and the analysis carries on with its next step.
bool AnalyseWithConverter(const std::filesystem::path& file, ConverterInfo& info, const ConverterSetup& setup);

// Steps on the captured text alone: the line parse, the sample rate of the last
// audio stream and whether the device plays the content, whatever the file's
// name: a real video stream must be H.264 or MPEG-4 with AAC audio, audio alone
// AAC, Apple Lossless or MP3, in a container the device reads. True unless a
// failure token or a zero duration was met.
bool analyseConverterCapture(std::string_view capture, ConverterInfo& info,
                             const std::function<void(const std::u16string&)>& showError);

// "hh:mm:ss.t..." -> seconds; "N/A" gives 0. Hundredths and beyond are ignored.
// Throws a media Error (type mismatch) for text that is not a clock reading.
float ParseClockText(std::u16string_view text);

void DeleteIfExists(const std::filesystem::path& path);

// The size from the file's directory entry. Throws an Io Error when there is none.
std::uint64_t FileSize64(const std::filesystem::path& path);

// "Error occured while parsing media file", a line break, "<number>:<description>".
std::u16string converterErrorText(const Error& error);

// The converter beside the library (in `libraryFolder`), else the one on PATH;
// when there is none, the path beside the library (starting it then fails).
std::filesystem::path findConverter(const std::filesystem::path& libraryFolder);

// Where this process captures converter output: beside the library when that
// folder is writable, else in the user's cache folder; named after the process.
std::filesystem::path captureFileFor(const std::filesystem::path& libraryFolder);

}  // namespace sonarchive
