#pragma once
// Feeds a framer the way a socket worker does: unconsumed bytes are offered again with
// the next piece; a complete message is delivered and the framer reset; a keep-alive is
// skipped; the last message or an error ends the connection.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
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
  int messageFlag = -1;      // stream framers only
  int32_t contentLength = -2;
  int chunked = -1;
  bool operator==(const Delivery&) const = default;
};

struct Outcome {
  std::vector<Delivery> deliveries;
  int skips = 0;
  bool error = false;
  bool ended = false;  // state 2 was reached
  bool operator==(const Outcome&) const = default;
};

enum class InfoKind { Term, Stream };
using FramerFactory = std::function<std::unique_ptr<IHeaderCheck>()>;

inline Delivery takeDelivery(const IHeaderCheck& f, InfoKind kind) {
  FramedData d = f.buffered();
  Delivery out;
  out.state = f.state();
  out.hasData = d.data != nullptr;
  if (d.data) out.data.assign(d.data, d.length);
  EXPECT_EQ(d.data == nullptr, d.length == 0u);
  const HTTPTermChk::Info* term = nullptr;
  if (kind == InfoKind::Stream) {
    auto* s = static_cast<const HTTPHeaderChk::Info*>(d.info);
    EXPECT_NE(s, nullptr);
    if (s) {
      out.messageFlag = s->messageFlag;
      term = static_cast<const HTTPTermChk::Info*>(s->inner);
    }
  } else {
    term = static_cast<const HTTPTermChk::Info*>(d.info);
  }
  if (term) {
    out.contentLength = term->contentLength;
    out.chunked = term->chunked;
  }
  return out;
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
      EXPECT_GE(c, 0);
      EXPECT_LE(static_cast<size_t>(c), pending.size()) << "consumed bytes it was not given";
      if (c < 0 || static_cast<size_t>(c) > pending.size()) {
        out.error = true;
        break;
      }
      pending.erase(0, static_cast<size_t>(c));
      int st = f.state();
      if (st == IHeaderCheck::kComplete || st == IHeaderCheck::kLast) {
        out.deliveries.push_back(takeDelivery(f, kind));
        f.reset();
        if (st == IHeaderCheck::kLast) out.ended = true;
        continue;
      }
      if (st == IHeaderCheck::kSkip) {
        ++out.skips;
        f.reset();
        continue;
      }
      if (st == IHeaderCheck::kError) {
        out.error = true;
        EXPECT_EQ(f.feed(pending.data(), static_cast<int>(pending.size())), 0) << "fed on in the error state";
        break;
      }
      EXPECT_EQ(st, IHeaderCheck::kNeedMore);
      if (c == 0 || pending.empty()) break;
    }
    if (out.error || out.ended) break;
  }
  return out;
}

inline Outcome feedWhole(const FramerFactory& make, InfoKind kind, std::string_view input) {
  auto f = make();
  return feedPieces(*f, kind, input, {});
}

// The outcome of feeding input in one piece, checked against every split point, byte by
// byte, and a few random cuttings.
inline Outcome expectSameAtEverySplit(const FramerFactory& make, InfoKind kind, std::string_view input) {
  Outcome whole = feedWhole(make, kind, input);
  for (size_t cut = 0; cut <= input.size(); ++cut) {
    auto f = make();
    EXPECT_EQ(feedPieces(*f, kind, input, {cut}), whole) << "split at " << cut;
  }
  std::vector<size_t> every;
  for (size_t i = 1; i < input.size(); ++i) every.push_back(i);
  {
    auto f = make();
    EXPECT_EQ(feedPieces(*f, kind, input, every), whole) << "byte by byte";
  }
  std::mt19937 rng(1234);
  for (int round = 0; round < 20; ++round) {
    std::vector<size_t> cuts;
    for (size_t i = 1; i < input.size(); ++i)
      if (rng() % 7 == 0) cuts.push_back(i);
    auto f = make();
    EXPECT_EQ(feedPieces(*f, kind, input, cuts), whole) << "random cutting " << round;
  }
  return whole;
}

inline FramerFactory plainFramer(bool keepAlive = false) {
  return [keepAlive] { return std::make_unique<HTTPTermChk>(keepAlive); };
}
inline FramerFactory streamFramer() {
  return [] { return std::unique_ptr<IHeaderCheck>(HTTPHeaderChk::makeStream()); };
}
