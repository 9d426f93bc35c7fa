#include "app/cli/MakeDisc.h"

#include "app/Main.h"
#include "common/Numeric.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <ostream>
#include <string>
#include <variant>

namespace tarvex {

namespace {

/// Set by a signal while discs are made; read by the running job.
std::atomic<bool> SignalCancel{false};
/// Whether a signal should cancel the job rather than end the program.
volatile std::sig_atomic_t MakingNow = 0;

static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnCancelSignal(int signal) {
    if (MakingNow == 0) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    SignalCancel.store(true);
}

/// Marks the time discs are made, so that a signal cancels them.
class TMakingNow {
  public:
    TMakingNow() {
        SignalCancel = false;
        MakingNow = 1;
    }
    ~TMakingNow() { MakingNow = 0; }
    TMakingNow(const TMakingNow&) = delete;
    TMakingNow& operator=(const TMakingNow&) = delete;
};

/// The fix as the options that make it, from the control's present state.
std::string FixOptions(const TMainForm& form, const TFix& fix) {
    const std::string name = fix.Control + "=";
    switch (fix.Kind) {
    case TFix::TKind::Select:
    case TFix::TKind::Check:
        return (fix.Kind == TFix::TKind::Select ? "--select " : "--check ") + name +
               IntToStr(fix.Value);
    case TFix::TKind::Position: {
        const TAnyControl* control = form.FindControl(fix.Control);
        const int now = control ? std::get<TUpDown*>(*control)->Position() : fix.Value;
        return (now < fix.Value ? "--up " : "--down ") + name + IntToStr(std::abs(fix.Value - now));
    }
    case TFix::TKind::None:
        break;
    }
    return "";
}

/// Says why no player would accept the discs, with the options that fix it; false
/// when there is such a reason.
bool MayMakeDiscs(const TMainForm& form, std::ostream& err) {
    const std::vector<TWarning> refusals = form.Refusals();
    for (const TWarning& w : refusals) {
        err << "tarvex-cli: --make-disc: refused: " << w.Text << '\n';
        if (w.Fix.Kind != TFix::TKind::None)
            err << "tarvex-cli: --make-disc: fix: " << FixOptions(form, w.Fix) << '\n';
    }
    return refusals.empty();
}

} // namespace

void CatchCancelSignals() {
    struct sigaction action {};
    action.sa_handler = OnCancelSignal;
    action.sa_flags = SA_RESTART; // the running job polls the flag
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

TCliMade MakeDiscInCli(const TMainForm& form, const std::string& dir, bool replace,
                       std::ostream& out, std::ostream& err) {
    if (!MayMakeDiscs(form, err)) return TCliMade::Failed;
    try {
        (void)form.DiscJob(dir);
    } catch (const TJobError& e) {
        err << "tarvex-cli: --make-disc: " << e.what() << '\n';
        return TCliMade::Failed;
    }
    for (const TWarning& w : form.Warnings())
        if (!w.Refuses) err << "tarvex-cli: --make-disc: warning: " << w.Text << '\n';
    TMakeOptions options;
    options.Replace = replace;
    options.Cancel = &SignalCancel;
    int shown = -1;
    options.OnProgress = [&](const TProgress& p) {
        const int percent = static_cast<int>(p.Fraction * 100);
        if (percent / 5 == shown) return;
        shown = percent / 5;
        err << percent << " % " << p.Step;
        if (p.SecondsLeft >= 0) err << ", " << static_cast<long long>(p.SecondsLeft) << " s left";
        err << '\n';
    };
    const TDiscPlan plan = form.DiscPlan();
    TMakeResult result;
    {
        const TMakingNow making;
        result = MakePlan(plan, dir, options);
    }
    if (result.Status == TMakeStatus::Cancelled) {
        err << "tarvex-cli: --make-disc: " << result.Message << '\n';
        return TCliMade::Cancelled;
    }
    std::vector<std::string> report = form.DiscReport(result, form.DiscImage, plan);
    if (!result.Discs.empty()) TMainForm::SaveDiscReport(report, dir);
    for (const std::string& line : report) out << line << '\n';
    const std::string unfit = TMainForm::Unfit(result, form.DiscImage);
    if (!unfit.empty()) err << "tarvex-cli: --make-disc: " << unfit << '\n';
    return result.Status == TMakeStatus::Done && unfit.empty() ? TCliMade::Done : TCliMade::Failed;
}

} // namespace tarvex
