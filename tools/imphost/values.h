// Values of job files and of the C ABI: texts in Windows-1252, date-time serials, variants.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "imp00000.h"

namespace imphost {

// A job file or an argument in it that imphost cannot use; the message says why.
struct JobError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Windows-1252 <-> UTF-8. The five bytes Windows-1252 leaves undefined (81 8D 8F 90 9D) map to the C1
// controls of the same value, both ways.
std::string cp1252_to_utf8(std::string_view cp1252);
std::optional<std::string> utf8_to_cp1252(std::string_view utf8);

// "YYYY-MM-DD[Thh:mm[:ss[.zzz]]]" as days from 1899-12-30 (local time: no zone conversion), and back.
std::optional<double> parse_date_time(std::string_view iso);
std::string format_date_time(double serial);

std::string base64(std::string_view bytes);

// One argument of a job file, as the JSON says it.
struct JobValue {
  enum class Type { Empty, Null, Bool, Int, Double, DateTime, Text, Bytes, Array };
  Type type = Type::Empty;
  bool b = false;
  int32_t i = 0;
  double d = 0;                 // Double and DateTime
  std::string text;             // Text: UTF-8 as in the file; Bytes: the data packet
  std::vector<JobValue> items;  // Array
};

// The JSON of a job argument as a value; packet paths are relative to base_dir.
JobValue parse_job_value(const nlohmann::json& j, const std::filesystem::path& base_dir);

// A variant built by imphost (the caller's side of the ABI): imphost allocates and frees it.
class HostVariant {
 public:
  explicit HostVariant(const JobValue& value);  // throws JobError for a text outside Windows-1252
  ~HostVariant();
  HostVariant(const HostVariant&) = delete;
  HostVariant& operator=(const HostVariant&) = delete;
  const imp_variant* get() const { return &v_; }

 private:
  imp_variant v_{};
};

// A variant as JSON, in the notation of job files: {"empty": true}, null, true, {"int": 5}, 2.5,
// {"date": "..."}, "text", {"packet": {...}} (bytes holding a JSON object), {"bytes": "base64"}, [...].
nlohmann::ordered_json variant_to_json(const imp_variant& v);

}  // namespace imphost
