#include "budget/DiscFill.h"

#include "common/Numeric.h"

#include <algorithm>

namespace tarvex {

TDiscFill ComputeDiscFill(const TCDImage& d) {
    TDiscFill fill{.BlocksUsable = d.BlocksUsable,
                   .ImageBlocks = d.ImageBlocks,
                   .OverrunBlocks = std::max<std::int64_t>(0, -std::int64_t{d.UnusedBlocks}),
                   .SectorSize = d.SectorSize,
                   .Parts = {}};
    const std::int64_t sector = d.SectorSize;
    const auto blocksOf = [&](TFillPart part, std::int64_t blocks) {
        fill.Parts.push_back({part, blocks, blocks * sector});
    };
    blocksOf(TFillPart::AuthoringReserve, d.AuthoringReserve);
    blocksOf(TFillPart::AuthoringOverhead, d.AuthoringOverhead);
    blocksOf(TFillPart::ExtraData, d.ExtraBlocks);

    if (sector > 0) {
        const std::int64_t streamBlocks = CeilInt64(Div(d.StreamBytes, sector));
        const std::int64_t streamParts =
            d.ImageSubtitleBytes + d.ImageAudio1Bytes + d.ImageAudio2Bytes + d.ImageVideoBytes;
        const std::pair<TFillPart, std::int64_t> stream[] = {
            {TFillPart::Subtitles, d.ImageSubtitleBytes},
            {TFillPart::Audio1, d.ImageAudio1Bytes},
            {TFillPart::Audio2, d.ImageAudio2Bytes},
            {TFillPart::Video, d.ImageVideoBytes},
            {TFillPart::MuxOverhead, streamBlocks * sector - streamParts}};
        std::int64_t bytesSoFar = 0, blocksSoFar = 0;
        for (const auto& [part, bytes] : stream) {
            bytesSoFar += bytes;
            const std::int64_t end = Round(Div(bytesSoFar, sector));
            fill.Parts.push_back({part, end - blocksSoFar, bytes});
            blocksSoFar = end;
        }
    }

    const std::int64_t unused = d.UnusedBlocks;
    const std::int64_t safety = std::clamp<std::int64_t>(unused, 0, std::max(0, d.Safety));
    blocksOf(TFillPart::Safety, safety);
    blocksOf(TFillPart::Unused, std::max<std::int64_t>(0, unused - safety));
    return fill;
}

} // namespace tarvex
