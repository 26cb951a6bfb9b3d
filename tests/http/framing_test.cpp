#include "framing_harness.h"

namespace {
const char kHead[] = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n";

std::string chunk(std::string_view data) {
  char size[16];
  std::snprintf(size, sizeof size, "%zx", data.size());
  return std::string(size) + "\r\n" + std::string(data) + "\r\n";
}
}  // namespace

TEST(Framing, ContentLengthBodyEndsAfterExactlyItsBytes) {
  std::string reply = std::string(kHead) + "Content-Length: 5\r\n\r\nhello";
  Outcome o = expectSameAtEverySplit(plainFramer(), InfoKind::Term, reply + "EXTRA");
  ASSERT_EQ(o.deliveries.size(), 1u);
  EXPECT_EQ(o.deliveries[0].data, reply);
  EXPECT_EQ(o.deliveries[0].state, IHeaderCheck::kLast);
  EXPECT_EQ(o.deliveries[0].contentLength, 5);
  EXPECT_FALSE(o.error);

  // A keep-alive framer reports state 1 and frames the next reply on the same connection.
  std::string second = "HTTP/1.1 404 Not Found\r\nContent-Length: 3\r\n\r\nabc";
  Outcome k = expectSameAtEverySplit(plainFramer(true), InfoKind::Term, reply + second);
  ASSERT_EQ(k.deliveries.size(), 2u);
  EXPECT_EQ(k.deliveries[0].state, IHeaderCheck::kComplete);
  EXPECT_EQ(k.deliveries[1].data, second);
}

TEST(Framing, ResponsesWithoutBody) {
  std::string zero = std::string(kHead) + "Content-Length: 0\r\n\r\n";
  Outcome z = expectSameAtEverySplit(plainFramer(), InfoKind::Term, zero);
  ASSERT_EQ(z.deliveries.size(), 1u);
  EXPECT_EQ(z.deliveries[0].data, zero);
  // Neither a length nor chunks: complete with the headers.
  std::string none = "HTTP/1.1 204 No Content\r\nServer: x\r\n\r\n";
  Outcome n = expectSameAtEverySplit(plainFramer(), InfoKind::Term, none + "ignored");
  ASSERT_EQ(n.deliveries.size(), 1u);
  EXPECT_EQ(n.deliveries[0].data, none);
  EXPECT_EQ(n.deliveries[0].contentLength, -1);
}

TEST(Framing, ConnectionCloseEndsAKeepAliveConnection) {
  std::string reply = "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 2\r\n\r\nok";
  Outcome o = expectSameAtEverySplit(plainFramer(true), InfoKind::Term, reply);
  ASSERT_EQ(o.deliveries.size(), 1u);
  EXPECT_EQ(o.deliveries[0].state, IHeaderCheck::kLast);
}

TEST(Framing, HeaderNamesMatchInAnyCase) {
  std::string reply = "HTTP/1.1 200 OK\r\ncontent-length: 4\r\nCONNECTION: Close\r\n\r\nbody";
  Outcome o = expectSameAtEverySplit(plainFramer(true), InfoKind::Term, reply);
  ASSERT_EQ(o.deliveries.size(), 1u);
  EXPECT_EQ(o.deliveries[0].data, reply);
  EXPECT_EQ(o.deliveries[0].state, IHeaderCheck::kLast);
}

TEST(Framing, PlainChunkedReplyIsDeChunked) {
  std::string head = std::string(kHead) + "Transfer-Encoding: chunked\r\n\r\n";
  std::string body(26, 'x');
  std::string reply = head + "1A\r\n" + body + "\r\n" + "3;ext=1\r\n[1]\r\n" + "0\r\n\r\n";
  Outcome o = expectSameAtEverySplit(plainFramer(), InfoKind::Term, reply);
  ASSERT_EQ(o.deliveries.size(), 1u);
  EXPECT_EQ(o.deliveries[0].data, head + body + "[1]");
  EXPECT_EQ(o.deliveries[0].chunked, 1);
  EXPECT_FALSE(o.error);
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
  EXPECT_FALSE(o.error);
  EXPECT_TRUE(o.ended);
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
}

TEST(Framing, StreamThatIsNotChunkedIsOneReply) {
  std::string reply = "HTTP/1.1 401 Unauthorized\r\nContent-Type: text/html\r\nContent-Length: 6\r\n\r\ndenied";
  Outcome o = expectSameAtEverySplit(streamFramer(), InfoKind::Stream, reply + "0\r\n\r\n");
  ASSERT_EQ(o.deliveries.size(), 1u);
  EXPECT_EQ(o.deliveries[0].data, reply);
  EXPECT_EQ(o.deliveries[0].state, IHeaderCheck::kLast);
  EXPECT_EQ(o.deliveries[0].contentLength, 6);
}

TEST(Framing, StreamEndingAtTheLastSizeLineWaitsWithoutOverReading) {
  std::string stream = std::string(kHead) + "Transfer-Encoding: chunked\r\n\r\n" + chunk("{}\r\n") + "0\r\n";
  Outcome o = expectSameAtEverySplit(streamFramer(), InfoKind::Stream, stream);
  EXPECT_FALSE(o.ended);
  EXPECT_FALSE(o.error);
  EXPECT_EQ(o.deliveries.size(), 2u);  // header block and "{}"; no final delivery yet
}

TEST(Framing, FramersAreReusableAfterReset) {
  auto f = HTTPHeaderChk::makeStream();
  std::string stream = std::string(kHead) + "Transfer-Encoding: chunked\r\n\r\n" + chunk("a\r\n") + "0\r\n\r\n";
  Outcome first = feedPieces(*f, InfoKind::Stream, stream, {});
  Outcome again = feedPieces(*f, InfoKind::Stream, stream, {});
  EXPECT_EQ(first, again);
  EXPECT_EQ(first.deliveries.size(), 3u);
  HTTPTermChk t(false);
  std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nx";
  EXPECT_EQ(feedPieces(t, InfoKind::Term, reply, {}), feedPieces(t, InfoKind::Term, reply, {}));
}
