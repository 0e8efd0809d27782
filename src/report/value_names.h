#pragma once
// Value-to-name tables: one row type and one lookup for every table that names codes
// (frame and packet types, protocol numbers, condition values).
#include <cstdint>
#include <span>

namespace qv {

// A named value. Tables that name a value two ways (a command and a response name, an
// SD and an RD name) keep the second name too; nullptr means no name.
struct ValueName {
  int32_t value;
  const char* name;
  const char* secondName = nullptr;
};

using ValueNames = std::span<const ValueName>;

// Tables keep their rows in ascending value order, which also rules out a value listed
// twice; each table checks this at compile time.
constexpr bool ascendingValues(ValueNames table) {
  for (size_t i = 1; i < table.size(); ++i) {
    if (table[i - 1].value >= table[i].value) return false;
  }
  return true;
}

// The row of value, or nullptr when the table does not list it.
constexpr const ValueName* findValue(ValueNames table, int32_t value) {
  size_t low = 0;
  size_t high = table.size();
  while (low < high) {
    const size_t middle = low + (high - low) / 2;
    if (table[middle].value < value) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low < table.size() && table[low].value == value ? &table[low] : nullptr;
}

// The (first or second) name of value, or nullptr when there is none.
constexpr const char* valueName(ValueNames table, int32_t value, bool second = false) {
  const ValueName* row = findValue(table, value);
  if (row == nullptr) return nullptr;
  return second ? row->secondName : row->name;
}

}  // namespace qv
