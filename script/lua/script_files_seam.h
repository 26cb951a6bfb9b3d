// Temporary: a replaceable reader standing in for the mounted read sources.
#pragma once
#include <functional>

#include "script/lua/script_files.h"

using ScriptFileReader = std::function<FileData(const std::u16string& name, uint32_t flag)>;
void setScriptFileReader(ScriptFileReader r);
