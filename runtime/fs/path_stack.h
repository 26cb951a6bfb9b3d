// A fixed-capacity engine path (UTF-16, '\' between elements) kept in a ring of cells so
// that elements can be pushed and popped at either end without moving text.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

struct PathMark {
  uint16_t head;
  uint16_t tail;
  uint16_t length;  // kept so that a full ring restores exactly
  uint8_t depth;
};

class PathStack {
 public:
  static constexpr uint32_t kCapacity = 512;

  PathStack() { reset(); }
  explicit PathStack(std::u16string_view path) : PathStack() { set(path); }

  void reset();
  // Replaces the whole path. '/' is accepted as a separator; a leading '/' stays (an
  // absolute host path). Throws std::length_error("buffer overflow") when the text is
  // longer than the capacity and std::invalid_argument("invalid path") when it begins with
  // '\'; the path is unchanged then.
  void set(std::u16string_view path);
  // Appends an element, which may itself hold separators. Throws
  // std::length_error("buffer overflow") when the cells would not hold it.
  void push(std::u16string_view element);
  void pop();
  void popFront();

  std::u16string str() const;
  std::u16string firstElement() const;
  std::u16string lastElement() const;
  int depth() const { return depth_; }
  uint32_t length() const { return length_; }
  bool empty() const { return length_ == 0; }
  // An absolute host path: one that begins with '/'.
  bool isAbsolute() const;

  PathMark saveMark() const;
  void restoreMark(const PathMark& mark);

  // The last element's extension: everything after its first '.', further dots left out.
  std::u16string extension() const;
  void replaceExtension(std::u16string_view ext);
  // Counts the last element's extension up by one (pak -> pak1 -> pak2); returns the new
  // number, or -1 for an empty path.
  int nextNumberedExtension();

 private:
  static uint32_t wrap(uint32_t i) { return i % kCapacity; }
  char16_t at(uint32_t offset) const { return cells_[wrap(head_ + 1 + offset)]; }

  char16_t cells_[kCapacity];
  uint32_t head_;    // the cell just before the first character
  uint32_t tail_;    // the cell just after the last character
  uint32_t length_;  // characters held, separators included
  int depth_;        // element count
};

// The program's folder, the base of every resource root. Set at start-up from the
// executable's path with its file name popped.
PathStack& programPath();
