// Material files come from resource folders and packs: fuzz building the values, then
// draw from every one of them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "render/material/mtl_mgr.h"

namespace {

template <class T>
void drawAll(MtlData& m) {
  for (auto& [name, value] : m.table<T>()) {
    for (uint32_t i : {0u, 1u, IFMtl<T>::kRandomIndex, value->count()}) value->get(i);
    value->elements();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MtlData m;
  std::string why;
  m.loadFromText(std::string_view(reinterpret_cast<const char*>(data), size), &why);
  drawAll<std::string>(m);
  drawAll<int32_t>(m);
  drawAll<float>(m);
  drawAll<Vec3>(m);
  drawAll<Vec4>(m);
  drawAll<MtlHandle>(m);
  return 0;
}
