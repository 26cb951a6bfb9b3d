#include "net/http/header_values.h"

#include <stdexcept>
#include <typeinfo>

#include "net/http/header_tokens.h"
#include "net/http/http_text.h"

namespace {

struct NotImplemented : std::exception {
  const char* what() const noexcept override { return "not implemented"; }
};

// Inside a list, only integers keep their type; anything else is kept as its text.
TypedValue listItem(const HeaderToken& tok, std::string_view raw) {
  if (tok.value.tag() == TypedValue::kInteger || tok.value.tag() == TypedValue::kString) return tok.value;
  return TypedValue::string(std::string(raw.substr(httptok::skipBlanks(raw, false))));
}

}  // namespace

void HTTPNmlH::addValue(std::string_view text) { values_.push_back(TypedValue::string(std::string(text))); }

void HTTPNmlH::setAttribute(std::string_view name, std::string_view text) {
  attributes_[std::string(name)] = TypedValue::string(std::string(text));
}

const TypedValue& HTTPNmlH::valueAt(size_t index) const { return values_.at(index); }

void HTTPNmlH::clear() {
  attributes_.clear();
  values_.clear();
}

size_t HTTPNmlH::parse(std::string_view t) {
  size_t i = 0;
  for (;;) {
    HeaderToken tok = httptok::readToken(t.substr(i), httptok::kValueDelims);
    if (tok.length == 0) return 0;
    std::string_view raw = t.substr(i, tok.length);
    i += tok.length;
    i += httptok::skipBlanks(t.substr(i), false);
    if (i >= t.size()) {
      clear();
      return 0;
    }
    char c = t[i];
    if (c == ';' || c == ',') {
      values_.push_back(listItem(tok, raw));
      ++i;
    } else if (c == '=') {
      if (!tok.value.isString()) return 0;
      std::string name = tok.value.str();
      HeaderToken val = httptok::readToken(t.substr(i + 1), httptok::kValueDelims);
      i += 1 + val.length;
      if (val.length == 0) {
        if (i >= t.size() || t[i] != ';') return 0;
        val.value = TypedValue::string({});
      }
      attributes_[name] = std::move(val.value);
      i += httptok::skipBlanks(t.substr(i), false);
      if (i >= t.size()) return 0;
      if (t[i] == ';' || t[i] == ',') {
        ++i;
      } else if (t[i] == '\r' || t[i] == '\n') {
        return httptext::pastLineEnd(t, i);
      } else {
        return 0;
      }
    } else if (c == '\r' || c == '\n') {
      values_.push_back(std::move(tok.value));
      return httptext::pastLineEnd(t, i);
    } else {
      return 0;
    }
  }
}

void HTTPNmlH::write(std::string& out) const {
  bool first = true;
  auto sep = [&] {
    if (!first) out += "; ";
    first = false;
  };
  for (const auto& [name, value] : attributes_) {
    sep();
    if (!name.empty()) out += name + "=";
    out += value.text();
  }
  for (const TypedValue& v : values_) {
    sep();
    out += v.text();
  }
}

void HTTPNmlH::list(HeaderPairs& out) const {
  for (const auto& [name, value] : attributes_) out.emplace_back(name, value.text());
  for (const TypedValue& v : values_) out.emplace_back(std::string(), v.text());
}

std::unique_ptr<HTTPHeader> HTTPNmlH::detach() {
  auto h = std::make_unique<HTTPNmlH>();
  h->attributes_.swap(attributes_);
  h->values_.swap(values_);
  return h;
}

void HTTPNmlH::merge(HTTPNmlH& other) {
  attributes_.merge(other.attributes_);  // keeps ours where both have the name
  other.attributes_.clear();
  for (TypedValue& v : other.values_) values_.push_back(std::move(v));
  other.values_.clear();
}

void HTTPOAuthH::setAttribute(std::string_view name, std::string_view text) {
  params_[std::string(name)] = std::string(text);
}

const TypedValue& HTTPOAuthH::valueAt(size_t) const { throw std::bad_cast(); }

size_t HTTPOAuthH::parse(std::string_view) { throw NotImplemented(); }

void HTTPOAuthH::write(std::string& out) const {
  out += "OAuth ";
  bool first = true;
  for (const auto& [name, value] : params_) {
    if (!first) out += ',';
    first = false;
    out += name;
    out += "=\"";
    out += value;
    out += '"';
  }
}

void HTTPOAuthH::list(HeaderPairs& out) const {
  for (const auto& [name, value] : params_) out.emplace_back(name, value);
}

std::unique_ptr<HTTPHeader> HTTPOAuthH::detach() { throw NotImplemented(); }
