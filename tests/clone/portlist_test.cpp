#include "clone/PortList.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "clone/SimulatedSerialDevice.h"
#include "files/indEnviron.h"

using portlist::Choice;

namespace {
const QString kSim = QString::fromLatin1(SimulatedSerialDevice::kPortName);

QStringList texts(const std::vector<portlist::Item>& items) {
  QStringList t;
  for (const auto& i : items) t << i.text;
  return t;
}
}  // namespace

TEST(PortList, ComNumbersAreSortedByValue) {
  EXPECT_EQ(portlist::comNumbers({"COM10", "COM3", "COM1"}), (QStringList{"1", "3", "10"}));
  EXPECT_EQ(portlist::comNumbers({"COM2.5", "COM", "COM123456789012"}),
            (QStringList{"3", "123456789"}));
  EXPECT_EQ(portlist::comNumbers({}), QStringList());
}

// The simulator comes first in every list; then COM numbers on Windows, device paths with what
// the system knows of the device elsewhere.
TEST(PortList, ItemsStartWithTheSimulator) {
  const std::vector<portlist::SystemPort> ports{
      {"ttyUSB0", "/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A50285BI"},
      {"ttyACM0", "/dev/ttyACM0", "", "", ""},
      {"ttyS0", "/dev/ttyS0", "", "Prolific", ""},
  };
  const auto paths = portlist::itemsFor(ports, false);
  EXPECT_EQ(texts(paths), (QStringList{kSim, "/dev/ttyACM0", "/dev/ttyS0 (Prolific)",
                                       "/dev/ttyUSB0 (FT232R USB UART, FTDI, serial A50285BI)"}));
  EXPECT_EQ(paths[3].port, "/dev/ttyUSB0");
  EXPECT_EQ(paths[0].port, kSim);

  const std::vector<portlist::SystemPort> com{{"COM10", "\\\\.\\COM10", "", "", ""},
                                              {"COM3", "\\\\.\\COM3", "", "", ""}};
  EXPECT_EQ(texts(portlist::itemsFor(com, true)), (QStringList{kSim, "3", "10"}));
  EXPECT_EQ(texts(portlist::itemsFor({}, false)), QStringList{kSim});
}

TEST(PortList, TextOfThePortBoxMeansANumberAPathOrTheSimulator) {
  const auto items =
      portlist::itemsFor({{"ttyUSB0", "/dev/ttyUSB0", "FT232R USB UART", "FTDI", ""}}, false);
  struct Case {
    QString text;
    Choice::Kind kind;
    int number;
    QString path;
  };
  const Case cases[] = {
      {" 12 ", Choice::kNumber, 12, {}},
      {"1", Choice::kNumber, 1, {}},
      {"256", Choice::kNumber, 256, {}},
      {"7x", Choice::kNumber, 7, {}},
      {"0", Choice::kNone, 0, {}},
      {"257", Choice::kNone, 257, {}},
      {"-3", Choice::kNone, -3, {}},
      {"abc", Choice::kNone, 0, {}},
      {"", Choice::kNone, 0, {}},
      {"99999999999", Choice::kNone, 0, {}},
      {"simulated transceiver", Choice::kSimulator, 0, kSim},
      {"/dev/ttyACM3", Choice::kPath, 0, "/dev/ttyACM3"},
      {"/dev/ttyUSB0 (FT232R USB UART, FTDI)", Choice::kPath, 0, "/dev/ttyUSB0"},
  };
  for (const Case& c : cases) {
    const Choice got = portlist::parse(c.text, items);
    EXPECT_EQ(got.kind, c.kind) << c.text.toStdString();
    EXPECT_EQ(got.number, c.number) << c.text.toStdString();
    EXPECT_EQ(got.path, c.path) << c.text.toStdString();
  }
}

// A chosen path or the simulator is stored beside the COM number, a typed number replaces a path,
// and a refused text stores nothing.
TEST(PortList, ChoicesAreStoredAndShownAgain) {
  QTemporaryDir dir;
  indEnviron env(QStringLiteral("kestrin-portlist-test"), QStringLiteral("Software\\Zelk\\Kestrin"),
                 QString(), {}, ScreenSize{}, EnvironPlace{dir.path(), dir.path()});
  EXPECT_EQ(portlist::storedText(env), QString());  // first run: no port yet
  portlist::store(env, portlist::parse(" 12 "));
  EXPECT_EQ(env.comPort(), 12);
  EXPECT_EQ(portlist::storedText(env), "12");

  portlist::store(env, portlist::parse("/dev/ttyUSB1"));
  EXPECT_EQ(env.comPort(), 12);
  EXPECT_EQ(env.comPortPath(), "/dev/ttyUSB1");
  EXPECT_EQ(portlist::storedText(env), "/dev/ttyUSB1");
  EXPECT_FALSE(portlist::simulatorChosen(env));

  portlist::store(env, portlist::parse("0"));
  EXPECT_EQ(env.comPortPath(), "/dev/ttyUSB1");

  portlist::store(env, portlist::parse(kSim));
  EXPECT_TRUE(portlist::simulatorChosen(env));
  EXPECT_EQ(portlist::storedText(env), kSim);

  portlist::store(env, portlist::parse("3"));
  EXPECT_EQ(env.comPort(), 3);
  EXPECT_EQ(env.comPortPath(), QString());
  EXPECT_FALSE(portlist::simulatorChosen(env));
}
