#include "gtex/outline.h"

#include "gtex/cmcGTex.h"

std::vector<OutlineLine> readOutline(cmcGTex& text, const QByteArray& section) {
  std::vector<OutlineLine> lines;
  for (int n = 0;; ++n) {
    const QByteArray line = text.getLine(section.constData(), n);
    if (line.startsWith('#')) break;
    const int plus = int(line.indexOf('+'));
    if (plus < 0) continue;
    lines.push_back(OutlineLine{plus, line.mid(plus + 1)});
  }
  return lines;
}
