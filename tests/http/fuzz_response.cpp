// Parses arbitrary bytes as a framed reply, and as each body kind and header value.
#include <cstdint>
#include <string>
#include <string_view>

#include "net/http/header_tokens.h"
#include "net/http/http_body.h"
#include "net/http/http_response.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  HTTPResponse r;
  if (r.parse(text)) {
    std::string out;
    for (const auto& [name, header] : r.headers()) header->write(out);
    if (HTTPBody* b = r.body()) {
      b->write(out);
      HeaderPairs pairs;
      b->listPairs(pairs);
      auto moved = b->take();
    }
  }
  HTTPNmlH h;
  h.parse(text);
  (void)h.text();
  URLBody form;
  if (form.parse(text.data(), text.size()) != 0) {
    if (form.params().empty()) __builtin_trap();
    std::string back;
    form.write(back);
    URLBody again;
    if (again.parse(back.data(), back.size()) == 0 || again.params() != form.params()) __builtin_trap();
  }
  for (const char* type : {"application/json", "text/html", "image/png"}) (void)makeBody(type, text.data(), text.size());
  (void)httptok::readToken(text, httptok::kNameDelims);
  return 0;
}
