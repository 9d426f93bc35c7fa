#include "disc/DiscAuthoring.h"

#include "disc/Chapters.h"
#include "disc/DvdAuthor.h"
#include "disc/DvdExtras.h"
#include "disc/JobParts.h"

#include <algorithm>

namespace tarvex {

int SourceSoundTrack(const TDiscPlan& plan, int stream) {
    const std::vector<int>& chosen = plan.Extras.SoundTracks;
    const auto slot = static_cast<std::size_t>(stream - 1);
    const int track = slot < chosen.size() ? chosen[slot] : stream - 1;
    if (track < 0 || track >= plan.SourceAudioStreams) return -1;
    return track;
}

void AddDvdAuthoring(const TDiscPlan& planned, const std::string& dir, TDiscPart& part,
                     const std::string& title, double weight) {
    const std::string base = "disc" + std::to_string(part.Number);
    const std::vector<std::string> env = {std::string("VIDEO_FORMAT=") +
                                          (planned.Picture.DestIsPAL ? "PAL" : "NTSC")};
    // The subpicture streams are numbered in the order they are added: the film's
    // pictures by the multiplexer first, then the text drawn by spumux.
    TDiscPlan plan = planned;
    std::stable_partition(plan.Extras.Subtitles.begin(), plan.Extras.Subtitles.end(),
                          [](const TDiscSubtitle& s) { return s.Pictures; });
    const std::string vob = AddSubtitleSteps(plan, part, weight);
    const std::vector<double> chapters = PartChapters(plan, part.FirstFrame, part.EndFrame);
    const TMenuPage menu = AddMenuSteps(plan, part, chapters, weight);
    const std::string project = base + "_dvd.xml";
    part.Texts.push_back({project, DvdAuthorXml(plan, vob, chapters, menu)});
    // dvdauthor writes the video manager last, when the titles are complete.
    part.Steps.push_back(job::Step(title, {"dvdauthor", "-o", dir, "-x", project}, weight,
                                   {dir + "/VIDEO_TS/VIDEO_TS.IFO"}, 0, env));
    if (vob != part.MuxFile) part.SubtitleFolder = dir + "/VIDEO_TS";
    if (!menu.Buttons.empty()) part.Measured.push_back({"menu", dir + "/VIDEO_TS/VIDEO_TS.VOB"});
}

} // namespace tarvex
