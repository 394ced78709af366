#include "clsSonarchive.h"

#include "ConverterAnalysis.h"
#include "ID3Tags.h"
#include "LibraryLocation.h"
#include "MediaError.h"
#include "MpegAudio.h"

#include <limits>

namespace sonarchive {

namespace {

std::u16string upperCase(std::u16string text)
{
    for (char16_t& c : text)
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
    return text;
}

// The ID3v2 value where it has one, else the ID3v1 value.
void takeTag(std::u16string& field, const std::u16string& v1, const std::u16string& v2)
{
    field = v2.empty() ? v1 : v2;
}

}  // namespace

bool clsSonarchive::SetTrackInfo(const std::u16string& sFilePath, TrackInfo& tInfo)
{
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
        const std::u16string fileName = fromUtf8(path.filename().string());
        if (tInfo.sTitle.empty())
            tInfo.sTitle = fileName;
        tInfo.sComposer = v2.composer;

        const auto dot = fileName.rfind(u'.');
        const std::u16string extension = dot == std::u16string::npos ? std::u16string() : upperCase(fileName.substr(dot + 1));

        if (extension == u"MP3" || extension == u"WAV") {
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
        } else if (extension == u"MP2" || extension == u"AAC" || extension == u"MP4" || extension == u"MPEG" ||
                   extension == u"MPG" || extension == u"MPEG4" || extension == u"M4V" || extension == u"MOV") {
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
            AnalyseWithConverter(path, found, setup);
            tInfo.sAudioCodec = found.audioCodec;
            tInfo.sVideoCodec = found.videoCodec;
            tInfo.iTrackTimLength = found.lengthMs;
            tInfo.iBitrateInKbs = found.bitrateKbps;
            tInfo.iSampleRateInHz = found.sampleRateHz;
            tInfo.isFileSupported = found.isSupported;
            tInfo.iFileSize = static_cast<std::int32_t>(found.fileSize);  // the bits of the unsigned field
            // Whatever the converter found, also for the audio-only MP2 and AAC.
            tInfo.iType = 2;
            tInfo.IsMovie = 1;
        } else if (extension == u"AIFF") {
            tInfo.iTrackTimLength = 600000;  // a fixed ten minutes
            tInfo.iType = 1;
            tInfo.isFileSupported = true;
        }

        if (extension == u"MP3" || extension == u"AAC" || extension == u"WAV" || extension == u"AIFF")
            tInfo.sFiletype = extension;
        else if (extension == u"MP4" || extension == u"MP2" || extension == u"MPEG" || extension == u"MPG" ||
                 extension == u"MPEG4" || extension == u"M4V" || extension == u"MOV")
            tInfo.sFiletype = u"MP4";
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
