// Building pack parts from host folders: the pack tool's work, kept next to the format so
// that the tool and the tests write exactly what the reader reads.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "runtime/fs/pack_format.h"

namespace qx {

// Adds every regular file below a host folder (names kept as they are, sub-folders as
// directory records, symbolic links to folders not followed). Each file is opened now, to
// refuse it before any part is written, and read when the part is written. False with a
// message on a name that is not UTF-8 or does not fit a record, on a file that cannot be
// opened, is empty or is too large for an entry, or on two files whose keys differ only in
// letter case.
bool addFolderToPack(const std::string& hostDir, PackWriteDir& root, std::string* error);
// Adds a deletion record for a key ("a\b\c.txt" or "a/b/c.txt").
bool addDeletionToPack(PackWriteDir& root, std::u16string_view key, std::string* error);

struct PackPartToWrite {
  std::string hostPath;
  const PackWriteDir* root;
};
// Writes the parts of one build or append. Each is written as "<part>.partial", a name
// made afresh (one already there, a link or a leftover of a killed run, is refused and left
// as it is), and all are renamed into place only when all are written: until then a
// failure changes no part and leaves no file of its own. A set of renames cannot be
// atomic, so a rename that fails after others names the parts already replaced.
bool writePackPartFiles(const std::vector<PackPartToWrite>& parts, std::string* error);
// The host name of part number n of a pack (0 is the pack's own name), as the reader
// counts continuation parts. Empty when the name does not fit a path.
std::string packPartHostPath(const std::string& packHostPath, int n);

}  // namespace qx
