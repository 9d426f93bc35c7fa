// Disc, multiplexing and authoring settings: the disc length and count, the
// multiplexer with the check boxes only it supports, and the authoring tool.
#include "app/Main.h"

#include "common/Numeric.h"

#include <algorithm>
#include <iterator>

namespace tarvex {

namespace {

/// Lead-out positions (blocks) of "21min CD" ... "8.5GB DVD". No selection takes "4.7GB DVD".
/// "4.7GB DVD" is the smaller of the two writable kinds, DVD+R (2295104 blocks; DVD-R
/// has 2298496), so that an image planned for it can be written on either.
constexpr std::int32_t LeadOuts[] = {94350,   332850,  359850,  404850, 445350,
                                     1273350, 1907850, 2295104, 4171712};
constexpr int SingleLayerDvd = 7;

using namespace Rows;

bool IsDvdMux(int mode) {
    return mode == DvdMux || mode == DvdFfmpeg;
}

bool IsVcdMux(int mode) {
    return mode == 3 || mode == 4 || mode == VcdFfmpeg;
}

} // namespace

void TMainForm::CDTypeBoxChange() {
    DiscImage.CDType = Store<std::int8_t>(CDTypeBox.ItemIndex());
    const int type = DiscImage.CDType;
    const std::int32_t leadOut =
        LeadOuts[type >= 0 && type < static_cast<int>(std::size(LeadOuts)) ? type : SingleLayerDvd];
    // Minutes and seconds of the lead-out; its frames are dropped.
    EditCDmin.SetText(IntToStr(leadOut / 4500));
    EditCDsec.SetText(IntToStr(leadOut / 75 - leadOut / 4500 * 60));
    if (DiscImage.CDType > 4 && !IsDvdMux(DiscImage.MuxMode)) {
        MuxModeBox.SetItemIndex(DvdMux);
        MuxModeBoxChange();
    }
}

void TMainForm::CDTimeChange() {
    if (Updating) return;
    std::int32_t minutes, seconds;
    if (TryStrToInt(EditCDmin.Text(), minutes) && TryStrToInt(EditCDsec.Text(), seconds))
        DiscImage.SetBlocksUsable(
            Store<std::uint32_t>((std::int64_t{minutes} * 60 + seconds) * 75 - 1));
    DiscCount = Store<std::uint8_t>(CDNrUpDown.Position());
    EditSubPicsChange();

    const std::int64_t usable = DiscImage.BlocksUsable;
    const std::int64_t calculated = usable - DiscImage.Safety;
    try {
        EditCDmin.SetHint(
            "The size of one destination-CD:\r\nUsable for data: " + IntToStr(usable) +
            " blocks (Get this value from e.g. Nero)\r\n" +
            "Max. LeadOutPos. (ATIP-value from e.g. Feurio): block " + IntToStr(usable + 150) +
            "\r\n" + "\r\n" + "The safety (unused space) is to " + IntToStr(DiscImage.Safety) +
            " blocks, so the program calculates\r\n" + "the values for " + IntToStr(calculated) +
            " blocks = " +
            IntToStr(Round(static_cast<Real>(calculated) * DiscImage.SectorSize / 1024)) +
            " KB per CD.");
        EditCDsec.SetHint(EditCDmin.Hint());
    } catch (const FloatError&) {
    }
    TimeChange();
    CalcImage();
}

void TMainForm::CDSecUpDownChangingEx(int newValue, TUpDownDirection direction) {
    CarrySeconds(newValue, direction, CDMinUpDown);
}

void TMainForm::MuxModeBoxChange() {
    const int mode = MuxModeBox.ItemIndex();
    if (mode < 0) return;
    const bool wasDvd = IsDvdMux(DiscImage.MuxMode);
    try {
        DiscImage.SetMuxMode(Store<std::int8_t>(mode));
        // A state change below runs this handler again; that nested run finds
        // the same mode and ends after its own recomputation.
        switch (mode) {
        case 0: // I-Author: none of the three
            ScanOffsets.SetChecked(false);
            SeqAligning.SetChecked(false);
            AC3Box.SetChecked(false);
            AC3Box.SetVisible(false);
            ScanOffsets.SetVisible(false);
            SeqAligning.SetVisible(false);
            break;
        case 1: // bbMPEG: scan offsets need aligned sequence headers
        case 3:
            ScanOffsets.SetVisible(true);
            SeqAligning.SetVisible(true);
            AC3Box.SetChecked(false);
            AC3Box.SetVisible(false);
            if (ScanOffsets.Checked()) SeqAligning.SetChecked(true);
            break;
        case 2: // TMPGEnc and ffmpeg always write scan offsets on an SVCD
        case SvcdFfmpeg:
            ScanOffsets.SetChecked(true);
            SeqAligning.SetChecked(false);
            ScanOffsets.SetVisible(false);
            SeqAligning.SetVisible(false);
            AC3Box.SetChecked(false);
            AC3Box.SetVisible(false);
            break;
        case 4:
        case VcdFfmpeg:
            ScanOffsets.SetChecked(false);
            SeqAligning.SetChecked(false);
            AC3Box.SetChecked(false);
            ScanOffsets.SetVisible(false);
            SeqAligning.SetVisible(false);
            AC3Box.SetVisible(false);
            break;
        case DvdMux: // VOBs align every sequence header
        case DvdFfmpeg:
            AC3Box.SetVisible(true);
            // An NTSC DVD must carry AC-3 sound: it is where a new DVD starts.
            if (!wasDvd && !ResizeModel.DestIsPAL) AC3Box.SetChecked(true);
            ScanOffsets.SetChecked(false);
            SeqAligning.SetChecked(true);
            ScanOffsets.SetVisible(false);
            SeqAligning.SetVisible(false);
            break;
        default:
            break;
        }
        DiscImage.SetAC3Audio(AC3Box.Checked());
        DiscImage.SetScanOffsets(ScanOffsets.Checked());
        DiscImage.SetSeqAligning(SeqAligning.Checked());
    } catch (const FloatError&) {
        return;
    }
    const int authoring = AuthoringBox.ItemIndex();
    const bool dvdAuthoring = authoring == DvdAuthoring || authoring == DvdDvdauthor;
    if (IsDvdMux(DiscImage.MuxMode) && !dvdAuthoring) {
        AuthoringBox.SetItemIndex(DiscImage.MuxMode == DvdFfmpeg ? DvdDvdauthor : DvdAuthoring);
        AuthoringBoxChange();
    } else if (!IsDvdMux(DiscImage.MuxMode) && authoring == DvdDvdauthor) {
        AuthoringBox.SetItemIndex(IsVcdMux(DiscImage.MuxMode) ? VcdVcdimager : 3);
        AuthoringBoxChange();
    }
    CalcImage();
}

void TMainForm::AuthoringBoxChange() {
    const int mux = MuxModeBox.ItemIndex();
    switch (AuthoringBox.ItemIndex()) {
    case DvdAuthoring:
        MuxModeBox.SetItemIndex(DvdMux);
        MuxModeBoxChange();
        break;
    case DvdDvdauthor:
        MuxModeBox.SetItemIndex(DvdFfmpeg);
        MuxModeBoxChange();
        break;
    case 0: // both I-Author variants need its own multiplexer
    case 1:
        MuxModeBox.SetItemIndex(0);
        MuxModeBoxChange();
        break;
    case VcdVcdimager: // vcdimager makes a VCD of MPEG-1 only
        if (!IsVcdMux(mux)) {
            MuxModeBox.SetItemIndex(VcdFfmpeg);
            MuxModeBoxChange();
        }
        break;
    default:
        if (IsDvdMux(mux)) {
            MuxModeBox.SetItemIndex(mux == DvdFfmpeg ? SvcdFfmpeg : 1);
            MuxModeBoxChange();
        }
        break;
    }
    CalcImage();
}

void TMainForm::EditExtraDataKBChange() {
    CalcImage();
}

} // namespace tarvex
