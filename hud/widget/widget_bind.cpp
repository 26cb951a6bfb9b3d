#include "hud/widget/widget_bind.h"

#include "hud/widget/hud_text.h"
#include "hud/widget/hud_text_bb.h"
#include "hud/widget/rect_info.h"

using hudwidget::HUDText;
using hudwidget::HUDTextBB;
using hudwidget::RectInfo;

namespace {

const qxbind::ClassNotes kRectInfoNotes = {
    "Where and how a HUD rectangle is drawn; the `rect` field of `HUDUnit_rect` and `HUDUnit_wire`.",
    {
        {"width", "", nullptr, "Pixels (0 at first: nothing shows until it is set)."},
        {"height", "", nullptr, "Pixels (0 at first)."},
        {"alpha", "", nullptr, "0..1 (1 at first)."},
        {"depth", "", nullptr, "The draw distance: a list sorted by distance draws larger depths first (behind)."},
        {"ofsX", "", nullptr, "The left edge in window pixels."},
        {"ofsY", "", nullptr, "The top edge in window pixels."},
        {"hTex", "", nullptr, "The texture drawn (nil: none); an animated rectangle sets it from its frames."},
        {"color", "", nullptr,
         "The rectangle's ARGB colour, which a texture is multiplied by (0xFFFFFFFF at first)."},
    },
    "Reached as the field `rect` of a `HUDUnit_rect` or `HUDUnit_wire` (`panel.rect.rect` in a `HUDBG`); "
    "`RectInfo.new()` makes one that nothing draws."};

void registerRectInfo(qxbind::ClassTable& t) {
  t.notes(kRectInfoNotes);
  t.field<&RectInfo::width>("width")
      .field<&RectInfo::height>("height")
      .field<&RectInfo::alpha>("alpha")
      .field<&RectInfo::depth>("depth")
      .field<&RectInfo::ofsX>("ofsX")
      .field<&RectInfo::ofsY>("ofsY")
      .field<&RectInfo::hTex>("hTex")
      .colour<&RectInfo::color>("color");
}

const qxbind::ClassNotes kHUDTextNotes = {
    "A block of text on the HUD: markup (docs/hud-text.md), a font, a rectangle and an alignment, editable by "
    "position. Positions count characters from 0, line feeds and markup controls included; the x and y of the "
    "position queries are pixels from the rectangle's top-left. The layout is made when the text is drawn or a "
    "size or position is asked for.",
    {
        {"inRect", "", nullptr,
         "Whether the text fitted at the last layout: in rect mode 2 whether every character was placed, in modes "
         "0 and 1 whether the text has a size (false for an empty text, and before any layout)."},
        {"setText", "text, flags", nullptr,
         "Replaces the text. flags, the glyph style: 1 monochrome, 4, 5 or 6 grey with 5, 17 or 65 levels; 0 and "
         "other values draw no ink; adding 0x1000 draws every glyph one pixel right and down. The same text again "
         "changes nothing, its flags included."},
        {"initFont", "width, height, weight, face", nullptr,
         "The font: height in pixels (a line), width 0 for the face's own widths or a width forcing the average "
         "character width; the weight is not applied. Windows face names are mapped to installed ones (README); a "
         "face that matches no installed font gives the default font, IPAGothic 12 pixels high (what "
         "`QX.GetFontInfo` reports)."},
        {"setRect", "left, top, right, bottom", nullptr,
         "The rectangle in window pixels (in rect modes 0 and 1 only its top-left and, for wrapping, its width "
         "count: the layout resizes it to the text)."},
        {"setPlaceFlag", "alignment", nullptr,
         "Bits 0-1: 0 left, 1 centred, 2 right; bits 2-3: 0 top, 4 centred, 8 bottom. Rect mode 2 uses both, mode "
         "1 only the horizontal part, mode 0 none. Only left-aligned text wraps."},
        {"setRectMode", "mode", nullptr,
         "0 (the default): one line per line feed, and the rectangle takes the text's size. 1: lines wrap at the "
         "rectangle's width less 3 pixels, then the rectangle takes the text's size, so a later, longer text wraps "
         "at the width the first one left. 2: the rectangle stays; the text is aligned and wrapped in it; placing "
         "stops after the first line that reaches below it, and `inRect` is false when characters were left out."},
        {"getNText", "", nullptr, "The number of characters."},
        {"getFontPos1D", "x, y", nullptr,
         "What lies under the point, as a kind and a position: 3, 0 above the text (y < 0); 4 and the text's length "
         "below its last line; 1 and the line's first position left of the line (x < 0); 2 and the position of the "
         "line's line feed (or the text's end) past the line; otherwise 0 and the position after the character "
         "under the point (x = 0: the line's first position)."},
        {"tpos1_2", "pos", nullptr,
         "The column and row (both from 0) of the position; a position past the end gives the end's."},
        {"tpos2_1", "column, row", nullptr, "The position of the column and row, each kept within the text."},
        {"getRowBegin1D", "pos", nullptr, "The first position of pos's row."},
        {"getCaret", "pos", nullptr,
         "The caret before the character at pos: x, top and bottom in pixels (0, 0 and the font's height for an "
         "empty text)."},
        {"getCharRect", "pos", nullptr,
         "Left, top, right and bottom of the character before pos (the one a caret at pos follows): a zero-width "
         "rectangle at a row's start, and -1, -1, -1, -1 past the text's end."},
        {"getSelRect", "from, to", "table",
         "The rectangles that cover the characters from..to - 1 (the ends in either order), one per row, each an "
         "array {left, top, right, bottom}; an empty table for an empty range."},
        {"delRange", "from, to", nullptr, "Deletes the characters from..to - 1 (the ends in either order)."},
        {"delAt", "pos", nullptr, "Deletes the character at pos."},
        {"insertText", "pos, text", nullptr, "Inserts the text (markup read) at pos; gives the position after it."},
        {"findText", "from, text", nullptr,
         "The first position at or after from where the text (markup read) stands; -1 for none."},
        {"copyRange", "from, to", nullptr, "Puts the characters from..to - 1 on the clipboard, controls left out."},
        {"cutRange", "from, to", nullptr, "`copyRange`, then `delRange`."},
        {"paste", "pos, singleLine", nullptr,
         "Inserts the clipboard's text at pos as it is (no markup), only its first line with singleLine; gives the "
         "position after it."},
        {"getText", "", nullptr, "The text without its markup controls, each line feed given back as CR LF."},
        {"getTextRect", "", nullptr, "x, y, width and height of the rectangle, after a layout."},
        {"getTextCenter", "", nullptr,
         "(x + width) / 2 and (y + height) / 2 of `getTextRect`, truncated (the centre of a rectangle at 0, 0)."},
        {"getFontWidth", "", nullptr, "The font's average character width in pixels."},
        {"getFontHeight", "", nullptr, "The font's height in pixels: one line."},
        {"setOffset", "x, y", nullptr, "Moves the rectangle so that its top-left is (x, y), keeping its size."},
        {"getEndLine", "pos", nullptr, "The length of pos's row, its line feed included (0 for an empty text)."},
        {"getBeginLine", "pos", nullptr, "The first position of pos's row."},
        {"setAlpha", "alpha", nullptr, "0..1."},
        {"setDepth", "depth", nullptr,
         "The draw distance of a `HUDTextBB` (its view, and its glyphs in the \"Backbuff\" list): a list sorted "
         "by distance draws larger depths first. A plain `HUDText` always sorts at distance 0 and a `HUDText3D` at "
         "its squared distance from the camera, whatever their depth; the text of a `HUDBG` sorts at the panel's "
         "`set_depth`. For them this changes nothing drawn."},
        {"setWidth", "width", nullptr, "The rectangle's right edge becomes left + width."},
    }};

void registerHUDText(qxbind::ClassTable& t) {
  t.notes(kHUDTextNotes);
  t.method<&HUDText::inRect>("inRect")
      .method<&HUDText::setText>("setText")
      .method<&HUDText::initFont>("initFont")
      .method<&HUDText::setRect>("setRect")
      .method<&HUDText::setPlaceFlag>("setPlaceFlag")
      .method<&HUDText::setRectMode>("setRectMode")
      .method<&HUDText::getNText>("getNText")
      .method<&HUDText::getFontPos1D>("getFontPos1D")
      .method<&HUDText::tpos1_2>("tpos1_2")
      .method<&HUDText::tpos2_1>("tpos2_1")
      .method<&HUDText::getRowBegin1D>("getRowBegin1D")
      .method<&HUDText::getCaret>("getCaret")
      .method<&HUDText::getCharRect>("getCharRect")
      .method<&HUDText::getSelRect>("getSelRect")
      .method<&HUDText::delRange>("delRange")
      .method<&HUDText::delAt>("delAt")
      .method<&HUDText::insertText>("insertText")
      .method<&HUDText::findText>("findText")
      .method<&HUDText::copyRange>("copyRange")
      .method<&HUDText::cutRange>("cutRange")
      .method<&HUDText::paste>("paste")
      .method<&HUDText::getText>("getText")
      .method<&HUDText::getTextRect>("getTextRect")
      .method<&HUDText::getTextCenter>("getTextCenter")
      .method<&HUDText::getFontWidth>("getFontWidth")
      .method<&HUDText::getFontHeight>("getFontHeight")
      .method<&HUDText::setOffset>("setOffset")
      .method<&HUDText::getEndLine>("getEndLine")
      .method<&HUDText::getBeginLine>("getBeginLine")
      .method<&HUDText::setAlpha>("setAlpha")
      .method<&HUDText::setDepth>("setDepth")
      .method<&HUDText::setWidth>("setWidth");
}

const qxbind::ClassNotes kHUDTextBBNotes = {
    "Text shown through a view that scrolls over it: each frame the text around the view is drawn into a square "
    "texture of its own, and the widget shows the view's part of that texture at its rectangle.",
    {
        {"setViewPos", "x, y", nullptr, "The view's top-left in text pixels, taken at the next `procBB`."},
        {"setViewSize", "width, height", nullptr, "The view's (and the rectangle's) size in pixels."},
        {"getBB", "", nullptr, "The texture the text is drawn into."},
        {"procBB", "app", nullptr,
         "Makes that texture render target 0 of the application object and clears it; gives true and the target it "
         "replaced (false, nil for no application object). Then queue the widget under the tag \"Backbuff\", "
         "flush, give the old target back with `setTargetTex(0, old)`, and queue it again with \"\" to show it."},
    }};

void registerHUDTextBB(qxbind::ClassTable& t) {
  t.notes(kHUDTextBBNotes);
  t.method<&HUDTextBB::setViewPos>("setViewPos")
      .method<&HUDTextBB::setViewSize>("setViewSize")
      .method<&HUDTextBB::getBB>("getBB")
      .method<&HUDTextBB::procBB>("procBB");
}

LuaClassDesc describeHUDText(const char* name) {
  LuaClassDesc d = LuaClassDesc::forType<HUDText>(name);
  d.collect = &HUDText::collectCallback;
  d.material = &HUDText::materialCallback;
  d.draw = &HUDText::drawCallback;
  return d;
}

LuaClassDesc describeHUDTextBB(const char* name) {
  LuaClassDesc d = LuaClassDesc::forType<HUDTextBB>(name);
  d.collect = &HUDTextBB::collectCallback;
  d.material = &HUDTextBB::materialCallback;
  d.draw = &HUDTextBB::drawCallback;
  return d;
}

qxbind::ClassSpec hudTextClass() {
  return qxbind::objectClass<HUDText>("HUDText", &registerHUDText, &describeHUDText);
}

}  // namespace

qxbind::ClassBinding rectInfoBinding() {
  return qxbind::objectBinding(qxbind::objectClass<RectInfo>("RectInfo", &registerRectInfo));
}

qxbind::ClassBinding hudTextBinding() { return qxbind::objectBinding(hudTextClass()); }

qxbind::ClassBinding hudTextBBBinding() {
  return qxbind::derivedBinding<HUDTextBB, HUDText>(
      qxbind::objectClass<HUDTextBB>("HUDTextBB", &registerHUDTextBB, &describeHUDTextBB), hudTextClass());
}
