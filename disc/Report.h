// Prediction against reality for each disc made, split so that each part of the
// budget model is judged on its own: the encoder, the multiplexing layout and the
// authoring overhead.
#pragma once

#include "budget/Imaging.h"
#include "disc/DiscJob.h"
#include "disc/Runner.h"

#include <cstdint>
#include <string>

namespace tarvex {

/// The numbers of one disc. Blocks are disc sectors: 2324-byte packs and 2352-byte
/// raw sectors on (S)VCDs, 2048 bytes on DVDs.
struct TDiscCheck {
    int Number = 0;
    /// The encoder: the stream bytes of the plan against those it wrote.
    std::int64_t PlannedVideoBytes = 0;
    std::int64_t RealVideoBytes = 0;
    std::int64_t PlannedAudioBytes = 0; ///< all audio streams
    std::int64_t RealAudioBytes = 0;
    /// The layout: the multiplexed file's blocks predicted for the real stream bytes.
    std::int64_t PredictedMuxBlocks = 0;
    std::int64_t RealMuxBlocks = 0;
    /// The authoring: the image's blocks predicted from the real multiplexed file.
    std::int64_t PredictedImageBlocks = 0;
    std::int64_t RealImageBlocks = 0;
    /// The image's blocks predicted from the real stream bytes (layout and authoring).
    std::int64_t StreamImageBlocks = 0;
    /// The whole plan: the image as budgeted, encoder included. Extra data the plan
    /// keeps room for is not in the image and not in this number.
    std::int64_t PlannedImageBlocks = 0;
    std::int64_t BlocksUsable = 0;
    std::int64_t ExtraBlocks = 0; ///< the extra data burned beside the image
    bool Fits = false;            ///< the image and the planned extra data fit the disc
};

/// Compares a made disc with `plan`, the budget of one disc as the window computed
/// it (its computations run). Throws FloatError when the plan has no duration.
TDiscCheck CheckDisc(const TCDImage& plan, const TDiscResult& disc, TDiscFormat format);

/// Puts the encoder settings of a disc's budget into `plan`: the video rate and
/// the player's highest, the GOP, scene detection and the audio streams. Where the
/// largest share of the film's real frames plays longer than the budget's length,
/// the video rate is lowered so the share's whole stream takes no more bytes than
/// budgeted; a VCD's constant rate stays. Reads the plan's frames and disc count.
void TakeBudget(TDiscPlan& plan, const TCDImage& budget);

/// The disc in one plain sentence, as the first line of its report: whether it
/// fits, what it holds (the image and the extra data) and the disc's capacity in
/// MB (1024 x 1024 bytes) and how full it is, for example "Disc 1 fits: 4,398 MB of 4,482 MB (98.1
/// %)".
std::string DiscSummary(const TDiscCheck& check, TDiscFormat format);

/// How far `real` lies from `predicted`, in per cent of the prediction.
double Deviation(std::int64_t predicted, std::int64_t real);

} // namespace tarvex
