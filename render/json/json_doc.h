// JSON data files read with jsoncpp, comments allowed. Every read is type-checked: a
// member of the wrong type takes the caller's default instead of throwing.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include <json/value.h>

namespace qxjson {

// Data files larger than this are refused unread.
inline constexpr size_t kMaxDataFileBytes = 4u << 20;

// False, with the reader's message in why, for text that is not one JSON value.
bool parseDocument(std::string_view text, Json::Value& out, std::string* why);

// An integer as a 32-bit signed value: integers in range as they are, reals truncated
// toward zero when in range, true and false 1 and 0, null 0; anything else def.
int32_t intOf(const Json::Value& v, int32_t def);
// The member key of an object as intOf reads it; def when v is no object or lacks it.
int32_t intMember(const Json::Value& v, const char* key, int32_t def);

}  // namespace qxjson
