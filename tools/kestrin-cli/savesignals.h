#pragma once

// Ctrl+C, SIGTERM or SIGHUP in the middle of a save would end the tool with the save's
// temporary file left beside the target. While a guard lives, the first such signal is held
// back; when the last guard ends, the tool ends as that signal asks (the save has finished or
// been undone by then, and its temporary file is gone). A second signal ends the tool at once,
// so a save that cannot finish (a FIFO without a reader) can still be interrupted.
class SaveSignalGuard {
 public:
  SaveSignalGuard();
  ~SaveSignalGuard();

  SaveSignalGuard(const SaveSignalGuard&) = delete;
  SaveSignalGuard& operator=(const SaveSignalGuard&) = delete;
};
