// Framed reply bytes handed to TwiAPI: a failed or error piece must end the connection.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "net/http/header_chk.h"
#include "net/http/term_chk.h"
#include "net/twiapi/api_table.h"
#include "net/twiapi/twiapi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool stream = data[0] != 0;
  const APIEndpoint& row = findEndpoint(stream ? "stream_filter" : "rest_home_tl");
  std::unique_ptr<IHeaderCheck> framer;
  if (stream) {
    framer = HTTPHeaderChk::makeStream();
  } else {
    framer = std::make_unique<HTTPTermChk>(false);
  }
  TwiAPI api;
  const char* p = reinterpret_cast<const char*>(data + 1);
  size_t left = size - 1;
  for (int rounds = 0; rounds < 100000; ++rounds) {
    const int used = framer->feed(p, static_cast<int>(left));
    p += used;
    left -= static_cast<size_t>(used);
    const int state = framer->state();
    if (state == IHeaderCheck::kComplete || state == IHeaderCheck::kLast) {
      FramedData d = framer->buffered();
      TwiAPI::Outcome out;
      api.onResponse(1, row, d.info, d.data, d.length, out);
      if (out.name && std::string(*out.values[0].asString()) == "failed" && !out.stop) std::abort();
      framer->reset();
      if (out.stop || state == IHeaderCheck::kLast) break;
    } else if (state == IHeaderCheck::kSkip) {
      framer->reset();
    } else if (state != IHeaderCheck::kNeedMore || used == 0) {
      break;
    }
  }
  return 0;
}
