#include "hud/widget/widget_bind.h"

#include "hud/widget/hud_text.h"
#include "hud/widget/hud_text_bb.h"
#include "hud/widget/rect_info.h"

using hudwidget::HUDText;
using hudwidget::HUDTextBB;
using hudwidget::RectInfo;

namespace {

const qxbind::ClassNotes kRectInfoNotes = {
    "Where and how a HUD rectangle is drawn: size, alpha, depth, offset and texture.",
    {
        {"hTex", "", nullptr, "The texture drawn."},
    }};

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
    "A block of text on the HUD, with a caret and selection for editing. Positions count characters from 0.",
    {
        {"inRect", "", nullptr, "Whether the mouse is over the text's rectangle."},
        {"setText", "text, flags"},
        {"initFont", "width, height, weight, face", nullptr, "The font, as Windows sizes it."},
        {"setRect", "left, top, right, bottom"},
        {"setPlaceFlag", "alignment"},
        {"setRectMode", "mode"},
        {"getNText", "", nullptr, "The number of characters."},
        {"getFontPos1D", "x, y", nullptr, "The position of the character at a point."},
        {"tpos1_2", "pos", nullptr, "A position as column and row."},
        {"tpos2_1", "column, row", nullptr, "Column and row as a position."},
        {"getRowBegin1D", "pos", nullptr, "The position that begins the row of pos."},
        {"getCaret", "pos", nullptr, "The caret's x, y and height at pos."},
        {"getCharRect", "pos", nullptr, "The rectangle of the character at pos."},
        {"getSelRect", "from, to", "table",
         "The rectangles ({left, top, right, bottom} each) that cover the characters from..to."},
        {"delRange", "from, to"},
        {"delAt", "pos"},
        {"insertText", "pos, text"},
        {"findText", "from, text", nullptr, "The position of the text's next occurrence from there."},
        {"copyRange", "from, to", nullptr, "Copies to the clipboard."},
        {"cutRange", "from, to", nullptr, "Cuts to the clipboard."},
        {"paste", "pos, singleLine", nullptr, "Inserts the clipboard's text."},
        {"getText", ""},
        {"getTextRect", ""},
        {"getTextCenter", ""},
        {"getFontWidth", ""},
        {"getFontHeight", ""},
        {"setOffset", "x, y", nullptr, "Scrolls the text within its rectangle."},
        {"getEndLine", "pos"},
        {"getBeginLine", "pos"},
        {"setAlpha", "alpha"},
        {"setDepth", "depth"},
        {"setWidth", "width"},
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

const qxbind::ClassNotes kHUDTextBBNotes = {"Text drawn into a texture for billboards.",
                                            {
                                                {"setViewPos", "x, y"},
                                                {"setViewSize", "width, height"},
                                                {"procBB", "app", nullptr, "Renders the text into its texture."},
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
