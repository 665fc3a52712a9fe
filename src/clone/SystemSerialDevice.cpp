#include "clone/SystemSerialDevice.h"

#include "clone/SimulatedSerialDevice.h"
#include "clone/cmcComm.h"
#ifdef Q_OS_WIN
#include "clone/winserialdevice.h"
#else
#include "clone/qtserialdevice.h"
#endif
#include "resources/factory/factory_images.h"

SystemSerialDevice::SystemSerialDevice() = default;

SystemSerialDevice::~SystemSerialDevice() { close(); }

SimulatedSerialDevice& SystemSerialDevice::simulator() {
  if (!simulator_) {
    SimulatedSerialDevice::Options options;
    options.memoryPath = SimulatedSerialDevice::defaultMemoryPath();
    options.factory = &factoryImage;
    simulator_ = std::make_unique<SimulatedSerialDevice>(std::move(options));
  }
  return *simulator_;
}

void SystemSerialDevice::setSimulator(std::unique_ptr<SimulatedSerialDevice> simulator) {
  if (active_ && active_ == simulator_.get()) {
    active_->close();
    active_ = nullptr;
  }
  simulator_ = std::move(simulator);
}

bool SystemSerialDevice::open(const QString& name, const cmcLineSettings& settings,
                              QString* error) {
  close();
  if (SimulatedSerialDevice::isSimulatorName(name)) {
    active_ = &simulator();
  } else {
    if (!system_) {
#ifdef Q_OS_WIN
      system_ = std::make_unique<WinSerialDevice>();
#else
      system_ = std::make_unique<QtSerialDevice>();
#endif
    }
    active_ = system_.get();
  }
  return active_->open(name, settings, error);
}

void SystemSerialDevice::close() {
  if (active_) active_->close();
}

bool SystemSerialDevice::isOpen() const { return active_ && active_->isOpen(); }

int SystemSerialDevice::bytesAvailable() { return active_ ? active_->bytesAvailable() : 0; }

int SystemSerialDevice::read(uint8_t* buffer, int maximum) {
  return active_ ? active_->read(buffer, maximum) : 0;
}

int SystemSerialDevice::write(const uint8_t* bytes, int count) {
  return active_ ? active_->write(bytes, count) : -1;
}

int SystemSerialDevice::outputQueue() { return active_ ? active_->outputQueue() : 0; }

void SystemSerialDevice::purge() {
  if (active_) active_->purge();
}

SimulatedSerialDevice* builtInSimulator(cmcComm& port) {
  auto* system = dynamic_cast<SystemSerialDevice*>(port.device());
  return system ? &system->simulator() : nullptr;
}
