// What each disc standard allows, judged on plans that keep to it but for one change.
#include "budget/DiscStandard.h"
#include "budget/DiscRows.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

namespace tarvex {
namespace {

using I = TComplianceIssue;

/// A plan each standard takes as it is: the disc maker's rows for the family.
TStreamPlan Standard(TDiscFamily family, bool pal) {
    TStreamPlan p;
    p.Pal = pal;
    p.FrameRate = pal ? 25 : 30000.0 / 1001;
    p.GOPLength = pal ? 15 : 18;
    switch (family) {
    case TDiscFamily::VCD:
        std::tie(p.MuxMode, p.AuthoringMode, p.VideoRate, p.Audio1Rate) =
            std::tuple(6, 5, 1150000, 224000);
        p.Picture = {352, pal ? 288 : 240};
        break;
    case TDiscFamily::SVCD:
        std::tie(p.MuxMode, p.AuthoringMode, p.VideoRate, p.Audio1Rate, p.Audio2Rate) =
            std::tuple(7, 3, 2600000, 384000, 32000);
        p.Picture = {480, pal ? 576 : 480};
        break;
    case TDiscFamily::DVD:
        std::tie(p.MuxMode, p.AuthoringMode, p.VideoRate, p.Audio1Rate, p.AC3) =
            std::tuple(8, 6, 9800000, 384000, !pal);
        p.Picture = {720, pal ? 576 : 480};
        break;
    }
    return p;
}

struct TCase {
    const char* Name;
    TDiscFamily Family;
    bool Pal;
    std::function<void(TStreamPlan&)> Change;
    std::vector<TComplianceFinding> Expected;
    friend void PrintTo(const TCase& c, std::ostream* os) { *os << c.Name; }
};

class ComplianceTest : public ::testing::TestWithParam<TCase> {};

TEST_P(ComplianceTest, FindsEveryBreachWithItsNumbers) {
    TStreamPlan plan = Standard(GetParam().Family, GetParam().Pal);
    GetParam().Change(plan);
    std::vector<std::tuple<I, std::int64_t, std::int64_t>> found, expected;
    for (const TComplianceFinding& f : CheckCompliance(plan))
        found.emplace_back(f.Issue, f.Value, f.Limit);
    for (const TComplianceFinding& f : GetParam().Expected)
        expected.emplace_back(f.Issue, f.Value, f.Limit);
    EXPECT_EQ(found, expected);
}

constexpr auto VCD = TDiscFamily::VCD, SVCD = TDiscFamily::SVCD, DVD = TDiscFamily::DVD;
const auto Keep = [](TStreamPlan&) {};

TCase Row(const char* name, TDiscFamily family, bool pal, std::function<void(TStreamPlan&)> change,
          std::vector<TComplianceFinding> expected = {}) {
    return {name, family, pal, std::move(change), std::move(expected)};
}

// The breaches the window words are tested there, with their fixes.
const TCase Cases[] = {
    Row("vcd_pal_as_made", VCD, true, Keep),
    Row("vcd_ntsc_film_rate", VCD, false, [](auto& p) { p.FrameRate = 24000.0 / 1001; }),
    Row("svcd_pal_at_its_limits", SVCD, true, Keep),
    Row("svcd_ntsc", SVCD, false, Keep),
    Row("dvd_pal_mpeg_sound", DVD, true, [](auto& p) { p.AC3 = false, p.Audio1Rate = 384000; }),
    Row("dvd_ntsc_half_picture", DVD, false, [](auto& p) { p.Picture = TPictureSize(352, 240); }),
    Row("svcd_with_the_dvd_picture", SVCD, true,
        [](auto& p) { p.Picture = TPictureSize(720, 576); }, {{I::PictureSize, 720, 576}}),
    Row("gop_19_on_an_ntsc_dvd", DVD, false, [](auto& p) { p.GOPLength = 19; },
        {{I::GopTooLong, 19, 18}}),
    Row("vcd_below_its_rate", VCD, false, [](auto& p) { p.VideoRate = 1000000; },
        {{I::VideoNotConstant, 1000000, 1150000}}),
    Row("vcd_with_160_kbps_sound_and_a_second_stream", VCD, true,
        [](auto& p) { p.Audio1Rate = 160000, p.Audio2Rate = 224000; },
        {{I::AudioRate, 1, 160000}, {I::TooManyStreams, 2, 1}}),
    Row("svcd_above_2600_kbps", SVCD, false, [](auto& p) { p.VideoRate = 2601000; },
        {{I::VideoAboveMax, 2601000, 2600000}}),
    Row("ac3_on_an_svcd", SVCD, true, [](auto& p) { p.AC3 = true; }, {{I::Ac3NotAllowed}}),
    Row("ac3_above_448_on_a_dvd", DVD, false, [](auto& p) { p.Audio2Rate = 640000; },
        {{I::AudioRate, 2, 640000}}),
    Row("pal_rate_on_an_ntsc_disc", SVCD, false, [](auto& p) { p.FrameRate = 25; },
        {{I::FrameRate, 25000}}),
};
INSTANTIATE_TEST_SUITE_P(Plans, ComplianceTest, ::testing::ValuesIn(Cases),
                         [](const auto& info) { return std::string(info.param.Name); });

// What the rest of the program assumes of the multiplexing and authoring rows:
// a row of the disc maker's tools for every disc, authorings paired with
// multiplexers of their own disc, and DVD layouts told apart by their sector size.
TEST(DiscRows, RowsAgreeWithTheirDisc) {
    for (const TDiscFamily family : {TDiscFamily::VCD, TDiscFamily::SVCD, TDiscFamily::DVD}) {
        SCOPED_TRACE(static_cast<int>(family));
        EXPECT_TRUE(MuxMakes(Index(ToolMux(family)), family));
        EXPECT_EQ(AuthoringTraits(Index(ToolAuthoring(family))).Family, family);
    }
    for (std::size_t i = 0; i < MuxNames().size(); ++i) {
        const TMuxTraits* row = &MuxTraits(static_cast<int>(i));
        const bool dvd = row->Family == TDiscFamily::DVD;
        // The budget and the window tell a DVD layout by its 2048-byte sectors.
        EXPECT_EQ(row->Layout.SectorSize, dvd ? 2048 : 2324) << row->Name;
        EXPECT_EQ(row->Layout.SectorPerGop, dvd) << row->Name;
        // Only DVD standards take AC-3 sound.
        EXPECT_EQ(row->Ac3 != TOption::Off, !DiscStandard(row->Family, true).Ac3Kbps.empty())
            << row->Name;
    }
    for (std::size_t i = 0; i < AuthoringNames().size(); ++i) {
        const TAuthoringTraits& row = AuthoringTraits(static_cast<int>(i));
        if (row.Mux) {
            EXPECT_EQ(MuxTraits(Index(*row.Mux)).Family, row.Family) << row.Name;
        }
    }
}

} // namespace
} // namespace tarvex
