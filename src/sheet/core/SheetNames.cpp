#include "sheet/core/SheetNames.h"

namespace {

struct Alias {
  const char* name;
  const char* call;
};
constexpr Alias kAliases[] = {
    {"memory", "[St_ColCut]GI_Sheet_MemoryCH,0,0"},
    {"memory2", "[St_ColCut]GI_Sheet_MemoryCH,1,100"},
    {"edges", "[St_ColCut]GI_Sheet_ScanEdge,2"},
    {"call", "[St_ColCut]GI_Sheet_CallCh,3"},
    {"marine", "[St_ColCut]GI_Sheet_MarineCH,4"},
    {"banks", "GI_Sheet_BankName,5"},
    {"dtmf", "GI_Sheet_DTMF_Memory,6"},
    {"common", "[St_Common]GI_Sheet_Common,7"},
    {"f1", "[St_ColCut]GI_Sheet_Func,8,0"},
    {"f1-common", "[St_Common]GI_Sheet_Common,9"},
    {"f2", "[St_ColCut]GI_Sheet_Func,10,1"},
    {"f2-common", "[St_Common]GI_Sheet_Common,11"},
    {"clone-info", "GI_Sheet_CloneInfo"},
};

}  // namespace

QByteArray sheetCallOfName(const QString& name) {
  for (const Alias& a : kAliases) {
    if (name.compare(QLatin1String(a.name), Qt::CaseInsensitive) == 0) return a.call;
  }
  return {};
}

QString sheetNameOfCall(const QByteArray& callString) {
  for (const Alias& a : kAliases) {
    if (callString == a.call) return QString::fromLatin1(a.name);
  }
  return {};
}

QStringList sheetNames() {
  QStringList names;
  for (const Alias& a : kAliases) names << QString::fromLatin1(a.name);
  return names;
}
