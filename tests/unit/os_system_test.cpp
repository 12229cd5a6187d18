// Local time in calendar fields, in a zone the test chooses.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>

#include "platform/os.hpp"
#include "support/test_os.hpp"

namespace grabline::os {
namespace {

// ---- local time ----------------------------------------------------------------------

std::string Calendar(const LocalTime &t) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d day %d %02d:%02d:%02d.%03d", t.year, t.month,
                t.day, t.day_of_year, t.hour, t.minute, t.second, t.millisecond);
  return text;
}

TEST(OsTime, CalendarFieldsOfFixedInstants) {
  std::optional<testing::ScopedTimeZone> zone;
  zone.emplace("UTC");
  if (!zone->applied()) GTEST_SKIP() << "the system's time zone is not UTC";
  EXPECT_EQ(Calendar(LocalTimeAt(1735689599123)), "2024-12-31 day 366 23:59:59.123");
  EXPECT_EQ(Calendar(LocalTimeAt(1735689600000)), "2025-01-01 day 1 00:00:00.000");
  EXPECT_EQ(Calendar(LocalTimeAt(1709208000000)), "2024-02-29 day 60 12:00:00.000");
  EXPECT_EQ(Calendar(LocalTimeAt(1704067199999)), "2023-12-31 day 365 23:59:59.999");
  // Before the epoch the milliseconds still count up within their second.
  EXPECT_EQ(Calendar(LocalTimeAt(-1)), "1969-12-31 day 365 23:59:59.999");
  zone.reset();
  zone.emplace("XYZ-2");         // two hours east of UTC, no daylight saving
  if (!zone->applied()) return;  // a process on Windows cannot choose its zone
  EXPECT_EQ(Calendar(LocalTimeAt(1735689599123)), "2025-01-01 day 1 01:59:59.123");
}

// The clock read as calendar fields agrees with the fields of the clock read in
// milliseconds: the system's own calendar and ours (day of the year included).
TEST(OsTime, NowInCalendarFieldsAgreesWithNowInMilliseconds) {
  const auto minutes = [](const LocalTime &t) {
    const std::string text = Calendar(t);
    return text.substr(0, text.size() - 6);  // without ":ss.mmm"
  };
  for (int tries = 0; tries < 3; ++tries) {
    const LocalTime before = LocalTimeAt(NowMs());
    const LocalTime now = GetLocalTime();
    const LocalTime after = LocalTimeAt(NowMs());
    if (minutes(before) != minutes(after)) continue;  // a minute began meanwhile
    EXPECT_EQ(minutes(now), minutes(before));
    return;
  }
  FAIL() << "the minute changed three times in a row";
}

}  // namespace
}  // namespace grabline::os
