#include "files/indEnviron.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <algorithm>
#include <climits>
#include <cstdint>

#include "files/etcdata.h"

namespace {
const QString kGlobal = QStringLiteral("Global");
const QString kRecentList = QStringLiteral("Recent File List");
const QString kViewOption = QStringLiteral("View Option");
const QString kWindowPosition = QStringLiteral("Window Position");
const QString kSetup = QStringLiteral("Setup");

QStringList keyParts(const QString& keyPath) {
  return QString(keyPath)
      .replace(QLatin1Char('\\'), QLatin1Char('/'))
      .split(QLatin1Char('/'), Qt::SkipEmptyParts);
}

// Reads one group of the store; the first missing value, or a value of the radio's set-up that
// is not an integer, fails the whole load.
class GroupReader {
  // A value beyond the integer range is as far as it can go, not wrapped around.
  static int clampRead(qlonglong value, int lo, int hi) {
    return int(std::clamp<qlonglong>(value, lo, hi));
  }

 public:
  // `typed`: the store keeps value types (the registry), so a text where a number belongs is a
  // value of the wrong type; an INI file holds only texts.
  GroupReader(QSettings& s, const QString& group, bool& ok, bool typed)
      : s_(s), ok_(ok), typed_(typed) {
    if (!ok_) return;
    if (!s_.childGroups().contains(group)) {
      ok_ = false;
      return;
    }
    s_.beginGroup(group);
    open_ = true;
  }
  ~GroupReader() {
    if (open_) s_.endGroup();
  }
  GroupReader(const GroupReader&) = delete;
  GroupReader& operator=(const GroupReader&) = delete;

  int integer(const QString& name, int lo = INT_MIN, int hi = INT_MAX) {
    if (!ok_) return 0;
    bool converted = false;
    const QVariant v = s_.value(name);
    const qlonglong value = v.isValid() ? v.toLongLong(&converted) : 0;
    if (!converted || (typed_ && v.typeId() == QMetaType::QString)) {
      ok_ = false;
      return 0;
    }
    return clampRead(value, lo, hi);
  }
  // A value that only shapes the window: missing, it still fails the whole load (incomplete
  // settings), but one that is there and not a number takes its own default.
  int display(const QString& name, int fallback, int lo = INT_MIN, int hi = INT_MAX) {
    if (!ok_) return 0;
    const QVariant v = s_.value(name);
    if (!v.isValid()) {
      ok_ = false;
      return 0;
    }
    bool converted = false;
    const qlonglong value = v.toLongLong(&converted);
    if (!converted || (typed_ && v.typeId() == QMetaType::QString)) return fallback;
    return clampRead(value, lo, hi);
  }
  // A missing text reads as empty, as registry string reads do.
  QString text(const QString& name) {
    if (!ok_) return {};
    return s_.value(name).toString();
  }
  // A value added after the layout was fixed: missing or unreadable means `fallback`.
  int optionalInteger(const QString& name, int fallback) {
    if (!ok_) return fallback;
    bool converted = false;
    const int value = s_.value(name).toInt(&converted);
    return converted ? value : fallback;
  }

 private:
  QSettings& s_;
  bool& ok_;
  const bool typed_;
  bool open_ = false;
};
}  // namespace

WindowRect defaultWindowRect(const ScreenSize& screen) {
  // Integer arithmetic: exactly the truncated products of 0.9 and 0.3.
  WindowRect r;
  r.width = std::min(800, screen.width * 9 / 10);
  r.height = std::min(600, screen.height * 9 / 10);
  r.left = (screen.width - r.width) / 2;
  r.top = (screen.height - r.height) * 3 / 10;
  return r;
}

WindowRect firstStartWindowRect(const ScreenSize& screen, const WorkArea& area) {
  WindowRect r = defaultWindowRect(screen);
  const int workWidth = area.right - area.left;
  const int workHeight = area.bottom - area.top;
  const int width = std::max(r.width, std::min(1400, workWidth * 3 / 4));
  const int height = std::max(r.height, std::min(1000, workHeight * 3 / 4));
  if (width == r.width && height == r.height) return r;
  r.width = width;
  r.height = height;
  r.left = area.left + std::max(0, (workWidth - width) / 2);
  r.top = area.top + std::max(0, (workHeight - height) * 3 / 10);
  return r;
}

namespace {
int clampToInt(int64_t v) { return int(std::clamp<int64_t>(v, INT_MIN, INT_MAX)); }
}  // namespace

WindowRect pullIntoWorkArea(WindowRect r, const WorkArea& area) {
  // In 64 bits: stored values may be anything, up to the ends of the integer range.
  const int64_t right = area.right;
  const int64_t bottom = area.bottom;
  int64_t left = r.left;
  int64_t top = r.top;
  if (left > right - 16) left = right - 16;
  if (top > bottom - 16) top = bottom - 16;
  if (left + r.width < int64_t(area.left) + 16) left = int64_t(area.left) - r.width + 16;
  if (top < area.top) top = area.top;
  r.left = clampToInt(left);
  r.top = clampToInt(top);
  return r;
}

WindowRect fitIntoWorkArea(WindowRect r, const WorkArea& area, int minWidth, int minHeight) {
  r = pullIntoWorkArea(r, area);
  const int areaWidth = std::max(0, area.right - area.left);
  const int areaHeight = std::max(0, area.bottom - area.top);
  r.width = std::max(std::min(r.width, areaWidth), minWidth);
  r.height = std::max(std::min(r.height, areaHeight), minHeight);
  // Wholly inside where it fits; the top left corner (the title bar) inside in any case.
  r.left = std::max(std::min<int64_t>(r.left, int64_t(area.right) - r.width), int64_t(area.left));
  r.top = std::max(std::min<int64_t>(r.top, int64_t(area.bottom) - r.height), int64_t(area.top));
  return r;
}

indEnviron::indEnviron(const QString& mutexName, const QString& userKeyPath,
                       const QString& machineKeyPath, const QStringList& arguments,
                       const ScreenSize& screen, const EnvironPlace& place)
    : lock_(mutexName, place.lockDirectory),
      userKey_(userKeyPath),
      machineKey_(machineKeyPath),
      screen_(screen) {
  const QStringList parts = keyParts(userKeyPath);
  const QString app = parts.isEmpty() ? QStringLiteral("Kestrin") : parts.last();
  if (!place.settingsDirectory.isEmpty()) {
    iniPath_ = QDir(place.settingsDirectory).filePath(app + QStringLiteral(".ini"));
  } else {
#ifndef Q_OS_WIN
    // Software\Zelk\Kestrin -> <config>/Zelk/Kestrin.ini
    QStringList rest = parts;
    if (!rest.isEmpty() &&
        rest.first().compare(QStringLiteral("Software"), Qt::CaseInsensitive) == 0) {
      rest.removeFirst();
    }
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    iniPath_ = QDir(config).filePath(rest.join(QLatin1Char('/')) + QStringLiteral(".ini"));
#endif
  }
  applyDefaults();
  if (!isFirstInstance()) return;  // a second instance ends at once and touches nothing
  if (!load(arguments) || marker_ != kMarker) applyDefaults();
}

indEnviron::~indEnviron() {
  if (isFirstInstance() && marker_ == kMarker) save();
  lock_.release();
}

std::unique_ptr<QSettings> indEnviron::open() const {
  if (iniPath_.isEmpty()) {
    return std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER\\") + userKey_,
                                       QSettings::NativeFormat);
  }
  return std::make_unique<QSettings>(iniPath_, QSettings::IniFormat);
}

void indEnviron::applyDefaults() {
  marker_ = kMarker;
  comPort_ = 0;
  comPortPath_.clear();
  comSpeedHigh_ = 1;
  transType_ = 0;
  verifyAfterWrite_ = true;
  currentDirectory_.clear();
  recent_.clear();
  fontSizePercentage_ = 100;
  toolbarVisible_ = 1;
  fontSizePrinter_ = 10;
  window_ = defaultWindowRect(screen_);
  splitterV_ = 200;
  modelType_ = 0;
  destination_ = 16;
  flagA_ = flagB_ = flagC_ = flagD_ = false;
  setupState_ = kSetupNeeded;
  adjustFlag_ = 0;
}

bool indEnviron::load(const QStringList& arguments) {
  auto s = open();
  bool ok = s->status() == QSettings::NoError;
  const bool typed = iniPath_.isEmpty();
  {
    GroupReader g(*s, kGlobal, ok, typed);
    marker_ = g.integer(QStringLiteral("BBT"));
    comPort_ = g.integer(QStringLiteral("ComPort"), 1, 256);
    comPortPath_ = g.text(QStringLiteral("ComPortPath"));
    comSpeedHigh_ = g.integer(QStringLiteral("ComSpeedHigh"), 0, 1);
    transType_ = g.integer(QStringLiteral("TransType"), 0, 4);
    verifyAfterWrite_ = g.optionalInteger(QStringLiteral("VerifyAfterWrite"), 1) != 0;
    currentDirectory_ = g.text(QStringLiteral("Current Directory"));
  }
  {
    GroupReader g(*s, kRecentList, ok, typed);
    for (int i = 0; i < 10; ++i) recent_.append(g.text(QStringLiteral("Recent%1").arg(i)));
  }
  {
    GroupReader g(*s, kViewOption, ok, typed);
    fontSizePercentage_ = g.display(QStringLiteral("FontSize Percentage"), 100, 25, 1000);
    toolbarVisible_ = g.display(QStringLiteral("Toolbar Visible"), 1) != 0 ? 1 : 0;
    fontSizePrinter_ = g.display(QStringLiteral("FontSize Printer"), 10, 8, 12);
  }
  {
    GroupReader g(*s, kWindowPosition, ok, typed);
    const WindowRect initial = defaultWindowRect(screen_);
    window_.left = g.display(QStringLiteral("Left"), initial.left);
    window_.top = g.display(QStringLiteral("Top"), initial.top);
    window_.width = g.display(QStringLiteral("Width"), initial.width);
    window_.height = g.display(QStringLiteral("Height"), initial.height);
    splitterV_ = g.display(QStringLiteral("SplitterV"), 200);
  }
  uint32_t etc = 0;
  {
    GroupReader g(*s, kSetup, ok, typed);
    modelType_ = g.integer(QStringLiteral("ModelType"));
    etc = static_cast<uint32_t>(g.integer(QStringLiteral("Etc Data")));
  }
  if (!ok) return false;

  const EtcData unpacked = unpackEtcData(etc);
  if (unpacked.valid) {
    destination_ = unpacked.code;
    setFlags(unpacked.a, unpacked.b, unpacked.c, unpacked.d);
  } else {
    destination_ = 16;
    setFlags(false, false, false, false);
  }
  recomputeSetupState();
  for (const QString& arg : arguments) {
    if (arg.compare(QStringLiteral("/setup"), Qt::CaseInsensitive) == 0) setupState_ = kSetupForced;
  }
  adjustFlag_ = 0;
  return true;
}

bool indEnviron::save() {
  auto s = open();
  if (!iniPath_.isEmpty() && s->status() == QSettings::FormatError) {
    // A file that cannot be parsed was read as defaults, and QSettings never overwrites it:
    // without replacing it every start would ask for the initial set-up again.
    s.reset();
    QFile::remove(iniPath_);
    s = open();
  }
  s->beginGroup(kGlobal);
  s->setValue(QStringLiteral("BBT"), marker_);
  s->setValue(QStringLiteral("ComPort"), comPort_);
  // The registry holds exactly the values of the Windows program; a device path is a matter
  // of systems with device files, kept in their INI file.
  if (!iniPath_.isEmpty()) s->setValue(QStringLiteral("ComPortPath"), comPortPath_);
  s->setValue(QStringLiteral("ComSpeedHigh"), comSpeedHigh_);
  s->setValue(QStringLiteral("TransType"), transType_);
  s->setValue(QStringLiteral("VerifyAfterWrite"), verifyAfterWrite_ ? 1 : 0);
  s->setValue(QStringLiteral("Current Directory"), currentDirectory_);
  s->endGroup();
  s->beginGroup(kRecentList);
  for (int i = 0; i < 10; ++i) s->setValue(QStringLiteral("Recent%1").arg(i), recent_.path(i));
  s->endGroup();
  s->beginGroup(kViewOption);
  s->setValue(QStringLiteral("FontSize Percentage"), fontSizePercentage_);
  s->setValue(QStringLiteral("Toolbar Visible"), toolbarVisible_);
  s->setValue(QStringLiteral("FontSize Printer"), fontSizePrinter_);
  s->endGroup();
  s->beginGroup(kWindowPosition);
  s->setValue(QStringLiteral("Left"), window_.left);
  s->setValue(QStringLiteral("Top"), window_.top);
  s->setValue(QStringLiteral("Width"), window_.width);
  s->setValue(QStringLiteral("Height"), window_.height);
  s->setValue(QStringLiteral("SplitterV"), splitterV_);
  s->endGroup();
  s->beginGroup(kSetup);
  s->setValue(QStringLiteral("ModelType"), modelType_);
  s->setValue(QStringLiteral("Etc Data"), static_cast<int>(etcData()));
  s->endGroup();
  s->sync();
  return s->status() == QSettings::NoError;
}

void indEnviron::setFlags(bool a, bool b, bool c, bool d) {
  flagA_ = a;
  flagB_ = b;
  flagC_ = c;
  flagD_ = d;
}

uint32_t indEnviron::etcData() const {
  return packEtcData(destination_, flagA_, flagB_, flagC_, flagD_);
}

void indEnviron::recomputeSetupState() {
  if (setupState_ == kSetupForced) return;
  setupState_ = destination_ > 15 ? kSetupNeeded : kSetupReady;
}

QString indEnviron::groupFor(const QString& keyPath) const {
  const QStringList root = keyParts(userKey_);
  QStringList parts = keyParts(keyPath);
  bool under = parts.size() >= root.size();
  for (int i = 0; under && i < root.size(); ++i) {
    under = parts.at(i).compare(root.at(i), Qt::CaseInsensitive) == 0;
  }
  if (under) parts = parts.mid(root.size());
  return parts.join(QLatin1Char('/'));
}

int indEnviron::readInteger(const QString& keyPath, const QString& name) const {
  auto s = open();
  const QString group = groupFor(keyPath);
  if (!group.isEmpty()) s->beginGroup(group);
  const QVariant v = s->value(name);
  bool ok = false;
  const int value = v.isValid() ? v.toInt(&ok) : 0;
  return ok ? value : -1;
}

void indEnviron::writeInteger(const QString& keyPath, const QString& name, int value) {
  auto s = open();
  const QString group = groupFor(keyPath);
  if (!group.isEmpty()) s->beginGroup(group);
  s->setValue(name, value);
}

void indEnviron::writeIntegers(const QString& keyPath, const QList<QPair<QString, int>>& values) {
  if (values.isEmpty()) return;
  auto s = open();
  const QString group = groupFor(keyPath);
  if (!group.isEmpty()) s->beginGroup(group);
  for (const auto& [name, value] : values) s->setValue(name, value);
}

void indEnviron::deleteKey(const QString& keyPath, const QString& subkey) {
  auto s = open();
  const QString group = groupFor(keyPath);
  if (!group.isEmpty()) s->beginGroup(group);
  s->remove(subkey);
}
