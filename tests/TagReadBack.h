#pragma once

// The tags of a copy as TagLib reads them, for the tests of copies with tags.

#include <taglib/aifffile.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/popularimeterframe.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>

#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace testsupport {

// What TagLib reads of a copy: the common fields, the user texts (TXXX or MP4
// freeform), the POPM frames and the pictures.
struct ReadBack {
    std::map<std::string, std::string> fields;  // first value of each property
    std::map<std::string, std::string> userTexts;
    std::vector<std::tuple<std::string, int, unsigned>> popularimeters;  // email, rating, counter
    std::vector<std::string> pictures;
    std::map<std::string, std::string> infoFields;  // WAV: the INFO list

    void takeFields(const TagLib::PropertyMap& properties, std::map<std::string, std::string>& into)
    {
        for (const auto& [key, values] : properties)
            if (!values.isEmpty())
                into[key.to8Bit(true)] = values.front().to8Bit(true);
    }
    void takeId3(TagLib::ID3v2::Tag* tag)
    {
        if (!tag)
            return;
        takeFields(tag->properties(), fields);
        for (auto* frame : tag->frameList("TXXX"))
            if (auto* user = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame*>(frame))
                userTexts[user->description().to8Bit(true)] = user->fieldList().size() > 1 ? user->fieldList()[1].to8Bit(true) : "";
        for (auto* frame : tag->frameList("POPM"))
            if (auto* popm = dynamic_cast<TagLib::ID3v2::PopularimeterFrame*>(frame))
                popularimeters.emplace_back(popm->email().to8Bit(true), popm->rating(), popm->counter());
        for (auto* frame : tag->frameList("APIC"))
            if (auto* picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frame);
                picture && picture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover)
                pictures.emplace_back(picture->picture().data(), picture->picture().size());
    }
    void takeMp4(TagLib::MP4::Tag* tag)
    {
        takeFields(tag->properties(), fields);
        for (const auto& [key, item] : tag->itemMap())
            if (key.startsWith("----:com.apple.iTunes:"))
                userTexts[key.substr(22).to8Bit(true)] = item.toStringList().front().to8Bit(true);
        if (tag->contains("covr"))
            for (const auto& picture : tag->item("covr").toCoverArtList())
                pictures.emplace_back(picture.data().data(), picture.data().size());
    }

    explicit ReadBack(const std::filesystem::path& file)
    {
        const std::string extension = file.extension().string();
        if (extension == ".mp3") {
            TagLib::MPEG::File mpeg(file.c_str(), false);
            takeId3(mpeg.ID3v2Tag());
        } else if (extension == ".wav") {
            TagLib::RIFF::WAV::File wav(file.c_str(), false);
            takeId3(wav.hasID3v2Tag() ? wav.ID3v2Tag() : nullptr);
            if (wav.hasInfoTag())
                takeFields(wav.InfoTag()->properties(), infoFields);
        } else if (extension == ".aiff") {
            TagLib::RIFF::AIFF::File aiff(file.c_str(), false);
            takeId3(aiff.hasID3v2Tag() ? aiff.tag() : nullptr);
        } else {
            TagLib::MP4::File mp4(file.c_str(), false);
            if (mp4.isValid())
                takeMp4(mp4.tag());
        }
    }
    std::string field(const char* key) const { return fields.count(key) ? fields.at(key) : "(none)"; }
    // The common fields among those read back.
    std::map<std::string, std::string> common() const
    {
        std::map<std::string, std::string> values;
        for (const char* key : {"TITLE", "ARTIST", "ALBUM", "GENRE", "COMPOSER", "COMMENT", "DATE", "TRACKNUMBER", "DISCNUMBER"})
            if (fields.count(key))
                values[key] = fields.at(key);
        return values;
    }
};

}  // namespace testsupport
