#include "gtex/cellmarkup.h"

#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "base/fatal.h"
#include "base/textcodec.h"
#include "gtex/cmcGTex.h"
#include "gtex/cmcHash.h"

const char* const kJapaneseDefaultFace =
    "\x82\x6C\x82\x72 \x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E";
const char* const kOtherDefaultFace = "MS Sans Serif";

namespace {

// Models may use models; a model that reaches itself would otherwise recurse without end.
constexpr int kMaxModelDepth = 32;

struct NamedColour {
  const char* name;
  CellColour value;
};

const NamedColour kColours[] = {
    {"clAqua", 0xFFFF00},
    {"clBlack", 0x000000},
    {"clBlue", 0xFF0000},
    {"clDkGray", 0x808080},
    {"clFuchsia", 0xFF00FF},
    {"clGray", 0x808080},
    {"clGreen", 0x008000},
    {"clLime", 0x00FF00},
    {"clLtGray", 0xC0C0C0},
    {"clMaroon", 0x000080},
    {"clNavy", 0x800000},
    {"clOlive", 0x008080},
    {"clPurple", 0x800080},
    {"clRed", 0x0000FF},
    {"clSilver", 0xC0C0C0},
    {"clTeal", 0x808000},
    {"clWhite", 0xFFFFFF},
    {"clYellow", 0x00FFFF},
    {"clBackground", 0xFF000001},
    {"clActiveCaption", 0xFF000002},
    {"clInactiveCaption", 0xFF000003},
    {"clMenu", 0xFF000004},
    {"clWindow", 0xFF000005},
    {"clWindowFrame", 0xFF000006},
    {"clMenuText", 0xFF000007},
    {"clWindowText", 0xFF000008},
    {"clCaptionText", 0xFF000009},
    {"clActiveBorder", 0xFF00000A},
    {"clInactiveBorder", 0xFF00000B},
    {"clAppWorkSpace", 0xFF00000C},
    {"clHighlight", 0xFF00000D},
    {"clHightlightText", 0xFF00000E},
    {"clBtnFace", 0xFF00000F},
    {"clBtnShadow", 0xFF000010},
    {"clGrayText", 0xFF000011},
    {"clBtnText", 0xFF000012},
    {"clInactiveCaptionText", 0xFF000013},
    {"clBtnHighlight", 0xFF000014},
};

struct NamedCharset {
  const char* name;
  int value;
};

const NamedCharset kCharsets[] = {
    {"ANSI_CHARSET", 0},      {"DEFAULT_CHARSET", 1},    {"SYMBOL_CHARSET", 2},
    {"MAC_CHARSET", 77},      {"SHIFTJIS_CHARSET", 128}, {"HANGEUL_CHARSET", 129},
    {"JOHAB_CHARSET", 130},   {"GB2312_CHARSET", 134},   {"CHINESEBIG5_CHARSET", 136},
    {"GREEK_CHARSET", 161},   {"TURKISH_CHARSET", 162},  {"VIETNAMESE_CHARSET", 163},
    {"HEBREW_CHARSET", 177},  {"ARABIC_CHARSET", 178},   {"BALTIC_CHARSET", 186},
    {"RUSSIAN_CHARSET", 204}, {"THAI_CHARSET", 222},     {"EASTEUROPE_CHARSET", 238},
    {"OEM_CHARSET", 255},
};

const cmcHash& colourTable() {
  static const cmcHash* table = [] {
    static cmcHash hash(101);
    for (int i = 0; i < static_cast<int>(std::size(kColours)); ++i) hash.add(kColours[i].name, i);
    return &hash;
  }();
  return *table;
}

bool isLead(char c) { return isCp932LeadByte(static_cast<unsigned char>(c)); }

// Width of the character at i: 2 for a lead byte with its second half, else 1.
qsizetype charWidth(QByteArrayView s, qsizetype i) {
  return (isLead(s[i]) && i + 1 < s.size()) ? 2 : 1;
}

// Width of an escape at i: the '\' and the whole character after it.
qsizetype escapeWidth(QByteArrayView s, qsizetype i) {
  return i + 1 < s.size() ? 1 + charWidth(s, i + 1) : 1;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

QByteArrayView trimmed(QByteArrayView s) {
  while (!s.isEmpty() && isBlank(s.front())) s = s.sliced(1);
  while (!s.isEmpty() && isBlank(s.back())) s.chop(1);
  return s;
}

// atoi-like: leading blanks, an optional sign, digits; 0 when there are none. Numbers beyond
// the 32-bit range stop at its ends.
int leadingInt(QByteArrayView s) {
  qsizetype i = 0;
  while (i < s.size() && isBlank(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  int64_t value = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
    value = value * 10 + (s[i++] - '0');
    if (value > int64_t(INT32_MAX) + 1) value = int64_t(INT32_MAX) + 1;
  }
  return static_cast<int>(std::clamp<int64_t>(negative ? -value : value, INT32_MIN, INT32_MAX));
}

[[noreturn]] void chNoError() { fatalError("Ch No. Error"); }

// "@chN" with exactly one digit N; anything else is a fault of the mark-up. Returns N and
// leaves `s` after the digit.
int variableNumber(QByteArrayView& s, const CellVariables* variables) {
  if (!variables || s.size() < 4 || !s.startsWith("@ch") || s[3] < '0' || s[3] > '9') chNoError();
  if (s.size() > 4 && s[4] >= '0' && s[4] <= '9') chNoError();
  const int n = s[3] - '0';
  s = s.sliced(4);
  return n;
}

// Removes each '\' and keeps the byte after it.
QByteArray unescaped(QByteArrayView s) {
  QByteArray out;
  out.reserve(s.size());
  for (qsizetype i = 0; i < s.size();) {
    const qsizetype w = charWidth(s, i);
    if (w == 1 && s[i] == '\\') {
      const qsizetype e = escapeWidth(s, i);
      out += s.sliced(i + 1, e - 1);
      i += e;
      continue;
    }
    out += s.sliced(i, w);
    i += w;
  }
  return out;
}

// Splits `s` at the commas that stand at single-byte positions.
template <typename F>
void forEachField(QByteArrayView s, char separator, F&& f) {
  qsizetype start = 0;
  int n = 0;
  for (qsizetype i = 0; i < s.size();) {
    const qsizetype w = charWidth(s, i);
    if (w == 1 && s[i] == separator) {
      f(n++, s.sliced(start, i - start));
      start = i + 1;
    }
    i += w;
  }
  f(n, s.sliced(start));
}

// `%p`: a percentage of the current value; otherwise a plain value. 0 leaves it unchanged.
void applyScaled(QByteArrayView field, int& value) {
  field = trimmed(field);
  if (field.startsWith('%')) {
    const int64_t scaled = static_cast<int64_t>(value) * leadingInt(field.sliced(1)) / 100;
    value = scaled == 0 ? 1 : static_cast<int>(scaled);
    return;
  }
  const int v = leadingInt(field);
  if (v != 0) value = v;
}

bool startsWithName(QByteArrayView s, const char* name, QByteArrayView* rest) {
  const qsizetype n = static_cast<qsizetype>(std::strlen(name));
  if (s.size() < n || std::memcmp(s.data(), name, n) != 0) return false;
  *rest = s.sliced(n);
  return true;
}

}  // namespace

bool colourByName(QByteArrayView name, CellColour& colour) {
  const QByteArray key = name.toByteArray();
  const cmcHash::Entry* e = colourTable().find(key.constData());
  if (!e || key.size() != static_cast<qsizetype>(std::strlen(key.constData()))) return false;
  colour = kColours[e->value].value;
  return true;
}

bool charsetByName(QByteArrayView name, int& charset) {
  while (!name.isEmpty() && isBlank(name.front())) name = name.sliced(1);
  for (const NamedCharset& c : kCharsets) {
    QByteArrayView rest;
    if (!startsWithName(name, c.name, &rest)) continue;
    if (!trimmed(rest).isEmpty()) continue;
    charset = c.value;
    return true;
  }
  return false;
}

cmcCellParser::cmcCellParser(cmcGTex& modelText)
    : models_(modelText), defaultFace_(kOtherDefaultFace) {}

void cmcCellParser::setJapaneseFace(bool japanese) {
  defaultFace_ = japanese ? kJapaneseDefaultFace : kOtherDefaultFace;
}

CellFont cmcCellParser::newFont() const {
  CellFont font;
  font.face = defaultFace_;
  return font;
}

QByteArrayView cmcCellParser::splitCell(QByteArrayView line, QByteArrayView* cell) {
  for (qsizetype i = 0; i < line.size();) {
    const qsizetype w = charWidth(line, i);
    if (w == 1 && line[i] == '\\') {
      i += escapeWidth(line, i);
      continue;
    }
    if (w == 1 && line[i] == '|') {
      if (cell) *cell = line.first(i);
      return line.sliced(i + 1);
    }
    i += w;
  }
  if (cell) *cell = line;
  return {};
}

int cmcCellParser::countCells(QByteArrayView line) {
  int n = 0;
  while (!line.isEmpty()) {
    line = splitCell(line);
    ++n;
  }
  return n;
}

QByteArrayView cmcCellParser::parseCell(cmcCellObj& style, QByteArrayView line,
                                        const cmcCellObj* base, CellVariables* variables) {
  QByteArrayView cell;
  const QByteArrayView rest = splitCell(line, &cell);

  style.resetFrom(base);
  style.variables = variables;

  // Brace parts are attributes, everything else is display text.
  // Copied a run at a time: the cells of the main window's texts are read at every start.
  QByteArray attributes;
  QByteArray raw;
  bool inBraces = false;
  qsizetype run = 0;  // where the text not yet copied begins
  const auto copyRun = [&](qsizetype end) {
    if (end > run) (inBraces ? attributes : raw).append(cell.sliced(run, end - run));
  };
  for (qsizetype i = 0; i < cell.size();) {
    const qsizetype w = charWidth(cell, i);
    const char c = cell[i];
    if (w == 1 && (c == '{' || c == '}')) {
      copyRun(i);
      inBraces = c == '{';
      run = i + 1;
    }
    i += w;
  }
  copyRun(cell.size());

  applyAttributes(style, attributes, 0);
  QByteArray text = displayText(style, raw);
  if (text.isEmpty())
    style.text.reset();
  else
    style.text = std::move(text);
  style.variables = nullptr;
  return rest;
}

void cmcCellParser::parseAttributes(cmcCellObj& style, QByteArrayView attributes) {
  applyAttributes(style, attributes, 0);
}

void cmcCellParser::applyAttributes(cmcCellObj& style, QByteArrayView a, int depth) {
  bool negate = false;
  for (qsizetype i = 0; i < a.size();) {
    const qsizetype w = charWidth(a, i);
    const char c = a[i];
    const bool negated = negate;
    negate = false;
    if (w == 2) {
      i += 2;
      continue;
    }
    if (c == '\\') {
      i += escapeWidth(a, i);
      continue;
    }
    if (c == '(') {
      qsizetype j = i + 1;
      while (j < a.size()) {
        const qsizetype wj = charWidth(a, j);
        if (wj == 1 && a[j] == '\\') {
          j += escapeWidth(a, j);
          continue;
        }
        if (wj == 1 && a[j] == ')') break;
        j += wj;
      }
      const qsizetype end = j < a.size() ? j : a.size();
      applyGroup(style, a.sliced(i + 1, end - i - 1), depth);
      i = end + 1;
      continue;
    }
    ++i;
    if (c == '!') {
      negate = true;
      continue;
    }
    // A negated letter clears its bit; for the two-bit fields it sets the field back to 0.
    auto setField = [&](uint8_t& bits, int shift, int width, int value) {
      const uint8_t mask = static_cast<uint8_t>(((1 << width) - 1) << shift);
      bits = static_cast<uint8_t>((bits & ~mask) | (negated ? 0 : (value << shift)));
    };
    switch (c) {
      case '<':
        setField(style.layoutFlags, 0, 2, kAlignLeft);
        break;
      case '^':
        setField(style.layoutFlags, 0, 2, kAlignCentre);
        break;
      case '>':
        setField(style.layoutFlags, 0, 2, kAlignRight);
        break;
      case '~':
        setField(style.layoutFlags, 2, 2, kAlignTop);
        break;
      case '-':
        setField(style.layoutFlags, 2, 2, kAlignMiddle);
        break;
      case '_':
        setField(style.layoutFlags, 2, 2, kAlignBottom);
        break;
      case 'W':
        setField(style.layoutFlags, 4, 1, 1);
        break;
      case 'H':
        setField(style.layoutFlags, 5, 1, 1);
        break;
      case '=':
        setField(style.layoutFlags, 6, 1, 1);
        break;
      case '+':
        setField(style.layoutFlags, 7, 1, 1);
        break;
      case 'B':
        setField(style.behaviourFlags, 0, 1, 1);
        break;
      case 'X':
        setField(style.behaviourFlags, 1, 2, kRuleFull);
        break;
      case 'Q':
        setField(style.behaviourFlags, 1, 2, kRuleShort);
        break;
      case 'S':
        setField(style.behaviourFlags, 3, 1, 1);
        break;
      case 'T':
        setField(style.behaviourFlags, 4, 1, 1);
        break;
      default:
        break;
    }
  }
}

void cmcCellParser::applyGroup(cmcCellObj& style, QByteArrayView g, int depth) {
  QByteArrayView rest;
  if (startsWithName(g, "$", &rest)) {
    const QByteArray section = "CellModel_" + rest.toByteArray();
    if (depth >= kMaxModelDepth)
      fatalError(QStringLiteral("Cell models nest too deeply.\n'%1'").arg(fromCp932(section)));
    const QByteArray model = models_.getValue(section.constData());
    applyAttributes(style, model, depth + 1);
  } else if (startsWithName(g, "Color=", &rest)) {
    colourByName(rest, style.colour);
  } else if (startsWithName(g, "Font=", &rest)) {
    if (!style.font) {
      const CellFont* inherited = style.base ? style.base->effectiveFont() : nullptr;
      style.font = std::make_unique<CellFont>(inherited ? *inherited : newFont());
    }
    parseFont(rest, *style.font);
  } else if (startsWithName(g, "%", &rest)) {
    applyLink(style, rest);
  } else if (startsWithName(g, "@", &rest)) {
    QByteArrayView s = g;
    const int n = variableNumber(s, style.variables);
    s = trimmed(s);
    if (s == "++") {
      // Mark-up made at run time may count past the top; the count stays there.
      int32_t& v = (*style.variables)[n];
      if (v < INT32_MAX) ++v;
    } else if (s.startsWith('=')) {
      (*style.variables)[n] = leadingInt(s.sliced(1));
    }
  } else if (startsWithName(g, "ImageIndex=", &rest)) {
    style.imageIndex = leadingInt(rest);
  } else if (startsWithName(g, "PopupMenu=", &rest)) {
    style.popupMenu = rest.toByteArray();
  } else if (startsWithName(g, "ColCut_PopupMenu=", &rest)) {
    style.colCutPopupMenu = rest.toByteArray();
  } else if (startsWithName(g, "Flag", &rest)) {
    if (rest.size() == 3 && rest[0] >= '0' && rest[0] <= '7' && rest[1] == '=' &&
        (rest[2] == '0' || rest[2] == '1'))
      style.setFlag(rest[0] - '0', rest[2] == '1');
  }
}

void cmcCellParser::applyLink(cmcCellObj& style, QByteArrayView ref) {
  // The name part runs to the first '[' or ':'; a '.' in it (not escaped) ends a category name.
  // A '.' further on belongs to the index or the argument ("6.25k").
  qsizetype nameEnd = ref.size();
  qsizetype dot = -1;
  for (qsizetype i = 0; i < ref.size();) {
    const qsizetype w = charWidth(ref, i);
    if (w == 1 && (ref[i] == '[' || ref[i] == ':')) {
      nameEnd = i;
      break;
    }
    if (w == 1 && ref[i] == '.' && dot < 0) dot = i;
    i += w;
  }
  qsizetype nameStart = 0;
  if (dot >= 0 && !(dot > 0 && ref[dot - 1] == '\\')) {
    style.category = categoryOf(ref.first(dot).toByteArray());
    nameStart = dot + 1;
  }
  style.link = linkOf(ref.sliced(nameStart, nameEnd - nameStart).toByteArray());

  qsizetype i = nameEnd;
  if (i < ref.size() && ref[i] == '[') {
    qsizetype close = i + 1;
    while (close < ref.size() && ref[close] != ']' && ref[close] != ':')
      close += charWidth(ref, close);
    QByteArrayView inside = ref.sliced(i + 1, close - i - 1);
    QByteArrayView lead = trimmed(inside);
    if (lead.startsWith('@')) {
      const int n = variableNumber(lead, style.variables);
      style.index = (*style.variables)[n];
    } else {
      style.index = leadingInt(inside);
    }
    i = close < ref.size() && ref[close] == ']' ? close + 1 : close;
  }
  while (i < ref.size() && ref[i] != ':') i += charWidth(ref, i);
  if (i < ref.size()) style.argument = unescaped(ref.sliced(i + 1));
}

void cmcCellParser::parseFont(QByteArrayView fontText, CellFont& font) const {
  forEachField(fontText, ',', [&](int n, QByteArrayView field) {
    switch (n) {
      case 0:
        charsetByName(field, font.charset);
        break;
      case 1:
        font.face = field.isEmpty() ? defaultFace_ : field.toByteArray();
        break;
      case 2:
        colourByName(trimmed(field), font.colour);
        break;
      case 3:
        applyScaled(field, font.height);
        break;
      case 4:
        applyScaled(field, font.size);
        break;
      case 5: {
        bool first = true;
        forEachField(field, '+', [&](int, QByteArrayView name) {
          static const struct {
            const char* name;
            uint8_t bit;
          } styles[] = {{"fsBold", kFontBold},
                        {"fsItalic", kFontItalic},
                        {"fsUnderline", kFontUnderline},
                        {"fsStrikeOut", kFontStrikeOut}};
          name = trimmed(name);
          for (const auto& s : styles) {
            if (name != s.name) continue;
            if (first) font.style = 0;
            first = false;
            font.style |= s.bit;
          }
        });
        break;
      }
      case 6: {
        const QByteArrayView name = trimmed(field);
        if (name == "fpDefault")
          font.pitch = kPitchDefault;
        else if (name == "fpVariable")
          font.pitch = kPitchVariable;
        else if (name == "fpFixed")
          font.pitch = kPitchFixed;
        break;
      }
      default:
        break;
    }
  });
}

QByteArray cmcCellParser::displayText(const cmcCellObj& style, QByteArrayView raw) const {
  QByteArray out;
  out.reserve(raw.size());
  qsizetype run = 0;  // where the plain text not yet copied begins
  for (qsizetype i = 0; i < raw.size(); run = i) {
    qsizetype w = charWidth(raw, i);
    while (w == 2 || raw[i] != '\\') {
      i += w;
      if (i >= raw.size()) break;
      w = charWidth(raw, i);
    }
    out.append(raw.sliced(run, i - run));
    if (i >= raw.size()) break;
    if (i + 1 >= raw.size()) break;  // a lone trailing '\' stands for nothing
    const char e = raw[i + 1];
    if (e == 'n' || e == 'N') {
      out += '\n';
      i += 2;
    } else if (e == '_') {
      out += ' ';
      i += 2;
    } else if (e == '(') {
      const qsizetype close = raw.indexOf(')', i + 2);
      if (close < 0) fatalError("Illegal Ch No.");
      QByteArray inside;
      for (char c : raw.sliced(i + 2, close - i - 2))
        if (!isBlank(c)) inside += c;
      QByteArrayView s = inside;
      const int n = variableNumber(s, style.variables);
      int64_t value = (*style.variables)[n];
      if (s.startsWith('+') && s.size() > 1)
        value += leadingInt(s.sliced(1));
      else if (!s.isEmpty())
        chNoError();
      out += QByteArray::number(value).left(6);
      i = close + 1;
    } else {
      // Any other byte stands for itself (the second half of a double-byte character too).
      const qsizetype we = charWidth(raw, i + 1);
      out.append(raw.sliced(i + 1, we));
      i += 1 + we;
    }
  }
  return out;
}
