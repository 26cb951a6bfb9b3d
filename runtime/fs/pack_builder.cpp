#include "runtime/fs/pack_builder.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>

#include "platform/core/utf.h"
#include "runtime/fs/host_path.h"
#include "runtime/fs/pack_files.h"
#include "runtime/fs/path_stack.h"

namespace qx {

namespace fs = std::filesystem;

namespace {

bool utf16Name(const std::string& utf8, std::u16string& out, std::string* error) {
  out = qcore::utf8ToUtf16(utf8);
  if (qcore::utf16ToUtf8(out) == utf8) return true;
  if (error) *error = "file name is not UTF-8: " + utf8;
  return false;
}

// Host paths of the files listed so far, by the key the reader's index folds them to.
using FoldedKeys = std::map<std::u16string, std::string>;

bool addFolder(const fs::path& dir, const std::u16string& prefix, PackWriteDir& node, FoldedKeys& keys,
               std::string* error) {
  std::error_code ec;
  std::vector<fs::directory_entry> entries;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) entries.push_back(*it);
  if (ec) {
    if (error) *error = "cannot list " + dir.string() + ": " + ec.message();
    return false;
  }
  // Sorted, so that the same folder always gives the same part.
  std::sort(entries.begin(), entries.end(),
            [](const fs::directory_entry& a, const fs::directory_entry& b) { return a.path().filename() < b.path().filename(); });
  for (const fs::directory_entry& e : entries) {
    std::u16string name;
    if (!utf16Name(e.path().filename().string(), name, error)) return false;
    const bool isLink = e.is_symlink(ec);
    const std::u16string key = prefix.empty() ? name : prefix + u'\\' + name;
    if (e.is_directory(ec) && !isLink) {
      if (!addFolder(e.path(), key, node.dir(name), keys, error)) return false;
    } else if (e.is_regular_file(ec)) {
      // The index ignores letter case: of two such files a reader would see only one.
      const auto [it, added] = keys.emplace(packKey(key), e.path().string());
      if (!added) {
        if (error) *error = "names differ only in letter case: " + it->second + " and " + e.path().string();
        return false;
      }
      // Refused before any part is written, so that a build or append changes nothing.
      if (e.file_size(ec) == 0 && !ec) {
        if (error) *error = emptyPackFileError(e.path().string());
        return false;
      }
      PackWriteFile& f = node.file(name);
      f.deleted = false;
      f.data.clear();
      f.hostPath = e.path().string();
    }
  }
  return true;
}

}  // namespace

bool addFolderToPack(const std::string& hostDir, PackWriteDir& root, std::string* error) {
  if (!isHostDirectory(hostDir)) {
    if (error) *error = "not a folder: " + hostDir;
    return false;
  }
  FoldedKeys keys;
  return addFolder(fs::path(hostDir), u"", root, keys, error);
}

bool addDeletionToPack(PackWriteDir& root, std::u16string_view key, std::string* error) {
  PackWriteDir* dir = &root;
  size_t start = 0;
  for (;;) {
    size_t end = key.find_first_of(u"\\/", start);
    const bool last = end == std::u16string_view::npos;
    if (last) end = key.size();
    const std::u16string part(key.substr(start, end - start));
    if (part.empty() || part.size() > kPackNameUnits) {
      if (error) *error = "not a usable key: " + qcore::utf16ToUtf8(key);
      return false;
    }
    if (last) {
      PackWriteFile& f = dir->file(part);
      f.deleted = true;
      f.hostPath.clear();
      f.data.clear();
      return true;
    }
    dir = &dir->dir(part);
    start = end + 1;
  }
}

bool writePackPartFile(const std::string& hostPath, const PackWriteDir& root, std::string* error) {
  const std::string temp = hostPath + ".partial";
  {
    auto sink = std::make_unique<BufFileO>();
    if (!sink->open(temp, true)) {
      if (error) *error = "cannot create " + temp;
      return false;
    }
    obitstream out(std::move(sink));
    if (!writePackDirectory(out, root, error)) {
      out.close();
      std::remove(temp.c_str());
      return false;
    }
  }
  if (std::rename(temp.c_str(), hostPath.c_str()) != 0) {
    std::remove(temp.c_str());
    if (error) *error = "cannot rename " + temp + " to " + hostPath;
    return false;
  }
  return true;
}

std::string packPartHostPath(const std::string& packHostPath, int n) {
  try {
    PathStack path(qcore::utf8ToUtf16(packHostPath));
    for (int i = 0; i < n; ++i)
      if (path.nextNumberedExtension() < 0) return {};
    return toHostPath(path.str()).value_or(std::string());
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace qx
