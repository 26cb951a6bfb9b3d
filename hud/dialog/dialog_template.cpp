#include "hud/dialog/dialog_template.h"

#include <boost/xpressive/xpressive_static.hpp>
#include <limits>
#include <locale>

#include "runtime/json/json_reader.h"

namespace xp = boost::xpressive;

namespace {

using Iter = std::string_view::const_iterator;
using Regex = xp::basic_regex<Iter>;
using Match = xp::match_results<Iter>;

struct Grammars {
  Regex header, style, caption, font, begin, end, controlCaption, controlPlain, controlClass, flagWord;
};

// Pieces of the grammars as macros: xpressive expressions kept in variables would refer
// to temporaries that are gone by the time the regex is built.
#define QX_BLANK (set = ' ', '\t')
#define QX_WORD set[range('a', 'z') | range('A', 'Z') | range('0', '9') | '_']
#define QX_DIGIT range('0', '9')
#define QX_TEXT (*~(set = '"', ','))
#define QX_STYLE (*set[range('a', 'z') | range('A', 'Z') | range('0', '9') | (set = '_', ' ', '\t', '|')])
#define QX_Q as_xpr('"')
#define QX_SEP (*QX_BLANK >> ',' >> *QX_BLANK)
#define QX_REST (*_ >> '\r')
// A field up to its comma can only end at the first comma after it: the fields are
// matched atomically (keep), which gives the same captures as backtracking into them
// would, without the time that takes on long lines.
#define QX_TO_K (*QX_BLANK >> ',')
#define QX_RECT4 \
  (s1 = +QX_DIGIT) >> QX_SEP >> (s2 = +QX_DIGIT) >> QX_SEP >> (s3 = +QX_DIGIT) >> QX_SEP >> (s4 = +QX_DIGIT)
#define QX_TAIL8 (*QX_BLANK >> !as_xpr(',') >> *QX_BLANK >> (s8 = QX_STYLE) >> *QX_BLANK >> !as_xpr(',') >> QX_REST)

// Word characters are ASCII only whatever the locale; the regexes run in the C locale.
template <class Xpr>
Regex build(const Xpr& x) {
  return Regex(xp::imbue(std::locale::classic())(x));
}

Grammars buildGrammars() {
  using namespace xp;
  Grammars g;
  g.header = build((s6 = +QX_WORD) >> +QX_BLANK >> (s8 = +QX_WORD) >> +QX_BLANK >> QX_RECT4 >> QX_REST);
  g.style = build(as_xpr("STYLE") >> +QX_BLANK >> *QX_BLANK >> (s8 = QX_STYLE) >> *QX_BLANK >> !as_xpr(',') >> QX_REST);
  // What follows the caption may hold no comma or quote, so a caption with a comma is
  // refused rather than cut at it.
  g.caption = build(as_xpr("CAPTION") >> +QX_BLANK >> !QX_Q >> (s7 = QX_TEXT) >> !QX_Q >> QX_TEXT >> '\r');
  g.font = build(as_xpr("FONT") >> +QX_BLANK >> (s1 = +QX_DIGIT) >> ',' >> +QX_BLANK >> !QX_Q >> (s6 = QX_TEXT) >> !QX_Q >>
                 QX_SEP >> (s2 = +QX_DIGIT) >> ',' >> +QX_BLANK >> (s3 = +QX_DIGIT) >> ',' >> +QX_BLANK >> +QX_WORD >>
                 QX_REST);
  g.begin = build(as_xpr("BEGIN") >> *QX_BLANK >> QX_REST);
  g.end = build(as_xpr("END") >> *QX_BLANK >> QX_REST);
  g.controlCaption = build(*QX_BLANK >> (s5 = +QX_WORD) >> +QX_BLANK >> keep(!QX_Q >> (s7 = QX_TEXT) >> !QX_Q >> QX_TO_K) >>
                           keep(*QX_BLANK >> !QX_Q >> (s6 = QX_TEXT) >> !QX_Q >> QX_TO_K) >> *QX_BLANK >> QX_RECT4 >>
                           QX_TAIL8);
  g.controlPlain = build(*QX_BLANK >> (s5 = +QX_WORD) >> +QX_BLANK >> keep(!QX_Q >> (s6 = QX_TEXT) >> !QX_Q >> QX_TO_K) >>
                         *QX_BLANK >> QX_RECT4 >> QX_TAIL8);
  g.controlClass = build(*QX_BLANK >> (s5 = +QX_WORD) >> +QX_BLANK >> keep(QX_Q >> QX_TEXT >> QX_Q >> QX_TO_K) >>
                         keep(*QX_BLANK >> !QX_Q >> (s6 = QX_TEXT) >> !QX_Q >> QX_TO_K) >>
                         keep(*QX_BLANK >> QX_Q >> QX_TEXT >> QX_Q >> QX_TO_K) >> *QX_BLANK >> (s8 = QX_STYLE) >>
                         *QX_BLANK >> !as_xpr(',') >> QX_RECT4 >> *QX_BLANK >> !as_xpr(',') >> *QX_BLANK >>
                         (s9 = QX_STYLE) >> *QX_BLANK >> !as_xpr(',') >> QX_REST);
  g.flagWord = build(*QX_BLANK >> (s1 = +QX_WORD) >> !as_xpr('|'));
  return g;
}

#undef QX_BLANK
#undef QX_WORD
#undef QX_DIGIT
#undef QX_TEXT
#undef QX_STYLE
#undef QX_Q
#undef QX_SEP
#undef QX_REST
#undef QX_TO_K
#undef QX_RECT4
#undef QX_TAIL8

const Grammars& grammars() {
  static const Grammars g = buildGrammars();
  return g;
}

// A decimal capture as an int32; a value beyond the range saturates.
int32_t toInt(const Match& m, int n) {
  int64_t v = 0;
  for (char c : std::string_view(&*m[n].first, static_cast<size_t>(m[n].length()))) {
    v = v * 10 + (c - '0');
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  }
  return static_cast<int32_t>(v);
}

std::string str(const Match& m, int n) { return m[n].str(); }

std::array<int32_t, 4> rectOf(const Match& m) { return {toInt(m, 1), toInt(m, 2), toInt(m, 3), toInt(m, 4)}; }

void appendFlags(std::vector<std::string>& out, const Match& m, int n) {
  for (std::string& w : splitFlagWords(std::string_view(&*m[n].first, static_cast<size_t>(m[n].length())))) {
    out.push_back(std::move(w));
  }
}

class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}
  size_t position() const { return pos_; }
  // The next line that is not blank-led (its LF not included); false at the end of the
  // text. A line longer than kDialogLineMax comes back empty, which nothing matches.
  bool next(std::string_view& line) {
    for (;;) {
      if (pos_ >= text_.size()) return false;
      const size_t lf = text_.find('\n', pos_);
      const size_t stop = lf == std::string_view::npos ? text_.size() : lf;
      line = text_.substr(pos_, stop - pos_);
      pos_ = lf == std::string_view::npos ? text_.size() : lf + 1;
      if (line.size() > kDialogLineMax) line = {};
      else if (line.empty() || line[0] == '\r') continue;
      return true;
    }
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

// Every line grammar ends with the line's CR: a line without one is refused before any
// matching, which also spares long lines the grammars' backtracking.
bool matches(std::string_view line, const Regex& rx, Match& m) {
  if (line.empty() || line.back() != '\r') return false;
  return xp::regex_match(line.begin(), line.end(), m, rx);
}

enum class BlockEnd { stored, dropped, stop };

BlockEnd readBlock(LineReader& lines, DialogTemplate& d) {
  const Grammars& g = grammars();
  std::string_view line;
  Match m;
  if (!lines.next(line)) return BlockEnd::dropped;
  if (!matches(line, g.header, m)) return BlockEnd::stop;
  d.name = str(m, 6);
  d.rect = rectOf(m);
  for (;;) {
    if (!lines.next(line)) return BlockEnd::dropped;
    if (matches(line, g.style, m)) {
      d.flags.clear();
      appendFlags(d.flags, m, 8);
    } else if (matches(line, g.caption, m)) {
      d.caption = str(m, 7);
    } else if (matches(line, g.font, m)) {
      d.fontW = toInt(m, 1);
      d.font = str(m, 6);
      d.fontWeight = toInt(m, 2);
    } else if (matches(line, g.begin, m)) {
      break;
    } else {
      return BlockEnd::stop;
    }
  }
  for (;;) {
    if (!lines.next(line)) return BlockEnd::dropped;
    DialogControl c;
    if (matches(line, g.controlCaption, m)) {
      c.caption = str(m, 7);
      appendFlags(c.flags, m, 8);
    } else if (matches(line, g.controlPlain, m)) {
      appendFlags(c.flags, m, 8);
    } else if (matches(line, g.controlClass, m)) {
      appendFlags(c.flags, m, 8);
      appendFlags(c.flags, m, 9);
    } else {
      return matches(line, g.end, m) ? BlockEnd::stored : BlockEnd::dropped;
    }
    c.type = str(m, 5);
    c.id = str(m, 6);
    c.rect = rectOf(m);
    d.controls.push_back(std::move(c));
  }
}

}  // namespace

void prepareDialogGrammars() { grammars(); }

std::vector<std::string> splitFlagWords(std::string_view style) {
  std::vector<std::string> words;
  const Regex& rx = grammars().flagWord;
  for (xp::regex_iterator<Iter> it(style.begin(), style.end(), rx), end; it != end; ++it) words.push_back((*it)[1].str());
  return words;
}

DialogTemplateFile readDialogTemplates(std::string_view text) {
  DialogTemplateFile out;
  LineReader lines(text);
  for (;;) {
    DialogTemplate d;
    const BlockEnd end = readBlock(lines, d);
    if (end == BlockEnd::stop) break;
    if (end == BlockEnd::stored) out.dialogs.push_back(std::move(d));
    const std::string_view rest = text.substr(lines.position());
    JSONValue value;
    const JSONParseResult parsed = jsonParse(rest, value);
    if (parsed.values > 0) {
      out.trailing = std::move(value);
      break;
    }
    if (end != BlockEnd::stored) break;
  }
  return out;
}
