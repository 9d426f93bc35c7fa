// Opening a film that carries sound tracks, chapters and subtitles: the window
// lists them, counts them into the budget and hands them to the disc plan.
#include "tests/app/FormFixture.h"
#include "tests/disc/ContentFixtures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tarvex {
namespace {

using ::testing::ElementsAre;

class TracksTest : public FormTest {
  protected:
    void Open(const std::string& file) {
        Platform.Files.push_back(file);
        ASSERT_TRUE(Form->OpenVideoBtn.Click());
    }
};

TEST_F(TracksTest, AFilmsTracksChaptersAndSubtitlesReachThePlan) {
    const std::string film = Temp / "rich.mkv";
    ASSERT_TRUE(testkit::MakeRichFilm(film));
    testkit::WriteText(Temp / "rich.de.srt", testkit::TwoLines);
    testkit::WriteText(Temp / "rich.notes.srt", testkit::TwoLines); // not a language
    TMainForm& f = Start();
    Open(film);
    EXPECT_THAT(f.Sound1Box.Items(), ElementsAre("eng aac 1ch", "deu aac 1ch", "silence"));
    EXPECT_EQ(std::pair(f.Sound1Box.ItemIndex(), f.Sound2Box.ItemIndex()), std::pair(0, 1));
    // Two text lines, two pictures and the two lines of the file beside the film.
    EXPECT_EQ(f.EditSubPics.Text(), "6");
    EXPECT_EQ(f.DiscImage.SubtitlePics, 6);
    EXPECT_EQ(f.ChaptersLabel.Caption(), "min: 3 chapters");

    f.Sound1Box.Select(1);
    f.Sound2Box.Select(2);
    const TDiscExtras e = f.DiscPlan().Extras;
    EXPECT_THAT(e.Chapters, ElementsAre(0, 4, 9));
    EXPECT_THAT(e.SoundTracks, ElementsAre(1, -1));
    EXPECT_THAT(e.SoundLanguages, ElementsAre("deu", ""));
    EXPECT_THAT(e.Subtitles,
                ElementsAre(TDiscSubtitle{0, "", "eng", false}, TDiscSubtitle{1, "", "fra", true},
                            TDiscSubtitle{-1, Temp / "rich.de.srt", "de", false}));
    EXPECT_EQ(e.Title, "rich");
}

TEST_F(TracksTest, ChaptersEveryFewMinutesAsTheSettingsFileSays) {
    // An older file has no ChapterMinutes: five minutes.
    WriteSettings("[Image]\nSeconds=1200\n");
    TMainForm& f = Start();
    EXPECT_EQ(std::pair(f.EditChapterMin.Text(), f.ChaptersLabel.Caption()),
              std::pair(std::string("5"), std::string("min: 4 chapters")));
    Form.reset();
    WriteSettings("[Image]\nSeconds=1200\nChapterMinutes=2\n");
    TMainForm& g = Start();
    EXPECT_EQ(g.ChaptersLabel.Caption(), "min: 10 chapters");
    g.ChapterUpDown.Click(TUDButton::Down);
    EXPECT_EQ(g.ChaptersLabel.Caption(), "min: 20 chapters");
}

} // namespace
} // namespace tarvex
