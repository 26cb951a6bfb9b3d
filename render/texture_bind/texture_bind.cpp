#include "render/texture_bind/texture_bind.h"

#include <tuple>

#include "platform/core/utf.h"
#include "render/texture/texture_mgr.h"

namespace {

using Cell = std::tuple<int32_t, int32_t, int32_t>;

Cell cellOf(const qxtex::SpriteDesc& d) { return {d.cellWidth, d.cellHeight, d.frame}; }

void saveAsFile(TextureMgr& mgr, qxbind::ObjectRef texture, std::u16string fileName) {
  mgr.saveAsFile(texture.handle, fileName);
}

qxbind::Pushed getDescList(TexData& tex, lua_State* L) {
  lua_createtable(L, int(tex.descs.size()), 0);
  for (size_t i = 0; i < tex.descs.size(); ++i) {
    qxbind::pushU16String(L, tex.descs[i].name);
    lua_rawseti(L, -2, int(i + 1));
  }
  return {1};
}

// Counted from 0; a position outside the records gives 0, 0, 0.
Cell getDescIndex(TexData& tex, int32_t index) {
  if (index < 0 || size_t(index) >= tex.descs.size()) return {0, 0, 0};
  return cellOf(tex.descs[size_t(index)]);
}

Cell getDescName(TexData& tex, std::u16string name) {
  for (const qxtex::SpriteDesc& d : tex.descs)
    if (d.name == name) return cellOf(d);
  return {0, 0, 0};
}

const qxbind::ClassNotes kTextureMgrNotes = {
    "The texture manager: loads, makes and saves textures.",
    {
        {"load", "file, usage, pool", nullptr,
         "The texture of that image file (DDS, PNG, TGA, BMP or JPEG), read once and then shared by name, with the "
         "sprites of its .desc file (docs/data-files.md). usage and pool are Direct3D codes: 0, 0 fits every use. "
         "nil when no root has the file. A file that cannot be decoded gives an empty texture (0 by 0: a rectangle "
         "given it draws as one without a texture, plain in its colour) and its reason goes to log.txt."},
        {"create_blank", "size, format", nullptr,
         "A texture to draw into (`Qeldrin:setTargetTex`) of 2^size by 2^size pixels, size 0..12, in a Direct3D "
         "format: 21 A8R8G8B8, 22 X8R8G8B8, 23 R5G6B5, 25 A1R5G5B5, 26 A4R4G4B4, 28 A8 (keeps the alpha drawn; "
         "drawn from, black at that alpha), 32 A8B8G8R8, 50 L8 or 51 A8L8 (keep the red drawn as their grey, A8L8 "
         "the alpha too). `saveAsFile` writes the 16-bit and grey ones as 32-bit colour. nil for any other size or "
         "format, for a format the graphics driver cannot draw into, and before the window exists (the reason goes "
         "to log.txt)."},
        {"saveAsFile", "texture, file", nullptr,
         "Writes the texture's pixels to an image file of that name: BMP, TGA or DDS by its extension, PNG "
         "otherwise; into the folder \"save\" beside the program when there is one, else beside the program. A "
         "render target (the back buffer too: `Qeldrin:getTargetTex(0)`) gives what was drawn into it."},
    }};

void registerTextureMgr(qxbind::ClassTable& t) {
  t.notes(kTextureMgrNotes);
  t.method<&TextureMgr::load>("load").method<&TextureMgr::create_blank>("create_blank").method<&saveAsFile>(
      "saveAsFile");
}

const qxbind::ClassNotes kTexDataNotes = {
    "A texture, with the sprites of its .desc file.",
    {
        {"get_desclist", "", "table", "The sprites' names, an array in file order (entry k is sprite k - 1)."},
        {"get_desc_index", "index", nullptr,
         "Cell width, cell height (pixels) and frame count of sprite index, counted from 0; 0, 0, 0 outside."},
        {"get_desc_name", "name", nullptr,
         "Cell width, cell height and frame count of the first sprite of that name (case counts); 0, 0, 0 for none."},
        {"width", "", nullptr, "The image's width in pixels; a script may overwrite the number."},
        {"height", "", nullptr, "The image's height in pixels; a script may overwrite the number."},
    }};

void registerTexData(qxbind::ClassTable& t) {
  t.notes(kTexDataNotes);
  t.field<&TexData::width>("width")
      .field<&TexData::height>("height")
      .method<&getDescList>("get_desclist")
      .method<&getDescIndex>("get_desc_index")
      .method<&getDescName>("get_desc_name");
}

}  // namespace

qxbind::ClassBinding textureBinding() {
  return qxbind::managerBinding<TextureMgr>("TextureMgr", &registerTextureMgr, "TexData", &registerTexData);
}
