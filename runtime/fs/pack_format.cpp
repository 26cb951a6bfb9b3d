#include "runtime/fs/pack_format.h"

#include <cstring>

#include "platform/core/utf.h"
#include "runtime/fs/huffman.h"
#include "runtime/fs/path_stack.h"

namespace qx {

namespace {

// Smallest records: a name of one zero unit, then the fixed fields.
constexpr int64_t kMinDirRecordBytes = 2 + 1 + 4 + 4;
constexpr int64_t kMinFileRecordBytes = 2 + 8 + 4;

class DirectoryReader {
 public:
  explicit DirectoryReader(ibitstream& in) : in_(in), end_(in.sourceSize()) {}

  bool readDir(PackDirNode& dir, int depth) {
    if (depth > kPackMaxDepth) return false;
    uint32_t flag, fileCount, dirCount;
    if (!readName(dir.name) || !readU8(flag) || !readU32(fileCount)) return false;
    dir.flag = flag != 0;
    if (!plausible(fileCount, kMinFileRecordBytes)) return false;
    dir.files.resize(fileCount);
    for (PackFileRecord& f : dir.files)
      if (!readFile(f)) return false;
    if (!readU32(dirCount) || !plausible(dirCount, kMinDirRecordBytes)) return false;
    dir.dirs.resize(dirCount);
    for (PackDirNode& d : dir.dirs)
      if (!readDir(d, depth + 1)) return false;
    return true;
  }

 private:
  bool has(int64_t bytes) const { return in_.tell() + bytes <= end_; }

  // Each record needs at least minBytes, so a count the rest of the part cannot hold is
  // refused before anything is allocated for it.
  bool plausible(uint32_t count, int64_t minBytes) {
    records_ += count;
    return records_ <= kPackMaxRecords && static_cast<int64_t>(count) * minBytes <= end_ - in_.tell();
  }

  bool readU8(uint32_t& v) {
    if (!has(1)) return false;
    v = in_.readBits(8);
    return true;
  }

  bool readU32(uint32_t& v) {
    if (!has(4)) return false;
    v = in_.readBits(32);
    return true;
  }

  bool readName(std::u16string& name) {
    in_.alignToByte();
    name.clear();
    while (name.size() < kPackNameUnits) {
      if (!has(2)) return false;
      const uint16_t unit = in_.read16();
      if (unit == 0) break;
      name.push_back(static_cast<char16_t>(unit));
    }
    return true;
  }

  bool readFile(PackFileRecord& f) {
    if (!readName(f.name) || !has(8 + 4)) return false;
    for (uint8_t& b : f.reserved) b = static_cast<uint8_t>(in_.readBits(8));
    f.entryPos = static_cast<uint64_t>(in_.tell());
    const uint32_t length = in_.readBits(32);
    if (length == kPackDeletedMark) {
      f.deleted = true;
      return true;
    }
    if (!readU32(f.size)) return false;
    // L counts the size field and the coded data that follows it.
    const int64_t coded = length >= 4 ? int64_t{length} - 4 : 0;
    if (coded > end_ - in_.tell()) return false;
    in_.skip(coded);
    return true;
  }

  ibitstream& in_;
  const int64_t end_;
  uint64_t records_ = 0;
};

void putU32(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 24));
  out.push_back(static_cast<uint8_t>(v >> 16));
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

bool fail(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}

bool readHostFile(const std::string& path, std::vector<uint8_t>& out, std::string* error) {
  BufFile file;
  if (!file.open(path)) return fail(error, "cannot read " + path);
  if (file.size() > static_cast<int64_t>(kPackMaxEntryBytes)) return fail(error, "too large for a pack entry: " + path);
  if (file.size() == 0) return fail(error, emptyPackFileError(path));
  out.resize(static_cast<size_t>(file.size()));
  if (file.read(out.data(), out.size()) != out.size()) return fail(error, "short read of " + path);
  return true;
}

bool checkName(const std::u16string& name, std::string* error) {
  if (name.size() > kPackNameUnits || name.find(u'\0') != std::u16string::npos)
    return fail(error, "name does not fit a pack record (63 UTF-16 units at most): " + qcore::utf16ToUtf8(name));
  return true;
}

// A record below the root must have a name of its own without separators (the reader
// would split it into folders), and its key must fit the path stack the reader joins
// keys in.
bool checkKeyPart(const std::u16string& name, size_t prefixLength, std::string* error) {
  if (!checkName(name, error)) return false;
  if (name.empty() || name.find_first_of(u"\\/") != std::u16string::npos)
    return fail(error, "name is empty or holds a path separator: " + qcore::utf16ToUtf8(name));
  if (prefixLength + 1 + name.size() > PathStack::kCapacity)
    return fail(error, "key longer than " + std::to_string(PathStack::kCapacity) + " characters, ending in " +
                           qcore::utf16ToUtf8(name));
  return true;
}

size_t keyLength(size_t prefixLength, const std::u16string& name) {
  return prefixLength == 0 ? name.size() : prefixLength + 1 + name.size();
}

void writeName(obitstream& out, const std::u16string& name) {
  for (char16_t unit : name) out.writeBits(swap16(static_cast<uint16_t>(unit)), 16);
  if (name.size() < kPackNameUnits) out.writeBits(0, 16);
}

// prefixLength: the length of the key of this directory (0 for the root).
bool writeDir(obitstream& out, const PackWriteDir& dir, int depth, size_t prefixLength, std::string* error) {
  writeName(out, dir.name);
  out.writeBits(0, 8);  // flag
  out.writeBits(static_cast<uint32_t>(dir.files.size()), 32);
  static const uint8_t kReserved[8] = {};
  for (const PackWriteFile& f : dir.files) {
    if (!checkKeyPart(f.name, prefixLength, error)) return false;
    writeName(out, f.name);
    out.writeBytes(kReserved, sizeof(kReserved));
    if (f.deleted) {
      out.writeBits(kPackDeletedMark, 32);
      continue;
    }
    std::vector<uint8_t> loaded;
    const std::vector<uint8_t>* data = &f.data;
    if (!f.hostPath.empty()) {
      if (!readHostFile(f.hostPath, loaded, error)) return false;
      data = &loaded;
    }
    if (data->size() > kPackMaxEntryBytes) return fail(error, "too large for a pack entry: " + qcore::utf16ToUtf8(f.name));
    const std::vector<uint8_t> entry = encodePackEntry(data->data(), data->size());
    out.writeBytes(entry.data(), entry.size());
  }
  out.writeBits(static_cast<uint32_t>(dir.dirs.size()), 32);
  for (const PackWriteDir& d : dir.dirs) {
    if (depth + 1 > kPackMaxDepth) return fail(error, "folders nested deeper than " + std::to_string(kPackMaxDepth) + " levels");
    if (!checkKeyPart(d.name, prefixLength, error)) return false;
    if (!writeDir(out, d, depth + 1, keyLength(prefixLength, d.name), error)) return false;
  }
  return true;
}

}  // namespace

bool readPackDirectory(ibitstream& in, PackDirNode& root) {
  root = PackDirNode{};
  DirectoryReader reader(in);
  return reader.readDir(root, 0);
}

PackWriteDir& PackWriteDir::dir(const std::u16string& childName) {
  for (PackWriteDir& d : dirs)
    if (d.name == childName) return d;
  dirs.push_back(PackWriteDir{childName, {}, {}});
  return dirs.back();
}

PackWriteFile& PackWriteDir::file(const std::u16string& childName) {
  for (PackWriteFile& f : files)
    if (f.name == childName) return f;
  files.push_back(PackWriteFile{childName, false, {}, {}});
  return files.back();
}

namespace {

std::vector<uint8_t> codeBytes(const uint8_t* data, size_t size, const uint64_t counts[256]) {
  std::vector<uint8_t> coded;
  HuffmanEncoder code;
  code.build(counts);
  coded.reserve(code.codedBits(counts) / 8 + 600);
  obitstream bits(std::make_unique<BufVectorO>(coded));
  code.writeTree(bits);
  for (size_t i = 0; i < size; ++i) code.writeSymbol(bits, data[i]);
  bits.flush();
  return coded;
}

}  // namespace

std::string emptyPackFileError(const std::string& hostPath) {
  return "empty file: " + hostPath + " (an empty entry would read as missing); remove it or give it content";
}

std::vector<uint8_t> encodePackEntry(const uint8_t* data, size_t size) {
  std::vector<uint8_t> coded;
  if (size > 0) {
    uint64_t counts[256] = {};
    for (size_t i = 0; i < size; ++i) ++counts[data[i]];
    coded = codeBytes(data, size, counts);
    // One byte value makes a one-leaf code, which spends no bits: past what its few bytes
    // may claim, the value gets a partner that never occurs, and every byte one bit.
    if (size > packEntryMaxClaim(8 + coded.size())) {
      counts[data[0] ^ 1] = 1;
      coded = codeBytes(data, size, counts);
    }
  }
  std::vector<uint8_t> entry;
  entry.reserve(coded.size() + 8);
  putU32(entry, static_cast<uint32_t>(coded.size() + 4));
  putU32(entry, static_cast<uint32_t>(size));
  entry.insert(entry.end(), coded.begin(), coded.end());
  return entry;
}

bool writePackDirectory(obitstream& out, const PackWriteDir& root, std::string* error) {
  if (!checkName(root.name, error) || !writeDir(out, root, 0, 0, error)) return false;
  return out.flush() || fail(error, "write failed");
}

}  // namespace qx
