// The settings in the Windows registry, as other programs (reg.exe) see them.
#include <QtGlobal>
#ifdef Q_OS_WIN

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMap>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include "files/indEnviron.h"

namespace {

// A key of its own per test process, so a real installation and parallel runs are left alone.
QString testKey() {
  return QStringLiteral("Software\\Zelk\\KestrinTest%1").arg(QCoreApplication::applicationPid());
}

struct KeyRemover {
  QString key;
  ~KeyRemover() {
    QSettings(QStringLiteral("HKEY_CURRENT_USER\\Software\\Zelk"), QSettings::NativeFormat)
        .remove(key.section(QLatin1Char('\\'), 2));
  }
};

// "reg query <key> /s" as group -> value name -> "TYPE value".
QMap<QString, QMap<QString, QString>> regQuery(const QString& key) {
  QProcess reg;
  reg.start(
      QStringLiteral("reg"),
      {QStringLiteral("query"), QStringLiteral("HKEY_CURRENT_USER\\") + key, QStringLiteral("/s")});
  reg.waitForFinished(60000);
  QMap<QString, QMap<QString, QString>> result;
  const QString prefix = QStringLiteral("HKEY_CURRENT_USER\\") + key + QLatin1Char('\\');
  QString group;
  for (QString line :
       QString::fromLocal8Bit(reg.readAllStandardOutput()).split(QLatin1Char('\n'))) {
    line = line.trimmed();
    if (line.startsWith(prefix, Qt::CaseInsensitive)) {
      group = line.mid(prefix.size());
      result[group];
      continue;
    }
    // "    Name With Spaces    REG_SZ    value"
    const qsizetype at = line.indexOf(QStringLiteral("    REG_"));
    if (group.isEmpty() || at < 0) continue;
    result[group][line.left(at)] = line.mid(at + 4).simplified();
  }
  return result;
}

indEnviron* openEnviron(const QString& key, const QTemporaryDir& lock,
                        const QStringList& args = {}) {
  return new indEnviron(QStringLiteral("Kestrin Test Mutex"), key, key, args, ScreenSize{1024, 768},
                        EnvironPlace{QString(), lock.path()});
}

}  // namespace

TEST(SettingsRegistry, LayoutTypesAndValuesSeenFromOutside) {
  QTemporaryDir lock;
  const KeyRemover remove{testKey()};
  {
    std::unique_ptr<indEnviron> env(openEnviron(remove.key, lock));
    ASSERT_TRUE(env->isFirstInstance());
    EXPECT_EQ(env->setupState(), 0) << "a first run asks for the initial set-up";
    env->recent().addFirst(QStringLiteral("C:\\Clone files\\club.qev"));
  }
  const auto reg = regQuery(remove.key);
  ASSERT_FALSE(reg.isEmpty()) << "reg query found no key";
  EXPECT_EQ(reg.keys(),
            (QStringList{"Global", "Recent File List", "Setup", "View Option", "Window Position"}));

  const QString dword = QStringLiteral("REG_DWORD");
  const QString sz = QStringLiteral("REG_SZ");
  const QMap<QString, QMap<QString, QString>> types{
      {"Global",
       {{"BBT", dword},
        {"ComPort", dword},
        {"ComSpeedHigh", dword},
        {"TransType", dword},
        {"Current Directory", sz},
        {"VerifyAfterWrite", dword}}},
      {"View Option",
       {{"FontSize Percentage", dword}, {"Toolbar Visible", dword}, {"FontSize Printer", dword}}},
      {"Window Position",
       {{"Left", dword},
        {"Top", dword},
        {"Width", dword},
        {"Height", dword},
        {"SplitterV", dword}}},
      {"Setup", {{"ModelType", dword}, {"Etc Data", dword}}},
  };
  for (auto group = types.begin(); group != types.end(); ++group) {
    EXPECT_EQ(reg[group.key()].keys(), group.value().keys()) << group.key().toStdString();
    for (auto v = group.value().begin(); v != group.value().end(); ++v)
      EXPECT_TRUE(reg[group.key()][v.key()].startsWith(v.value())) << v.key().toStdString();
  }
  QStringList recentNames;
  for (int i = 0; i < 10; ++i) {
    recentNames << QStringLiteral("Recent%1").arg(i);
    EXPECT_TRUE(reg["Recent File List"][recentNames.last()].startsWith(sz)) << i;
  }
  recentNames.sort();
  EXPECT_EQ(reg["Recent File List"].keys(), recentNames);
  EXPECT_EQ(reg["Recent File List"]["Recent0"], "REG_SZ C:\\Clone files\\club.qev");
  EXPECT_EQ(reg["Global"]["BBT"].toLower(), "reg_dword 0xb811f");           // 753951
  EXPECT_EQ(reg["Setup"]["Etc Data"].toLower(), "reg_dword 0x400001");      // destination 16
  EXPECT_EQ(reg["Window Position"]["Width"].toLower(), "reg_dword 0x320");  // 800
}

// All or nothing: a number stored as text is a value of the wrong type, and /setup forces the
// initial set-up on a complete key.
TEST(SettingsRegistry, WrongTypeGivesAllDefaultsAndSetupIsForced) {
  QTemporaryDir lock;
  const KeyRemover remove{testKey()};
  {
    std::unique_ptr<indEnviron> env(openEnviron(remove.key, lock));
    env->setDestinationCode(0);
    env->recomputeSetupState();
    env->recent().addFirst(QStringLiteral("C:\\a.qev"));
  }
  {
    std::unique_ptr<indEnviron> env(
        openEnviron(remove.key, lock, {QStringLiteral("kestrin.exe"), QStringLiteral("/SETUP")}));
    EXPECT_EQ(env->setupState(), 4);
    EXPECT_EQ(env->recent().count(), 1);
  }
  {
    QSettings s(QStringLiteral("HKEY_CURRENT_USER\\") + remove.key, QSettings::NativeFormat);
    s.setValue(QStringLiteral("Global/ComPort"), QStringLiteral("5"));
  }
  std::unique_ptr<indEnviron> env(openEnviron(remove.key, lock));
  EXPECT_EQ(env->setupState(), 0);
  EXPECT_EQ(env->recent().count(), 0);
  EXPECT_EQ(env->comPort(), 0);
}

#endif
