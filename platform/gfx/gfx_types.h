// Constants and plain records of the graphics device. The device mirrors the Direct3D 9
// calls the engine makes, so the numbers are the ones Direct3D 9 uses: engine code and
// data written for that API keep their meaning here.
#pragma once
#include <cstdint>

namespace qxgfx {

// Results: 0 succeeds, negative values fail.
constexpr int32_t D3D_OK = 0;
constexpr int32_t D3DERR_INVALIDCALL = -2005530516;    // 0x8876086C
constexpr int32_t D3DERR_NOTAVAILABLE = -2005530518;   // 0x8876086A
constexpr int32_t E_OUTOFMEMORY = -2147024882;         // 0x8007000E

// Primitive types.
constexpr uint32_t D3DPT_POINTLIST = 1;
constexpr uint32_t D3DPT_LINELIST = 2;
constexpr uint32_t D3DPT_LINESTRIP = 3;
constexpr uint32_t D3DPT_TRIANGLELIST = 4;
constexpr uint32_t D3DPT_TRIANGLESTRIP = 5;
constexpr uint32_t D3DPT_TRIANGLEFAN = 6;

// Lock flags.
constexpr uint32_t D3DLOCK_READONLY = 0x10;
constexpr uint32_t D3DLOCK_NOOVERWRITE = 0x1000;
constexpr uint32_t D3DLOCK_DISCARD = 0x2000;

// Resource usages.
constexpr uint32_t D3DUSAGE_RENDERTARGET = 0x1;
constexpr uint32_t D3DUSAGE_DEPTHSTENCIL = 0x2;
constexpr uint32_t D3DUSAGE_WRITEONLY = 0x8;
constexpr uint32_t D3DUSAGE_DYNAMIC = 0x200;
constexpr uint32_t D3DUSAGE_AUTOGENMIPMAP = 0x400;

// Memory pools.
constexpr uint32_t D3DPOOL_DEFAULT = 0;
constexpr uint32_t D3DPOOL_MANAGED = 1;
constexpr uint32_t D3DPOOL_SYSTEMMEM = 2;
constexpr uint32_t D3DPOOL_SCRATCH = 3;

// Pixel and index formats.
constexpr uint32_t makeFourCC(char a, char b, char c, char d) {
  return uint32_t(uint8_t(a)) | (uint32_t(uint8_t(b)) << 8) | (uint32_t(uint8_t(c)) << 16) |
         (uint32_t(uint8_t(d)) << 24);
}
constexpr uint32_t D3DFMT_UNKNOWN = 0;
constexpr uint32_t D3DFMT_A8R8G8B8 = 21;
constexpr uint32_t D3DFMT_X8R8G8B8 = 22;
constexpr uint32_t D3DFMT_R5G6B5 = 23;
constexpr uint32_t D3DFMT_A1R5G5B5 = 25;
constexpr uint32_t D3DFMT_A4R4G4B4 = 26;
constexpr uint32_t D3DFMT_A8 = 28;
constexpr uint32_t D3DFMT_A8B8G8R8 = 32;
constexpr uint32_t D3DFMT_L8 = 50;
constexpr uint32_t D3DFMT_A8L8 = 51;
constexpr uint32_t D3DFMT_D24S8 = 75;
constexpr uint32_t D3DFMT_D16 = 80;
constexpr uint32_t D3DFMT_INDEX16 = 101;
constexpr uint32_t D3DFMT_INDEX32 = 102;
constexpr uint32_t D3DFMT_DXT1 = makeFourCC('D', 'X', 'T', '1');
constexpr uint32_t D3DFMT_DXT3 = makeFourCC('D', 'X', 'T', '3');
constexpr uint32_t D3DFMT_DXT5 = makeFourCC('D', 'X', 'T', '5');

// Vertex declarations.
constexpr uint8_t D3DDECLTYPE_FLOAT1 = 0;
constexpr uint8_t D3DDECLTYPE_FLOAT2 = 1;
constexpr uint8_t D3DDECLTYPE_FLOAT3 = 2;
constexpr uint8_t D3DDECLTYPE_FLOAT4 = 3;
constexpr uint8_t D3DDECLTYPE_D3DCOLOR = 4;
constexpr uint8_t D3DDECLTYPE_UBYTE4 = 5;
constexpr uint8_t D3DDECLTYPE_SHORT2 = 6;
constexpr uint8_t D3DDECLTYPE_SHORT4 = 7;
constexpr uint8_t D3DDECLTYPE_UBYTE4N = 8;
constexpr uint8_t D3DDECLTYPE_SHORT2N = 9;
constexpr uint8_t D3DDECLTYPE_SHORT4N = 10;
constexpr uint8_t D3DDECLTYPE_USHORT2N = 11;
constexpr uint8_t D3DDECLTYPE_USHORT4N = 12;
constexpr uint8_t D3DDECLTYPE_UDEC3 = 13;
constexpr uint8_t D3DDECLTYPE_DEC3N = 14;
constexpr uint8_t D3DDECLTYPE_FLOAT16_2 = 15;
constexpr uint8_t D3DDECLTYPE_FLOAT16_4 = 16;
constexpr uint8_t D3DDECLTYPE_UNUSED = 17;

constexpr uint8_t D3DDECLMETHOD_DEFAULT = 0;

constexpr uint8_t D3DDECLUSAGE_POSITION = 0;
constexpr uint8_t D3DDECLUSAGE_BLENDWEIGHT = 1;
constexpr uint8_t D3DDECLUSAGE_BLENDINDICES = 2;
constexpr uint8_t D3DDECLUSAGE_NORMAL = 3;
constexpr uint8_t D3DDECLUSAGE_TEXCOORD = 5;
constexpr uint8_t D3DDECLUSAGE_COLOR = 10;

struct VertexElement {
  uint16_t stream = 0;
  uint16_t offset = 0;
  uint8_t type = D3DDECLTYPE_FLOAT3;
  uint8_t method = D3DDECLMETHOD_DEFAULT;
  uint8_t usage = D3DDECLUSAGE_POSITION;
  uint8_t usageIndex = 0;
};

// Size in bytes of one element of a declaration type; 0 for UNUSED and unknown types.
uint32_t declTypeSize(uint8_t type);

// Fixed attribute locations: every shader reads a usage at the same location.
constexpr int kAttribPosition = 0;
constexpr int kAttribNormal = 1;
constexpr int kAttribColor0 = 2;   // COLOR 0 and 1 at 2 and 3
constexpr int kAttribTexcoord0 = 4;  // TEXCOORD 0..7 at 4..11
constexpr int kAttribCount = 12;
// The attribute location of a usage and usage index, or -1 for one without a location.
int attribLocation(uint8_t usage, uint8_t usageIndex);

// Render states (the subset the engine and its effect files set).
constexpr uint32_t D3DRS_ZENABLE = 7;
constexpr uint32_t D3DRS_FILLMODE = 8;
constexpr uint32_t D3DRS_ZWRITEENABLE = 14;
constexpr uint32_t D3DRS_ALPHATESTENABLE = 15;
constexpr uint32_t D3DRS_SRCBLEND = 19;
constexpr uint32_t D3DRS_DESTBLEND = 20;
constexpr uint32_t D3DRS_CULLMODE = 22;
constexpr uint32_t D3DRS_ZFUNC = 23;
constexpr uint32_t D3DRS_ALPHAREF = 24;
constexpr uint32_t D3DRS_ALPHAFUNC = 25;
constexpr uint32_t D3DRS_ALPHABLENDENABLE = 27;
constexpr uint32_t D3DRS_COLORWRITEENABLE = 168;
constexpr uint32_t D3DRS_BLENDOP = 171;
constexpr uint32_t D3DRS_SCISSORTESTENABLE = 174;

constexpr uint32_t D3DFILL_POINT = 1;
constexpr uint32_t D3DFILL_WIREFRAME = 2;
constexpr uint32_t D3DFILL_SOLID = 3;

constexpr uint32_t D3DCULL_NONE = 1;
constexpr uint32_t D3DCULL_CW = 2;
constexpr uint32_t D3DCULL_CCW = 3;

constexpr uint32_t D3DCMP_NEVER = 1;
constexpr uint32_t D3DCMP_LESS = 2;
constexpr uint32_t D3DCMP_EQUAL = 3;
constexpr uint32_t D3DCMP_LESSEQUAL = 4;
constexpr uint32_t D3DCMP_GREATER = 5;
constexpr uint32_t D3DCMP_NOTEQUAL = 6;
constexpr uint32_t D3DCMP_GREATEREQUAL = 7;
constexpr uint32_t D3DCMP_ALWAYS = 8;

constexpr uint32_t D3DBLEND_ZERO = 1;
constexpr uint32_t D3DBLEND_ONE = 2;
constexpr uint32_t D3DBLEND_SRCCOLOR = 3;
constexpr uint32_t D3DBLEND_INVSRCCOLOR = 4;
constexpr uint32_t D3DBLEND_SRCALPHA = 5;
constexpr uint32_t D3DBLEND_INVSRCALPHA = 6;
constexpr uint32_t D3DBLEND_DESTALPHA = 7;
constexpr uint32_t D3DBLEND_INVDESTALPHA = 8;
constexpr uint32_t D3DBLEND_DESTCOLOR = 9;
constexpr uint32_t D3DBLEND_INVDESTCOLOR = 10;
constexpr uint32_t D3DBLEND_SRCALPHASAT = 11;

constexpr uint32_t D3DBLENDOP_ADD = 1;
constexpr uint32_t D3DBLENDOP_SUBTRACT = 2;
constexpr uint32_t D3DBLENDOP_REVSUBTRACT = 3;
constexpr uint32_t D3DBLENDOP_MIN = 4;
constexpr uint32_t D3DBLENDOP_MAX = 5;

constexpr uint32_t D3DCOLORWRITEENABLE_ALL = 0xF;  // red 1, green 2, blue 4, alpha 8

// Sampler states.
constexpr uint32_t D3DSAMP_ADDRESSU = 1;
constexpr uint32_t D3DSAMP_ADDRESSV = 2;
constexpr uint32_t D3DSAMP_BORDERCOLOR = 4;
constexpr uint32_t D3DSAMP_MAGFILTER = 5;
constexpr uint32_t D3DSAMP_MINFILTER = 6;
constexpr uint32_t D3DSAMP_MIPFILTER = 7;
constexpr uint32_t D3DSAMP_MAXANISOTROPY = 10;

constexpr uint32_t D3DTADDRESS_WRAP = 1;
constexpr uint32_t D3DTADDRESS_MIRROR = 2;
constexpr uint32_t D3DTADDRESS_CLAMP = 3;
constexpr uint32_t D3DTADDRESS_BORDER = 4;

constexpr uint32_t D3DTEXF_NONE = 0;
constexpr uint32_t D3DTEXF_POINT = 1;
constexpr uint32_t D3DTEXF_LINEAR = 2;
constexpr uint32_t D3DTEXF_ANISOTROPIC = 3;

// Clear flags.
constexpr uint32_t D3DCLEAR_TARGET = 1;
constexpr uint32_t D3DCLEAR_ZBUFFER = 2;
constexpr uint32_t D3DCLEAR_STENCIL = 4;

constexpr int kMaxStreams = 16;
constexpr int kMaxTextureStages = 16;
constexpr int kMaxRenderTargets = 4;

struct Rect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct Viewport {
  uint32_t x = 0, y = 0, width = 0, height = 0;
  float minZ = 0.0f, maxZ = 1.0f;
};

struct LockedRect {
  int32_t pitch = 0;
  void* bits = nullptr;
};

enum class SurfaceKind : uint8_t { TextureLevel, BackBuffer, DepthStencil, OffscreenPlain };

struct SurfaceDesc {
  uint32_t format = D3DFMT_UNKNOWN;
  uint32_t usage = 0;
  uint32_t pool = D3DPOOL_DEFAULT;
  uint32_t width = 0;
  uint32_t height = 0;
};

// Index count of primCount primitives, and the primitive count of an index count.
uint32_t indexCountFor(uint32_t primType, uint32_t primCount);

}  // namespace qxgfx
