// The QEV reader on the File Open path. A file that is refused leaves the document exactly as it
// was; a file that is accepted saves again, and the saved file opens to the very same image.
#include "base/prompter.h"
#include "files/filecommands.h"
#include "fuzz_support.h"
#include "model/document.h"
#include "resources/factory/factory_images.h"

namespace {

QByteArray bytesOf(const cmcEeprom& image) {
  return QByteArray(reinterpret_cast<const char*>(image.data()), image.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::ensureApplication();
  cmcGTex& text = fuzz::mainText();
  static const QString path = fuzz::scratchPath("open.qev");
  static const QString again = fuzz::scratchPath("again.qev");
  if (!fuzz::writeFile(path, data, size)) return 0;

  Document doc(factoryImage, &text);
  doc.setDestination(0);
  doc.newDocument();
  const QByteArray working = bytesOf(doc.working());
  const QByteArray saved = bytesOf(doc.savedImage());
  const int destination = doc.destination();
  const bool modified = doc.isModified();
  const QString file = doc.currentFile();

  ScriptedPrompter prompter;  // every question gets its default answer
  FileCommands commands(doc, prompter, text);
  const int opened = commands.openFile(path);
  FUZZ_CHECK(opened == 0 || opened == 1);
  if (opened != 0) {
    FUZZ_CHECK(bytesOf(doc.working()) == working, "a refused file changed the working image");
    FUZZ_CHECK(bytesOf(doc.savedImage()) == saved);
    FUZZ_CHECK(doc.destination() == destination && doc.isModified() == modified &&
               doc.currentFile() == file);
    return 0;
  }

  FUZZ_CHECK(commands.saveFile(again) == 0, "an opened file cannot be saved: code %d",
             commands.lastFileResult());
  Document reopened(factoryImage, &text);
  reopened.setDestination(doc.destination());
  reopened.setOptions(doc.options());
  reopened.newDocument();
  ScriptedPrompter quiet;
  FileCommands reader(reopened, quiet, text);
  FUZZ_CHECK(reader.openFile(again) == 0, "a saved file does not open: code %d",
             reader.lastFileResult());
  FUZZ_CHECK(bytesOf(reopened.working()) == bytesOf(doc.working()),
             "save and open changed the image");
  FUZZ_CHECK(quiet.log().empty(), "opening a file just saved asked a question");
  return 0;
}
