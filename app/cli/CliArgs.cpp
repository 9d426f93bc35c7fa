#include "app/cli/CliArgs.h"

#include "common/Numeric.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <utility>

namespace tarvex {

const char* const CliHelpText =
    R"(Usage: tarvex-cli [--ini FILE] [--replace] ACTION... [--dump] [--report] [--script] [--candidates]

Starts Tarvex without a window: reads the settings file (the window's own
Tarvex.ini, beside the executable or in ~/.config/Tarvex, or FILE with --ini),
fills the window and computes everything as the window does at start-up. Then
it performs the actions in the order given, each as a user would, and prints
what was asked for. It never writes or deletes a settings file.

Actions (NAME is a control name as shown by --dump):
  --type NAME=TEXT     focus the edit, select all, type TEXT key by key, press
                       Tab; an empty TEXT selects all and presses Backspace
  --select NAME=INDEX  choose item INDEX (from 0) of a list
  --check NAME=0|1     click the check box if its state differs
  --slide NAME=POS     drag a track bar to POS
  --up NAME[=COUNT]    click the up button of an up-down COUNT times (1)
  --down NAME[=COUNT]  click the down button of an up-down COUNT times (1)
  --click NAME         click a button
  --open FILE          click the source button; the open dialog returns FILE
  --save FILE          click the save button; the save dialog returns FILE
  --detect             click Detect and wait until the film area found in the
                       source's frames is typed into the film-pixel fields,
                       showing the progress on stderr
  --make-disc DIR      make the disc images of the current plan in DIR (ffmpeg,
                       vcdimager, dvdauthor, genisoimage), showing the progress on
                       stderr; then print the report of each disc. Images,
                       report or log of an earlier run in DIR stop it, and so
                       does another run making discs in DIR. SIGINT, SIGTERM and
                       SIGHUP cancel it: the tool is stopped, the work folder
                       and the unfinished disc are removed
  --replace            let --make-disc replace the files of an earlier run

Output:
  --dump               print every control's state as one JSON object, with
                       "Caption" (the window caption), "Messages" (every
                       message box shown so far, in order), "Warnings" (what
                       the window warns about) and "DiscFill" (how each disc
                       image fills its disc, part by part)
  --report             print what was computed as one JSON object with plain
                       names: source, geometry, budget, script and warnings
  --script             print the lines of the script box
  --candidates         print the resize heights that fit the destination as
                       JSON, each with its width, aspect error, film kept,
                       blocks, bits per block and borders; the suggestion's
                       row is marked
  Each prints the state at its place among the actions.
  --pulldown IN OUT    alone: write the MPEG-2 video stream IN (23.976
                       progressive frames) to OUT with 3:2 pulldown flags, to
                       be shown at 29.97 (a step of NTSC film discs)
  --help               print this text
  --version            print the program's version

Exit codes: 0 done; 1 the program showed a message box (its text is also
printed on stderr) or the discs could not be made or do not fit their discs;
2 a usage error: an unknown option or control ends the run before any action;
an index or position out of range, or a control disabled or hidden, ends it
when that action's turn comes; 3 making discs was cancelled by a signal (no
later action was done).

Example: a PAL DVD film of 720 x 436 lines for SVCD with the crop and script:
  tarvex-cli --select SrcAspectBox=0 --type SrcPixelYEdit=436 \
             --select DestAspectBox=4 --dump --script
)";

namespace {

int ParseNumber(const std::string& option, const std::string& text) {
    std::int32_t v;
    if (text.empty() || text.find_first_not_of("0123456789-") != std::string::npos ||
        !TryStrToInt(text, v))
        throw TUsageError(option + ": \"" + text + "\" is not a whole number");
    return v;
}
} // namespace

bool TakesValue(TActionKind kind) {
    return kind != TActionKind::Detect && kind != TActionKind::Dump &&
           kind != TActionKind::Report && kind != TActionKind::Script &&
           kind != TActionKind::Candidates;
}

std::vector<TAction> ParseArgs(const std::vector<std::string>& args, TRequest& request) {
    static const std::pair<const char*, TActionKind> options[] = {
        {"--type", TActionKind::Type},
        {"--select", TActionKind::Select},
        {"--check", TActionKind::Check},
        {"--slide", TActionKind::Slide},
        {"--up", TActionKind::Up},
        {"--down", TActionKind::Down},
        {"--click", TActionKind::Click},
        {"--open", TActionKind::Open},
        {"--save", TActionKind::Save},
        {"--detect", TActionKind::Detect},
        {"--make-disc", TActionKind::MakeDisc},
        {"--dump", TActionKind::Dump},
        {"--report", TActionKind::Report},
        {"--script", TActionKind::Script},
        {"--candidates", TActionKind::Candidates}};
    std::vector<TAction> actions;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--help" || option == "-h" || option == "--version") {
            (option == "--version" ? request.Version : request.Help) = true;
            continue;
        }
        const auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw TUsageError(option + " needs a value");
            return args[++i];
        };
        if (option == "--ini") {
            request.IniFile = value();
            continue;
        }
        if (option == "--replace") {
            request.Replace = true;
            continue;
        }
        const auto* found = std::find_if(std::begin(options), std::end(options),
                                         [&](const auto& o) { return option == o.first; });
        if (found == std::end(options))
            throw TUsageError("unknown option \"" + option + "\" (see --help)");
        TAction a{found->second, option, {}, {}, 1};
        if (!TakesValue(a.Kind)) {
            actions.push_back(a);
            continue;
        }
        const std::string arg = value();
        if (a.Kind == TActionKind::Open || a.Kind == TActionKind::Save ||
            a.Kind == TActionKind::MakeDisc) {
            if (arg.empty()) throw TUsageError(option + " needs a file name");
            a.Name = arg;
            actions.push_back(a);
            continue;
        }
        const std::size_t eq = arg.find('=');
        a.Name = arg.substr(0, eq);
        const bool hasValue = eq != std::string::npos;
        const std::string v = hasValue ? arg.substr(eq + 1) : "";
        switch (a.Kind) {
        case TActionKind::Type:
            if (!hasValue) throw TUsageError(option + " " + arg + ": expected NAME=TEXT");
            a.Text = v;
            break;
        case TActionKind::Click:
            if (hasValue) throw TUsageError(option + " " + arg + ": expected NAME");
            break;
        case TActionKind::Up:
        case TActionKind::Down:
            if (hasValue) a.Number = ParseNumber(option + " " + a.Name, v);
            if (a.Number < 1) throw TUsageError(option + " " + arg + ": COUNT must be 1 or more");
            break;
        default:
            if (!hasValue) throw TUsageError(option + " " + arg + ": expected NAME=NUMBER");
            a.Number = ParseNumber(option + " " + a.Name, v);
            if (a.Kind == TActionKind::Check && a.Number != 0 && a.Number != 1)
                throw TUsageError(option + " " + arg + ": the state must be 0 or 1");
            break;
        }
        actions.push_back(a);
    }
    return actions;
}

} // namespace tarvex
