#include "runtime/fs/bitstream.h"

#include <algorithm>
#include <cstring>

namespace qx {

namespace {
uint32_t loadBigEndian(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
}  // namespace

void ibitstream::open(std::unique_ptr<IBuffer> source) {
  close();
  if (!source) return;
  source_ = std::move(source);
  sourceEnd_ = std::max<int64_t>(source_->size(), 0);
  sourceDry_ = false;
  fill();
  loadWord(0);
}

void ibitstream::close() {
  source_.reset();
  std::memset(window_, 0, sizeof(window_));
  word_ = 0;
  bitsLeft_ = 32;
  base_ = 0;
  sourceEnd_ = 0;
  valid_ = 0;
  index_ = 0;
  sourceDry_ = true;
}

// Tops the window up from the source and zeroes what follows the valid bytes, so that
// reads past the end of the data give zero bits.
void ibitstream::fill() {
  while (valid_ < kWindow && sourceHasMore()) {
    const size_t got = source_->read(window_ + valid_, kWindow - valid_);
    if (got == 0) {
      sourceDry_ = true;
      break;
    }
    valid_ += static_cast<uint32_t>(got);
  }
  std::memset(window_ + valid_, 0, sizeof(window_) - valid_);
}

// Moves the bytes from the current word on to the window's start and refills the rest.
void ibitstream::compact() {
  const uint32_t keep = valid_ > index_ ? valid_ - index_ : 0;
  std::memmove(window_, window_ + index_, keep);
  base_ += index_;
  valid_ = keep;
  index_ = 0;
  fill();
}

void ibitstream::loadWord(unsigned skipBytes) {
  if (index_ + 4 > valid_ && sourceHasMore()) compact();
  word_ = loadBigEndian(window_ + index_);
  if (skipBytes > 0) word_ <<= 8 * skipBytes;
  bitsLeft_ = 32 - 8 * skipBytes;
}

void ibitstream::nextWord() {
  // Past the end of the data the index stops at the window's end, where the bytes are zero.
  index_ = std::min(index_ + 4, kWindow);
  loadWord(0);
}

bool ibitstream::alignToByte() {
  const unsigned drop = bitsLeft_ & 7;
  if (drop == 0) return false;
  word_ <<= drop;
  bitsLeft_ -= drop;
  if (bitsLeft_ == 0) nextWord();
  return true;
}

int64_t ibitstream::tell() const {
  const int64_t p = base_ + index_ + (32 - bitsLeft_) / 8;
  return sourceHasMore() ? p : std::min(p, base_ + valid_);
}

bool ibitstream::eof() const {
  if (sourceHasMore()) return false;
  const int64_t bitPos = (base_ + index_) * 8 + (32 - bitsLeft_);
  return bitPos >= (base_ + valid_) * 8;
}

uint32_t ibitstream::readString16(char16_t* dst) {
  alignToByte();
  uint32_t count = 0;
  while (count < 63) {
    const uint16_t unit = read16();
    if (unit == 0) break;
    dst[count++] = static_cast<char16_t>(unit);
  }
  dst[count] = 0;
  return count;
}

void ibitstream::positionAt(int64_t position) {
  if (position >= base_ && position <= base_ + valid_) {
    const int64_t offset = position - base_;
    index_ = static_cast<uint32_t>(offset & ~int64_t{3});
    loadWord(static_cast<unsigned>(offset & 3));
    return;
  }
  base_ = position;
  valid_ = 0;
  index_ = 0;
  sourceDry_ = source_ == nullptr || source_->seek(position) != position;
  if (!sourceDry_) fill();
  else std::memset(window_, 0, sizeof(window_));
  loadWord(0);
}

size_t ibitstream::readBytes(void* dst, size_t n) {
  alignToByte();
  if (!source_) return 0;
  auto* out = static_cast<uint8_t*>(dst);
  int64_t pos = tell();
  size_t done = 0;
  while (done < n) {
    const int64_t inWindow = base_ + valid_ - pos;
    if (inWindow > 0) {
      const size_t c = static_cast<size_t>(std::min<int64_t>(inWindow, static_cast<int64_t>(n - done)));
      std::memcpy(out + done, window_ + (pos - base_), c);
      done += c;
      pos += static_cast<int64_t>(c);
      continue;
    }
    if (!sourceHasMore()) break;
    // The window is used up and pos is where the source stands: large copies bypass it.
    base_ = pos;
    valid_ = 0;
    index_ = 0;
    if (n - done >= kWindow) {
      const size_t want = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(n - done), sourceEnd_ - pos));
      size_t got = 0;
      while (got < want) {
        const size_t part = source_->read(out + done + got, want - got);
        if (part == 0) {
          sourceDry_ = true;
          break;
        }
        got += part;
      }
      done += got;
      pos += static_cast<int64_t>(got);
      base_ = pos;
    }
    fill();
  }
  positionAt(pos);
  return done;
}

int64_t ibitstream::seek(int64_t position) {
  alignToByte();
  if (!source_) return 0;
  position = std::clamp<int64_t>(position, 0, sourceEnd_);
  if (position == tell()) return position;
  positionAt(position);
  return tell();
}

int64_t ibitstream::skip(int64_t distance) {
  alignToByte();
  return seek(tell() + distance);
}

void obitstream::close() {
  if (!sink_) return;
  flush();
  sink_->close();
  sink_.reset();
}

void obitstream::writeBits(uint32_t value, unsigned n) {
  if (n == 0 || !sink_) return;
  if (n > 32) n = 32;
  const uint64_t mask = (uint64_t{1} << n) - 1;
  acc_ = (acc_ << n) | (value & mask);
  accBits_ += n;
  while (accBits_ >= 8) {
    accBits_ -= 8;
    putByte(static_cast<uint8_t>(acc_ >> accBits_));
  }
  acc_ &= (uint64_t{1} << accBits_) - 1;
}

void obitstream::writeZeroBits(size_t n) {
  while (n > 0) {
    const unsigned k = static_cast<unsigned>(std::min<size_t>(n, 32));
    writeBits(0, k);
    n -= k;
  }
}

void obitstream::padToByte() {
  if (accBits_ == 0) return;
  const uint8_t b = static_cast<uint8_t>(acc_ << (8 - accBits_));
  acc_ = 0;
  accBits_ = 0;
  putByte(b);
}

void obitstream::drain() {
  if (used_ == 0) return;
  const size_t put = sink_ ? sink_->write(window_, used_) : 0;
  if (put < used_) failed_ = true;
  written_ += static_cast<int64_t>(put);
  used_ = 0;
}

size_t obitstream::writeBytes(const void* src, size_t n) {
  if (!sink_) return 0;
  padToByte();
  if (n <= kWindow - used_) {
    std::memcpy(window_ + used_, src, n);
    used_ += static_cast<uint32_t>(n);
    if (used_ == kWindow) drain();
    return n;
  }
  drain();
  const size_t put = sink_->write(src, n);
  if (put < n) failed_ = true;
  written_ += static_cast<int64_t>(put);
  return put;
}

bool obitstream::flush() {
  if (!sink_) return false;
  padToByte();
  drain();
  return !failed_;
}

}  // namespace qx
