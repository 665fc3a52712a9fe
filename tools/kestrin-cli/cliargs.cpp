#include "cliargs.h"

#include <cstdio>

#include "model/DestinationOptions.h"
#include "model/destinations.h"

int parseDestination(const QString& text) {
  bool number = false;
  const int code = text.toInt(&number);
  if (number) return code >= 0 && code <= 15 ? code : -1;
  for (int c = 0; c < 16; ++c) {
    if (text.compare(destinationName(c), Qt::CaseInsensitive) == 0) return c;
  }
  return -1;
}

bool parseOptions(const QString& text, uint8_t& bits) {
  bits = 0;
  for (const QString& part : text.split(',', Qt::SkipEmptyParts)) {
    const QString p = part.trimmed().toLower();
    if (p == "all")
      bits = 0x0F;
    else if (p == "none")
      bits = 0;
    else if (p == "marine")
      bits |= DestinationOptions::kMarineBit;
    else if (p == "fm-narrow")
      bits |= DestinationOptions::kFmNarrowBit;
    else if (p == "rx-expansion")
      bits |= DestinationOptions::kRxExpansionBit;
    else if (p == "high-power")
      bits |= DestinationOptions::kHighPowerBit;
    else
      return false;
  }
  return true;
}

int finish(const Status& status, const char* who) {
  if (!status.ok() && !status.reason.isEmpty())
    std::fprintf(stderr, "%s: %s\n", who, status.reason.toUtf8().constData());
  return status.code;
}

bool ArgReader::is(const QString& name, bool joined) const {
  const QString& a = current();
  return a == name || (joined && a.startsWith(name + QLatin1Char('=')));
}

std::optional<QString> ArgReader::value() {
  const QString& a = current();
  if (a.startsWith(QLatin1String("--"))) {
    const qsizetype equals = a.indexOf(QLatin1Char('='));
    if (equals > 0) return a.mid(equals + 1);
  }
  if (at_ + 1 >= args_.size()) return std::nullopt;
  return args_[++at_];
}
