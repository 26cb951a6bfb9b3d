#include "platform/window/dialog_text.h"

namespace qxplat {

namespace {

constexpr int kTabColumns = 4;
constexpr char32_t kEllipsis = U'\u2026';

bool isSpace(char32_t c) { return c == U' ' || c == U'\u3000'; }

void trimEnd(std::u32string& line) {
  while (!line.empty() && isSpace(line.back())) line.pop_back();
}

}  // namespace

std::string expandTabs(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t column = 0;
  for (const char c : text) {
    if (c == '\t') {
      const size_t n = kTabColumns - column % kTabColumns;
      out.append(n, ' ');
      column += n;
      continue;
    }
    out.push_back(c);
    if (c == '\n' || c == '\r') column = 0;
    else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++column;  // one per character
  }
  return out;
}

bool isCjk(char32_t c) {
  return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x20000 && c <= 0x3FFFF);
}

int textWidth(std::u32string_view text, const AdvanceFn& advance) {
  int w = 0;
  for (const char32_t c : text) w += advance(c);
  return w;
}

std::vector<std::u32string> wrapText(std::u32string_view text, int maxWidth, const AdvanceFn& advance) {
  std::vector<std::u32string> lines;
  std::u32string line;
  int width = 0;
  auto endLine = [&] {
    trimEnd(line);
    lines.push_back(std::move(line));
    line.clear();
    width = 0;
  };
  // Places an unbreakable piece: on this line when it fits, else on the next; a piece
  // wider than a whole line is broken where it reaches the edge.
  auto place = [&](std::u32string_view piece) {
    const int w = textWidth(piece, advance);
    if (width + w <= maxWidth) {
      line += piece;
      width += w;
      return;
    }
    trimEnd(line);
    if (!line.empty()) endLine();
    for (const char32_t c : piece) {
      const int a = advance(c);
      if (!line.empty() && width + a > maxWidth) endLine();
      line += c;
      width += a;
    }
  };
  size_t i = 0;
  while (i < text.size()) {
    const char32_t c = text[i];
    if (c == U'\r' || c == U'\n') {
      i += (c == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') ? 2 : 1;
      endLine();
      continue;
    }
    if (isSpace(c)) {
      // Spaces at the start of a wrapped line are dropped; at the start of the text or
      // after a line break they stay.
      const bool wrapped = line.empty() && !lines.empty() && i > 0 && text[i - 1] != U'\n' && text[i - 1] != U'\r';
      if (!wrapped) {
        line += c;
        width += advance(c);
      }
      ++i;
      continue;
    }
    if (isCjk(c)) {
      place(text.substr(i, 1));
      ++i;
      continue;
    }
    size_t end = i;
    while (end < text.size() && !isSpace(text[end]) && !isCjk(text[end]) && text[end] != U'\r' && text[end] != U'\n') {
      ++end;
    }
    place(text.substr(i, end - i));
    i = end;
  }
  if (!line.empty() || lines.empty()) endLine();
  return lines;
}

std::vector<std::u32string> cutLines(std::vector<std::u32string> lines, size_t maxLines, int maxWidth,
                                     const AdvanceFn& advance) {
  if (lines.size() <= maxLines) return lines;
  lines.resize(maxLines);
  if (maxLines == 0) return lines;
  std::u32string& last = lines.back();
  const int ellipsis = advance(kEllipsis);
  while (!last.empty() && textWidth(last, advance) + ellipsis > maxWidth) last.pop_back();
  trimEnd(last);
  last += kEllipsis;
  return lines;
}

}  // namespace qxplat
