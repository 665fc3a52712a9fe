#include "app/ComPortDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/ImageLists.h"
#include "app/PortCombo.h"
#include "app/dialogplacement.h"
#include "base/prompter.h"
#include "base/textcodec.h"
#include "clone/SimulatedSerialDevice.h"
#include "files/indEnviron.h"
#include "gtex/cellmarkup.h"
#include "gtex/cmcGTex.h"

ComPortDialog::ComPortDialog(QWidget* owner, indEnviron& settings, cmcGTex& text,
                             Prompter& prompter)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                         Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      settings_(settings),
      text_(text),
      prompter_(prompter) {
  setObjectName(QStringLiteral("ComPortDialog"));
  setWindowTitle(text.lineText("GI_AppInd_Opt_ComSel_Caption"));
  {
    cmcCellParser parser(text);
    CellFont font = parser.newFont();
    parser.parseFont(text.getLine("CellModel_BasicDialog", 0), font);
    setFont(screenFont(font, QWidget::font()));
  }
  const QFontMetrics fm(font());
  const int w = fm.height();  // the text height of "W"
  auto width = [&](const QString& s) { return fm.horizontalAdvance(s); };

  QString notice = text.lineText("GI_AppInd_Opt_ComSel_Notice");
  if (!portlist::portHint().isEmpty()) notice += QLatin1Char('\n') + portlist::portHint();
  label_ = new QLabel(notice, this);
  label_->setObjectName(QStringLiteral("Notice"));
  label_->adjustSize();
  label_->move(w, w);

  combo_ = new PortCombo(this);
  combo_->setFont(font());
  combo_->setEditText(portlist::storedText(settings));
  // Wide enough for "2555WWWWW", and for the simulated transceiver's name, which the list offers.
  const int comboWidth =
      qMax(width(QStringLiteral("2555WWWWW")),
           width(QString::fromLatin1(SimulatedSerialDevice::kPortName)) + 2 * w + 8);
  const int comboHeight = qMax(fm.height(), combo_->sizeHint().height());
  combo_->setGeometry(label_->x() + width(QStringLiteral("WW")),
                      label_->geometry().bottom() + 1 + w / 2, comboWidth, comboHeight);

  const int buttonWidth = width(text.lineText("GI_AppInd_Opt_ComSel_SizeOfButtons"));
  const int buttonHeight = 2 * fm.height();
  cancel_ = new QPushButton(text.lineText("GI_AppInd_Opt_ComSel_Buttons", 1), this);
  ok_ = new QPushButton(text.lineText("GI_AppInd_Opt_ComSel_Buttons", 0), this);
  ok_->setDefault(true);
  ok_->setAutoDefault(true);
  const int labelRight = label_->x() + label_->width();
  const int cancelTop = combo_->geometry().bottom() + 1 + w;
  cancel_->setGeometry(labelRight - buttonWidth, cancelTop, buttonWidth, buttonHeight);
  ok_->setGeometry(cancel_->x() - buttonHeight / 2 - buttonWidth, cancelTop, buttonWidth,
                   buttonHeight);
  setFixedSize(label_->width() + 2 * label_->x(), cancelTop + buttonHeight * 3 / 2);

  setTabOrder(combo_, ok_);
  setTabOrder(ok_, cancel_);
  combo_->setFocus();
  connect(ok_, &QPushButton::clicked, this, &ComPortDialog::okClicked);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

int ComPortDialog::run() {
  placeDialogOver(this, parentWidget());
  return exec();
}

void ComPortDialog::okClicked() {
  const portlist::Choice choice = combo_->choice();
  if (choice.kind == portlist::Choice::kNone) {
    QString message = text_.lineText("GI_AppInd_Opt_ComSel_OutofRange");
    if (!portlist::portHint().isEmpty()) message += QStringLiteral("\n\n") + portlist::portHint();
    prompter_.inform(text_.lineText("GI_Sys_AppTitle"), message, PromptIcon::Error);
    combo_->setFocus();
    if (combo_->lineEdit()) combo_->lineEdit()->selectAll();
    return;
  }
  portlist::store(settings_, choice);
  accept();
}
