#include "tests/http/framing_harness.h"

#include <gtest/gtest.h>

#include <functional>

namespace {
using FramerFactory = std::function<std::unique_ptr<IHeaderCheck>()>;

FramerFactory plainFramer(bool keepAlive = false) {
  return [keepAlive] { return std::make_unique<HTTPTermChk>(keepAlive); };
}
FramerFactory streamFramer() {
  return [] { return std::unique_ptr<IHeaderCheck>(HTTPHeaderChk::makeStream()); };
}

Outcome feedWhole(const FramerFactory& make, InfoKind kind, std::string_view input) {
  auto f = make();
  Outcome o = feedPieces(*f, kind, input, {});
  EXPECT_EQ(o.misbehaved, "");
  return o;
}

// The outcome of feeding input in one piece, checked against every split point and byte by byte.
Outcome expectSameAtEverySplit(const FramerFactory& make, InfoKind kind, std::string_view input) {
  Outcome whole = feedWhole(make, kind, input);
  std::vector<std::vector<size_t>> cuttings(1);  // the first: byte by byte
  for (size_t i = 1; i < input.size(); ++i) cuttings[0].push_back(i);
  for (size_t cut = 0; cut <= input.size(); ++cut) cuttings.push_back({cut});
  for (const auto& cuts : cuttings) {
    auto f = make();
    EXPECT_EQ(feedPieces(*f, kind, input, cuts), whole) << "cut at " << cuts.size() << " places, first "
                                                        << (cuts.empty() ? 0 : cuts[0]);
  }
  return whole;
}

const char kHead[] = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n";
const char kChunkedHead[] = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";

std::string chunk(std::string_view data) {
  char size[16];
  std::snprintf(size, sizeof size, "%zx", data.size());
  return std::string(size) + "\r\n" + std::string(data) + "\r\n";
}

// The input must end in the error state however it is cut, with nothing delivered.
void expectError(const FramerFactory& make, InfoKind kind, std::string_view input, size_t deliveriesBefore = 0) {
  Outcome o = expectSameAtEverySplit(make, kind, input);
  EXPECT_TRUE(o.error) << input.substr(0, 200);
  EXPECT_EQ(o.deliveries.size(), deliveriesBefore) << input.substr(0, 200);
}

// Both framers refuse the input; the stream framer after delivering the header block when
// the input is chunked.
void expectBothRefuse(std::string_view input, bool chunked = false) {
  expectError(plainFramer(), InfoKind::Term, input);
  expectError(streamFramer(), InfoKind::Stream, input, chunked ? 1 : 0);
}
}  // namespace

TEST(Framing, ContentLengthBodyEndsAfterExactlyItsBytes) {
  std::string reply = std::string(kHead) + "Content-Length: 5\r\n\r\nhello";
  Outcome o = expectSameAtEverySplit(plainFramer(), InfoKind::Term, reply + "EXTRA");
  ASSERT_EQ(o.deliveries.size(), 1u);
  EXPECT_EQ(o.deliveries[0].data, reply);
  EXPECT_EQ(o.deliveries[0].state, IHeaderCheck::kLast);
  EXPECT_EQ(o.deliveries[0].contentLength, 5);

  // A keep-alive framer reports state 1 and frames the next reply on the same connection.
  std::string second = "HTTP/1.1 404 Not Found\r\nContent-Length: 3\r\n\r\nabc";
  Outcome k = expectSameAtEverySplit(plainFramer(true), InfoKind::Term, reply + second);
  ASSERT_EQ(k.deliveries.size(), 2u);
  EXPECT_EQ(k.deliveries[0].state, IHeaderCheck::kComplete);
  EXPECT_EQ(k.deliveries[1].data, second);
}

// Framing header names and values match in any case, but whole: a name or value that
// only starts like one is another header.
TEST(Framing, FramingHeadersMatchWholeInAnyCase) {
  std::string closing = "HTTP/1.1 200 OK\r\ncontent-length: 4\r\nCONNECTION: keep-alive, Close\r\n\r\nbody";
  Outcome o = expectSameAtEverySplit(plainFramer(true), InfoKind::Term, closing);
  ASSERT_EQ(o.deliveries.size(), 1u);
  EXPECT_EQ(o.deliveries[0].data, closing);
  EXPECT_EQ(o.deliveries[0].state, IHeaderCheck::kLast);
  std::string lookalikes = "HTTP/1.1 200 OK\r\nConnexion: close\r\nContent-Lengtx: 9\r\nTransfer-Encodinx: chunked\r\n"
                           "Connection: closx\r\nTransfer-Encoding: chunkex\r\n\r\n";
  Outcome l = expectSameAtEverySplit(plainFramer(true), InfoKind::Term, lookalikes + "HTTP");
  ASSERT_EQ(l.deliveries.size(), 1u);
  EXPECT_EQ(l.deliveries[0].data, lookalikes);
  EXPECT_EQ(l.deliveries[0].state, IHeaderCheck::kComplete);
  EXPECT_EQ(l.deliveries[0].contentLength, -1);
  EXPECT_EQ(l.deliveries[0].chunked, 0);
}

TEST(Framing, PlainChunkedReplyIsDeChunked) {
  std::string head = std::string(kHead) + "Transfer-Encoding: gzip, Chunked\r\n\r\n";
  std::string body(26, 'x');
  std::string reply = head + "1A\r\n" + body + "\r\n" + "3 ;ext=1\r\n[1]\r\n" + "\r\n0\r\n\r\n";
  Outcome o = expectSameAtEverySplit(plainFramer(), InfoKind::Term, reply);
  ASSERT_EQ(o.deliveries.size(), 1u);
  EXPECT_EQ(o.deliveries[0].data, head + body + "[1]");
  EXPECT_EQ(o.deliveries[0].chunked, 1);
}

TEST(Framing, StreamDeliversHeaderBlockMessagesAndFinalEmptyDelivery) {
  std::string head = std::string(kHead) + "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n";
  std::string stream = head +
                       chunk("{\"id\":1}\r\n") +          // one message in one chunk
                       chunk("\r\n") +                    // keep-alive
                       chunk("{\"id\":") + chunk("2}\r") + chunk("\n") +  // split across chunks
                       chunk("{\"id\":3}\r\n{\"id\":4}\r\n\r\n{\"id\"") +  // several in one chunk
                       chunk(":5}\r\n") + "0\r\n\r\n";
  Outcome o = expectSameAtEverySplit(streamFramer(), InfoKind::Stream, stream);
  EXPECT_EQ(o.skips, 2);
  ASSERT_EQ(o.deliveries.size(), 7u);
  EXPECT_EQ(o.deliveries[0].data, head);
  EXPECT_EQ(o.deliveries[0].messageFlag, 0);
  EXPECT_EQ(o.deliveries[0].chunked, 1);
  EXPECT_EQ(o.deliveries[0].state, IHeaderCheck::kComplete);
  for (int id = 1; id <= 5; ++id) {
    EXPECT_EQ(o.deliveries[id].data, "{\"id\":" + std::to_string(id) + "}\r\n");
    EXPECT_EQ(o.deliveries[id].messageFlag, 1);
    EXPECT_EQ(o.deliveries[id].chunked, -1);  // no inner record for messages
  }
  EXPECT_EQ(o.deliveries[6].state, IHeaderCheck::kLast);
  EXPECT_FALSE(o.deliveries[6].hasData);

  // A stream ending at the last size line waits without over-reading.
  std::string cut = std::string(kChunkedHead) + chunk("{}\r\n") + "0\r\n";
  Outcome c = expectSameAtEverySplit(streamFramer(), InfoKind::Stream, cut);
  EXPECT_FALSE(c.ended);
  EXPECT_FALSE(c.error);
  EXPECT_EQ(c.deliveries.size(), 2u);
}

TEST(FramingHostile, OversizedAndMalformedContentLength) {
  for (const char* len : {"99999999999", "2147483648", "67108865", "-5", "5x", "", "0x10", "1 2"})
    expectBothRefuse(std::string("HTTP/1.1 200 OK\r\nContent-Length: ") + len + "\r\n\r\nbody");
  expectError(plainFramer(), InfoKind::Term, "HTTP/1.1 200 OK\r\nContent-Length: 4\r\nContent-Length: 5\r\n\r\nbody");
}

TEST(FramingHostile, BadChunkSizeLines) {
  // Only blanks and a chunk extension may follow the size.
  for (const char* line : {"FFFFFFFFFFFFFFF", "100000000", "4000001", "zz", "-1", "3x", "3 x", "1A x",
                           "0000000000000001A"})
    expectBothRefuse(std::string(kChunkedHead) + line + "\r\nabc\r\n0\r\n\r\n", true);
  expectBothRefuse(std::string(kChunkedHead) + std::string(40, '1'), true);  // a size line that never ends
}

TEST(FramingHostile, BrokenChunkEndsAndLastChunk) {
  for (const char* tail : {"3\r\nabcX\r\n", "3\r\nabc\rX", "0\r\nXY", "0\r\n\rX", "0\rX", "0\r\nTrailer: x\r\n\r\n"})
    expectBothRefuse(std::string(kChunkedHead) + tail, true);
  // A message cut off by the last chunk, and a CR inside a message that is not a line end.
  for (const char* tail : {"3\r\n{}\r\r\n0\r\n\r\n", "2\r\n{}\r\n0\r\n\r\n", "4\r\n{\r}\n\r\n"})
    expectError(streamFramer(), InfoKind::Stream, std::string(kChunkedHead) + tail, 1);
}

TEST(FramingHostile, LongHeadersAndMalformedLines) {
  for (const std::string& input : {
           "HTTP/1.1 200 OK\r\n" + std::string(300, 'N') + ": v\r\n\r\n",
           "HTTP/1.1 200 OK\r\nConnection: " + std::string(300, 'k') + "\r\n\r\n",
           std::string("HTTP/1.1 200 OK\rX\n\r\n"), std::string("HTTP/1.1 200 OK\r\nNo colon here\r\n\r\n"),
           std::string("HTTP/1.1 200 OK\r\nA: b\r\n\rX"), std::string("HTTP/1.1 200 OK\r\nA\nB: c\r\n\r\n"),
           std::string("HTTP/1.1 200 OK\r\nContent-Length: 1\rX\r\n\r\n")})
    expectBothRefuse(input);
  // Other headers' values are skipped, not collected, whatever their length...
  std::string longValue = "HTTP/1.1 200 OK\r\nX-Long: " + std::string(5000, 'v') + "\r\nContent-Length: 0\r\n\r\n";
  EXPECT_EQ(feedWhole(plainFramer(), InfoKind::Term, longValue).deliveries.size(), 1u);
  // ...but the header block as a whole is capped.
  std::string huge = "HTTP/1.1 200 OK\r\nX: " + std::string(framing::kMaxHeaderBlock, 'v') + "\r\n\r\n";
  EXPECT_TRUE(feedWhole(plainFramer(), InfoKind::Term, huge).error);
}

// Interim replies vanish whole, wherever the reads split them; the final reply's own
// headers decide its framing.
TEST(Framing, InterimRepliesAreSkippedAtEverySplit) {
  const std::string interim = "HTTP/1.1 100 Continue\r\nContent-Length: 4\r\nConnection: close\r\n\r\n"
                              "HTTP/1.1 103 Early Hints\r\nLink: </a>\r\n\r\n";
  const std::string reply = std::string(kHead) + "Content-Length: 2\r\n\r\nok";
  Outcome o = expectSameAtEverySplit(plainFramer(true), InfoKind::Term, interim + reply);
  ASSERT_EQ(o.deliveries.size(), 1u);
  EXPECT_EQ(o.deliveries[0].data, reply);
  EXPECT_EQ(o.deliveries[0].contentLength, 2);
  EXPECT_EQ(o.deliveries[0].state, IHeaderCheck::kComplete);  // the interim's close is not the reply's

  Outcome s = expectSameAtEverySplit(streamFramer(), InfoKind::Stream, interim + kChunkedHead + chunk("{}\r\n"));
  ASSERT_EQ(s.deliveries.size(), 2u);
  EXPECT_EQ(s.deliveries[0].data, kChunkedHead);
  EXPECT_EQ(s.deliveries[1].data, "{}\r\n");
}
