#include "app/PortCombo.h"

#include <QAbstractItemView>
#include <QLineEdit>

PortCombo::PortCombo(QWidget* parent) : QComboBox(parent) {
  setObjectName(QStringLiteral("cbComm"));
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  // Port numbers and paths are typed as they are; no input method in between.
  setInputMethodHints(Qt::ImhPreferLatin | Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase);
  setAttribute(Qt::WA_InputMethodEnabled, false);
  if (lineEdit()) lineEdit()->setAttribute(Qt::WA_InputMethodEnabled, false);
  source_ = [] { return portlist::items(); };
  connect(this, &QComboBox::activated, this, [this](int index) {
    if (index >= 0 && index < int(items_.size())) setEditText(items_[size_t(index)].port);
  });
  refill();
}

void PortCombo::refill() {
  const QString text = currentText();
  items_ = source_ ? source_() : std::vector<portlist::Item>{};
  clear();
  int widest = 0;
  for (const portlist::Item& item : items_) {
    addItem(item.text, item.port);
    widest = qMax(widest, fontMetrics().horizontalAdvance(item.text));
  }
  // The list may be wider than the box: device descriptions are long.
  view()->setMinimumWidth(widest + 2 * fontMetrics().averageCharWidth() + 24);
  setEditText(text);
}

void PortCombo::showPopup() {
  refill();
  QComboBox::showPopup();
}

portlist::Choice PortCombo::choice() const { return portlist::parse(currentText(), items_); }
