#include "app/cli/Reports.h"

#include "disc/Chapters.h"

#include "common/Numeric.h"

namespace tarvex {

nlohmann::ordered_json WarningsJson(const TMainForm& form) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const TWarning& w : form.Warnings())
        list.push_back({{"Code", w.Code}, {"Concerns", w.Concerns}, {"Text", w.Text}});
    return list;
}

nlohmann::ordered_json DiscFillJson(const TMainForm& form) {
    const TDiscFill fill = form.DiscFill();
    nlohmann::ordered_json parts = nlohmann::ordered_json::array();
    for (const TFillShare& share : fill.Parts)
        parts.push_back({{"Part", FillPartName(share.Part)},
                         {"Blocks", share.Blocks},
                         {"Bytes", share.Bytes},
                         {"KB", Round(static_cast<Real>(share.Bytes) / 1024)}});
    return {{"Discs", form.DiscCount},         {"BlocksUsable", fill.BlocksUsable},
            {"ImageBlocks", fill.ImageBlocks}, {"OverrunBlocks", fill.OverrunBlocks},
            {"SectorSize", fill.SectorSize},   {"Parts", parts}};
}

nlohmann::ordered_json CandidatesJson(const TMainForm& form) {
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (const TResizeCandidate& c : form.ResizeCandidates()) {
        nlohmann::ordered_json row{{"Width", c.Width}, {"Height", c.Height}};
        row["AspectError"] = c.Error ? nlohmann::ordered_json(*c.Error) : nullptr;
        row["FilmKeptPercent"] = static_cast<double>(Round(c.FilmKept * 1000.0L)) / 10;
        row["Blocks"] = c.Blocks;
        row["BitsPerBlock"] = c.BitsPerBlock;
        row["Borders"] = {{"Left", c.Borders.Left},
                          {"Top", c.Borders.Top},
                          {"Right", c.Borders.Right},
                          {"Bottom", c.Borders.Bottom}};
        row["Suggested"] = c.Suggested;
        row["Current"] = c.Current;
        rows.push_back(row);
    }
    return {{"RoundY", form.ResizeModel.DestPixelRoundY},
            {"VideoRate", form.DiscImage.VideoRate},
            {"Candidates", rows}};
}

nlohmann::ordered_json DiscContentJson(const TMainForm& form) {
    const TDiscExtras extras = form.DiscExtras();
    nlohmann::ordered_json chapters = nlohmann::ordered_json::array();
    for (const double start : extras.Chapters) chapters.push_back(ChapterTime(start));
    nlohmann::ordered_json sound = nlohmann::ordered_json::array();
    for (const TComboBox* box : {&form.Sound1Box, &form.Sound2Box}) sound.push_back(box->Text());
    nlohmann::ordered_json subtitles = nlohmann::ordered_json::array();
    for (const TDiscSubtitle& s : extras.Subtitles)
        subtitles.push_back({{"stream", s.Index},
                             {"file", s.File},
                             {"language", s.Language},
                             {"pictures", s.Pictures}});
    return {{"chapters", chapters},
            {"soundTracks", sound},
            {"subtitles", subtitles},
            {"menuPictures", extras.MenuPictures}};
}

} // namespace tarvex
