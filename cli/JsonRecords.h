#pragma once

#include <sonarchive/Sonarchive.h>

#include <nlohmann/json.hpp>

namespace cli {

// JSON forms of the library's records: keys are the field names, texts are
// UTF-8, byte strings are text with one character per byte, large raw copies
// are given by their size.
nlohmann::ordered_json toJson(const sonarchive::TrackInfo& info);
nlohmann::ordered_json toJson(const sonarchive::MHBD& header);
nlohmann::ordered_json toJson(const sonarchive::MHSD_T& section);
nlohmann::ordered_json toJson(const sonarchive::MHSD_P& section);
nlohmann::ordered_json toJson(const sonarchive::MHSD_A& section);
nlohmann::ordered_json toJson(const sonarchive::MHSD_NP& section);

}  // namespace cli
