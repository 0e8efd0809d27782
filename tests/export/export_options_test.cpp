// The option values the command line hands to the export.
#include <gtest/gtest.h>

#include <string>

#include "export/export_time.h"

namespace qv {
namespace {

TEST(ExportOptionValues, CounterTicksTakeTheirUnit) {
  struct Row {
    const char* text;
    bool valid;
    uint64_t nanoseconds;
  };
  const Row rows[] = {
      {"100us", true, 100000},
      {"1ms", true, 1000000},
      {"250ns", true, 250},
      {"2s", true, 2000000000},
      {"1us", true, 1000},
      {"0us", false, 0},
      {"us", false, 0},
      {"10", false, 0},
      {"5 ms", false, 0},
      {"-1ms", false, 0},
      {"99999999999999s", false, 0},
  };
  for (const Row& row : rows) {
    uint64_t ns = 0;
    EXPECT_EQ(parseCounterTick(row.text, ns), row.valid) << row.text;
    if (row.valid) {
      EXPECT_EQ(ns, row.nanoseconds) << row.text;
    }
  }
}

TEST(ExportOptionValues, StartDatesAreUtcSeconds) {
  struct Row {
    const char* text;
    bool valid;
    int64_t seconds;
  };
  const Row rows[] = {
      {"1970-01-01T00:00:00", true, 0},
      {"2026-12-08T10:00:00", true, 1796724000},
      {"2000-02-29T23:59:59", true, 951868799},
      {"2026-13-01T00:00:00", false, 0},
      {"2026-12-08", false, 0},
      {"2026-12-08T10:00", false, 0},
  };
  for (const Row& row : rows) {
    int64_t seconds = -1;
    EXPECT_EQ(parseStartDate(row.text, seconds), row.valid) << row.text;
    if (row.valid) {
      EXPECT_EQ(seconds, row.seconds) << row.text;
    }
  }
}

}  // namespace
}  // namespace qv
