// MPEG transport streams read by hand.
#include "source/QuickContainers.h"

#include "source/MpegStream.h"
#include "source/ParameterSets.h"
#include "source/QuickProbe.h"

#include <algorithm>
#include <vector>

namespace tarvex::quick {

namespace {

// A stream is read from this much of its head and of its tail.
constexpr std::size_t TsHead = 2 << 20;
constexpr std::size_t TsTail = 1 << 20;
constexpr std::size_t TsPacket = 188;
constexpr unsigned char TsSync = 0x47;
constexpr int StreamMpeg1 = 0x01, StreamMpeg2 = 0x02, StreamH264 = 0x1B, StreamHevc = 0x24;

/// Whether three packets of `size` bytes start with a sync byte from `at` on.
bool SyncedAt(TBytes d, std::size_t at, std::size_t size) {
    return d.size() > at + 2 * size && d[at] == TsSync && d[at + size] == TsSync &&
           d[at + 2 * size] == TsSync;
}

/// The packet size (188, or 192 with a time stamp before each packet) and the
/// offset of the first sync byte; 0 when `d` is no transport stream.
std::size_t PacketSize(TBytes d, std::size_t& first) {
    for (std::size_t size : {TsPacket, TsPacket + 4}) {
        first = size - TsPacket;
        if (SyncedAt(d, first, size)) return size;
    }
    return 0;
}

struct TTsPacket {
    int Pid = 0;
    bool Start = false;
    TBytes Payload;
};

/// Calls `each` for every packet of `d` from `first` on, skipping lost sync.
template <class F>
void ForEachPacket(TBytes d, std::size_t first, std::size_t size, F each) {
    for (std::size_t p = first; p + TsPacket <= d.size(); p += size) {
        if (d[p] != TsSync) continue;
        TTsPacket pkt;
        pkt.Pid = (d[p + 1] & 0x1F) << 8 | d[p + 2];
        pkt.Start = d[p + 1] & 0x40;
        const int control = d[p + 3] >> 4 & 3;
        std::size_t payload = 4;
        if (control & 2) payload += 1 + std::size_t{d[p + 4]};
        if (!(control & 1) || payload >= TsPacket) continue;
        pkt.Payload = d.subspan(p + payload, TsPacket - payload);
        if (!each(pkt)) return;
    }
}

/// The section a packet that starts one holds (after the pointer field).
TBytes Section(const TTsPacket& p) {
    if (!p.Start || p.Payload.empty()) return {};
    const std::size_t at = 1 + std::size_t{p.Payload[0]};
    if (at + 3 > p.Payload.size()) return {};
    const std::size_t length = (std::size_t{p.Payload[at + 1]} & 0x0F) << 8 | p.Payload[at + 2];
    if (at + 3 + length > p.Payload.size() || length < 9) return {};
    return p.Payload.subspan(at, 3 + length - 4); // without the CRC
}

/// The presentation time of a PES header at the start of `payload`, and where
/// its data begins.
std::optional<std::int64_t> PesPts(TBytes payload, std::size_t& data) {
    data = payload.size();
    if (payload.size() < 9 || payload[0] != 0 || payload[1] != 0 || payload[2] != 1 ||
        (payload[6] & 0xC0) != 0x80)
        return std::nullopt;
    data = std::min(payload.size(), 9 + std::size_t{payload[8]});
    return mpeg::PacketPts(payload);
}

} // namespace

bool ReadTransportStream(TBinaryFile& file, TMediaInfo& info) {
    const auto head = ReadWindow(file, 0, TsHead);
    std::size_t first = 0;
    const std::size_t size = PacketSize(head, first);
    if (size == 0) return false;

    int pmtPid = -1, videoPid = -1, streamType = 0;
    std::vector<unsigned char> stream; // the video's first bytes, without packet headers
    mpeg::TPtsRange range;
    ForEachPacket(head, first, size, [&](const TTsPacket& p) {
        if (p.Pid == 0 && pmtPid < 0) {
            const TBytes s = Section(p);
            for (std::size_t i = 8; i + 4 <= s.size(); i += 4)
                if (BigEndian(s, i, 2) != 0) {
                    pmtPid = static_cast<int>(BigEndian(s, i + 2, 2) & 0x1FFF);
                    break;
                }
        } else if (p.Pid == pmtPid && videoPid < 0) {
            const TBytes s = Section(p);
            if (s.size() < 12 || s[0] != 2) return true;
            std::size_t i = 12 + (BigEndian(s, 10, 2) & 0x0FFF);
            for (; i + 5 <= s.size(); i += 5 + (BigEndian(s, i + 3, 2) & 0x0FFF)) {
                const int type = s[i];
                if (type == StreamMpeg1 || type == StreamMpeg2 || type == StreamH264 ||
                    type == StreamHevc) {
                    streamType = type;
                    videoPid = static_cast<int>(BigEndian(s, i + 1, 2) & 0x1FFF);
                    break;
                }
            }
            if (videoPid < 0) pmtPid = -2; // no video this reader knows
        } else if (p.Pid == videoPid) {
            std::size_t data = 0;
            TBytes payload = p.Payload;
            if (p.Start) {
                if (const auto pts = PesPts(payload, data)) range.Add(*pts);
                payload = payload.subspan(data);
            }
            if (stream.size() < MaxSection)
                stream.insert(stream.end(), payload.begin(), payload.end());
        }
        return pmtPid != -2;
    });
    if (videoPid < 0) return false;
    if (file.FileSize() > head.size()) {
        const auto tail = ReadWindow(file, file.FileSize() - TsTail, TsTail);
        // The tail starts anywhere in a packet: find its first sync byte.
        std::size_t tailFirst = 0;
        while (tailFirst < size && tailFirst + 2 * size < tail.size() &&
               !SyncedAt(tail, tailFirst, size))
            ++tailFirst;
        ForEachPacket(tail, tailFirst, size, [&](const TTsPacket& p) {
            std::size_t data = 0;
            if (p.Pid == videoPid && p.Start)
                if (const auto pts = PesPts(p.Payload, data)) range.Add(*pts);
            return true;
        });
    }

    std::optional<TCodecView> view;
    if (streamType == StreamH264 || streamType == StreamHevc) {
        view = streamType == StreamH264 ? H264View(h264::SpsOfByteStream(stream))
                                        : HevcView(hevc::SpsOfByteStream(stream));
        if (view) view->FrameRate = UsualFrameRate(view->FrameRate);
    } else {
        const std::size_t header = mpeg::FindStartCode(stream, 0, mpeg::SequenceHeaderCode);
        if (header < stream.size()) view = MpegView(TBytes(stream).subspan(header));
    }
    if (!view) return false;
    const auto frames = mpeg::FramesOfPtsRange(range, view->FrameRate);
    if (!frames) return false;
    return Finish(*view, {}, view->FrameRate, *frames, true, FourCCOfCodec(view->Name), info);
}

} // namespace tarvex::quick
