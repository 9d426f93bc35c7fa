#include "source/H264.h"

#include <cstdint>
#include <vector>

namespace tarvex::h264 {

namespace {

constexpr int SpsNalType = 7;

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

/// The payload of a NAL unit without its header byte and emulation prevention bytes.
std::vector<unsigned char> Payload(TBytes nal) {
    std::vector<unsigned char> out;
    out.reserve(nal.size());
    int zeros = 0;
    for (std::size_t i = 1; i < nal.size(); ++i) {
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

/// The pixel shapes of aspect_ratio_idc 1 to 16.
constexpr TRatio SampleAspects[] = {{1, 1},    {12, 11}, {10, 11}, {16, 11}, {40, 33}, {24, 11},
                                    {20, 11},  {32, 11}, {80, 33}, {18, 11}, {15, 11}, {64, 33},
                                    {160, 99}, {4, 3},   {3, 2},   {2, 1}};
constexpr std::uint32_t ExtendedSar = 255;

void ReadVui(TBitReader& r, TSps& sps) {
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
    if (r.Flag()) { // timing information: two ticks per frame
        const std::uint32_t tick = r.Bits(32);
        const std::uint32_t scale = r.Bits(32);
        if (!r.Failed() && tick > 0 && scale > 0)
            sps.FrameRate = TRatio{scale, std::int64_t{tick} * 2}.Reduced();
    }
}

} // namespace

bool ParseSps(TBytes nal, TSps& sps) {
    if (nal.empty() || (nal[0] & 0x1F) != SpsNalType) return false;
    const std::vector<unsigned char> payload = Payload(nal);
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
    sps.FrameMbsOnly = r.Flag();
    if (!sps.FrameMbsOnly) r.Bits(1); // mb_adaptive_frame_field_flag
    r.Bits(1);                        // direct_8x8_inference_flag
    std::uint32_t crop[4] = {};
    if (r.Flag())
        for (auto& c : crop) c = r.Ue();
    if (r.Flag()) ReadVui(r, sps);
    if (r.Failed() || chroma > 3 || widthMbs > 1024 || heightUnits > 1024) return false;

    const int frameFactor = sps.FrameMbsOnly ? 1 : 2;
    const bool mono = chroma == 0 || separatePlanes;
    const std::uint32_t cropX = mono || chroma == 3 ? 1 : 2;
    const std::uint32_t cropY = (mono || chroma != 1 ? 1 : 2) * frameFactor;
    const std::int64_t width =
        std::int64_t{widthMbs} * 16 - std::int64_t{cropX} * (crop[0] + crop[1]);
    const std::int64_t height =
        std::int64_t{heightUnits} * 16 * frameFactor - std::int64_t{cropY} * (crop[2] + crop[3]);
    if (width <= 0 || height <= 0) return false;
    sps.Width = static_cast<int>(width);
    sps.Height = static_cast<int>(height);
    return true;
}

TBytes SpsOfConfig(TBytes c) {
    if (c.size() < 8 || c[0] != 1 || (c[5] & 0x1F) == 0) return {};
    const std::size_t length = std::size_t{c[6]} << 8 | c[7];
    if (length == 0 || 8 + length > c.size()) return {};
    return c.subspan(8, length);
}

TBytes SpsOfByteStream(TBytes s) {
    for (std::size_t i = 0; i + 3 < s.size(); ++i) {
        if (s[i] != 0 || s[i + 1] != 0 || s[i + 2] != 1 || (s[i + 3] & 0x1F) != SpsNalType)
            continue;
        std::size_t end = i + 3;
        while (end + 2 < s.size() && !(s[end] == 0 && s[end + 1] == 0 && s[end + 2] <= 1)) ++end;
        if (end + 2 >= s.size()) end = s.size();
        return s.subspan(i + 3, end - (i + 3));
    }
    return {};
}

} // namespace tarvex::h264
