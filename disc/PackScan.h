// How a multiplexer filled its sectors: the packs of an MPEG program stream with
// fixed-size packs, counted by the stream they carry.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tarvex {

/// Kinds of pack, by the first stream packet in them. Subpictures are a DVD's
/// subtitles and menu buttons.
enum class TPackKind { Video, Audio, Subpicture, Navigation, Empty, Broken };
constexpr std::size_t PackKinds = 6;

struct TPackCount {
    std::int64_t Packs = 0;
    std::int64_t Payload = 0; ///< elementary stream bytes they carry
    /// Packs that start a video sequence or GOP (video packs only).
    std::int64_t GopStarts = 0;
};

/// The packs of one file.
struct TPackScan {
    std::int64_t SectorSize = 0;
    std::int64_t Sectors = 0; ///< whole sectors in the file; a shorter tail is not counted
    std::array<TPackCount, PackKinds> Kinds{};
    std::int64_t SystemHeaders = 0;
    std::int64_t PaddingBytes = 0; ///< in padding packets
    std::int64_t FillBytes = 0;    ///< after the last packet of a pack
    std::int64_t MuxRate = 0;      ///< bits per second the first pack header states
    /// The largest buffers the system headers state, in bytes: for the video stream
    /// and for an audio stream.
    std::int64_t VideoBuffer = 0;
    std::int64_t AudioBuffer = 0;

    const TPackCount& operator[](TPackKind kind) const {
        return Kinds[static_cast<std::size_t>(kind)];
    }
    TPackCount& operator[](TPackKind kind) { return Kinds[static_cast<std::size_t>(kind)]; }
};

/// Counts the packs of `fileName`, read one sector of `sectorSize` bytes at a time.
/// A sector that is not one whole pack counts as Broken. Throws std::runtime_error
/// when the file cannot be read.
TPackScan ScanPacks(const std::string& fileName, std::int64_t sectorSize);

/// The bytes of the subpicture packs in the title VOBs (VTS_nn_1.VOB and on) of the
/// DVD folder `videoTs`: the subtitles as the image holds them. 0 when there are none
/// or they cannot be read.
std::int64_t TitleSubpictureBytes(const std::string& videoTs);

} // namespace tarvex
