#include "runtime/fs/pack_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <new>

#include "runtime/fs/host_path.h"
#include "runtime/fs/path_stack.h"

namespace qx {

namespace {
// A pack with more parts than this is taken as malformed rather than exhausting descriptors.
constexpr size_t kMaxParts = 1000;
}  // namespace

std::u16string packKey(std::u16string_view name) {
  std::u16string key(name);
  for (char16_t& c : key) {
    if (c == u'/') c = u'\\';
    else if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return key;
}

bool BufPack::open(std::unique_ptr<IBuffer> window) {
  close();
  if (!window) return false;
  in_ = std::make_unique<ibitstream>(std::move(window));
  const int64_t available = in_->sourceSize();
  if (available < 8) {
    close();
    return false;
  }
  const uint32_t length = in_->readBits(32);
  const uint32_t size = in_->readBits(32);
  const int64_t coded = length >= 4 ? int64_t{length} - 4 : 0;
  // A one-leaf code spends no bits per byte, so nothing else bounds the size it claims.
  if (length == 0 || length == kPackDeletedMark || size == 0 || size > kPackMaxEntryBytes ||
      coded > available - 8 || uint64_t{size} > packEntryMaxClaim(8 + static_cast<uint64_t>(coded))) {
    close();
    return false;
  }
  budget_ = static_cast<uint64_t>(coded) * 8;
  if (!tree_.readTree(*in_, budget_)) {
    close();
    return false;
  }
  size_ = size;
  pos_ = 0;
  broken_ = false;
  recordRestart();
  return true;
}

void BufPack::close() {
  in_.reset();
  size_ = 0;
  pos_ = 0;
  budget_ = 0;
  broken_ = false;
  restarts_.clear();
}

bool BufPack::plausible() const {
  if (!in_) return false;
  if (tree_.singleLeaf()) return true;
  return budget_ >= static_cast<uint64_t>(size_ - pos_);
}

void BufPack::recordRestart() {
  restarts_.push_back(Restart{pos_, in_->bitOffset(), in_->tell(), budget_});
}

size_t BufPack::read(void* dst, size_t n) {
  if (!in_ || broken_) return 0;
  auto* out = static_cast<uint8_t*>(dst);
  const size_t m = std::min<size_t>(n, size_ - pos_);
  size_t done = 0;
  while (done < m) {
    if (pos_ % kRestartSpacing == 0 && pos_ > restarts_.back().outPos) recordRestart();
    const int symbol = tree_.decode(*in_, budget_);
    if (symbol < 0) {
      broken_ = true;
      break;
    }
    out[done++] = static_cast<uint8_t>(symbol);
    ++pos_;
  }
  return done;
}

int64_t BufPack::seek(int64_t target) {
  if (!in_) return 0;
  const auto goal = static_cast<uint32_t>(std::clamp<int64_t>(target, 0, size_));
  if (goal == pos_) return pos_;
  // The last restart point at or before the goal; decoding on from the current position
  // is as good when that lies between the two.
  auto it = std::upper_bound(restarts_.begin(), restarts_.end(), goal,
                             [](uint32_t g, const Restart& r) { return g < r.outPos; });
  const Restart& r = *(it - 1);
  if (broken_ || goal < pos_ || pos_ < r.outPos) {
    in_->seek(r.bytePos);
    in_->readBits(r.bitOffset);
    budget_ = r.budget;
    pos_ = r.outPos;
    broken_ = false;
  }
  uint8_t scratch[4096];
  while (pos_ < goal) {
    const size_t want = std::min<size_t>(sizeof(scratch), goal - pos_);
    if (read(scratch, want) < want) break;
  }
  return pos_;
}


std::unique_ptr<PackFile> PackFile::create(std::u16string_view path) {
  std::unique_ptr<PackFile> pack(new PackFile());
  PathStack partName;
  try {
    partName.set(path);
  } catch (const std::exception&) {
    return nullptr;
  }
  for (;;) {
    auto host = toHostPath(partName.str());
    auto found = host ? findHostPath(*host) : std::nullopt;
    if (!found || !isHostRegularFile(*found)) break;
    if (pack->parts_.size() == kMaxParts) return nullptr;
    const int fd = ::open(found->c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw PackOpenError();
    pack->parts_.push_back(std::shared_ptr<const int>(new int(fd), [](const int* p) {
      ::close(*p);
      delete p;
    }));
    auto window = std::make_unique<BufFile>();
    if (!window->attach(fd, 0, false)) throw PackOpenError();
    ibitstream in(std::move(window));
    PackDirNode root;
    if (!readPackDirectory(in, root) || !pack->addPart(root, pack->parts_.size() - 1)) return nullptr;
    try {
      if (partName.nextNumberedExtension() < 0) break;
    } catch (const std::exception&) {
      break;  // the next part's name would not fit: there is none
    }
  }
  if (pack->parts_.empty()) return nullptr;
  pack->name_ = std::u16string(path);
  return pack;
}

bool PackFile::addPart(const PackDirNode& root, size_t part) {
  // Keys are the names below the part's root joined by '\'; the root's own name is not
  // part of them.
  struct Walk {
    PackFile& pack;
    size_t part;
    PathStack path;
    // Each name is taken off again by restoring the mark, not by popping: a name that
    // holds separators would otherwise leave part of itself in front of later keys.
    bool dir(const PackDirNode& node) {
      const PathMark here = path.saveMark();
      for (const PackFileRecord& f : node.files) {
        path.push(f.name);
        const std::u16string key = path.str();
        if (f.deleted) {
          pack.index_.erase(packKey(key));
        } else {
          pack.index_.insert_or_assign(packKey(key), Entry{key, part, f.size, f.entryPos});
        }
        path.restoreMark(here);
      }
      for (const PackDirNode& d : node.dirs) {
        path.push(d.name);
        dir(d);
        path.restoreMark(here);
      }
      return true;
    }
  };
  try {
    Walk walk{*this, part, PathStack()};
    return walk.dir(root);
  } catch (const std::exception&) {
    return false;  // a key longer than a path holds
  }
}

const PackFile::Entry* PackFile::find(std::u16string_view name) const {
  auto it = index_.find(packKey(name));
  return it == index_.end() ? nullptr : &it->second;
}

int32_t PackFile::size(std::u16string_view name) {
  const Entry* e = find(name);
  if (e == nullptr || e->size > kPackMaxEntryBytes) return -1;
  return static_cast<int32_t>(e->size);
}

std::unique_ptr<ibitstream> PackFile::openRead(std::u16string_view name) {
  const Entry* e = find(name);
  if (e == nullptr) return nullptr;
  auto window = std::make_unique<BufFile>();
  const auto& part = parts_[e->part];
  if (!window->attach(*part, static_cast<int64_t>(e->entryPos), false, part)) return nullptr;
  auto entry = std::make_unique<BufPack>();
  if (!entry->open(std::move(window))) return nullptr;
  return std::make_unique<ibitstream>(std::move(entry));
}

FileData PackFile::readWhole(std::u16string_view name, uint32_t /*flag*/) {
  const Entry* e = find(name);
  if (e == nullptr) return {};
  auto window = std::make_unique<BufFile>();
  if (!window->attach(*parts_[e->part], static_cast<int64_t>(e->entryPos), false)) return {};
  BufPack entry;
  // An entry whose coded bits cannot hold its size is refused before its block is made.
  if (!entry.open(std::move(window)) || !entry.plausible()) return {};
  const auto n = static_cast<uint32_t>(entry.size());
  std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[n]);
  if (!block || entry.read(block.get(), n) != n) return {};
  return FileData(block.release(), n, true);
}

}  // namespace qx
