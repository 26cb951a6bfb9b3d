// script_api: writes the script API reference (every class of the bind order with its
// methods and fields, and the "QX" functions) from the bind tables the program itself
// registers, so the document cannot drift from the code.
//   script_api              print the document
//   script_api --check F    exit 1 (and say why) when F differs from what would be printed
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/script_api/api_model.h"

int main(int argc, char** argv) {
  // A note that disagrees with its registration fails the build's check as a stale
  // document does.
  const std::vector<std::string> problems = scriptapi::noteProblems(scriptapi::apiModel());
  for (const std::string& p : problems) std::cerr << "script_api: " << p << "\n";
  const std::string doc = scriptapi::document();
  if (argc == 3 && std::string(argv[1]) == "--check") {
    std::ifstream in(argv[2], std::ios::binary);
    std::stringstream have;
    have << in.rdbuf();
    if (!in || have.str() != doc) {
      std::cerr << argv[2] << " is not current: regenerate it with `script_api > " << argv[2] << "`\n";
      return 1;
    }
    return problems.empty() ? 0 : 1;
  }
  if (argc != 1) {
    std::cerr << "usage: script_api [--check FILE]\n";
    return 2;
  }
  std::cout << doc;
  return problems.empty() ? 0 : 1;
}
