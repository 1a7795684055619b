// The module's clock and pauses.
// IMP_NOW (an ISO date-time such as 2026-12-09T12:30:00) fixes the clock, read at every call, so tests and
// previews are reproducible. IMP_PAUSE_SCALE (a factor, default 1; 0 makes pauses instant) scales every pause
// the documents make.
#pragma once

namespace imp::clock {

// Local date and time as a date-time serial (days from 1899-12-30).
double Now();
// Today at midnight.
double Date();
// The factor of IMP_PAUSE_SCALE (1 when unset or not a number; never negative).
double pause_scale();
// Sleeps `ms` milliseconds times the pause factor.
void pause_ms(int ms);

}  // namespace imp::clock
