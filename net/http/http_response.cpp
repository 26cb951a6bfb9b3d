#include "net/http/http_response.h"

#include <algorithm>

#include "net/http/header_tokens.h"
#include "net/http/http_text.h"
#include "net/http/reply_cost.h"

namespace {

using httptext::lowerAscii;
using httptext::trimBlanks;

bool startsWithCRLF(std::string_view t, size_t i) { return i + 1 < t.size() && t[i] == '\r' && t[i + 1] == '\n'; }

// The value of a line the header reader cannot type: its text up to the line end,
// trimmed, as one string. Returns the characters consumed through the line end, 0 when
// the text ends first.
size_t rawHeaderLine(std::string_view t, HTTPNmlH& out) {
  size_t e = t.find_first_of("\r\n");
  if (e == std::string_view::npos) return 0;
  out.clear();
  out.addTyped(TypedValue::string(std::string(trimBlanks(t.substr(0, e)))));
  return httptext::pastLineEnd(t, e);
}

}  // namespace

bool HeaderNameLess::operator()(std::string_view a, std::string_view b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return lowerAscii(x) < lowerAscii(y); });
}

void HTTPResponse::clear() {
  headers_.clear();
  status_ = 0;
  reason_.clear();
  body_.reset();
  bodyBytes_ = {};
  refusal_.clear();
  chunked_ = false;
}

HTTPHeader* HTTPResponse::header(std::string_view name) const {
  auto it = headers_.find(name);
  return it == headers_.end() ? nullptr : it->second.get();
}

bool HTTPResponse::parse(std::string_view t) {
  if (!parseUpToBody(t)) return false;
  // The view into the caller's text is kept only for parseHead's callers.
  const std::string_view bytes = bodyBytes_;
  bodyBytes_ = {};
  if (bytes.empty()) return true;
  const std::string_view type = contentType();
  if (!replycost::acceptable(type, bytes, &refusal_)) return false;
  body_ = makeBody(type, bytes.data(), bytes.size());
  return true;
}

bool HTTPResponse::parseHead(std::string_view t) { return parseUpToBody(t); }

std::string_view HTTPResponse::contentType() const {
  const HTTPHeader* ct = header("Content-Type");
  if (!ct || ct->valueCount() == 0 || !ct->valueAt(0).isString()) return {};
  return ct->valueAt(0).str();
}

// Status line and headers; the body's bytes are left in bodyBytes_ (empty for a reply
// that has none).
bool HTTPResponse::parseUpToBody(std::string_view t) {
  using namespace httptok;
  clear();
  size_t i = skipBlanks(t, true);
  HeaderToken proto = readToken(t.substr(i), kNameDelims);
  if (!proto.value.isString() || proto.value.str() != "HTTP/1.1") return false;
  i += proto.length;
  i += skipBlanks(t.substr(i), false);
  HeaderToken code = readToken(t.substr(i), kNameDelims);
  if (!code.value.isInteger() || code.value.asInteger() < 100 || code.value.asInteger() > 999) return false;
  status_ = static_cast<int>(code.value.asInteger());
  i += code.length;

  // The reason phrase is the rest of the status line; it may be empty but never reaches
  // into the headers.
  size_t eol = t.find_first_of("\r\n", i);
  if (eol == std::string_view::npos) return false;
  if (eol > i && t[i] != ' ' && t[i] != '\t') return false;  // "200OK"
  reason_ = std::string(trimBlanks(t.substr(i, eol - i)));
  if (!startsWithCRLF(t, eol)) return false;
  i = eol + 2;

  while (!startsWithCRLF(t, i)) {
    i += skipBlanks(t.substr(i), true);
    HeaderToken name = readToken(t.substr(i), kNameDelims);
    if (!name.value.isString() || name.value.str().empty()) return false;
    i += name.length;
    i += skipBlanks(t.substr(i), false);
    if (i >= t.size() || t[i] != ':') return false;
    ++i;
    auto value = std::make_unique<HTTPNmlH>();
    size_t used = value->parse(t.substr(i));
    if (used == 0) used = rawHeaderLine(t.substr(i), *value);
    if (used == 0) return false;
    i += used;
    auto it = headers_.find(name.value.str());
    if (it != headers_.end()) {
      static_cast<HTTPNmlH&>(*it->second).merge(*value);
    } else {
      headers_.emplace(name.value.str(), std::move(value));
    }
    i += skipBlanks(t.substr(i), false);
  }
  i += 2;
  std::string_view rest = t.substr(i);

  // These never carry a body, whatever their headers say (the framer ends them alike).
  if (httptext::statusHasNoBody(status_)) return true;
  size_t bodyLength;
  const HTTPHeader* te = header("Transfer-Encoding");
  if (te && te->valueCount() > 0 && httptext::isChunkedCoding(te->valueAt(te->valueCount() - 1).text())) {
    chunked_ = true;
    bodyLength = rest.size();
  } else {
    const HTTPHeader* cl = header("Content-Length");
    if (!cl || cl->valueCount() == 0) return false;
    // An integer token, or digits the tokenizer kept as a string ("005").
    std::optional<uint64_t> len = httptext::contentLengthValue(cl->valueAt(0).text());
    if (!len) return false;
    bodyLength = static_cast<size_t>(std::min<uint64_t>(*len, rest.size()));
  }
  // Bytes without a type could only be dropped: such a reply is not understood.
  if (bodyLength > 0 && contentType().empty()) return false;
  bodyBytes_ = rest.substr(0, bodyLength);
  return true;
}
