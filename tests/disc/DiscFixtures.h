// Films and plans for the disc tests and the accuracy measurement: a noisy test
// picture with a tone, and the budget the window would compute for it.
#pragma once

#include "budget/Imaging.h"
#include "disc/DiscJob.h"
#include "disc/Report.h"
#include "tests/TempFolder.h"

#include <cstdlib>
#include <filesystem>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace tarvex::testing {

/// Runs a shell command; its exit code, or -1 when it did not end normally.
inline int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

/// Makes `path` (once): a PAL 720x576 film of `seconds` with moving noise, so that the
/// encoder must spend its bits, and a 440 Hz tone. Returns whether the file is there.
inline bool MakeNoisyFilm(const std::string& path, int seconds) {
    if (std::filesystem::exists(path)) return true;
    const std::string part = path + "." + std::to_string(getpid()) + ".part";
    const std::string length = std::to_string(seconds);
    const int rc = Shell("ffmpeg -nostdin -v error -y -f lavfi -i "
                         "'testsrc2=size=720x576:rate=25:duration=" +
                         length +
                         ",noise=alls=12:allf=t' -f lavfi -i "
                         "'sine=frequency=440:sample_rate=48000:duration=" +
                         length + "' -c:v mpeg4 -q:v 5 -c:a pcm_s16le -f avi '" + part + "'");
    return rc == 0 && std::rename(part.c_str(), path.c_str()) == 0;
}

/// The window's rows for a format: multiplexer and authoring tool.
struct TRows {
    std::int8_t MuxMode;
    std::int8_t AuthoringMode;
};

/// The budget of one disc as the window computes it: `seconds` of PAL film on a disc
/// of `discMinutes`, GOP 15, no menus, the default safety of 150 blocks.
inline TCDImage Budget(TDiscFormat format, TRows rows, int seconds, int discMinutes,
                       std::uint32_t audioRate, bool ac3 = false) {
    TCDImage m;
    m.SetFrames(static_cast<std::uint32_t>(seconds) * 25);
    m.SetAudio1Rate(audioRate);
    m.SetAC3Audio(ac3);
    m.SetGOPLength(15);
    m.SetSeqAligning(format == TDiscFormat::DVD);
    m.SetScanOffsets(format == TDiscFormat::SVCD);
    m.SetMuxMode(rows.MuxMode);
    m.SetAuthoringMode(rows.AuthoringMode);
    m.SetBlocksUsable(static_cast<std::uint32_t>(discMinutes) * 4500 - 1);
    m.SetSafety(150);
    m.ComputeAuthoringOverhead();
    m.ComputeVideoRate();
    m.ComputeImage();
    return m;
}

/// The plan for a source film of the test picture: the whole frame resized to the
/// format's frame, with the disc budget's rates.
inline TDiscPlan Plan(TDiscFormat format, const std::string& source, std::int64_t frames,
                      const TCDImage& budget) {
    TDiscPlan plan;
    plan.Source = source;
    plan.SrcFrameRate = 25;
    plan.SrcFrames = frames;
    plan.Format = format;
    TPicturePlan& p = plan.Picture;
    p.CropX = 720;
    p.CropY = 576;
    p.ResizeX = format == TDiscFormat::VCD ? 352 : format == TDiscFormat::SVCD ? 480 : 720;
    p.ResizeY = format == TDiscFormat::VCD ? 288 : 576;
    p.DestY = p.ResizeY;
    TakeBudget(plan, budget);
    return plan;
}

} // namespace tarvex::testing
