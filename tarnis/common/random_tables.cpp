#include "tarnis/common/random_tables.h"

#include <memory>

namespace tarnis {

namespace {

std::unique_ptr<RandomTable> Fill(uint32_t seed) {
  auto table = std::make_unique<RandomTable>();
  uint32_t x = seed;
  for (uint16_t& entry : *table) {
    x = Lcg(x);
    entry = static_cast<uint16_t>(x);
  }
  return table;
}

}  // namespace

// Function-local statics are initialised exactly once even when several
// render threads ask at the same time.
const RandomTable& RandomTableA() {
  static const std::unique_ptr<RandomTable> table = Fill(55535);
  return *table;
}

const RandomTable& RandomTableB() {
  static const std::unique_ptr<RandomTable> table = Fill(1024);
  return *table;
}

}  // namespace tarnis
