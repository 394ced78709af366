// What a media file says of itself, as a TrackInfo: the media readers' own
// results mapped into the record the library hands out and adds.
#include "clsSonarchive.h"

#include "AsciiCase.h"
#include "ByteSource.h"
#include "ConverterAnalysis.h"
#include "ID3Tags.h"
#include "LibraryLocation.h"
#include "MediaError.h"
#include "MediaFormat.h"
#include "MpegAudio.h"
#include "PcmAudio.h"

#include <algorithm>
#include <array>
#include <limits>

namespace sonarchive {

namespace {

// The ID3v2 value where it has one, else the ID3v1 value.
void takeTag(std::u16string& field, const std::u16string& v1, const std::u16string& v2)
{
    field = v2.empty() ? v1 : v2;
}

// A value the tags left empty, from the container.
void fillEmpty(std::u16string& field, const std::u16string& fromContainer)
{
    if (field.empty())
        field = fromContainer;
}

// "3/12" -> 3; 0 for no number.
std::int32_t leadingNumber(const std::u16string& text)
{
    std::int64_t value = 0;
    std::size_t i = text.find_first_not_of(u' ');
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9' && value < 100000; ++i)
        value = value * 10 + (text[i] - u'0');
    return static_cast<std::int32_t>(value);
}

bool isOneOf(const std::u16string& extension, std::initializer_list<std::u16string_view> list)
{
    return std::find(list.begin(), list.end(), extension) != list.end();
}

// Extensions whose content the converter describes.
constexpr std::initializer_list<std::u16string_view> kConverterExtensions = {
    u"MP2", u"AAC", u"M4A", u"M4B", u"MP4", u"MPEG", u"MPG", u"MPEG4", u"M4V", u"MOV"};

}  // namespace

bool clsSonarchive::SetTrackInfo(const std::u16string& sFilePath, TrackInfo& tInfo)
{
    m_lastFailure = {};
    try {
        const std::filesystem::path path(toUtf8(sFilePath));
        TagFields v1, v2;
        ClearTagFields(v1);
        ReadID3v1(path, v1);
        ClearTagFields(v2);
        ReadID3v2(path, v2);

        takeTag(tInfo.sArtist, v1.artist, v2.artist);
        takeTag(tInfo.sAlbum, v1.album, v2.album);
        takeTag(tInfo.sTitle, v1.title, v2.title);
        takeTag(tInfo.sYear, v1.year, v2.year);
        takeTag(tInfo.sGenre, v1.genre, v2.genre);
        takeTag(tInfo.sComment, v1.comment, v2.comment);
        tInfo.sComposer = v2.composer;
        if (!v2.track.empty())
            tInfo.iTrackNumber = leadingNumber(v2.track);
        if (!v2.disc.empty())
            tInfo.iDiscNumber = leadingNumber(v2.disc);
        const std::u16string fileName = fromUtf8(path.filename().string());
        // No title tag: the file's name, until a container's own title says better.
        const bool titleFromName = tInfo.sTitle.empty();
        if (titleFromName)
            tInfo.sTitle = fileName;

        const auto dot = fileName.rfind(u'.');
        const std::u16string extension = dot == std::u16string::npos ? std::u16string() : upperAscii(fileName.substr(dot + 1));

        // Containers and codecs the device can't play are told by their bytes, whatever the name says.
        const std::unique_ptr<FileSource> source = FileSource::open(path);
        std::string unplayable = source ? unplayableFormat(*source) : std::string();

        if (!unplayable.empty()) {
            tInfo.isFileSupported = false;
        } else if (extension == u"MP3") {
            MpegInfo mpeg;
            AnalyseMpegAudio(path, mpeg);
            tInfo.iBitrateInKbs = mpeg.bitRateKbps;
            tInfo.iSampleRateInHz = mpeg.sampleRateHz;
            const std::int64_t milliseconds = std::int64_t(mpeg.lengthSeconds) * 1000;
            if (milliseconds > std::numeric_limits<std::int32_t>::max())
                throw MediaError::overflow();
            tInfo.iTrackTimLength = static_cast<std::int32_t>(milliseconds);
            tInfo.iFileSize = static_cast<std::int32_t>(mpeg.fileSize);  // the bits of the unsigned field
            tInfo.IsVBR = mpeg.isVbr ? 255 : 0;
            tInfo.iType = 1;
            tInfo.isFileSupported = true;
        } else if (extension == u"WAV" || extension == u"AIFF" || extension == u"AIF") {
            // Their headers say everything: no frame search, no fixed length.
            PcmInfo pcm;
            const bool read = source && (extension == u"WAV" ? AnalyseWave(*source, pcm) : AnalyseAiff(*source, pcm));
            if (!read)
                unplayable = extension == u"WAV" ? "not a WAV file" : "not an AIFF file";
            else
                unplayable = pcm.unplayable;
            tInfo.iBitrateInKbs = pcm.bitrateKbps;
            tInfo.iSampleRateInHz = pcm.sampleRateHz;
            tInfo.iTrackTimLength = pcm.lengthMs;
            if (source && source->size() > static_cast<std::int64_t>(kLargestTrackFile))
                throw MediaError::fileTooLarge(static_cast<std::uint64_t>(source->size()));
            tInfo.iFileSize = source ? static_cast<std::int32_t>(static_cast<std::uint32_t>(source->size())) : 0;
            tInfo.iType = 1;
            tInfo.isFileSupported = unplayable.empty();
        } else if (isOneOf(extension, kConverterExtensions)) {
            const std::filesystem::path folder = libraryFolder();
            ConverterSetup setup;
            setup.converter = findConverter(folder);
            setup.captureFile = captureFileFor(folder);
            setup.pumpMessages = [this] { host().pumpMessages(); };
            setup.showError = [this](const std::u16string& text) {
                message(text, {}, MessageButtons::OK, MessageIcon::Critical);
            };
            // What the converter tells, over what the tags said.
            ConverterInfo found{tInfo.sAudioCodec, tInfo.sVideoCodec, tInfo.iTrackTimLength, tInfo.iBitrateInKbs,
                                tInfo.iSampleRateInHz, tInfo.isFileSupported, static_cast<std::uint32_t>(tInfo.iFileSize)};
            const bool analysed = AnalyseWithConverter(path, found, setup);
            tInfo.sAudioCodec = found.audioCodec;
            tInfo.sVideoCodec = found.videoCodec;
            tInfo.iTrackTimLength = found.lengthMs;
            tInfo.iBitrateInKbs = found.bitrateKbps;
            tInfo.iSampleRateInHz = found.sampleRateHz;
            tInfo.isFileSupported = found.isSupported;
            tInfo.iFileSize = static_cast<std::int32_t>(found.fileSize);  // the bits of the unsigned field
            if (analysed)
                unplayable = found.unplayable;
            // The container's tags where the ID3 readers found nothing.
            const ContainerTags& tags = found.tags;
            if (titleFromName && !tags.title.empty())
                tInfo.sTitle = tags.title;
            for (const auto& [field, tag] : {std::pair{&tInfo.sArtist, &tags.artist}, {&tInfo.sAlbum, &tags.album},
                                              {&tInfo.sGenre, &tags.genre}, {&tInfo.sYear, &tags.date},
                                              {&tInfo.sComment, &tags.comment}, {&tInfo.sComposer, &tags.composer}})
                fillEmpty(*field, *tag);
            if (tInfo.iTrackNumber == 0)
                tInfo.iTrackNumber = leadingNumber(tags.track);
            if (tInfo.iDiscNumber == 0)
                tInfo.iDiscNumber = leadingNumber(tags.disc);
            // Audio or video by what the file holds: a cover picture makes no film.
            tInfo.iType = found.hasVideo ? 2 : 1;
            tInfo.IsMovie = found.hasVideo ? 1 : 0;
        }
        if (isOneOf(extension, {u"MP3", u"AAC", u"WAV", u"AIFF", u"M4A", u"M4B"}))
            tInfo.sFiletype = extension;
        else if (extension == u"AIF")
            tInfo.sFiletype = u"AIFF";
        else if (isOneOf(extension, {u"MP4", u"MP2", u"MPEG", u"MPG", u"MPEG4", u"M4V", u"MOV"}))
            tInfo.sFiletype = u"MP4";

        if (!unplayable.empty()) {
            tInfo.isFileSupported = false;
            m_lastFailure = {FailureCode::Unsupported, 0, toUtf8(sFilePath) + " cannot be played on the iPod: " + unplayable};
        }
        return true;
    } catch (const std::exception& e) {
        const MediaError error = toMediaError(e);
        m_lastFailure = {error.number() == MediaError::kOverflow ? FailureCode::TooLarge : FailureCode::Other, error.number(),
                         error.description()};
        message(u"Error occured while retrieving File Information.\r\n" + fromUtf8(std::to_string(error.number())) + u":" +
                    fromUtf8(error.description()),
                {}, MessageButtons::OK, MessageIcon::Critical);
        return false;
    }
}

}  // namespace sonarchive
