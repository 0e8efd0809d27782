// The classification table against the rules it is built from, for every cell: a byte
// the rules treat apart but the table does not would classify wrongly only there.
#include "capture/cell_rules.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(CellRules, TableGivesTheRulesForEveryCell) {
  constexpr FramingMode kModes[] = {FramingMode::Hdlc, FramingMode::Ppp,  FramingMode::Sir,
                                    FramingMode::I2c,  FramingMode::Char, FramingMode::Spi};
  int mismatches = 0;
  for (FramingMode mode : kModes) {
    for (uint32_t cell = 0; cell <= 0xFFFF; ++cell) {
      const auto c = static_cast<uint16_t>(cell);
      const CellClass byRules = cell_rules::classifyByRules(mode, c);
      const CellClass byTable = classifyCell(mode, c);
      const bool irdaBoundary = cell_rules::classifyByRules(FramingMode::Hdlc, c).opens ||
                                cell_rules::classifyByRules(FramingMode::Sir, c).opens;
      if (byRules.event != byTable.event || byRules.opens != byTable.opens ||
          irdaBoundary != byTable.irdaBoundary) {
        if (++mismatches <= 5)
          ADD_FAILURE() << "mode " << static_cast<int>(mode) << " cell 0x" << std::hex << cell;
      }
    }
  }
  EXPECT_EQ(0, mismatches);
}

}  // namespace
}  // namespace qv
