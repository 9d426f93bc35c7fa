// The platform services of the real window: Qt message boxes and file dialogs,
// the screen the window is on, and moving the window.
#pragma once

#include "app/Platform.h"

#include <QStringList>

#include <functional>
#include <string>

class QWidget;

namespace tarvex::qt {

/// Turns a filter of text and pattern pairs ("Scripts (*.avs)|*.avs;*.AVS|...")
/// into Qt name filters ("Scripts (*.avs *.AVS)"): the patterns replace a
/// parenthesised list at the end of the text, and "*.*" (every file) becomes "*".
QStringList DialogFilters(const std::string& filter);

/// Adds defaultExt to a file name whose last part has no extension. A default
/// extension with wildcards or several choices is not a single extension and
/// adds nothing.
std::string WithDefaultExt(const std::string& fileName, const std::string& defaultExt);

class TQtPlatform : public TPlatform {
  public:
    /// settingsFile: the settings file to use; empty means Tarvex.ini (after the
    /// program's name) beside the executable, or in the user's configuration
    /// folder when the executable's folder takes no new file.
    explicit TQtPlatform(std::string settingsFile = {}) : FSettingsFile(std::move(settingsFile)) {}

    /// The window that dialogs belong to and that is placed and moved.
    void SetWindow(QWidget* window) { FWindow = window; }

    void ShowMessage(const std::string& title, const std::string& text) override;
    std::optional<std::string> OpenDialog(const TFileDialog& dialog) override;
    std::optional<std::string> SaveDialog(const TFileDialog& dialog) override;
    std::optional<std::string> FolderDialog(const TFileDialog& dialog) override;
    bool Confirm(const std::string& title, const std::string& text) override;
    int Choose(const std::string& title, const std::string& text,
               const std::vector<std::string>& answers) override;
    /// A window of its own, not modal, with the text in a fixed-width font.
    void ShowReport(const std::string& title, const std::vector<std::string>& lines) override;
    /// A menu below the focused control.
    std::optional<int> ChooseItem(const std::string& title,
                                  const std::vector<std::string>& items) override;
    std::string FileVersionText() override;
    std::string SettingsFileName(const std::string& appName) override;
    /// Closing writes the settings next: makes the folder they go to.
    bool MayWriteSettings() override;

    TScreenInfo Screen() override;
    TPoint WindowPosition() override;
    TSize WindowSize() override;
    void MoveWindow(TPoint position) override;
    /// Runs `work` from the event loop, then `AfterPosted` (the window refreshes).
    void Post(std::function<void()> work) override;
    void ShowPreview() override {
        if (OpenPreview) OpenPreview();
    }

    std::function<void()> AfterPosted;
    std::function<void()> OpenPreview;

  private:
    std::string FSettingsFile;
    std::string FChosenSettingsFile; ///< the name last handed out
    QWidget* FWindow = nullptr;
};

} // namespace tarvex::qt
