// Fuzzes the window's start-up from its settings file. The input is the settings
// file, optionally followed by "@@SOURCE@@", one byte choosing the type of a source
// file s.* (.avi .d2v .mpg .lst) and that file's bytes. The window starts (a stored
// FileNameSrc=s.avi opens it at once), opens the source as the open button does,
// closes and writes its settings, then starts and closes once more on what it wrote.
#include "FuzzFolder.h"

#include "app/Main.h"

#include <array>
#include <cstdint>
#include <filesystem>

using namespace tarvex;

namespace {

class TFuzzPlatform : public TPlatform {
  public:
    void ShowMessage(const std::string& title, const std::string& text) override {
        Shown += title.size() + text.size();
    }
    std::optional<std::string> OpenDialog(const TFileDialog&) override { return Source; }
    std::optional<std::string> SaveDialog(const TFileDialog&) override { return std::nullopt; }
    std::string FileVersionText() override { return "1.0.0.0"; }
    std::string SettingsFileName(const std::string& appName) override { return appName + ".ini"; }

    std::optional<std::string> Source;
    std::size_t Shown = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const TTempFolder folder(fuzz::FuzzFolderBase());
    const fuzz::TInFolder inside(folder);
    static const std::array<std::string, 4> types = {".avi", ".d2v", ".mpg", ".lst"};
    for (const auto& type : types) {
        std::error_code ec;
        std::filesystem::remove("s" + type, ec);
    }
    std::string_view settings, source;
    const bool withSource = fuzz::Split(std::string_view(reinterpret_cast<const char*>(data), size),
                                        "@@SOURCE@@", settings, source);
    fuzz::WriteFile("Tarvex.ini", settings);

    TFuzzPlatform platform;
    if (withSource && !source.empty()) {
        platform.Source = "s" + types[static_cast<unsigned char>(source[0]) & 3];
        fuzz::WriteFile(*platform.Source, source.substr(1));
    }
    {
        TMainForm form(platform);
        form.FormCreate();
        if (platform.Source) form.OpenVideoBtnClick();
        form.FormClose();
    }
    TMainForm again(platform);
    again.FormCreate();
    again.FormClose();
    return 0;
}
