// Long work on a thread of its own: cancelled on request, joined before it goes,
// its progress and its one result kept here for the owner to take on its own thread.
#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

namespace tarvex {

/// Runs `work` on a thread of its own. The work reports progress and ends with a
/// result; a work that throws ends with the result `failed` makes of the error's
/// text, so there is always exactly one result. After each report and after the
/// result, `wake` is called on the worker thread (to tell the owner to take them);
/// the worker holds no pointer but into this object, which joins it before it goes.
template <class TProgress, class TResult>
class TBackgroundJob {
  public:
    using TReport = std::function<void(const TProgress&)>;
    using TWork = std::function<TResult(const TReport& report, const std::atomic<bool>& cancel)>;
    using TFailed = std::function<TResult(const std::string& what)>;

    TBackgroundJob(TWork work, TFailed failed, std::function<void()> wake)
        : Wake(std::move(wake)), Worker([this, work = std::move(work), failed = std::move(failed)] {
              Finish(Run(work, failed));
          }) {}
    /// Cancels the work and waits for its thread.
    ~TBackgroundJob() { Stop(); }
    TBackgroundJob(const TBackgroundJob&) = delete;
    TBackgroundJob& operator=(const TBackgroundJob&) = delete;

    void Cancel() { CancelFlag = true; }
    bool Cancelled() const { return CancelFlag; }
    /// Cancels and waits until the work has ended.
    void Stop() {
        Cancel();
        if (Worker.joinable()) Worker.join();
    }

    /// The latest progress not taken yet.
    std::optional<TProgress> TakeProgress() {
        const std::lock_guard<std::mutex> hold(Lock);
        return std::exchange(Progress, std::nullopt);
    }
    /// The result, once, after the work has ended.
    std::optional<TResult> TakeResult() {
        const std::lock_guard<std::mutex> hold(Lock);
        return std::exchange(Result, std::nullopt);
    }

  private:
    TResult Run(const TWork& work, const TFailed& failed) {
        const TReport report = [this](const TProgress& p) {
            {
                const std::lock_guard<std::mutex> hold(Lock);
                Progress = p;
            }
            Notify();
        };
        try {
            return work(report, CancelFlag);
        } catch (const std::exception& e) {
            return failed(e.what());
        } catch (...) {
            return failed("an unknown error");
        }
    }
    void Finish(TResult result) {
        {
            const std::lock_guard<std::mutex> hold(Lock);
            Result = std::move(result);
        }
        Notify();
    }
    void Notify() {
        try {
            if (Wake) Wake();
        } catch (...) {
            // The owner takes the result when it next looks; a lost wake-up is no reason to end.
        }
    }

    std::function<void()> Wake;
    std::atomic<bool> CancelFlag{false};
    std::mutex Lock;
    std::optional<TProgress> Progress;
    std::optional<TResult> Result;
    std::thread Worker; ///< last: it starts once everything above is made
};

} // namespace tarvex
