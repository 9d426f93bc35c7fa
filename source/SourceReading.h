// What the parts of the source reader share: reading text files by lines, file
// name extensions, the frame-side limit of the model and the names of MPEG video.
#pragma once

#include "common/Numeric.h"
#include "source/BinaryFile.h"
#include "source/SourceFacts.h"

#include <cstdint>
#include <fstream>
#include <limits>
#include <string>

namespace tarvex::reading {

inline const char* const MsgCantOpen = "Can't open file: ";

inline const char* const MpegCodec1 = "mpeg1video";
inline const char* const MpegCodec2 = "mpeg2video";

/// The largest frame side the model holds.
constexpr std::int64_t MaxSide = std::numeric_limits<std::int16_t>::max();

/// Removes blanks and control characters from both ends.
std::string Trim(const std::string& s);

/// The extension of the last path component with its dot, trimmed and in lower
/// case; empty when the name has none.
std::string Extension(const std::string& name);

/// Frames per second of a known rate as the model keeps it.
inline double RateOf(TRatio rate) {
    return ToDouble(static_cast<Real>(rate.Num) / rate.Den);
}

/// A text file read line by line. A line ends at LF, CR LF or a lone CR; past the
/// end every read gives an empty line, so a loop that waits for an empty line ends.
class TTextFileReader {
  public:
    bool Open(const std::string& name) {
        if (!FileExists(name)) return false;
        In.open(name, std::ios::binary);
        return In.is_open();
    }

    /// The longest line kept; the rest of a longer line is skipped, so a file
    /// without line ends cannot take the memory of its size.
    static constexpr std::size_t MaxLine = 1 << 20;

    /// The next line, or false (and an empty line) at the end of the file.
    bool Next(std::string& line) {
        line.clear();
        auto* buf = In.rdbuf();
        using Traits = std::char_traits<char>;
        int c = buf->sbumpc();
        if (c == Traits::eof()) return false;
        while (c != Traits::eof() && c != '\n' && c != '\r') {
            if (line.size() < MaxLine) line.push_back(static_cast<char>(c));
            c = buf->sbumpc();
        }
        if (c == '\r' && buf->sgetc() == '\n') buf->sbumpc();
        return true;
    }

    std::string ReadLn() {
        std::string line;
        Next(line);
        return line;
    }

  private:
    std::ifstream In;
};

} // namespace tarvex::reading
