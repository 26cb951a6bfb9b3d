// Building pack parts from host folders: the pack tool's work, kept next to the format so
// that the tool and the tests write exactly what the reader reads.
#pragma once
#include <string>
#include <string_view>

#include "runtime/fs/pack_format.h"

namespace qx {

// Adds every regular file below a host folder (names kept as they are, sub-folders as
// directory records, symbolic links to folders not followed). Files are read when the part
// is written. False with a message on a name that is not UTF-8 or does not fit a record,
// on an empty file, or on two files whose keys differ only in letter case.
bool addFolderToPack(const std::string& hostDir, PackWriteDir& root, std::string* error);
// Adds a deletion record for a key ("a\b\c.txt" or "a/b/c.txt").
bool addDeletionToPack(PackWriteDir& root, std::u16string_view key, std::string* error);
// Writes one part file; the part appears under its name only once it is complete.
bool writePackPartFile(const std::string& hostPath, const PackWriteDir& root, std::string* error);
// The host name of part number n of a pack (0 is the pack's own name), as the reader
// counts continuation parts. Empty when the name does not fit a path.
std::string packPartHostPath(const std::string& packHostPath, int n);

}  // namespace qx
