#pragma once

#include <cstdio>

#include "base/prompter.h"

// The command-line tool's message boxes: written to stderr. A question is answered yes (OK or
// Yes) when the user said --yes; otherwise it is asked on the terminal when stdin is one, and
// given its default answer when stdin is not a terminal or is closed, so a script never waits.
class CliPrompter : public Prompter {
 public:
  CliPrompter(bool assumeYes, std::FILE* in = stdin, std::FILE* out = stderr)
      : assumeYes_(assumeYes), in_(in), out_(out) {}
  PromptAnswer ask(const PromptMessage& message) override;

 private:
  bool assumeYes_;
  std::FILE* in_;
  std::FILE* out_;
};
