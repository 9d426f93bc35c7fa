// The DVD's title menu: a still from the film with its title and a row of buttons
// each to play, to choose a chapter, a sound stream and the subtitles.
#include "disc/DvdExtras.h"

#include "disc/JobParts.h"

#include <algorithm>
#include <cmath>

namespace tarvex {

namespace {

using job::Concat;
using job::FfmpegStart;
using job::Step;

const char* const MenuFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
/// The menu's constant video rate. Its still plays one group of pictures before it
/// pauses: a single I-frame, so that a noisy film's still stays within the 150 blocks
/// the budget keeps for a menu picture (two seconds held four I-frames and took 183).
constexpr const char* MenuRate = "3600k";

/// A row of buttons after its caption; each button as wide as its label.
void AddRow(std::vector<TMenuButton>& buttons, std::vector<TMenuButton> row, int y, int scale) {
    int x = 260 * scale / 100;
    for (TMenuButton& b : row) {
        const int width = (18 + 16 * static_cast<int>(b.Label.size())) * scale / 100;
        b.X0 = x & ~1;
        b.X1 = (x + width) & ~1;
        b.Y0 = y & ~1;
        b.Y1 = (y + 36 * scale / 100) & ~1;
        x += width + 12;
        buttons.push_back(b);
    }
}

std::string Label(const std::string& language, int number) {
    return language.empty() ? IntToStr(number) : language;
}

std::string Drawtext(const std::string& textFile, int x, int y, int size) {
    return "drawtext=fontfile=" + std::string(MenuFont) + ":textfile=" + textFile +
           ":fontcolor=white:fontsize=" + IntToStr(size) + ":x=" + IntToStr(x) +
           ":y=" + IntToStr(y);
}

/// Rectangles around the buttons on a transparent frame, for spumux.
std::vector<std::string> Outline(const std::vector<TMenuButton>& buttons, int width, int height,
                                 const char* colour, const std::string& png) {
    std::string graph =
        "color=c=black@0.0:s=" + IntToStr(width) + "x" + IntToStr(height) + ",format=rgba";
    for (const TMenuButton& b : buttons)
        graph += ",drawbox=x=" + IntToStr(b.X0) + ":y=" + IntToStr(b.Y0) +
                 ":w=" + IntToStr(b.X1 - b.X0) + ":h=" + IntToStr(b.Y1 - b.Y0) +
                 ":color=" + colour + ":t=3";
    return Concat(FfmpegStart, {"-f", "lavfi", "-i", graph, "-frames:v", "1", png});
}

/// The buttons of the title menu for a frame `width` x `height`: play, the chapters,
/// the sound streams and the subtitles, one row each.
std::vector<TMenuButton> MenuButtons(const TDiscPlan& plan, const std::vector<double>& chapters,
                                     int width, int height) {
    const int scale = std::clamp(width * 100 / 720, 40, 100);
    const int top = height * 45 / 100;
    const int step = height * 9 / 100;
    std::vector<TMenuButton> buttons;
    // The title menu cannot jump into a chapter: the chapter waits in g3 for the
    // title to start, which then jumps there.
    AddRow(buttons, {{"play", "Play", "g3=1; jump title 1;"}}, top, scale);
    std::vector<TMenuButton> row;
    for (std::size_t i = 0; i < chapters.size() && i < MaxMenuChapters; ++i)
        row.push_back({"chapter" + IntToStr(i + 1), IntToStr(i + 1),
                       "g3=" + IntToStr(i + 1) + "; jump title 1;"});
    AddRow(buttons, row, top + step, scale);
    row.clear();
    const std::size_t streams = (plan.Audio1Rate != 0) + (plan.Audio2Rate != 0);
    const std::vector<std::string>& langs = plan.Extras.SoundLanguages;
    // The choice waits in a register until the title starts; the menu stays, with
    // the chosen button lit.
    for (std::size_t i = 0; i < streams; ++i)
        row.push_back({"sound" + IntToStr(i + 1), Label(i < langs.size() ? langs[i] : "", i + 1),
                       "g1=" + IntToStr(i) +
                           "; button=" + IntToStr((buttons.size() + row.size() + 1) * 1024) +
                           "; jump vmgm menu 1;"});
    AddRow(buttons, row, top + 2 * step, scale);
    row.clear();
    if (!plan.Extras.Subtitles.empty()) {
        row.push_back(
            {"subtitles0", "off",
             "g2=0; button=" + IntToStr((buttons.size() + 1) * 1024) + "; jump vmgm menu 1;"});
        for (std::size_t i = 0; i < plan.Extras.Subtitles.size(); ++i)
            row.push_back({"subtitles" + IntToStr(i + 1),
                           Label(plan.Extras.Subtitles[i].Language, static_cast<int>(i) + 1),
                           "g2=" + IntToStr(64 + i) +
                               "; button=" + IntToStr((buttons.size() + row.size() + 1) * 1024) +
                               "; jump vmgm menu 1;"});
        AddRow(buttons, row, top + 3 * step, scale);
    }
    return buttons;
}

} // namespace

std::int64_t MenuFrames(const TDiscPlan& plan) {
    if (plan.Format != TDiscFormat::DVD || plan.Extras.MenuPictures <= 0) return 0;
    return std::max(plan.GOPLength, 1);
}

TMenuPage AddMenuSteps(const TDiscPlan& plan, TDiscPart& part, const std::vector<double>& chapters,
                       double weight) {
    if (plan.Extras.MenuPictures <= 0) return {};
    const std::string base = "disc" + IntToStr(part.Number) + "_menu";
    const std::string title = "Disc " + IntToStr(part.Number) + ": menu";
    const int width = PictureSteps(plan.Picture).Width;
    const int height = plan.Picture.DestY;
    TMenuPage page{base + ".mpg", MenuButtons(plan, chapters, width, height)};

    // The still: a frame a tenth into the disc's share, darkened below its title.
    const int scale = std::clamp(width * 100 / 720, 40, 100);
    std::string graph = VideoFilter(plan, 0, 0) + ",drawbox=x=0:y=" + IntToStr(height * 22 / 100) +
                        ":w=iw:h=" + IntToStr(height * 70 / 100) + ":color=black@0.6:t=fill";
    const auto text = [&](const std::string& name, const std::string& content) {
        part.Texts.push_back({name, content});
        return name;
    };
    graph += "," + Drawtext(text(base + "_title.txt", plan.Extras.Title), 60 * scale / 100,
                            height * 28 / 100, 40 * scale / 100);
    const int step = height * 9 / 100;
    const char* const captions[] = {"", "Chapter", "Sound", "Subtitles"};
    for (int row = 1; row < 4; ++row)
        graph +=
            "," + Drawtext(text(base + "_row" + IntToStr(row) + ".txt", captions[row]),
                           60 * scale / 100, height * 45 / 100 + row * step + 6, 24 * scale / 100);
    for (const TMenuButton& b : page.Buttons)
        graph += "," + Drawtext(text(base + "_" + b.Name + ".txt", b.Label), b.X0 + 9, b.Y0 + 6,
                                24 * scale / 100);
    const double seconds =
        static_cast<double>(part.EndFrame - part.FirstFrame) / std::max(plan.SrcFrameRate, 1.0);
    part.Steps.push_back(Step(
        title,
        Concat(
            Concat(Concat(FfmpegStart, {"-ss", IntToStr(static_cast<std::int64_t>(seconds / 10))}),
                   FileInput(InputOf(plan))),
            {"-vf", graph, "-frames:v", "1", base + ".png"}),
        weight, {base + ".png"}));
    const TRate rate = DiscRate(plan);
    const std::int64_t frames = MenuFrames(plan);
    const std::string fps = IntToStr(rate.Num) + "/" + IntToStr(rate.Den);
    part.Steps.push_back(Step(
        title,
        Concat(FfmpegStart,
               {"-loop", "1", "-framerate", fps, "-protocol_whitelist", "file", "-i",
                "file:" + base + ".png", "-f", "lavfi", "-i", "anullsrc=r=48000:cl=stereo", "-t",
                job::Num(static_cast<double>(frames) * rate.Den / rate.Num), "-frames:v",
                IntToStr(frames), "-c:v", "mpeg2video", "-b:v", MenuRate, "-minrate", MenuRate,
                "-maxrate", MenuRate, "-bufsize", "1835008", "-g", IntToStr(plan.GOPLength),
                "-pix_fmt", "yuv420p", "-aspect", plan.Picture.Widescreen ? "16:9" : "4:3", "-c:a",
                // The film's codec: a player reading the whole
                // disc finds one kind of sound in each stream.
                plan.AC3 ? "ac3" : "mp2", "-b:a", "192k", "-f", "dvd", "-packetsize", "2048",
                base + "_av.mpg"}),
        0.1 * weight, {base + "_av.mpg"}));
    part.Steps.push_back(Step(title,
                              Outline(page.Buttons, width, height, "yellow", base + "_hl.png"),
                              0.01 * weight, {base + "_hl.png"}));
    part.Steps.push_back(Step(title, Outline(page.Buttons, width, height, "red", base + "_sel.png"),
                              0.01 * weight, {base + "_sel.png"}));
    std::string xml = std::string("<subpictures format=\"") +
                      (plan.Picture.DestIsPAL ? "PAL" : "NTSC") +
                      "\">\n<stream>\n<spu start=\"00:00:00.00\" force=\"yes\" highlight=\"" +
                      base + "_hl.png\" select=\"" + base + "_sel.png\">\n";
    for (const TMenuButton& b : page.Buttons)
        xml += "<button name=\"" + XmlText(b.Name) + "\" x0=\"" + IntToStr(b.X0) + "\" y0=\"" +
               IntToStr(b.Y0) + "\" x1=\"" + IntToStr(b.X1) + "\" y1=\"" + IntToStr(b.Y1) +
               "\"/>\n";
    xml += "</spu>\n</stream>\n</subpictures>\n";
    part.Texts.push_back({base + ".xml", xml});
    part.Steps.push_back(Step(title,
                              {"sh", "-c", "exec spumux -m dvd \"$1\" < \"$2\" > \"$3\"", "spumux",
                               base + ".xml", base + "_av.mpg", page.VobFile},
                              0.1 * weight, {page.VobFile}));
    return page;
}

} // namespace tarvex
