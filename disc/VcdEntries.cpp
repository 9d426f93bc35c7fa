#include "disc/VcdEntries.h"

#include "disc/Chapters.h"
#include "disc/DvdAuthor.h"
#include "disc/JobParts.h"

#include <cmath>

namespace tarvex {

namespace {

/// The vcdxbuild project of a disc whose film is `mpegFile`, with an entry point
/// at each chapter after the first (seconds).
std::string VcdProject(const TDiscPlan& plan, const std::string& mpegFile,
                       const std::vector<double>& chapters) {
    const bool vcd = plan.Format == TDiscFormat::VCD;
    std::string xml = std::string("<?xml version=\"1.0\"?>\n<!DOCTYPE videocd PUBLIC \"-//GNU//DTD "
                                  "VideoCD//EN\" \"http://www.gnu.org/software/vcdimager/"
                                  "videocd.dtd\">\n<videocd xmlns=\"http://www.gnu.org/"
                                  "software/vcdimager/1.0/\" class=\"") +
                      (vcd ? "vcd\" version=\"2.0\"" : "svcd\" version=\"1.0\"") +
                      ">\n<info><album-id/><volume-count>1</volume-count><volume-number>1</"
                      "volume-number><restriction>0</restriction></info>\n<pvd><volume-id>" +
                      (vcd ? "VIDEOCD" : "SUPERVCD") +
                      "</volume-id><system-id>CD-RTOS CD-BRIDGE</system-id><application-id/>"
                      "<preparer-id/><publisher-id/></pvd>\n"
                      "<sequence-items>\n<sequence-item src=\"" +
                      XmlText(mpegFile) + "\" id=\"sequence-00\">";
    for (std::size_t i = 1; i < chapters.size(); ++i) {
        xml += "<entry>" + job::MillisText(std::llround(chapters[i] * 1000)) + "</entry>";
    }
    return xml + "</sequence-item>\n</sequence-items>\n</videocd>\n";
}

} // namespace

void AddVcdAuthoring(const TDiscPlan& plan, TDiscPart& part, const std::string& title,
                     double weight) {
    const std::string base = "disc" + std::to_string(part.Number);
    const std::vector<double> chapters = PartChapters(plan, part.FirstFrame, part.EndFrame);
    if (chapters.size() <= 1) {
        part.Steps.push_back(
            job::Step(title,
                      {"vcdimager", "-t", plan.Format == TDiscFormat::VCD ? "vcd2" : "svcd", "-c",
                       base + ".cue", "-b", base + ".bin", part.MuxFile},
                      weight, {base + ".bin"}));
        return;
    }
    const std::string project = base + "_vcd.xml";
    part.Texts.push_back({project, VcdProject(plan, part.MuxFile, chapters)});
    part.Steps.push_back(job::Step(title,
                                   {"vcdxbuild", "-c", base + ".cue", "-b", base + ".bin", project},
                                   weight, {base + ".bin"}));
}

} // namespace tarvex
