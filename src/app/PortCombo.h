#pragma once

#include <QComboBox>
#include <vector>

#include "clone/PortList.h"

// The port box of the set-up and COM port dialogs: an editable box whose list is the built-in
// simulated transceiver and the system's ports, refilled each time it drops down (a cable plugged
// in meanwhile shows up), keeping what was typed. Choosing an item puts its port in the box.
class PortCombo : public QComboBox {
  Q_OBJECT

 public:
  explicit PortCombo(QWidget* parent = nullptr);

  // Refills the list, keeping the text.
  void refill();
  // What the text means.
  portlist::Choice choice() const;
  const std::vector<portlist::Item>& items() const { return items_; }
  // Where the items come from; tests give a fixed list.
  void setSource(std::function<std::vector<portlist::Item>()> source) {
    source_ = std::move(source);
  }

  void showPopup() override;

 private:
  std::function<std::vector<portlist::Item>()> source_;
  std::vector<portlist::Item> items_;
};
