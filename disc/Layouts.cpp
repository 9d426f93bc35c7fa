#include "disc/Layouts.h"

#include "common/Numeric.h"

#include <algorithm>

namespace tarvex {

TMeasuredLayout FfmpegLayout(TDiscFormat format) {
    switch (format) {
    case TDiscFormat::VCD: // 20 zero bytes follow every audio packet
        return {2324, 21, 21, 21, 43, 43, 2};
    case TDiscFormat::SVCD:
        return {2324, 27, 27, 27, 30, 30, 1};
    default: // one navigation pack per GOP, the pack before it padded out
        return {2048, 28, 28, 28, 29, 33, 0};
    }
}

std::uint32_t AuthoringBlocks(TDiscFormat format, double seconds, std::uint32_t gops,
                              std::uint32_t menuBlocks, std::uint32_t& reserve) {
    switch (format) {
    case TDiscFormat::VCD:
        reserve = 150;
        return 525 + menuBlocks;
    case TDiscFormat::SVCD: // the row "SVCD vcdimager"
        reserve = 150;
        return Store<std::uint32_t>(225 + std::int64_t{menuBlocks} +
                                    Ceil((static_cast<Real>(seconds) * 3 * 2 + 24) / 2048) + 3 +
                                    150);
    default: {
        // The file system and the menu IFO are fixed; the title set's IFO and its
        // backup hold a VOBU map (4 bytes a GOP) and a time map (4 bytes a second,
        // at most 2048 entries), each table in whole sectors.
        reserve = 0;
        const std::int64_t vobus = Ceil((static_cast<Real>(gops) * 4 + 4) / 2048);
        const std::int64_t times =
            Ceil(std::min<Real>(static_cast<Real>(seconds), 2048) * 4 / 2048);
        return Store<std::uint32_t>(197 + 2 * (vobus + times) + menuBlocks / 2);
    }
    }
}

void UseMeasuredRows(TCDImage& m, TDiscFormat format) {
    const TMeasuredLayout l = FfmpegLayout(format);
    const std::uint16_t audio = m.AC3Audio ? l.Ac3AudioHeader : l.AudioHeader;
    m.SectorSize = l.SectorSize;
    m.VideoFirstPayload = Store<std::uint16_t>(l.SectorSize - l.FirstVideoHeader);
    m.VideoGopPayload = Store<std::uint16_t>(l.SectorSize - l.GopVideoHeader);
    m.VideoPayload = Store<std::uint16_t>(l.SectorSize - l.VideoHeader);
    m.AudioFirstPayload = m.AudioPayload = Store<std::uint16_t>(l.SectorSize - audio);
    const bool dvd = format == TDiscFormat::DVD;
    m.ExtraSectors = l.ExtraSectors + (dvd ? m.IFrames : 0);
    if (m.SeqAligning)
        m.SeqAlignBytes = Store<std::uint32_t>(
            Round(static_cast<Real>((std::int64_t{m.IFrames} - 1) * m.VideoPayload) * 0.5L));
    m.AuthoringOverhead =
        AuthoringBlocks(format, m.Duration, m.IFrames, m.MenuBlocks, m.AuthoringReserve);
}

} // namespace tarvex
