// The five named vertex formats a technique can ask for with its "SYS_VType" annotation,
// and the per-format record the application keeps: declaration, stream count, strides.
#pragma once
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/gfx/device.h"

constexpr int32_t kVertexFormatCount = 5;

// Index of the format of that exact name ("ModelVtx", "SkinVtx", "HudVtx", "RayVtx",
// "MatPVtx"), or -1.
int32_t vertexFormatIndex(std::string_view name);
std::span<const qxgfx::VertexElement> vertexFormatElements(int32_t index);

// Walks the elements in order from stream 0: an element of the current stream adds its
// type's size to that stream's stride; one of a later stream moves on to it. Gives the
// number of streams (the last reached plus 1); other strides are 0.
uint32_t computeStreamStrides(std::span<const qxgfx::VertexElement> elements, uint16_t strides[16]);

struct VertexFormatRecord {
  qxgfx::Ref<qxgfx::VertexDecl> decl;  // made the first time a technique names the format
  uint32_t streamCount = 0;
  uint16_t strides[16] = {};
};

// Makes the record's declaration on the device once; false when it cannot be made.
bool prepareVertexFormat(VertexFormatRecord& record, int32_t index, qxgfx::Device& device);
