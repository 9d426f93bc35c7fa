// Disc, multiplexing and authoring settings: the disc length and count, the
// multiplexer with the check boxes only it supports, and the authoring tool.
#include "app/Main.h"

#include "common/Numeric.h"

#include <algorithm>
#include <iterator>
#include <optional>

namespace tarvex {

namespace {

/// Lead-out positions (blocks) of "21min CD" ... "8.5GB DVD". No selection takes "4.7GB DVD".
/// "4.7GB DVD" is the smaller of the two writable kinds, DVD+R (2295104 blocks; DVD-R
/// has 2298496), so that an image planned for it can be written on either.
constexpr std::int32_t LeadOuts[] = {94350,   332850,  359850,  404850, 445350,
                                     1273350, 1907850, 2295104, 4171712};
constexpr int SingleLayerDvd = 7;

/// Shows a stream option's check box when the multiplexer leaves it to the user,
/// and sets it as the multiplexer writes it otherwise.
void Offer(TCheckBox& box, TOption option) {
    if (option != TOption::Choice) box.SetChecked(option == TOption::On);
    box.SetVisible(option == TOption::Choice);
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
    if (DiscImage.CDType > 4 && !MuxMakes(DiscImage.MuxMode, TDiscFamily::DVD)) {
        MuxModeBox.SetItemIndex(Index(TMuxRow::DvdVobs));
        MuxModeBoxChange();
    }
}

void TMainForm::CDTimeChange() {
    if (Updating) return;
    std::int32_t minutes, seconds;
    if (TryStrToInt(EditCDmin.Text(), minutes) && TryStrToInt(EditCDsec.Text(), seconds))
        DiscImage.BlocksUsable =
            Store<std::uint32_t>((std::int64_t{minutes} * 60 + seconds) * 75 - 1);
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

void TMainForm::MuxModeBoxChange() {
    const int mode = MuxModeBox.ItemIndex();
    if (mode < 0) return;
    const bool wasDvd = MuxMakes(DiscImage.MuxMode, TDiscFamily::DVD);
    const TMuxTraits& row = MuxTraits(mode);
    try {
        DiscImage.SetMuxMode(Store<std::int8_t>(mode));
        // A state change below runs this handler again; that nested run finds
        // the same mode and ends after its own recomputation.
        Offer(ScanOffsets, row.ScanOffsets);
        Offer(SeqAligning, row.SeqAligning);
        Offer(AC3Box, row.Ac3);
        // An NTSC DVD must carry AC-3 sound: it is where a new DVD starts.
        if (row.Family == TDiscFamily::DVD && !wasDvd && !ResizeModel.DestIsPAL)
            AC3Box.SetChecked(true);
        if (row.ScanNeedsAligning && ScanOffsets.Checked()) SeqAligning.SetChecked(true);
        DiscImage.SetAC3Audio(AC3Box.Checked());
        DiscImage.SetScanOffsets(ScanOffsets.Checked());
        DiscImage.SetSeqAligning(SeqAligning.Checked());
    } catch (const FloatError&) {
        return;
    }
    const int authoring = AuthoringBox.ItemIndex();
    if (row.Family == TDiscFamily::DVD && AuthoringTraits(authoring).Family != TDiscFamily::DVD) {
        const bool tools = mode == Index(ToolMux(row.Family));
        AuthoringBox.SetItemIndex(Index(tools ? ToolAuthoring(row.Family) : TAuthoringRow::Dvd));
        AuthoringBoxChange();
    } else if (row.Family != TDiscFamily::DVD && authoring == Index(TAuthoringRow::DvdDvdauthor)) {
        // The DVD tool's partner: the disc maker's authoring for the multiplexer's disc.
        AuthoringBox.SetItemIndex(Index(ToolAuthoring(row.Family)));
        AuthoringBoxChange();
    }
    CalcImage();
}

void TMainForm::AuthoringBoxChange() {
    const int mux = MuxModeBox.ItemIndex();
    const TAuthoringTraits& row = AuthoringTraits(AuthoringBox.ItemIndex());
    // An authoring takes the streams of one multiplexer or of any for its disc;
    // vcdimager makes a VCD of MPEG-1 only, an SVCD authoring leaves a VCD's alone.
    std::optional<TMuxRow> to = row.Mux;
    if (!to && row.Family == TDiscFamily::VCD && !MuxMakes(mux, TDiscFamily::VCD))
        to = ToolMux(TDiscFamily::VCD);
    else if (!to && row.Family == TDiscFamily::SVCD && MuxMakes(mux, TDiscFamily::DVD))
        to = mux == Index(TMuxRow::DvdFfmpeg) ? TMuxRow::SvcdFfmpeg : TMuxRow::SvcdBbmpeg;
    if (to) {
        MuxModeBox.SetItemIndex(Index(*to));
        MuxModeBoxChange();
    }
    CalcImage();
}

} // namespace tarvex
