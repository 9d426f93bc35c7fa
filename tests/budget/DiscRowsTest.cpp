// What the rest of the program assumes of the multiplexing and authoring rows:
// a row of the disc maker's tools for every disc, authorings paired with
// multiplexers of their own disc, and DVD layouts told apart by their sector size.
#include "budget/DiscRows.h"

#include <gtest/gtest.h>

namespace tarvex {
namespace {

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
