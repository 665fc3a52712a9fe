#include "files/CommonChannelList.h"

#include <QStringDecoder>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "base/textcodec.h"
#include "files/messages.h"
#include "files/savefile.h"
#include "files/csvfields.h"
#include "gtex/celllinks.h"
#include "gtex/cmcCellObj.h"
#include "model/ChannelView.h"
#include "model/catalogue.h"
#include "model/cmcCellCapsule.h"
#include "model/document.h"
#include "model/frequency.h"
#include "model/numbering.h"

namespace commonlist {
namespace {

enum Column {
  kLocation,
  kName,
  kFrequency,
  kDuplex,
  kOffset,
  kTone,
  kRToneFreq,
  kCToneFreq,
  kDtcsCode,
  kDtcsPolarity,
  kMode,
  kTStep,
  kSkip,
  kComment,
  kUrCall,
  kRpt1Call,
  kRpt2Call,
  kCrossMode,
  kColumns
};

// Values of the channel record (the sheet's selection lists).
enum ToneMode { kToneOff = 0, kToneEncode = 1, kToneSquelch = 2, kDtcsEncode = 3, kDtcs = 4,
                kToneSquelchReverse = 5, kDtcsReverse = 6 };
enum Duplex { kSimplex = 0, kMinus = 1, kPlus = 2 };
enum Mode { kFm = 0, kFmNarrow = 1, kAuto = 2 };
constexpr int kSkipOn = 1;          // S
constexpr int kPrioritySkip = 3;  // P: held by the record, not offered by the pages
constexpr double kStepsKHz[] = {5, 6.25, 10, 12.5, 15, 20, 25, 30, 50};
constexpr const char* kPolarities[] = {"NN", "NR", "RN", "RR"};
constexpr int64_t kOffsetMaxHz = 20000000;  // what the offset field takes
// More rows than any group holds, by far: a file beyond it is not a channel list.
constexpr qsizetype kMaxListBytes = 4 * 1024 * 1024;

QString mhz(int64_t hz) {
  return QStringLiteral("%1.%2").arg(hz / 1000000).arg(hz % 1000000, 6, 10, QLatin1Char('0'));
}

// "146.52" → 146520000; nullopt when the text is not a plain decimal number.
std::optional<int64_t> parseMHz(QString text) {
  text = text.trimmed();
  if (text.isEmpty()) return std::nullopt;
  bool negative = false;
  if (text.startsWith('-') || text.startsWith('+')) {
    negative = text.startsWith('-');
    text.remove(0, 1);
  }
  const qsizetype dot = text.indexOf('.');
  const QString whole = dot < 0 ? text : text.left(dot);
  QString fraction = dot < 0 ? QString() : text.mid(dot + 1);
  if (whole.isEmpty() && fraction.isEmpty()) return std::nullopt;
  for (const QString& part : {whole, fraction})
    for (QChar c : part)
      if (!c.isDigit() || c.unicode() > '9') return std::nullopt;
  if (whole.size() > 6) return std::nullopt;
  // Six decimals are whole hertz; a seventh rounds half up.
  const bool roundUp = fraction.size() > 6 && fraction[6] >= QLatin1Char('5');
  fraction = fraction.left(6).leftJustified(6, QLatin1Char('0'));
  int64_t hz = (whole.isEmpty() ? 0 : whole.toLongLong()) * 1000000 + fraction.toLongLong();
  if (roundUp) ++hz;
  return negative ? -hz : hz;
}

// The list as text: UTF-8 (with or without its byte-order mark), else the program's code page.
QString decode(const QByteArray& bytes) {
  QByteArray body = bytes;
  if (body.startsWith("\xEF\xBB\xBF")) body.remove(0, 3);
  QStringDecoder utf8(QStringDecoder::Utf8);
  QString text = utf8(body);
  if (utf8.hasError()) text = fromCp932(body);
  return text;
}

int lineOf(const QByteArray& text, qsizetype pos, int* line, qsizetype* counted) {
  // Lines counted from where the last call stopped; CR LF, LF and a lone CR each end a line.
  for (qsizetype i = *counted; i < pos; ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')))
      ++*line;
  }
  *counted = pos;
  return *line;
}

struct Header {
  int at[kColumns];
  Header() { std::fill(std::begin(at), std::end(at), -1); }
};

Header readHeader(const QList<QByteArray>& names) {
  Header h;
  for (int c = 0; c < kColumns; ++c) {
    for (int f = 0; f < names.size() && h.at[c] < 0; ++f) {
      if (QString::fromUtf8(names[f]).trimmed().compare(columnNames()[c], Qt::CaseInsensitive) == 0)
        h.at[c] = f;
    }
  }
  return h;
}

// Puts values into one channel through the field catalogue, as typing and list choices do.
class ChannelEntry {
  // The channel pages' own arguments: the transceiver's settings block.
  static constexpr char kSheetArguments[] = "0,0";

 public:
  ChannelEntry(FieldCatalogue& catalogue, Document& document, int index)
      : catalogue_(catalogue), document_(document), index_(index) {}

  void type(int link, const QString& text) {
    cmcCellObj cell = cellFor(link);
    cmcCellCapsule request;
    request.cell = &cell;
    request.sheetArguments = kSheetArguments;
    request.operation = kOpTextEntered;
    request.typedText = toCp932(text);
    catalogue_.dispatch(request, false);
  }
  void choose(int link, int value, int itemLink = Flex0) {
    cmcCellObj cell = cellFor(link);
    cmcCellObj item;
    item.category = CT_Null;
    item.link = itemLink;
    item.index = value;
    cmcCellCapsule parent;
    parent.cell = &item;
    cmcCellCapsule request;
    request.cell = &cell;
    request.sheetArguments = kSheetArguments;
    request.parent = &parent;
    request.operation = kOpChoiceMade;
    catalogue_.dispatch(request, false);
  }
  // The text the sheet shows for the field.
  QString shown(int link) {
    cmcCellObj cell = cellFor(link);
    cmcCellCapsule request;
    request.cell = &cell;
    request.sheetArguments = kSheetArguments;
    catalogue_.dispatch(request, false);
    return fromCp932(request.resultText).trimmed();
  }
  ChannelView view() const {
    ChannelView v(document_.working(), document_.options());
    v.load(kKindConventional, index_);
    return v;
  }

 private:
  cmcCellObj cellFor(int link) const {
    cmcCellObj cell;
    cell.category = CT_Conv;
    cell.link = link;
    cell.index = index_;
    return cell;
  }
  FieldCatalogue& catalogue_;
  Document& document_;
  int index_;
};

int nearestStep(double khz) {
  int best = 0;
  for (int i = 1; i < int(std::size(kStepsKHz)); ++i)
    if (std::abs(kStepsKHz[i] - khz) < std::abs(kStepsKHz[best] - khz)) best = i;
  return best;
}

QString stepText(int value) {
  const int i = std::clamp(value, 0, int(std::size(kStepsKHz)) - 1);
  return QString::number(kStepsKHz[i], 'f', 2);
}

QString toneText(int value) {
  QString t = QString::fromLatin1(csvtext::tableText(csvtext::kRepeaterTone, value, '.'));
  if (t.endsWith(QLatin1String("Hz"))) t.chop(2);
  return t;
}

QString quoted(const QString& text) { return QLatin1Char('"') + text + QLatin1Char('"'); }

}  // namespace

const QStringList& columnNames() {
  static const QStringList names{
      "Location", "Name",     "Frequency", "Duplex", "Offset",   "Tone",
      "rToneFreq", "cToneFreq", "DtcsCode", "DtcsPolarity", "Mode", "TStep",
      "Skip",     "Comment",  "URCALL",    "RPT1CALL", "RPT2CALL", "CrossMode"};
  return names;
}

bool recognises(const QByteArray& bytes) {
  QByteArray text = bytes.left(4096);
  if (text.startsWith("\xEF\xBB\xBF")) text.remove(0, 3);
  qsizetype pos = 0;
  const Header h = readHeader(csvfields::readRecord(text, &pos, ','));
  return h.at[kLocation] >= 0 && h.at[kFrequency] >= 0;
}

QString channelLabel(ChannelGroup group, int number) {
  switch (group) {
    case ChannelGroup::Memory0:
      return QString::number(number);
    case ChannelGroup::Memory1:
      return QString::number(number + numbering::kMemoryBlockSize);
    case ChannelGroup::ScanEdges:
      return QStringLiteral("%1%2").arg(number / 2 + 1).arg(number % 2 ? 'B' : 'A');
    case ChannelGroup::Call:
      return QStringLiteral("CALL");
  }
  return QString::number(number);
}

QByteArray exportText(const Document& document, ChannelGroup group) {
  QByteArray out = columnNames().join(QLatin1Char(',')).toUtf8() + "\r\n";
  const ChannelGroupRange range = groupRange(group);
  ChannelView v(document.options());
  for (int i = 0; i < range.size; ++i) {
    v.loadFrom(document.working(), kKindConventional, range.first + i);
    if (!v.inUse) continue;
    QString duplex;
    if (v.txInhibit)
      duplex = QStringLiteral("off");
    else if (v.duplex == kPlus)
      duplex = QStringLiteral("+");
    else if (v.duplex == kMinus)
      duplex = QStringLiteral("-");
    QString tone, cross;
    switch (v.toneMode) {
      case kToneEncode:
        tone = QStringLiteral("Tone");
        break;
      case kToneSquelch:
      case kToneSquelchReverse:
        tone = QStringLiteral("TSQL");
        break;
      case kDtcs:
      case kDtcsReverse:
        tone = QStringLiteral("DTCS");
        break;
      case kDtcsEncode:
        tone = QStringLiteral("Cross");
        cross = QStringLiteral("DTCS->");
        break;
      default:
        break;
    }
    const QString mode = v.mode == kFmNarrow ? QStringLiteral("NFM")
                         : v.mode == kAuto   ? QStringLiteral("Auto")
                                             : QStringLiteral("FM");
    const QString skip = v.scanSkip == kSkipOn         ? QStringLiteral("S")
                         : v.scanSkip == kPrioritySkip ? QStringLiteral("P")
                                           : QString();
    const QString name =
        fromCp932(QByteArray(v.name.data(), int(v.name.size()))).trimmed();
    const int location = group == ChannelGroup::Memory1 ? i + numbering::kMemoryBlockSize : i;
    const QStringList fields{
        QString::number(location),
        name,
        mhz(v.frequency),
        duplex,
        mhz(v.offset),
        tone,
        toneText(v.tone),
        toneText(v.toneSquelch),
        QString::fromLatin1(csvtext::tableText(csvtext::kDtcsCode, v.dtcs, '.')),
        QString::fromLatin1(kPolarities[std::clamp(int(v.dtcsPolarity), 0, 3)]),
        mode,
        stepText(v.step),
        skip,
        QString(),
        QString(),
        QString(),
        QString(),
        cross,
    };
    QByteArrayList row;
    for (const QString& f : fields) row << csvfields::quoteField(f.toUtf8(), ',');
    out += row.join(',') + "\r\n";
  }
  return out;
}

ImportReport importText(const QByteArray& bytes, ChannelGroup group, Document& document,
                        FieldCatalogue& catalogue) {
  ImportReport report;
  if (bytes.size() > kMaxListBytes) return report;
  const QByteArray text = decode(bytes).toUtf8();

  // The records, each with the line it starts on.
  struct Record {
    int line;
    QList<QByteArray> fields;
  };
  std::vector<Record> records;
  qsizetype pos = 0, counted = 0;
  int line = 1;
  while (pos < text.size()) {
    const int at = lineOf(text, pos, &line, &counted);
    QList<QByteArray> fields = csvfields::readRecord(text, &pos, ',');
    records.push_back({at, std::move(fields)});
  }
  if (records.empty()) return report;
  const Header h = readHeader(records[0].fields);
  if (h.at[kLocation] < 0 || h.at[kFrequency] < 0) return report;
  report.recognised = true;

  // Rows in Location order; rows whose Location is no number go last, not taken.
  struct Pending {
    const Record* record;
    std::optional<long long> location;
  };
  std::vector<Pending> rows;
  for (size_t r = 1; r < records.size(); ++r) {
    const QList<QByteArray>& f = records[r].fields;
    if (std::all_of(f.begin(), f.end(), [](const QByteArray& x) { return x.trimmed().isEmpty(); }))
      continue;
    bool ok = false;
    const QByteArray loc = h.at[kLocation] < f.size() ? f[h.at[kLocation]].trimmed() : QByteArray();
    const long long n = loc.toLongLong(&ok);
    rows.push_back({&records[r], ok ? std::optional<long long>(n) : std::nullopt});
  }
  std::stable_sort(rows.begin(), rows.end(), [](const Pending& a, const Pending& b) {
    if (a.location.has_value() != b.location.has_value()) return a.location.has_value();
    return a.location.value_or(0) < b.location.value_or(0);
  });
  report.rows = int(rows.size());

  // The group is cleared first, as the program's own lists clear it.
  const ChannelGroupRange range = groupRange(group);
  const bool callGroup = group == ChannelGroup::Call;
  {
    ChannelView view(document.working(), document.options());
    for (int i = 0; i < range.size; ++i) {
      view.load(kKindConventional, range.first + i);
      if (callGroup)
        view.loadFrom(document.defaultImage(), kKindConventional, numbering::kCallChannel);
      else
        view.inUse = false;
      view.store();
    }
  }

  int comments = 0;
  int next = 0;  // the group's next free channel number
  for (const Pending& p : rows) {
    const QList<QByteArray>& f = p.record->fields;
    auto field = [&](int column) -> QString {
      const int at = h.at[column];
      return at >= 0 && at < f.size() ? QString::fromUtf8(f[at]).trimmed() : QString();
    };
    Row row;
    row.line = p.record->line;
    row.location = field(kLocation);
    auto refuse = [&](const QString& why) {
      row.notes << why;
      report.entries.push_back(row);
    };
    if (!p.location) {
      refuse(QStringLiteral("not taken: Location %1 is not a channel number").arg(quoted(row.location)));
      continue;
    }
    const QString freqText = field(kFrequency);
    const std::optional<int64_t> hz = parseMHz(freqText);
    if (freqText.isEmpty()) {
      refuse(QStringLiteral("not taken: no Frequency"));
      continue;
    }
    if (!hz) {
      refuse(QStringLiteral("not taken: Frequency %1 is not a number of MHz").arg(quoted(freqText)));
      continue;
    }
    if (*hz < kRangeLowHz || *hz > kRangeHighHz) {
      refuse(QStringLiteral("not taken: %1 MHz is outside the transceiver's range (%2 to %3 MHz)")
                 .arg(mhz(std::max<int64_t>(*hz, 0)), mhz(kRangeLowHz), mhz(kRangeHighHz)));
      continue;
    }
    if (next >= range.size) {
      refuse(QStringLiteral("not taken: no room, the group has %1 channel%2")
                 .arg(range.size)
                 .arg(range.size == 1 ? "" : "s"));
      continue;
    }
    row.channel = next++;
    ChannelEntry ch(catalogue, document, range.first + row.channel);

    // Frequency first: an empty channel is made from the new-channel template when a frequency
    // is typed into it.
    ch.type(CL_Mch_Freq, mhz(*hz));
    if (ch.view().frequency != *hz)
      row.notes << QStringLiteral("Frequency %1 MHz stored as %2").arg(mhz(*hz), mhz(ch.view().frequency));

    const QString name = field(kName);
    ch.type(CL_Mch_Name, name);
    const QString storedName = ch.shown(CL_Mch_Name);
    if (storedName != name.toUpper())
      row.notes << QStringLiteral("Name %1 stored as %2").arg(quoted(name), quoted(storedName));

    // Duplex and offset; "split" names the transmit frequency, which becomes an offset.
    const QString duplexText = field(kDuplex).toLower();
    const QString offsetText = field(kOffset);
    int64_t offset = parseMHz(offsetText).value_or(0);
    int duplex = kSimplex;
    bool inhibit = false;
    if (duplexText == QLatin1String("+")) {
      duplex = kPlus;
    } else if (duplexText == QLatin1String("-")) {
      duplex = kMinus;
    } else if (duplexText == QLatin1String("split")) {
      const std::optional<int64_t> tx = parseMHz(offsetText);
      if (!tx) {
        row.notes << QStringLiteral("Duplex split without a transmit frequency: stored as simplex");
      } else if (std::llabs(*tx - *hz) > kOffsetMaxHz) {
        row.notes << QStringLiteral("Duplex split to %1 MHz is beyond the largest offset (%2 MHz): "
                                    "stored as simplex")
                         .arg(mhz(*tx), mhz(kOffsetMaxHz));
      } else if (*tx != *hz) {
        duplex = *tx > *hz ? kPlus : kMinus;
        offset = std::llabs(*tx - *hz);
      }
      if (duplex == kSimplex) offset = 0;
    } else if (duplexText == QLatin1String("off")) {
      inhibit = true;
    } else if (!duplexText.isEmpty()) {
      row.notes << QStringLiteral("Duplex %1 unknown: stored as simplex").arg(quoted(field(kDuplex)));
    }
    ch.choose(CL_Mch_Dup, duplex);
    ch.choose(CL_Mch_Tx_Inhibit, inhibit ? 1 : 0);
    if (duplexText != QLatin1String("split") || duplex != kSimplex) {
      if (!offsetText.isEmpty() || duplexText == QLatin1String("split")) {
        ch.type(CL_Mch_Offset_Freq, mhz(std::max<int64_t>(offset, 0)));
        const int64_t stored = ch.view().offset;
        if (duplex != kSimplex && stored != offset)
          row.notes << QStringLiteral("Offset %1 MHz stored as %2").arg(mhz(offset), mhz(stored));
      }
    }

    // Tone, tone squelch and DTCS.
    const QString toneText = field(kTone).toLower();
    int toneMode = kToneOff;
    if (toneText == QLatin1String("tone")) {
      toneMode = kToneEncode;
    } else if (toneText == QLatin1String("tsql")) {
      toneMode = kToneSquelch;
    } else if (toneText == QLatin1String("dtcs")) {
      toneMode = kDtcs;
    } else if (toneText == QLatin1String("cross")) {
      const QString cross = field(kCrossMode).toLower().remove(' ');
      if (cross == QLatin1String("dtcs->")) {
        toneMode = kDtcsEncode;
      } else if (cross == QLatin1String("tone->")) {
        toneMode = kToneEncode;
      } else {
        toneMode = cross.contains(QLatin1String("dtcs")) ? kDtcs : kToneSquelch;
        row.notes << QStringLiteral("Cross mode %1 stored as %2")
                         .arg(quoted(field(kCrossMode)), toneMode == kDtcs ? "DTCS" : "TSQL");
      }
    } else if (!toneText.isEmpty()) {
      row.notes << QStringLiteral("Tone %1 unknown: stored as no tone").arg(quoted(field(kTone)));
    }
    ch.choose(CL_Mch_Decode, toneMode);
    struct Tone {
      int column;
      int link;
      bool used;
    };
    const Tone tones[] = {
        {kRToneFreq, CL_Mch_TONE_Freq, toneMode == kToneEncode},
        {kCToneFreq, CL_Mch_TSQL_Freq, toneMode == kToneSquelch},
        {kDtcsCode, CL_Mch_DTCS, toneMode == kDtcs || toneMode == kDtcsEncode},
    };
    for (const Tone& t : tones) {
      const QString given = field(t.column);
      if (given.isEmpty()) continue;
      ch.type(t.link, given);
      const QString stored = ch.shown(t.link);
      bool same = false;
      const double a = given.toDouble(&same);
      same = same && std::abs(a - stored.toDouble()) < 0.05;
      if (t.used && !same)
        row.notes << QStringLiteral("%1 %2 stored as %3")
                         .arg(columnNames()[t.column], given, stored);
    }
    const QString polarity = field(kDtcsPolarity).toUpper();
    if (!polarity.isEmpty()) {
      const auto found = std::find(std::begin(kPolarities), std::end(kPolarities), polarity);
      if (found == std::end(kPolarities)) {
        row.notes << QStringLiteral("DtcsPolarity %1 unknown: stored as NN").arg(quoted(polarity));
        ch.choose(CL_Mch_DTCS_Polarity, 0);
      } else {
        ch.choose(CL_Mch_DTCS_Polarity, int(found - std::begin(kPolarities)));
      }
    }

    // Mode: the nearest the transceiver has.
    const QString modeText = field(kMode).toUpper();
    if (!modeText.isEmpty()) {
      int mode = kFm;
      QString why;
      if (modeText == QLatin1String("FM")) {
        mode = kFm;
      } else if (modeText == QLatin1String("NFM") || modeText == QLatin1String("FM-N")) {
        mode = kFmNarrow;
        if (!document.options().fmNarrowAllowed()) {
          mode = kFm;
          why = QStringLiteral("the transceiver has no FM narrow");
        }
      } else if (modeText == QLatin1String("AUTO")) {
        mode = kAuto;
      } else if (modeText == QLatin1String("AM")) {
        mode = kAuto;  // the band decides, and the airband is received in AM
        why = QStringLiteral("the transceiver has no AM");
      } else {
        mode = kFm;
        why = QStringLiteral("the transceiver has no %1").arg(field(kMode));
      }
      ch.choose(CL_Mch_Mode, mode, FlexMarking_Mode);
      if (!why.isEmpty())
        row.notes << QStringLiteral("Mode %1 stored as %2: %3")
                         .arg(field(kMode), ch.shown(CL_Mch_Mode), why);
    }

    const QString stepField = field(kTStep);
    if (!stepField.isEmpty()) {
      bool ok = false;
      const double khz = stepField.toDouble(&ok);
      const int step = ok ? nearestStep(khz) : 0;
      ch.choose(CL_Mch_TS_Pitch, step);
      if (!ok || std::abs(kStepsKHz[step] - khz) > 0.001)
        row.notes << QStringLiteral("TStep %1 stored as %2 kHz").arg(quoted(stepField), stepText(step));
    }

    if (!callGroup) {
      const QString skip = field(kSkip).toUpper();
      int value = 0;
      if (skip == QLatin1String("S")) {
        value = kSkipOn;
      } else if (skip == QLatin1String("P")) {
        // The channel pages offer OFF and SKIP only, as the program's own lists do.
        value = kSkipOn;
        row.notes << QStringLiteral("Skip P stored as SKIP: the transceiver has no priority skip");
      } else if (!skip.isEmpty())
        row.notes << QStringLiteral("Skip %1 unknown: stored as no skip").arg(quoted(field(kSkip)));
      ch.choose(CL_Mch_Scan_Skip, value);
    }
    if (!field(kComment).isEmpty()) ++comments;

    ++report.taken;
    report.entries.push_back(row);
  }
  if (comments > 0)
    report.general << QStringLiteral("%1 row%2 had a Comment; the transceiver has no place for "
                                     "comments.")
                          .arg(comments)
                          .arg(comments == 1 ? "" : "s");
  return report;
}

bool exportFile(const QString& path, const Document& document, ChannelGroup group,
                Prompter* prompter, cmcGTex* text) {
  SafeFileWriter out(path);
  const char* failure = nullptr;
  if (!out.open())
    failure = "GI_Mess_FileErr_FileOpen";
  else if (!out.write(exportText(document, group)) || !out.commit())
    failure = "GI_Mess_FileErr_FileAccess";
  if (!failure) return true;
  out.cancel();
  if (prompter && text) showFileErrorBox(*prompter, *text, failure);
  return false;
}

QString ImportReport::text(ChannelGroup group) const {
  QStringList lines;
  lines << QStringLiteral("%1 of %2 row%3 taken.").arg(taken).arg(rows).arg(rows == 1 ? "" : "s");
  for (const Row& r : entries) {
    QString head = QStringLiteral("Line %1, Location %2: ").arg(r.line).arg(r.location);
    if (r.channel >= 0) head += QStringLiteral("channel %1").arg(channelLabel(group, r.channel));
    QStringList notes = r.notes;
    if (r.channel < 0 && !notes.isEmpty()) head += notes.takeFirst();
    if (!notes.isEmpty()) head += QStringLiteral("; ") + notes.join(QStringLiteral("; "));
    lines << head;
  }
  lines << general;
  return lines.join(QLatin1Char('\n'));
}

}  // namespace commonlist
