// What a media file says of itself, as a TrackInfo: the media readers' own
// results mapped into the record the library hands out and adds.
#include "clsSonarchive.h"

#include "AsciiCase.h"
#include "Blanks.h"
#include "ByteSource.h"
#include "ConverterAnalysis.h"
#include "ID3Tags.h"
#include "LibraryLocation.h"
#include "MediaError.h"
#include "MediaFormat.h"
#include "MpegAudio.h"
#include "PcmAudio.h"

#include <limits>
#include <utility>

namespace fs = std::filesystem;

namespace sonarchive {

namespace {

// What a file is analysed with beyond its tags.
enum class Analysis { Mpeg, Wave, Aiff, Converter };

struct KnownExtension {
    std::u16string_view extension;  // upper-cased, without the dot
    Analysis analysis;
    std::u16string_view filetype;   // what sFiletype records
};

// The extensions the library analyses. A file with any other extension gets its
// tag texts alone, and its type fields keep the caller's values.
constexpr KnownExtension kKnownExtensions[] = {
    {u"MP3", Analysis::Mpeg, u"MP3"},         {u"WAV", Analysis::Wave, u"WAV"},
    {u"AIFF", Analysis::Aiff, u"AIFF"},       {u"AIF", Analysis::Aiff, u"AIFF"},
    {u"AAC", Analysis::Converter, u"AAC"},    {u"M4A", Analysis::Converter, u"M4A"},
    {u"M4B", Analysis::Converter, u"M4B"},    {u"MP4", Analysis::Converter, u"MP4"},
    {u"MP2", Analysis::Converter, u"MP4"},    {u"MPEG", Analysis::Converter, u"MP4"},
    {u"MPG", Analysis::Converter, u"MP4"},    {u"MPEG4", Analysis::Converter, u"MP4"},
    {u"M4V", Analysis::Converter, u"MP4"},    {u"MOV", Analysis::Converter, u"MP4"},
};

// The entry for the text after the last "." of the file's name, in any letter
// case; null when there is none.
const KnownExtension* knownExtension(const std::u16string& fileName)
{
    const auto dot = fileName.rfind(u'.');
    if (dot == std::u16string::npos)
        return nullptr;
    const std::u16string extension = upperAscii(fileName.substr(dot + 1));
    for (const KnownExtension& known : kKnownExtensions)
        if (known.extension == extension)
            return &known;
    return nullptr;
}

// "3/12" -> 3; 0 for no number.
std::int32_t leadingNumber(std::u16string_view number)
{
    const std::u16string text = trimmedBlanks(number);
    std::int64_t value = 0;
    for (std::size_t i = 0; i < text.size() && text[i] >= u'0' && text[i] <= u'9' && value < 100000; ++i)
        value = value * 10 + (text[i] - u'0');
    return static_cast<std::int32_t>(value);
}

// The tag texts: each the ID3v2 value where it has one, else the ID3v1 value;
// with no title at all, the file's name. True when the title is the file's name.
bool takeTags(const ByteSource* source, const std::u16string& fileName, TrackInfo& tInfo)
{
    TagFields v1, v2;
    if (source) {
        ReadID3v1(*source, v1);
        ReadID3v2(*source, v2);
    }
    for (const auto& [field, tag] : {std::pair{&tInfo.sArtist, &TagFields::artist}, {&tInfo.sAlbum, &TagFields::album},
                                     {&tInfo.sTitle, &TagFields::title}, {&tInfo.sYear, &TagFields::year},
                                     {&tInfo.sGenre, &TagFields::genre}, {&tInfo.sComment, &TagFields::comment}})
        *field = (v2.*tag).empty() ? v1.*tag : v2.*tag;
    tInfo.sComposer = v2.composer;
    if (!v2.track.empty())
        tInfo.iTrackNumber = leadingNumber(v2.track);
    if (!v2.disc.empty())
        tInfo.iDiscNumber = leadingNumber(v2.disc);
    if (!tInfo.sTitle.empty())
        return false;
    tInfo.sTitle = fileName;  // until a container's own title says better
    return true;
}

// MPEG audio: rates and length (in whole seconds) from the first frame.
void takeMpeg(const ByteSource* source, TrackInfo& tInfo)
{
    MpegInfo mpeg;
    if (source)
        AnalyseMpegAudio(*source, mpeg);
    tInfo.iBitrateInKbs = mpeg.bitRateKbps;
    tInfo.iSampleRateInHz = mpeg.sampleRateHz;
    const std::int64_t milliseconds = std::int64_t(mpeg.lengthSeconds) * 1000;
    if (milliseconds > std::numeric_limits<std::int32_t>::max())
        throw mediaerror::overflow();
    tInfo.iTrackTimLength = static_cast<std::int32_t>(milliseconds);
    tInfo.iFileSize = static_cast<std::int32_t>(mpeg.fileSize);  // the bits of the unsigned field
    tInfo.IsVBR = mpeg.isVbr ? 255 : 0;
    tInfo.iType = 1;
    tInfo.isFileSupported = true;
}

// WAV and AIFF: their headers say everything (no frame search, no fixed length).
// Returns why the device can't play the file, when it can't.
std::string takePcm(const ByteSource* source, Analysis analysis, TrackInfo& tInfo)
{
    const bool wave = analysis == Analysis::Wave;
    PcmInfo pcm;
    const bool read = source && (wave ? AnalyseWave(*source, pcm) : AnalyseAiff(*source, pcm));
    tInfo.iBitrateInKbs = pcm.bitrateKbps;
    tInfo.iSampleRateInHz = pcm.sampleRateHz;
    tInfo.iTrackTimLength = pcm.lengthMs;
    const std::int64_t size = source ? source->size() : 0;
    if (size > static_cast<std::int64_t>(kLargestTrackFile))
        throw mediaerror::fileTooLarge(static_cast<std::uint64_t>(size));
    tInfo.iFileSize = static_cast<std::int32_t>(static_cast<std::uint32_t>(size));
    tInfo.iType = 1;
    std::string unplayable = read ? pcm.unplayable : wave ? "not a WAV file" : "not an AIFF file";
    tInfo.isFileSupported = unplayable.empty();
    return unplayable;
}

// The container's tags where the ID3 readers found nothing.
void takeContainerTags(const ContainerTags& tags, bool titleFromName, TrackInfo& tInfo)
{
    if (titleFromName && !tags.title.empty())
        tInfo.sTitle = tags.title;
    for (const auto& [field, tag] : {std::pair{&tInfo.sArtist, &tags.artist}, {&tInfo.sAlbum, &tags.album},
                                     {&tInfo.sGenre, &tags.genre}, {&tInfo.sYear, &tags.date},
                                     {&tInfo.sComment, &tags.comment}, {&tInfo.sComposer, &tags.composer}})
        if (field->empty())
            *field = *tag;
    if (tInfo.iTrackNumber == 0)
        tInfo.iTrackNumber = leadingNumber(tags.track);
    if (tInfo.iDiscNumber == 0)
        tInfo.iDiscNumber = leadingNumber(tags.disc);
}

// Each field the converter analysis may set, with the TrackInfo field it stands for.
template <typename Each>
void forConverterFields(ConverterInfo& found, TrackInfo& tInfo, Each&& each)
{
    each(found.audioCodec, tInfo.sAudioCodec);
    each(found.videoCodec, tInfo.sVideoCodec);
    each(found.lengthMs, tInfo.iTrackTimLength);
    each(found.bitrateKbps, tInfo.iBitrateInKbs);
    each(found.sampleRateHz, tInfo.iSampleRateInHz);
    each(found.isSupported, tInfo.isFileSupported);
    each(found.fileSize, tInfo.iFileSize);  // the bits of the unsigned field
}

// What the converter tells, over what the tags said; audio or video by what the
// file holds (a cover picture makes no film). Returns why the device can't play
// the file, when the analysis could tell.
std::string takeConverter(const fs::path& path, const ConverterSetup& setup, bool titleFromName, TrackInfo& tInfo)
{
    ConverterInfo found;
    forConverterFields(found, tInfo, [](auto& analysis, const auto& track) { analysis = track; });
    const bool analysed = AnalyseWithConverter(path, found, setup);
    forConverterFields(found, tInfo, [](const auto& analysis, auto& track) { track = analysis; });
    takeContainerTags(found.tags, titleFromName, tInfo);
    tInfo.iType = found.hasVideo ? 2 : 1;
    tInfo.IsMovie = found.hasVideo ? 1 : 0;
    return analysed ? found.unplayable : std::string();
}

}  // namespace

bool clsSonarchive::SetTrackInfo(const std::u16string& sFilePath, TrackInfo& tInfo)
{
    m_lastFailure = {};
    const auto converterSetup = [this] {
        const fs::path folder = libraryFolder();
        ConverterSetup setup;
        setup.converter = findConverter(folder);
        setup.captureFile = captureFileFor(folder);
        setup.pumpMessages = [this] { host().pumpMessages(); };
        setup.showError = [this](const std::u16string& text) { message(text, {}, MessageButtons::OK, MessageIcon::Critical); };
        return setup;
    };
    try {
        const fs::path path(toUtf8(sFilePath));
        const std::u16string fileName = fromUtf8(path.filename().string());
        const std::unique_ptr<FileSource> source = FileSource::open(path);
        const bool titleFromName = takeTags(source.get(), fileName, tInfo);
        const KnownExtension* known = knownExtension(fileName);
        // Containers and codecs the device can't play are told by their bytes, whatever the name says.
        std::string unplayable = source ? unplayableFormat(*source) : std::string();
        if (!unplayable.empty())
            tInfo.isFileSupported = false;
        else if (known && known->analysis == Analysis::Converter)
            unplayable = takeConverter(path, converterSetup(), titleFromName, tInfo);
        else if (known && known->analysis == Analysis::Mpeg)
            takeMpeg(source.get(), tInfo);
        else if (known)
            unplayable = takePcm(source.get(), known->analysis, tInfo);
        if (known)
            tInfo.sFiletype = known->filetype;
        if (!unplayable.empty()) {
            tInfo.isFileSupported = false;
            m_lastFailure = {FailureCode::Unsupported, 0, toUtf8(sFilePath) + " cannot be played on the iPod: " + unplayable};
        }
        return true;
    } catch (const std::exception& e) {
        // Any run-time failure ends the analysis; what was written stays written.
        const Error error = asMediaError(e);
        m_lastFailure = error.failure();
        message(u"Error occured while retrieving File Information.\r\n" + numberedText(error), {}, MessageButtons::OK,
                MessageIcon::Critical);
        return false;
    }
}

}  // namespace sonarchive
