// What a reply body may cost once parsed. A JSON tree or a form map can take many times
// the bytes of its text ("[0,0,0,...]" makes a node of some 40 bytes from every 2), so
// the cost is estimated from the text alone, before any node is made, and a body whose
// parsed form would be too large is refused.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace replycost {

// A parsed body may take this many bytes for every byte of its text, plus kSlackBytes.
inline constexpr size_t kMaxExpansion = 8;
inline constexpr size_t kSlackBytes = 1u << 20;
// What one JSON node or form pair is reckoned to cost.
inline constexpr size_t kNodeBytes = 64;

// The number of JSON values the text would hold, counted without parsing by the JSON
// reader's own scanning (jsonCountValues): never fewer than the reader builds, whatever
// comments or strings hide separators.
size_t jsonValueCount(std::string_view text);

// The most values one reply or stream message may carry into a script: JSON values
// (containers included) or form pairs. Pushing the largest admitted body into Lua holds
// the frame that delivers it for about 100 ms at most (bench_reply_values).
inline constexpr size_t kMaxScriptValues = 100000;

// The values a body of that content type carries into a script, counted from its text:
// JSON values as jsonValueCount gives them, form pairs, 1 for any other non-empty body.
size_t scriptValueCount(std::string_view contentType, std::string_view text);

// Whether text may be parsed as a body of the given content type; false with the reason
// in why when its parsed form would be too large.
bool acceptable(std::string_view contentType, std::string_view text, std::string* why);

}  // namespace replycost
