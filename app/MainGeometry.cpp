// Picture geometry on the main window: pixel forms of source and destination,
// the destination frame, the resize size suggestion and the small handlers that
// feed the resize model.
#include "app/Main.h"

#include "common/Numeric.h"
#include "geometry/Candidates.h"

namespace tarvex {

namespace {

// Pixel forms (height / width of a pixel) under ITU-R BT.601-4, by kind.
constexpr double PalDVD = 0.9140625, PalThreeQuarter = 0.685546875, PalSVCD = 0.609375,
                 PalHalf = 0.45703125;
constexpr double NtscDVD = 1.0972222222222223, NtscThreeQuarter = 0.8229166666666666,
                 NtscSVCD = 0.7314814814814815, NtscHalf = 0.5486111111111112;
constexpr Real NtscITU = 79.0L / 72.0L;
// Pixel forms of a DVD frame without ITU-R BT.601-4: 45/48 and 9/8.
constexpr Real PalPlainDVD = 0.9375L, NtscPlainDVD = 1.125L;

// Source kinds 0..5: "DVD", "XVCD", "3/4 DVD", "SVCD", "1/2 DVD", "VCD".
constexpr double SrcPal[] = {PalDVD, PalDVD, PalThreeQuarter, PalSVCD, PalHalf, PalDVD};
constexpr double SrcNtsc[] = {NtscDVD, NtscDVD, NtscThreeQuarter, NtscSVCD, NtscHalf, NtscDVD};

// Destination kinds 0..6: "DVD" ... "VCD"; 7 "1:1 Monitor" is square.
constexpr double DestPal[] = {PalDVD,  PalDVD,  PalThreeQuarter, PalThreeQuarter,
                              PalSVCD, PalHalf, PalDVD};
constexpr double DestNtsc[] = {NtscDVD,  NtscDVD,  NtscThreeQuarter, NtscThreeQuarter,
                               NtscSVCD, NtscHalf, NtscDVD};
constexpr std::int16_t DestWidths[] = {720, 704, 544, 528, 480, 352, 352};

constexpr int DestSquareKind = 7; // "1:1 Monitor" among the destination kinds

/// What a resize height rounding of 2^0 .. 2^4 is good for.
constexpr const char* Optimisations[] = {"= no optimization", "= MMX optimized", "= MMX optimized",
                                         "= MMX optimized", "= block optimized"};

/// The rounding a slider position stands for: 2^0 .. 2^4, 32 at the end.
std::uint8_t RoundFromExp(int exponent) {
    return exponent >= 0 && exponent <= 4 ? static_cast<std::uint8_t>(1 << exponent) : 32;
}

/// The font colour of each error band.
constexpr TColour BandColours[] = {TColour::Black, TColour::Yellow, TColour::Red};

/// "N blocks = R bps/block = 1:C compression": a bitrate spread over the blocks of a frame.
std::string BlockRate(std::uint16_t blocks, Real rate, Real frameRate, char separator) {
    const Real perBlock = Div(rate, blocks);
    return IntToStr(blocks) + " blocks = " + IntToStr(Round(perBlock)) +
           " bps/block = 1:" + RoundedToStr(Div(768 * frameRate, perBlock), 10, separator) +
           " compression";
}

} // namespace

void TMainForm::ApplySrcPixelForm() {
    const int kind = SrcAspectBox.ItemIndex();
    const bool pal = ResizeModel.SrcIsPAL;
    Real v = 1.0;
    if (kind >= 0 && kind < SquareKind) v = pal ? SrcPal[kind] : SrcNtsc[kind];
    if (kind == SquareKind && ITUAspect.Checked())
        v = pal ? v * PalDVD / PalPlainDVD : NtscITU * v / NtscPlainDVD;
    // Multiplied by the fractions themselves, which rounds differently from the forms.
    if (kind != SquareKind && !ITUAspect.Checked())
        v = pal ? v / PalDVD * 45 / 48 : v / NtscITU * 9 / 8;
    ResizeModel.SetSrcPixelForm(static_cast<double>(v));
    if (ResizeModel.SrcIsAnamorphic)
        ResizeModel.SetSrcPixelForm(
            static_cast<double>(static_cast<Real>(ResizeModel.SrcPixelForm) * 3 / 4));
    SrcAspectBox.SetHint("Source aspect:\r\nPixelform: " +
                         RoundedToStr(ResizeModel.SrcPixelForm, 10000000, DecimalSeparator));
}

void TMainForm::SrcChange() {
    if (Updating) return;
    ResizeModel.SrcIsPAL = SrcPALBox.Checked();
    ResizeModel.SrcIsAnamorphic = SrcAnamorphic.Checked();
    ApplySrcPixelForm();
    // A field that does not hold a number ends this step: the film size stays.
    std::int32_t x, y;
    if (TryStrToInt(SrcPixelXEdit.Text(), x)) {
        if (x != ResizeModel.SrcPixelX) {
            ResizeModel.SetSrcPixelX(Store<std::int16_t>(x));
            ResizeModel.SetBorderLeft(
                Store<std::int16_t>(Half(ResizeModel.SrcResX - ResizeModel.SrcPixelX)));
            BorderLeftEdit.SetText(IntToStr(ResizeModel.BorderLeft));
        }
        if (TryStrToInt(SrcPixelYEdit.Text(), y) && y != ResizeModel.SrcPixelY) {
            ResizeModel.SetSrcPixelY(Store<std::int16_t>(y));
            ResizeModel.SetBorderTop(
                Store<std::int16_t>(Half(ResizeModel.SrcResY - ResizeModel.SrcPixelY)));
            BorderTopEdit.SetText(IntToStr(ResizeModel.BorderTop));
        }
    }
    try {
        FilmAspectLabel.SetCaption("= " +
                                   RoundedToStr(ResizeModel.FilmAspect(), 10000, DecimalSeparator));
    } catch (const FloatError&) {
    }
    DestChange();
}

void TMainForm::ShowCrop(const TCropResult& crop) {
    LastCrop = crop;
    CropXEdit.SetText(IntToStr(crop.CropX));
    CropYEdit.SetText(IntToStr(crop.CropY));
    if (!crop.CropAspect) return;
    CropAspectLabel.SetCaption("= " + FloatToStr(*crop.CropAspect, DecimalSeparator));
    if (!crop.Error) return;
    ErrLabel.SetCaption("error: " + FloatToStr(*crop.Error, DecimalSeparator) + "%");
    ErrLabel.SetFontColour(BandColours[static_cast<int>(crop.Band)]);
}

void TMainForm::GetDestPixelForm() {
    DestAnamorphic.SetEnabled(true);
    const int kind = DestAspectBox.ItemIndex();
    if (kind >= 0 && kind < DestSquareKind) {
        ResizeModel.SetDestPixelForm(ResizeModel.DestIsPAL ? DestPal[kind] : DestNtsc[kind]);
    } else {
        // Square pixels are never anamorphic and need no overscan blocks.
        DestAnamorphic.SetChecked(false);
        DestAnamorphic.SetEnabled(false);
        ResizeModel.SetDestPixelForm(1.0);
        TVBorderUpDown.SetPosition(0);
    }
    if (DestAnamorphic.Checked())
        ResizeModel.SetDestPixelForm(
            static_cast<double>(static_cast<Real>(ResizeModel.DestPixelForm) * 3 / 4));
    DestAspectBox.SetHint("Destination aspect:\r\nPixelform: " +
                          RoundedToStr(ResizeModel.DestPixelForm, 10000000, DecimalSeparator));
}

void TMainForm::ResetResizeToDest() {
    const bool pal = ResizeModel.DestIsPAL;
    DestYEdit.SetText(pal ? "576" : "480");
    ResizeModel.DestY = pal ? 576 : 480;
    const int kind = DestAspectBox.ItemIndex();
    const std::int16_t width = kind >= 0 && kind <= 6 ? DestWidths[kind] : 768;
    DestXEdit.SetText(IntToStr(width));
    ResizeModel.DestX = width;
    if (kind == 6) { // "VCD" has half the lines
        DestYEdit.SetText(pal ? "288" : "240");
        ResizeModel.DestY = pal ? 288 : 240;
    }
    const int overscan = 16 * TVBorderUpDown.Position();
    ResizeModel.SetResizeX(Store<std::int16_t>(ResizeModel.DestX - overscan));
    ResizeModel.SetResizeY(Store<std::int16_t>(ResizeModel.DestY - overscan));
    ResizeModel.DestPixelRoundY = RoundFromExp(RoundYResize.Position());
    LabelRoundYResize.SetCaption(IntToStr(ResizeModel.DestPixelRoundY));
}

void TMainForm::DestChange() {
    if (Updating) return;
    ResizeModel.DestIsPAL = DestPALBox.Checked();
    GetDestPixelForm();
    ResetResizeToDest();
    if (AutoResizeY) {
        ResizeModel.DestPixelSuggestionY = 0;
        ResizeModel.DestPixelSuggestionX = 0;
    }
    MakeSuggestion();
    // The disc's frame rate and pulldown follow the TV systems.
    CalcImage();
}

void TMainForm::MakeSuggestion() {
    if (Updating) return;
    if (ResizeModel.DestPixelSuggestionX == 0 && ResizeModel.DestPixelSuggestionY == 0) {
        try {
            ResizeModel.DestPixelSuggestionY =
                HeightForWidth(ResizeModel, ResizeModel.ResizeX, ResizeModel.ResizeY);
        } catch (const FloatError&) {
            return;
        }
    }
    AutoResizeY = true;
    CalcNewRes();
}

void TMainForm::CalcNewXRes() {
    TResizeStruct& m = ResizeModel;
    const std::int32_t w = WidthForHeight(m, m.ResizeY, m.ResizeX);
    m.SetResizeX(Store<std::int16_t>(w));
    m.ResizeXAlignment = 1;
    for (std::int32_t v = w; v % 2 == 0 && m.ResizeXAlignment <= 16; v /= 2)
        m.ResizeXAlignment *= 2;
    LabelRoundXResize.SetCaption(IntToStr(m.ResizeXAlignment));
}

void TMainForm::CalcNewRes() {
    if (Updating) return;
    TResizeStruct& m = ResizeModel;
    try {
        GetDestPixelForm();
        ResetResizeToDest();
        if (m.DestPixelSuggestionY == 0) {
            m.SetResizeX(Store<std::int16_t>(m.DestPixelSuggestionX));
            m.SetResizeY(Store<std::int16_t>(HeightForWidth(m, m.ResizeX, m.ResizeY)));
            m.DestPixelSuggestionY = m.ResizeY;
        } else if (m.DestPixelSuggestionX == 0) {
            m.SetResizeY(Store<std::int16_t>(m.DestPixelSuggestionY));
            CalcNewXRes();
            m.DestPixelSuggestionX = m.ResizeX;
        }
        ResizeXEdit.SetText(IntToStr(m.ResizeX));
        if (AutoResizeY) ResizeYEdit.SetText(IntToStr(m.ResizeY));
        const int rounding = RoundYResize.Position();
        if (rounding >= 0 && rounding < 5) ResizeAlignLabel.SetCaption(Optimisations[rounding]);
        if (rounding == 5)
            ResizeAlignLabel.SetCaption(m.ResizeXAlignment >= 32 ? "= macroblock optimized"
                                                                 : "= block optimized");
        UpdateRatePerBlock();
        ResizeAspectLabel.SetCaption("= " +
                                     RoundedToStr(m.ResizeAspect(), 10000, DecimalSeparator));
        MakeScript();
    } catch (const FloatError&) {
    }
}

void TMainForm::ResizeYEditKeyUp() {
    std::int32_t height;
    if (ResizeYEdit.Text().size() != 3 || !TryStrToInt(ResizeYEdit.Text(), height)) return;
    TakeResizeHeight(height);
}

void TMainForm::TakeResizeHeight(std::int32_t height) {
    AutoResizeY = false;
    ResizeModel.DestPixelSuggestionY = height;
    ResizeModel.DestPixelSuggestionX = 0;
    CalcNewRes();
}

void TMainForm::ResizeYUpDownChangingEx(TUpDownDirection direction) {
    const std::int32_t s = ResizeModel.DestPixelSuggestionY;
    const std::int32_t round = ResizeModel.DestPixelRoundY;
    std::int32_t v;
    try {
        if (direction == TUpDownDirection::Up) {
            v = Ceil(Div(s, round)) * round;
            if (v == s) v = s + round;
        } else if (direction == TUpDownDirection::Down) {
            v = Floor(Div(s, round)) * round;
            if (v == s) v = s - round;
        } else {
            return;
        }
    } catch (const FloatError&) {
        return;
    }
    ResizeModel.DestPixelSuggestionY = v;
    ResizeModel.DestPixelSuggestionX = 0;
    ResizeYEdit.SetText(IntToStr(v));
    MakeSuggestion();
}

void TMainForm::RoundCropChange(const TTrackBar& slider, TLabel& label, const std::int8_t& round,
                                void (TResizeStruct::*set)(std::int8_t)) {
    label.SetCaption(IntToStr(round));
    if (Updating) return;
    (ResizeModel.*set)(static_cast<std::int8_t>(RoundFromExp(slider.Position())));
    label.SetCaption(IntToStr(round));
    MakeScript();
}

void TMainForm::CropModeBoxChange() {
    ResizeModel.SetCropMode(Store<std::uint8_t>(CropModeBox.ItemIndex()));
    MakeScript();
}

void TMainForm::SrcChangeResManual() {
    std::int32_t x = 0, y = 0;
    if (!TryStrToInt(SrcXEdit.Text(), x)) x = 0;
    if (!TryStrToInt(SrcYEdit.Text(), y)) y = 0;
    const std::uint16_t width = Store<std::uint16_t>(x), height = Store<std::uint16_t>(y);
    const bool takeX = width >= 64 && width <= 2048, takeY = height >= 64 && height <= 2048;
    if (takeX) ResizeModel.SrcResX = static_cast<std::int16_t>(width);
    if (takeY) ResizeModel.SrcResY = static_cast<std::int16_t>(height);
    if (takeX || takeY) SrcChange();
}

void TMainForm::CopyBtnClick() {
    SrcPixelXEdit.SetText(IntToStr(ResizeModel.SrcResX));
    SrcPixelYEdit.SetText(IntToStr(ResizeModel.SrcResY));
}

void TMainForm::BorderEditKeyUp() {
    std::int32_t v;
    // A border the frame cannot take keeps the one before; the user is told.
    const auto kept = [this](const char* side, std::int32_t typed, std::int16_t now) {
        if (typed != now)
            Notice = std::string("The ") + side + " border of " + IntToStr(typed) +
                     " does not fit the source frame: it stays at " + IntToStr(now) + ".";
    };
    if (TryStrToInt(BorderLeftEdit.Text(), v)) {
        ResizeModel.SetBorderLeft(Store<std::int16_t>(v));
        kept("left", v, ResizeModel.BorderLeft);
        BorderLeftEdit.SetText(IntToStr(ResizeModel.BorderLeft));
    }
    if (TryStrToInt(BorderTopEdit.Text(), v)) {
        ResizeModel.SetBorderTop(Store<std::int16_t>(v));
        kept("top", v, ResizeModel.BorderTop);
        BorderTopEdit.SetText(IntToStr(ResizeModel.BorderTop));
    }
    MakeScript();
}

// Bits per 8x8 block and compression of the destination picture and the source.

void TMainForm::UpdateRatePerBlock() {
    Real kbps;
    ResizeModel.SrcBitRate = 4400000.0; // the rate of an unreadable field
    try {
        if (TryStrToFloat(SrcRateEdit.Text(), kbps, DecimalSeparator))
            ResizeModel.SrcBitRate = ToDouble(kbps * 1000);
    } catch (const FloatError&) {
    }
    const TResizeStruct& m = ResizeModel;
    const Real frameRate = DiscImage.FrameRate;
    try {
        RatePerBlockLabel.SetHint("= " + IntToStr(m.ResizeLumBlocks) + " LumBlocks and " +
                                  IntToStr(m.ResizeChromBlocks) + " ChromBlocks");
        if (DiscImage.VideoRate != 0)
            RatePerBlockLabel.SetCaption(
                "= " + BlockRate(m.ResizeBlocks, DiscImage.VideoRate, frameRate, DecimalSeparator));
        if (m.SrcBitRate != 0)
            SrcRateEdit.SetHint("Source analysis:\r\n= " +
                                BlockRate(m.FilmBlocks, m.SrcBitRate, frameRate, DecimalSeparator) +
                                "\r\n= " + IntToStr(m.FilmLumBlocks) + " LumBlocks and " +
                                IntToStr(m.FilmChromBlocks) + " ChromBlocks");
    } catch (const FloatError&) {
    }
}

} // namespace tarvex
