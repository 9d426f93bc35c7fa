// What the disc carries besides picture and sound rates: the opened film's
// chapters, sound tracks and subtitles, and the choices the window offers on them.
#include "app/Main.h"

#include "common/Numeric.h"
#include "disc/Chapters.h"

#include <algorithm>
#include <filesystem>

namespace tarvex {

namespace {

/// The most subpicture streams a DVD has.
constexpr std::size_t MaxSubpictureStreams = 32;

/// What is known of a track, short enough for the list ("eng ac3 6ch"; the list
/// keeps the film's order); "track 2" when nothing is.
std::string TrackText(const TSoundTrack& t) {
    std::string text = t.Language;
    if (!t.Codec.empty()) text += (text.empty() ? "" : " ") + t.Codec;
    if (t.Channels > 0) text += (text.empty() ? "" : " ") + IntToStr(t.Channels) + "ch";
    return text.empty() ? "track " + IntToStr(t.Index + 1) : text;
}

/// The source track an item of a sound list names; -1 for silence.
int TrackOf(const TComboBox& box) {
    const int index = box.ItemIndex();
    return index < 0 || index + 1 >= static_cast<int>(box.Items().size()) ? -1 : index;
}

} // namespace

void TMainForm::SetupTrackControls() {
    EditChapterMin.SetReadOnly(true);
    ChapterUpDown.SetAssociate(&EditChapterMin);
    EditChapterMin.OnChange = [this](TControl&) { ShowChapters(); };
    EditChapterMin.SetHint("Minutes between chapters when the film has no chapters of its own; "
                           "0 makes one chapter.");
    Sound1Box.SetHint("The film's sound track of the disc's first sound stream.");
    Sound2Box.SetHint("The film's sound track of the disc's second sound stream, when its rate "
                      "is not 0.");
    BurnSubsBox.SetHint("On a VCD or SVCD, draw the first subtitles into the picture.");
    Sound1Box.SetItems({"track 1", "track 2", "silence"});
    Sound1Box.SetItemIndex(0);
    Sound2Box.SetItems({"track 1", "track 2", "silence"});
    Sound2Box.SetItemIndex(1);
}

void TMainForm::ReadSourceTracks() {
    Tracks = {};
    // Only films the probe library reads: the AVI, MPEG and project readers keep
    // the program from loading it.
    if (SourceFile.Reader == TSourceReader::MediaProbe) {
        std::string reason;
        if (!ReadTracks(FileNameSrc, Tracks, reason)) Tracks = {};
    }
    AddSubtitleFile(FileNameSrc, Tracks);
    if (Tracks.Subtitles.size() > MaxSubpictureStreams)
        Tracks.Subtitles.resize(MaxSubpictureStreams);

    std::vector<std::string> items;
    for (const TSoundTrack& t : Tracks.Sound) items.push_back(TrackText(t));
    if (Tracks.Sound.empty()) items = {"track 1", "track 2"};
    items.push_back("silence");
    const int silence = static_cast<int>(items.size()) - 1;
    Sound1Box.SetItems(items);
    Sound1Box.SetItemIndex(0);
    Sound2Box.SetItems(items);
    // Never the first track twice: without a second one the second stream is silent.
    Sound2Box.SetItemIndex(std::min(1, silence));
    if (Tracks.Sound.size() == 1) Sound2Box.SetItemIndex(silence);

    const std::int64_t pictures = SubtitlePictures(Tracks);
    EditSubPics.SetText(IntToStr(std::min<std::int64_t>(pictures, 65535)));
    ShowChapters();
}

std::vector<double> TMainForm::FilmChapterTimes() const {
    std::vector<double> marks;
    for (const TChapterMark& m : Tracks.Chapters) marks.push_back(m.Start);
    return FilmChapters(marks, static_cast<double>(FilmSeconds), ChapterUpDown.Position());
}

void TMainForm::ShowChapters() {
    const std::size_t n = FilmChapterTimes().size();
    ChaptersLabel.SetCaption("min: " + IntToStr(static_cast<std::int64_t>(n)) +
                             (n == 1 ? " chapter" : " chapters"));
}

TDiscExtras TMainForm::DiscExtras() const {
    TDiscExtras e;
    e.Chapters = FilmChapterTimes();
    for (const TComboBox* box : {&Sound1Box, &Sound2Box}) {
        const int track = TrackOf(*box);
        e.SoundTracks.push_back(track);
        const auto known = static_cast<std::size_t>(track);
        e.SoundLanguages.push_back(track >= 0 && known < Tracks.Sound.size()
                                       ? Tracks.Sound[known].Language
                                       : std::string());
    }
    for (const TSubtitleTrack& s : Tracks.Subtitles)
        e.Subtitles.push_back({s.Index, s.File, s.Language, s.Pictures});
    e.BurnSubtitles = BurnSubsBox.Checked();
    e.MenuPictures = MenuUpDown.Position();
    e.Title = std::filesystem::path(FileNameSrc).stem().string();
    return e;
}

} // namespace tarvex
