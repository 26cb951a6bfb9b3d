#include "script/qx/qx_integer_ops.h"

#include <cmath>

#include "script/lua/stack_readers.h"

namespace qxint {

uint32_t pow(uint32_t a, uint32_t b) {
  return numberToU32(std::pow(static_cast<double>(asSigned(a)), static_cast<double>(asSigned(b))));
}

}  // namespace qxint
