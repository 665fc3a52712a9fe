#include <gtest/gtest.h>

#include <QtGlobal>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

#include <QFile>
#include <QTemporaryDir>

#include "clone/SimulatedTransceiver.h"
#include "clone/simmemory.h"

TEST(Simulator, CloneInformationLayout) {
  SimulatedTransceiver::Config config;
  config.destination = 11;
  config.options = 0x0D;
  config.serial = "07D90C0001E240";
  config.comment = "Field day";
  const QByteArray info = SimulatedTransceiver(config).cloneInformation();
  ASSERT_EQ(info.size(), 42);
  EXPECT_EQ(info[1], 1);
  EXPECT_EQ(info.mid(2, 16), QByteArray("Field day       "));
  EXPECT_EQ(info[18] & 0x0F, 11);
  EXPECT_EQ(info[19], 0x0D);
  EXPECT_EQ(info.mid(28, 14), QByteArray("07D90C0001E240"));
}

TEST(Simulator, IgnoresFramesAtSpeedsItDoesNotListenAt) {
  SimulatedTransceiver radio;
  radio.config().identifySpeeds = {4800};
  const QByteArray request = BuildRequest(cloneframe::kIdentifyText, 0, 0x3251, 0);
  EXPECT_TRUE(radio.Receive(request, 9600).isEmpty());
  // Half a frame at one speed and the rest at another is garbage too.
  EXPECT_TRUE(radio.Receive(request.left(5), 9600).isEmpty());
  EXPECT_TRUE(radio.Receive(request.mid(5), 4800).isEmpty());
  EXPECT_FALSE(radio.Receive(request, 4800).isEmpty());
  // A read without a speed change first is not answered.
  EXPECT_TRUE(radio.Receive(BuildRequest(cloneframe::kReadRequestText, 0, 0x3251, 0), 38400).isEmpty());
}

TEST(Simulator, MemoryFilesRoundTrip) {
  QTemporaryDir dir;
  cmcEeprom memory = SimulatedTransceiver::blankMemory();
  for (int a = 0; a < 0x1880; ++a) memory.setByte(a, static_cast<uint8_t>(a * 3));
  for (const char* name : {"radio.qev", "radio.bin"}) {
    const QString path = dir.filePath(name);
    QString error;
    ASSERT_TRUE(simmemory::save(path, memory, 5, &error)) << error.toStdString();
    cmcEeprom loaded;
    ASSERT_TRUE(simmemory::load(path, loaded, &error)) << error.toStdString();
    EXPECT_TRUE(loaded.equals(memory)) << name;
  }
  // A file of the wrong size is refused and leaves the memory alone.
  QFile shortFile(dir.filePath("short.bin"));
  ASSERT_TRUE(shortFile.open(QIODevice::WriteOnly));
  shortFile.write("abc");
  shortFile.close();
  cmcEeprom kept = memory;
  QString error;
  EXPECT_FALSE(simmemory::load(shortFile.fileName(), kept, &error));
  EXPECT_TRUE(error.contains("6304"));
  EXPECT_TRUE(kept.equals(memory));

  // A clone file whose check line does not fit still loads, with a warning naming it; FIFOs
  // and devices are refused unread, whatever their names.
  const QString qev = dir.filePath("radio.qev");
  QString warning;
  ASSERT_TRUE(simmemory::load(qev, kept, &error, &warning));
  EXPECT_TRUE(warning.isEmpty());
  QFile damaged(qev);
  ASSERT_TRUE(damaged.open(QIODevice::ReadWrite));
  QByteArray bytes = damaged.readAll();
  const qsizetype at = bytes.indexOf("#CD=") + 4;
  bytes[at] = bytes[at] == '0' ? '1' : '0';
  damaged.seek(0);
  damaged.write(bytes);
  damaged.close();
  ASSERT_TRUE(simmemory::load(qev, kept, &error, &warning));
  EXPECT_TRUE(warning.contains(qev) && warning.contains("check line")) << warning.toStdString();
#ifdef Q_OS_UNIX
  for (const char* name : {"fifo.qev", "fifo.bin"}) {
    const QString fifo = dir.filePath(name);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(simmemory::load(fifo, kept, &error)) << name;
  }
  EXPECT_FALSE(simmemory::load("/dev/zero", kept, &error));
#endif

  EXPECT_EQ(simmemory::packEtcData(16), 4194305);
  EXPECT_EQ(simmemory::packEtcData(0), 0);
}
