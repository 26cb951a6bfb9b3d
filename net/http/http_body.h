#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "net/http/header_values.h"

namespace qx {
class obitstream;
}

// A typed HTTP body: the form text of a request, or the content of a reply typed by its
// Content-Type. Each kind is handed to scripts by the script-value conversion, which reads
// the kind-specific accessors below.
class HTTPBody {
 public:
  enum Kind { kForm = 0, kJson = 1, kText = 2, kRaw = 3 };

  virtual ~HTTPBody() = default;
  virtual const char* mimeType() const = 0;
  virtual bool accepts(std::string_view contentType) const = 0;
  // Appends the content as (name, value) pairs; only form bodies have any.
  virtual void listPairs(HeaderPairs&) const {}
  // Appends the content as the text sent on the wire.
  virtual void write(std::string& out) const = 0;
  // Writes the content into a stream (a download's file); only raw bodies hold bytes for
  // one. Gives the bytes the stream took.
  virtual size_t writeBytes(qx::obitstream&) const { return 0; }
  // Replaces the content with the bytes; returns a non-zero count on success.
  virtual size_t parse(const char* data, size_t length) = 0;
  // A new body of the same kind takes over the content; this one is left empty.
  virtual std::unique_ptr<HTTPBody> take() = 0;
  // A form value by name, or null.
  virtual const std::string* get(std::string_view) const { return nullptr; }
  virtual Kind kind() const = 0;
  virtual void clear() = 0;
};

// MIME types compare without regard to ASCII case.
bool mimeEquals(std::string_view a, std::string_view b);

// The first kind, in the order form, JSON, text, raw, that accepts contentType and parses
// the bytes; null when none does (an empty body among them).
std::unique_ptr<HTTPBody> makeBody(std::string_view contentType, const char* data, size_t length);

// Form parameters, "application/x-www-form-urlencoded".
class URLBody : public HTTPBody {
 public:
  const char* mimeType() const override { return "application/x-www-form-urlencoded"; }
  bool accepts(std::string_view type) const override;
  void listPairs(HeaderPairs& out) const override;
  // name=value pairs in name order, names and values percent-encoded, joined by "&".
  void write(std::string& out) const override;
  // Reads name=value pairs separated by "&" up to the end, a NUL or a line end; "%XX"
  // and "+" are decoded. Malformed text empties the map and gives 0.
  size_t parse(const char* data, size_t length) override;
  std::unique_ptr<HTTPBody> take() override;
  const std::string* get(std::string_view name) const override;
  Kind kind() const override { return kForm; }
  void clear() override { params_.clear(); }

  void set(std::string name, std::string value) { params_[std::move(name)] = std::move(value); }
  const std::map<std::string, std::string>& params() const { return params_; }

 private:
  std::map<std::string, std::string> params_;
};

// Text, "text/plain" or "text/html".
class TEXTBody : public HTTPBody {
 public:
  const char* mimeType() const override { return "text/html"; }
  bool accepts(std::string_view type) const override;
  void write(std::string& out) const override { out += text_; }
  size_t parse(const char* data, size_t length) override;
  std::unique_ptr<HTTPBody> take() override;
  Kind kind() const override { return kText; }
  void clear() override { text_.clear(); }

  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

// Bytes of any other type.
class RAWBody : public HTTPBody {
 public:
  const char* mimeType() const override { return "application/octet-stream"; }
  bool accepts(std::string_view) const override { return true; }
  void write(std::string& out) const override { out.append(data(), size_); }
  size_t writeBytes(qx::obitstream& out) const override;
  size_t parse(const char* data, size_t length) override;
  std::unique_ptr<HTTPBody> take() override;
  Kind kind() const override { return kRaw; }
  void clear() override;

  const char* data() const { return reinterpret_cast<const char*>(data_.get()); }
  size_t size() const { return size_; }
  // Hands the buffer (allocated with new uint8_t[]) over, for a script value that adopts
  // it; the body is left empty.
  std::unique_ptr<uint8_t[]> release(size_t& size);

 private:
  std::unique_ptr<uint8_t[]> data_;
  size_t size_ = 0;
};
