#include "session.h"

#include <QFileInfo>
#include <cstdio>

#include "files/cmcQevFile.h"
#include "files/rawnames.h"
#include "gtex/celllinks.h"
#include "model/cmcEeprom.h"
#include "savesignals.h"
#include "sheet/core/SheetNames.h"

namespace {

bool isLinkName(const QByteArray& name) {
  for (int link = 0; link < kLinkCount; ++link)
    if (name == linkName(link)) return true;
  return false;
}

bool isCategoryName(const QByteArray& name) {
  for (int category = 0; category < CT_None; ++category)
    if (name == categoryName(category)) return true;
  return false;
}

// The first cell name in the mark-up that this program does not know, or empty. Such names
// are written by templates that the program fills in before it parses them (a list made at
// run time writes "%%FlexVMCCh[%d]"); parsing them as they stand is a fault of the program's
// own data, which ends the program. A sheet that has them cannot be shown on its own.
QByteArray unknownCellName(const QByteArray& markup) {
  for (qsizetype at = markup.indexOf("(%"); at >= 0; at = markup.indexOf("(%", at + 2)) {
    qsizetype end = at + 2;
    while (end < markup.size() && !QByteArrayView("[:)|}").contains(markup[end])) ++end;
    QByteArray name = markup.mid(at + 2, end - at - 2).trimmed();
    const qsizetype dot = name.indexOf('.');
    if (dot >= 0 && !(dot > 0 && name[dot - 1] == '\\')) {
      if (!isCategoryName(name.left(dot))) return name;
      name = name.mid(dot + 1);
    }
    if (!name.isEmpty() && !isLinkName(name)) return name;
  }
  return {};
}

}  // namespace

Session::Session(const CliOptions& options)
    : options_(options),
      prompter_(options.yes),
      workspace_(WorkspaceSetup{&prompter_, nullptr, this, nullptr, nullptr}) {
  version_ = programVersionTexts(workspace_.text());
  FileCommandHooks hooks;
  hooks.warningCheck = [this] { runWarningCheck(workspace_.catalogue(), workspace_.text()); };
  workspace_.files().setHooks(hooks);
}

QStringList Session::sheetAliases() { return sheetNames(); }

QString Session::aliasOf(const QByteArray& callString) { return sheetNameOfCall(callString); }

Status Session::load() {
  workspace_.document().setOptionBits(options_.optionBits);
  workspace_.document().setDestination(options_.destination < 0 ? 0 : options_.destination);
  workspace_.document().newDocument();
  if (options_.file.isEmpty()) return {};
  // A destination on the command line wins over the file's: the data is fitted to it, as the
  // program does when its question is answered No.
  workspace_.files().setDestinationPolicy(options_.destination < 0
                                              ? FileCommands::DestinationPolicy::AdoptFile
                                              : FileCommands::DestinationPolicy::AdaptData);
  const QString readable = rawnames::readPath(options_.file);
  if (readable.isEmpty() ||
      workspace_.files().openFile(QFileInfo(readable).absoluteFilePath()) != 0) {
    return Status::failed(QString("cannot open %1").arg(options_.file));
  }
  return {};
}

Status saveDocument(FileCommands& files, const QString& path) {
  SaveSignalGuard guard;
  rawnames::OutputPath out(path);
  if (out.path().isEmpty()) return Status::failed(QString("cannot save %1").arg(path));
  int code = files.saveFile(QFileInfo(out.path()).absoluteFilePath());
  if (code == 0 && !out.finish()) code = kQevFileAccess;
  if (code != 0)
    return Status::failed(QString("cannot save %1 (file result %2)").arg(path).arg(code));
  return {};
}

Status Session::saveIfAsked() {
  QString path = options_.output;
  if (path.isEmpty() && options_.inPlace) path = options_.file;
  if (path.isEmpty()) return {};
  const Status saved = saveDocument(workspace_.files(), path);
  if (saved.ok()) std::fprintf(stderr, "saved %s\n", path.toUtf8().constData());
  return saved;
}

std::unique_ptr<SheetModel> Session::buildSheet(const QString& nameOrCall, Status& status) {
  QByteArray call = sheetCallOfName(nameOrCall);
  if (call.isEmpty()) call = nameOrCall.toUtf8();
  const SheetCall parsed = SheetCall::parse(call);
  for (const char* part : {"_Style", "_BasicCell", "_Cells"}) {
    const QByteArray section = parsed.name + part;
    if (parsed.name.isEmpty() || !workspace_.text().hasSection(section.constData())) {
      status = Status::usage(
          QString("no sheet \"%1\" (try one of: %2)").arg(nameOrCall, sheetAliases().join(", ")));
      return nullptr;
    }
  }
  for (const char* part : {"_Style", "_BasicCell", "_Cells"}) {
    const QByteArray unknown =
        unknownCellName(workspace_.text().getSectionText((parsed.name + part).constData()));
    if (!unknown.isEmpty()) {
      status = Status::usage(QString("\"%1\" cannot be shown on its own: it is a template that "
                                     "the program fills in (it names \"%2\")")
                                 .arg(nameOrCall, QString::fromLatin1(unknown)));
      return nullptr;
    }
  }
  SheetServices services;
  services.text = &workspace_.text();
  services.parser = &workspace_.parser();
  services.environment = &workspace_.environment();
  auto sheet = SheetModel::create(call, services);
  sheet->build();
  return sheet;
}

void Session::display(const SheetModel& sheet, int column, int row, cmcCellCapsule& request) {
  sheet.fillRequest(request, column, row);
  workspace_.catalogue().dispatch(request, false);
}

void Session::prepareEdit(const SheetModel& sheet, int column, int row, cmcCellCapsule& request) {
  sheet.fillRequest(request, column, row);
  request.origin = CellOrigin::Grid;  // the tool stands where the grid would
  request.marks |= kMarkCurrentCell;
}
