// The source reader: checks the files the user names as the film's source and
// reads their properties: AVI headers, d2v projects and
// MPEG streams by hand, every other kind through the media probe.
#pragma once

#include "source/SourceFacts.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarvex {

/// A number field of a project file that does not hold a number, or a size out of
/// range. It ends the open: `OpenFiles` shows its text and returns `OpenConvertError`.
class EConvertError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// What the window and the resize model keep of a source's frames.
struct TSourceFrame {
    std::int16_t Width = 0;
    std::int16_t Height = 0;
    double FrameRate = 0; ///< frames per second
    std::int32_t FrameCount = 0;
    std::string FourCC;
    /// The MPEG aspect code: 1 square pixels, 2 a 4:3, 3 a 16:9, 4 a 2.21:1 picture.
    std::uint8_t AspectCode = 0;
    /// A wide picture (16:9 or 2.21:1) stored in a frame of 4:3.
    bool Anamorphic = false;
    /// A VFAPI AVI that serves the frames of another file.
    bool Vfapi = false;

    /// The aspect code and the anamorphic flag that goes with it.
    void SetAspectCode(std::uint8_t code) {
        AspectCode = code;
        Anamorphic = code == 3 || code == 4;
    }
    bool operator==(const TSourceFrame&) const = default;
};

/// The reader that read the last source.
enum class TSourceReader { Nothing, Avi, Project, Mpeg, MediaProbe };

class TOpenSrcFile {
  public:
    /// Results of `OpenFiles`; callers only test for `OpenOk`.
    static constexpr int OpenOk = 0;
    static constexpr int OpenNoFiles = -1;
    static constexpr int OpenMultipleLists = -2;
    static constexpr int OpenFirstMissing = -3;
    static constexpr int OpenMixedTypes = -4;
    static constexpr int OpenSomeMissing = -5;
    /// The list file exists but cannot be read.
    static constexpr int OpenListUnreadable = -6;
    /// The list was accepted, but a project field was not a number.
    static constexpr int OpenConvertError = -7;
    /// The file could not be read as video (its message has been shown).
    static constexpr int OpenUnreadable = -8;
    /// Several files to be joined, one of whose names the encoder's input cannot hold.
    static constexpr int OpenUnjoinable = -9;
    /// The source's frame is smaller than any film the geometry plans.
    static constexpr int OpenTooSmall = -10;

    /// Accepted source file names, in order, blanks trimmed.
    std::vector<std::string> FileNames;
    /// Common extension of `FileNames`: lower case, with the dot, at most 8 characters.
    std::string FileType;
    /// The file whose frames are the film's pictures: the MPEG file a project names,
    /// else the first accepted file; empty until a source was read.
    std::string FrameFile;
    /// What a project cuts from each side of those frames: left, top, right, bottom.
    std::array<std::int32_t, 4> FrameCrop{};

    /// The source's frames. A read writes what its file states and keeps the
    /// rest, so the owner sets what it holds before a read and takes the result
    /// after; a failed open leaves it as it was.
    TSourceFrame Frame;
    /// What the last read found beyond `Frame`; cleared by every read that
    /// changes it.
    TSourceFacts Facts;
    /// Which reader read them.
    TSourceReader Reader = TSourceReader::Nothing;

    /// Shows a failure to the user (the window: a modal box titled "Error").
    /// Messages are dropped while it is unset.
    std::function<void(const std::string&)> ShowError;

    /// Validates and accepts `files` (one name, several names or one .lst list)
    /// and reads the properties of the first accepted file. Returns `OpenOk` when
    /// the list was accepted and read, else a negative code whose message has
    /// already been shown; then the reader is as it was before.
    int OpenFiles(const std::vector<std::string>& files);

    /// Frame size, rate, count and FourCC of the first video stream of an AVI file;
    /// a VFAPI AVI also reads the project it serves (and so may throw `EConvertError`).
    void ReadAviHeader(const std::string& name);
    /// Frame size (less the project's crop), rate and count of a d2v project, and
    /// the sequence header of the MPEG file it names. Throws `EConvertError` when
    /// its crop, size or frame-rate field is not a number. False, with the message
    /// shown, when the file cannot be read.
    bool ReadProjectFile(const std::string& name);
    /// Frame size, aspect code, anamorphic flag, frame rate and FourCC from the
    /// first MPEG video sequence header in the head of the file, and the frame
    /// count from the stream's head and tail.
    void ReadSequenceHeader(const std::string& name);

  private:
    /// A reader's failure: the message, and whether the file looked like another
    /// kind than its name says (then the media probe gets a try).
    struct TFailure {
        std::string Message;
        bool OtherKind = false;
    };
    using TResult = std::optional<TFailure>;

    void Error(const std::string& text) const;
    /// Shows why the open fails and returns `code`, which says it.
    int Refuse(const std::string& text, int code) const;
    /// Reads the accepted files; `OpenOk` or the failure's code, its message shown.
    int ReadAccepted();
    /// Reads the properties of the first name in `FileNames` with the reader
    /// `FileType` selects: the AVI, project and MPEG readers for their kinds
    /// (the media probe when such a file is of another kind after all), nothing
    /// for .avs scripts, the media probe for everything else. Returns false, with
    /// the message shown, when the file cannot be read; what was read so far may
    /// have changed. Throws `EConvertError` from the project reader.
    bool ReadSourceInfo();
    /// A reader of the kinds read by hand: on a failure that suggests another
    /// kind, the media probe tries the file quietly; otherwise the failure is shown
    /// and the result is false.
    bool ReadOrProbe(const std::string& name, const TResult& failure);
    TResult AviHeader(const std::string& name);
    TResult SequenceHeader(const std::string& name, bool wholeStream);
    /// The sequence header of a project's MPEG file; false, with the message shown,
    /// when the file is missing or has none.
    bool ReadEmbedded(const std::string& path);
    void KeyedProjectFile(const std::string& name,
                          const std::function<bool(std::string&)>& nextLine);
    bool Probe(const std::string& name, bool report);
};

/// Whether a lower-case extension (with its dot) names an MPEG stream file.
bool IsMpegType(const std::string& type);

} // namespace tarvex
