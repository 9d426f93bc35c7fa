// The command line of tarvex-cli read into the actions it asks for.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace tarvex {

/// What --help prints.
extern const char* const CliHelpText;

enum class TActionKind {
    Type,
    Select,
    Check,
    Slide,
    Up,
    Down,
    Click,
    Open,
    Save,
    Detect,
    MakeDisc,
    Dump,
    Report,
    Script,
    Candidates
};

struct TAction {
    TActionKind Kind;
    std::string Option; // as typed, for messages
    std::string Name;   // control name, or the file of --open / --save
    std::string Text;   // --type
    int Number = 1;     // index, state, position or count
};

class TUsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// What the command line asks for besides its actions.
struct TRequest {
    std::string IniFile;
    bool Help = false;
    bool Version = false;
    bool Replace = false; ///< --make-disc may replace files of an earlier run
};

/// --detect and the outputs take no value; every other action does.
bool TakesValue(TActionKind kind);

/// The actions in the order given; throws `TUsageError` for an unknown option or
/// a value of the wrong form.
std::vector<TAction> ParseArgs(const std::vector<std::string>& args, TRequest& request);

} // namespace tarvex
