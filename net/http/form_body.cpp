#include <string>

#include "net/http/header_tokens.h"
#include "net/http/http_body.h"
#include "net/http/http_text.h"
#include "platform/core/url.h"

bool URLBody::accepts(std::string_view type) const {
  return mimeEquals(type, "application/x-www-form-urlencoded") || mimeEquals(type, "text/html");
}

void URLBody::listPairs(HeaderPairs& out) const {
  for (const auto& [name, value] : params_) out.emplace_back(name, value);
}

void URLBody::write(std::string& out) const {
  bool first = true;
  for (const auto& [name, value] : params_) {
    if (!first) out += '&';
    first = false;
    out += qcore::urlEncode(name);
    out += '=';
    out += qcore::urlEncode(value);
  }
}

namespace {
size_t skipSpaces(std::string_view t, size_t i) { return i + httptok::skipBlanks(t.substr(i), false); }
}  // namespace

size_t URLBody::parse(const char* data, size_t length) {
  params_.clear();
  std::string_view t(data, length);
  size_t i = 0;
  auto fail = [this] {
    params_.clear();
    return size_t{0};
  };
  for (;;) {
    HeaderToken name = httptok::readStringToken(t.substr(i), httptok::kFormDelims);
    if (name.value.str().empty()) return fail();
    i = skipSpaces(t, i + name.length);
    // A name alone on its line ends the form; a form without any pair is not one (an
    // HTML page must stay text, not become an empty form).
    if (i < t.size() && (t[i] == '\r' || t[i] == '\n')) return params_.empty() ? fail() : httptext::pastLineEnd(t, i);
    if (i >= t.size() || t[i] != '=') return fail();
    // An empty value ("a=&b=1", "a=") is no form.
    HeaderToken value = httptok::readStringToken(t.substr(i + 1), httptok::kFormDelims);
    if (value.value.str().empty()) return fail();
    i += 1 + value.length;
    params_[qcore::urlDecode(name.value.str(), true)] = qcore::urlDecode(value.value.str(), true);
    i = skipSpaces(t, i);
    if (i >= t.size() || t[i] == '\0') return i;
    if (t[i] == '\r' || t[i] == '\n') return httptext::pastLineEnd(t, i);
    if (t[i] != '&') return fail();
    ++i;
  }
}

std::unique_ptr<HTTPBody> URLBody::take() {
  auto b = std::make_unique<URLBody>();
  b->params_.swap(params_);
  return b;
}

const std::string* URLBody::get(std::string_view name) const {
  auto it = params_.find(std::string(name));
  return it == params_.end() ? nullptr : &it->second;
}
