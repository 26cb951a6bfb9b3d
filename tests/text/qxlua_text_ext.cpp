// qxlua with the text functions in the "QX" table.
#include "hud/text/count_chara.h"
#include "tools/qxlua/extension.h"

namespace {

void provideManagers(kesto::ManagerCatalogue&) { addTextQXFunctions(); }
void setUpState(const ScriptHdl&) {}

QxluaExtension extension{&provideManagers, &setUpState};

}  // namespace
