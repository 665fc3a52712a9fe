// Help: the pages shipped with the program against the help-topic map, the help window and the
// context popup with its placement and messages.
// With KESTRIN_HELP_SHOTS=<folder> the window tests also save screenshots there.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QScreen>
#include <QSet>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QXmlStreamReader>
#include <memory>
#include <vector>

#include "app/cuiHtmlHelp.h"
#include "base/prompter.h"
#include "gtex/celllinks.h"
#include "gtex/cmcGTex.h"
#include "resources/embedded_text.h"

namespace {

QString sourceHelpFolder() {
  QString root = qEnvironmentVariable("KESTRIN_SOURCE_DIR");
  if (root.isEmpty()) root = QFileInfo(QStringLiteral(__FILE__)).absolutePath() + "/../..";
  return QDir::cleanPath(root + "/resources/help");
}

// The map's entries as (link name, page name).
QList<QPair<QString, QString>> mapEntries() {
  QList<QPair<QString, QString>> entries;
  const EmbeddedText map = helpTopicMapText();
  bool inSection = false;
  for (int i = 0; i < map.count; ++i) {
    const QString line = QString::fromLatin1(map.lines[i]);
    if (line == "#GI_AppItem_CellName_to_ContextID") {
      inSection = true;
    } else if (inSection) {
      if (line.startsWith('#')) break;
      const QStringList parts = line.split('\t');
      if (parts.size() == 2) entries.append({parts[0], parts[1]});
    }
  }
  return entries;
}

void saveShot(QWidget* window, const QString& name) {
  const QString folder = qEnvironmentVariable("KESTRIN_HELP_SHOTS");
  if (folder.isEmpty() || !window) return;
  QDir().mkpath(folder);
  window->grab().save(folder + "/" + name);
}

class Help : public ::testing::Test {
 protected:
  void SetUp() override {
    const EmbeddedText main = mainResourceText();
    ASSERT_TRUE(text_.setSource(main.lines, main.count));
    const EmbeddedText map = helpTopicMapText();
    ASSERT_TRUE(map_.setSource(map.lines, map.count));
    help_ = std::make_unique<cuiHtmlHelp>(text_, map_, prompter_, nullptr);
    help_->setHelpFolder(sourceHelpFolder());
  }

  QRect workArea() const { return QGuiApplication::primaryScreen()->availableGeometry(); }

  cmcGTex text_;
  cmcHelpGTex map_;
  ScriptedPrompter prompter_;
  std::unique_ptr<cuiHtmlHelp> help_;
};

TEST_F(Help, TopicsComeFromTheMap) {
  struct Case {
    int link;
    int topic;
  };
  const Case cases[] = {
      {CL_Mch_Freq, 63435},
      {CL_Mch_Name, 63491},
      {CL_Common_MICUp, 63529},
      {CL_Common_MICDown, 63529},
      {CL_Common_CloneComment, 63527},
      {CL_Mch_Marine, 0},  // a field without an entry
      {CL_Null, 0},
      {CL_None, 0},
      {-1, 0},
      {1000, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(help_->topicOf(c.link), c.topic) << linkName(c.link);
  }
}

// Every map entry has its page, the contents page lists every topic, and every link and style
// sheet of every page resolves. The pages are well-formed, so a stray tag shows up here.
TEST_F(Help, PagesCoverTheMapAndEveryLinkResolves) {
  const QDir folder(sourceHelpFolder());
  const auto entries = mapEntries();
  ASSERT_EQ(entries.size(), 52);
  QSet<QString> topicPages;
  for (const auto& [link, page] : entries) {
    EXPECT_TRUE(folder.exists(page)) << link.toStdString() << " -> " << page.toStdString();
    topicPages.insert(page);
  }
  EXPECT_EQ(topicPages.size(), 51);

  const QRegularExpression reference(QStringLiteral("(?:href|src)=\"([^\"]*)\""));
  QSet<QString> linkedFromContents;
  const QStringList pages = folder.entryList({QStringLiteral("*.htm")}, QDir::Files);
  EXPECT_GE(pages.size(), topicPages.size() + 1);
  for (const QString& page : pages) {
    SCOPED_TRACE(page.toStdString());
    QFile file(folder.filePath(page));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray html = file.readAll();

    QXmlStreamReader xml(html);
    QString title;
    while (!xml.atEnd()) {
      xml.readNext();
      if (xml.isStartElement() && xml.name() == QLatin1String("title"))
        title = xml.readElementText();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString() << " at line "
                                 << xml.lineNumber();
    EXPECT_FALSE(title.trimmed().isEmpty());

    auto it = reference.globalMatch(QString::fromUtf8(html));
    while (it.hasNext()) {
      const QString target = it.next().captured(1);
      if (target.startsWith("http:") || target.startsWith("https:")) continue;
      const QString file = QUrl(target).path();
      if (file.isEmpty()) continue;  // an anchor on the same page
      EXPECT_TRUE(folder.exists(file)) << "broken link " << target.toStdString();
      if (page == cuiHtmlHelp::kContentsPage) linkedFromContents.insert(file);
    }
  }
  // Topic pages and the pages beside them (cloning, channel lists) are all reached from the
  // contents.
  for (const QString& page : pages) {
    if (page == cuiHtmlHelp::kContentsPage) continue;
    EXPECT_TRUE(linkedFromContents.contains(page)) << page.toStdString() << " not in contents";
  }
}

// The choices a page explains are those of the resource text's selection lists: a list that
// gains, loses or renames a choice makes its page wrong. Long lists of evenly spaced values are
// described as ranges, so for them only the first and last choices must appear.
TEST_F(Help, PagesNameTheChoicesOfTheirLists) {
  struct Case {
    int topic;
    std::vector<const char*> lists;
    bool range = false;
  };
  const Case cases[] = {
      {63449, {"Mch_Dup"}},
      {63453, {"Mch_Dup_Reverse"}},
      {63455, {"Mch_Tx_Inhibit"}},
      {63456, {"Mch_TS_Pitch"}},
      {63457, {"Mch_RF_Power_High", "Mch_RF_Power_Low"}},
      {63459, {"Mch_TSQL"}},
      {63460, {"Mch_TFreq"}},
      {63479, {"Mch_TFreq"}, true},
      {63480, {"Mch_DTCS"}},
      {63481, {"Mch_DTCS_Polarity"}},
      {63482, {"Mch_DTMF_Unit"}},
      {63483, {"Mch_Mode", "Mch_Mode_NoFMN"}},
      {63484, {"Mch_NameDisp"}},
      {63486, {"Mch_Scan_Skip"}},
      {63487, {"Mch_Bank_Group"}, true},
      {63493, {"Disp_VMC_USA", "Disp_VMC"}},
      {63495, {"DTMF_CH_NO_Sel"}},
      {63498, {"DTMF_SPEED"}},
      {63500, {"Common_Dimmer"}},
      {63501, {"Misc_Auto_Dimmer"}},
      {63502, {"Common_Contrast"}},
      {63503, {"Misc_OnOff"}},
      {63505, {"Common_TOT"}, true},
      {63506, {"Common_Auto_Power_OFF"}},
      {63529, {"Common_MIC_UP", "Common_MIC_DN", "Common_MIC_UP_M", "Common_MIC_DN_M"}},
      {63530, {"Common_BANK_OPT_Key"}},
      {63533, {"Common_Emergency_Alert_Volume"}},
      {63509, {"Common_Scan_Edge"}},
      {63510, {"Common_PauseTimer"}, true},
      {63511, {"Common_ResumeTimer"}, true},
      {63518, {"Misc_OnOff"}},
      {63515, {"Misc_OnOff"}},
      {63519, {"Common_MicGain"}},
      {63520, {"Common_Lock_Out"}},
      {63521, {"Common_USA_Auto_RPT"}},
      {63522, {"Common_SQL_Delay"}},
      {63523, {"Common_SQL_ATT_Sel"}},
      {63524, {"Common_MemoryDisp"}},
      {63525, {"Misc_OnOff"}},
      {63526, {"Misc_OnOff"}},
  };
  const QRegularExpression markup(QStringLiteral("\\{[^}]*\\}"));
  for (const Case& c : cases) {
    QFile file(sourceHelpFolder() + QStringLiteral("/%1.htm").arg(c.topic));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.topic;
    QTextDocument document;
    document.setHtml(QString::fromUtf8(file.readAll()));
    const QString page = document.toPlainText();
    for (const char* list : c.lists) {
      const QByteArray section = QByteArray("GI_Sheet_Sel_") + list + "_Cells";
      QStringList choices;
      for (int i = 0;; ++i) {
        QString line = QString::fromLatin1(text_.getLine(section.constData(), i));
        if (line.startsWith('#')) break;
        line = line.section('\t', 0, 0).remove(markup).remove(QStringLiteral("\\_")).trimmed();
        if (!line.isEmpty()) choices << line;
      }
      ASSERT_FALSE(choices.isEmpty()) << list;
      if (c.range) choices = QStringList{choices.first(), choices.last()};
      for (const QString& choice : choices) {
        EXPECT_TRUE(page.contains(choice))
            << c.topic << ".htm lacks \"" << choice.toStdString() << "\" of " << list;
      }
    }
  }
}

// The build puts the pages next to the programs, where the installed program looks for them.
TEST_F(Help, BuildCopiesThePagesNextToThePrograms) {
  const QString bin = qEnvironmentVariable("KESTRIN_BIN_DIR");
  if (bin.isEmpty()) GTEST_SKIP() << "run through ctest to know the build's bin folder";
  const QDir copy(bin + "/help");
  EXPECT_TRUE(copy.exists(cuiHtmlHelp::kContentsPage));
  for (const auto& entry : mapEntries()) EXPECT_TRUE(copy.exists(entry.second));
}

TEST_F(Help, ContentsOpenInTheHelpWindowWithBackAndForward) {
  ASSERT_EQ(help_->showContents(), cuiHtmlHelp::kShown);
  QWidget* window = help_->helpWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  QTextBrowser* browser = help_->helpBrowser();
  EXPECT_EQ(QFileInfo(browser->source().toLocalFile()).fileName(), "index.htm");
  EXPECT_FALSE(browser->isBackwardAvailable());
  saveShot(window, "help-contents.png");

  // Follow the first link of the contents with the keyboard alone: Tab to it, Enter.
  for (const int key : {int(Qt::Key_Tab), int(Qt::Key_Return)}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(browser, &press);
  }
  EXPECT_EQ(QFileInfo(browser->source().toLocalFile()).fileName(), "63435.htm");
  EXPECT_TRUE(browser->isBackwardAvailable());
  EXPECT_TRUE(window->windowTitle().contains("Kestrin Help"));
  saveShot(window, "help-topic.png");
  browser->backward();
  EXPECT_EQ(QFileInfo(browser->source().toLocalFile()).fileName(), "index.htm");
  EXPECT_TRUE(browser->isForwardAvailable());

  // A second Contents reuses the window.
  EXPECT_EQ(help_->showContents(), cuiHtmlHelp::kShown);
  EXPECT_EQ(help_->helpWindow(), window);
  EXPECT_TRUE(prompter_.log().empty());
}

TEST_F(Help, MicUpAndMicDownShowTheSamePageInOnePopup) {
  const QPoint pointer = workArea().center();
  ASSERT_EQ(help_->showContext(CL_Common_MICUp, pointer), cuiHtmlHelp::kShown);
  QWidget* popup = help_->popupWindow();
  ASSERT_NE(popup, nullptr);
  EXPECT_TRUE(popup->isVisible());
  EXPECT_EQ(popup->size(), QSize(300, 300));
  const QUrl first = help_->popupBrowser()->source();
  EXPECT_EQ(QFileInfo(first.toLocalFile()).fileName(), "63529.htm");
  saveShot(popup, "help-popup.png");

  popup->resize(420, 260);  // the user makes it larger; the next topic keeps that size
  ASSERT_EQ(help_->showContext(CL_Common_MICDown, pointer), cuiHtmlHelp::kShown);
  EXPECT_EQ(help_->popupWindow(), popup);
  EXPECT_EQ(help_->popupBrowser()->source(), first);
  EXPECT_EQ(popup->size(), QSize(420, 260));
  EXPECT_TRUE(prompter_.log().empty());
}

TEST_F(Help, LinkWithoutTopicShowsTheNoTopicMessageAndKeepsThePopup) {
  const QPoint pointer = workArea().center();
  ASSERT_EQ(help_->showContext(CL_Mch_Dup, pointer), cuiHtmlHelp::kShown);
  const QUrl shown = help_->popupBrowser()->source();

  EXPECT_EQ(help_->showContext(CL_Mch_Marine, pointer), cuiHtmlHelp::kNoTopic);
  ASSERT_EQ(prompter_.log().size(), 1u);
  const PromptMessage& m = prompter_.log()[0].message;
  EXPECT_EQ(m.text, "No Help topic is associated with this item.");
  EXPECT_EQ(m.caption, "Kestrin");
  EXPECT_EQ(m.icon, PromptIcon::Warning);
  EXPECT_TRUE(help_->popupWindow()->isVisible());
  EXPECT_EQ(help_->popupBrowser()->source(), shown);
}

TEST_F(Help, MissingHelpFolderNamesTheFileItLookedFor) {
  const QString missing = QDir::tempPath() + "/kestrin-no-help-here";
  help_->setHelpFolder(missing);
  const QString expected =
      "Cannot find the " + QDir::toNativeSeparators(missing + "/index.htm") + " file.";
  EXPECT_EQ(help_->showContents(), cuiHtmlHelp::kFileNotFound);
  EXPECT_EQ(help_->showContext(CL_Mch_Freq, QPoint(10, 10)), cuiHtmlHelp::kFileNotFound);
  ASSERT_EQ(prompter_.log().size(), 2u);
  for (const auto& entry : prompter_.log()) {
    EXPECT_EQ(entry.message.text, expected);
    EXPECT_EQ(entry.message.icon, PromptIcon::Error);
  }
  EXPECT_EQ(help_->helpWindow(), nullptr);
  EXPECT_EQ(help_->popupWindow(), nullptr);
}

TEST(HelpPlacement, PopupStaysInsideTheWorkArea) {
  const QRect area(0, 0, 1400, 860);
  const QSize size(300, 300);
  struct Case {
    QPoint pointer;
    QPoint expected;
  };
  const Case cases[] = {
      {{700, 400}, {550, 400}},    // centred under the pointer
      {{100, 100}, {0, 100}},      // not right of half the width: flush left
      {{1390, 850}, {1100, 550}},  // bottom right corner: above the pointer, pulled left
      {{700, 700}, {550, 400}},    // would pass the bottom: above the pointer
      {{700, 560}, {550, 560}},    // ends exactly on the bottom edge: stays below
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cuiHtmlHelp::placePopup(c.pointer, size, area), c.expected)
        << c.pointer.x() << "," << c.pointer.y();
  }
  // Too tall for the room above the pointer: it sits on the bottom edge instead.
  EXPECT_EQ(cuiHtmlHelp::placePopup({700, 200}, QSize(300, 800), area), QPoint(550, 60));
  // A screen left of the primary one: the popup stays on it, flush with its left edge.
  EXPECT_EQ(cuiHtmlHelp::placePopup({-1900, 300}, size, QRect(-1920, 0, 1920, 1080)),
            QPoint(-1920, 300));
  // A work area that does not start at the origin.
  EXPECT_EQ(cuiHtmlHelp::placePopup({1900, 1000}, size, QRect(1400, 100, 600, 950)),
            QPoint(1700, 700));
  EXPECT_EQ(cuiHtmlHelp::placePopup({1410, 300}, size, QRect(1400, 100, 600, 950)),
            QPoint(1400, 300));
}

TEST_F(Help, PopupNearTheBottomRightCornerOpensAboveThePointer) {
  const QRect area = workArea();
  const QPoint pointer = area.bottomRight() - QPoint(4, 4);
  ASSERT_EQ(help_->showContext(CL_Mch_Freq, pointer), cuiHtmlHelp::kShown);
  const QRect frame = help_->popupWindow()->frameGeometry();
  EXPECT_TRUE(area.contains(frame))
      << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
  EXPECT_LE(frame.bottom(), pointer.y());
  const QString shots = qEnvironmentVariable("KESTRIN_HELP_SHOTS");
  if (!shots.isEmpty()) {
    QApplication::processEvents();
    QGuiApplication::primaryScreen()->grabWindow(0).save(shots + "/help-screen-corner.png");
  }
}

}  // namespace
