#include "model/typednote.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "gtex/celllinks.h"

namespace {

std::optional<double> megahertz(QString text) {
  text = text.trimmed();
  text.replace(QLatin1Char(','), QLatin1Char('.'));
  bool ok = false;
  const double value = text.toDouble(&ok);
  return ok ? std::optional<double>(value) : std::nullopt;
}

QString frequencyReason(const QString& typed, const QString& shown) {
  const auto t = megahertz(typed);
  const auto s = megahertz(shown);
  if (!s) return {};
  if (!t) return QStringLiteral("read as a frequency in MHz");
  const double difference = std::fabs(*t - *s);
  if (difference < 0.0000005) return {};
  // A channel step is at most 100 kHz; anything farther moved to a limit of the range.
  if (difference <= 0.1) return QStringLiteral("moved to the nearest channel step");
  if (*t < *s) return QStringLiteral("below the lowest frequency the radio takes");
  return QStringLiteral("above the highest frequency the radio takes");
}

QString nameReason(const QString& typed, const QString& shown) {
  if (typed == shown) return {};
  const QString upper = typed.toUpper();
  if (upper == shown) return QStringLiteral("the radio shows capital letters only");
  const bool plain = std::all_of(upper.begin(), upper.end(),
                                 [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; });
  if (plain && upper.startsWith(shown) && !shown.isEmpty())
    return QStringLiteral("a name holds %1 characters").arg(shown.size());
  return QStringLiteral("letters the radio cannot show were changed or left out");
}

}  // namespace

QString typedValueNote(int link, const QString& typedText, const QString& shownText) {
  const QString typed = typedText.trimmed();
  const QString shown = shownText.trimmed();
  if (typed.isEmpty()) return {};
  QString why;
  switch (link) {
    case CL_Mch_Freq:
    case CL_Mch_Offset_Freq:
      why = frequencyReason(typed, shown);
      break;
    case CL_Mch_Name:
    case CL_Bank_Name:
      why = nameReason(typed, shown);
      break;
    default:
      return {};
  }
  if (why.isEmpty()) return {};
  return QStringLiteral("Typed \"%1\", stored \"%2\": %3.").arg(typed, shown, why);
}
