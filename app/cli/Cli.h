// The headless front end: the main window driven from the command line.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tarvex {

/// Runs tarvex-cli with its arguments (without the program name). `exePath` is
/// the program's own path; the settings file is looked for beside it unless
/// --ini names another. Returns the exit code: 0 done, 1 a message box was
/// shown, 2 a usage error.
int RunCli(const std::vector<std::string>& args, const std::string& exePath, std::ostream& out,
           std::ostream& err);

} // namespace tarvex
