#include <gtest/gtest.h>

#include <QtGlobal>
#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#endif

#include <QTemporaryDir>
#include <cstdlib>

#include "clone/cmcComm.h"
#ifndef _WIN32
#include "clone/qtserialdevice.h"
#else
#include "clone/winserialdevice.h"
#endif
#include "fakeport.h"

namespace {
struct FakeComm {
  FakeSerialDevice* fake = new FakeSerialDevice;
  cmcComm comm{std::unique_ptr<cmcSerialDevice>(fake)};
};
}  // namespace

TEST(Comm, SettingsTextGivesLineSettings) {
  struct Case {
    QByteArray text;
    int baud;
    int dataBits;
    int stopBits;
    int perByteMs;
  };
  const Case cases[] = {
      {"19200,N,8,1", 19200, 8, cmcLineSettings::kOneStop, 5},
      {"4800,N,8,1", 4800, 8, cmcLineSettings::kOneStop, 20},
      {"9600,n,9,2", 9600, 8, cmcLineSettings::kTwoStop, 10},
      {"38400,N,3,1.5", 38400, 4, cmcLineSettings::kOneAndHalfStop, 2},
      {"9600,N,7,x", 9600, 7, cmcLineSettings::kOneStop, 10},
  };
  for (const Case& c : cases) {
    FakeComm f;
    ASSERT_TRUE(f.comm.Open(1, c.text)) << c.text.constData();
    const cmcLineSettings& s = f.fake->opens.back().settings;
    EXPECT_EQ(s.baud, c.baud) << c.text.constData();
    EXPECT_EQ(s.dataBits, c.dataBits) << c.text.constData();
    EXPECT_EQ(s.stopBits, c.stopBits) << c.text.constData();
    EXPECT_EQ(s.parity, 'N') << c.text.constData();
    EXPECT_EQ(f.comm.WriteTimeoutPerByte(), c.perByteMs) << c.text.constData();
    EXPECT_EQ(s.xonLimit, 16000);
    EXPECT_EQ(s.xoffLimit, 24000);
    EXPECT_FALSE(s.dtr());
    EXPECT_TRUE(s.rts());
    EXPECT_EQ(s.lineFlags &
                  (cmcLineSettings::kParityCheck | cmcLineSettings::kOutX | cmcLineSettings::kInX),
              0u);
  }
  // A comma inside a double-byte character does not split the text.
  cmcLineSettings line;
  cmcComm::ParseSettings(QByteArray("9600\x81,,N,7,2"), line);
  EXPECT_EQ(line.baud, 9600);
  EXPECT_EQ(line.dataBits, 7);
  EXPECT_EQ(line.stopBits, cmcLineSettings::kTwoStop);
}

TEST(Comm, OpenCloseAndPortNames) {
  FakeComm f;
  EXPECT_TRUE(f.comm.Open(3, "9600,N,8,1"));
  EXPECT_FALSE(f.comm.Open(4, "9600,N,8,1"));  // already open: refused, stays open on port 3
  EXPECT_TRUE(f.comm.IsOpen());
  EXPECT_EQ(f.fake->opens.size(), 1u);
  EXPECT_EQ(f.comm.PortNumber(), 3);
  f.comm.Close();
  EXPECT_FALSE(f.comm.IsOpen());

  EXPECT_TRUE(f.comm.Open(QStringLiteral("/dev/pts/7"), "9600,N,8,1"));
  EXPECT_EQ(f.fake->opens.back().name, QStringLiteral("/dev/pts/7"));
  f.comm.Close();

  f.fake->failOpen = true;
  EXPECT_FALSE(f.comm.Open(QStringLiteral("/dev/ttyUSB9"), "9600,N,8,1"));
  EXPECT_TRUE(f.comm.LastOpenError().contains(QStringLiteral("/dev/ttyUSB9")));

#ifdef Q_OS_WIN
  EXPECT_EQ(cmcComm::ResolvePortName("3"), QStringLiteral("COM3"));
#else
  EXPECT_EQ(cmcComm::ResolvePortName("3"), QStringLiteral("/dev/ttyS2"));
#endif
  EXPECT_EQ(cmcComm::ResolvePortName(" /dev/ttyUSB0 "), QStringLiteral("/dev/ttyUSB0"));
}

TEST(Comm, ReadNeverWaitsAndFailsToZero) {
  FakeComm f;
  uint8_t buf[16];
  EXPECT_EQ(f.comm.Read(buf, 16), 0);  // closed
  ASSERT_TRUE(f.comm.Open(1, "9600,N,8,1"));
  EXPECT_EQ(f.comm.Read(buf, 16), 0);  // nothing arrived
  f.fake->input = "abcdef";
  EXPECT_EQ(f.comm.Read(buf, 4), 4);
  EXPECT_EQ(f.comm.Read(buf, 16), 2);
  EXPECT_EQ(buf[1], 'f');
  f.fake->input = "x";
  f.fake->failRead = true;
  EXPECT_EQ(f.comm.Read(buf, 16), 0);
}

TEST(Comm, SendWritesChunksOnlyWhenTheDriverQueueIsEmpty) {
  FakeComm f;
  f.comm.Send(QByteArray(10, 'x'));  // closed: nothing happens
  EXPECT_EQ(f.comm.PendingOutput(), 0);
  ASSERT_TRUE(f.comm.Open(1, "19200,N,8,1"));
  f.fake->holdOutput = true;
  QByteArray data;
  for (int i = 0; i < 3000; ++i) data.append(static_cast<char>(i * 7));
  f.comm.Send(data);
  // Buffer and driver queue both count, before the line has taken anything.
  EXPECT_EQ(f.comm.PendingOutput(), 3000);
  EXPECT_EQ(f.fake->chunks, std::vector<int>{1024});
  // The next chunk waits while the queue holds bytes.
  waitUntil([] { return false; }, 40);
  EXPECT_EQ(f.fake->chunks.size(), 1u);
  for (size_t expected = 2; expected <= 3; ++expected) {
    f.fake->release();
    ASSERT_TRUE(waitUntil([&] { return f.fake->chunks.size() == expected; }));
  }
  f.fake->release();
  EXPECT_EQ(f.fake->chunks, (std::vector<int>{1024, 1024, 952}));
  EXPECT_EQ(f.fake->written, data);
  EXPECT_EQ(f.comm.PendingOutput(), 0);
  EXPECT_FALSE(f.comm.HasError());
}

TEST(Comm, WaitingChunkLooksAgainWhenTheQueueWillHaveGoneOut) {
  // Bits per byte are start + data + parity + stop; never sooner than 1 ms nor later than 10 ms.
  struct Case {
    QByteArray settings;
    int queued;
    int ms;
  } cases[] = {
      {"38400,N,8,1", 30, 7},   {"38400,N,8,1", 38, 9}, {"38400,N,8,1", 1, 1},
      {"38400,N,8,1", 500, 10}, {"9600,N,8,1", 5, 5},   {"4800,N,8,2", 4, 9},
      {"9600,N,8,1.5", 8, 8},   {"9600,N,7,1", 10, 9},
  };
  for (const Case& c : cases) {
    FakeComm f;
    ASSERT_TRUE(f.comm.Open(1, c.settings));
    EXPECT_EQ(f.comm.RetryAfterMs(c.queued), c.ms) << c.settings.constData() << " " << c.queued;
  }
}

TEST(Comm, ShortWriteAndStuckLineSetTheErrorFlag) {
  FakeComm f;
  ASSERT_TRUE(f.comm.Open(1, "19200,N,8,1"));
  f.fake->acceptLimit = 10;
  f.comm.Send(QByteArray(20, 'x'));
  EXPECT_TRUE(f.comm.HasError());
  f.comm.Close();
  EXPECT_FALSE(f.comm.HasError());

  // A chunk that never leaves the driver: error once its write time-out (3000 + 5 ms per byte)
  // ends.
  uint32_t now = 1000;
  ScopedTickClock clock([&] { return now; });
  f.fake->acceptLimit = -1;
  f.fake->holdOutput = true;
  ASSERT_TRUE(f.comm.Open(1, "19200,N,8,1"));
  EXPECT_FALSE(f.comm.HasError());
  f.comm.Send(QByteArray(100, 'y'));
  now += 3000 + 5 * 100 - 1;
  waitUntil([] { return false; }, 30);
  EXPECT_FALSE(f.comm.HasError());
  now += 1;
  EXPECT_TRUE(waitUntil([&] { return f.comm.HasError(); }, 1000));
  f.comm.Close();
  EXPECT_TRUE(f.comm.Open(1, "19200,N,8,1"));
  EXPECT_FALSE(f.comm.HasError());
}

#ifdef Q_OS_WIN
// COM ports through the system's serial interface: the device path of a name, and a port that
// does not exist named in the error.
TEST(CommDevice, WindowsComPorts) {
  EXPECT_EQ(WinSerialDevice::devicePath(QStringLiteral("COM3")), QStringLiteral("\\\\.\\COM3"));
  EXPECT_EQ(WinSerialDevice::devicePath(QStringLiteral("\\\\.\\COM12")),
            QStringLiteral("\\\\.\\COM12"));
  EXPECT_EQ(cmcComm::ResolvePortName(QStringLiteral("7")), QStringLiteral("COM7"));
  for (const QString& name : WinSerialDevice::portNames())
    EXPECT_TRUE(name.startsWith(QStringLiteral("COM"))) << name.toStdString();
  cmcComm comm;
  EXPECT_FALSE(comm.Open(QStringLiteral("COM250"), "9600,N,8,1"));
  EXPECT_TRUE(comm.LastOpenError().contains(QStringLiteral("COM250")))
      << comm.LastOpenError().toStdString();
}
#endif

#ifdef Q_OS_UNIX
// The production device on a real pseudo-terminal: bytes both ways, line settings visible on the
// other side, clear errors for devices that cannot be opened.
TEST(CommDevice, PseudoTerminalRoundTrip) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const QString slave = QString::fromLocal8Bit(ptsname(master));

  cmcComm comm;
  ASSERT_TRUE(comm.Open(slave, "4800,N,8,1")) << comm.LastOpenError().toStdString();
  termios t{};
  ASSERT_EQ(tcgetattr(master, &t), 0);
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B4800));
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));

  comm.Send(QByteArray("\xFE\xFE\xEE\xEF\xE0\xFD", 6));
  ASSERT_TRUE(waitUntil([&] { return comm.PendingOutput() == 0; }));
  QByteArray got;
  ASSERT_EQ(fcntl(master, F_SETFL, O_NONBLOCK), 0);
  ASSERT_TRUE(waitUntil(
      [&] {
        char chunk[16];
        const ssize_t r = ::read(master, chunk, sizeof chunk);
        if (r > 0) got.append(chunk, r);
        return got.size() >= 6;
      },
      2000));
  EXPECT_EQ(got, QByteArray("\xFE\xFE\xEE\xEF\xE0\xFD", 6));

  ASSERT_EQ(::write(master, "hello", 5), 5);
  uint8_t buf[16];
  int n = 0;
  ASSERT_TRUE(waitUntil(
      [&] {
        n += comm.Read(buf + n, 16 - n);
        return n >= 5;
      },
      2000));
  EXPECT_EQ(QByteArray(reinterpret_cast<char*>(buf), 5), QByteArray("hello"));
  EXPECT_EQ(comm.Read(buf, 16), 0);
  comm.Close();
  ::close(master);

  EXPECT_FALSE(comm.Open(QStringLiteral("/dev/kestrin-no-such-port"), "9600,N,8,1"));
  EXPECT_TRUE(comm.LastOpenError().contains(QStringLiteral("/dev/kestrin-no-such-port")));
}

TEST(CommDevice, PermissionDeniedNamesTheGroup) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("ttyLocked"));
  const int fd = ::open(QFile::encodeName(path).constData(), O_CREAT | O_WRONLY, 0);
  ASSERT_GE(fd, 0);
  ::close(fd);
  auto check = [&] {
    const QString text =
        QtSerialDevice::openErrorText(path, QSerialPort::PermissionError, QString());
    return text.contains(path) && text.contains(QStringLiteral("dialout"));
  };
  if (geteuid() != 0) {
    EXPECT_TRUE(check());
    return;
  }
  // Root may open anything: look at the file as an ordinary user would, in a child process.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(setuid(65534) == 0 && check() ? 0 : 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
#endif
