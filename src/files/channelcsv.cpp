#include "files/channelcsv.h"

#include <QFile>
#include <QLocale>
#include <QStringDecoder>
#include <array>

#include "base/prompter.h"
#include "base/textcodec.h"
#include "files/csvfields.h"
#include "files/inputfile.h"
#include "files/messages.h"
#include "files/savefile.h"
#include "gtex/cmcGTex.h"
#include "model/ChannelView.h"
#include "model/cmcEeprom.h"
#include "model/frequency.h"
#include "model/numbering.h"
#include "model/textrules.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

using namespace csvtext;

constexpr char kNotFoundText[] = "NOT_FOUND";
constexpr int64_t kImportLowHz = 136000000;
constexpr int64_t kImportHighHz = 174000000;
constexpr int kNameLength = 6;
// A channel list has a few hundred short lines. Anything far beyond that is not one, and is
// refused before it can take the memory of the machine.
constexpr qsizetype kMaxListBytes = 4 * 1024 * 1024;
constexpr qsizetype kMaxLineLength = 4096;

const char* const kColumnNames[kColumnCount] = {"CH No",       "Frequency",     "Dup",
                                                "Dup Reverse", "Offset",        "TX Inhibit",
                                                "TS",          "Mode",          "Name Disp",
                                                "Name",        "SKIP",          "RF Power",
                                                "TONE",        "Repeater Tone", "TSQL Frequency",
                                                "DTCS Code",   "DTCS Polarity", "DTMF",
                                                "Bank"};

struct Entry {
  QByteArray text;
  int value;
};
using Table = std::vector<Entry>;

Table fixedTable(std::initializer_list<Entry> entries) { return Table(entries); }

const Table& offOn() {
  static const Table t = fixedTable({{"OFF", 0}, {"ON", 1}});
  return t;
}

// The column's table; every "." in the step texts stands for the decimal character on export.
const Table& tableOf(int column) {
  static const Table empty;
  static const Table dup = fixedTable({{"OFF", 0}, {"DUP-", 1}, {"DUP+", 2}});
  static const Table step = fixedTable({{"5kHz", 0},
                                        {"6.25kHz", 1},
                                        {"10kHz", 2},
                                        {"12.5kHz", 3},
                                        {"15kHz", 4},
                                        {"20kHz", 5},
                                        {"25kHz", 6},
                                        {"30kHz", 7},
                                        {"50kHz", 8}});
  static const Table mode = fixedTable({{"FM", 0}, {"FM-N", 1}, {"Auto", 2}});
  static const Table skip = fixedTable({{"OFF", 0}, {"SKIP", 1}, {"PSKIP", 3}});
  static const Table power = fixedTable({{"High", 0}, {"Mid-H", 3}, {"Mid", 2}, {"Low", 1}});
  static const Table tone = fixedTable({{"OFF", 0},
                                        {"TONE", 1},
                                        {"TSQL", 2},
                                        {"DTCS", 4},
                                        {"DTCS(T)", 3},
                                        {"TSQL-R", 5},
                                        {"DTCS-R", 6},
                                        {"TSQL R", 5},
                                        {"DTCS R", 6}});
  static const Table polarity =
      fixedTable({{"BOTH N", 0}, {"TN-RR", 1}, {"TR-RN", 2}, {"BOTH R", 3}});
  static const Table dtmf = fixedTable({{"OFF", 0}, {"DTMF", 1}});
  // The letter as the memory sheet shows it, empty for no bank; the list's "Bank-A" and "OFF"
  // are read too.
  static const Table bank = [] {
    Table t;
    for (int i = 0; i < ChannelFields::kNoBank; ++i) t.push_back({QByteArray(1, char('A' + i)), i});
    t.push_back({"", ChannelFields::kNoBank});
    t.push_back({"OFF", ChannelFields::kNoBank});
    for (int i = 0; i < ChannelFields::kNoBank; ++i)
      t.push_back({"Bank-" + QByteArray(1, char('A' + i)), i});
    return t;
  }();
  static const Table ctcss = [] {
    Table t;
    for (int i = 0; i < kToneCount; ++i) {
      const int tenths = kCtcssTonesTenthHz[size_t(i)];
      t.push_back(
          {QByteArray::number(tenths / 10) + '.' + QByteArray::number(tenths % 10) + "Hz", i});
    }
    return t;
  }();
  static const Table dtcs = [] {
    Table t;
    for (int i = 0; i < kDtcsCount; ++i)
      t.push_back({QByteArray::number(kDtcsCodes[size_t(i)]).rightJustified(3, '0'), i});
    return t;
  }();
  switch (column) {
    case kDup:
      return dup;
    case kDupReverse:
    case kTxInhibit:
    case kNameDisp:
      return offOn();
    case kStep:
      return step;
    case kMode:
      return mode;
    case kSkip:
      return skip;
    case kPower:
      return power;
    case kToneMode:
      return tone;
    case kRepeaterTone:
    case kTsqlFrequency:
      return ctcss;
    case kDtcsCode:
      return dtcs;
    case kDtcsPolarity:
      return polarity;
    case kDtmf:
      return dtmf;
    case kBank:
      return bank;
    default:
      return empty;
  }
}

bool sameTextNoCase(const QByteArray& a, const QByteArray& b) {
  if (a.size() != b.size()) return false;
  for (qsizetype i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = char(x - 32);
    if (y >= 'a' && y <= 'z') y = char(y - 32);
    if (x != y) return false;
  }
  return true;
}

// The character rules for typed names: full-width forms folded to half-width, kana (whose
// half-width forms names cannot hold) dropped, then the name filter. Plain ASCII needs no
// folding.
QByteArray normaliseName(const QByteArray& field) {
  bool ascii = true;
  for (char c : field) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  return nameFilter(ascii ? field : foldTypedText(field));
}

bool allDigits(const QByteArray& text) {
  if (text.isEmpty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// A tone written as a number, as spreadsheets leave it: "100", "100.0", "100Hz", "88.50 hz".
// The tone's index, or kNotFound when the number is not one of the tones.
int toneByNumber(QByteArray text) {
  if (text.endsWith("Hz") || text.endsWith("hz") || text.endsWith("HZ") || text.endsWith("hZ"))
    text = text.chopped(2).trimmed();
  const qsizetype dot = text.indexOf('.');
  const QByteArray whole = dot < 0 ? text : text.left(dot);
  const QByteArray fraction = dot < 0 ? QByteArray() : text.mid(dot + 1);
  if (!allDigits(whole) || whole.size() > 4 || (dot >= 0 && !allDigits(fraction))) return kNotFound;
  for (qsizetype i = 1; i < fraction.size(); ++i)
    if (fraction[i] != '0') return kNotFound;  // finer than the tenths the tones have
  const int tenths = whole.toInt() * 10 + (fraction.isEmpty() ? 0 : fraction[0] - '0');
  for (int i = 0; i < kToneCount; ++i)
    if (kCtcssTonesTenthHz[size_t(i)] == tenths) return i;
  return kNotFound;
}

// Channel lists written as UTF-8 (what editors and spreadsheets on most systems write) are
// turned into the program's own encoding before any rule looks at them: those with the
// byte-order mark, and those that are valid UTF-8 with bytes beyond ASCII. Anything else is
// taken as code page 932, as the program writes it.
QByteArray inProgramEncoding(const QByteArray& input) {
  constexpr char kBom[] = "\xEF\xBB\xBF";
  if (input.startsWith(kBom)) return toCp932(QString::fromUtf8(input.mid(3)));
  bool ascii = true;
  for (char c : input) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) return input;
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString decoded = utf8(input);
  return utf8.hasError() ? input : toCp932(decoded);
}

}  // namespace

// ---------------------------------------------------------------------------------------------

ChannelGroupRange groupRange(ChannelGroup group) {
  switch (group) {
    case ChannelGroup::Memory0:
      return {numbering::kFirstMemory, numbering::kMemoryBlockSize};
    case ChannelGroup::Memory1:
      return {numbering::kFirstMemory + numbering::kMemoryBlockSize, numbering::kMemoryBlockSize};
    case ChannelGroup::ScanEdges:
      return {numbering::kFirstScanEdge, numbering::kLastScanEdge - numbering::kFirstScanEdge + 1};
    case ChannelGroup::Call:
      return {numbering::kCallChannel, 1};
  }
  return {0, 0};
}

CsvSeparators CsvSeparators::resolve(const QString& systemDecimal, const QString& systemList) {
  CsvSeparators s;
  s.decimal = (systemDecimal == "." || systemDecimal == ",") ? systemDecimal[0].toLatin1() : '.';
  s.list = (systemList == "," || systemList == ";") ? systemList[0].toLatin1() : ',';
  if (s.list == s.decimal) s.list = ';';
  return s;
}

CsvSeparators CsvSeparators::fromSystem() {
  QString list = QStringLiteral(",");
#ifdef Q_OS_WIN
  wchar_t buffer[8] = {};
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLIST, buffer, 8) > 0)
    list = QString::fromWCharArray(buffer);
#endif
  // Elsewhere there is no list separator setting; the decimal character decides (";" beside ",").
  return resolve(QLocale::system().decimalPoint(), list);
}

const char* csvtext::columnName(int column) {
  return column >= 0 && column < kColumnCount ? kColumnNames[column] : "";
}

QByteArray csvtext::frequencyText(uint32_t hz, char decimal) {
  return QByteArray::number(hz / 1000000) + decimal +
         QByteArray::number(hz % 1000000).rightJustified(6, '0');
}

int64_t csvtext::frequencyValue(const QByteArray& raw, char decimal) {
  // Within one field "." and "," can only be the decimal point, whichever the list uses: a
  // quoted "146,520" in a comma-separated list is 146.52 MHz.
  QByteArray text = raw.trimmed();
  text.replace(decimal == '.' ? ',' : '.', decimal);
  if (text.isEmpty()) return -1;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (!((c >= '0' && c <= '9') || c == decimal || (c == '-' && i == 0))) return -1;
  }
  // Read as a number: digits, one decimal character, digits; a second decimal character ends
  // the number as it would end any numeric reading.
  qsizetype i = 0;
  const bool negative = text[0] == '-';
  if (negative) ++i;
  int64_t whole = 0;
  bool digits = false;
  bool tooLarge = false;
  for (; i < text.size() && text[i] != decimal; ++i) {
    digits = true;
    whole = whole * 10 + (text[i] - '0');
    if (whole > 4294) tooLarge = true, whole = 4295;
  }
  int64_t micro = 0;
  int fractionDigits = 0;
  bool roundUp = false;
  if (i < text.size()) {
    for (++i; i < text.size() && text[i] != decimal; ++i) {
      digits = true;
      if (fractionDigits < 6)
        micro = micro * 10 + (text[i] - '0');
      else if (fractionDigits == 6)
        roundUp = text[i] >= '5';
      ++fractionDigits;
    }
  }
  if (!digits) return -1;
  for (; fractionDigits < 6; ++fractionDigits) micro *= 10;
  const int64_t hz = whole * 1000000 + micro + (roundUp ? 1 : 0);
  if (tooLarge || hz > 4294967295LL) return 0;
  // Any negative amount is below the range; rounding half up keeps -0.0000004 at 0 as well.
  if (negative) return 0;
  return hz;
}

QByteArray csvtext::tableText(int column, int value, char decimal) {
  for (const Entry& e : tableOf(column)) {
    if (e.value != value) continue;
    if (column != kStep) return e.text;
    QByteArray t = e.text;
    return t.replace('.', decimal);
  }
  return kNotFoundText;
}

int csvtext::tableValue(int column, const QByteArray& raw) {
  QByteArray text = raw.trimmed();
  if (column == kStep || column == kRepeaterTone || column == kTsqlFrequency)
    text.replace(',', '.');
  // A spreadsheet that saves the list again drops the leading zeros of a code: "47" is 047.
  if (column == kDtcsCode && allDigits(text) && text.size() < 3) text = text.rightJustified(3, '0');
  for (const Entry& e : tableOf(column))
    if (sameTextNoCase(text, e.text)) return e.value;
  if (column == kRepeaterTone || column == kTsqlFrequency) return toneByNumber(text);
  return kNotFound;
}

// ---------------------------------------------------------------------------------------------

ChannelCsv::ChannelCsv(cmcEeprom& working, const cmcEeprom& defaults,
                       const DestinationOptions& options, const CsvSeparators& separators)
    : working_(working), defaults_(defaults), options_(options), separators_(separators) {}

QByteArray ChannelCsv::exportText(ChannelGroup group) const {
  const char sep = separators_.list;
  const char dec = separators_.decimal;
  QByteArray out;
  for (int c = 0; c < kColumnCount; ++c) {
    if (c) out += sep;
    out += kColumnNames[c];
  }
  out += "\r\n";

  const ChannelGroupRange range = groupRange(group);
  ChannelView view(working_, options_);
  for (int i = 0; i < range.size; ++i) {
    view.load(kKindConventional, range.first + i);
    out += QByteArray::number(i).rightJustified(2, '0');
    if (!view.inUse) {
      out += QByteArray(kColumnCount - 1, sep) + "\r\n";
      continue;
    }
    // A name keeps its separators and quotes: the field is quoted where it needs to be.
    QByteArray name(view.name.data(), kNameLength);
    while (name.endsWith(' ')) name.chop(1);
    const QByteArray fields[kColumnCount] = {
        {},
        frequencyText(view.frequency, dec),
        tableText(kDup, view.duplex, dec),
        tableText(kDupReverse, view.reverse, dec),
        frequencyText(view.offset, dec),
        tableText(kTxInhibit, view.txInhibit, dec),
        tableText(kStep, view.step, dec),
        tableText(kMode, view.mode, dec),
        tableText(kNameDisp, view.nameDisplay, dec),
        name,
        tableText(kSkip, view.scanSkip, dec),
        tableText(kPower, view.power, dec),
        tableText(kToneMode, view.toneMode, dec),
        tableText(kRepeaterTone, view.tone, dec),
        tableText(kTsqlFrequency, view.toneSquelch, dec),
        tableText(kDtcsCode, view.dtcs, dec),
        tableText(kDtcsPolarity, view.dtcsPolarity, dec),
        tableText(kDtmf, view.dtmf, dec),
        tableText(kBank, view.bank, dec),
    };
    for (int c = 1; c < kColumnCount; ++c) out += sep + csvfields::quoteField(fields[c], sep);
    out += "\r\n";
  }
  return out;
}

CsvImportResult ChannelCsv::importText(const QByteArray& input, ChannelGroup group) {
  CsvImportResult result;
  if (input.size() > kMaxListBytes) {
    result.oversized = true;
    return result;
  }
  const QByteArray text = inProgramEncoding(input);
  // The records, read as spreadsheets write them (quoted fields may hold separators and line
  // breaks).
  std::vector<QList<QByteArray>> records;
  for (qsizetype from = 0; from < text.size() || records.empty();) {
    const qsizetype start = from;
    records.push_back(csvfields::readRecord(text, &from, separators_.list));
    if (from - start > kMaxLineLength) {
      result.oversized = true;
      return result;
    }
  }

  // Header: which field holds each column.
  int at[kColumnCount];
  std::fill(std::begin(at), std::end(at), -1);
  const QList<QByteArray>& names = records[0];
  for (int c = 0; c < kColumnCount; ++c)
    for (int f = 0; f < names.size() && at[c] < 0; ++f)
      if (sameTextNoCase(names[f].trimmed(), kColumnNames[c])) at[c] = f;
  if (at[kChNo] < 0 || at[kFrequency] < 0) return result;
  result.headerOk = true;

  const ChannelGroupRange range = groupRange(group);
  const bool callGroup = group == ChannelGroup::Call;
  const bool scanEdges = group == ChannelGroup::ScanEdges;
  ChannelView view(working_, options_);

  // Clear the group: channels not in use, the call channel back to its default.
  for (int i = 0; i < range.size; ++i) {
    view.load(kKindConventional, range.first + i);
    if (callGroup)
      view.loadFrom(defaults_, kKindConventional, numbering::kCallChannel);
    else
      view.inUse = false;
    view.store();
  }

  for (size_t n = 1; n < records.size(); ++n) {
    const QList<QByteArray>& fields = records[n];
    if (fields.size() == 1 && fields[0].isEmpty()) continue;  // an empty line
    auto field = [&](int column, bool* present = nullptr) -> QByteArray {
      const bool there = at[column] >= 0 && at[column] < fields.size();
      if (present) *present = there;
      return there ? fields[at[column]] : QByteArray();
    };

    bool numberOk = false;
    const int number = field(kChNo).trimmed().toInt(&numberOk, 10);
    if (!numberOk || number < 0 || number >= range.size) continue;
    view.load(kKindConventional, range.first + number);

    const QByteArray freqText = field(kFrequency).trimmed();
    if (freqText.isEmpty() && !callGroup) {
      view.inUse = false;  // a blank line of the list: nothing to count
      view.store();
      continue;
    }
    const int64_t hz = frequencyValue(freqText, separators_.decimal);
    if (hz < kImportLowHz || hz > kImportHighHz) {
      if (callGroup) {
        view.loadFrom(defaults_, kKindConventional, numbering::kCallChannel);
        ++result.corrected;
      } else {
        view.inUse = false;
        ++result.discarded;
      }
      view.store();
      ++result.imported;
      continue;
    }

    bool corrected = false;
    const int64_t snapped = snapFrequency(hz, false);
    corrected |= snapped != hz;
    ChannelView tmpl(options_);
    tmpl.loadFrom(defaults_, scanEdges ? kKindEdgeTemplate : kKindTemplate, 0);
    view.setFields(tmpl.fields());
    view.inUse = true;
    view.frequency = uint32_t(snapped);

    // Table columns: a missing column or a text not in the table takes the template's value.
    struct Target {
      int column;
      int ChannelFields::*member;
    };
    static const Target targets[] = {
        {kDup, &ChannelFields::duplex},
        {kDupReverse, &ChannelFields::reverse},
        {kTxInhibit, &ChannelFields::txInhibit},
        {kStep, &ChannelFields::step},
        {kMode, &ChannelFields::mode},
        {kNameDisp, &ChannelFields::nameDisplay},
        {kSkip, &ChannelFields::scanSkip},
        {kPower, &ChannelFields::power},
        {kToneMode, &ChannelFields::toneMode},
        {kRepeaterTone, &ChannelFields::tone},
        {kTsqlFrequency, &ChannelFields::toneSquelch},
        {kDtcsCode, &ChannelFields::dtcs},
        {kDtcsPolarity, &ChannelFields::dtcsPolarity},
        {kDtmf, &ChannelFields::dtmf},
    };
    // Lists written before the bank column, or by hand, keep the template's bank unremarked.
    if (at[kBank] >= 0) {
      const int bank = tableValue(kBank, field(kBank));
      if (bank == kNotFound)
        corrected = true;
      else
        view.bank = bank;
    }
    for (const Target& t : targets) {
      if (t.column == kSkip && callGroup) continue;  // the call channel has no skip
      bool present = false;
      const QByteArray value = field(t.column, &present);
      const int v = present ? tableValue(t.column, value) : kNotFound;
      if (v == kNotFound) {
        corrected = true;  // keeps the template's value
        continue;
      }
      view.*(t.member) = v;
    }
    if (!callGroup && view.scanSkip == 3) {  // PSKIP is not kept in a channel: plain skip
      view.scanSkip = 1;
      corrected = true;
    }

    bool present = false;
    const QByteArray offsetText = field(kOffset, &present);
    const int64_t offset = present ? frequencyValue(offsetText, separators_.decimal) : -1;
    if (offset < 0 || offset > kOffsetMaxHz) {
      corrected = true;
    } else {
      view.offset = uint32_t(offset);
    }
    const int64_t snappedOffset = snapFrequency(view.offset, true);
    corrected |= snappedOffset != int64_t(view.offset);
    view.offset = uint32_t(snappedOffset);

    const QByteArray nameField = field(kName, &present);
    if (!present) {
      corrected = true;
    } else {
      const QByteArray name = normaliseName(nameField);
      corrected |= name.size() != nameField.size() || nameField.size() > kNameLength;
      view.setName(name.constData(), int(std::min<qsizetype>(name.size(), kNameLength)));
    }

    view.store();
    ++result.imported;
    if (corrected) ++result.corrected;
  }
  return result;
}

// ---------------------------------------------------------------------------------------------

bool ChannelCsv::ExportChannels(const QString& path, ChannelGroup group) {
  SafeFileWriter out(path);
  return ExportChannels(out, group);
}

bool ChannelCsv::ExportChannels(SafeFileWriter& out, ChannelGroup group) {
  const char* failure = nullptr;
  if (!out.open())
    failure = "GI_Mess_FileErr_FileOpen";
  else if (!out.write(exportText(group)) || !out.commit())
    failure = "GI_Mess_FileErr_FileAccess";
  if (!failure) return true;
  out.cancel();
  if (prompter_ && text_) showFileErrorBox(*prompter_, *text_, failure);
  return false;
}

bool ChannelCsv::ConfirmImport() {
  if (!prompter_ || !text_) return true;
  return prompter_->ask(PromptMessage{fromCp932(text_->getValue("GI_Sys_AppTitle")),
                                      messageText(*text_, "GI_Mess_Confirm_ImportFile"),
                                      PromptButtons::OkCancel, PromptIcon::Warning,
                                      PromptAnswer::Ok}) == PromptAnswer::Ok;
}

bool ChannelCsv::ImportChannels(const QString& path, ChannelGroup group,
                                const std::function<void()>& refresh, CsvImportResult* counts) {
  const bool show = prompter_ && text_;
  QFile file(path);
  if (!isRegularFile(path) || !file.open(QIODevice::ReadOnly)) {
    if (show) showWarning(*prompter_, *text_, "GI_Mess_Import_OpenErr");
    return false;
  }
  // One byte more than a list may have tells a list that is too large (or endless, as a
  // device) without reading the rest.
  const QByteArray contents = file.read(kMaxListBytes + 1);
  if (file.error() != QFileDevice::NoError) {
    if (show) showWarning(*prompter_, *text_, "GI_Mess_Import_OpenErr");
    return false;
  }
  const CsvImportResult r = importText(contents, group);
  if (counts) *counts = r;
  if (!r.headerOk) {
    if (show) showWarning(*prompter_, *text_, "GI_Mess_Import_TitleErr");
    return false;
  }
  if (refresh) refresh();
  if (show) {
    if (r.imported == 0) showWarning(*prompter_, *text_, "GI_Mess_Import_NoData");
    if (r.imported > 0 && r.discarded > 0)
      showWarning(*prompter_, *text_, "GI_Mess_Import_Discard");
    if (r.imported > 0 && r.corrected > 0)
      showWarning(*prompter_, *text_, "GI_Mess_Import_Correct");
  }
  return true;
}
