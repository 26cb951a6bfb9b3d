#include "hud/widget/widget_bind.h"

#include "hud/widget/hud_text.h"
#include "hud/widget/hud_text_bb.h"
#include "hud/widget/rect_info.h"

using hudwidget::HUDText;
using hudwidget::HUDTextBB;
using hudwidget::RectInfo;

namespace {

void registerRectInfo(qxbind::ClassTable& t) {
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
    "A block of text on the HUD, with a caret and selection for editing.",
    {
        {"getSelRect", "from, to", "table",
         "The rectangles ({left, top, right, bottom} each) that cover the characters from..to."},
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

void registerHUDTextBB(qxbind::ClassTable& t) {
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
