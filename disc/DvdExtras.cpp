#include "disc/DvdExtras.h"

#include "disc/DvdSubpictures.h"
#include "disc/JobParts.h"
#include "disc/Pulldown.h"

#include <algorithm>
#include <cmath>

namespace tarvex {

namespace {

using job::Concat;
using job::FfmpegStart;
using job::Step;

/// Seconds with three decimals and a point, whatever the locale.
std::string Secs(double seconds) {
    return job::MillisText(std::llround(std::max(seconds, 0.0) * 1000));
}

/// How the disc's share of the film's subtitles is read: from up to a minute
/// before it, so that the one shown where it starts is read too.
TSubtitleCut Cut(const TDiscPlan& plan, const TDiscPart& part) {
    if (plan.DiscCount <= 1 || !(plan.SrcFrameRate > 0)) return {};
    const auto ms = [&](std::int64_t frame) {
        return std::llround(static_cast<double>(frame) / plan.SrcFrameRate * 1000);
    };
    TSubtitleCut cut{
        .Args = {}, .LeadMs = 0, .FirstMs = ms(part.FirstFrame), .EndMs = ms(part.EndFrame)};
    cut.LeadMs = std::min(cut.FirstMs, MaxSubtitleLeadMs);
    cut.Args = {"-ss", job::MillisText(cut.FirstMs - cut.LeadMs), "-t",
                job::MillisText(cut.LeadMs + cut.EndMs - cut.FirstMs)};
    return cut;
}

/// spumux reads its input on stdin and writes the result on stdout.
TStep Spumux(const std::string& title, const std::vector<std::string>& options,
             const std::string& project, const std::string& in, const std::string& out,
             double weight) {
    std::string script = "exec spumux";
    for (std::size_t i = 0; i < options.size(); ++i) script += " \"$" + IntToStr(i + 1) + "\"";
    const std::size_t n = options.size();
    script += " \"$" + IntToStr(n + 1) + "\" < \"$" + IntToStr(n + 2) + "\" > \"$" +
              IntToStr(n + 3) + "\"";
    return Step(title, Concat(Concat({"sh", "-c", script, "spumux"}, options), {project, in, out}),
                weight, {out});
}

std::string TextProject(const TDiscPlan& plan, const std::string& srt) {
    const double movie = static_cast<double>(ScriptRate(plan).Num) / ScriptRate(plan).Den;
    // Times are scaled by movie-fps / subtitle-fps when the film is played faster.
    return std::string("<subpictures format=\"") + (plan.Picture.DestIsPAL ? "PAL" : "NTSC") +
           "\">\n<stream>\n<textsub filename=\"" + XmlText(srt) +
           "\" characterset=\"UTF-8\" font=\"" + SubtitleFont +
           "\" fontsize=\"26\" horizontal-alignment=\"center\" vertical-alignment=\"bottom\" "
           "bottom-margin=\"40\" left-margin=\"60\" right-margin=\"60\" movie-width=\"" +
           IntToStr(PictureSteps(plan.Picture).Width) + "\" movie-height=\"" +
           IntToStr(plan.Picture.DestY - 2) + "\" subtitle-fps=\"" + Secs(plan.SrcFrameRate) +
           "\" movie-fps=\"" + Secs(movie) + "\"/>\n</stream>\n</subpictures>\n";
}

/// The text subtitles `sub` as the file `out` of the format `codec`, in the film's
/// times; `cut` only bounds what is read.
TStep TextStep(const TDiscPlan& plan, const TDiscSubtitle& sub, const std::vector<std::string>& cut,
               const std::string& title, const std::string& codec, const std::string& out,
               double weight) {
    const std::string input = sub.Index >= 0 ? InputOf(plan) : "file:" + FullName(sub.File);
    const std::vector<std::string> times =
        cut.empty() ? cut : Concat({"-copyts", "-start_at_zero"}, cut);
    return Step(title,
                Concat(Concat(Concat(FfmpegStart, times), FileInput(input)),
                       {"-map", "0:s:" + IntToStr(std::max(sub.Index, 0)), "-c:s", codec, out}),
                weight, {out});
}

/// The file in the work folder with the text drawn into a VCD's or SVCD's picture.
constexpr const char* BurnFile = "burn.ass";

} // namespace

TBurnIn BurnIn(const TDiscPlan& plan) {
    const std::vector<TDiscSubtitle>& subs = plan.Extras.Subtitles;
    if (!plan.Extras.BurnSubtitles || plan.Format == TDiscFormat::DVD || subs.empty()) return {};
    if (subs.front().Pictures)
        return {.TextFile = {}, .PictureStream = std::max(subs.front().Index, 0)};
    return {.TextFile = BurnFile};
}

std::vector<TStep> BurnSteps(const TDiscPlan& plan, const std::string& title, double weight) {
    if (BurnIn(plan).TextFile.empty()) return {};
    // The film's times: the picture steps draw before its frames are retimed.
    return {TextStep(plan, plan.Extras.Subtitles.front(), {}, title, "ass", BurnFile, weight)};
}

std::string AddSubtitleSteps(const TDiscPlan& plan, TDiscPart& part, double weight) {
    const std::string base = "disc" + IntToStr(part.Number);
    const std::string title = "Disc " + IntToStr(part.Number) + ": subtitles";
    const std::vector<TDiscSubtitle>& subs = plan.Extras.Subtitles;
    std::string current = part.MuxFile;
    int stream = 0;
    // spumux adds the next subpicture stream, from the project `name`.xml, to the film.
    const auto multiplex = [&](const std::string& name) {
        part.Steps.push_back(
            Spumux(title, {"-s", IntToStr(stream)}, name + ".xml", current, name + ".mpg", weight));
        current = name + ".mpg";
        ++stream;
    };
    // Pictures first: each drawn at the disc's frame size, placed as on the film's picture.
    for (const TDiscSubtitle& s : subs) {
        if (!s.Pictures || s.Index < 0) continue;
        const std::string name = base + "_spu" + IntToStr(stream);
        part.MakeDirs.push_back(name);
        for (TStep& step :
             SubpictureSteps(plan, part, s.Index, Cut(plan, part), name, name + ".xml", weight))
            part.Steps.push_back(std::move(step));
        multiplex(name);
    }
    for (const TDiscSubtitle& s : subs) {
        if (s.Pictures) continue;
        const std::string name = base + "_sub" + IntToStr(stream);
        const TSubtitleCut cut = Cut(plan, part);
        if (cut.Args.empty()) {
            part.Steps.push_back(TextStep(plan, s, {}, title, "srt", name + ".srt", 0.1 * weight));
        } else { // read in the film's times, then shifted to the share's start and clamped to it
            part.Steps.push_back(
                TextStep(plan, s, cut.Args, title, "srt", name + "_film.srt", 0.1 * weight));
            part.Steps.push_back(Step(title,
                                      {PulldownProgram(), "--text-share", name + "_film.srt",
                                       name + ".srt", IntToStr(cut.FirstMs), IntToStr(cut.EndMs)},
                                      0.01 * weight, {name + ".srt"}));
        }
        part.Texts.push_back({name + ".xml", TextProject(plan, name + ".srt")});
        multiplex(name);
    }
    return current;
}

} // namespace tarvex
