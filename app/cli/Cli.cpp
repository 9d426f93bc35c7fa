#include "app/cli/Cli.h"

#include "app/Main.h"
#include "app/SettingsPath.h"
#include "app/cli/CliArgs.h"
#include "app/cli/MakeDisc.h"
#include "app/cli/Reports.h"
#include "disc/Pulldown.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <optional>
#include <ostream>

namespace tarvex {

namespace {

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

const char* KindName(TActionKind kind) {
    switch (kind) {
    case TActionKind::Type:
        return "an edit";
    case TActionKind::Select:
        return "a list";
    case TActionKind::Check:
        return "a check box";
    case TActionKind::Slide:
        return "a track bar";
    case TActionKind::Up:
    case TActionKind::Down:
        return "an up-down";
    default:
        return "a button";
    }
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
    const auto wrongKind = [&] {
        throw TUsageError(a.Option + ": " + a.Name + " is not " + KindName(a.Kind));
    };
    switch (a.Kind) {
    case TActionKind::Type:
        if (!std::holds_alternative<TEdit*>(*control)) wrongKind();
        break;
    case TActionKind::Select:
        if (!std::holds_alternative<TComboBox*>(*control)) wrongKind();
        if (ranges) {
            const int count = std::get<TComboBox*>(*control)->Count();
            if (a.Number < 0 || a.Number >= count)
                throw TUsageError(a.Option + " " + a.Name + ": the index must lie in 0.." +
                                  std::to_string(count - 1));
        }
        break;
    case TActionKind::Check:
        if (!std::holds_alternative<TCheckBox*>(*control)) wrongKind();
        break;
    case TActionKind::Slide:
        if (!std::holds_alternative<TTrackBar*>(*control)) wrongKind();
        if (ranges) {
            const TTrackBar* bar = std::get<TTrackBar*>(*control);
            if (a.Number < bar->Min() || a.Number > bar->Max())
                throw TUsageError(a.Option + " " + a.Name + ": the position must lie in " +
                                  std::to_string(bar->Min()) + ".." + std::to_string(bar->Max()));
        }
        break;
    case TActionKind::Up:
    case TActionKind::Down:
        if (!std::holds_alternative<TUpDown*>(*control)) wrongKind();
        break;
    default:
        if (!std::holds_alternative<TButton*>(*control)) wrongKind();
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
    case TActionKind::Type: {
        TEdit& edit = *std::get<TEdit*>(*control);
        if (!edit.Focus()) return false;
        edit.SelectAll();
        if (a.Text.empty())
            edit.TypeKey(TEdit::Backspace);
        else
            edit.TypeKeys(a.Text);
        return edit.Leave();
    }
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

/// The actions run as a user would; a usage error ends the run with `TUsageError`.
int RunActions(const std::vector<std::string>& args, const std::string& exePath, std::ostream& out,
               std::ostream& err) {
    TRequest request;
    const std::vector<TAction> actions = ParseArgs(args, request);
    if (request.Help || request.Version) {
        out << (request.Help ? CliHelpText : "tarvex-cli " TARVEX_VERSION "\n");
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
    try {
        return RunActions(args, exePath, out, err);
    } catch (const TUsageError& e) {
        err << "tarvex-cli: " << e.what() << '\n';
        return 2;
    }
}

} // namespace tarvex
