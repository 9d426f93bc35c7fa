#include "app/cli/Reports.h"

#include "disc/Chapters.h"

#include "common/Numeric.h"

#include <ostream>

namespace tarvex {

namespace {

/// Text that is not UTF-8 (a file name, say) is printed with replacement characters.
void Print(const nlohmann::ordered_json& j, std::ostream& out) {
    out << j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

const char* ColourName(TColour colour) {
    switch (colour) {
    case TColour::Black:
        return "black";
    case TColour::Yellow:
        return "yellow";
    case TColour::Red:
        return "red";
    case TColour::Green:
        return "green";
    case TColour::Navy:
        return "navy";
    default:
        return "default";
    }
}

nlohmann::ordered_json Describe(const TAnyControl& any) {
    nlohmann::ordered_json j;
    std::visit(
        [&](auto* c) {
            using T = std::remove_pointer_t<decltype(c)>;
            if constexpr (std::is_same_v<T, TEdit>) {
                j["Kind"] = "edit";
                j["Text"] = c->Text();
                j["ReadOnly"] = c->ReadOnly();
                j["MaxLength"] = c->MaxLength();
            } else if constexpr (std::is_same_v<T, TUpDown>) {
                j["Kind"] = "up-down";
                j["Position"] = c->Position();
                j["Min"] = c->Min();
                j["Max"] = c->Max();
            } else if constexpr (std::is_same_v<T, TComboBox>) {
                j["Kind"] = "list";
                j["Items"] = c->Items();
                j["ItemIndex"] = c->ItemIndex();
                j["Text"] = c->Text();
            } else if constexpr (std::is_same_v<T, TCheckBox>) {
                j["Kind"] = "check box";
                j["Caption"] = c->Caption();
                j["Checked"] = c->Checked();
            } else if constexpr (std::is_same_v<T, TTrackBar>) {
                j["Kind"] = "track bar";
                j["Position"] = c->Position();
                j["Min"] = c->Min();
                j["Max"] = c->Max();
            } else if constexpr (std::is_same_v<T, TLabel>) {
                j["Kind"] = "label";
                j["Caption"] = c->Caption();
                if (c->FontColour() != TColour::Default)
                    j["FontColour"] = ColourName(c->FontColour());
            } else if constexpr (std::is_same_v<T, TMemo>) {
                j["Kind"] = "memo";
                j["Lines"] = c->Lines();
            } else {
                j["Kind"] = "button";
                j["Caption"] = c->Caption();
            }
            j["Hint"] = c->Hint();
            j["Enabled"] = c->Enabled();
            j["Visible"] = c->Visible();
        },
        any);
    return j;
}

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

/// What the disc carries: its chapters, the sound tracks of its streams, its subtitles.
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

nlohmann::ordered_json Size(int width, int height) {
    return {{"width", width}, {"height", height}};
}

nlohmann::ordered_json Area(int width, int height, int left, int top) {
    return {{"width", width}, {"height", height}, {"left", left}, {"top", top}};
}

/// kbps from bps, as the window shows rates.
double ToKbps(double bps) {
    return bps / 1000;
}

} // namespace

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

void Dump(const TMainForm& form, const std::vector<std::string>& messages, std::ostream& out) {
    nlohmann::ordered_json j;
    j["Caption"] = form.Caption;
    for (const TAnyControl& c : form.AllControls()) j[AsControl(c).Name()] = Describe(c);
    j["Messages"] = messages;
    j["Warnings"] = WarningsJson(form);
    j["DiscFill"] = DiscFillJson(form);
    Print(j, out);
}

/// What the window computed, in the words of someone converting a film.
void Report(const TMainForm& form, const std::vector<std::string>& messages, std::ostream& out) {
    const TResizeStruct& geometry = form.ResizeModel;
    const TCDImage& disc = form.DiscImage;
    const TBorderRect borders = geometry.GetBorders();
    nlohmann::ordered_json j;
    j["source"] = {{"file", form.FileNameSrc},
                   {"size", Size(geometry.SrcResX, geometry.SrcResY)},
                   {"frameRate", geometry.SrcFrameRate},
                   {"frames", geometry.SrcFrameCount},
                   {"kind", form.SrcAspectBox.Text()},
                   {"pal", form.SrcPALBox.Checked()},
                   {"anamorphic", form.SrcAnamorphic.Checked()}};
    nlohmann::ordered_json error = nullptr;
    if (form.LastCrop.Error) error = *form.LastCrop.Error;
    j["geometry"] = {
        {"filmArea",
         Area(geometry.SrcPixelX, geometry.SrcPixelY, geometry.BorderLeft, geometry.BorderTop)},
        {"crop", Area(geometry.CropX, geometry.CropY, geometry.CropLeft, geometry.CropTop)},
        {"resize", Size(geometry.ResizeX, geometry.ResizeY)},
        {"borders",
         {{"left", borders.Left},
          {"top", borders.Top},
          {"right", borders.Right},
          {"bottom", borders.Bottom}}},
        {"destination",
         {{"size", Size(geometry.DestX, geometry.DestY)},
          {"kind", form.DestAspectBox.Text()},
          {"pal", form.DestPALBox.Checked()},
          {"anamorphic", form.DestAnamorphic.Checked()}}},
        {"aspectErrorPercent", error}};
    j["budget"] = {{"filmSeconds", form.FilmSeconds},
                   {"videoKbps", ToKbps(disc.VideoRate)},
                   {"videoKbpsLimits",
                    {{"min", ToKbps(disc.MinVideoRate)}, {"max", ToKbps(disc.MaxVideoRate)}}},
                   {"audioKbps", {ToKbps(disc.Audio1Rate), ToKbps(disc.Audio2Rate)}},
                   {"discs", form.DiscCount},
                   {"discType", form.CDTypeBox.Text()},
                   {"imageBlocksPerDisc", disc.ImageBlocks},
                   {"unusedBlocksPerDisc", disc.UnusedBlocks}};
    j["disc"] = DiscContentJson(form);
    j["script"] = form.AVSMemo.Lines();
    j["warnings"] = nlohmann::ordered_json::array();
    for (const TWarning& w : form.Warnings()) j["warnings"].push_back(w.Text);
    j["messages"] = messages;
    Print(j, out);
}

} // namespace tarvex
