// Plans for the disc tests and the accuracy measurement: the budget the window
// would compute for a film of the test picture, and the films themselves.
#pragma once

#include "budget/Imaging.h"
#include "disc/DiscJob.h"
#include "disc/Report.h"
#include "tests/support/Films.h"
#include "tests/support/TempFolder.h"

#include <cstdint>
#include <string>

namespace tarvex::testkit {

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
    m.BlocksUsable = static_cast<std::uint32_t>(discMinutes) * 4500 - 1;
    m.Safety = 150;
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

} // namespace tarvex::testkit
