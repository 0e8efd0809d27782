#pragma once
// Record-by-record listing in the Normal and Line state print formats.
#include "driver/converter.h"

namespace qv {

class NormalListingConverter : public Converter {
 public:
  using Converter::Converter;
  int run(int32_t limit) override;
};

}  // namespace qv
