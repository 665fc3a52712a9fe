// The guard for edits of the main resource text: every cell of every layout, menu and list
// parses, names only known links, and the pieces that the program reads by position (the channel
// columns, the common-settings rows and their conditions) are where the program expects them.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QRegularExpression>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "gtex/cellmarkup.h"
#include "gtex/celllinks.h"
#include "gtex/cmcCellObj.h"
#include "gtex/cmcGTex.h"
#include "print_util.h"
#include "resources/embedded_text.h"

namespace {

class MainTextCells : public ::testing::Test {
 protected:
  void SetUp() override {
    const EmbeddedText text = mainResourceText();
    ASSERT_TRUE(reader_.setSource(text.lines, text.count));
    for (int i = 0; i < text.count; ++i) {
      const QByteArray line = text.lines[i];
      if (line == "#End_Of_Ovl") break;
      if (line.size() > 1 && line[0] == '#') sections_.push_back(line.mid(1));
    }
  }

  // Lines of a list section up to the first line that begins with '#'.
  QList<QByteArray> linesOf(const QByteArray& section) {
    QList<QByteArray> lines;
    for (int n = 0;; ++n) {
      QByteArray line = reader_.getLine(section.constData(), n);
      if (line.startsWith('#')) return lines;
      lines.push_back(line);
    }
  }

  // Every cell of a line, parsed on `base` with the variables of the sheet being read.
  std::vector<cmcCellObj> cellsOf(const QByteArray& line, const cmcCellObj* base) {
    std::vector<cmcCellObj> cells;
    QByteArrayView rest = line;
    do {
      cells.emplace_back();
      rest = parser_.parseCell(cells.back(), rest, base, &variables_);
    } while (!rest.isEmpty());
    return cells;
  }

  cmcCellObj basicCell(const QByteArray& stem) {
    cmcCellObj basic;
    parser_.parseCell(basic, reader_.getValue((stem + "_BasicCell").constData()), nullptr, nullptr);
    return basic;
  }

  // Menu, tree and toolbar lines: leading blanks and the "+" go before the cell.
  static QByteArray itemCell(const QByteArray& line) {
    const int plus = line.indexOf('+');
    return plus >= 0 && line.left(plus).trimmed().isEmpty() ? line.mid(plus + 1) : line;
  }

  cmcGTex reader_;
  cmcCellParser parser_{reader_};
  CellVariables variables_{};
  std::vector<QByteArray> sections_;
};

// Link and category names are checked by name first, so an unknown one fails with its name
// instead of ending the test program through the parser's fatal error.
TEST_F(MainTextCells, EveryLinkAndCategoryNameIsKnown) {
  std::set<QByteArray> links, categories;
  for (int id = 0; id < kLinkCount; ++id) links.insert(linkName(id));
  for (int c = 0; c < kCategoryCount; ++c) categories.insert(categoryName(c));
  ASSERT_EQ(links.size(), 173u);

  int references = 0;
  const EmbeddedText text = mainResourceText();
  const QRegularExpression ref(R"(\(%(?:(\w*)\.)?(\w*)[\[:)])");
  for (int i = 0; i < text.count; ++i) {
    const QString line = QString::fromLatin1(text.lines[i]);
    if (line.contains("%%")) continue;  // the printf template of the emergency list
    auto it = ref.globalMatch(line);
    while (it.hasNext()) {
      const auto m = it.next();
      ++references;
      const QByteArray category = m.captured(1).toLatin1();
      const QByteArray link = m.captured(2).toLatin1();
      if (!category.isEmpty()) {
        EXPECT_TRUE(categories.count(category)) << i << ": " << category.data();
      }
      if (!link.isEmpty()) {
        EXPECT_TRUE(links.count(link)) << i << ": " << link.data();
      }
    }
  }
  EXPECT_GT(references, 0);
}

TEST_F(MainTextCells, EveryLayoutMenuAndListParses) {
  int sheets = 0, menus = 0, cells = 0;
  for (const QByteArray& name : sections_) {
    if (name.endsWith("_BasicCell")) {
      if (name == "GI_Form_Main_BasicCell") basicCell("GI_Form_Main");
      continue;  // parsed with the layout they serve
    }
    if (name.endsWith("_Cells") && name != "GI_Sheet_Sel_VMC_Cells") {
      const QByteArray stem = name.chopped(6);
      const cmcCellObj basic = basicCell(stem);
      variables_ = {};
      for (const QByteArray& line : linesOf(name)) {
        if (line.startsWith(':')) continue;  // directives make no row
        for (const cmcCellObj& cell : cellsOf(line, &basic)) {
          EXPECT_LE(cell.link, CL_None) << name.data();
          ++cells;
        }
      }
      ++sheets;
    } else if (name.endsWith("_Body")) {
      const cmcCellObj basic = basicCell(name.chopped(5));
      for (const QByteArray& line : linesOf(name)) {
        cmcCellObj cell;
        EXPECT_TRUE(parser_.parseCell(cell, itemCell(line), &basic, nullptr).isEmpty())
            << name.data() << ": one cell per item";
        if (!name.startsWith("GI_Tree_")) {  // the tree's root caption is filled in at run time
          EXPECT_TRUE(cell.text.has_value()) << name.data() << ": an item without caption";
        }
        ++cells;
      }
      ++menus;
    }
  }
  EXPECT_GE(sheets, 60);
  EXPECT_GE(menus, 20);

  // The emergency list: its leading rows, and its template formatted as the chooser does.
  const cmcCellObj basic = basicCell("GI_Sheet_Sel_VMC");
  for (const QByteArray& line : linesOf("GI_Sheet_Sel_VMC_Data")) cellsOf(line, &basic);
  const QByteArray templ = reader_.getLine("GI_Sheet_Sel_VMC_Cells", 0);
  const std::vector<cmcCellObj> item = cellsOf(QString::asprintf(templ.constData(), 207).toLatin1(), &basic);
  ASSERT_EQ(item.size(), 1u);
  EXPECT_EQ(item[0].link, FlexVMCCh);
  EXPECT_EQ(item[0].index, 207);
  EXPECT_TRUE(item[0].selectable());
  EXPECT_EQ(reader_.getLine("GI_Sheet_Sel_VMC_Data", 4), "#") << "four leading rows";
}

// Items of the tree, the warning list and the menus carry what their builders act on.
TEST_F(MainTextCells, TreeAndMenuItemsCarryTheirLinks) {
  const cmcCellObj tree = basicCell("GI_Tree_Main");
  int nodes = 0;
  for (const QByteArray& line : linesOf("GI_Tree_Main_Body")) {
    cmcCellObj node;
    parser_.parseCell(node, itemCell(line), &tree, nullptr);
    EXPECT_EQ(node.link, CallSheet) << line.data();
    EXPECT_TRUE(node.argument.has_value()) << line.data();
    EXPECT_GE(node.imageIndex, 0) << line.data();
    EXPECT_EQ(node.flag(0), node.argument == "[St_ColCut]GI_Sheet_MarineCH,4") << line.data();
    ++nodes;
  }
  EXPECT_EQ(nodes, 15);

  for (const QByteArray& line : linesOf("GI_WarningCheckList")) {
    cmcCellObj check;
    parser_.parseCell(check, line, nullptr, nullptr);
    EXPECT_GE(check.link, CL_Check_MemoryCH0) << line.data();
    EXPECT_LE(check.link, CL_Check_F2_Common) << line.data();
  }

  // Popup items are popup commands (category CT_PopupMenu) except the tree's Import/Export,
  // which are main-menu commands without category.
  for (const QByteArray& name : sections_) {
    if (!name.startsWith("GI_PMenu_") || !name.endsWith("_Body")) continue;
    const cmcCellObj basic = basicCell(name.chopped(5));
    for (const QByteArray& line : linesOf(name)) {
      cmcCellObj item;
      parser_.parseCell(item, itemCell(line), &basic, nullptr);
      if (item.text == "-") continue;
      if (name == "GI_PMenu_MchTree_Body") {
        EXPECT_EQ(item.category, CT_None) << line.data();
        EXPECT_TRUE(item.link == CL_Menu_File_Import || item.link == CL_Menu_File_Export);
      } else {
        EXPECT_EQ(item.category, CT_PopupMenu) << name.data() << ": " << line.data();
        EXPECT_GE(item.link, CL_PMenu_NoItem) << name.data() << ": " << line.data();
        EXPECT_LE(item.link, CL_PMenu_Help) << name.data() << ": " << line.data();
      }
    }
  }
}

struct Column {
  const char* header;  // as stored, with the mark-up's line-break escape turned into "\n"
  int link;            // CL_None for an empty column
  const char* sample;
};

// Column table of a channel page: the header row and the data row, parsed.
void expectColumns(cmcGTex& reader, cmcCellParser& parser, const char* stem,
                   int headerLine, int dataLine, int firstIndex, const std::vector<Column>& columns) {
  cmcCellObj basic;
  parser.parseCell(basic, reader.getValue((QByteArray(stem) + "_BasicCell").constData()), nullptr, nullptr);
  CellVariables vars{};
  auto parseLine = [&](int n) {
    std::vector<cmcCellObj> cells;
    const QByteArray line = reader.getLine((QByteArray(stem) + "_Cells").constData(), n);
    QByteArrayView rest = line;
    do {
      cells.emplace_back();
      rest = parser.parseCell(cells.back(), rest, &basic, &vars);
    } while (!rest.isEmpty());
    return cells;
  };
  const std::vector<cmcCellObj> header = parseLine(headerLine);
  const std::vector<cmcCellObj> data = parseLine(dataLine);
  ASSERT_EQ(header.size(), columns.size()) << stem;
  ASSERT_EQ(data.size(), columns.size()) << stem;
  for (size_t c = 0; c < columns.size(); ++c) {
    SCOPED_TRACE(std::string(stem) + " column " + std::to_string(c));
    EXPECT_EQ(header[c].text.value_or(""), QByteArray(columns[c].header));
    EXPECT_EQ(data[c].link, columns[c].link);
    EXPECT_EQ(data[c].text.value_or(""), QByteArray(columns[c].sample));
    if (columns[c].link != CL_None && data[c].selectable()) {
      EXPECT_EQ(data[c].index, firstIndex);
    }
  }
}

TEST_F(MainTextCells, ChannelPagesHaveTheirColumns) {
  const std::vector<Column> freq = {
      {"Operating\nFreq", CL_Mch_Freq, "999.999999"}, {"DUP", CL_Mch_Dup, "+DUP"},
      {"DUP\nReverse", CL_Mch_Dup_Reverse, "Reverse"}, {"Offset\nFreq", CL_Mch_Offset_Freq, "99.999999"},
      {"TX\nInhibit", CL_Mch_Tx_Inhibit, "Inhibit"}, {"TS", CL_Mch_TS_Pitch, "12.5k"},
      {"RF\nPower", CL_Mch_RF_Power, "High"}, {"Tone", CL_Mch_Decode, "DTCS(T)"},
      {"Repeater\nTone", CL_Mch_TONE_Freq, "999.9"}, {"TSQL\nFreq", CL_Mch_TSQL_Freq, "999.9"},
      {"DTCS", CL_Mch_DTCS, "999"}, {"DTCS\nPolarity", CL_Mch_DTCS_Polarity, "Both N"},
      {"DTMF", CL_Mch_DTMF, "DTMF"}, {"Mode", CL_Mch_Mode, "FM-N"},
      {"Name\nDisplay", CL_Mch_NameDisplay, "OFF"}, {"Name", CL_Mch_Name, "WWWWW"},
  };
  const std::vector<Column> tail = {
      {"Skip", CL_Mch_Scan_Skip, "Skip"}, {"Marine\nUse", CL_Mch_Marine, "Skip"}, {"Bank", CL_Mch_Bank_Group, "W"}};
  auto memoryLike = [&](int label, const char* sample) {
    std::vector<Column> cols = {{"", CL_None, ""}, {"CH", label, sample}, {"", CL_None, ""}};
    cols.insert(cols.end(), freq.begin(), freq.end());
    cols.insert(cols.end(), tail.begin(), tail.end());
    return cols;
  };
  expectColumns(reader_, parser_, "GI_Sheet_MemoryCH", 3, 6, 0, memoryLike(CL_Misc_ChNo_0Base, "999"));
  expectColumns(reader_, parser_, "GI_Sheet_ScanEdge", 3, 6, 200, memoryLike(CL_Misc_ChNo_Edge, "999"));
  expectColumns(reader_, parser_, "GI_Sheet_CallCh", 3, 5, 206, memoryLike(CL_None, "C"));

  expectColumns(reader_, parser_, "GI_Sheet_MarineCH", 1, 4, 207,
                {{"", CL_None, ""}, {"CH", CL_Mch_Name, "M-22A_"}, {"", CL_None, ""},
                 {"CH\nATR", CL_ChList_Atr, "PC"}, {"TX\nInhibit", CL_Mch_Tx_Inhibit, "Inhibit"},
                 {"RF\nPower", CL_Mch_RF_Power, "High"}, {"Skip", CL_Mch_Scan_Skip, "Skip"},
                 {"Marine\nUse", CL_Mch_Marine, "Skip"}});

  std::vector<Column> func = {{"", CL_None, ""}, {"VMC", CL_Disp_VMC, "VFO"}, {"CH\nNo", CL_Disp_ChNo, "999"}};
  func.insert(func.end(), freq.begin(), freq.end());
  expectColumns(reader_, parser_, "GI_Sheet_Func", 3, 5, 0, func);

  // The group header row: "Frequency" joined over columns 3-8, "Tone/TSQL/DTCS" over 10-14.
  for (const char* stem : {"GI_Sheet_MemoryCH", "GI_Sheet_ScanEdge", "GI_Sheet_CallCh", "GI_Sheet_Func"}) {
    const cmcCellObj basic = basicCell(stem);
    const auto group = cellsOf(reader_.getLine((QByteArray(stem) + "_Cells").constData(), 1), &basic);
    ASSERT_EQ(group.size(), 15u) << stem;
    EXPECT_EQ(group[3].text.value_or(""), " Frequency");
    EXPECT_EQ(group[10].text.value_or(""), " Tone/TSQL/DTCS");
    for (int c = 4; c <= 14; ++c) EXPECT_EQ(group[c].join(), c != 9 && c != 10) << stem << " " << c;
  }
}

// The common page: its rows in order, and each condition hides exactly the rows it guards.
TEST_F(MainTextCells, CommonPageRowsAndConditions) {
  const cmcCellObj basic = basicCell("GI_Sheet_Common");
  const QList<QByteArray> lines = linesOf("GI_Sheet_Common_Cells");
  std::vector<std::pair<QByteArray, int>> rows;  // label, link (CL_None for a group row)
  std::map<int, int> linkLine;
  for (int n = 0; n < lines.size(); ++n) {
    if (lines[n].startsWith(':') || lines[n].isEmpty()) continue;
    const auto cells = cellsOf(lines[n], &basic);
    if (cells.size() == 1) continue;  // half-height spacer
    const int link = cells.size() > 3 ? cells[3].link : CL_None;
    rows.push_back({cells[1].text.value_or(""), link});
    if (link != CL_None) {
      linkLine[link] = n;
      EXPECT_TRUE(cells[3].selectable()) << lines[n].data();
    }
  }
  const std::vector<std::pair<QByteArray, int>> expected = {
      {"Display / Beep", CL_None}, {"Dimmer", CL_Common_Dimmer}, {"Auto Dimmer", CL_Common_AutoDimmer},
      {"LCD Contrast", CL_Common_LCDContrast}, {"Beep", CL_Common_Beep},
      {"Timer", CL_None}, {"Time-Out Timer", CL_Common_TOT}, {"Auto Power OFF", CL_Common_AutoPowerOFF},
      {"MIC Function", CL_None}, {"MIC Up", CL_Common_MICUp}, {"MIC Down", CL_Common_MICDown},
      {"[BANK/OPT] Key", CL_None}, {"[BANK/OPT] Key", CL_Common_Bank_OPT_Key},
      {"Emergency Channel", CL_Common_EmergencyChannel},
      {"Emergency Alert Volume", CL_Common_EmergencyAlertVolume},
      {"Temporary Volume", CL_Common_TemporaryVolume},
      {"Scan", CL_None}, {"Edge", CL_Common_Scan_Edge}, {"Pause Timer", CL_Common_PauseTimer},
      {"Resume Timer", CL_Common_ResumeTimer},
      {"Bank Link", CL_None}, {"Link", CL_Common_BankLinkScan}, {"A-J", CL_Common_BankLink_A_J},
      {"WX", CL_None}, {"WX Alert", CL_Common_WXAlert}, {"WX CH", CL_Common_WXCH},
      {"Others", CL_None}, {"MIC Gain", CL_Common_MicGain}, {"Busy Lockout", CL_Common_BusyLockout},
      {"Auto Repeater", CL_Common_AutoRepeater}, {"Squelch Delay", CL_Common_SQLControl},
      {"SQL/ATT Select", CL_Common_SqlAttSel}, {"Memory Disp", CL_Common_MemoryDisp},
      {"Voltage Indication", CL_Common_Voltage}, {"Tone Burst", CL_Common_ToneBurst},
      {"Marine", CL_None}, {"SP Select", CL_Common_SpSelect}, {"PA Volume", CL_Common_PaVol},
      {"Foghorn Volume", CL_Common_FoghornVol}, {"Foghorn Freq", CL_Common_FoghornFreq},
      {"M Priority Setting", CL_Common_MarinPrio},
      {"", CL_None}, {"Comment", CL_Common_CloneComment},
  };
  EXPECT_EQ(rows, expected);

  // Each directive skips the given number of lines; the links inside are exactly those guarded.
  struct Guard {
    const char* directive;
    std::set<int> links;
  };
  const std::vector<Guard> guards = {
      {":(Only_USA 8)", {CL_Common_WXAlert, CL_Common_WXCH}},
      {":(Only_Current 2)", {CL_Common_WXCH}},
      {":(Only_USA 2)", {CL_Common_AutoRepeater}},
      {":(Only_Marine 13)",
       {CL_Common_SpSelect, CL_Common_PaVol, CL_Common_FoghornVol, CL_Common_FoghornFreq, CL_Common_MarinPrio}},
      {":(Only_Current 5)", {CL_Common_CloneComment}},
  };
  int found = 0;
  for (int n = 0; n < lines.size(); ++n) {
    if (!lines[n].startsWith(':')) continue;
    ASSERT_LT(found, int(guards.size())) << lines[n].data();
    const Guard& g = guards[found++];
    EXPECT_EQ(lines[n], g.directive);
    const int count = lines[n].mid(lines[n].lastIndexOf(' ') + 1).chopped(1).toInt();
    std::set<int> hidden;
    for (const auto& [link, line] : linkLine) {
      if (line > n && line <= n + count) hidden.insert(link);
    }
    EXPECT_EQ(hidden, g.links) << g.directive;
  }
  EXPECT_EQ(found, int(guards.size()));
}

}  // namespace
