#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <climits>
#include <functional>
#include <memory>

#include "files/etcdata.h"
#include "files/indEnviron.h"

namespace {

const ScreenSize kScreen{1280, 1024};

// A settings directory and lock directory of its own for each test.
class Environ : public ::testing::Test {
 protected:
  std::unique_ptr<indEnviron> make(const QStringList& args = {"/opt/kestrin/kestrin"}) {
    return std::make_unique<indEnviron>(indEnviron::kMutexName, indEnviron::kKeyPath,
                                        indEnviron::kKeyPath, args, kScreen,
                                        EnvironPlace{dir_.path(), dir_.path() + "/lock"});
  }
  QString iniPath() const { return dir_.path() + "/Kestrin.ini"; }
  // Edits the stored settings directly, as a user with a registry editor would.
  void edit(const std::function<void(QSettings&)>& change) {
    QSettings s(iniPath(), QSettings::IniFormat);
    change(s);
    s.sync();
  }
  // Runs the program once with complete, non-default settings and quits.
  void storeFullSettings() {
    auto env = make();
    env->setComPort(7);
    env->setComSpeedHigh(0);
    env->setTransType(3);
    env->setCurrentDirectory("/home/ann/qev");
    env->setFontSizePercentage(150);
    env->setToolbarVisible(0);
    env->setFontSizePrinter(11);
    env->setWindowRect({10, 20, 700, 500});
    env->setSplitterV(321);
    env->setModelType(1);
    env->setDestinationCode(3);
    env->setFlags(true, false, true, false);
    env->recent().addFirst("/home/ann/qev/b.qev");
    env->recent().addFirst("/home/ann/qev/a, with comma & ümlaut.qev");
  }
  void expectDefaults(const indEnviron& env) {
    EXPECT_EQ(env.comPort(), 0);
    EXPECT_EQ(env.comPortPath(), QString());
    EXPECT_EQ(env.comSpeedHigh(), 1);
    EXPECT_EQ(env.transType(), 0);
    EXPECT_EQ(env.currentDirectory(), QString());
    EXPECT_EQ(env.recent().count(), 0);
    EXPECT_EQ(env.fontSizePercentage(), 100);
    EXPECT_EQ(env.toolbarVisible(), 1);
    EXPECT_EQ(env.fontSizePrinter(), 10);
    EXPECT_EQ(env.windowRect(), defaultWindowRect(kScreen));
    EXPECT_EQ(env.splitterV(), 200);
    EXPECT_EQ(env.modelType(), 0);
    EXPECT_EQ(env.destinationCode(), 16);
    EXPECT_FALSE(env.flagA() || env.flagB() || env.flagC() || env.flagD());
    EXPECT_EQ(env.setupState(), indEnviron::kSetupNeeded);
    EXPECT_EQ(env.marker(), 753951);
  }

  QTemporaryDir dir_;
};

}  // namespace

TEST_F(Environ, FirstRunGivesDefaultsAndExitWritesEveryValue) {
  {
    auto env = make();
    EXPECT_TRUE(env->isFirstInstance());
    expectDefaults(*env);
    EXPECT_EQ(env->adjustFlag(), 0);
    EXPECT_EQ(env->displayLanguage(), 0);
    env->recent().addFirst("/x/one.qev");
  }
  QSettings s(iniPath(), QSettings::IniFormat);
  EXPECT_EQ(s.value("Global/BBT").toInt(), 753951);
  EXPECT_EQ(s.value("Global/ComPort").toInt(), 0);
  EXPECT_EQ(s.value("Setup/Etc Data").toInt(), 4194305);
  EXPECT_EQ(s.value("Window Position/Width").toInt(), 800);
  // All ten recent values, those past the list's end empty.
  s.beginGroup("Recent File List");
  EXPECT_EQ(s.childKeys().size(), 10);
  EXPECT_EQ(s.value("Recent0").toString(), "/x/one.qev");
  for (int i = 1; i < 10; ++i) {
    ASSERT_TRUE(s.contains(QString("Recent%1").arg(i)));
    EXPECT_EQ(s.value(QString("Recent%1").arg(i)).toString(), QString());
  }
}

TEST_F(Environ, StoredValuesComeBackAndTheDestinationMakesSetupReady) {
  storeFullSettings();
  auto env = make();
  EXPECT_EQ(env->comPort(), 7);
  EXPECT_EQ(env->comSpeedHigh(), 0);
  EXPECT_EQ(env->transType(), 3);
  EXPECT_EQ(env->currentDirectory(), "/home/ann/qev");
  EXPECT_EQ(env->fontSizePercentage(), 150);
  EXPECT_EQ(env->toolbarVisible(), 0);
  EXPECT_EQ(env->fontSizePrinter(), 11);
  EXPECT_EQ(env->windowRect(), (WindowRect{10, 20, 700, 500}));
  EXPECT_EQ(env->splitterV(), 321);
  EXPECT_EQ(env->modelType(), 1);
  EXPECT_EQ(env->destinationCode(), 3);
  EXPECT_TRUE(env->flagA());
  EXPECT_TRUE(env->flagC());
  EXPECT_FALSE(env->flagB() || env->flagD());
  EXPECT_EQ(env->etcData(), 802884u);
  ASSERT_EQ(env->recent().count(), 2);
  EXPECT_EQ(env->recent().entry(0), QString::fromUtf8("/home/ann/qev/a, with comma & ümlaut.qev"));
  EXPECT_EQ(env->recent().entry(1), "/home/ann/qev/b.qev");
  EXPECT_EQ(env->setupState(), indEnviron::kSetupReady);
}

TEST_F(Environ, ValuesAreClampedOnReading) {
  storeFullSettings();
  struct Case {
    const char* key;
    QVariant stored;
    std::function<int(const indEnviron&)> get;
    int expected;
  };
  const Case cases[] = {
      {"Global/ComPort", 0, &indEnviron::comPort, 1},
      {"Global/ComPort", 300, &indEnviron::comPort, 256},
      {"Global/ComSpeedHigh", 5, &indEnviron::comSpeedHigh, 1},
      {"Global/TransType", -1, &indEnviron::transType, 0},
      {"Global/TransType", 9, &indEnviron::transType, 4},
      {"View Option/FontSize Percentage", 10, &indEnviron::fontSizePercentage, 25},
      {"View Option/FontSize Percentage", 5000, &indEnviron::fontSizePercentage, 1000},
      {"View Option/FontSize Printer", 20, &indEnviron::fontSizePrinter, 12},
      {"View Option/FontSize Printer", 2, &indEnviron::fontSizePrinter, 8},
      {"View Option/Toolbar Visible", 7, &indEnviron::toolbarVisible, 1},
      {"Window Position/Left", -3000, [](const indEnviron& e) { return e.windowRect().left; },
       -3000},
  };
  for (const Case& c : cases) {
    edit([&](QSettings& s) { s.setValue(c.key, c.stored); });
    auto env = make();
    EXPECT_EQ(c.get(*env), c.expected) << c.key << " = " << c.stored.toString().toStdString();
    EXPECT_EQ(env->destinationCode(), 3) << "the other values stay";
    env->setMarker(0);  // quit without writing, so the next case starts from the same store
  }
}

TEST_F(Environ, OneMissingOrDamagedValueResetsEverything) {
  const std::vector<std::pair<const char*, std::function<void(QSettings&)>>> damages = {
      {"TransType removed", [](QSettings& s) { s.remove("Global/TransType"); }},
      {"Etc Data removed", [](QSettings& s) { s.remove("Setup/Etc Data"); }},
      {"SplitterV removed", [](QSettings& s) { s.remove("Window Position/SplitterV"); }},
      {"View Option removed", [](QSettings& s) { s.remove("View Option"); }},
      {"Recent File List removed", [](QSettings& s) { s.remove("Recent File List"); }},
      {"ComPort not a number", [](QSettings& s) { s.setValue("Global/ComPort", "COM3"); }},
      {"wrong marker", [](QSettings& s) { s.setValue("Global/BBT", 753950); }},
  };
  for (const auto& [what, damage] : damages) {
    SCOPED_TRACE(what);
    QFile::remove(iniPath());
    storeFullSettings();
    edit(damage);
    auto env = make();
    expectDefaults(*env);
  }
}

// The device path stands beside "ComPort"; settings written before it existed lack it and must
// still load whole.
TEST_F(Environ, PortPathIsKeptBesideTheNumberAndMayBeMissing) {
  storeFullSettings();
  make()->setComPortPath("/dev/ttyUSB0");
  {
    auto env = make();
    EXPECT_EQ(env->comPortPath(), "/dev/ttyUSB0");
    EXPECT_EQ(env->comPort(), 7);
  }
  edit([](QSettings& s) { s.remove("Global/ComPortPath"); });
  auto env = make();
  EXPECT_EQ(env->comPortPath(), QString());
  EXPECT_EQ(env->comPort(), 7);
  EXPECT_EQ(env->destinationCode(), 3);
  EXPECT_EQ(env->recent().count(), 2);
}

// Verify After Write is on by default, comes back off once stored off, and a settings file from
// before it existed loads whole with it on.
TEST_F(Environ, VerifyAfterWriteDefaultsOnAndMayBeMissing) {
  storeFullSettings();
  EXPECT_TRUE(make()->verifyAfterWrite());
  make()->setVerifyAfterWrite(false);
  EXPECT_FALSE(make()->verifyAfterWrite());
  EXPECT_EQ(QSettings(iniPath(), QSettings::IniFormat).value("Global/VerifyAfterWrite").toInt(), 0);
  edit([](QSettings& s) { s.remove("Global/VerifyAfterWrite"); });
  auto env = make();
  EXPECT_TRUE(env->verifyAfterWrite());
  EXPECT_EQ(env->comPort(), 7);
  EXPECT_EQ(env->destinationCode(), 3);
  EXPECT_EQ(env->recent().count(), 2);
}

TEST_F(Environ, FlippedEtcDataBitLeavesTheDestinationUnsetButKeepsTheRest) {
  storeFullSettings();
  edit([](QSettings& s) {
    s.setValue("Setup/Etc Data", int(packEtcData(3, true, false, true, false) ^ (1u << 19)));
  });
  auto env = make();
  EXPECT_EQ(env->destinationCode(), 16);
  EXPECT_FALSE(env->flagA());
  EXPECT_EQ(env->setupState(), indEnviron::kSetupNeeded);
  EXPECT_EQ(env->comPort(), 7);
  EXPECT_EQ(env->recent().count(), 2);
}

TEST_F(Environ, SetupSwitchForcesTheSetupDialogInAnyLetterCase) {
  storeFullSettings();
  for (const char* arg : {"/setup", "/SETUP", "/SeTuP"}) {
    auto env = make({"/opt/kestrin/kestrin", arg});
    EXPECT_EQ(env->setupState(), indEnviron::kSetupForced) << arg;
    env->recomputeSetupState();
    EXPECT_EQ(env->setupState(), indEnviron::kSetupForced) << "forced stays forced";
  }
  auto plain = make({"/opt/kestrin/kestrin", "-setup", "/setupx"});
  EXPECT_EQ(plain->setupState(), indEnviron::kSetupReady);
  plain->setDestinationCode(16);
  plain->recomputeSetupState();
  EXPECT_EQ(plain->setupState(), indEnviron::kSetupNeeded);
}

TEST_F(Environ, SecondInstanceNeitherLoadsNorSaves) {
  storeFullSettings();
  auto first = make();
  ASSERT_TRUE(first->isFirstInstance());
  {
    auto second = make();
    EXPECT_FALSE(second->isFirstInstance());
    EXPECT_EQ(second->comPort(), 0);  // left unread
    second->setComPort(99);
  }
  QSettings s(iniPath(), QSettings::IniFormat);
  EXPECT_EQ(s.value("Global/ComPort").toInt(), 7);
}

TEST_F(Environ, SmallStoreOperationsForColumnWidths) {
  auto env = make();
  const QString key = QString(indEnviron::kKeyPath) + "\\Display\\memory\\colwidth";
  EXPECT_EQ(env->readInteger(key, "3"), -1);  // key missing
  env->writeInteger(key, "3", 120);
  env->writeInteger(key, "4", 2000);
  EXPECT_EQ(env->readInteger(key, "3"), 120);
  EXPECT_EQ(env->readInteger(key, "5"), -1);  // value missing
  {
    QSettings s(iniPath(), QSettings::IniFormat);
    EXPECT_EQ(s.value("Display/memory/colwidth/4").toInt(), 2000);  // written at once
  }
  env->deleteKey(QString(indEnviron::kKeyPath) + "\\Display\\memory", "colwidth");
  EXPECT_EQ(env->readInteger(key, "3"), -1);
  env->writeInteger(QString(indEnviron::kKeyPath) + "\\Display\\call\\colwidth", "1", 80);
  env.reset();  // the settings written at exit leave the widths alone
  QSettings s(iniPath(), QSettings::IniFormat);
  EXPECT_EQ(s.value("Display/call/colwidth/1").toInt(), 80);
}

TEST(WindowPlacement, DefaultRectangleFitsTheScreen) {
  struct Case {
    ScreenSize screen;
    WindowRect rect;
  } cases[] = {
      {{1920, 1080}, {560, 144, 800, 600}},
      {{1024, 768}, {112, 50, 800, 600}},
      {{640, 480}, {32, 14, 576, 432}},
      {{100, 100}, {5, 3, 90, 90}},  // 0.3 x 10 is exactly 3, though not in doubles
  };
  for (const Case& c : cases) EXPECT_EQ(defaultWindowRect(c.screen), c.rect) << c.screen.width;
}

// The first start uses a larger screen; a small one keeps the specified default.
TEST(WindowPlacement, FirstStartUsesTheScreen) {
  struct Case {
    ScreenSize screen;
    WorkArea work;
    WindowRect rect;
  } cases[] = {
      {{1920, 1080}, {0, 0, 1920, 1040}, {260, 78, 1400, 780}},
      {{1400, 900}, {0, 0, 1400, 900}, {175, 67, 1050, 675}},
      {{3840, 2160}, {0, 40, 3840, 2160}, {1220, 376, 1400, 1000}},
      {{1024, 768}, {0, 0, 1024, 728}, {112, 50, 800, 600}},
      {{640, 480}, {0, 0, 640, 480}, {32, 14, 576, 432}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(firstStartWindowRect(c.screen, c.work), c.rect) << c.screen.width;
}

TEST(WindowPlacement, StoredRectangleIsPulledBackIntoTheWorkArea) {
  const WorkArea area{0, 0, 1280, 984};
  struct Case {
    WindowRect stored;
    WindowRect placed;
  } cases[] = {
      {{100, 100, 800, 600}, {100, 100, 800, 600}},     // inside: untouched
      {{3000, 2000, 800, 600}, {1264, 968, 800, 600}},  // off the right and bottom
      {{-2000, -50, 800, 600}, {-784, 0, 800, 600}},    // off the left and top
      {{-784, 10, 800, 600}, {-784, 10, 800, 600}},     // exactly 16 pixels still showing
  };
  for (const Case& c : cases)
    EXPECT_EQ(pullIntoWorkArea(c.stored, area), c.placed) << c.stored.left;
  // A work area that does not start at 0 (task bar on the left or top).
  EXPECT_EQ(pullIntoWorkArea({0, 0, 100, 100}, WorkArea{200, 40, 1280, 1024}),
            (WindowRect{116, 40, 100, 100}));
}

// A stored rectangle from another monitor, or an absurd one, gives a window that fits the work
// area with its title bar on it; no value overflows on the way.
TEST(WindowPlacement, TheWindowFitsTheWorkAreaWhateverWasStored) {
  const WorkArea area{0, 0, 1400, 900};
  struct Case {
    WindowRect stored;
    WindowRect placed;
  } cases[] = {
      {{100, 100, 800, 600}, {100, 100, 800, 600}},                  // fits: untouched
      {{0, 0, 99999999, 99999999}, {0, 0, 1400, 900}},               // enormous
      {{50, 40, 3800, 2100}, {0, 0, 1400, 900}},                     // from a larger monitor
      {{2600, 100, 800, 600}, {600, 100, 800, 600}},                 // a monitor unplugged
      {{-5000, -5000, 800, 600}, {0, 0, 800, 600}},                  // far off the top left
      {{10, 10, 100, 50}, {10, 10, 400, 200}},                       // below the minimum
      {{INT_MAX, INT_MAX, INT_MAX, INT_MAX}, {0, 0, 1400, 900}},     // the ends of the range
      {{INT_MIN, INT_MIN, INT_MIN, INT_MIN}, {1000, 0, 400, 200}},
      {{INT_MIN, INT_MAX, INT_MAX, INT_MIN}, {0, 700, 1400, 200}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.stored.left << "," << c.stored.top << " "
                                    << c.stored.width << "x" << c.stored.height);
    EXPECT_EQ(fitIntoWorkArea(c.stored, area, 400, 200), c.placed);
  }
  // A work area beside a task bar.
  EXPECT_EQ(fitIntoWorkArea({0, 0, 3000, 3000}, WorkArea{200, 40, 1280, 1024}, 400, 200),
            (WindowRect{200, 40, 1080, 984}));
}

// A value of the window's shape that is there but not a number takes its own default; the
// radio's set-up and everything else stay as stored. A missing value, or a damaged value of
// the radio's set-up, still resets everything (see above).
TEST_F(Environ, AValueThatOnlyShapesTheWindowFallsBackAlone) {
  const WindowRect initial = defaultWindowRect(kScreen);
  struct Case {
    const char* key;
    const char* stored;
    std::function<int(const indEnviron&)> get;
    int expected;
  };
  const Case cases[] = {
      {"Window Position/Left", "abc", [](const indEnviron& e) { return e.windowRect().left; },
       initial.left},
      {"Window Position/Width", "99999999999",  // beyond the integer range: as far as it goes
       [](const indEnviron& e) { return e.windowRect().width; }, INT_MAX},
      {"Window Position/Top", "1.5", [](const indEnviron& e) { return e.windowRect().top; },
       initial.top},
      {"Window Position/SplitterV", "", &indEnviron::splitterV, 200},
      {"View Option/FontSize Printer", "large", &indEnviron::fontSizePrinter, 10},
      {"View Option/FontSize Percentage", "1e3", &indEnviron::fontSizePercentage, 100},
      {"View Option/Toolbar Visible", "no", &indEnviron::toolbarVisible, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    QFile::remove(iniPath());
    storeFullSettings();
    edit([&](QSettings& s) { s.setValue(c.key, QString::fromLatin1(c.stored)); });
    auto env = make();
    EXPECT_EQ(c.get(*env), c.expected);
    EXPECT_EQ(env->destinationCode(), 3);
    EXPECT_EQ(env->setupState(), indEnviron::kSetupReady);
    EXPECT_EQ(env->comPort(), 7);
    EXPECT_EQ(env->recent().count(), 2);
    EXPECT_EQ(env->windowRect().height, 500);
  }
}

// A settings file that cannot be parsed is read as defaults and replaced on exit, so the next
// start finds what the user chose rather than the set-up again.
TEST_F(Environ, UnparsableFileIsReplacedOnExit) {
  {
    QFile f(iniPath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Global]\n]\n[BBT=7053[BBT=7053951\n");
  }
  {
    auto env = make();
    expectDefaults(*env);
    env->setDestinationCode(3);
  }
  auto env = make();
  EXPECT_EQ(env->destinationCode(), 3);
  EXPECT_EQ(env->setupState(), indEnviron::kSetupReady);
}
