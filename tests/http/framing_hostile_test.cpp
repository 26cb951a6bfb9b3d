#include "framing_harness.h"

namespace {
const char kChunkedHead[] = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";

// The input must end in the error state however it is cut, with nothing delivered.
void expectError(const FramerFactory& make, InfoKind kind, std::string_view input, size_t deliveriesBefore = 0) {
  Outcome o = expectSameAtEverySplit(make, kind, input);
  EXPECT_TRUE(o.error) << input.substr(0, 200);
  EXPECT_EQ(o.deliveries.size(), deliveriesBefore) << input.substr(0, 200);
}
}  // namespace

TEST(FramingHostile, OversizedAndMalformedContentLength) {
  for (const char* len : {"99999999999", "2147483648", "67108865", "-5", "5x", "", "0x10", "1 2"}) {
    std::string reply = std::string("HTTP/1.1 200 OK\r\nContent-Length: ") + len + "\r\n\r\nbody";
    expectError(plainFramer(), InfoKind::Term, reply);
    expectError(streamFramer(), InfoKind::Stream, reply);
  }
  expectError(plainFramer(), InfoKind::Term, "HTTP/1.1 200 OK\r\nContent-Length: 4\r\nContent-Length: 5\r\n\r\nbody");
}

TEST(FramingHostile, BadChunkSizes) {
  for (const char* line : {"FFFFFFFFFFFFFFF", "100000000", "4000001", "zz", "-1", "1A x", "0000000000000001A"}) {
    std::string input = std::string(kChunkedHead) + line + "\r\nabc\r\n0\r\n\r\n";
    expectError(plainFramer(), InfoKind::Term, input);
    expectError(streamFramer(), InfoKind::Stream, input, 1);  // after the header block
  }
  // A size line that never ends.
  std::string endless = std::string(kChunkedHead) + std::string(40, '1');
  expectError(plainFramer(), InfoKind::Term, endless);
  expectError(streamFramer(), InfoKind::Stream, endless, 1);
}

TEST(FramingHostile, BrokenChunkEndsAndLastChunk) {
  const std::string head = kChunkedHead;
  for (const char* tail : {"3\r\nabcX\r\n", "3\r\nabc\rX", "0\r\nXY", "0\r\n\rX", "0\rX", "0\r\nTrailer: x\r\n\r\n"}) {
    expectError(plainFramer(), InfoKind::Term, head + tail);
    expectError(streamFramer(), InfoKind::Stream, head + tail, 1);
  }
  // A message cut off by the last chunk.
  expectError(streamFramer(), InfoKind::Stream, head + "3\r\n{}\r\r\n" + "0\r\n\r\n", 1);
  expectError(streamFramer(), InfoKind::Stream, head + "2\r\n{}\r\n0\r\n\r\n", 1);
  // A CR inside a message that is not a line end.
  expectError(streamFramer(), InfoKind::Stream, head + "4\r\n{\r}\n\r\n", 1);
}

TEST(FramingHostile, LongHeaderNamesAndValues) {
  std::string name(300, 'N');
  expectError(plainFramer(), InfoKind::Term, "HTTP/1.1 200 OK\r\n" + name + ": v\r\n\r\n");
  expectError(streamFramer(), InfoKind::Stream, "HTTP/1.1 200 OK\r\n" + name + ": v\r\n\r\n");
  expectError(plainFramer(), InfoKind::Term, "HTTP/1.1 200 OK\r\nConnection: " + std::string(300, 'k') + "\r\n\r\n");
  // Other headers' values are skipped, not collected, whatever their length...
  std::string longValue = "HTTP/1.1 200 OK\r\nX-Long: " + std::string(5000, 'v') + "\r\nContent-Length: 0\r\n\r\n";
  EXPECT_EQ(feedWhole(plainFramer(), InfoKind::Term, longValue).deliveries.size(), 1u);
  // ...but the header block as a whole is capped.
  std::string huge = "HTTP/1.1 200 OK\r\nX: " + std::string(framing::kMaxHeaderBlock, 'v') + "\r\n\r\n";
  Outcome o = feedWhole(plainFramer(), InfoKind::Term, huge);
  EXPECT_TRUE(o.error);
}

TEST(FramingHostile, MalformedLineEndsAndGarbage) {
  for (const char* input : {"HTTP/1.1 200 OK\rX\n\r\n", "HTTP/1.1 200 OK\r\nNo colon here\r\n\r\n",
                            "HTTP/1.1 200 OK\r\nA: b\r\n\rX", "HTTP/1.1 200 OK\r\nA\nB: c\r\n\r\n",
                            "HTTP/1.1 200 OK\r\nContent-Length: 1\rX\r\n\r\n"}) {
    expectError(plainFramer(), InfoKind::Term, input);
    expectError(streamFramer(), InfoKind::Stream, input);
  }
  std::string garbage;
  std::mt19937 rng(99);
  for (int i = 0; i < 400; ++i) garbage.push_back(static_cast<char>(rng()));
  garbage += "\r\r";
  Outcome g = feedWhole(plainFramer(), InfoKind::Term, garbage);
  EXPECT_TRUE(g.error);
  EXPECT_TRUE(g.deliveries.empty());
}
