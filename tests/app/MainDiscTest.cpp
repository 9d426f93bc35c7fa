// Disc type, disc length, multiplexer, authoring tool and extra data through the window's controls.
#include "FormFixture.h"

#include <algorithm>

using namespace tarvex;

namespace {

using DiscForm = FormTest;

// CD rows leave the multiplexer alone and run in one window; each DVD row
// forces the DVD layout, so it starts afresh.
TEST_F(DiscForm, DiscTypesSetTheDiscLength) {
    const struct {
        int index;
        const char *minutes, *seconds;
        std::uint32_t usable;
    } rows[] = {
        {0, "20", "58", 94349},    {1, "73", "58", 332849},  {2, "79", "58", 359849},
        {3, "89", "58", 404849},   {4, "98", "58", 445349},  {5, "282", "58", 1273349},
        {6, "423", "58", 1907849}, {7, "510", "1", 2295074}, // fits DVD+R (2295104) and DVD-R
        {8, "927", "2", 4171649}}; // DVD-9: 4171712 blocks to the lead-out
    for (const auto& r : rows) {
        TMainForm& f = r.index < 5 && Form ? *Form : Start();
        f.CDTypeBox.Select(r.index);
        SCOPED_TRACE(r.index);
        EXPECT_EQ(f.DiscImage.CDType, r.index);
        EXPECT_TRUE(Shows(f, "CDMinUpDown=" + std::string(r.minutes) + "; EditCDmin=" + r.minutes +
                                 "; EditCDsec=" + r.seconds));
        EXPECT_EQ(f.DiscImage.BlocksUsable, r.usable);
        if (r.index < 5) {
            EXPECT_EQ(f.DiscImage.MuxMode, 1);
            continue;
        }
        EXPECT_EQ(std::pair(f.MuxModeBox.ItemIndex(), f.AuthoringBox.ItemIndex()), std::pair(5, 4));
        EXPECT_EQ(f.DiscImage.MuxMode, 5);
        EXPECT_EQ(f.DiscImage.AuthoringMode, 4);
        EXPECT_EQ(f.DiscImage.SectorSize, 2048);
        EXPECT_TRUE(Shows(f, "SeqAligning=1; ScanOffsets=0"));
        EXPECT_TRUE(f.AC3Box.Visible());
        EXPECT_FALSE(f.SeqAligning.Visible());
        // No player rates are stored for DVDs: the computation's own limits are shown.
        EXPECT_EQ(f.MaxRateLabel.Hint(),
                  "This maximum video-rate is for not exceeding your player's\r\n"
                  "maximum stream-rate of 9800 kbps (= 7.98x CD-speed)");
        EXPECT_EQ(f.MinRateLabel.Hint(),
                  "This minimum video-rate is for not going below your player's\r\n"
                  "minimum stream-rate of 2458 kbps (= 2x CD-speed)");
    }
}

TEST_F(DiscForm, DiscSecondsCarryIntoMinutes) {
    TMainForm& f = Start();
    f.CDTypeBox.Select(0);
    f.CDTypeBox.Select(2);
    EXPECT_EQ(f.EditCDmin.Hint(),
              "The size of one destination-CD:\r\n"
              "Usable for data: 359849 blocks (Get this value from e.g. Nero)\r\n"
              "Max. LeadOutPos. (ATIP-value from e.g. Feurio): block 359999\r\n"
              "\r\n"
              "The safety (unused space) is to 150 blocks, so the program calculates\r\n"
              "the values for 359699 blocks = 816348 KB per CD.");
    EXPECT_EQ(f.EditCDsec.Hint(), f.EditCDmin.Hint());
    f.CDSecUpDown.ClickUp();
    EXPECT_EQ(f.DiscImage.BlocksUsable, 359924u); // 79:59
    f.CDSecUpDown.ClickUp();
    EXPECT_TRUE(Shows(f, "EditCDmin=80; EditCDsec=0"));
    EXPECT_EQ(f.DiscImage.BlocksUsable, 359999u);
    EXPECT_EQ(f.EditCDmin.Hint().rfind(
                  "The size of one destination-CD:\r\nUsable for data: 359999 blocks ", 0),
              0u);
    f.CDSecUpDown.ClickDown();
    EXPECT_TRUE(Shows(f, "EditCDmin=79; EditCDsec=59"));
    EXPECT_EQ(f.DiscImage.BlocksUsable, 359924u);
    // Past the ends of the minutes' range the minutes wrap as their own buttons do.
    f.CDMinUpDown.SetPosition(927);
    f.CDSecUpDown.ClickUp();
    EXPECT_EQ(f.EditCDmin.Text() + ":" + f.EditCDsec.Text(), "10:0");
    f.CDSecUpDown.ClickDown();
    EXPECT_EQ(f.EditCDmin.Text() + ":" + f.EditCDsec.Text(), "927:59");
}

TEST_F(DiscForm, MultiplexersSetTheCheckBoxes) {
    // Visible and checked for ScanOffsets and SeqAligning after the user had
    // checked the scan offsets with bbMPEG; the model counts what the boxes
    // hold, shown or not: 18 bytes for each of 5175 GOPs, half of a pack per
    // GOP boundary for the alignment.
    const struct {
        int mode;
        bool scanShown, scan, seqShown, seq;
        const char *scanBytes, *seqBytes;
    } rows[] = {{0, false, false, false, false, "0", "0"},
                {1, true, true, true, true, "93150", "5919056"}, // 2288 / 2 x 5174
                {2, false, true, false, false, "93150", "0"},
                {3, true, true, true, true, "93150", "5934578"}, // 2294 / 2 x 5174
                {4, false, false, false, false, "0", "0"}};
    TMainForm& f = Start();
    for (const auto& r : rows) {
        f.MuxModeBox.Select(1);
        Check(f.ScanOffsets, true);
        f.MuxModeBox.Select(r.mode);
        SCOPED_TRACE(r.mode);
        EXPECT_EQ(f.DiscImage.MuxMode, r.mode);
        // Shown and ticked, as box and as model, for the scan offsets, the alignment and AC-3.
        EXPECT_EQ(
            std::tuple(f.ScanOffsets.Visible(), f.ScanOffsets.Checked(), f.DiscImage.ScanOffsets,
                       f.SeqAligning.Visible(), f.SeqAligning.Checked(), f.DiscImage.SeqAligning,
                       f.AC3Box.Visible(), f.AC3Box.Checked(), f.DiscImage.AC3Audio),
            std::tuple(r.scanShown, r.scan, r.scan, r.seqShown, r.seq, r.seq, false, false, false));
        EXPECT_EQ(f.ScanOffsets.Hint(), std::string("The standard requires this, but no player "
                                                    "does...\r\n") +
                                            r.scanBytes + " Bytes");
        EXPECT_EQ(f.SeqAligning.Hint(),
                  std::string("Causes many unnecessary overhead. Don't use this!\r\n") +
                      r.seqBytes + " Bytes");
    }
}

TEST_F(DiscForm, BbmpegScanOffsetsNeedAlignedHeaders) {
    TMainForm& f = Start();
    ASSERT_EQ(f.MuxModeBox.ItemIndex(), 1);
    Check(f.ScanOffsets, true);
    EXPECT_TRUE(f.SeqAligning.Checked());
    EXPECT_TRUE(f.DiscImage.SeqAligning);
    Check(f.ScanOffsets, false);
    EXPECT_TRUE(f.SeqAligning.Checked()); // stays
    Check(f.SeqAligning, false);
    Check(f.SeqAligning, true);
    EXPECT_FALSE(f.ScanOffsets.Checked());
    EXPECT_FALSE(f.DiscImage.ScanOffsets);
    EXPECT_TRUE(f.DiscImage.SeqAligning);
}

TEST_F(DiscForm, AuthoringForcesTheMultiplexer) {
    TMainForm& f = Start();
    for (int authoring = 0; authoring < 4; ++authoring) {
        for (int mux : {1, 2, 3, 4}) {
            f.MuxModeBox.Select(mux);
            f.AuthoringBox.Select(authoring);
            const int expected = authoring < 2 ? 0 : mux; // I-Author needs its own multiplexer
            EXPECT_EQ(f.MuxModeBox.ItemIndex(), expected) << authoring << mux;
            EXPECT_EQ(f.DiscImage.MuxMode, expected) << authoring << mux;
            EXPECT_EQ(f.DiscImage.AuthoringMode, authoring);
        }
    }
}

// The rows of the tools the disc maker runs pull their partners along; after
// start-up an item is not its mode, the lists leaving out the original DVD rows.
TEST_F(DiscForm, MeasuredRowsPickTheirPartners) {
    const struct {
        const char* box;
        const char* item;
        std::int8_t mux, authoring;
        bool scan, seq, ac3Shown;
    } steps[] = {
        {"MuxModeBox", "DVD VOBs ffmpeg", 8, 6, false, true, true},
        {"AuthoringBox", "SVCD vcdimager", 7, 3, true, false, false},
        {"AuthoringBox", "VCD vcdimager", 6, 5, false, false, false},
        {"AuthoringBox", "DVD dvdauthor", 8, 6, false, true, true},
        {"MuxModeBox", "VCD MPEG-1 ffmpeg", 6, 5, false, false, false},
        {"MuxModeBox", "SVCD MPEG-2 bbMPEG", 1, 5, false, false, false},
    };
    TMainForm& f = Start();
    for (const auto& s : steps) {
        TComboBox& box = std::string(s.box) == "MuxModeBox" ? f.MuxModeBox : f.AuthoringBox;
        const auto& items = box.Items();
        box.Select(static_cast<int>(std::find(items.begin(), items.end(), s.item) - items.begin()));
        EXPECT_EQ(f.DiscImage.MuxMode, s.mux) << s.item;
        EXPECT_EQ(f.MuxModeBox.Text(), MuxTraits(s.mux).Name) << s.item;
        EXPECT_EQ(f.DiscImage.AuthoringMode, s.authoring) << s.item;
        EXPECT_EQ(f.AuthoringBox.Text(), AuthoringTraits(s.authoring).Name) << s.item;
        EXPECT_EQ(f.DiscImage.ScanOffsets, s.scan) << s.item;
        EXPECT_EQ(f.DiscImage.SeqAligning, s.seq) << s.item;
        EXPECT_EQ(f.AC3Box.Visible(), s.ac3Shown) << s.item;
    }
}

TEST_F(DiscForm, AuthoringHints) {
    // 50 minutes with one menu picture (150 blocks); the hint adds the fixed part.
    const struct {
        int authoring;
        const char* hint;
    } rows[] = {{0, "Authoring-overhead = 613 blocks"}, // 450 + 163
                {1, "Authoring-overhead = 622 blocks"}, // 450 + Ceil(18084 / 2048) + 163
                {2, "Authoring-overhead = 750 blocks"}, // at least 600, + 150
                {3, "Authoring-overhead = 750 blocks"}, // SVCD vcdimager: 450 + 150, + 150
                {5, "Authoring-overhead = 825 blocks"}, // VCD vcdimager: 525 + 150, + 150
                // DVD dvdauthor, 5175 GOPs: 468 + 2 x (11 + 4) + 150
                {6, "Authoring-overhead = 648 blocks"}};
    TMainForm& f = Start();
    for (const auto& r : rows) {
        f.AuthoringBox.Select(r.authoring);
        EXPECT_EQ(f.AuthoringBox.Hint(), r.hint);
    }
}

TEST_F(DiscForm, MenuPicturesRunTheAuthoringHandler) {
    TMainForm& f = Start();
    f.AuthoringBox.Select(0);
    f.MuxModeBox.Select(1);
    ASSERT_EQ(f.DiscImage.MuxMode, 1);
    f.MenuUpDown.ClickUp();
    EXPECT_TRUE(Shows(f, "EditMenuPics=2; MuxModeBox=" + f.MuxModeBox.Items().at(0)));
    EXPECT_EQ(f.AuthoringBox.Hint(), "Authoring-overhead = 763 blocks"); // 300 + 300 + 163
}

TEST_F(DiscForm, ExtraData) {
    TMainForm& f = Start();
    EXPECT_EQ(f.ExtraDataModeBox.Hint(),
              "2048 bytes/sect. e.g. files in the filesystem or DVD-MPEGs");
    Type(f.EditExtraDataKB, "1000");
    EXPECT_EQ(f.EditExtraDataKB.Hint(),
              "Some extra data, you want to add to each CD.\r\nActually: 500 blocks are used.");
    f.ExtraDataModeBox.Select(1);
    EXPECT_TRUE(f.DiscImage.ExtraBlocksMode2324);
    EXPECT_EQ(f.ExtraDataModeBox.Hint(), "2324 bytes/sect. e.g. (S)VCD-MPEG-files");
    EXPECT_EQ(f.EditExtraDataKB.Hint(), // Ceil(440.62)
              "Some extra data, you want to add to each CD.\r\nActually: 441 blocks are used.");
    // 359849 usable - 600 authoring - 441 extra - 150 reserve.
    EXPECT_EQ(f.DiscImage.StreamSpace, 358658u);

    Type(f.EditExtraDataKB, "");
    EXPECT_EQ(f.DiscImage.ExtraBlocks, 441u);
    EXPECT_TRUE(Platform.Messages.empty());
}

} // namespace
