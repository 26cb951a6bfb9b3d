// RectInfo: where a rectangle-like widget sits (left-top, size, depth), its opacity and
// colour, and the texture it shows. Scripts may also make free-standing records.
#pragma once
#include <cstdint>

#include "render/texture/texture_mgr.h"

namespace hudwidget {

struct RectInfo {
  TextureMgr::TexHandle hTex;
  float ofsX = 0, ofsY = 0;
  float width = 0, height = 0;
  float depth = 0;  // a larger depth lies behind
  float alpha = 0;
  uint32_t color = 0;

  void setSize(float w, float h) {
    ofsX = ofsY = 0;
    width = w;
    height = h;
  }
  // Placement only: the texture and alpha stay.
  void copyPlacement(const RectInfo& from) {
    ofsX = from.ofsX;
    ofsY = from.ofsY;
    width = from.width;
    height = from.height;
    depth = from.depth;
    color = from.color;
  }
  void clear() { *this = RectInfo(); }
};

}  // namespace hudwidget
