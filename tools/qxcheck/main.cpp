// Engine self-check: exercises the runtime's core services on this machine and prints
// what it found. Exit status 0 when every check holds.
#include <cstdio>
#include <string>

#include "platform/core/core.h"
#include "platform/thread/thread.h"
#include "runtime/core/profiler.h"
#include "runtime/core/thread_ctx.h"

namespace {
int failures = 0;

void check(const char* what, bool ok) {
  std::printf("%-40s %s\n", what, ok ? "ok" : "FAILED");
  if (!ok) ++failures;
}
}  // namespace

int main() {
  check("CRC-32", GetMemCRC32("123456789", 9) == 0xCBF43926u);
  char b64[16];
  check("base64", base64(b64, sizeof b64, "foobar", 6) == 8 && std::string(b64) == "Zm9vYmFy");
  uint8_t digest[20];
  HMAC_SHA1(digest, "Jefe", 4, "what do ya want for nothing?", 28);
  check("HMAC-SHA1", digest[0] == 0xef && digest[19] == 0x79);
  check("OAuth percent-encoding", qcore::urlEncode("a b~") == "a%20b~");
  check("UTF-8 <-> UTF-16", qcore::utf16ToUtf8(qcore::utf8ToUtf16("\xE6\x97\xA5\xF0\x9F\x98\x80")) ==
                                "\xE6\x97\xA5\xF0\x9F\x98\x80");
  check("integer text", qcore::parseI64("-9223372036854775808").has_value() &&
                            !qcore::parseI64("9223372036854775808").has_value());
  attachThreadLane();
  check("lock lane", threadCtx().laneIndex == 8);
  Profiler* prof = createThreadProfiler();
  prof->beginFrame();
  prof->beginSample("MAIN");
  qxplat::sleepMs(2);
  prof->endSample("MAIN");
  prof->endFrame();
  std::string report;
  prof->buildReport(report);
  check("profiler", report.find("MAIN") != std::string::npos);
  std::printf("\n%s\n\n", report.c_str());
  destroyThreadProfiler();
  detachThreadLane();
  std::printf("%d passed, %d failed\n", 8 - failures, failures);
  return failures == 0 ? 0 : 1;
}
