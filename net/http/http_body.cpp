#include "net/http/http_body.h"

#include <cstring>

#include "net/http/http_text.h"
#include "net/http/json_body.h"
#include "runtime/fs/bitstream.h"

bool mimeEquals(std::string_view a, std::string_view b) { return httptext::equalsNoCase(a, b); }

std::unique_ptr<HTTPBody> makeBody(std::string_view contentType, const char* data, size_t length) {
  std::unique_ptr<HTTPBody> kinds[] = {std::make_unique<URLBody>(), std::make_unique<JSONBody>(),
                                       std::make_unique<TEXTBody>(), std::make_unique<RAWBody>()};
  for (auto& body : kinds)
    if (body->accepts(contentType) && body->parse(data, length) != 0) return std::move(body);
  return nullptr;
}

bool TEXTBody::accepts(std::string_view type) const {
  return mimeEquals(type, "text/plain") || mimeEquals(type, "text/html");
}

size_t TEXTBody::parse(const char* data, size_t length) {
  text_.assign(data, length);
  return length;
}

std::unique_ptr<HTTPBody> TEXTBody::take() {
  auto b = std::make_unique<TEXTBody>();
  b->text_.swap(text_);
  return b;
}

size_t RAWBody::parse(const char* data, size_t length) {
  clear();
  if (length == 0) return 0;
  data_.reset(new uint8_t[length]);
  std::memcpy(data_.get(), data, length);
  size_ = length;
  return length;
}

size_t RAWBody::writeBytes(qx::obitstream& out) const { return size_ ? out.writeBytes(data_.get(), size_) : 0; }

std::unique_ptr<HTTPBody> RAWBody::take() {
  auto b = std::make_unique<RAWBody>();
  b->data_ = std::move(data_);
  b->size_ = size_;
  size_ = 0;
  return b;
}

void RAWBody::clear() {
  data_.reset();
  size_ = 0;
}

std::unique_ptr<uint8_t[]> RAWBody::release(size_t& size) {
  size = size_;
  size_ = 0;
  return std::move(data_);
}
