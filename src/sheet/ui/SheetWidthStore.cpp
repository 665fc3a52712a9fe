#include "sheet/ui/SheetWidthStore.h"

#include <algorithm>

#include "files/indEnviron.h"
#include "gtex/cmcGTex.h"

namespace {
constexpr const char* kFamilyList = "GI_CellWidthRegList";

// Widths are kept as they would be at a display font scale of 100 %, so a sheet opened after a
// change of the font size keeps the user's proportions and its texts fit.
int percentOrWhole(int percent) { return percent > 0 ? percent : 100; }
int atScale(int stored, int percent) {
  return static_cast<int>(stored * percentOrWhole(percent) / 100.0 + 0.5);
}
int atWholeScale(int width, int percent) {
  return static_cast<int>(width * 100.0 / percentOrWhole(percent) + 0.5);
}
}  // namespace

SettingsWidthStore::SettingsWidthStore(indEnviron& settings, cmcGTex& text) : settings_(settings) {
  if (!text.hasSection(kFamilyList)) return;
  for (const QByteArray& raw : text.getSectionText(kFamilyList).split('\n')) {
    const QByteArray line = raw.trimmed();
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0 || colon + 1 >= line.size()) continue;
    const QByteArray family = line.mid(colon + 1);
    sheets_.emplace_back(line.left(colon), family);
    families_[family].name = family;
  }
}

QString SettingsWidthStore::keyPath(const QByteArray& family) {
  return QString::fromLatin1(indEnviron::kKeyPath) + QStringLiteral("\\Display\\") +
         QString::fromLatin1(family) + QStringLiteral("\\colwidth");
}

QByteArray SettingsWidthStore::familyOf(const SheetModel& sheet) const {
  for (const auto& [name, family] : sheets_)
    if (name == sheet.name()) return family;
  return {};
}

SettingsWidthStore::Family* SettingsWidthStore::find(const SheetModel& sheet) {
  const QByteArray family = familyOf(sheet);
  if (family.isEmpty()) return nullptr;
  return &families_[family];
}

int SettingsWidthStore::stored(Family& family, int column) {
  auto it = family.values.find(column);
  if (it != family.values.end()) return it->second;
  const int value = settings_.readInteger(keyPath(family.name), QString::number(column));
  family.values[column] = value;
  return value;
}

double SettingsWidthStore::printFactor(int printerPointSize, double printScale, int percent) {
  const int scaledSixteenths = std::max(percent * 16 / 100, 1);
  return printerPointSize * printScale * 16.0 / scaledSixteenths * 0.1;
}

void SettingsWidthStore::loadWidths(SheetModel& sheet) {
  Family* family = find(sheet);
  if (!family) return;
  const SheetBuildOptions& options = sheet.buildOptions();
  // A print is laid out from the widths as they are on the screen at the current font scale.
  const int percent = options.printing ? settings_.fontSizePercentage() : options.fontScalePercent;
  const double factor = options.printing
                            ? printFactor(settings_.fontSizePrinter(), options.printScale, percent)
                            : 1.0;
  for (int column : sheet.keptColumns()) {
    const int kept = stored(*family, column);
    if (kept == -1) continue;
    const int width = atScale(kept, percent);
    if (options.printing) {
      const int printed = static_cast<int>(width * factor + 0.5);
      sheet.setColumnWidth(column, std::min(sheet.columnWidth(column), printed));
    } else {
      sheet.setColumnWidth(column, width);
    }
  }
}

void SettingsWidthStore::saveWidths(const SheetModel& sheet) {
  const SheetBuildOptions& options = sheet.buildOptions();
  if (!sheet.isBuilt() || options.printing || options.dialog) return;
  Family* family = find(sheet);
  if (!family) return;
  QList<QPair<QString, int>> changed;
  for (int column : sheet.keptColumns()) {
    const int width = atWholeScale(sheet.columnWidth(column), options.fontScalePercent);
    auto it = family->values.find(column);
    if (it != family->values.end() && it->second == width) continue;
    changed.append({QString::number(column), width});
    family->values[column] = width;
  }
  settings_.writeIntegers(keyPath(family->name), changed);
}

void SettingsWidthStore::deleteAllWidths() {
  for (auto& [name, family] : families_) {
    settings_.deleteKey(QString::fromLatin1(indEnviron::kKeyPath) + QStringLiteral("\\Display\\") +
                            QString::fromLatin1(name),
                        QStringLiteral("colwidth"));
    family.values.clear();
  }
}

bool clampDraggedWidths(SheetModel& sheet, int clientWidth) {
  int fixedWidth = 0;
  for (int c = 0; c < sheet.fixedCols(); ++c) fixedWidth += sheet.columnWidth(c);
  const int maximum = std::clamp(clientWidth - fixedWidth, kMinDraggedWidth, kMaxDraggedWidth);
  bool changed = false;
  for (int column : sheet.keptColumns()) {
    const int width = sheet.columnWidth(column);
    const int bounded = std::clamp(width, kMinDraggedWidth, maximum);
    if (bounded != width) {
      sheet.setColumnWidth(column, bounded);
      changed = true;
    }
  }
  return changed;
}
