// The commands of tonefade-host, and running one from its command line.
#pragma once

#include <span>
#include <string>

#include "Options.h"

namespace host {

// Every command, in the order the program's usage lists them.
std::span<const Command* const> Commands();

// The program's own usage: its commands and the options every command takes.
std::string ProgramUsage();

// Reads argv[2...] against the command's tables, answers --help, and runs the command.
// Returns the exit status; wrong usage is thrown as UsageError, a failed job as
// JobFailure.
int RunCommand(const std::string& name, int argc, char** argv);

}  // namespace host
