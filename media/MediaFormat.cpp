#include "MediaFormat.h"

#include "AsciiCase.h"
#include "MpegAudio.h"

#include <sonarchive/ByteText.h>

#include <array>
#include <utility>

namespace sonarchive {

namespace {

// Matroska and WebM both start with an EBML header; its DocType says which.
std::string ebmlKind(const std::string& head)
{
    return head.find("webm") != std::string::npos ? "WebM" : "Matroska";
}

// Ogg streams name their codec in the first packet.
std::string oggKind(const std::string& head)
{
    if (head.find("OpusHead") != std::string::npos)
        return "Ogg Opus";
    if (head.find("\x01vorbis") != std::string::npos)
        return "Ogg Vorbis";
    if (head.find("FLAC") != std::string::npos)
        return "Ogg FLAC";
    return "Ogg";
}

}  // namespace

std::string unplayableFormat(const ByteSource& source)
{
    const std::int64_t start = ID3v2Length(source, 0);
    const std::string head = source.read(start, 64);
    const auto startsWith = [&](std::string_view magic) { return head.compare(0, magic.size(), magic) == 0; };
    if (startsWith("fLaC"))
        return "FLAC";
    if (startsWith("OggS"))
        return oggKind(head);
    if (startsWith(std::string_view("\x30\x26\xB2\x75\x8E\x66\xCF\x11", 8)))
        return "WMA or WMV (ASF)";
    if (startsWith("\x1A\x45\xDF\xA3"))
        return ebmlKind(head);
    if (startsWith("RIFF") && head.compare(8, 4, "AVI ") == 0)
        return "AVI";
    if (startsWith("MAC "))
        return "Monkey's Audio";
    if (startsWith("wvpk"))
        return "WavPack";
    if (startsWith("MPCK") || startsWith("MP+"))
        return "Musepack";
    return {};
}

std::string unplayableConverterFormat(const std::string& formats)
{
    static const std::array<std::pair<const char*, const char*>, 8> kNames{{{"flac", "FLAC"},
                                                                            {"ogg", "Ogg"},
                                                                            {"matroska", "Matroska"},
                                                                            {"webm", "WebM"},
                                                                            {"asf", "WMA or WMV (ASF)"},
                                                                            {"avi", "AVI"},
                                                                            {"ape", "Monkey's Audio"},
                                                                            {"wv", "WavPack"}}};
    const std::string first = lowerAscii(formats.substr(0, formats.find(',')));
    for (const auto& [format, name] : kNames)
        if (first == format)
            return name;
    return {};
}

std::string unplayableAudioCodec(const std::u16string& codec)
{
    static const std::array<std::pair<const char*, const char*>, 8> kNames{{{"vorbis", "Vorbis"},
                                                                            {"opus", "Opus"},
                                                                            {"flac", "FLAC"},
                                                                            {"wmav1", "WMA"},
                                                                            {"wmav2", "WMA"},
                                                                            {"wmapro", "WMA"},
                                                                            {"ape", "Monkey's Audio"},
                                                                            {"wavpack", "WavPack"}}};
    const std::string name = lowerAscii(toUtf8(codec));
    for (const auto& [known, shown] : kNames)
        if (name == known)
            return shown;
    if (name == "aac" || name == "alac" || name == "mp3" || name.empty())
        return {};
    return name;  // any other codec, by the converter's own name for it
}

}  // namespace sonarchive
