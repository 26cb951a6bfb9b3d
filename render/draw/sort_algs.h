// The five sort algorithms a draw list's chain is made of, and the chain's reading from
// the script's array of kind codes and parameters. Every sort is stable: entries of equal
// keys draw in the order they were queued, so widgets that queue their parts back to
// front at one depth stay that way through any chain. They sort in the space the list
// gives them and keep no list of their own, so a steady frame's sorts allocate nothing.
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "render/draw/draw_sort.h"

// Distance: near first when nearFirst, else far first; NaN distances always last. Runs
// start at an entry and take every following entry within tolerance of it; a negative
// or NaN tolerance makes the whole range one run.
class SA_Dist final : public DSortAlg {
 public:
  SA_Dist(bool nearFirst, float tolerance) : nearFirst_(nearFirst), tolerance_(tolerance) {}
  void sort(DrawEntry* first, DrawEntry* end, DrawEntry* scratch, std::vector<DrawRun>& runs) override;
  // The sort alone.
  void order(DrawEntry* first, DrawEntry* end, DrawEntry* scratch) const;

 private:
  bool nearFirst_;
  float tolerance_;
};

// The four texture ids; runs of equal ids.
class SA_Texture final : public DSortAlg {
 public:
  void sort(DrawEntry* first, DrawEntry* end, DrawEntry* scratch, std::vector<DrawRun>& runs) override;
};

// Index buffer, then the four stream words. Split: runs of equal buffers; otherwise two
// runs, own-buffer entries and then batched ones.
class SA_Stream final : public DSortAlg {
 public:
  explicit SA_Stream(bool split) : split_(split) {}
  void sort(DrawEntry* first, DrawEntry* end, DrawEntry* scratch, std::vector<DrawRun>& runs) override;

 private:
  bool split_;
};

// Primitive type, ascending or descending; runs of one type.
class SA_PrimType final : public DSortAlg {
 public:
  explicit SA_PrimType(bool ascending) : ascending_(ascending) {}
  void sort(DrawEntry* first, DrawEntry* end, DrawEntry* scratch, std::vector<DrawRun>& runs) override;

 private:
  bool ascending_;
};

// Transparency class ascending; opaque entries near first, every other class far
// first. One run: the whole range (meant to end a chain).
class SA_Transp final : public DSortAlg {
 public:
  void sort(DrawEntry* first, DrawEntry* end, DrawEntry* scratch, std::vector<DrawRun>& runs) override;
};

// One element of the script's sort array.
struct SortArg {
  enum class Type : uint8_t { number, boolean, other };
  Type type = Type::other;
  double number = 0;
  bool flag = false;
};

using SortChain = std::vector<std::unique_ptr<DSortAlg>>;

// Reads kind codes (0 distance: flag, tolerance; 1 texture; 2 stream: flag; 3 primitive
// type: flag; 4 transparency) with their parameters. A code that is not a number, is
// unknown, or lacks parameters at the end of the array adds nothing.
SortChain buildSortChain(std::span<const SortArg> args);
