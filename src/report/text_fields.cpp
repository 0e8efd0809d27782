#include "report/text_fields.h"

namespace qv {

char* hexDigits(char* buf, int n, uint32_t value) {
  for (int i = 0; i < n; ++i) {
    const int shift = 4 * (n - 1 - i);
    buf[i] = shift < 32 ? kUpperHexDigits[(value >> shift) & 0xF] : '0';
  }
  buf[n > 0 ? n : 0] = '\0';
  return buf;
}

}  // namespace qv
