#include "runtime/fs/path_stack.h"

#include <stdexcept>

namespace {
constexpr char16_t kSep = u'\\';

bool isSep(char16_t c) { return c == u'\\' || c == u'/'; }
}  // namespace

void PathStack::reset() {
  head_ = kCapacity - 1;
  tail_ = 0;
  length_ = 0;
  depth_ = 0;
}

void PathStack::set(std::u16string_view path) {
  size_t n = path.size();
  if (n > kCapacity) throw std::length_error("buffer overflow");
  if (n > 1 && isSep(path[n - 1])) --n;
  if (n > 0 && path[0] == kSep) throw std::invalid_argument("invalid path");
  int depth = 1;
  for (size_t i = 0; i < n; ++i) {
    char16_t c = path[i];
    // A leading '/' marks an absolute host path and is kept as it is.
    if (isSep(c) && i > 0) {
      c = kSep;
      ++depth;
    }
    cells_[i] = c;
  }
  head_ = kCapacity - 1;
  length_ = static_cast<uint32_t>(n);
  tail_ = wrap(length_);
  depth_ = depth;
}

void PathStack::push(std::u16string_view element) {
  const size_t m = element.size();
  if (length_ + m + 1 > kCapacity) throw std::length_error("buffer overflow");
  const bool wasEmpty = length_ == 0;
  if (!wasEmpty) {
    cells_[tail_] = kSep;
    tail_ = wrap(tail_ + 1);
    ++length_;
  }
  int separators = 0;
  for (size_t i = 0; i < m; ++i) {
    char16_t c = element[i];
    // As in set, a leading '/' on an empty stack marks an absolute host path.
    if (isSep(c) && !(wasEmpty && i == 0 && c == u'/')) {
      c = kSep;
      ++separators;
    }
    cells_[tail_] = c;
    tail_ = wrap(tail_ + 1);
  }
  length_ += static_cast<uint32_t>(m);
  // An element that holds separators adds as many elements as it has parts, so that the
  // depth keeps counting what pop and popFront remove.
  depth_ += 1 + separators;
}

void PathStack::pop() {
  for (uint32_t i = length_; i-- > 1;) {
    if (at(i) == kSep) {
      tail_ = wrap(head_ + 1 + i);
      length_ = i;
      --depth_;
      return;
    }
  }
  reset();
}

void PathStack::popFront() {
  for (uint32_t i = 0; i < length_; ++i) {
    if (at(i) == kSep) {
      head_ = wrap(head_ + 1 + i);
      length_ -= i + 1;
      --depth_;
      return;
    }
  }
  reset();
}

std::u16string PathStack::str() const {
  std::u16string out(length_, u'\0');
  for (uint32_t i = 0; i < length_; ++i) out[i] = at(i);
  return out;
}

std::u16string PathStack::firstElement() const {
  std::u16string out;
  for (uint32_t i = 0; i < length_ && at(i) != kSep; ++i) out.push_back(at(i));
  return out;
}

std::u16string PathStack::lastElement() const {
  uint32_t start = length_;
  while (start > 0 && at(start - 1) != kSep) --start;
  std::u16string out(length_ - start, u'\0');
  for (uint32_t i = start; i < length_; ++i) out[i - start] = at(i);
  return out;
}

bool PathStack::isAbsolute() const { return length_ > 0 && at(0) == u'/'; }

PathMark PathStack::saveMark() const {
  return PathMark{static_cast<uint16_t>(head_), static_cast<uint16_t>(tail_),
                  static_cast<uint16_t>(length_), static_cast<uint8_t>(depth_)};
}

void PathStack::restoreMark(const PathMark& mark) {
  head_ = wrap(mark.head);
  tail_ = wrap(mark.tail);
  length_ = mark.length <= kCapacity ? mark.length : kCapacity;
  depth_ = mark.depth;
}

std::u16string PathStack::extension() const {
  if (depth_ < 1) return {};
  const std::u16string last = lastElement();
  const size_t dot = last.find(u'.');
  if (dot == std::u16string::npos) return {};
  std::u16string ext;
  for (size_t i = dot + 1; i < last.size(); ++i)
    if (last[i] != u'.') ext.push_back(last[i]);
  return ext;
}

void PathStack::replaceExtension(std::u16string_view ext) {
  if (depth_ < 1) return;
  std::u16string last = lastElement();
  const size_t dot = last.find(u'.');
  if (dot == std::u16string::npos)
    last.push_back(u'.');
  else
    last.resize(dot + 1);
  last.append(ext);
  // Work on a copy so that a push that does not fit leaves this path as it was.
  PathStack next(*this);
  next.pop();
  next.push(last);
  *this = next;
}

int PathStack::nextNumberedExtension() {
  if (depth_ < 1) return -1;
  std::u16string ext = extension();
  size_t first = 0;
  while (first < ext.size() && !(ext[first] >= u'0' && ext[first] <= u'9')) ++first;
  int number = 1;
  if (first == ext.size()) {
    ext.push_back(u'1');
  } else {
    int64_t value = 0;
    for (size_t i = first; i < ext.size() && ext[i] >= u'0' && ext[i] <= u'9'; ++i) {
      value = value * 10 + (ext[i] - u'0');
      if (value > 999999999) value = 999999999;  // keeps the count inside an int
    }
    number = static_cast<int>(value) + 1;
    ext.resize(first);
    for (char c : std::to_string(number)) ext.push_back(static_cast<char16_t>(c));
  }
  replaceExtension(ext);
  return number;
}

PathStack& programPath() {
  static PathStack path;
  return path;
}
