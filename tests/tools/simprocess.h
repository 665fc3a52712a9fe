#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include "clone/fakeport.h"

// A kestrin-sim process on its own pseudo-terminal, stopped when the object goes.
class SimProcess {
 public:
  explicit SimProcess(const QStringList& args) {
    const QString bin = qEnvironmentVariable("KESTRIN_BIN_DIR") + QStringLiteral("/kestrin-sim");
    process_.setProgram(bin);
    process_.setArguments(args);
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.start();
    if (!process_.waitForStarted(5000)) return;
    while (!process_.canReadLine() && process_.state() == QProcess::Running) process_.waitForReadyRead(100);
    device_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
  }
  ~SimProcess() { stop(); }

  // The device to open; empty when the simulator did not start.
  QString device() const { return device_; }
  bool running() const { return process_.state() == QProcess::Running; }
  QByteArray errorOutput() { return process_.readAllStandardError(); }

  // Ends the simulator as a user would (SIGTERM); returns its exit code, -1 when it had to be killed.
  int stop() {
    if (process_.state() == QProcess::NotRunning) return process_.exitCode();
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
      process_.kill();
      process_.waitForFinished(2000);
      return -1;
    }
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
  }

 private:
  QProcess process_;
  QString device_;
};
