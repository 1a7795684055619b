// Filter expressions: any text is parsed, bound and evaluated over a few rows, or refused with imp::Error.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/dataset.h"
#include "platform/error.h"
#include "platform/filter.h"

// The module logs some of what it reads (a replaced character ...): it goes to a host folder that cannot exist,
// so the fuzzer measures the code, not the disk.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("IMP_HOST_DIR", "/proc/imp-fuzz-no-host-folder", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<imp::FieldDef> fields = {
      {"NRCOMANDA", imp::FieldType::String, 10},   {"QTPRODCOMVEN", imp::FieldType::Float, 0},
      {"NRSEQITEM", imp::FieldType::Integer, 0},   {"IDRETIRADA", imp::FieldType::Boolean, 0},
      {"DTABERCAIX", imp::FieldType::DateTime, 0}, {"NR SEQ", imp::FieldType::String, 3}};
  static const std::vector<std::vector<imp::FieldValue>> rows = {
      {std::string("0012"), 2.5, int32_t{7}, true, 46000.5, std::string("001")},
      {std::monostate{}, std::monostate{}, std::monostate{}, std::monostate{}, std::monostate{}, std::monostate{}},
      {std::string("D'Avila"), -0.0, int32_t{-1}, false, 0.0, std::string("")}};
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    imp::FilterExpression f = imp::FilterExpression::Parse(text);
    f.Bind(fields, size % 2 == 0);
    for (const auto& row : rows) (void)f.Matches(row);
  } catch (const imp::Error&) {
  }
  return 0;
}
