// The pack part format, read and written by the same code (docs/pack-format.md).
// A part is one directory record; integers are unsigned 32-bit big-endian; names are
// UTF-16 units stored low byte first, ended by a zero unit unless they are 63 units long.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/fs/bitstream.h"

namespace qx {

constexpr uint32_t kPackDeletedMark = 0xFFFFFFFFu;
constexpr size_t kPackNameUnits = 63;
// What a reader accepts before it calls a directory absurd.
constexpr int kPackMaxDepth = 128;
constexpr uint32_t kPackMaxRecords = 1u << 20;
// Largest decoded entry: sizes are reported as signed 32-bit values.
constexpr uint32_t kPackMaxEntryBytes = 0x7FFFFFFFu;
// An entry's size may be at most kPackFreeEntryBytes plus kPackMaxExpansion times its own
// stored bytes (4 + L, from its L field on): a code of at least one bit per byte gives 8,
// and only a one-leaf code, which spends no bits, needs the free bytes.
constexpr uint64_t kPackMaxExpansion = 64;
constexpr uint64_t kPackFreeEntryBytes = 1u << 20;
constexpr uint64_t packEntryMaxClaim(uint64_t storedBytes) {
  return kPackFreeEntryBytes + kPackMaxExpansion * storedBytes;
}

struct PackFileRecord {
  std::u16string name;
  uint8_t reserved[8] = {};
  uint32_t size = 0;
  uint64_t entryPos = 0;  // part position of the entry's L field
  bool deleted = false;
};

struct PackDirNode {
  std::u16string name;
  bool flag = false;
  std::vector<PackFileRecord> files;
  std::vector<PackDirNode> dirs;
};

// Reads a part's root directory record from a stream over the whole part. False when the
// directory is truncated, runs past the part's end, nests too deeply or holds absurd counts.
bool readPackDirectory(ibitstream& in, PackDirNode& root);

// A file to write into a part: live data (from memory or from a host file read when the
// part is written), or a deletion of the key.
struct PackWriteFile {
  std::u16string name;
  bool deleted = false;
  std::string hostPath;        // when not empty, the data comes from this file
  std::vector<uint8_t> data;
};

struct PackWriteDir {
  std::u16string name;
  std::vector<PackWriteFile> files;
  std::vector<PackWriteDir> dirs;

  // The sub-directory of that name, made when missing.
  PackWriteDir& dir(const std::u16string& childName);
  // The file of that name, made when missing.
  PackWriteFile& file(const std::u16string& childName);
};

// Why a host file cannot go into a pack because it is empty: the reader cannot open an
// entry of size 0, so the file would read as missing.
std::string emptyPackFileError(const std::string& hostPath);

// One entry as stored from its L field on: L, size, the code tree and the coded bits.
std::vector<uint8_t> encodePackEntry(const uint8_t* data, size_t size);

// Writes a part's root directory record. False with a message on a name that does not fit
// the format, a file that cannot be read or is too large, or a failed write.
bool writePackDirectory(obitstream& out, const PackWriteDir& root, std::string* error);

}  // namespace qx
