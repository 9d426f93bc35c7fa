// Making discs from the command line: in the foreground, with progress on stderr,
// cancelled by the signals that end a program.
#pragma once

#include <iosfwd>
#include <string>

namespace tarvex {

class TMainForm;

/// Turns SIGINT, SIGTERM and SIGHUP into the cancel of a running disc make; while
/// no discs are made they end the program as they would without this.
void CatchCancelSignals();

enum class TCliMade { Done, Failed, Cancelled };

/// Makes the discs of the form's plan in `dir`: the report goes to `out`, progress
/// and problems to `err`. Files of an earlier run in `dir` stop it unless `replace`.
TCliMade MakeDiscInCli(const TMainForm& form, const std::string& dir, bool replace,
                       std::ostream& out, std::ostream& err);

} // namespace tarvex
