#include "source/ParameterSets.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tarvex {

namespace {

constexpr int SpsNalType = 7;
constexpr int HevcSpsNalType = 33;

/// Reads bits most significant first; past the end every read fails.
class TBitReader {
  public:
    explicit TBitReader(const std::vector<unsigned char>& data) : Data(data) {}

    bool Failed() const { return Fail; }

    std::uint32_t Bits(int count) {
        std::uint32_t v = 0;
        for (int i = 0; i < count; ++i) {
            if (Pos >= Data.size() * 8) {
                Fail = true;
                return 0;
            }
            v = v << 1 | (Data[Pos / 8] >> (7 - Pos % 8) & 1);
            ++Pos;
        }
        return v;
    }

    bool Flag() { return Bits(1) != 0; }

    void Skip(std::size_t count) {
        if (count > Data.size() * 8 - std::min(Pos, Data.size() * 8)) Fail = true;
        Pos += count;
    }

    /// An unsigned Exp-Golomb code; codes over 32 bits fail.
    std::uint32_t Ue() {
        int zeros = 0;
        while (!Fail && Bits(1) == 0) {
            if (++zeros > 31) Fail = true;
        }
        if (Fail) return 0;
        return static_cast<std::uint32_t>((std::uint64_t{1} << zeros) - 1 + Bits(zeros));
    }

    std::int32_t Se() {
        const std::uint32_t k = Ue();
        return k & 1 ? static_cast<std::int32_t>((k + 1) / 2) : -static_cast<std::int32_t>(k / 2);
    }

  private:
    const std::vector<unsigned char>& Data;
    std::size_t Pos = 0;
    bool Fail = false;
};

/// The payload of a NAL unit without its header and emulation prevention bytes.
std::vector<unsigned char> Payload(TByteSpan nal, std::size_t header) {
    std::vector<unsigned char> out;
    out.reserve(nal.size());
    int zeros = 0;
    for (std::size_t i = header; i < nal.size(); ++i) {
        if (zeros >= 2 && nal[i] == 3) {
            zeros = 0;
            continue;
        }
        zeros = nal[i] == 0 ? zeros + 1 : 0;
        out.push_back(nal[i]);
    }
    return out;
}

void SkipScalingList(TBitReader& r, int size) {
    int last = 8;
    int next = 8;
    for (int j = 0; j < size && next != 0 && !r.Failed(); ++j) {
        next = (last + r.Se() + 256) % 256;
        if (next != 0) last = next;
    }
}

bool HighProfile(std::uint32_t profile) {
    for (std::uint32_t p :
         {100u, 110u, 122u, 244u, 44u, 83u, 86u, 118u, 128u, 138u, 139u, 134u, 135u})
        if (profile == p) return true;
    return false;
}

/// The pixel shapes of aspect_ratio_idc 1 to 16 (the same in both standards).
constexpr TRatio SampleAspects[] = {{1, 1},    {12, 11}, {10, 11}, {16, 11}, {40, 33}, {24, 11},
                                    {20, 11},  {32, 11}, {80, 33}, {18, 11}, {15, 11}, {64, 33},
                                    {160, 99}, {4, 3},   {3, 2},   {2, 1}};
constexpr std::uint32_t ExtendedSar = 255;

/// The VUI fields both standards begin with: the pixel shape, then overscan,
/// signal type and chroma location, which are skipped.
void ReadVuiStart(TBitReader& r, TSps& sps) {
    if (r.Flag()) { // aspect_ratio_info_present_flag
        const std::uint32_t idc = r.Bits(8);
        if (idc == ExtendedSar) {
            const std::uint32_t w = r.Bits(16);
            const std::uint32_t h = r.Bits(16);
            sps.SampleAspect = TRatio{w, h}.Reduced();
        } else if (idc >= 1 && idc <= 16) {
            sps.SampleAspect = SampleAspects[idc - 1];
        }
    }
    if (r.Flag()) r.Bits(1); // overscan
    if (r.Flag()) {          // video signal type
        r.Bits(4);
        if (r.Flag()) r.Bits(24);
    }
    if (r.Flag()) { // chroma sample location
        r.Ue();
        r.Ue();
    }
}

/// `scale` / (`ticks` x `ticksPerFrame`) frames per second.
void ReadTiming(TBitReader& r, TSps& sps, std::int64_t ticksPerFrame) {
    const std::uint32_t tick = r.Bits(32);
    const std::uint32_t scale = r.Bits(32);
    if (!r.Failed() && tick > 0 && scale > 0)
        sps.FrameRate = TRatio{scale, std::int64_t{tick} * ticksPerFrame}.Reduced();
}

/// The frame size less the cropping, in units of the chroma subsampling
/// (`chroma` 0 for monochrome or separately coded planes).
bool SetSize(TSps& sps, std::int64_t width, std::int64_t height, std::uint32_t chroma,
             const std::uint32_t (&crop)[4], std::int64_t rowFactor) {
    const bool mono = chroma == 0;
    const std::int64_t unitX = mono || chroma == 3 ? 1 : 2;
    const std::int64_t unitY = (mono || chroma != 1 ? 1 : 2) * rowFactor;
    width -= unitX * (std::int64_t{crop[0]} + crop[1]);
    height -= unitY * (std::int64_t{crop[2]} + crop[3]);
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return false;
    sps.Width = static_cast<int>(width);
    sps.Height = static_cast<int>(height);
    return true;
}

/// The first NAL unit of a byte stream whose type `isWanted` accepts.
template <class F>
TByteSpan FirstNal(TByteSpan s, F isWanted) {
    for (std::size_t i = 0; i + 3 < s.size(); ++i) {
        if (s[i] != 0 || s[i + 1] != 0 || s[i + 2] != 1 || !isWanted(s[i + 3])) continue;
        std::size_t end = i + 3;
        while (end + 2 < s.size() && !(s[end] == 0 && s[end + 1] == 0 && s[end + 2] <= 1)) ++end;
        if (end + 2 >= s.size()) end = s.size();
        return s.subspan(i + 3, end - (i + 3));
    }
    return {};
}

bool IsHevcSps(unsigned char header) {
    return (header >> 1 & 0x3F) == HevcSpsNalType;
}

// ---- HEVC structures that only need skipping ------------------------------------------

void SkipProfileTierLevel(TBitReader& r, std::uint32_t subLayers) {
    r.Skip(96); // general profile, flags and level
    bool profile[8] = {}, level[8] = {};
    for (std::uint32_t i = 0; i < subLayers; ++i) {
        profile[i] = r.Flag();
        level[i] = r.Flag();
    }
    if (subLayers > 0) r.Skip(2 * (8 - subLayers));
    for (std::uint32_t i = 0; i < subLayers; ++i) {
        if (profile[i]) r.Skip(88);
        if (level[i]) r.Skip(8);
    }
}

void SkipHevcScalingLists(TBitReader& r) {
    for (int size = 0; size < 4 && !r.Failed(); ++size) {
        for (int matrix = 0; matrix < 6; matrix += size == 3 ? 3 : 1) {
            if (!r.Flag()) {
                r.Ue();
                continue;
            }
            const int coefficients = std::min(64, 1 << (4 + (size << 1)));
            if (size > 1) r.Se();
            for (int i = 0; i < coefficients && !r.Failed(); ++i) r.Se();
        }
    }
}

/// Skips the short-term reference picture sets; false when one is out of range.
bool SkipShortTermSets(TBitReader& r, std::uint32_t count) {
    constexpr std::uint32_t MaxPictures = 16;
    std::uint32_t previous = 0; // pictures of the set before, which a set may predict from
    for (std::uint32_t set = 0; set < count && !r.Failed(); ++set) {
        if (set != 0 && r.Flag()) { // inter_ref_pic_set_prediction_flag
            r.Bits(1);
            r.Ue();
            std::uint32_t pictures = 0;
            for (std::uint32_t j = 0; j <= previous; ++j) {
                const bool used = r.Flag();
                if (used || r.Flag()) ++pictures;
            }
            previous = pictures;
        } else {
            const std::uint32_t negative = r.Ue();
            const std::uint32_t positive = r.Ue();
            if (negative > MaxPictures || positive > MaxPictures) return false;
            for (std::uint32_t j = 0; j < negative + positive; ++j) {
                r.Ue();
                r.Bits(1);
            }
            previous = negative + positive;
        }
        if (previous > MaxPictures) return false;
    }
    return true;
}

} // namespace

namespace h264 {

bool ParseSps(TByteSpan nal, TSps& sps) {
    if (nal.empty() || (nal[0] & 0x1F) != SpsNalType) return false;
    const std::vector<unsigned char> payload = Payload(nal, 1);
    TBitReader r(payload);
    sps = {};
    const std::uint32_t profile = r.Bits(8);
    r.Bits(16); // constraint flags, level
    r.Ue();     // seq_parameter_set_id
    std::uint32_t chroma = 1;
    bool separatePlanes = false;
    if (HighProfile(profile)) {
        chroma = r.Ue();
        if (chroma == 3) separatePlanes = r.Flag();
        r.Ue(); // bit depths
        r.Ue();
        r.Bits(1);
        if (r.Flag()) { // scaling matrices
            for (int i = 0; i < (chroma != 3 ? 8 : 12) && !r.Failed(); ++i)
                if (r.Flag()) SkipScalingList(r, i < 6 ? 16 : 64);
        }
    }
    r.Ue(); // log2_max_frame_num_minus4
    const std::uint32_t pocType = r.Ue();
    if (pocType == 0) {
        r.Ue();
    } else if (pocType == 1) {
        r.Bits(1);
        r.Se();
        r.Se();
        const std::uint32_t cycle = r.Ue();
        if (cycle > 255) return false;
        for (std::uint32_t i = 0; i < cycle; ++i) r.Se();
    }
    r.Ue(); // max_num_ref_frames
    r.Bits(1);
    const std::uint32_t widthMbs = r.Ue() + 1;
    const std::uint32_t heightUnits = r.Ue() + 1;
    sps.FramesOnly = r.Flag(); // frame_mbs_only_flag
    if (!sps.FramesOnly) r.Bits(1);
    r.Bits(1); // direct_8x8_inference_flag
    std::uint32_t crop[4] = {};
    if (r.Flag())
        for (auto& c : crop) c = r.Ue();
    if (r.Flag()) {
        ReadVuiStart(r, sps);
        if (r.Flag()) ReadTiming(r, sps, 2); // two ticks per frame
    }
    const int rowFactor = sps.FramesOnly ? 1 : 2;
    return !r.Failed() && chroma <= 3 && widthMbs <= 1024 && heightUnits <= 1024 &&
           SetSize(sps, std::int64_t{widthMbs} * 16, std::int64_t{heightUnits} * 16 * rowFactor,
                   separatePlanes ? 0 : chroma, crop, rowFactor);
}

TByteSpan SpsOfConfig(TByteSpan c) {
    if (c.size() < 8 || c[0] != 1 || (c[5] & 0x1F) == 0) return {};
    const std::size_t length = std::size_t{c[6]} << 8 | c[7];
    if (length == 0 || 8 + length > c.size()) return {};
    return c.subspan(8, length);
}

TByteSpan SpsOfByteStream(TByteSpan s) {
    return FirstNal(s, [](unsigned char h) { return (h & 0x1F) == SpsNalType; });
}

} // namespace h264

namespace hevc {

bool ParseSps(TByteSpan nal, TSps& sps) {
    if (nal.size() < 2 || !IsHevcSps(nal[0])) return false;
    const std::vector<unsigned char> payload = Payload(nal, 2);
    TBitReader r(payload);
    sps = {};
    r.Bits(4); // sps_video_parameter_set_id
    const std::uint32_t subLayers = r.Bits(3);
    r.Bits(1);
    if (subLayers > 6) return false;
    SkipProfileTierLevel(r, subLayers);
    r.Ue(); // sps_seq_parameter_set_id
    std::uint32_t chroma = r.Ue();
    if (chroma == 3 && r.Flag()) chroma = 0; // separate planes
    const std::uint32_t width = r.Ue();
    const std::uint32_t height = r.Ue();
    std::uint32_t crop[4] = {};
    if (r.Flag())
        for (auto& c : crop) c = r.Ue();
    r.Ue(); // bit depths
    r.Ue();
    const std::uint32_t pocBits = r.Ue() + 4;
    const bool allLayers = r.Flag();
    for (std::uint32_t i = allLayers ? 0 : subLayers; i <= subLayers; ++i) {
        r.Ue();
        r.Ue();
        r.Ue();
    }
    for (int i = 0; i < 6; ++i) r.Ue(); // block sizes and transform depths
    if (r.Flag() && r.Flag()) SkipHevcScalingLists(r);
    r.Bits(2);      // amp, sample adaptive offset
    if (r.Flag()) { // pcm
        r.Bits(8);
        r.Ue();
        r.Ue();
        r.Bits(1);
    }
    const std::uint32_t shortTermSets = r.Ue();
    if (shortTermSets > 64 || pocBits > 16 || !SkipShortTermSets(r, shortTermSets)) return false;
    if (r.Flag()) { // long-term reference pictures
        const std::uint32_t longTerm = r.Ue();
        if (longTerm > 32) return false;
        for (std::uint32_t i = 0; i < longTerm; ++i) r.Skip(pocBits + 1);
    }
    r.Bits(2); // temporal motion vectors, strong intra smoothing
    if (r.Flag()) {
        ReadVuiStart(r, sps);
        r.Bits(1); // neutral_chroma_indication_flag
        const bool fieldSequence = r.Flag();
        const bool frameFieldInfo = r.Flag();
        // Fields coded as pictures, or a picture structure per picture: the
        // order is for a decoder to tell.
        sps.FramesOnly = !fieldSequence && !frameFieldInfo;
        if (r.Flag()) // default display window
            for (int i = 0; i < 4; ++i) r.Ue();
        if (r.Flag()) ReadTiming(r, sps, 1);
    }
    return !r.Failed() && chroma <= 3 && SetSize(sps, width, height, chroma, crop, 1);
}

TByteSpan SpsOfConfig(TByteSpan c) {
    constexpr std::size_t ArraysAt = 23;
    if (c.size() < ArraysAt || c[0] != 1) return {};
    std::size_t at = ArraysAt;
    for (int array = 0; array < c[22] && at + 3 <= c.size(); ++array) {
        const bool sps = (c[at] & 0x3F) == HevcSpsNalType;
        const std::size_t units = std::size_t{c[at + 1]} << 8 | c[at + 2];
        at += 3;
        for (std::size_t u = 0; u < units && at + 2 <= c.size(); ++u) {
            const std::size_t length = std::size_t{c[at]} << 8 | c[at + 1];
            at += 2;
            if (length > c.size() - at) return {};
            if (sps && length > 0) return c.subspan(at, length);
            at += length;
        }
    }
    return {};
}

TByteSpan SpsOfByteStream(TByteSpan s) {
    return FirstNal(s, IsHevcSps);
}

} // namespace hevc

} // namespace tarvex
