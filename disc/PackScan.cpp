#include "disc/PackScan.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace tarvex {

namespace {

using TBytes = std::basic_string_view<std::uint8_t>;

bool StartCode(TBytes b, std::size_t at, std::uint8_t code) {
    return at + 4 <= b.size() && b[at] == 0 && b[at + 1] == 0 && b[at + 2] == 1 &&
           b[at + 3] == code;
}

/// Bytes of a pack header at the start of the sector, 0 when there is none.
std::size_t PackHeader(TBytes b) {
    if (!StartCode(b, 0, 0xBA) || b.size() < 12) return 0;
    if ((b[4] & 0xC0) != 0x40) return 12; // MPEG-1
    if (b.size() < 14) return 0;
    return 14 + (b[13] & 7); // MPEG-2, with its stuffing
}

/// Bytes of the header of a PES packet `p` (start code and length included), or 0
/// when it does not fit in the packet.
std::size_t PesHeader(TBytes p) {
    if (p.size() < 7) return 0;
    if ((p[6] & 0xC0) == 0x80) { // MPEG-2
        if (p.size() < 9) return 0;
        const std::size_t size = 9 + std::size_t{p[8]};
        return size <= p.size() ? size : 0;
    }
    std::size_t at = 6;
    for (int stuffing = 0; at < p.size() && p[at] == 0xFF && stuffing < 16; ++stuffing) ++at;
    if (at < p.size() && (p[at] & 0xC0) == 0x40) at += 2; // buffer size
    if (at >= p.size()) return 0;
    if ((p[at] & 0xF0) == 0x20)
        at += 5;
    else if ((p[at] & 0xF0) == 0x30)
        at += 10;
    else
        at += 1;
    return at <= p.size() ? at : 0;
}

/// The mux rate of a pack header, in bits per second (the field counts 50 bytes).
std::int64_t MuxRate(TBytes b) {
    const bool mpeg2 = (b[4] & 0xC0) == 0x40;
    const std::int64_t field = mpeg2 ? (std::int64_t{b[10]} << 14 | b[11] << 6 | b[12] >> 2)
                                     : (std::int64_t{b[9] & 0x7F} << 15 | b[10] << 7 | b[11] >> 1);
    return field * 50 * 8;
}

/// The buffer bounds of a system header `p`: after its six bytes of rates and
/// bounds, one entry of three bytes per stream.
void BufferBounds(TBytes p, TPackScan& scan) {
    for (std::size_t at = 12; at + 3 <= p.size() && (p[at] & 0x80) != 0; at += 3) {
        const std::uint8_t id = p[at];
        const std::int64_t bytes =
            (std::int64_t{p[at + 1] & 0x1F} << 8 | p[at + 2]) * ((p[at + 1] & 0x20) ? 1024 : 128);
        if (id == 0xB9 || (id >= 0xE0 && id <= 0xEF))
            scan.VideoBuffer = std::max(scan.VideoBuffer, bytes);
        if (id == 0xB8 || (id >= 0xC0 && id <= 0xDF))
            scan.AudioBuffer = std::max(scan.AudioBuffer, bytes);
    }
}

bool StartsGop(TBytes payload) {
    for (std::size_t i = 0; i + 4 <= payload.size(); ++i)
        if (StartCode(payload, i, 0xB3) || StartCode(payload, i, 0xB8)) return true;
    return false;
}

/// Counts one sector into `scan`.
void ScanSector(TBytes b, TPackScan& scan) {
    std::size_t at = PackHeader(b);
    if (at == 0) {
        ++scan[TPackKind::Broken].Packs;
        return;
    }
    if (scan.MuxRate == 0) scan.MuxRate = MuxRate(b);
    TPackKind kind = TPackKind::Empty;
    std::int64_t payload = 0;
    bool gop = false;
    while (at + 6 <= b.size() && b[at] == 0 && b[at + 1] == 0 && b[at + 2] == 1) {
        const std::uint8_t id = b[at + 3];
        if (id == 0xB9) { // the program's end code
            at += 4;
            break;
        }
        const std::size_t size = 6 + (std::size_t{b[at + 4]} << 8 | b[at + 5]);
        if (id < 0xBB || at + size > b.size()) {
            ++scan[TPackKind::Broken].Packs;
            return;
        }
        const TBytes packet = b.substr(at, size);
        at += size;
        if (id == 0xBB) {
            ++scan.SystemHeaders;
            BufferBounds(packet, scan);
            continue;
        }
        if (id == 0xBE) {
            scan.PaddingBytes += static_cast<std::int64_t>(size);
            continue;
        }
        if (id == 0xBF) { // navigation data of a DVD
            if (kind == TPackKind::Empty) kind = TPackKind::Navigation;
            continue;
        }
        std::size_t header = PesHeader(packet);
        // A private stream's first byte says what it carries: subpictures 0x20-0x3F.
        const bool subpicture = id == 0xBD && header > 0 && header < size &&
                                packet[header] >= 0x20 && packet[header] <= 0x3F;
        if (id == 0xBD && header > 0 && header < size && (packet[header] & 0xF8) == 0x80)
            header += 4; // AC-3 substream header
        if (header == 0 || header > size) {
            ++scan[TPackKind::Broken].Packs;
            return;
        }
        const bool video = id >= 0xE0 && id <= 0xEF;
        const bool audio = (id >= 0xC0 && id <= 0xDF) || id == 0xBD;
        if (!video && !audio) continue;
        if (kind == TPackKind::Empty || kind == TPackKind::Navigation)
            kind = video ? TPackKind::Video : subpicture ? TPackKind::Subpicture : TPackKind::Audio;
        payload += static_cast<std::int64_t>(size - header);
        if (video && StartsGop(packet.substr(header))) gop = true;
    }
    scan.FillBytes += static_cast<std::int64_t>(b.size() - at);
    TPackCount& count = scan[kind];
    ++count.Packs;
    count.Payload += payload;
    if (gop) ++count.GopStarts;
}

} // namespace

TPackScan ScanPacks(const std::string& fileName, std::int64_t sectorSize) {
    if (sectorSize < 16 || sectorSize > 65536) throw std::runtime_error("bad sector size");
    std::ifstream in(fileName, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + fileName);
    TPackScan scan;
    scan.SectorSize = sectorSize;
    std::vector<std::uint8_t> sector(static_cast<std::size_t>(sectorSize));
    while (in.read(reinterpret_cast<char*>(sector.data()), sectorSize)) {
        ++scan.Sectors;
        ScanSector(TBytes(sector.data(), sector.size()), scan);
    }
    if (in.bad()) throw std::runtime_error("cannot read " + fileName);
    return scan;
}

std::int64_t TitleSubpictureBytes(const std::string& videoTs) {
    std::error_code ec;
    std::int64_t bytes = 0;
    for (const auto& entry : std::filesystem::directory_iterator(videoTs, ec)) {
        const std::string name = entry.path().filename().string();
        // VTS_nn_0.VOB holds a title set's menus, VTS_nn_1.VOB and on its titles.
        if (name.size() != 12 || !name.starts_with("VTS_") || !name.ends_with(".VOB") ||
            name[7] == '0')
            continue;
        try {
            bytes += ScanPacks(entry.path().string(), 2048)[TPackKind::Subpicture].Packs * 2048;
        } catch (const std::runtime_error&) {
            return 0;
        }
    }
    return bytes;
}

} // namespace tarvex
