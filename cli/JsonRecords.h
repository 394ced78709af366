#pragma once

#include <sonarchive/Sonarchive.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>

namespace cli {

// JSON forms of the library's records: keys are the field names, texts are
// UTF-8, byte strings are text with one character per byte, large raw copies
// are given by their size.
nlohmann::ordered_json toJson(const sonarchive::TrackInfo& info);

// An array of tracks written as they come, formatted exactly as toJson() of
// each, put in an array and dumped with an indent of 2 would be, without
// building the document.
class TrackJsonStream {
public:
    explicit TrackJsonStream(std::FILE* out);
    ~TrackJsonStream();
    TrackJsonStream(const TrackJsonStream&) = delete;
    TrackJsonStream& operator=(const TrackJsonStream&) = delete;

    void add(const sonarchive::TrackInfo& info);
    // Ends the array and writes what is left; also done when the stream goes.
    void finish();

private:
    void flush();
    static constexpr std::size_t kFlushAt = 1 << 16;
    std::FILE* m_out;
    std::string m_buffer;
    std::size_t m_count = 0;
    bool m_finished = false;
};
nlohmann::ordered_json toJson(const sonarchive::MHBD& header);
nlohmann::ordered_json toJson(const sonarchive::MHSD_T& section);
nlohmann::ordered_json toJson(const sonarchive::MHSD_P& section);
nlohmann::ordered_json toJson(const sonarchive::MHSD_A& section);
nlohmann::ordered_json toJson(const sonarchive::MHSD_NP& section);
// The files beside the database in which the device noted plays since its last
// sync, as read: headers and entries (device clock values as they stand).
nlohmann::ordered_json toJson(const sonarchive::DeviceNotes& notes);

}  // namespace cli
