// Clone Read from the window against the transceiver simulated inside the program, at 38400 and
// at 9600 baud, with the "Cloning" window painting: the whole command from the menu (two
// identifications, the speed change, the transfer) compared with the limit the line sets, which
// is the bytes on the line at their speeds plus the waits the protocol prescribes: the 100 ms
// input drain at every opening of the port and the 200 ms pause after the script that starts each
// operation of the engine (both identifications and the read).
// Run: bin/bench_window_clone_read [--quick]   (QT_QPA_PLATFORM=offscreen without a display)
#include "WindowCloneBench.h"

int main(int argc, char** argv) {
  WindowCloneCommand read;
  read.title = "clone read from the window";
  read.name = "clone read";
  read.link = CL_Menu_Clone_Read;
  read.operations = 1;  // the read
  read.finished = [](indMain& app, const ScriptedPrompter&) {
    return !app.cloneManager().IsBusy() && !app.progressWindow() && app.document().isModified();
  };
  read.clean = [](const ScriptedPrompter& prompter, SimulatedSerialDevice&) {
    return prompter.log().empty();
  };
  return runWindowCloneBench(argc, argv, read);
}
