// qx_packer: builds, extends and lists pack files. See docs/pack-format.md.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/core/utf.h"
#include "runtime/fs/host_path.h"
#include "runtime/fs/pack_builder.h"
#include "runtime/fs/pack_files.h"

namespace {

const char kUsage[] =
    "usage:\n"
    "  qx_packer build <pack> <folder> [<folder>...]\n"
    "      writes <pack> from the first folder and one continuation part (<pack>1,\n"
    "      <pack>2, ...) from each further folder; continuation parts left from an\n"
    "      earlier build are removed\n"
    "  qx_packer append <pack> [<folder>] [--delete <key>]...\n"
    "      adds the next continuation part: the folder's files override earlier\n"
    "      parts and each key (a\\b\\c.txt or a/b/c.txt) is deleted\n"
    "  qx_packer list <pack>\n"
    "      prints every live key with its size and part number\n"
    "build and append check every file before writing, write each part as\n"
    "<part>.partial and rename the parts into place only when all are written, so a\n"
    "failure changes no part; a <part>.partial already there (a killed run's leftover)\n"
    "is refused and must be removed by hand\n";

int fail(const std::string& message) {
  std::fprintf(stderr, "qx_packer: %s\n", message.c_str());
  return 1;
}

bool exists(const std::string& path) { return qx::isHostRegularFile(path); }

int build(const std::string& pack, const std::vector<std::string>& folders) {
  // Every folder is listed and every file checked before any part is written, and the parts
  // replace the old ones only when all are written, so a wrong folder or file changes nothing.
  std::vector<qx::PackWriteDir> roots(folders.size());
  std::vector<qx::PackPartToWrite> parts;
  std::string error;
  for (size_t i = 0; i < folders.size(); ++i) {
    if (!qx::addFolderToPack(folders[i], roots[i], &error)) return fail(error);
    const std::string name = qx::packPartHostPath(pack, static_cast<int>(i));
    if (name.empty()) return fail("part name does not fit a path");
    parts.push_back({name, &roots[i]});
  }
  if (!qx::writePackPartFiles(parts, &error)) return fail(error);
  for (const qx::PackPartToWrite& written : parts) std::printf("%s\n", written.hostPath.c_str());
  // A stale part right after the new ones would be read as part of this pack.
  for (int part = static_cast<int>(parts.size());; ++part) {
    const std::string stale = qx::packPartHostPath(pack, part);
    if (stale.empty() || !exists(stale)) break;
    if (std::remove(stale.c_str()) != 0) return fail("cannot remove stale part " + stale);
    std::printf("removed %s\n", stale.c_str());
  }
  return 0;
}

int append(const std::string& pack, const std::string& folder, const std::vector<std::string>& deletions) {
  if (!exists(pack)) return fail("no such pack: " + pack);
  int part = 1;
  std::string name;
  for (;; ++part) {
    name = qx::packPartHostPath(pack, part);
    if (name.empty()) return fail("part name does not fit a path");
    if (!exists(name)) break;
  }
  qx::PackWriteDir root;
  std::string error;
  if (!folder.empty() && !qx::addFolderToPack(folder, root, &error)) return fail(error);
  for (const std::string& key : deletions)
    if (!qx::addDeletionToPack(root, qcore::utf8ToUtf16(key), &error)) return fail(error);
  if (!qx::writePackPartFiles({{name, &root}}, &error)) return fail(error);
  std::printf("%s\n", name.c_str());
  return 0;
}

int list(const std::string& pack) {
  std::unique_ptr<qx::PackFile> files;
  try {
    files = qx::PackFile::create(qcore::utf8ToUtf16(pack));
  } catch (const std::exception& e) {
    return fail(std::string("cannot open a part of ") + pack + ": " + e.what());
  }
  if (!files) return fail("not a readable pack: " + pack);
  for (const auto& [key, entry] : files->index())
    std::printf("%s\t%u\t%zu\n", qcore::utf16ToUtf8(entry.key).c_str(), entry.size, entry.part);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() >= 3 && args[0] == "build") {
    return build(args[1], std::vector<std::string>(args.begin() + 2, args.end()));
  }
  if (args.size() >= 2 && args[0] == "append") {
    std::string folder;
    std::vector<std::string> deletions;
    for (size_t i = 2; i < args.size(); ++i) {
      if (args[i] == "--delete" && i + 1 < args.size()) {
        deletions.push_back(args[++i]);
      } else if (folder.empty() && args[i].rfind("--", 0) != 0) {
        folder = args[i];
      } else {
        std::fputs(kUsage, stderr);
        return 2;
      }
    }
    if (folder.empty() && deletions.empty()) return fail("append needs a folder or --delete");
    return append(args[1], folder, deletions);
  }
  if (args.size() == 2 && args[0] == "list") return list(args[1]);
  std::fputs(kUsage, stderr);
  return 2;
}
