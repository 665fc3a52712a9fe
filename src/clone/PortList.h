#pragma once

#include <QString>
#include <QStringList>
#include <vector>

class indEnviron;

// The items of the port lists in the set-up and COM port dialogs, and what a typed or chosen
// text means. The first item is always the built-in simulated transceiver; then the ports the
// system has now (the lists are refilled on every drop-down, so a cable plugged in meanwhile
// shows up): COM numbers on Windows, device paths with what the system knows of the device
// elsewhere.
namespace portlist {

struct Item {
  QString text;  // what the list shows
  QString port;  // what choosing it stores: a COM number, a device path or the simulator's name
};

// What the system reports about one serial port.
struct SystemPort {
  QString portName;        // "COM3", "ttyUSB0"
  QString systemLocation;  // "\\.\COM3", "/dev/ttyUSB0"
  QString description;     // the product, when known
  QString manufacturer;
  QString serialNumber;
};

std::vector<SystemPort> systemPorts();

// The COM numbers of port names such as "COM10", "COM3", "COM1": the digits, "." and "-" of
// each read as a number and rounded, as decimal texts in ascending order ("1", "3", "10").
QStringList comNumbers(const QStringList& portNames);

// The items for `ports` after the simulator's: numbers when `comNumbersOnly` (Windows), else
// device paths with their descriptions.
std::vector<Item> itemsFor(const std::vector<SystemPort>& ports, bool comNumbersOnly);
// The items for the ports the system has now.
std::vector<Item> items();

struct Choice {
  enum Kind { kNone, kNumber, kPath, kSimulator };
  Kind kind = kNone;
  int number = 0;  // for kNumber, and for kNone when a number outside 1..256 was typed
  QString path;    // for kPath and kSimulator: what is stored and opened
};

// What the text of a port box means: the simulator's name, a device path (a list item shows the
// path first), or the leading integer of the text, a COM number that must lie in 1..256 (kNone
// otherwise, 0 when the text has none).
Choice parse(const QString& text, const std::vector<Item>& items = {});

// Stores a valid choice: a number as "ComPort" (and no path), a path or the simulator beside it
// (ComPort keeps its value).
void store(indEnviron& settings, const Choice& choice);

// The text a port box starts with for the stored settings: the path when one is stored, else the
// COM number when it is 1..256, else empty.
QString storedText(const indEnviron& settings);

// "COM n" as the user sees it; where COM numbers are not the system's names, with the device
// the number stands for: "COM 99 (/dev/ttyS98)".
QString comNumberText(int n);

// Where ports are not COM numbers, what a port box takes (after the resource's own notice, which
// asks for a number); empty on Windows.
QString portHint();

// Whether the stored settings name the built-in simulated transceiver.
bool simulatorChosen(const indEnviron& settings);

}  // namespace portlist
