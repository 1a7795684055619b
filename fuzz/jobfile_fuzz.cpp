// imphost's job-file reader: any JSON becomes the job's values or a JobError, never a crash or an unbounded
// recursion.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string_view>

#include "values.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  nlohmann::json j = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
  if (j.is_discarded()) return 0;
  // A job file's "args" are read one by one, as imphost does; any other value is read whole.
  const nlohmann::json* args = j.is_object() && j.contains("args") && j["args"].is_array() ? &j["args"] : nullptr;
  const std::size_t n = args ? args->size() : 1;
  for (std::size_t k = 0; k < n; ++k) {
    try {
      // Packet paths stay inside a folder that does not exist: nothing to read.
      imphost::JobValue v = imphost::parse_job_value(args ? (*args)[k] : j, "/nonexistent-imp-fuzz");
      imphost::HostVariant held(v);
      (void)imphost::variant_to_json(*held.get()).dump();
    } catch (const imphost::JobError&) {
    } catch (const std::exception&) {
    }
  }
  return 0;
}
