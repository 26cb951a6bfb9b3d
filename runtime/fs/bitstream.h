// Bit streams over byte buffers: bits are read most significant first out of big-endian
// 32-bit words through a 4096-byte window; raw bytes, 16-bit strings and seeking by byte
// position go through the same window. A stream owns its buffer.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "runtime/fs/buffers.h"

namespace qx {

inline uint32_t swap32(uint32_t v) { return __builtin_bswap32(v); }
inline uint16_t swap16(uint16_t v) { return __builtin_bswap16(v); }

class bitstream {
 public:
  static constexpr uint32_t kWindow = 4096;

  virtual ~bitstream() = default;
  virtual bool isOpen() const = 0;
  virtual void close() = 0;
  // Byte position: the byte holding the next bit to read, or the count of bytes written.
  virtual int64_t tell() const = 0;
};

class ibitstream final : public bitstream {
 public:
  ibitstream() = default;
  explicit ibitstream(std::unique_ptr<IBuffer> source) { open(std::move(source)); }
  ~ibitstream() override = default;
  ibitstream(const ibitstream&) = delete;
  ibitstream& operator=(const ibitstream&) = delete;

  // Takes the source and positions the stream at byte 0.
  void open(std::unique_ptr<IBuffer> source);
  bool isOpen() const override { return source_ != nullptr; }
  void close() override;

  // The next n bits (n <= 32) as the low bits of the result, first bit most significant.
  // Past the end of the data the bits read as zero.
  uint32_t readBits(unsigned n) {
    if (n == 0) return 0;
    if (n > 32) n = 32;
    uint32_t result;
    if (n < bitsLeft_) {
      result = word_ >> (32 - n);
      word_ <<= n;
      bitsLeft_ -= n;
      return result;
    }
    const unsigned rest = n - bitsLeft_;  // bits that come from the next word
    result = bitsLeft_ == 0 ? 0 : word_ >> (32 - bitsLeft_);
    nextWord();
    if (rest > 0) {
      result = (rest == 32 ? 0 : result << rest) | (word_ >> (32 - rest));
      word_ = rest == 32 ? 0 : word_ << rest;
      bitsLeft_ -= rest;
      if (bitsLeft_ == 0) nextWord();
    }
    return result;
  }
  uint32_t readBit() {
    if (bitsLeft_ > 1) {
      const uint32_t bit = word_ >> 31;
      word_ <<= 1;
      --bitsLeft_;
      return bit;
    }
    return readBits(1);
  }
  // The next n bits (n <= 24) without taking them.
  uint32_t peekBits(unsigned n) {
    if (n <= bitsLeft_) return word_ >> (32 - n);
    // The bits after the current word sit in the window's next four bytes.
    if (index_ + 8 > valid_ && sourceHasMore()) compact();
    const uint8_t* p = window_ + index_ + 4;
    const uint32_t next = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
    const uint64_t bits = (uint64_t{word_} << 32) | (uint64_t{next} << (32 - bitsLeft_));
    return static_cast<uint32_t>(bits >> (64 - n));
  }
  // A 16-bit unit stored low byte first.
  uint16_t read16() { return swap16(static_cast<uint16_t>(readBits(16))); }
  // Aligns to a byte, then reads units stored low byte first up to and including a zero
  // unit, at most 63 of them. dst holds 64 units; the stored units are zero-terminated.
  // Gives the count stored.
  uint32_t readString16(char16_t* dst);
  // Aligns to a byte and copies the next n bytes; gives the count delivered.
  size_t readBytes(void* dst, size_t n);
  // Drops the rest of a partly read byte; gives whether bits were dropped.
  bool alignToByte();

  int64_t tell() const override;
  // Bits already taken from the byte at tell().
  unsigned bitOffset() const { return (32 - bitsLeft_) & 7; }
  // Aligns, then moves to a byte position (clamped to the source); gives tell().
  int64_t seek(int64_t position);
  int64_t skip(int64_t distance);
  bool eof() const;
  int64_t sourceSize() const { return source_ ? source_->size() : 0; }

 private:
  bool sourceHasMore() const { return !sourceDry_ && base_ + valid_ < sourceEnd_; }
  void fill();
  void compact();
  void nextWord();
  void loadWord(unsigned skipBytes);
  void positionAt(int64_t position);

  std::unique_ptr<IBuffer> source_;
  // Room for a zero word after the valid bytes, and for a word loaded at the window's end.
  uint8_t window_[kWindow + 8] = {};
  uint32_t word_ = 0;        // unread bits at the top
  uint32_t bitsLeft_ = 32;   // unread bits of word_; 0 only inside readBits
  int64_t base_ = 0;         // source position of window byte 0
  int64_t sourceEnd_ = 0;    // the source's size
  uint32_t valid_ = 0;       // valid bytes in the window
  uint32_t index_ = 0;       // window index of word_ (a multiple of 4 from the window start)
  bool sourceDry_ = true;    // the source delivered less than it promised
};

class obitstream final : public bitstream {
 public:
  obitstream() = default;
  explicit obitstream(std::unique_ptr<OBuffer> sink) : sink_(std::move(sink)) {}
  ~obitstream() override { close(); }
  obitstream(const obitstream&) = delete;
  obitstream& operator=(const obitstream&) = delete;

  bool isOpen() const override { return sink_ != nullptr; }
  // Flushes, then destroys the sink.
  void close() override;
  int64_t tell() const override { return written_ + used_; }

  // Appends the low n bits (n <= 32) of value, most significant first.
  void writeBits(uint32_t value, unsigned n);
  void writeZeroBits(size_t n);
  // Pads to a byte with zero bits, then appends the bytes; gives the count accepted.
  size_t writeBytes(const void* src, size_t n);
  // Pads to a byte with zero bits and hands every collected byte to the sink; false once
  // any write came up short.
  bool flush();
  bool failed() const { return failed_; }
  OBuffer* sink() const { return sink_.get(); }

 private:
  void putByte(uint8_t b) {
    window_[used_++] = b;
    if (used_ == kWindow) drain();
  }
  void padToByte();
  void drain();

  std::unique_ptr<OBuffer> sink_;
  uint8_t window_[kWindow];
  uint32_t used_ = 0;
  uint64_t acc_ = 0;       // pending bits, fewer than 8 between calls
  unsigned accBits_ = 0;
  int64_t written_ = 0;    // bytes handed to the sink
  bool failed_ = false;
};

}  // namespace qx
