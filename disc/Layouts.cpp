#include "disc/Layouts.h"

#include "common/Numeric.h"

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

std::uint32_t AuthoringBlocks(TDiscFormat format, double seconds, std::uint32_t menuBlocks,
                              std::uint32_t& reserve) {
    switch (format) {
    case TDiscFormat::VCD:
        reserve = 150;
        return 525 + menuBlocks;
    case TDiscFormat::SVCD: // the row "SVCD vcdimager"
        reserve = 150;
        return Store<std::uint32_t>(225 + std::int64_t{menuBlocks} +
                                    Ceil((static_cast<Real>(seconds) * 3 * 2 + 24) / 2048) + 3 +
                                    150);
    default: // the title set's IFO and its backup grow by 10.2 bytes a second
        reserve = 0;
        return Store<std::uint32_t>(
            199 + 2 * std::int64_t{Ceil(static_cast<Real>(seconds) * 10.2L / 2048)} +
            menuBlocks / 2);
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
    m.AuthoringOverhead = AuthoringBlocks(format, m.Duration, m.MenuBlocks, m.AuthoringReserve);
}

} // namespace tarvex
