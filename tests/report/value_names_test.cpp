// The one lookup of every value-to-name table.
#include "report/value_names.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace qv {
namespace {

constexpr ValueName kSparse[] = {
    {-5, "MINUS"},
    {0, "ZERO", "NIL"},
    {3, nullptr, "RESPONSE"},
    {0x7FFF, "TOP", "TOP"},
};
constexpr ValueName kRepeated[] = {{1, "A"}, {1, "B"}};
constexpr ValueName kDescending[] = {{2, "A"}, {1, "B"}};
static_assert(ascendingValues(kSparse));
static_assert(!ascendingValues(kRepeated) && !ascendingValues(kDescending));

TEST(ValueNames, FindsEveryListedValueAndNothingBetweenOrAround) {
  struct Case {
    int32_t value;
    const char* name;
    const char* secondName;
  };
  const Case cases[] = {
      {-5, "MINUS", nullptr}, {0, "ZERO", "NIL"},         {3, nullptr, "RESPONSE"},
      {0x7FFF, "TOP", "TOP"}, {-6, nullptr, nullptr},     {-1, nullptr, nullptr},
      {1, nullptr, nullptr},  {0x8000, nullptr, nullptr}, {INT32_MIN, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(valueName(kSparse, c.value), c.name) << c.value;
    EXPECT_STREQ(valueName(kSparse, c.value, true), c.secondName) << c.value;
  }
  EXPECT_EQ(findValue(kSparse, 3), &kSparse[2]);
  EXPECT_EQ(findValue(ValueNames{}, 0), nullptr);
}

}  // namespace
}  // namespace qv
