// What a disc carries besides the film's picture and its planned sound streams:
// chapters, the choice and languages of the sound tracks, subtitles and a menu.
#pragma once

#include <string>
#include <vector>

namespace tarvex {

/// A subtitle stream of the disc: a stream of the film or a file beside it.
struct TDiscSubtitle {
    int Index = -1;        ///< among the film's subtitle streams; -1 for File
    std::string File;      ///< an SRT file, when Index is -1
    std::string Language;  ///< ISO 639 code; empty when unknown
    bool Pictures = false; ///< bitmaps (PGS, DVD, DVB) rather than text
    bool operator==(const TDiscSubtitle&) const = default;
};

struct TDiscExtras {
    /// Chapter starts in seconds of the film, in order; empty: the film is one chapter.
    std::vector<double> Chapters;
    /// The film's sound track of each planned stream, in stream order; -1 for
    /// silence. Streams without an entry take the track of their own number.
    std::vector<int> SoundTracks;
    /// ISO 639 code of each planned stream, in stream order; empty when unknown.
    std::vector<std::string> SoundLanguages;
    std::vector<TDiscSubtitle> Subtitles;
    /// On a VCD or SVCD the first subtitle stream is drawn into the picture.
    bool BurnSubtitles = false;
    /// Pictures of the DVD's menu; 0 makes a disc without a menu.
    int MenuPictures = 0;
    std::string Title; ///< shown on the menu
    bool operator==(const TDiscExtras&) const = default;
};

} // namespace tarvex
