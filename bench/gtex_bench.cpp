// Reading the resource text and parsing its cell mark-up: the work of opening sheets, menus and
// selection lists. Limit: a frame at 60 Hz (16.7 ms) on the user-interface thread; the ratio
// counters divide the time of one whole pass over the text by that frame.
//
// The text is the program's main resource text when the resource library is linked, otherwise a
// generated text of the same shape; the "real_text" counter says which (1 = main text).
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <string>
#include <vector>

#include "gtex/cellmarkup.h"
#include "gtex/cmcGTex.h"

#if __has_include("resources/embedded_text.h")
#include "resources/embedded_text.h"
#define KESTRIN_BENCH_REAL_TEXT 1
#else
#define KESTRIN_BENCH_REAL_TEXT 0
#endif

namespace {

constexpr double kFrameSeconds = 1.0 / 60.0;

// A text of the main text's shape: messages, cell models, menus and sheets with loops.
struct GeneratedText {
  std::vector<std::string> store;
  std::vector<const char*> lines;

  GeneratedText() {
    store.push_back("");
    for (int i = 0; i < 150; ++i) {
      store.push_back("#GI_Mess_Message" + std::to_string(i));
      store.push_back("Message number " + std::to_string(i) + ".");
      store.push_back("Second line.");
      store.push_back("#");
    }
    const char* models[][2] = {
        {"eWh", "S<_WHB"},
        {"Basic",
         "<-(Color=clWindow)(Font=DEFAULT_CHARSET,,clWindowText,-17,,,)(PopupMenu=GI_PMenu_Edit)"},
        {"iChN", ">-WHB(Color=clOlive)(Font=,,clWhite,,,fsBold,)"},
        {"tipsM", "-!SWHT(Font=,,clMaroon,,,,)"},
        {"iQp", "(%CT_Null.CL_Misc_QuarterPillar)"}};
    for (const auto& m : models) {
      store.push_back(std::string("#CellModel_") + m[0]);
      store.push_back(m[1]);
    }
    for (int menu = 0; menu < 25; ++menu) {
      const std::string stem = "#GI_PMenu_M" + std::to_string(menu);
      store.push_back(stem + "_BasicCell");
      store.push_back("{($Basic)(%CT_PopupMenu.)}");
      store.push_back(stem + "_Body");
      for (int item = 0; item < 8; ++item) store.push_back("{(%CL_PMenu_Copy:Item)}&Copy\tCtrl+C");
      store.push_back("#");
    }
    for (int sheet = 0; sheet < 60; ++sheet) {
      const std::string stem = "#GI_Sheet_S" + std::to_string(sheet);
      store.push_back(stem + "_Style");
      store.push_back("(TitleColor=clNavy)(TitleString= Sheet)(FixedCols=3)(FixedRows=2)");
      store.push_back(stem + "_BasicCell");
      store.push_back("{($Basic)(%CT_Conv.)}");
      store.push_back(stem + "_Cells");
      store.push_back("|{($iChN)}CH|{($iChN)}Frequency|{($iChN)}Mode|{($iChN)}Name");
      for (int row = 0; row < 20; ++row)
        store.push_back(
            "|{($iChN)^(%CL_Misc_ChNo_0Base[@ch0])}999|{($eWh)>Q(%CL_Mch_Freq[@ch0])}999.999999|{($"
            "iQp)}"
            "|{($eWh)<Q(%CL_Mch_Mode[@ch0])}FM-N|{($eWh)<Q(%CL_Mch_Name[@ch0])(@ch0++)}WWWWWW\\_");
      store.push_back("#");
    }
    store.push_back("#End_Of_Ovl");
    for (const auto& s : store) lines.push_back(s.c_str());
  }
};

struct Text {
  const char* const* lines = nullptr;
  int count = 0;
  bool real = false;
};

Text benchText() {
#if KESTRIN_BENCH_REAL_TEXT
  const EmbeddedText t = mainResourceText();
  return {t.lines, t.count, true};
#else
  static const GeneratedText generated;
  return {generated.lines.data(), static_cast<int>(generated.lines.size()), false};
#endif
}

struct Section {
  std::string name;
  int lines;  // lines up to the next header
};

// Sections in text order, first of duplicates only, up to the end marker.
std::vector<Section> sectionsOf(const Text& t) {
  std::vector<Section> out;
  std::vector<std::string> seen;
  int last = -1;
  for (int i = 0; i < t.count; ++i) {
    const char* l = t.lines[i];
    if (l[0] != '#' || l[1] == '\0') continue;
    if (last >= 0) out[last].lines = i - 1 - out[last].lines;
    const std::string name = l + 1;
    if (name == "End_Of_Ovl") {
      last = -1;
      break;
    }
    bool duplicate = false;
    for (const auto& s : seen) duplicate |= s == name;
    seen.push_back(name);
    if (duplicate) {
      last = -1;
      continue;
    }
    out.push_back({name, i});  // start index for now
    last = static_cast<int>(out.size()) - 1;
  }
  if (last >= 0) out[last].lines = t.count - 1 - out[last].lines;
  return out;
}

bool endsWith(const std::string& s, const char* tail) {
  const std::string t(tail);
  return s.size() > t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

void perItem(benchmark::State& state, const char* name, double items) {
  state.counters[name] = benchmark::Counter(
      items, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void perFrame(benchmark::State& state) {
  state.counters["ratio_to_frame"] = benchmark::Counter(
      kFrameSeconds, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// A fresh reader looks up every section and reads each of its lines once.
void BM_ReadEverySection(benchmark::State& state) {
  const Text t = benchText();
  const std::vector<Section> sections = sectionsOf(t);
  int64_t lines = 0;
  for (const auto& s : sections) lines += s.lines;
  for (auto _ : state) {
    cmcGTex g;
    g.setSource(t.lines, t.count);
    for (const auto& s : sections)
      for (int n = 0; n < s.lines; ++n) benchmark::DoNotOptimize(g.getLine(s.name.c_str(), n));
  }
  perItem(state, "time_per_line", static_cast<double>(lines));
  perFrame(state);
  state.counters["lines"] = static_cast<double>(lines);
  state.counters["sections"] = static_cast<double>(sections.size());
  state.counters["real_text"] = t.real;
}

// Every cell of every _Cells, _Body and _BasicCell section, each derived from its page's or
// menu's basic cell as the builders do.
void BM_ParseEveryCell(benchmark::State& state) {
  const Text t = benchText();
  const std::vector<Section> sections = sectionsOf(t);
  cmcGTex g;
  g.setSource(t.lines, t.count);
  std::vector<std::pair<std::string, std::vector<QByteArray>>> work;  // section, its mark-up lines
  for (const auto& s : sections) {
    if (!endsWith(s.name, "_Cells") && !endsWith(s.name, "_Body") &&
        !endsWith(s.name, "_BasicCell"))
      continue;
    std::vector<QByteArray> lines;
    for (int n = 0; n < s.lines; ++n) {
      QByteArray line = g.getLine(s.name.c_str(), n);
      if (line.startsWith('#')) break;
      // Directive lines of sheets and printf templates (filled in at run time) are no mark-up.
      if (line.startsWith(':') || line.contains("%%")) continue;
      lines.push_back(std::move(line));
    }
    work.emplace_back(s.name, std::move(lines));
  }
  cmcCellParser parser(g);
  int64_t cells = 0;
  for (const auto& w : work)
    for (const auto& line : w.second) cells += cmcCellParser::countCells(line);

  for (auto _ : state) {
    cmcCellObj basic;
    cmcCellObj cell;
    for (const auto& [name, lines] : work) {
      CellVariables vars{};
      const bool isBasic = endsWith(name, "_BasicCell");
      for (const auto& line : lines) {
        QByteArrayView rest = line;
        while (!rest.isEmpty()) {
          if (isBasic) {
            rest = parser.parseCell(basic, rest, nullptr, nullptr);
          } else {
            rest = parser.parseCell(cell, rest, &basic, &vars);
            benchmark::DoNotOptimize(cell.link);
          }
        }
      }
    }
  }
  perItem(state, "time_per_cell", static_cast<double>(cells));
  perFrame(state);
  state.counters["cells"] = static_cast<double>(cells);
  state.counters["real_text"] = t.real;
}

// Reading a run of 1,000 consecutive lines that starts at line `start` of one long section: the
// time per line must not depend on where the run starts.
void BM_SequentialLinesAt(benchmark::State& state) {
  static const std::vector<std::string> store = [] {
    std::vector<std::string> s{"", "#GI_Before", "x", "#GI_Long"};
    for (int i = 0; i < 200000; ++i)
      s.push_back("{($eWh)>Q(%CL_Mch_Freq[@ch0])}999.999999|line " + std::to_string(i));
    s.push_back("#");
    return s;
  }();
  static const std::vector<const char*> lines = [] {
    std::vector<const char*> l;
    for (const auto& s : store) l.push_back(s.c_str());
    return l;
  }();
  const int start = static_cast<int>(state.range(0));
  constexpr int kRun = 1000;
  cmcGTex g;
  g.setSource(lines.data(), static_cast<int>(lines.size()));
  for (auto _ : state) {
    for (int n = start; n < start + kRun; ++n) benchmark::DoNotOptimize(g.getLine("GI_Long", n));
  }
  perItem(state, "time_per_line", kRun);
}

}  // namespace

BENCHMARK(BM_ReadEverySection)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseEveryCell)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SequentialLinesAt)
    ->Arg(0)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(199000)
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
