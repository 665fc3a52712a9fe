// Clone Write with Verify After Write from the window against the transceiver simulated inside the
// program, at 38400 and at 9600 baud, with the "Cloning" window painting: the whole command from
// the menu (three identifications, the write, the read-back and its compare) compared with the
// limit the line sets, which is the bytes on the line at their speeds plus the waits the protocol
// prescribes: the 100 ms input drain at every opening of the port and the 200 ms pause after the
// script that starts each operation of the engine (the identifications, the write, the read-back).
// Run: bin/bench_window_clone_write_verify [--quick]   (QT_QPA_PLATFORM=offscreen without a
// display)
#include "WindowCloneBench.h"

int main(int argc, char** argv) {
  WindowCloneCommand write;
  write.title = "clone write + verify";
  write.name = "clone write";
  write.link = CL_Menu_Clone_Write;
  write.operations = 2;  // the write and the read-back
  write.answer = [](ScriptedPrompter& prompter) { prompter.push(PromptAnswer::Ok); };
  // The end: the success message after the read-back found the transceiver equal.
  write.finished = [](indMain& app, const ScriptedPrompter& prompter) {
    return !app.cloneManager().IsBusy() && !app.progressWindow() && prompter.log().size() >= 2;
  };
  write.clean = [](const ScriptedPrompter& prompter, SimulatedSerialDevice& sim) {
    return prompter.log().size() == 2 &&
           prompter.log()[1].message.text.startsWith("Cloning is succeeded.") &&
           sim.transceiver().stats().reads == 1 && sim.transceiver().stats().writesAccepted == 1;
  };
  return runWindowCloneBench(argc, argv, write);
}
