#include "app/cli/Cli.h"

#include "app/Main.h"
#include "app/SettingsPath.h"
#include "app/cli/MakeDisc.h"
#include "app/cli/Reports.h"
#include "common/Numeric.h"
#include "disc/DvdSubpictures.h"
#include "disc/JobParts.h"
#include "disc/Pulldown.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <ostream>

namespace tarvex {

namespace {

const char* const HelpText =
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
  --subpictures DIR XML PAL|NTSC SCALE SECONDS [LEAD]
                       alone: write the spumux project XML for the subtitle
                       images drawn into DIR from LEAD milliseconds before the
                       disc's share, times multiplied by SCALE, the last ending
                       at SECONDS (a step of DVDs)
  --text-share IN OUT FIRST END
                       alone: write the SubRip subtitles IN as those of the
                       film's milliseconds FIRST to END to OUT (a step of DVDs)
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

/// Message boxes go to stderr and are remembered; dialogs return the file the
/// next --open or --save named.
class TCliPlatform : public TPlatform {
  public:
    TCliPlatform(std::ostream& err, std::string settingsFile)
        : Err(err), SettingsFile(std::move(settingsFile)) {}

    void ShowMessage(const std::string& title, const std::string& text) override {
        Messages.push_back(text);
        std::string line = text;
        for (char& c : line)
            if (c == '\r' || c == '\n') c = ' ';
        Err << title << ": " << line << '\n';
    }
    std::optional<std::string> OpenDialog(const TFileDialog&) override {
        return std::exchange(NextFile, std::nullopt);
    }
    std::optional<std::string> SaveDialog(const TFileDialog& dialog) override {
        auto file = std::exchange(NextFile, std::nullopt);
        // A name typed without an extension gets the dialog's default one.
        if (file && std::filesystem::path(*file).extension().empty() && !dialog.DefaultExt.empty())
            *file += "." + dialog.DefaultExt;
        return file;
    }
    std::string FileVersionText() override { return TARVEX_VERSION; }
    std::string SettingsFileName(const std::string&) override { return SettingsFile; }
    bool MayWriteSettings() override { return false; }
    bool MayDeleteSettings() override { return false; }

    std::ostream& Err;
    std::string SettingsFile;
    std::optional<std::string> NextFile;
    std::vector<std::string> Messages;
};

/// --detect and the outputs take no value; every other action does.
bool TakesValue(TActionKind kind) {
    return kind != TActionKind::Detect && kind != TActionKind::Dump &&
           kind != TActionKind::Report && kind != TActionKind::Script &&
           kind != TActionKind::Candidates;
}

int ParseNumber(const std::string& option, const std::string& text) {
    std::int32_t v;
    if (text.empty() || text.find_first_not_of("0123456789-") != std::string::npos ||
        !TryStrToInt(text, v))
        throw TUsageError(option + ": \"" + text + "\" is not a whole number");
    return v;
}

/// What the command line asks for besides its actions.
struct TRequest {
    std::string IniFile;
    bool Help = false;
    bool Version = false;
    bool Replace = false; ///< --make-disc may replace files of an earlier run
};

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

bool NeedsControl(TActionKind kind) {
    return TakesValue(kind) && kind != TActionKind::Open && kind != TActionKind::Save &&
           kind != TActionKind::MakeDisc;
}

/// Checks that the named control exists and has the kind the action needs;
/// with `ranges`, also that an index or position lies in the control's range.
void Validate(const TMainForm& form, const TAction& a, bool ranges) {
    if (!NeedsControl(a.Kind)) return;
    const TAnyControl* control = form.FindControl(a.Name);
    if (!control) throw TUsageError(a.Option + ": there is no control named \"" + a.Name + "\"");
    if (ranges && !AsControl(*control).Reachable())
        throw TUsageError(a.Option + " " + a.Name + ": the control is disabled or hidden");
    const auto expect = [&](bool rightKind, const char* kind) {
        if (!rightKind) throw TUsageError(a.Option + ": " + a.Name + " is not " + kind);
    };
    switch (a.Kind) {
    case TActionKind::Type:
        expect(std::holds_alternative<TEdit*>(*control), "an edit");
        break;
    case TActionKind::Select:
        expect(std::holds_alternative<TComboBox*>(*control), "a list");
        if (ranges) {
            const int count = std::get<TComboBox*>(*control)->Count();
            if (a.Number < 0 || a.Number >= count)
                throw TUsageError(a.Option + " " + a.Name + ": the index must lie in 0.." +
                                  IntToStr(count - 1));
        }
        break;
    case TActionKind::Check:
        expect(std::holds_alternative<TCheckBox*>(*control), "a check box");
        break;
    case TActionKind::Slide:
        expect(std::holds_alternative<TTrackBar*>(*control), "a track bar");
        if (ranges) {
            const TTrackBar* bar = std::get<TTrackBar*>(*control);
            if (a.Number < bar->Min() || a.Number > bar->Max())
                throw TUsageError(a.Option + " " + a.Name + ": the position must lie in " +
                                  IntToStr(bar->Min()) + ".." + IntToStr(bar->Max()));
        }
        break;
    case TActionKind::Up:
    case TActionKind::Down:
        expect(std::holds_alternative<TUpDown*>(*control), "an up-down");
        break;
    default:
        expect(std::holds_alternative<TButton*>(*control), "a button");
        break;
    }
}

/// Runs what the detection posts until it is done, showing its progress on stderr
/// in steps of ten per cent.
void WaitForDetection(TMainForm& form, TCliPlatform& platform) {
    int shown = -1;
    form.OnDetectProgress = [&](int done, int total) {
        const int percent = 100 * done / total;
        if (percent / 10 == shown && done < total) return;
        shown = percent / 10;
        platform.Err << "Detect: " << percent << "%\n";
    };
    while (form.Detecting()) platform.RunPosted(true);
    form.OnDetectProgress = nullptr;
}

/// Performs one user action; false when the control refused it (disabled or hidden).
bool Perform(TMainForm& form, TCliPlatform& platform, const TAction& a) {
    const TAnyControl* control = NeedsControl(a.Kind) ? form.FindControl(a.Name) : nullptr;
    switch (a.Kind) {
    case TActionKind::Type:
        return std::get<TEdit*>(*control)->Retype(a.Text);
    case TActionKind::Select:
        return std::get<TComboBox*>(*control)->Select(a.Number);
    case TActionKind::Check: {
        TCheckBox& box = *std::get<TCheckBox*>(*control);
        return box.Checked() == (a.Number == 1) || box.Click();
    }
    case TActionKind::Slide:
        return std::get<TTrackBar*>(*control)->Slide(a.Number);
    case TActionKind::Up:
    case TActionKind::Down:
        for (int i = 0; i < a.Number; ++i)
            if (!std::get<TUpDown*>(*control)->Click(a.Kind == TActionKind::Up ? TUDButton::Up
                                                                               : TUDButton::Down))
                return false;
        return true;
    case TActionKind::Click:
        return std::get<TButton*>(*control)->Click();
    case TActionKind::Open:
        platform.NextFile = a.Name;
        return form.OpenVideoBtn.Click();
    case TActionKind::Save:
        platform.NextFile = a.Name;
        return form.SaveAVSBtn.Click();
    case TActionKind::Detect:
        // The same work as in the window, waited for in the foreground.
        if (!form.DetectBtn.Click()) return false;
        WaitForDetection(form, platform);
        return true;
    default:
        return true;
    }
}

std::string DefaultSettingsFile(const std::string& exePath) {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::canonical("/proc/self/exe", ec);
    if (ec) exe = exePath;
    return SettingsFilePath(exe.parent_path().string(), "Tarvex", SystemSettingsProbe());
}

/// --pulldown IN OUT: the pulldown step of a disc job.
int Pulldown(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 3) {
        err << "tarvex-cli: --pulldown needs an input and an output file and nothing else\n";
        return 2;
    }
    try {
        const TPulldownCount count = WritePulldownFile(args[1], args[2]);
        out << "Wrote " << count.Pictures << " film frames in " << count.Gops
            << " groups with 3:2 pulldown flags to " << args[2] << ".\n";
        return 0;
    } catch (const TPulldownError& e) {
        err << "tarvex-cli: --pulldown: " << args[1] << ": " << e.what() << '\n';
        return 1;
    }
}

/// --subpictures DIR XML FORMAT SCALE SECONDS [LEAD]: the subtitle picture step of a DVD job.
int Subpictures(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const auto number = [](const std::string& text) {
        double v = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
        return ec == std::errc{} && end == text.data() + text.size() && v > 0 && std::isfinite(v)
                   ? v
                   : 0.0;
    };
    const std::int64_t lead = args.size() == 7 ? job::Whole(args[6]) : 0;
    if ((args.size() != 6 && args.size() != 7) || (args[3] != "PAL" && args[3] != "NTSC") ||
        !(number(args[4]) > 0) || !(number(args[5]) > 0) || lead < 0 || lead > MaxSubtitleLeadMs) {
        err << "tarvex-cli: --subpictures needs a folder, a project file, PAL or NTSC, a time "
               "scale, the seconds of the disc and at most the milliseconds drawn before it\n";
        return 2;
    }
    try {
        const std::size_t shows = WriteSubpictureProject(args[1], args[2], args[3] == "PAL",
                                                         number(args[4]), number(args[5]), lead);
        out << "Wrote " << shows << " subtitle pictures to " << args[2] << ".\n";
        return 0;
    } catch (const std::exception& e) {
        err << "tarvex-cli: --subpictures: " << args[1] << ": " << e.what() << '\n';
        return 1;
    }
}

/// --text-share IN OUT FIRST END: the text subtitle step of a disc of a split film.
int TextShare(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const std::int64_t first = args.size() == 5 ? job::Whole(args[3]) : -1;
    const std::int64_t end = args.size() == 5 ? job::Whole(args[4]) : -1;
    if (first < 0 || end <= first) {
        err << "tarvex-cli: --text-share needs the subtitles, the file to write and the "
               "share's first and end milliseconds\n";
        return 2;
    }
    try {
        const std::size_t kept = WriteTextShare(args[1], args[2], first, end);
        out << "Wrote " << kept << " subtitles to " << args[2] << ".\n";
        return 0;
    } catch (const std::exception& e) {
        err << "tarvex-cli: --text-share: " << e.what() << '\n';
        return 1;
    }
}

/// The actions run as a user would; a usage error ends the run with `TUsageError`.
int RunActions(const std::vector<std::string>& args, const std::string& exePath, std::ostream& out,
               std::ostream& err) {
    TRequest request;
    const std::vector<TAction> actions = ParseArgs(args, request);
    if (request.Help || request.Version) {
        out << (request.Help ? HelpText : "tarvex-cli " TARVEX_VERSION "\n");
        return 0;
    }

    TCliPlatform platform(err,
                          request.IniFile.empty() ? DefaultSettingsFile(exePath) : request.IniFile);
    TMainForm form(platform);
    for (const TAction& a : actions) Validate(form, a, false);
    form.FormCreate();
    bool made = true;
    for (const TAction& a : actions) {
        // A control's range and state are judged when its turn comes: an earlier
        // action may show, enable or fill it.
        Validate(form, a, true);
        if (a.Kind == TActionKind::Dump) {
            Dump(form, platform.Messages, out);
        } else if (a.Kind == TActionKind::MakeDisc) {
            const TCliMade outcome = MakeDiscInCli(form, a.Name, request.Replace, out, err);
            if (outcome == TCliMade::Cancelled) return 3; // nothing after a cancel runs
            made = outcome == TCliMade::Done && made;
        } else if (a.Kind == TActionKind::Report) {
            Report(form, platform.Messages, out);
        } else if (a.Kind == TActionKind::Candidates) {
            out << CandidatesJson(form).dump(2) << '\n';
        } else if (a.Kind == TActionKind::Script) {
            for (const std::string& line : form.AVSMemo.Lines()) out << line << '\n';
        } else if (!Perform(form, platform, a)) {
            // An earlier action disabled or hid it.
            throw TUsageError(a.Option + " " + a.Name + ": the control is disabled or hidden");
        }
    }
    return platform.Messages.empty() && made ? 0 : 1;
}

} // namespace

int RunCli(const std::vector<std::string>& args, const std::string& exePath, std::ostream& out,
           std::ostream& err) {
    if (!args.empty() && args[0] == "--pulldown") return Pulldown(args, out, err);
    if (!args.empty() && args[0] == "--subpictures") return Subpictures(args, out, err);
    if (!args.empty() && args[0] == "--text-share") return TextShare(args, out, err);
    try {
        return RunActions(args, exePath, out, err);
    } catch (const TUsageError& e) {
        err << "tarvex-cli: " << e.what() << '\n';
        return 2;
    }
}

} // namespace tarvex
