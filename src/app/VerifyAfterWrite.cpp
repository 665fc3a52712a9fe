#include "app/VerifyAfterWrite.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "app/CompareWithFile.h"
#include "app/TForm1.h"
#include "app/cuiMain.h"
#include "base/cmcEvMan.h"
#include "base/events.h"
#include "base/textcodec.h"
#include "clone/clonecommands.h"
#include "files/indEnviron.h"
#include "gtex/cellmarkup.h"
#include "gtex/cmcGTex.h"
#include "resources/factory/factory_images.h"
#include "sheet/core/ImageCompare.h"

namespace {
QMenu* cloneMenu(QMenuBar* bar) {
  for (QAction* action : bar->actions()) {
    if (action->menu() && action->text().remove('&') == QLatin1String("Clone"))
      return action->menu();
  }
  return nullptr;
}
}  // namespace

QAction* installVerifyCommand(cuiMain& main, QMenuBar* bar) {
  QMenu* menu = bar ? cloneMenu(bar) : nullptr;
  if (!menu) return nullptr;
  auto* action = new QAction(QStringLiteral("&Verify After Write"), menu);
  action->setObjectName(QStringLiteral("verifyAfterWrite"));
  action->setCheckable(true);
  action->setChecked(main.settings().verifyAfterWrite());
  QAction* before = nullptr;
  const QList<QAction*> items = menu->actions();
  for (int i = 0; i < items.size(); ++i) {
    if (items[i]->text().remove('&').startsWith(QLatin1String("Write")))
      before = i + 1 < items.size() ? items[i + 1] : nullptr;
  }
  menu->insertAction(before, action);
  QObject::connect(action, &QAction::toggled, menu,
                   [&main](bool on) { main.settings().setVerifyAfterWrite(on); });
  QObject::connect(menu, &QMenu::aboutToShow, action,
                   [&main, action] { action->setChecked(main.settings().verifyAfterWrite()); });
  return action;
}

CompareDialog* reportVerify(cuiMain& main, const VerifyReport& report) {
  const QString title = main.text().lineText("GI_Sys_AppTitle");
  if (report.kind == VerifyReport::kEqual) {
    main.bus().send(ev::kStatusText, 0, 0,
                    "Verified: the transceiver's memory holds what was written.");
    return nullptr;
  }
  if (report.kind != VerifyReport::kDifferent) return nullptr;

  cmcCellParser parser(main.text());
  std::vector<FieldDifference> differences =
      compareImages(report.written, report.readBack, main.document().destination(),
                    main.document().options().optionBits(), factoryImage, main.text(), parser);
  const int fields = int(differences.size());
  const int bytes = int(report.differingAddresses.size());
  QString text;
  if (fields > 0) {
    text = QStringLiteral("The transceiver does not hold what was written: %1 field%2 of its "
                          "memory differ%3 from the document.")
               .arg(fields)
               .arg(fields == 1 ? "" : "s")
               .arg(fields == 1 ? "s" : "");
  } else {
    text = QStringLiteral("The transceiver does not hold what was written: %1 byte%2 of its "
                          "memory differ%3 from the document, in data no page shows.")
               .arg(bytes)
               .arg(bytes == 1 ? "" : "s")
               .arg(bytes == 1 ? "s" : "");
  }
  main.prompter().inform(title, text, PromptIcon::Warning);
  if (differences.empty() || !main.form()) return nullptr;
  CompareLabels labels;
  labels.title = QStringLiteral("Verify After Write - %1").arg(title);
  labels.summary = QStringLiteral("%1 field%2 of the transceiver's memory differ%3 from this "
                                  "document. Choose one to go to its cell.")
                       .arg(fields)
                       .arg(fields == 1 ? "" : "s")
                       .arg(fields == 1 ? "s" : "");
  labels.other = QStringLiteral("Transceiver");
  auto* dialog = new CompareDialog(main, std::move(differences), labels, main.form());
  dialog->setObjectName(QStringLiteral("verifyDifferences"));
  dialog->show();
  return dialog;
}
