#include "ConverterAnalysis.h"

#include "AsciiCase.h"
#include "MediaError.h"
#include "MediaFormat.h"
#include "PipeRunner.h"

#include <sonarchive/ByteText.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>
#include <system_error>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace sonarchive {

namespace {

// The last duration parsed, in seconds; it outlives each analysis, so a duration
// line without "," keeps the value of an earlier line or an earlier analysis.
float g_keptDuration = 0;

std::vector<std::u16string_view> splitAt(std::u16string_view text, std::u16string_view separator)
{
    std::vector<std::u16string_view> parts;
    std::size_t from = 0;
    while (true) {
        const auto at = text.find(separator, from);
        parts.push_back(text.substr(from, at == std::u16string_view::npos ? std::u16string_view::npos : at - from));
        if (at == std::u16string_view::npos)
            return parts;
        from = at + separator.size();
    }
}

// Whole number with optional blanks around it and an optional sign.
std::int32_t wholeNumber(std::u16string_view text)
{
    const auto first = text.find_first_not_of(u' ');
    if (first == std::u16string_view::npos)
        throw MediaError::typeMismatch();
    text = text.substr(first, text.find_last_not_of(u' ') - first + 1);
    bool negative = false;
    if (text.front() == u'-' || text.front() == u'+') {
        negative = text.front() == u'-';
        text.remove_prefix(1);
    }
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; }))
        throw MediaError::typeMismatch();
    std::int64_t value = 0;
    for (char16_t c : text) {
        value = value * 10 + (c - u'0');
        if (value > std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1)
            throw MediaError::overflow();
    }
    value = negative ? -value : value;
    if (value > std::numeric_limits<std::int32_t>::max())
        throw MediaError::overflow();
    return static_cast<std::int32_t>(value);
}

// The text without its last `count` characters.
std::u16string_view dropLast(std::u16string_view text, std::size_t count)
{
    if (text.size() < count)
        throw MediaError::invalidCall();
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
        throw MediaError::overflow();
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

bool isExecutableFile(const fs::path& path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::u16string converterErrorText(const MediaError& error)
{
    return u"Error occured while parsing media file\r\n" + fromUtf8(std::to_string(error.number())) + u":" +
           fromUtf8(error.description());
}

float ParseClockText(std::u16string_view text)
{
    const auto first = text.find_first_not_of(u' ');
    text = first == std::u16string_view::npos ? std::u16string_view() : text.substr(first);
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
        throw MediaError::fromErrno(errno);
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

bool analyseConverterCapture(std::string_view capture, std::u16string_view extension, ConverterInfo& info,
                             const std::function<void(const std::u16string&)>& showError)
{
    const auto attempt = [&](auto&& step) {
        try {
            step();
        } catch (const std::exception& e) {
            if (showError)
                showError(converterErrorText(toMediaError(e)));
        }
    };

    std::vector<std::int32_t> audioRates;
    std::int32_t lastBitrate = 0;
    bool failed = false;
    // The container's metadata block: "  Metadata:" right below "Input #0", its
    // entries indented by four blanks, a continued value by a blank key.
    enum class Block { BeforeInput, Header, Metadata, Rest } block = Block::BeforeInput;
    std::u16string* lastTag = nullptr;
    for (std::string_view bytes : captureLines(capture)) {
        const std::u16string line = fromUtf8(bytes);
        // Today's converter says "Invalid data found when processing input" where
        // older ones said "Unknown format".
        if (line.find(u"could not find codec parameters") != std::u16string::npos ||
            line.find(u"Unknown format") != std::u16string::npos ||
            line.find(u"Invalid data found when processing input") != std::u16string::npos) {
            failed = true;
            break;
        }
        if (!line.empty() && line.front() == u'[')
            continue;  // the converter's log lines

        if (block == Block::BeforeInput && line.starts_with(u"Input #0, ")) {
            const std::u16string_view rest = std::u16string_view(line).substr(10);
            info.formats = toUtf8(rest.substr(0, rest.find(u", from ")));
            block = Block::Header;
            continue;
        }
        if (block == Block::Header && line == u"  Metadata:") {
            block = Block::Metadata;
            continue;
        }
        if (block == Block::Metadata) {
            if (line.starts_with(u"    ")) {
                const auto colon = line.find(u':');
                if (colon != std::u16string::npos) {
                    const std::u16string key = upperAscii(line.substr(4, colon - 4));
                    std::u16string value(std::u16string_view(line).substr(std::min(line.size(), colon + 2)));
                    const std::u16string trimmedKey = key.substr(0, key.find_last_not_of(u' ') + 1);
                    if (trimmedKey.empty() && lastTag) {
                        *lastTag += u"\r\n" + value;
                        continue;
                    }
                    ContainerTags& t = info.tags;
                    const std::pair<std::u16string_view, std::u16string*> known[] = {
                        {u"TITLE", &t.title},     {u"ARTIST", &t.artist}, {u"ALBUM", &t.album},
                        {u"GENRE", &t.genre},     {u"DATE", &t.date},     {u"COMMENT", &t.comment},
                        {u"COMPOSER", &t.composer}, {u"TRACK", &t.track}, {u"DISC", &t.disc}};
                    lastTag = nullptr;
                    for (const auto& [name, field] : known)
                        if (trimmedKey == name && field->empty()) {
                            *field = value;
                            lastTag = field;
                        }
                }
                continue;
            }
            block = Block::Rest;
        }
        if (line.starts_with(u"  Duration: ") || line.starts_with(u"  Stream #"))
            block = Block::Rest;

        if (const auto audio = line.find(u"Audio: "); audio != std::u16string::npos) {
            attempt([&] {
                const auto parts = splitAt(std::u16string_view(line).substr(audio + 7), u", ");
                info.audioCodec = codecName(parts[0]);
                if (parts.size() < 2)
                    throw MediaError::subscriptOutOfRange();
                audioRates.push_back(wholeNumber(dropLast(parts[1], 3)));  // "44100 Hz"
            });
        } else if (const auto video = line.find(u"Video: "); video != std::u16string::npos) {
            // A cover picture is shown as a video stream; it makes no film.
            if (line.find(u"(attached pic)") == std::u16string::npos) {
                const auto parts = splitAt(std::u16string_view(line).substr(video + 7), u", ");
                info.videoCodec = codecName(parts[0]);
                info.hasVideo = true;
            }
        }

        if (line.starts_with(u"  Duration: ")) {
            attempt([&] {
                if (const auto comma = line.find(u','); comma != std::u16string::npos)
                    g_keptDuration = ParseClockText(std::u16string_view(line).substr(12, comma >= 12 ? comma - 12 : 0));
                info.lengthMs = roundedMilliseconds(g_keptDuration);
            });
            if (g_keptDuration == 0) {
                failed = true;
                break;
            }
        }

        if (const auto at = upperAscii(line).find(u"BITRATE: "); at != std::u16string::npos) {
            attempt([&] {
                const auto from = at + 9;
                if (const auto unit = line.find(u"/s", from); unit != std::u16string::npos) {
                    // "1411 kb/s": the value ends 3 characters before "/s".
                    lastBitrate = wholeNumber(dropLast(std::u16string_view(line).substr(from, unit - from), 3));
                }
                info.bitrateKbps = lastBitrate;
            });
        }
    }
    if (failed)
        return false;

    if (!audioRates.empty())
        info.sampleRateHz = audioRates.back();
    (void)extension;  // what the device plays is told by the content, whatever the name says
    if (const std::string container = unplayableConverterFormat(info.formats); !container.empty()) {
        info.unplayable = container;
    } else if (info.hasVideo) {
        const std::u16string video = upperAscii(info.videoCodec);
        if (!((video == u"H264" || video == u"MPEG4") && containsAsciiNoCase(info.audioCodec, u"aac")))
            info.unplayable = toUtf8(info.videoCodec) + " video" +
                              (info.audioCodec.empty() ? std::string() : " with " + toUtf8(info.audioCodec) + " audio");
    } else if (!info.audioCodec.empty()) {
        info.unplayable = unplayableAudioCodec(info.audioCodec);
    } else {
        info.unplayable = "no audio or video stream";
    }
    info.isSupported = info.unplayable.empty();
    return true;
}

bool AnalyseWithConverter(const fs::path& file, ConverterInfo& info, const ConverterSetup& setup)
{
    const auto attempt = [&](auto&& step) {
        try {
            step();
        } catch (const std::exception& e) {
            if (setup.showError)
                setup.showError(converterErrorText(toMediaError(e)));
        }
    };

    const std::string name = file.filename().string();
    const auto dot = name.rfind('.');
    const std::u16string extension = upperAscii(dot == std::string::npos ? std::u16string() : fromUtf8(name.substr(dot + 1)));

    // No shell: the file name goes to the converter as one argument whatever it holds.
    const std::vector<std::string> arguments{setup.converter.string(), "-i", file.string(), "-analyzeduration", "30000"};
    const std::string commandLine = setup.converter.string() + " -i \"" + file.string() + "\" -analyzeduration 30000";
    DeleteIfExists(setup.captureFile);  // never read an earlier run's output
    bool completed = true;
    attempt([&] { completed = RunPiped(commandLine, arguments, setup.captureFile, {}, setup.pumpMessages, setup.timeout); });
    if (!completed) {
        DeleteIfExists(setup.captureFile);  // a converter that hung: analysed nothing
        return false;
    }

    std::string capture;
    {
        std::ifstream in(setup.captureFile, std::ios::binary);
        capture.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (capture.empty())
        return false;

    if (!analyseConverterCapture(capture, extension, info, setup.showError)) {
        DeleteIfExists(setup.captureFile);
        return false;
    }
    attempt([&] {
        const std::uint64_t size = FileSize64(file);
        if (size > std::numeric_limits<std::uint32_t>::max())
            throw MediaError::fileTooLarge(size);
        info.fileSize = static_cast<std::uint32_t>(size);
    });
    DeleteIfExists(setup.captureFile);
    return true;
}

}  // namespace sonarchive
