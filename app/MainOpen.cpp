// Opening a film however it comes: the dialog, the command line, a drop, the
// recent films.
#include "app/Main.h"

#include <algorithm>
#include <filesystem>

namespace tarvex {

bool TMainForm::OpenFilm(const std::string& file) {
    OpenDialogFile = file;
    if (ReadSource(file) != TOpenSrcFile::OpenOk) return false;
    FileNameSrc = file;
    ReadSourceTracks();
    SetFileInfos();
    MakeScript();
    if (const auto problem = ScriptNameProblem(FileNameSrc))
        Platform.ShowMessage("Error", "The name of this file cannot be written into an AviSynth "
                                      "script: " +
                                          *problem + ". Rename the file to make a script.");
    RememberFilm(file);
    ShowFilmInCaption();
    // "Made 1 disc image" spoke of the film before.
    if (!Making()) Make = {};
    return true;
}

void TMainForm::RememberFilm(const std::string& file) {
    auto end = std::remove(RecentFilms.begin(), RecentFilms.end(), file);
    std::fill(end, RecentFilms.end(), std::string());
    std::rotate(RecentFilms.begin(), RecentFilms.end() - 1, RecentFilms.end());
    RecentFilms.front() = file;
}

void TMainForm::ShowFilmInCaption() {
    Caption = AppName + " v" + Version;
    if (!FileNameSrc.empty())
        Caption = std::filesystem::path(FileNameSrc).filename().string() + " - " + Caption;
}

void TMainForm::RecentBtnClick() {
    std::vector<std::string> films;
    for (const std::string& film : RecentFilms)
        if (!film.empty()) films.push_back(film);
    if (films.empty()) {
        Platform.ShowMessage("Recent films", "No film has been opened yet.");
        return;
    }
    const std::optional<int> chosen = Platform.ChooseItem("Recent films", films);
    if (chosen && *chosen >= 0 && *chosen < static_cast<int>(films.size()))
        OpenFilm(films[static_cast<std::size_t>(*chosen)]);
}

} // namespace tarvex
