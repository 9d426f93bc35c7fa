// A main window over a test platform: dialogs answer from a queue, message
// boxes are recorded, the settings file lives in a fresh temporary folder.
#pragma once

#include "app/Main.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>

namespace tarvex {

inline void PrintTo(const TPoint& p, std::ostream* os) {
    *os << "(" << p.X << ", " << p.Y << ")";
}
inline void PrintTo(const TRect& r, std::ostream* os) {
    *os << "(" << r.Left << ", " << r.Top << ", " << r.Right << ", " << r.Bottom << ")";
}

class TTestPlatform : public TPlatform {
  public:
    void ShowMessage(const std::string& title, const std::string& text) override {
        Messages.push_back(title + ": " + text);
    }
    std::optional<std::string> OpenDialog(const TFileDialog& dialog) override {
        LastDialog = dialog;
        return Next();
    }
    std::optional<std::string> SaveDialog(const TFileDialog& dialog) override {
        LastDialog = dialog;
        return Next();
    }
    std::optional<std::string> FolderDialog(const TFileDialog& dialog) override {
        LastDialog = dialog;
        return Next();
    }
    bool Confirm(const std::string& title, const std::string& text) override {
        Messages.push_back(title + "? " + text);
        return Answer;
    }
    int Choose(const std::string& title, const std::string& text,
               const std::vector<std::string>& answers) override {
        Messages.push_back(title + "? " + text);
        Answers = answers;
        return Choice;
    }
    void ShowReport(const std::string& title, const std::vector<std::string>& lines) override {
        Reports.push_back({title, lines});
    }
    std::optional<int> ChooseItem(const std::string&,
                                  const std::vector<std::string>& items) override {
        Offered = items;
        return ItemChoice;
    }
    std::string FileVersionText() override { return "1.0.0.0"; }
    std::string SettingsFileName(const std::string& appName) override {
        return (Folder / (appName + ".ini")).string();
    }

    TScreenInfo Screen() override { return ScreenInfo; }
    TPoint WindowPosition() override { return Position; }
    void MoveWindow(TPoint position) override { Position = position; }

    std::optional<std::string> Next() {
        if (Files.empty()) return std::nullopt;
        auto file = Files.front();
        Files.pop_front();
        return file;
    }

    std::filesystem::path Folder;
    std::deque<std::optional<std::string>> Files; ///< answers of the next dialogs
    std::vector<std::string> Messages;
    bool Answer = true;               ///< to every question
    int Choice = -1;                  ///< the answer to every question with answers of its own
    std::vector<std::string> Answers; ///< those of the last such question
    std::vector<std::pair<std::string, std::vector<std::string>>> Reports;
    TFileDialog LastDialog;
    std::vector<std::string> Offered; ///< the items of the last choice
    std::optional<int> ItemChoice;    ///< the answer to every choice of an item
    TScreenInfo ScreenInfo;
    TPoint Position{40, 30}; ///< where the system put the new window
};

class FormTest : public ::testing::Test {
  protected:
    /// Writes the settings file before start-up (a key=value text).
    void WriteSettings(const std::string& text) { std::ofstream(Temp.Path / "Tarvex.ini") << text; }
    /// Starts the window as the program does.
    TMainForm& Start() {
        Platform.Folder = Temp.Path;
        Form = std::make_unique<TMainForm>(Platform);
        Form->FormCreate();
        return *Form;
    }
    /// Types text into an edit as a user does, then leaves it.
    static void Type(TEdit& edit, const std::string& text) {
        edit.Focus();
        edit.SelectAll();
        if (text.empty())
            edit.TypeKey(TEdit::Backspace);
        else
            edit.TypeKeys(text);
        edit.Leave();
    }
    static void Check(TCheckBox& box, bool checked) {
        if (box.Checked() != checked) box.Click();
    }

    TTempFolder Temp;
    TTestPlatform Platform;
    std::unique_ptr<TMainForm> Form;
};

} // namespace tarvex

namespace tarvex {

/// Every control's visible state as one line each, for comparing whole windows.
inline std::vector<std::string> Snapshot(const TMainForm& form) {
    std::vector<std::string> lines;
    for (const TAnyControl& any : form.AllControls()) {
        std::visit(
            [&](auto* c) {
                using T = std::remove_pointer_t<decltype(c)>;
                std::string s = c->Name() + "|" + c->Hint() + "|" + (c->Enabled() ? "E" : "-") +
                                (c->Visible() ? "V" : "-") + "|";
                if constexpr (std::is_same_v<T, TEdit>)
                    s += c->Text();
                else if constexpr (std::is_same_v<T, TUpDown> || std::is_same_v<T, TTrackBar>)
                    s += std::to_string(c->Position());
                else if constexpr (std::is_same_v<T, TComboBox>)
                    s += std::to_string(c->ItemIndex()) + "/" + std::to_string(c->Count());
                else if constexpr (std::is_same_v<T, TCheckBox>)
                    s += c->Checked() ? "1" : "0";
                else if constexpr (std::is_same_v<T, TLabel>)
                    s += c->Caption() + "|" + std::to_string(static_cast<int>(c->FontColour()));
                else if constexpr (std::is_same_v<T, TMemo>)
                    s += c->Text();
                else
                    s += c->Caption();
                lines.push_back(s);
            },
            any);
    }
    return lines;
}

/// What a control shows the user: an edit's, a list's or a memo's text, a label's or a
/// button's caption, a check box's tick as 1 or 0, an up-down's or a slider's position.
inline std::string ShownBy(const TAnyControl& any) {
    return std::visit(
        [](auto* c) -> std::string {
            using T = std::remove_pointer_t<decltype(c)>;
            if constexpr (std::is_same_v<T, TEdit> || std::is_same_v<T, TComboBox> ||
                          std::is_same_v<T, TMemo>)
                return c->Text();
            else if constexpr (std::is_same_v<T, TCheckBox>)
                return c->Checked() ? "1" : "0";
            else if constexpr (std::is_same_v<T, TUpDown> || std::is_same_v<T, TTrackBar>)
                return std::to_string(c->Position());
            else
                return c->Caption();
        },
        any);
}

/// Whether every control shows its value, given as "Name=value; Name=value"; a failure
/// lists each control that shows otherwise.
inline ::testing::AssertionResult Shows(const TMainForm& form, const std::string& expected) {
    std::string wrong;
    for (std::size_t at = 0; at < expected.size();) {
        const std::size_t end = std::min(expected.find("; ", at), expected.size());
        const std::string row = expected.substr(at, end - at);
        at = end + 2;
        const std::string name = row.substr(0, row.find('='));
        const std::string value = row.substr(std::min(row.size(), name.size() + 1));
        const TAnyControl* any = form.FindControl(name);
        const std::string shown = any != nullptr ? ShownBy(*any) : "(no such control)";
        if (shown != value) wrong += "\n  " + name + ": \"" + shown + "\", not \"" + value + "\"";
    }
    if (wrong.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "controls show otherwise:" << wrong;
}

} // namespace tarvex
