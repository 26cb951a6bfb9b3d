#include "scene/sound/sound_log.h"

#include "platform/core/utf.h"
#include "script/lua/script_report.h"

void soundLog(std::string_view message) { scriptDebugLog(std::string("sound: ") + std::string(message)); }

void soundLog(const std::u16string& path, std::string_view what) {
  soundLog(qcore::utf16ToUtf8(path) + ": " + std::string(what));
}
