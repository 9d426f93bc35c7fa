#include "app/cli/MakeDisc.h"

#include "app/Main.h"

#include <atomic>
#include <csignal>
#include <ostream>

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
    try {
        (void)form.DiscJob(dir);
    } catch (const TJobError& e) {
        err << "tarvex-cli: --make-disc: " << e.what() << '\n';
        return TCliMade::Failed;
    }
    for (const TWarning& w : form.Warnings())
        err << "tarvex-cli: --make-disc: warning: " << w.Text << '\n';
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
    TMakeResult result;
    {
        const TMakingNow making;
        result = MakePlan(form.DiscPlan(), dir, options);
    }
    if (result.Status == TMakeStatus::Cancelled) {
        err << "tarvex-cli: --make-disc: " << result.Message << '\n';
        return TCliMade::Cancelled;
    }
    std::vector<std::string> report = form.DiscReport(result, form.DiscImage);
    if (!result.Discs.empty()) TMainForm::SaveDiscReport(report, dir);
    for (const std::string& line : report) out << line << '\n';
    const std::string unfit = TMainForm::Unfit(result, form.DiscImage);
    if (!unfit.empty()) err << "tarvex-cli: --make-disc: " << unfit << '\n';
    return result.Status == TMakeStatus::Done && unfit.empty() ? TCliMade::Done : TCliMade::Failed;
}

} // namespace tarvex
