// A comma-decimal numeric locale built on the spot with localedef, so locale checks never
// depend on the locales a machine has.
#pragma once
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class CommaDecimalLocale {
 public:
  // Switches LC_NUMERIC over; active() is false when the locale could not be built.
  CommaDecimalLocale() {
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    saved_ = old ? old : "C";
    if (const char* p = std::getenv("LOCPATH")) savedPath_ = p, hadPath_ = true;
    std::string tmpl = (std::filesystem::temp_directory_path() / "qx-locale-XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) return;
    dir_ = tmpl;
    {
      std::ofstream src(dir_ / "comma.src");
      src << "LC_NUMERIC\ndecimal_point \",\"\nthousands_sep \".\"\ngrouping 3;3\nEND LC_NUMERIC\n";
    }
    // localedef's exit code reports the categories left out; LC_NUMERIC is complete.
    const std::string cmd = "localedef -c -i '" + (dir_ / "comma.src").string() + "' -f ANSI_X3.4-1968 '" +
                            (dir_ / "qx_COMMA").string() + "' >/dev/null 2>&1";
    (void)std::system(cmd.c_str());
    setenv("LOCPATH", dir_.c_str(), 1);
    active_ = std::setlocale(LC_NUMERIC, "qx_COMMA") != nullptr;
  }
  ~CommaDecimalLocale() {
    std::setlocale(LC_NUMERIC, saved_.c_str());
    if (hadPath_) {
      setenv("LOCPATH", savedPath_.c_str(), 1);
    } else {
      unsetenv("LOCPATH");
    }
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }
  CommaDecimalLocale(const CommaDecimalLocale&) = delete;
  CommaDecimalLocale& operator=(const CommaDecimalLocale&) = delete;

  bool active() const { return active_; }

 private:
  std::string saved_;
  std::string savedPath_;
  bool hadPath_ = false;
  std::filesystem::path dir_;
  bool active_ = false;
};
