#include "disc/DiscAuthoring.h"

#include "disc/Chapters.h"
#include "disc/DvdAuthor.h"

namespace tarvex {

int SourceSoundTrack(const TDiscPlan& plan, int stream) {
    const std::vector<int>& chosen = plan.Extras.SoundTracks;
    const auto slot = static_cast<std::size_t>(stream - 1);
    const int track = slot < chosen.size() ? chosen[slot] : stream - 1;
    if (track < 0 || track >= plan.SourceAudioStreams) return -1;
    return track;
}

void AddDvdAuthoring(const TDiscPlan& plan, const std::string& dir, TDiscPart& part,
                     const std::string& title, double weight) {
    const std::string base = "disc" + std::to_string(part.Number);
    const std::vector<std::string> env = {std::string("VIDEO_FORMAT=") +
                                          (plan.Picture.DestIsPAL ? "PAL" : "NTSC")};
    const std::string project = base + "_dvd.xml";
    part.Texts.push_back(
        {project, DvdAuthorXml(plan, part.MuxFile,
                               PartChapters(plan, part.FirstFrame, part.EndFrame), TMenuPage{})});
    part.Steps.push_back({title, {"dvdauthor", "-o", dir, "-x", project}, env, 0, weight});
}

} // namespace tarvex
