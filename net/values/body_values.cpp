#include "net/values/body_values.h"

#include "net/http/json_body.h"

namespace {

void formToTable(const URLBody& form, LuaVarTable& t) {
  // The names come in byte order, the table's order for strings: each goes at the end.
  for (const auto& [name, value] : form.params()) t.raw().emplace_hint(t.end(), LuaVar(name), LuaVar(value));
}

void formToTable(const URLBody& form, LuaVar& out) {
  LuaVarTable t;
  formToTable(form, t);
  out.takeTable(t);
}

void textToTable(const TEXTBody& text, LuaVar& out) {
  LuaVarTable t;
  t[LuaVar("text")] = LuaVar(text.text());
  out.takeTable(t);
}

// Byte buffers carry a 32-bit length; a larger body (the framers cap replies far lower)
// is cut rather than wrapped.
uint32_t clampSize(size_t n) { return n > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(n); }

}  // namespace

void toScriptValue(const HTTPBody& body, LuaVar& out) {
  switch (body.kind()) {
    case HTTPBody::kForm:
      formToTable(static_cast<const URLBody&>(body), out);
      return;
    case HTTPBody::kJson:
      out.fromJSONTree(static_cast<const JSONBody&>(body).value());
      return;
    case HTTPBody::kText:
      textToTable(static_cast<const TEXTBody&>(body), out);
      return;
    case HTTPBody::kRaw: {
      const auto& raw = static_cast<const RAWBody&>(body);
      out.fromBytes(raw.data(), clampSize(raw.size()));
      return;
    }
  }
  out.clear();
}

void takeScriptValue(HTTPBody& body, LuaVar& out) {
  switch (body.kind()) {
    case HTTPBody::kJson:
      out.takeJSON(static_cast<JSONBody&>(body).value());
      return;
    case HTTPBody::kRaw: {
      size_t n = 0;
      auto buffer = static_cast<RAWBody&>(body).release(n);
      if (n > UINT32_MAX) {
        out.fromBytes(buffer.get(), UINT32_MAX);
        return;
      }
      out.adoptBytes({buffer.release(), static_cast<uint32_t>(n)});
      return;
    }
    default:
      // Form and text content is copied: the body keeps it.
      toScriptValue(body, out);
      return;
  }
}
