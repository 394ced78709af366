#include "TagWriter.h"

#include "AsciiCase.h"
#include "TagFileStream.h"

#include <sonarchive/ByteText.h>

#include <taglib/aifffile.h>
#include <taglib/apetag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/popularimeterframe.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <system_error>

namespace trackcopy {

namespace fs = std::filesystem;
using Outcome = TagWriteResult::Outcome;

namespace {

using TagLib::PropertyMap;
using TagLib::String;
using TagLib::StringList;

const String kFreeform = "----:com.apple.iTunes:";

String text(const std::u16string& value)
{
    return String(sonarchive::toUtf8(value), String::UTF8);
}

bool hasValue(const StringList& values)
{
    return !values.isEmpty() && !values.front().isEmpty();
}

// TagLib's property maps are not virtual: each tag is asked as its own kind.
template <class Tag>
PropertyMap propertiesOf(const Tag* tag)
{
    return tag ? tag->properties() : PropertyMap();
}

// What the file holds, each field from the first of its tags that has it.
PropertyMap presentFields(std::initializer_list<PropertyMap> tags)
{
    PropertyMap present;
    for (const PropertyMap& properties : tags)
        for (const auto& [key, values] : properties)
            if (hasValue(values) && !hasValue(present[key]))
                present.replace(key, values);
    return present;
}

// "3/12" -> 3, 12; "3" -> 3, 0. False for anything else ("A1", "").
bool numberPair(const String& value, int& number, int& count)
{
    const std::string digits = value.to8Bit(true);
    const auto slash = digits.find('/');
    const std::string first = digits.substr(0, slash), second = slash == std::string::npos ? "" : digits.substr(slash + 1);
    const auto isNumber = [](const std::string& s) {
        return !s.empty() && s.size() < 7 && s.find_first_not_of("0123456789") == std::string::npos;
    };
    if (!isNumber(first) || (slash != std::string::npos && !isNumber(second)))
        return false;
    number = std::stoi(first);
    count = second.empty() ? 0 : std::stoi(second);
    return true;
}

// The value of each field a copy gets: with fill the file's where it has one,
// with db the database's where it has one; each falls back on the other.
class FieldChoice {
public:
    FieldChoice(const PropertyMap& present, TagMode mode) : m_present(present), m_fill(mode == TagMode::Fill) {}

    void text(const char* key, const String& database)
    {
        const StringList& file = m_present[key];
        if (hasValue(file) && (m_fill || database.isEmpty()))
            m_chosen.replace(key, file);
        else if (!database.isEmpty())
            m_chosen.replace(key, StringList(database));
    }

    // A number and its count ("3/12"), each part chosen on its own.
    void numbers(const char* key, int number, int count)
    {
        const StringList& file = m_present[key];
        int fileNumber = 0, fileCount = 0;
        if (hasValue(file) && !numberPair(file.front(), fileNumber, fileCount)) {
            if (m_fill || number == 0)
                m_chosen.replace(key, file);  // not a number the file holds: kept whole
            else
                m_chosen.replace(key, StringList(pair(number, count)));
            return;
        }
        const int chosenNumber = pick(fileNumber, number), chosenCount = pick(fileCount, count);
        if (chosenNumber > 0)
            m_chosen.replace(key, StringList(pair(chosenNumber, chosenCount)));
    }

    const PropertyMap& chosen() const { return m_chosen; }

private:
    int pick(int file, int database) const { return file > 0 && (m_fill || database == 0) ? file : database; }
    static String pair(int number, int count)
    {
        return count > 0 ? String::number(number) + "/" + String::number(count) : String::number(number);
    }

    const PropertyMap& m_present;
    bool m_fill;
    PropertyMap m_chosen;
};

PropertyMap chosenFields(const PropertyMap& present, const TrackTags& tags, TagMode mode)
{
    FieldChoice choice(present, mode);
    choice.text("TITLE", text(tags.title));
    choice.text("ARTIST", text(tags.artist));
    choice.text("ALBUM", text(tags.album));
    choice.text("GENRE", text(tags.genre));
    choice.text("COMPOSER", text(tags.composer));
    choice.text("COMMENT", text(tags.comment));
    choice.text("DATE", tags.year > 0 ? String::number(tags.year) : String());
    choice.numbers("TRACKNUMBER", tags.track, tags.trackCount);
    choice.numbers("DISCNUMBER", tags.disc, tags.discCount);
    return choice.chosen();
}

// Puts the chosen values into one tag through its property map (`properties`,
// as the tag holds it now), leaving every other property and frame as it is.
template <class Tag>
void putFields(Tag& tag, PropertyMap properties, const PropertyMap& chosen)
{
    bool changed = false;
    for (const auto& [key, values] : chosen) {
        if (properties.contains(key) && properties[key] == values)
            continue;
        properties.replace(key, values);
        changed = true;
    }
    if (changed)
        tag.setProperties(properties);
}

// The picture's MIME type, told by its first bytes; null for anything else.
const char* pictureType(const std::string& bytes)
{
    if (bytes.rfind("\xFF\xD8\xFF", 0) == 0)
        return "image/jpeg";
    if (bytes.rfind("\x89PNG\r\n\x1A\n", 0) == 0)
        return "image/png";
    return nullptr;
}

// A picture for a tag that has none: the source's bytes and their MIME type;
// no type when there is no source or it gives no JPEG or PNG.
struct NewPicture {
    std::string bytes;
    const char* type = nullptr;
};

NewPicture newPicture(const TagWriter::CoverSource& cover)
{
    NewPicture picture;
    if (cover) {
        picture.bytes = cover();
        picture.type = pictureType(picture.bytes);
    }
    return picture;
}

// ---- ID3v2 (MP3, WAV, AIFF) -----------------------------------------------------------

TagLib::ID3v2::UserTextIdentificationFrame* userText(TagLib::ID3v2::Tag& tag, const String& description)
{
    for (TagLib::ID3v2::Frame* frame : tag.frameList("TXXX"))
        if (auto* user = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame*>(frame);
            user && user->description().upper() == description.upper())
            return user;
    return nullptr;
}

void putUserText(TagLib::ID3v2::Tag& tag, const String& description, const String& value, bool replace)
{
    auto* frame = userText(tag, description);
    if (frame && !replace)
        return;
    if (!frame) {
        frame = new TagLib::ID3v2::UserTextIdentificationFrame(String::UTF8);
        frame->setDescription(description);
        tag.addFrame(frame);
    }
    frame->setText(value);
}

// The rating and play count: FMPS_Rating and FMPS_Playcount, and one POPM
// frame. With fill a frame the file has stays as it is; with db the values the
// database has replace the file's, and what it lacks is kept.
void putPlays(TagLib::ID3v2::Tag& tag, const TrackTags& tags, TagMode mode)
{
    const bool replace = mode == TagMode::Database;
    if (tags.rating > 0)
        putUserText(tag, "FMPS_Rating", fmpsRating(tags.rating), replace);
    if (tags.playCount > 0)
        putUserText(tag, "FMPS_Playcount", String::number(tags.playCount), replace);
    if (tags.rating == 0 && tags.playCount == 0)
        return;
    const TagLib::ID3v2::FrameList existing = tag.frameList("POPM");
    if (!existing.isEmpty() && !replace)
        return;
    int rating = popularimeterRating(tags.rating);
    unsigned counter = static_cast<unsigned>(tags.playCount);
    if (!existing.isEmpty()) {
        if (const auto* old = dynamic_cast<const TagLib::ID3v2::PopularimeterFrame*>(existing.front())) {
            rating = rating ? rating : old->rating();
            counter = counter ? counter : old->counter();
        }
        tag.removeFrames("POPM");
    }
    auto* frame = new TagLib::ID3v2::PopularimeterFrame;
    frame->setEmail(TagWriter::kPopularimeterEmail);
    frame->setRating(rating);
    frame->setCounter(counter);
    tag.addFrame(frame);
}

// Whether the tag holds a picture once done.
bool putCover(TagLib::ID3v2::Tag& tag, const TagWriter::CoverSource& cover)
{
    if (!tag.frameList("APIC").isEmpty())
        return true;
    const NewPicture picture = newPicture(cover);
    if (!picture.type)
        return false;
    auto* frame = new TagLib::ID3v2::AttachedPictureFrame;
    frame->setMimeType(picture.type);
    frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
    frame->setPicture(TagLib::ByteVector(picture.bytes.data(), static_cast<unsigned>(picture.bytes.size())));
    tag.addFrame(frame);
    return true;
}

// ---- MP4 ------------------------------------------------------------------------------

void putFreeform(TagLib::MP4::Tag& tag, const String& name, const String& value, bool replace)
{
    const String key = kFreeform + name;
    if (!replace && tag.contains(key))
        return;
    tag.setItem(key, TagLib::MP4::Item(StringList(value)));
}

// Whether the tag holds a picture once done.
bool putMp4Cover(TagLib::MP4::Tag& tag, const TagWriter::CoverSource& cover)
{
    if (tag.contains("covr"))
        return true;
    const NewPicture picture = newPicture(cover);
    if (!picture.type)
        return false;
    TagLib::MP4::CoverArtList pictures;
    const bool jpeg = std::string_view(picture.type) == "image/jpeg";
    pictures.append(TagLib::MP4::CoverArt(jpeg ? TagLib::MP4::CoverArt::JPEG : TagLib::MP4::CoverArt::PNG,
                                          TagLib::ByteVector(picture.bytes.data(), static_cast<unsigned>(picture.bytes.size()))));
    tag.setItem("covr", TagLib::MP4::Item(pictures));
    return true;
}

struct Job {
    const TrackTags& tags;
    TagMode mode;
    const std::string& marker;
    const std::string& pictureMark;
    const TagWriter::CoverSource& cover;

    // The marker of a copy that holds a picture or not.
    String markerText(bool picture) const { return String(marker + (picture ? pictureMark : ""), String::UTF8); }
};

void putMp4Extras(TagLib::MP4::Tag& tag, const Job& job)
{
    const bool replace = job.mode == TagMode::Database;
    if (job.tags.rating > 0)
        putFreeform(tag, "FMPS_Rating", fmpsRating(job.tags.rating), replace);
    if (job.tags.playCount > 0)
        putFreeform(tag, "FMPS_Playcount", String::number(job.tags.playCount), replace);
    const bool picture = putMp4Cover(tag, job.cover);
    if (!job.marker.empty())
        putFreeform(tag, TagWriter::kMarkerName, job.markerText(picture), true);
}

// ---- Saving ---------------------------------------------------------------------------

TagWriteResult unchanged(std::string reason)
{
    return {Outcome::Unchanged, std::move(reason)};
}

// What a save did: a write that failed throws, a save given up on after some
// writes leaves a damaged file. A save the tag library counts a success is
// none when the stream failed under it (a refused write, a failed read).
TagWriteResult saved(bool ok, TagFileStream& stream)
{
    if (ok)
        stream.flush();
    if (stream.error() && stream.written())
        throw std::system_error(stream.error(), std::generic_category(), "cannot write the tags");
    if (stream.error())
        return unchanged("the tags could not be saved: " + std::generic_category().message(stream.error()));
    if (!ok)
        return {stream.written() ? Outcome::Damaged : Outcome::Unchanged, "the tags could not be saved"};
    return {Outcome::Written, {}};
}

TagLib::ID3v2::Version versionKept(bool hadTag, const TagLib::ID3v2::Tag& tag)
{
    // A version 2.3 tag stays 2.3 for the players that read no other; new tags are 2.4.
    return hadTag && tag.header()->majorVersion() == 3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4;
}

// ---- The kinds --------------------------------------------------------------------------

void putId3Extras(TagLib::ID3v2::Tag& tag, const Job& job)
{
    putPlays(tag, job.tags, job.mode);
    const bool picture = putCover(tag, job.cover);
    if (!job.marker.empty())
        putUserText(tag, TagWriter::kMarkerName, job.markerText(picture), true);
}

TagWriteResult writeMpeg(TagFileStream& stream, const Job& job)
{
    TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
    if (!file.isValid() || file.firstFrameOffset() < 0)
        return unchanged("no MPEG audio found in it");
    const bool hadTag = file.hasID3v2Tag();
    const PropertyMap own = propertiesOf(file.ID3v2Tag()), ape = propertiesOf(file.APETag()), v1 = propertiesOf(file.ID3v1Tag());
    const PropertyMap chosen = chosenFields(presentFields({own, ape, v1}), job.tags, job.mode);
    TagLib::ID3v2::Tag& tag = *file.ID3v2Tag(true);
    putFields(tag, own, chosen);
    int others = 0;
    if (job.mode == TagMode::Database) {  // no older tag keeps other values
        if (file.hasID3v1Tag()) {
            putFields(*file.ID3v1Tag(), v1, chosen);
            others |= TagLib::MPEG::File::ID3v1;
        }
        if (file.hasAPETag()) {
            putFields(*file.APETag(), ape, chosen);
            others |= TagLib::MPEG::File::APE;
        }
    }
    putId3Extras(tag, job);
    return saved(file.save(TagLib::MPEG::File::ID3v2 | others, TagLib::File::StripNone, versionKept(hadTag, tag),
                           TagLib::File::DoNotDuplicate),
                 stream);
}

TagWriteResult writeMp4(TagFileStream& stream, const Job& job)
{
    TagLib::MP4::File file(&stream, false);
    if (!file.isValid() || !file.tag())
        return unchanged("it is not an MP4 file that can be read");
    TagLib::MP4::Tag& tag = *file.tag();
    const PropertyMap own = tag.properties();
    putFields(tag, own, chosenFields(presentFields({own}), job.tags, job.mode));
    putMp4Extras(tag, job);
    return saved(file.save(), stream);
}

TagWriteResult writeWav(TagFileStream& stream, const Job& job)
{
    TagLib::RIFF::WAV::File file(&stream, false);
    if (!file.isValid())
        return unchanged("it is not a WAV file that can be read");
    const bool hadTag = file.hasID3v2Tag();
    const PropertyMap own = propertiesOf(hadTag ? file.ID3v2Tag() : nullptr);
    const PropertyMap info = propertiesOf(file.hasInfoTag() ? file.InfoTag() : nullptr);
    const PropertyMap chosen = chosenFields(presentFields({own, info}), job.tags, job.mode);
    TagLib::ID3v2::Tag& tag = *file.ID3v2Tag();
    putFields(tag, own, chosen);
    int tags = TagLib::RIFF::WAV::File::ID3v2;
    if (job.mode == TagMode::Database && file.hasInfoTag()) {  // its INFO list keeps no other values
        putFields(*file.InfoTag(), info, chosen);
        tags |= TagLib::RIFF::WAV::File::Info;
    }
    putId3Extras(tag, job);
    return saved(file.save(static_cast<TagLib::RIFF::WAV::File::TagTypes>(tags), TagLib::File::StripNone, versionKept(hadTag, tag)),
                 stream);
}

TagWriteResult writeAiff(TagFileStream& stream, const Job& job)
{
    TagLib::RIFF::AIFF::File file(&stream, false);
    if (!file.isValid() || !file.tag())
        return unchanged("it is not an AIFF file that can be read");
    const bool hadTag = file.hasID3v2Tag();
    TagLib::ID3v2::Tag& tag = *file.tag();
    const PropertyMap own = propertiesOf(hadTag ? &tag : nullptr);
    putFields(tag, own, chosenFields(presentFields({own}), job.tags, job.mode));
    putId3Extras(tag, job);
    return saved(file.save(versionKept(hadTag, tag)), stream);
}

std::string userTextOf(TagLib::ID3v2::Tag* tag)
{
    const auto* frame = tag ? userText(*tag, TagWriter::kMarkerName) : nullptr;
    return frame && frame->fieldList().size() > 1 ? frame->fieldList()[1].to8Bit(true) : std::string();
}

}  // namespace

TagWriteResult TagWriter::write(const fs::path& file, TagKind kind) const
{
    if (kind == TagKind::None)
        return unchanged("no tags can be written into this kind of file");
    TagFileStream stream(file, TagFileStream::Access::ReadWrite);
    if (!stream.isOpen())
        return unchanged(std::generic_category().message(stream.error()));
    const Job job{m_tags, m_mode, m_marker, m_pictureMark, m_cover};
    switch (kind) {
    case TagKind::Mpeg: return writeMpeg(stream, job);
    case TagKind::Mp4: return writeMp4(stream, job);
    case TagKind::Wav: return writeWav(stream, job);
    case TagKind::Aiff: return writeAiff(stream, job);
    case TagKind::None: break;
    }
    return unchanged("no tags can be written into this kind of file");
}

std::optional<std::string> TagWriter::marker(const fs::path& file, TagKind kind)
{
    TagFileStream stream(file, TagFileStream::Access::Read);
    if (!stream.isOpen())
        return std::nullopt;
    switch (kind) {
    case TagKind::Mpeg: {
        TagLib::MPEG::File mpeg(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
        if (!mpeg.isValid() || mpeg.firstFrameOffset() < 0)
            return std::nullopt;
        return userTextOf(mpeg.ID3v2Tag());
    }
    case TagKind::Mp4: {
        TagLib::MP4::File mp4(&stream, false);
        if (!mp4.isValid() || !mp4.tag())
            return std::nullopt;
        const StringList values = mp4.tag()->item(kFreeform + kMarkerName).toStringList();
        return values.isEmpty() ? std::string() : values.front().to8Bit(true);
    }
    case TagKind::Wav: {
        TagLib::RIFF::WAV::File wav(&stream, false);
        return wav.isValid() ? std::optional(userTextOf(wav.hasID3v2Tag() ? wav.ID3v2Tag() : nullptr)) : std::nullopt;
    }
    case TagKind::Aiff: {
        TagLib::RIFF::AIFF::File aiff(&stream, false);
        return aiff.isValid() ? std::optional(userTextOf(aiff.hasID3v2Tag() ? aiff.tag() : nullptr)) : std::nullopt;
    }
    case TagKind::None: break;
    }
    return std::nullopt;
}

TagKind tagKindOf(const fs::path& file)
{
    const std::string extension = sonarchive::lowerAscii(file.extension().string());
    if (extension == ".mp3")
        return TagKind::Mpeg;
    for (const char* mp4 : {".m4a", ".m4b", ".m4p", ".mp4", ".m4v", ".mov"})
        if (extension == mp4)
            return TagKind::Mp4;
    if (extension == ".wav")
        return TagKind::Wav;
    if (extension == ".aif" || extension == ".aiff" || extension == ".aifc")
        return TagKind::Aiff;
    return TagKind::None;
}

}  // namespace trackcopy
