#pragma once
// Feeds a framer the way a socket worker does; shared with the fuzz target, so it records
// misbehaviour instead of asserting.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/http/header_check.h"
#include "net/http/header_chk.h"
#include "net/http/term_chk.h"

struct Delivery {
  std::string data;
  int state = 0;
  bool hasData = false;
  int messageFlag = -1;  // stream framers only
  int32_t contentLength = -2;
  int chunked = -1;
  bool operator==(const Delivery&) const = default;
};

struct Outcome {
  std::vector<Delivery> deliveries;
  int skips = 0;
  bool error = false;
  bool ended = false;     // state 2 was reached
  std::string misbehaved;  // what the framer did that no framer may do
  bool operator==(const Outcome&) const = default;
};

enum class InfoKind { Term, Stream };

inline Delivery takeDelivery(const IHeaderCheck& f, InfoKind kind, Outcome& out) {
  FramedData d = f.buffered();
  Delivery got;
  got.state = f.state();
  got.hasData = d.data != nullptr;
  if (d.data) got.data.assign(d.data, d.length);
  if ((d.data == nullptr) != (d.length == 0)) out.misbehaved = "data and length disagree";
  const HTTPTermChk::Info* term = static_cast<const HTTPTermChk::Info*>(d.info);
  if (kind == InfoKind::Stream) {
    auto* s = static_cast<const HTTPHeaderChk::Info*>(d.info);
    if (!s) out.misbehaved = "no stream record";
    got.messageFlag = s ? s->messageFlag : -1;
    term = s ? static_cast<const HTTPTermChk::Info*>(s->inner) : nullptr;
  }
  if (term) {
    got.contentLength = term->contentLength;
    got.chunked = term->chunked;
  }
  return got;
}

// Feeds input cut at the given offsets (ascending).
inline Outcome feedPieces(IHeaderCheck& f, InfoKind kind, std::string_view input, const std::vector<size_t>& cuts) {
  Outcome out;
  std::string pending;
  size_t from = 0;
  std::vector<size_t> ends = cuts;
  ends.push_back(input.size());
  for (size_t end : ends) {
    pending.append(input.substr(from, end - from));
    from = end;
    while (!out.error && !out.ended) {
      int c = f.feed(pending.data(), static_cast<int>(pending.size()));
      if (c < 0 || static_cast<size_t>(c) > pending.size()) {
        out.misbehaved = "consumed bytes it was not given";
        out.error = true;
        break;
      }
      pending.erase(0, static_cast<size_t>(c));
      int st = f.state();
      if (st == IHeaderCheck::kComplete || st == IHeaderCheck::kLast) {
        out.deliveries.push_back(takeDelivery(f, kind, out));
        f.reset();
        out.ended = st == IHeaderCheck::kLast;
      } else if (st == IHeaderCheck::kSkip) {
        ++out.skips;
        f.reset();
      } else if (st == IHeaderCheck::kError) {
        out.error = true;
        if (f.feed(pending.data(), static_cast<int>(pending.size())) != 0) out.misbehaved = "fed on in the error state";
      } else if (st != IHeaderCheck::kNeedMore) {
        out.misbehaved = "unknown state";
        out.error = true;
      } else if (c == 0 || pending.empty()) {
        break;
      }
    }
    if (out.error || out.ended) break;
  }
  return out;
}
