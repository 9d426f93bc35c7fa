// What the disc standard forbids in the plan, in words, and the one change of a
// control that mends each breach where the user's choices leave no doubt.
#include "app/Main.h"

#include "budget/DiscStandard.h"
#include "common/Numeric.h"

#include <algorithm>

namespace tarvex {

namespace {

const char* FamilyName(TDiscFamily family) {
    switch (family) {
    case TDiscFamily::VCD:
        return "VCD";
    case TDiscFamily::SVCD:
        return "SVCD";
    case TDiscFamily::DVD:
        break;
    }
    return "DVD";
}

/// "A DVD", "An SVCD", "A PAL DVD", "An NTSC DVD".
std::string ADisc(const TDiscStandard& s, bool withSystem) {
    const std::string name =
        (withSystem ? std::string(s.Pal ? "PAL " : "NTSC ") : std::string()) + FamilyName(s.Family);
    return (name[0] == 'S' || name[0] == 'N' ? "An " : "A ") + name;
}

std::string Sizes(const std::vector<TPictureSize>& sizes) {
    std::string text;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        if (i > 0) text += i + 1 == sizes.size() ? " or " : ", ";
        text += IntToStr(sizes[i].Width) + " x " + IntToStr(sizes[i].Height);
    }
    return text;
}

/// The destination kind whose frame the family shows.
int DestKind(TDiscFamily family) {
    return family == TDiscFamily::DVD ? 0 : family == TDiscFamily::SVCD ? 4 : 6;
}

TFix Select(const char* control, int item) {
    return {TFix::TKind::Select, control, item};
}

/// The list item of the largest allowed rate not above `rate`, else of the smallest
/// allowed rate; -1 when the list offers none.
int AudioItem(const TComboBox& box, const std::vector<int>& allowed, std::uint32_t rate) {
    int below = -1, belowKbps = 0, above = -1, aboveKbps = 0;
    for (int i = 0; i < box.Count(); ++i) {
        std::int32_t kbps;
        if (!TryStrToInt(box.Items()[static_cast<std::size_t>(i)], kbps) ||
            std::find(allowed.begin(), allowed.end(), kbps) == allowed.end())
            continue;
        if (kbps <= static_cast<std::int64_t>(rate / 1000)) {
            if (below < 0 || kbps > belowKbps) below = i, belowKbps = kbps;
        } else if (above < 0 || kbps < aboveKbps) {
            above = i, aboveKbps = kbps;
        }
    }
    return below >= 0 ? below : above;
}

TWarning AudioRateWarning(const TDiscStandard& s, const TComplianceFinding& f, const TComboBox& box,
                          bool ac3) {
    const std::vector<int>& allowed = ac3 ? s.Ac3Kbps : s.MpegAudioKbps;
    const std::string rates = allowed.size() == 1
                                  ? "at " + IntToStr(allowed[0]) + " kbps"
                                  : "of at most " + IntToStr(allowed.back()) + " kbps";
    const std::string text = ADisc(s, false) + "'s sound is " + (ac3 ? "AC-3" : "MPEG") +
                             " audio " + rates + ", not " + KbpsText(f.Limit) + " (audio " +
                             IntToStr(f.Value) + ")";
    const int item = AudioItem(box, allowed, static_cast<std::uint32_t>(f.Limit));
    if (item < 0) return {"DiscAudioRate", box.Name(), text + ".", true};
    return {"DiscAudioRate", box.Name(),
            text + ": choose " + box.Items()[static_cast<std::size_t>(item)] + " kbps for audio " +
                IntToStr(f.Value) + ".",
            true, Select(box.Name().c_str(), item)};
}

} // namespace

std::vector<TWarning> TMainForm::ComplianceWarnings() const {
    const TDiscPlan job = DiscPlan();
    const TRate rate = DiscRate(job);
    const TStreamPlan plan{.MuxMode = DiscImage.MuxMode,
                           .AuthoringMode = DiscImage.AuthoringMode,
                           .Pal = ResizeModel.DestIsPAL,
                           .Picture = {ResizeModel.DestX, ResizeModel.DestY},
                           .FrameRate = static_cast<double>(rate.Num) / rate.Den,
                           .GOPLength = DiscImage.GOPLength,
                           .VideoRate = DiscImage.VideoRate,
                           .AC3 = DiscImage.AC3Audio,
                           .Audio1Rate = DiscImage.Audio1Rate,
                           .Audio2Rate = DiscImage.Audio2Rate};
    const TDiscFamily family = MuxTraits(plan.MuxMode).Family;
    const TDiscStandard& s = DiscStandard(family, plan.Pal);
    std::vector<TWarning> warnings;
    for (const TComplianceFinding& f : CheckCompliance(plan)) {
        TWarning w;
        switch (f.Issue) {
        case TComplianceIssue::FamiliesDiffer: {
            const int authoring = Index(ToolAuthoring(family));
            w = {"DiscFamilies", "AuthoringBox",
                 std::string("The multiplexing makes a ") + FamilyName(family) +
                     " stream, the authoring a" +
                     (f.Value == static_cast<int>(TDiscFamily::VCD) ? " " : "n ") +
                     FamilyName(static_cast<TDiscFamily>(f.Value)) + ": choose \"" +
                     AuthoringTraits(authoring).Name + "\" as authoring.",
                 true, Select("AuthoringBox", authoring)};
            break;
        }
        case TComplianceIssue::PictureSize:
            w = {"DiscPicture", "DestAspectBox",
                 ADisc(s, false) + " needs a " + FamilyName(family) + " picture (" +
                     Sizes(s.Pictures) + "), not " + IntToStr(f.Value) + " x " + IntToStr(f.Limit) +
                     ": choose " + FamilyName(family) + " as destination.",
                 true, Select("DestAspectBox", DestKind(family))};
            break;
        case TComplianceIssue::FrameRate:
            w = {"DiscFrameRate", "FpsCombo",
                 ADisc(s, true) + " does not show " +
                     RoundedToStr(static_cast<double>(f.Value) / 1000, 1000, DecimalSeparator) +
                     " frames a second: change PAL or NTSC of the destination.",
                 true};
            break;
        case TComplianceIssue::GopTooLong:
            w = {"DiscGop",
                 "EditGOP",
                 ADisc(s, true) + " allows GOPs of at most " + IntToStr(f.Limit) + " frames, not " +
                     IntToStr(f.Value) + ": set the GOP length to " + IntToStr(f.Limit) + ".",
                 true,
                 {TFix::TKind::Position, "GOPUpDown", static_cast<int>(f.Limit)}};
            break;
        case TComplianceIssue::VideoNotConstant:
        case TComplianceIssue::VideoAboveMax:
            w = {"DiscVideoRate",
                 "Videokbps",
                 ADisc(s, false) +
                     (f.Issue == TComplianceIssue::VideoNotConstant
                          ? "'s video runs at exactly "
                          : "'s video may reach at most ") +
                     KbpsText(f.Limit) + ", not " + KbpsText(f.Value) + ": set the video rate to " +
                     KbpsText(f.Limit) + ".",
                 true,
                 {TFix::TKind::Position, "VideoUpDown", static_cast<int>(f.Limit / 1000)}};
            break;
        case TComplianceIssue::Ac3NotAllowed:
            w = {"DiscAc3",
                 "AC3Box",
                 "AC-3 sound goes on DVDs only: untick \"" + AC3Box.Caption() + "\".",
                 true,
                 {TFix::TKind::Check, "AC3Box", 0}};
            break;
        case TComplianceIssue::NeedsAc3:
            w = {"DiscNeedsAc3",
                 "AC3Box",
                 ADisc(s, true) + " must carry AC-3 sound: tick \"" + AC3Box.Caption() + "\".",
                 true,
                 {TFix::TKind::Check, "AC3Box", 1}};
            break;
        case TComplianceIssue::AudioRate:
            w = AudioRateWarning(s, f, f.Value == 1 ? Audio1kbps : Audio2kbps, DiscImage.AC3Audio);
            break;
        case TComplianceIssue::TooManyStreams:
            w = {"DiscAudioStreams", "Audio2kbps",
                 ADisc(s, false) + " carries " + IntToStr(f.Limit) +
                     " sound stream: choose 0 kbps for audio 2.",
                 true, Select("Audio2kbps", 0)};
            break;
        }
        warnings.push_back(w);
    }
    return warnings;
}

bool TMainForm::ApplyFix(const TFix& fix) {
    const TAnyControl* control = FindControl(fix.Control);
    if (control == nullptr) return false;
    switch (fix.Kind) {
    case TFix::TKind::Select:
        return std::get<TComboBox*>(*control)->Select(fix.Value);
    case TFix::TKind::Check: {
        TCheckBox& box = *std::get<TCheckBox*>(*control);
        return box.Checked() == (fix.Value == 1) || box.Click();
    }
    case TFix::TKind::Position: {
        TUpDown& upDown = *std::get<TUpDown*>(*control);
        // Clicked one step at a time; a range that never reaches the value ends it.
        for (int clicks = 0; upDown.Position() != fix.Value; ++clicks) {
            if (clicks > upDown.Max() - upDown.Min()) return false;
            const TUDButton button =
                upDown.Position() < fix.Value ? TUDButton::Up : TUDButton::Down;
            if (!upDown.Click(button)) return false;
        }
        return true;
    }
    case TFix::TKind::None:
        break;
    }
    return false;
}

} // namespace tarvex
