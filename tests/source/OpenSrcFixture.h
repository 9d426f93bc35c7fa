// The source reader under test, with the messages it shows and the facts of an
// earlier source that a failed read must leave alone.
#pragma once

#include "source/OpenSrc.h"

#include "common/Numeric.h"
#include "tests/source/SourceFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace tarvex {

// Found by GoogleTest through the type's namespace.
inline void PrintTo(const TSourceFrame& f, std::ostream* os) {
    *os << f.Width << "x" << f.Height << " @" << f.FrameRate << " n=" << f.FrameCount << " '"
        << f.FourCC << "' aspect " << int{f.AspectCode} << (f.Anamorphic ? " anamorphic" : "")
        << (f.Vfapi ? " vfapi" : "");
}

namespace testkit {

inline const std::string NoRiff =
    "Given avi-file is broken!\r\nCan't find the RIFF-header of file: ";
inline const std::string NoVideo =
    "Given avi-file is broken!\r\nCan't find a video-stream in file: ";
inline const std::string NoEmbedded =
    "Given d2v-project file is broken!\r\nCan't find the embedded file: ";
inline const std::string SearchFailed = "Exception @ SeqHeader-search! File-End reached?";
inline const std::string NoSeqHeader = "Can't find the sequence-header of: ";
inline const std::string BadSeqHeader = "Can't parse the sequence-header of: ";
inline const std::string CantOpen = "Can't open file: ";

/// Frame rates as the readers compute them.
inline const double Ntsc = static_cast<double>(Real(30000) / 1001);
inline const double NtscFilm = static_cast<double>(Real(24000) / 1001);

/// Facts of an earlier source, so that a test sees what a reader leaves alone.
inline void SetEarlierFacts(TSourceFrame& f) {
    f.Width = 720;
    f.Height = 576;
    f.FrameRate = 12.34;
    f.FrameCount = 4321;
    f.FourCC = "OLD1";
    f.AspectCode = 9;
    f.Anamorphic = true;
}

class SourceReaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        reader.ShowError = [this](const std::string& text) { shown.push_back(text); };
        SetEarlierFacts(reader.Frame);
    }

    std::vector<std::string> Shown(const std::string& text) const { return {text}; }

    TTempFolder dir;
    TOpenSrcFile reader;
    std::vector<std::string> shown;
};

inline std::string Expand(std::string s, const std::string& dir) {
    for (std::size_t at = s.find("{d}"); at != std::string::npos; at = s.find("{d}", at))
        s.replace(at, 3, dir);
    return s;
}

} // namespace testkit
} // namespace tarvex
