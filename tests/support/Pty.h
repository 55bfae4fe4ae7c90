// A program run on a pseudo-terminal of a given width, as a person runs it: what it
// draws (progress bars, questions) is read back exactly as the terminal received it,
// and `input` is typed once the program has started.
#pragma once

#include <string>
#include <vector>

#include "support/Processes.h"

namespace testsupport {

struct PtyRun {
    int columns = 80;
    std::string input;                     // typed after the first output, e.g. "y\n"
    std::vector<std::string> environment;  // "NAME=value" sets, a plain "NAME" unsets
    int timeoutSeconds = 120;
};

// Standard input, output and error are all the terminal: the result's `out` holds what
// it received (its newlines made \r\n by the terminal), `err` stays empty.
RunResult RunOnTerminal(const std::string& program, const std::vector<std::string>& args, const PtyRun& how);

}  // namespace testsupport
