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

const qxbind::ClassNotes kTextureMgrNotes = {"The texture manager: loads, makes and saves textures.",
                                             {
                                                 {"load", "file, usage, pool"},
                                                 {"create_blank", "size, format", nullptr, "A new empty texture."},
                                                 {"saveAsFile", "texture, file"},
                                             }};

void registerTextureMgr(qxbind::ClassTable& t) {
  t.notes(kTextureMgrNotes);
  t.method<&TextureMgr::load>("load").method<&TextureMgr::create_blank>("create_blank").method<&saveAsFile>(
      "saveAsFile");
}

const qxbind::ClassNotes kTexDataNotes = {
    "A texture, with its sprite descriptions.",
    {
        {"get_desclist", "", "table", "The names of the sprite descriptions in order."},
        {"get_desc_index", "index", nullptr, "Cell width, cell height and frame of the description (counted from 0)."},
        {"get_desc_name", "name", nullptr, "Cell width, cell height and frame of the named description."},
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
