// What a front end supplies to the main window: message boxes, file dialogs,
// window placement and the version text.
#pragma once

#include "app/FancyMoving.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tarvex {

/// The screen the window is on, as the system and the shell report it.
struct TScreenInfo {
    std::int32_t Width = 1024;
    std::int32_t Height = 768;
    TRect WorkArea{0, 0, 1024, 768}; ///< the screen less docked taskbars
    TTaskbarState Taskbar;
};

/// Options of a file dialog, as the window describes it.
struct TFileDialog {
    std::string Title;
    std::string FileName;   ///< proposed file name (may carry a folder)
    std::string DefaultExt; ///< extension added to a name typed without one
    std::string Filter;     ///< pairs of text and patterns separated by '|'
    bool MustExist = false; ///< path and file must exist (open dialog)
};

class TPlatform {
  public:
    virtual ~TPlatform() = default;

    /// A modal message box with an OK button.
    virtual void ShowMessage(const std::string& title, const std::string& text) = 0;
    /// The chosen file, or nothing when the user cancels.
    virtual std::optional<std::string> OpenDialog(const TFileDialog& dialog) = 0;
    virtual std::optional<std::string> SaveDialog(const TFileDialog& dialog) = 0;
    /// A folder the user chooses (Title and FileName, the folder to start in, are
    /// used), or nothing; a front end without dialogs chooses none.
    virtual std::optional<std::string> FolderDialog(const TFileDialog& /*dialog*/) {
        return std::nullopt;
    }
    /// A question answered with yes or no; a front end that cannot ask says yes.
    virtual bool Confirm(const std::string& /*title*/, const std::string& /*text*/) { return true; }
    /// A question answered by one of `answers` (the last one cancels); the index of
    /// the answer, or -1 when none was chosen. A front end that cannot ask chooses none.
    virtual int Choose(const std::string& /*title*/, const std::string& /*text*/,
                       const std::vector<std::string>& /*answers*/) {
        return -1;
    }
    /// A longer text the user may read at leisure and copy (the report of the discs
    /// made); by default a message box.
    virtual void ShowReport(const std::string& title, const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& line : lines) text += line + "\n";
        ShowMessage(title, text);
    }

    /// One of `items` the user picks (its index), or nothing; a front end without
    /// menus picks none.
    virtual std::optional<int> ChooseItem(const std::string& /*title*/,
                                          const std::vector<std::string>& /*items*/) {
        return std::nullopt;
    }

    /// Version text of the program, for example "1.0.0.0"; "0" when unknown.
    virtual std::string FileVersionText() = 0;
    /// Full name of the settings file to read and write.
    virtual std::string SettingsFileName(const std::string& appName) = 0;
    /// Whether closing may write the settings file.
    virtual bool MayWriteSettings() { return true; }
    /// Whether the start-up version check may delete an outdated settings file.
    virtual bool MayDeleteSettings() { return true; }

    /// The screen, the window's outer position and size, and moving the window.
    virtual TScreenInfo Screen() { return {}; }
    virtual TPoint WindowPosition() { return {}; }
    virtual TSize WindowSize() { return {586, 547}; }
    virtual void MoveWindow(TPoint /*position*/) {}
    /// Opens the preview window (a front end without one ignores it).
    virtual void ShowPreview() {}

    /// Hands `work` to the window's thread: a worker thread's results come back so.
    /// Safe on any thread. Here it waits in a queue that `RunPosted` empties; a
    /// window's platform runs it from its event loop instead.
    virtual void Post(std::function<void()> work) {
        {
            std::lock_guard<std::mutex> hold(FPostLock);
            FPosted.push_back(std::move(work));
        }
        FPostArrived.notify_all();
    }
    /// Runs the work posted so far, on the calling thread; with `wait`, first waits
    /// until there is some.
    void RunPosted(bool wait) {
        std::deque<std::function<void()>> posted;
        {
            std::unique_lock<std::mutex> hold(FPostLock);
            if (wait) FPostArrived.wait(hold, [this] { return !FPosted.empty(); });
            posted.swap(FPosted);
        }
        for (auto& work : posted) work();
    }

  private:
    std::mutex FPostLock;
    std::condition_variable FPostArrived;
    std::deque<std::function<void()>> FPosted;
};

/// Tells the window's thread that a worker has something for it: `Wake` (any
/// thread) posts a call of `onWake` to the platform, until `Cut` (the window's
/// thread) ends that for good. A worker holds this object, never the window; once
/// `Cut` returns, no worker reaches the platform and nothing posted calls `onWake`.
class TWaker : public std::enable_shared_from_this<TWaker> {
  public:
    TWaker(TPlatform& platform, std::function<void()> onWake)
        : Platform(&platform), OnWake(std::move(onWake)) {}

    void Wake() {
        const std::lock_guard<std::mutex> hold(Lock);
        if (Platform)
            Platform->Post([weak = weak_from_this()] {
                if (const auto self = weak.lock()) self->Run();
            });
    }
    void Cut() {
        const std::lock_guard<std::mutex> hold(Lock);
        Platform = nullptr;
    }

  private:
    void Run() {
        {
            const std::lock_guard<std::mutex> hold(Lock);
            if (!Platform) return;
        }
        OnWake(); // on the window's thread, which alone cuts
    }

    std::mutex Lock;
    TPlatform* Platform;
    std::function<void()> OnWake;
};

} // namespace tarvex
