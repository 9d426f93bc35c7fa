// The picture-geometry model: crop, resize, borders and block counts.
#pragma once

#include "common/Numeric.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tarvex {

/// How far the crop aspect strays from the resize aspect: below 0.5 %, up to 1 %, more.
enum class TErrorBand { Small, Noticeable, Large };

/// The crop-mode list: the whole film area, or the largest of the resize's aspect.
enum class TCropMode : std::uint8_t { None, Accurate, Average, MaxHeight, MaxWidth };

/// What one Recompute found. A step that fails leaves the fields after it empty.
struct TCropResult {
    std::int16_t CropX = 0;
    std::int16_t CropY = 0;
    std::int16_t CropLeft = 0;
    std::int16_t CropTop = 0;
    std::optional<Real> CropAspect = {}; ///< rounded to 4 decimals
    std::optional<double> Error = {};    ///< crop aspect / resize aspect - 1, in % with 2 decimals
    TErrorBand Band = TErrorBand::Small;
};

/// Black borders around the resized picture: left, top, right, bottom.
struct TBorderRect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
    bool operator==(const TBorderRect&) const = default;
};

class TResizeStruct {
  public:
    /// The narrowest and lowest film area the geometry plans.
    static constexpr std::int16_t MinFilmSide = 128;

    std::int16_t ResizeX = 16;
    std::int16_t ResizeY = 16;
    std::int16_t DestX = 0;
    std::int16_t DestY = 0;
    std::int16_t CropX = 0;
    std::int16_t CropY = 0;
    std::int16_t CropLeft = 0;
    std::int16_t CropTop = 0;
    std::int8_t CropRoundX = 2;
    std::int8_t CropRoundY = 2;
    std::uint8_t CropMode = 0; ///< a TCropMode; an unknown number crops nothing
    bool InterlacedResizing = false;
    std::int16_t SrcPixelX = 0;
    std::int16_t SrcPixelY = 0;
    std::int16_t SrcResX = 720;
    std::int16_t SrcResY = 576;
    std::int16_t BorderLeft = 0;
    std::int16_t BorderTop = 0;
    double SrcPixelForm = 1.0;
    double DestPixelForm = 1.0;
    std::uint16_t ResizeChromBlocks = 0;
    std::uint16_t ResizeLumBlocks = 0;
    std::uint16_t ResizeBlocks = 0;
    std::uint16_t FilmChromBlocks = 0;
    std::uint16_t FilmLumBlocks = 0;
    std::uint16_t FilmBlocks = 0;
    std::int32_t DestPixelSuggestionX = 0;
    std::int32_t DestPixelSuggestionY = 0;
    std::uint8_t DestPixelRoundX = 0;
    std::uint8_t DestPixelRoundY = 0;
    std::int32_t ResizeXAlignment = 0;
    bool SrcIsPAL = false;
    bool SrcIsAnamorphic = false;
    bool SrcIsVFAPI = false;
    bool DestIsPAL = false;
    std::int16_t OptPositioning = 0;
    double SrcBitRate = 0;
    double SrcFrameRate = 0;
    std::int32_t SrcFrameCount = 0;
    std::uint8_t SrcAspectCode = 0;
    std::string SrcFourCC;

    /// Receives the crop after each recompute that found one; may be unset.
    std::function<void(const TCropResult&)> OnCropResult;

    // Setters compare first; a refused value is dropped silently.
    void SetSrcPixelForm(double value);
    void SetDestPixelForm(double value);
    void SetCropRoundX(std::int8_t value);
    void SetCropRoundY(std::int8_t value);
    void SetCropMode(std::uint8_t value);
    void SetInterlacedResizing(bool value);
    void SetSrcPixelX(std::int16_t value);
    void SetSrcPixelY(std::int16_t value);
    void SetResizeX(std::int16_t value);
    void SetResizeY(std::int16_t value);
    void SetBorderLeft(std::int16_t value);
    void SetBorderTop(std::int16_t value);

    // Real aspects; 9999 when the height is 0.
    double FilmAspect() const;
    double CropAspect() const;
    double ResizeAspect() const;

    void Recompute();
    void CountResizeBlocks();
    void CountFilmBlocks();
    TBorderRect GetBorders() const;
};

} // namespace tarvex
