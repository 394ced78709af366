#include "ConverterAnalysis.h"

#include "AsciiCase.h"
#include "MediaError.h"
#include "MediaFormat.h"
#include "Blanks.h"
#include "PipeRunner.h"

#include <sonarchive/ByteText.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace sonarchive {

namespace {

using ErrorSink = std::function<void(const std::u16string&)>;
constexpr auto npos = std::u16string_view::npos;

// One step of an analysis: a run-time failure in it is shown, and the analysis
// carries on with its next step.
template <typename Step>
void attempt(const ErrorSink& showError, Step&& step)
{
    try {
        step();
    } catch (const std::exception& e) {
        if (showError)
            showError(converterErrorText(asMediaError(e)));
    }
}

std::vector<std::u16string_view> splitAt(std::u16string_view text, std::u16string_view separator)
{
    std::vector<std::u16string_view> parts;
    std::size_t from = 0;
    while (true) {
        const auto at = text.find(separator, from);
        parts.push_back(text.substr(from, at == npos ? npos : at - from));
        if (at == npos)
            return parts;
        from = at + separator.size();
    }
}

// Whole number with optional blanks around it and an optional sign.
std::int32_t wholeNumber(std::u16string_view number)
{
    const std::u16string digits = trimmedBlanks(number);
    std::u16string_view text = digits;
    if (text.empty())
        throw mediaerror::typeMismatch();
    bool negative = false;
    if (text.front() == u'-' || text.front() == u'+') {
        negative = text.front() == u'-';
        text.remove_prefix(1);
    }
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; }))
        throw mediaerror::typeMismatch();
    std::int64_t value = 0;
    for (char16_t c : text) {
        value = value * 10 + (c - u'0');
        if (value > std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1)
            throw mediaerror::overflow();
    }
    value = negative ? -value : value;
    if (value > std::numeric_limits<std::int32_t>::max())
        throw mediaerror::overflow();
    return static_cast<std::int32_t>(value);
}

// The text without its last `count` characters.
std::u16string_view dropLast(std::u16string_view text, std::size_t count)
{
    if (text.size() < count)
        throw mediaerror::invalidCall();
    return text.substr(0, text.size() - count);
}

// The codec's own name: the first word of a stream's first part, such as "h264"
// in "h264 (High) (avc1 / 0x31637661)".
std::u16string codecName(std::u16string_view part)
{
    return std::u16string(part.substr(0, part.find_first_of(u" (")));
}

std::int32_t roundedMilliseconds(float seconds)
{
    const double value = std::nearbyint(static_cast<double>(seconds) * 1000.0);
    if (!(value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max()))
        throw mediaerror::overflow();
    return static_cast<std::int32_t>(value);
}

// Lines ending in CR LF, LF or CR (the converter's progress lines use CR alone).
std::vector<std::string_view> captureLines(std::string_view capture)
{
    std::vector<std::string_view> lines;
    std::size_t from = 0;
    while (from < capture.size()) {
        const auto at = capture.find_first_of("\r\n", from);
        if (at == std::string_view::npos) {
            lines.push_back(capture.substr(from));
            break;
        }
        lines.push_back(capture.substr(from, at - from));
        from = at + (capture[at] == '\r' && at + 1 < capture.size() && capture[at + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

std::string wholeFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool isExecutableFile(const fs::path& path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

// Where a line stands in the converter's report. The container's metadata block
// is "  Metadata:" right below "Input #0", its entries indented by four blanks,
// a continued value by a blank key.
enum class Block { BeforeInput, Header, Metadata, Rest };

// What one pass over a capture carries from line to line.
struct CaptureReading {
    ConverterInfo& info;
    const ErrorSink& showError;
    std::optional<std::int32_t> audioRate;  // of the last audio stream read
    std::int32_t lastBitrate = 0;           // the last one parsed in this capture
    Block block = Block::BeforeInput;
    std::u16string* lastTag = nullptr;      // the entry a continued value belongs to
};

bool isFailureLine(std::u16string_view line)
{
    // Today's converter says "Invalid data found when processing input" where
    // older ones said "Unknown format".
    return line.find(u"could not find codec parameters") != npos || line.find(u"Unknown format") != npos ||
           line.find(u"Invalid data found when processing input") != npos;
}

// The container's tag a metadata key (upper-cased) fills; null for any other key.
std::u16string* containerTag(ContainerTags& tags, std::u16string_view key)
{
    static constexpr std::pair<std::u16string_view, std::u16string ContainerTags::*> kKeys[] = {
        {u"TITLE", &ContainerTags::title},     {u"ARTIST", &ContainerTags::artist},    {u"ALBUM", &ContainerTags::album},
        {u"GENRE", &ContainerTags::genre},     {u"DATE", &ContainerTags::date},        {u"COMMENT", &ContainerTags::comment},
        {u"COMPOSER", &ContainerTags::composer}, {u"TRACK", &ContainerTags::track},    {u"DISC", &ContainerTags::disc}};
    for (const auto& [name, field] : kKeys)
        if (key == name)
            return &(tags.*field);
    return nullptr;
}

// "    title           : Song": the first value of a known key is kept; a blank
// key continues the value before it on a new line.
void readMetadataEntry(CaptureReading& r, std::u16string_view line)
{
    const auto colon = line.find(u':');
    if (colon == npos)
        return;
    const std::u16string key = upperAscii(trimmedBlanks(line.substr(4, colon - 4)));
    const std::u16string_view value = line.substr(std::min(line.size(), colon + 2));
    if (key.empty() && r.lastTag) {
        (*r.lastTag += u"\r\n") += value;
        return;
    }
    r.lastTag = nullptr;
    if (std::u16string* field = containerTag(r.info.tags, key); field && field->empty()) {
        *field = value;
        r.lastTag = field;
    }
}

// The container's name and its metadata block; true when the line was one of theirs.
bool readContainer(CaptureReading& r, std::u16string_view line)
{
    if (r.block == Block::BeforeInput && line.starts_with(u"Input #0, ")) {
        const std::u16string_view rest = line.substr(10);
        r.info.formats = toUtf8(rest.substr(0, rest.find(u", from ")));
        r.block = Block::Header;
        return true;
    }
    if (r.block == Block::Header && line == u"  Metadata:") {
        r.block = Block::Metadata;
        return true;
    }
    if (r.block == Block::Metadata) {
        if (line.starts_with(u"    ")) {
            readMetadataEntry(r, line);
            return true;
        }
        r.block = Block::Rest;
    }
    if (line.starts_with(u"  Duration: ") || line.starts_with(u"  Stream #"))
        r.block = Block::Rest;
    return false;
}

// An audio stream's codec and sample rate ("aac (LC), 44100 Hz, ..."); a video
// stream's codec, unless it is a cover picture (which makes no film).
void readStream(CaptureReading& r, std::u16string_view line)
{
    if (const auto audio = line.find(u"Audio: "); audio != npos) {
        attempt(r.showError, [&] {
            const auto parts = splitAt(line.substr(audio + 7), u", ");
            r.info.audioCodec = codecName(parts[0]);
            if (parts.size() < 2)
                throw mediaerror::subscriptOutOfRange();
            r.audioRate = wholeNumber(dropLast(parts[1], 3));  // "44100 Hz"
        });
    } else if (const auto video = line.find(u"Video: "); video != npos) {
        if (line.find(u"(attached pic)") == npos) {
            r.info.videoCodec = codecName(splitAt(line.substr(video + 7), u", ")[0]);
            r.info.hasVideo = true;
        }
    }
}

// "  Duration: 00:03:25.45, start: ...": the length. False when the duration is
// 0, which fails the analysis.
bool readDuration(CaptureReading& r, std::u16string_view line)
{
    attempt(r.showError, [&] {
        if (const auto comma = line.find(u','); comma != npos)
            r.info.durationSeconds = ParseClockText(line.substr(12, comma >= 12 ? comma - 12 : 0));
        r.info.lengthMs = roundedMilliseconds(r.info.durationSeconds);
    });
    return r.info.durationSeconds != 0;
}

// "bitrate: 1411 kb/s", the word in any letter case: the value ends 3 characters
// before "/s"; a line without "/s" gives the last value parsed.
void readBitrate(CaptureReading& r, std::u16string_view line)
{
    const auto at = upperAscii(std::u16string(line)).find(u"BITRATE: ");
    if (at == npos)
        return;
    attempt(r.showError, [&] {
        const auto from = at + 9;
        if (const auto unit = line.find(u"/s", from); unit != npos)
            r.lastBitrate = wholeNumber(dropLast(line.substr(from, unit - from), 3));
        r.info.bitrateKbps = r.lastBitrate;
    });
}

// False when the line ends the analysis as failed.
bool readLine(CaptureReading& r, std::u16string_view line)
{
    if (isFailureLine(line))
        return false;
    if ((!line.empty() && line.front() == u'[') || readContainer(r, line))
        return true;  // '[': the converter's log lines
    readStream(r, line);
    if (line.starts_with(u"  Duration: ") && !readDuration(r, line))
        return false;
    readBitrate(r, line);
    return true;
}

// Why the device can't play what the capture describes; empty when it can.
std::string unplayableContent(const ConverterInfo& info)
{
    if (std::string container = unplayableConverterFormat(info.formats); !container.empty())
        return container;
    if (info.hasVideo) {
        const std::u16string video = upperAscii(info.videoCodec);
        if ((video == u"H264" || video == u"MPEG4") && containsAsciiNoCase(info.audioCodec, u"aac"))
            return {};
        return toUtf8(info.videoCodec) + " video" +
               (info.audioCodec.empty() ? std::string() : " with " + toUtf8(info.audioCodec) + " audio");
    }
    if (!info.audioCodec.empty())
        return unplayableAudioCodec(info.audioCodec);
    return "no audio or video stream";
}

}  // namespace

std::u16string converterErrorText(const Error& error)
{
    return u"Error occured while parsing media file\r\n" + numberedText(error);
}

float ParseClockText(std::u16string_view clock)
{
    const std::u16string trimmedClock = trimmedBlanks(clock);
    const std::u16string_view text = trimmedClock;
    if (text.substr(0, 3) == u"N/A")
        return 0;
    const auto field = [&](std::size_t from, std::size_t count) {
        return wholeNumber(from < text.size() ? text.substr(from, count) : std::u16string_view());
    };
    const float hours = static_cast<float>(field(0, 2));
    const float minutes = static_cast<float>(field(3, 2));
    const float seconds = static_cast<float>(field(6, 2));
    const float tenths = static_cast<float>(field(9, 1));
    return hours * 3600 + minutes * 60 + seconds + tenths * 0.1f;
}

void DeleteIfExists(const fs::path& path)
{
    std::error_code ec;
    fs::remove(path, ec);
}

std::uint64_t FileSize64(const fs::path& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        throw mediaerror::fromErrno(errno);
    return static_cast<std::uint64_t>(st.st_size);
}

fs::path findConverter(const fs::path& libraryFolder)
{
    const fs::path beside = libraryFolder / "ffmpeg";
    if (isExecutableFile(beside))
        return beside;
    if (const char* searchPath = std::getenv("PATH")) {
        std::string_view folders(searchPath);
        while (!folders.empty()) {
            const auto colon = folders.find(':');
            const std::string_view folder = folders.substr(0, colon);
            if (!folder.empty() && isExecutableFile(fs::path(folder) / "ffmpeg"))
                return fs::path(folder) / "ffmpeg";
            folders = colon == std::string_view::npos ? std::string_view() : folders.substr(colon + 1);
        }
    }
    return beside;
}

fs::path captureFileFor(const fs::path& libraryFolder)
{
    const std::string name = "analyse-" + std::to_string(::getpid()) + ".txt";
    if (!libraryFolder.empty() && ::access(libraryFolder.c_str(), W_OK) == 0)
        return libraryFolder / name;
    fs::path cache;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/')
        cache = fs::path(xdg) / "sonarchive";
    else if (const char* home = std::getenv("HOME"); home && *home)
        cache = fs::path(home) / ".cache" / "sonarchive";
    else
        cache = fs::temp_directory_path() / "sonarchive";
    std::error_code ec;
    fs::create_directories(cache, ec);
    return cache / name;
}

bool analyseConverterCapture(std::string_view capture, ConverterInfo& info, const ErrorSink& showError)
{
    CaptureReading reading{info, showError};
    for (std::string_view bytes : captureLines(capture))
        if (!readLine(reading, fromUtf8(bytes)))
            return false;
    if (reading.audioRate)
        info.sampleRateHz = *reading.audioRate;
    info.unplayable = unplayableContent(info);
    info.isSupported = info.unplayable.empty();
    return true;
}

bool AnalyseWithConverter(const fs::path& file, ConverterInfo& info, const ConverterSetup& setup)
{
    // No shell: the file name goes to the converter as one argument whatever it holds.
    const std::vector<std::string> arguments{setup.converter.string(), "-i", file.string(), "-analyzeduration", "30000"};
    const std::string commandLine = setup.converter.string() + " -i \"" + file.string() + "\" -analyzeduration 30000";
    DeleteIfExists(setup.captureFile);  // never read an earlier run's output
    bool completed = true;
    attempt(setup.showError,
            [&] { completed = RunPiped(commandLine, arguments, setup.captureFile, {}, setup.pumpMessages, setup.timeout); });
    if (!completed) {
        DeleteIfExists(setup.captureFile);  // a converter that hung: analysed nothing
        return false;
    }
    const std::string capture = wholeFile(setup.captureFile);
    if (capture.empty())
        return false;
    if (!analyseConverterCapture(capture, info, setup.showError)) {
        DeleteIfExists(setup.captureFile);
        return false;
    }
    attempt(setup.showError, [&] {
        const std::uint64_t size = FileSize64(file);
        if (size > std::numeric_limits<std::uint32_t>::max())
            throw mediaerror::fileTooLarge(size);
        info.fileSize = static_cast<std::uint32_t>(size);
    });
    DeleteIfExists(setup.captureFile);
    return true;
}

}  // namespace sonarchive
