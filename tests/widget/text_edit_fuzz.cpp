// Script edits reach a HUDText's line bookkeeping in any order: run the bytes as an edit
// sequence and stop at the first step after which the bookkeeping is wrong.
#include <cstdio>
#include <cstdlib>

#include "tests/widget/text_edit_driver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  widgettest::EditDriver driver;
  widgettest::EditBytes in(data, size);
  while (in.more()) {
    const std::string failed = driver.step(in);
    if (!failed.empty()) {
      std::fprintf(stderr, "HUDText edit: %s\n", failed.c_str());
      std::abort();
    }
  }
  return 0;
}
