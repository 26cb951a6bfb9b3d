#include "runtime/fs/mem_files.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <optional>

#include "runtime/fs/path_stack.h"

namespace qx {

namespace {

// Files grow no larger than a signed 32-bit size can report.
constexpr size_t kMaxMemFileBytes = INT32_MAX;

struct MemTree {
  std::mutex mutex;
  MemNode root;
  MemTree() { root.children = std::make_unique<std::map<std::u16string, std::unique_ptr<MemNode>>>(); }
};

// Never destroyed: write streams and sources may still reach it while statics end.
MemTree& tree() {
  static MemTree* t = new MemTree;
  return *t;
}

// The name after '$', lower-cased (A-Z only), as a path; empty for a name that is not an
// in-memory name or not a valid path.
std::optional<PathStack> memPath(std::u16string_view name) {
  if (name.size() < 2 || name[0] != u'$') return std::nullopt;
  std::u16string rest(name.substr(1));
  if (rest[0] == u'\\' || rest[0] == u'/') return std::nullopt;
  for (char16_t& c : rest)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  try {
    return PathStack(rest);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// Caller holds the tree's mutex.
MemNode* lookup(PathStack path) {
  MemNode* node = &tree().root;
  for (int i = 0, n = path.depth(); i < n; ++i) {
    if (node->isFile()) return nullptr;
    auto it = node->children->find(path.firstElement());
    if (it == node->children->end()) return nullptr;
    node = it->second.get();
    path.popFront();
  }
  return node;
}

// Bytes of a file node that may be changed in place: a copy when a reader still holds
// them. Caller holds the tree's mutex, so no new reader can appear meanwhile.
MemBytes& writableBytes(MemNode& node, bool discard) {
  if (node.bytes && node.bytes.use_count() == 1) {
    // Pairs with the release of the last reader's reference.
    std::atomic_thread_fence(std::memory_order_acquire);
    if (discard) node.bytes->clear();
  } else if (discard || !node.bytes) {
    node.bytes = std::make_shared<MemBytes>();
  } else {
    node.bytes = std::make_shared<MemBytes>(*node.bytes);
  }
  return *node.bytes;
}

// The file node to write: created with any missing folders, or an existing file emptied
// when overwrite is set. Null when the file exists and overwrite is not set, or when a
// file stands where a folder is needed (or a folder where the file is). Caller holds the
// tree's mutex.
MemNode* findOrCreate(PathStack path, bool overwrite) {
  MemNode* node = &tree().root;
  bool created = false;
  for (int i = 0, n = path.depth(); i < n; ++i) {
    if (node->isFile()) return nullptr;
    const std::u16string element = path.firstElement();
    path.popFront();
    auto& children = *node->children;
    auto it = children.find(element);
    if (it != children.end()) {
      node = it->second.get();
      continue;
    }
    auto child = std::make_unique<MemNode>();
    child->name = element;
    if (i + 1 == n) {
      child->bytes = std::make_shared<MemBytes>();
    } else {
      child->children = std::make_unique<std::map<std::u16string, std::unique_ptr<MemNode>>>();
    }
    node = children.emplace(element, std::move(child)).first->second.get();
    created = i + 1 == n;
  }
  if (!node->isFile()) return nullptr;
  if (created) return node;
  if (!overwrite) return nullptr;
  writableBytes(*node, true);
  return node;
}

}  // namespace

std::unique_ptr<MemFile> MemFile::create(std::u16string_view path) {
  if (path.empty() || path[0] != u'$') return nullptr;
  return std::make_unique<MemFile>();
}

int32_t MemFile::size(std::u16string_view name) {
  auto path = memPath(name);
  if (!path) return -1;
  std::lock_guard<std::mutex> lock(tree().mutex);
  MemNode* node = lookup(*path);
  if (node == nullptr || !node->isFile()) return -1;
  return static_cast<int32_t>(node->bytes->size());
}

FileData MemFile::readWhole(std::u16string_view name, uint32_t /*flag*/) {
  auto path = memPath(name);
  if (!path) return {};
  std::lock_guard<std::mutex> lock(tree().mutex);
  MemNode* node = lookup(*path);
  if (node == nullptr || !node->isFile() || node->bytes->empty()) return {};
  std::shared_ptr<MemBytes> bytes = node->bytes;
  const uint8_t* data = bytes->data();
  const auto count = static_cast<uint32_t>(bytes->size());
  return FileData(data, count, std::move(bytes));
}

std::unique_ptr<ibitstream> MemFile::openRead(std::u16string_view name) {
  auto path = memPath(name);
  if (!path) return nullptr;
  std::unique_ptr<BufFileCopy> buffer;
  {
    std::lock_guard<std::mutex> lock(tree().mutex);
    MemNode* node = lookup(*path);
    if (node == nullptr || !node->isFile()) return nullptr;
    std::shared_ptr<MemBytes> bytes = node->bytes;
    const uint8_t* data = bytes->data();
    const size_t count = bytes->size();
    // An empty file still opens: its buffer must count as open.
    static const uint8_t kNothing = 0;
    buffer = std::make_unique<BufFileCopy>(count ? data : &kNothing, count, std::move(bytes));
  }
  return std::make_unique<ibitstream>(std::move(buffer));
}

std::unique_ptr<obitstream> MemFile::openWrite(std::u16string_view name, bool overwrite) {
  auto path = memPath(name);
  if (!path) return nullptr;
  auto sink = std::make_unique<BufMemFileO>();
  {
    std::lock_guard<std::mutex> lock(tree().mutex);
    MemNode* node = findOrCreate(*path, overwrite);
    if (node == nullptr) return nullptr;
    sink->attach(node);
  }
  return std::make_unique<obitstream>(std::move(sink));
}

int32_t MemFile::writeWhole(std::u16string_view name, bool overwrite, const void* data, uint32_t count) {
  if (count > kMaxMemFileBytes || (data == nullptr && count > 0)) return 0;
  auto path = memPath(name);
  if (!path) return 0;
  std::lock_guard<std::mutex> lock(tree().mutex);
  MemNode* node = findOrCreate(*path, overwrite);
  if (node == nullptr) return 0;
  MemBytes& bytes = writableBytes(*node, true);
  const auto* src = static_cast<const uint8_t*>(data);
  bytes.assign(src, src + count);
  return static_cast<int32_t>(count);
}

bool MemFile::create(std::u16string_view name, bool overwrite) {
  auto path = memPath(name);
  if (!path) return false;
  if (overwrite) return true;
  std::lock_guard<std::mutex> lock(tree().mutex);
  return lookup(*path) == nullptr;
}

bool BufMemFileO::attach(MemNode* node) {
  close();
  if (node == nullptr || !node->isFile()) return false;
  node_ = node;
  position_ = 0;
  return true;
}

void BufMemFileO::close() {
  node_ = nullptr;
  position_ = -1;
}

size_t BufMemFileO::write(const void* src, size_t n) {
  if (node_ == nullptr || n == 0) return 0;
  if (static_cast<size_t>(position_) >= kMaxMemFileBytes) return 0;
  n = std::min(n, kMaxMemFileBytes - static_cast<size_t>(position_));
  std::lock_guard<std::mutex> lock(tree().mutex);
  MemBytes& bytes = writableBytes(*node_, false);
  const size_t end = static_cast<size_t>(position_) + n;
  if (bytes.size() < end) bytes.resize(end);
  std::memcpy(bytes.data() + position_, src, n);
  position_ = static_cast<int64_t>(end);
  return n;
}

int64_t BufMemFileO::seek(int64_t pos) {
  if (node_ == nullptr) return -1;
  pos = std::clamp<int64_t>(pos, 0, static_cast<int64_t>(kMaxMemFileBytes));
  std::lock_guard<std::mutex> lock(tree().mutex);
  MemBytes& bytes = writableBytes(*node_, false);
  if (bytes.size() < static_cast<size_t>(pos)) bytes.resize(static_cast<size_t>(pos));
  position_ = pos;
  return position_;
}

void BufMemFileO::setFileTime(FileTime first, FileTime second, FileTime third) {
  if (first) times_[0] = first;
  if (second) times_[1] = second;
  if (third) times_[2] = third;
}

}  // namespace qx
