#include "render/draw/sort_algs.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "render/draw/entry_sort.h"

namespace {

template <class Key>
void runsOfEqualKey(DrawEntry* first, DrawEntry* end, std::vector<DrawRun>& runs, Key key) {
  for (DrawEntry* b = first; b != end;) {
    DrawEntry* e = b + 1;
    while (e != end && key(*e) == key(*b)) ++e;
    runs.push_back(DrawRun{b, e});
    b = e;
  }
}

auto textureKey(const DrawEntry& e) {
  return std::make_tuple(e.textures[0].value, e.textures[1].value, e.textures[2].value, e.textures[3].value);
}

auto streamKey(const DrawEntry& e) {
  return std::make_tuple(e.key.indexBuffer, e.key.streams[0], e.key.streams[1], e.key.streams[2],
                         e.key.streams[3]);
}

}  // namespace

void SA_Dist::order(DrawEntry* first, DrawEntry* end, DrawEntry* scratch) const {
  // NaN sorts last either way: a comparison without a total order is undefined.
  if (nearFirst_) {
    sortEntries(first, end, scratch, [](const DrawEntry& a, const DrawEntry& b) {
      if (std::isnan(b.distance)) return !std::isnan(a.distance);
      return a.distance < b.distance;
    });
  } else {
    sortEntries(first, end, scratch, [](const DrawEntry& a, const DrawEntry& b) {
      if (std::isnan(b.distance)) return !std::isnan(a.distance);
      return a.distance > b.distance;
    });
  }
}

void SA_Dist::sort(DrawEntry* first, DrawEntry* end, DrawEntry* scratch, std::vector<DrawRun>& runs) {
  if (first == end) return;
  order(first, end, scratch);
  if (!(tolerance_ >= 0.0f)) {
    runs.push_back(DrawRun{first, end});
    return;
  }
  DrawEntry* b = first;
  for (DrawEntry* e = first + 1; e != end; ++e) {
    if (!(std::fabs(e->distance - b->distance) <= tolerance_)) {
      runs.push_back(DrawRun{b, e});
      b = e;
    }
  }
  runs.push_back(DrawRun{b, end});
}

void SA_Texture::sort(DrawEntry* first, DrawEntry* end, DrawEntry* scratch, std::vector<DrawRun>& runs) {
  sortEntries(first, end, scratch, [](const DrawEntry& a, const DrawEntry& b) { return textureKey(a) < textureKey(b); });
  runsOfEqualKey(first, end, runs, textureKey);
}

void SA_Stream::sort(DrawEntry* first, DrawEntry* end, DrawEntry* scratch, std::vector<DrawRun>& runs) {
  sortEntries(first, end, scratch, [](const DrawEntry& a, const DrawEntry& b) { return streamKey(a) < streamKey(b); });
  if (split_) {
    runsOfEqualKey(first, end, runs, streamKey);
    return;
  }
  DrawEntry* batched = std::find_if(first, end, [](const DrawEntry& e) { return e.key.isBatched(); });
  if (batched != first) runs.push_back(DrawRun{first, batched});
  if (batched != end) runs.push_back(DrawRun{batched, end});
}

void SA_PrimType::sort(DrawEntry* first, DrawEntry* end, DrawEntry* scratch, std::vector<DrawRun>& runs) {
  if (ascending_) {
    sortEntries(first, end, scratch, [](const DrawEntry& a, const DrawEntry& b) { return a.primType < b.primType; });
  } else {
    sortEntries(first, end, scratch, [](const DrawEntry& a, const DrawEntry& b) { return a.primType > b.primType; });
  }
  runsOfEqualKey(first, end, runs, [](const DrawEntry& e) { return e.primType; });
}

void SA_Transp::sort(DrawEntry* first, DrawEntry* end, DrawEntry* scratch, std::vector<DrawRun>& runs) {
  if (first == end) return;
  sortEntries(first, end, scratch,
              [](const DrawEntry& a, const DrawEntry& b) { return a.transparency < b.transparency; });
  for (DrawEntry* b = first; b != end;) {
    DrawEntry* e = b + 1;
    while (e != end && e->transparency == b->transparency) ++e;
    SA_Dist(b->transparency == 0, -1.0f).order(b, e, scratch);
    b = e;
  }
  runs.push_back(DrawRun{first, end});
}

SortChain buildSortChain(std::span<const SortArg> args) {
  SortChain chain;
  const auto flagAt = [&](size_t i) { return args[i].type == SortArg::Type::boolean && args[i].flag; };
  size_t i = 0;
  while (i < args.size()) {
    const SortArg& code = args[i];
    if (code.type != SortArg::Type::number || !(std::fabs(code.number) < 2147483648.0)) {
      ++i;
      continue;
    }
    switch (static_cast<int32_t>(code.number)) {
      case 0:
        if (i + 2 >= args.size()) return chain;
        chain.push_back(std::make_unique<SA_Dist>(
            flagAt(i + 1), args[i + 2].type == SortArg::Type::number ? static_cast<float>(args[i + 2].number) : 0.0f));
        i += 3;
        break;
      case 1:
        chain.push_back(std::make_unique<SA_Texture>());
        i += 1;
        break;
      case 2:
        if (i + 1 >= args.size()) return chain;
        chain.push_back(std::make_unique<SA_Stream>(flagAt(i + 1)));
        i += 2;
        break;
      case 3:
        if (i + 1 >= args.size()) return chain;
        chain.push_back(std::make_unique<SA_PrimType>(flagAt(i + 1)));
        i += 2;
        break;
      case 4:
        chain.push_back(std::make_unique<SA_Transp>());
        i += 1;
        break;
      default:
        ++i;
        break;
    }
  }
  return chain;
}
