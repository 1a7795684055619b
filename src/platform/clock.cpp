#include "platform/clock.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

#include "platform/rtl.h"

namespace imp::clock {

double Now() {
  if (const char* fixed = std::getenv("IMP_NOW"); fixed && *fixed) {
    std::string t(fixed);
    if (t.size() > 19) t.resize(19);  // milliseconds read as 000
    if (auto v = ParseIsoDateTime(t)) return *v;
  }
  auto now = std::chrono::system_clock::now();
  auto secs = std::chrono::system_clock::to_time_t(now);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm tm{};
  localtime_r(&secs, &tm);
  return EncodeDateTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                        static_cast<int>(ms));
}

double Date() {
  return std::floor(Now());
}

double pause_scale() {
  const char* s = std::getenv("IMP_PAUSE_SCALE");
  if (!s || !*s) return 1;
  char* end = nullptr;
  double f = std::strtod(s, &end);
  if (end == s || *end || !std::isfinite(f)) return 1;
  return f < 0 ? 0 : f;
}

void pause_ms(int ms) {
  if (ms <= 0) return;
  double scaled = ms * pause_scale();
  if (scaled <= 0) return;
  std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long long>(scaled * 1000)));
}

}  // namespace imp::clock
