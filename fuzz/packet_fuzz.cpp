// Data packets as hosts hand them in: any bytes are decoded or refused with imp::Error, never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/dataset.h"
#include "platform/error.h"

// The module logs some of what it reads (a replaced character ...): it goes to a host folder that cannot exist,
// so the fuzzer measures the code, not the disk.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("IMP_HOST_DIR", "/proc/imp-fuzz-no-host-folder", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  imp::ClientDataSet ds;
  try {
    ds.LoadFromPacket(text);
    // What was read goes out and back in unchanged.
    const std::string saved = ds.SavePacket();
    imp::ClientDataSet back;
    back.LoadFromPacket(saved);
    if (back.SavePacket() != saved) __builtin_trap();
  } catch (const imp::Error&) {
  }
  return 0;
}
