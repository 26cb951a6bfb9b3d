#include "render/state/vertex_formats.h"

#include <array>

namespace {

using E = qxgfx::VertexElement;
namespace g = qxgfx;

constexpr E kModel[] = {{0, 0, g::D3DDECLTYPE_FLOAT3, 0, g::D3DDECLUSAGE_POSITION, 0},
                        {0, 12, g::D3DDECLTYPE_FLOAT3, 0, g::D3DDECLUSAGE_NORMAL, 0},
                        {0, 24, g::D3DDECLTYPE_FLOAT2, 0, g::D3DDECLUSAGE_TEXCOORD, 0},
                        {0, 32, g::D3DDECLTYPE_FLOAT2, 0, g::D3DDECLUSAGE_TEXCOORD, 2},
                        {1, 0, g::D3DDECLTYPE_FLOAT1, 0, g::D3DDECLUSAGE_TEXCOORD, 1}};
constexpr E kSkin[] = {{0, 0, g::D3DDECLTYPE_FLOAT3, 0, g::D3DDECLUSAGE_POSITION, 0},
                       {0, 12, g::D3DDECLTYPE_FLOAT3, 0, g::D3DDECLUSAGE_NORMAL, 0},
                       {0, 24, g::D3DDECLTYPE_FLOAT2, 0, g::D3DDECLUSAGE_TEXCOORD, 0},
                       {0, 32, g::D3DDECLTYPE_FLOAT4, 0, g::D3DDECLUSAGE_TEXCOORD, 1},
                       {0, 48, g::D3DDECLTYPE_FLOAT4, 0, g::D3DDECLUSAGE_TEXCOORD, 2}};
constexpr E kHud[] = {{0, 0, g::D3DDECLTYPE_FLOAT3, 0, g::D3DDECLUSAGE_POSITION, 0},
                      {0, 12, g::D3DDECLTYPE_D3DCOLOR, 0, g::D3DDECLUSAGE_COLOR, 0},
                      {1, 0, g::D3DDECLTYPE_FLOAT3, 0, g::D3DDECLUSAGE_TEXCOORD, 0}};
constexpr E kRay[] = {{0, 0, g::D3DDECLTYPE_FLOAT3, 0, g::D3DDECLUSAGE_POSITION, 0},
                      {0, 12, g::D3DDECLTYPE_FLOAT3, 0, g::D3DDECLUSAGE_NORMAL, 0},
                      {0, 24, g::D3DDECLTYPE_D3DCOLOR, 0, g::D3DDECLUSAGE_COLOR, 0}};
constexpr E kMatP[] = {{0, 0, g::D3DDECLTYPE_FLOAT3, 0, g::D3DDECLUSAGE_POSITION, 0},
                       {0, 12, g::D3DDECLTYPE_FLOAT2, 0, g::D3DDECLUSAGE_TEXCOORD, 0},
                       {0, 20, g::D3DDECLTYPE_FLOAT2, 0, g::D3DDECLUSAGE_TEXCOORD, 1}};

struct Format {
  std::string_view name;
  std::span<const E> elements;
};
constexpr std::array<Format, kVertexFormatCount> kFormats = {
    {{"ModelVtx", kModel}, {"SkinVtx", kSkin}, {"HudVtx", kHud}, {"RayVtx", kRay}, {"MatPVtx", kMatP}}};

}  // namespace

int32_t vertexFormatIndex(std::string_view name) {
  for (size_t i = 0; i < kFormats.size(); ++i) {
    if (kFormats[i].name == name) return static_cast<int32_t>(i);
  }
  return -1;
}

std::span<const qxgfx::VertexElement> vertexFormatElements(int32_t index) {
  if (index < 0 || index >= kVertexFormatCount) return {};
  return kFormats[static_cast<size_t>(index)].elements;
}

uint32_t computeStreamStrides(std::span<const qxgfx::VertexElement> elements, uint16_t strides[16]) {
  for (int i = 0; i < 16; ++i) strides[i] = 0;
  uint32_t stream = 0;
  for (const qxgfx::VertexElement& e : elements) {
    if (e.stream >= 16 || e.stream < stream) continue;
    stream = e.stream;
    strides[stream] = static_cast<uint16_t>(strides[stream] + qxgfx::declTypeSize(e.type));
  }
  return elements.empty() ? 0 : stream + 1;
}

bool prepareVertexFormat(VertexFormatRecord& record, int32_t index, qxgfx::Device& device) {
  if (record.decl) return true;
  const auto elements = vertexFormatElements(index);
  if (elements.empty()) return false;
  record.streamCount = computeStreamStrides(elements, record.strides);
  record.decl = device.createVertexDeclaration(elements.data(), elements.size());
  return bool(record.decl);
}
