#include "budget/DiscStandard.h"

#include "budget/DiscRows.h"

#include <algorithm>
#include <cmath>

namespace tarvex {

namespace {

constexpr double Pal = 25, Ntsc = 30000.0 / 1001, Film = 24000.0 / 1001;

const std::vector<int> AllMpegAudio = {32,  48,  56,  64,  80,  96,  112,
                                       128, 160, 192, 224, 256, 320, 384};
const std::vector<int> DvdAc3 = {32,  40,  48,  56,  64,  80,  96,  112,
                                 128, 160, 192, 224, 256, 320, 384, 448};

TDiscStandard Vcd(bool pal) {
    TDiscStandard s;
    s.Family = TDiscFamily::VCD;
    s.Pal = pal;
    s.Pictures = {pal ? TPictureSize{352, 288} : TPictureSize{352, 240}};
    s.FrameRates = pal ? std::vector<double>{Pal} : std::vector<double>{Ntsc, Film};
    s.MaxGop = pal ? 15 : 18;
    s.MaxVideoRate = 1150000;
    s.ConstantVideoRate = true;
    s.VbvBufferBits = 40 * 1024 * 8;
    s.MaxMuxRate = 1411200;
    s.VideoBufferBytes = 46 * 1024;
    s.SampleRate = 44100;
    s.MaxAudioStreams = 1;
    s.MpegAudioKbps = {224};
    return s;
}

TDiscStandard Svcd(bool pal) {
    TDiscStandard s;
    s.Family = TDiscFamily::SVCD;
    s.Pal = pal;
    s.Pictures = {pal ? TPictureSize{480, 576} : TPictureSize{480, 480}};
    s.FrameRates = {pal ? Pal : Ntsc};
    s.MaxGop = pal ? 15 : 18;
    s.MaxVideoRate = 2600000;
    s.VbvBufferBits = 224 * 1024 * 8;
    s.MaxMuxRate = 2 * 1411200;
    s.VideoBufferBytes = 230 * 1024;
    s.SampleRate = 44100;
    s.MaxAudioStreams = 2;
    s.MpegAudioKbps = AllMpegAudio;
    return s;
}

TDiscStandard Dvd(bool pal) {
    TDiscStandard s;
    s.Family = TDiscFamily::DVD;
    s.Pal = pal;
    const int full = pal ? 576 : 480;
    s.Pictures = {{720, full}, {704, full}, {352, full}, {352, full / 2}};
    s.FrameRates = {pal ? Pal : Ntsc};
    s.MaxGop = pal ? 15 : 18;
    s.MaxVideoRate = 9800000;
    s.VbvBufferBits = 224 * 1024 * 8;
    s.MaxMuxRate = 10080000;
    s.VideoBufferBytes = 232 * 1024;
    s.SampleRate = 48000;
    s.MaxAudioStreams = 8;
    s.MpegAudioKbps = AllMpegAudio;
    s.Ac3Kbps = DvdAc3;
    s.NeedsAc3 = !pal;
    return s;
}

bool Holds(const std::vector<int>& kbps, std::uint32_t rate) {
    return rate % 1000 == 0 &&
           std::find(kbps.begin(), kbps.end(), static_cast<int>(rate / 1000)) != kbps.end();
}

void CheckVideo(const TDiscStandard& s, const TStreamPlan& p,
                std::vector<TComplianceFinding>& found) {
    if (std::find(s.Pictures.begin(), s.Pictures.end(), p.Picture) == s.Pictures.end())
        found.push_back({TComplianceIssue::PictureSize, p.Picture.Width, p.Picture.Height});
    const bool rateKnown = std::any_of(s.FrameRates.begin(), s.FrameRates.end(), [&](double r) {
        return std::fabs(r - p.FrameRate) < 0.001;
    });
    if (!rateKnown)
        found.push_back({TComplianceIssue::FrameRate,
                         static_cast<std::int64_t>(std::llround(p.FrameRate * 1000))});
    if (p.GOPLength > s.MaxGop)
        found.push_back({TComplianceIssue::GopTooLong, p.GOPLength, s.MaxGop});
    if (s.ConstantVideoRate && p.VideoRate != s.MaxVideoRate)
        found.push_back({TComplianceIssue::VideoNotConstant, p.VideoRate, s.MaxVideoRate});
    else if (p.VideoRate > s.MaxVideoRate)
        found.push_back({TComplianceIssue::VideoAboveMax, p.VideoRate, s.MaxVideoRate});
}

void CheckAudio(const TDiscStandard& s, const TStreamPlan& p,
                std::vector<TComplianceFinding>& found) {
    if (p.AC3 && s.Ac3Kbps.empty()) found.push_back({TComplianceIssue::Ac3NotAllowed});
    if (!p.AC3 && s.NeedsAc3) found.push_back({TComplianceIssue::NeedsAc3});
    const std::vector<int>& kbps = p.AC3 ? s.Ac3Kbps : s.MpegAudioKbps;
    int streams = 0;
    for (const std::uint32_t rate : {p.Audio1Rate, p.Audio2Rate}) {
        ++streams;
        if (rate == 0) continue;
        if (!kbps.empty() && !Holds(kbps, rate))
            found.push_back({TComplianceIssue::AudioRate, streams, rate});
    }
    const int used = (p.Audio1Rate != 0 ? 1 : 0) + (p.Audio2Rate != 0 ? 1 : 0);
    if (used > s.MaxAudioStreams)
        found.push_back({TComplianceIssue::TooManyStreams, used, s.MaxAudioStreams});
}

} // namespace

const TDiscStandard& DiscStandard(TDiscFamily family, bool pal) {
    static const TDiscStandard standards[] = {Vcd(true),   Vcd(false), Svcd(true),
                                              Svcd(false), Dvd(true),  Dvd(false)};
    return standards[2 * static_cast<int>(family) + (pal ? 0 : 1)];
}

std::vector<TComplianceFinding> CheckCompliance(const TStreamPlan& p) {
    const TDiscFamily family = MuxTraits(p.MuxMode).Family;
    const TDiscStandard& s = DiscStandard(family, p.Pal);
    std::vector<TComplianceFinding> found;
    const TDiscFamily authored = AuthoringTraits(p.AuthoringMode).Family;
    if (authored != family)
        found.push_back({TComplianceIssue::FamiliesDiffer, static_cast<std::int64_t>(authored)});
    CheckVideo(s, p, found);
    CheckAudio(s, p, found);
    return found;
}

} // namespace tarvex
