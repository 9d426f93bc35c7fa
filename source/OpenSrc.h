// The source reader: checks the files the user names as the film's source and
// reads their properties (AVI headers, d2v projects, MPEG sequence headers) into
// the resize model.
#pragma once

#include "geometry/ResUnit.h"

#include <array>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarvex {

/// A number field of a project file that does not hold a number. It ends the
/// open: `OpenFiles` shows its text and returns `OpenConvertError`.
class EConvertError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

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
    /// `FileFound` when nothing of that name exists.
    static constexpr int NotFound = -15;

    /// The longest `FileType` kept; longer extensions are cut.
    static constexpr std::size_t MaxFileType = 8;
    /// The longest file name a VFAPI AVI may name.
    static constexpr std::size_t MaxServedName = 255;

    /// Reads into `model`, which must outlive the reader.
    explicit TOpenSrcFile(TResizeStruct& model);

    /// Accepted source file names, in order, blanks trimmed.
    std::vector<std::string> FileNames;
    /// Common extension of `FileNames`: lower case, with the dot, at most 8 characters.
    std::string FileType;
    /// The file whose frames are the film's pictures: the MPEG file a project names,
    /// else the first accepted file; empty until a source was read.
    std::string FrameFile;
    /// What a project cuts from each side of those frames: left, top, right, bottom.
    std::array<std::int32_t, 4> FrameCrop{};

    /// Shows a failure to the user (the window: a modal box titled "Error").
    /// Messages are dropped while it is unset.
    std::function<void(const std::string&)> ShowError;

    /// Validates and accepts `files` (one name, several names or one .lst list)
    /// and reads the properties of the first accepted file. Returns `OpenOk` when
    /// the list was accepted and read, else a negative code whose message has
    /// already been shown. `FileNames` and `FileType` change only when the list
    /// is accepted.
    int OpenFiles(const std::vector<std::string>& files);

    /// Reads the properties of the first name in `FileNames` with the reader
    /// `FileType` selects. Throws `EConvertError` from the project reader.
    void ReadSourceInfo();

    /// Frame size, rate, count and FourCC of the first video stream of an AVI file;
    /// a VFAPI AVI also reads the project it serves (and so may throw `EConvertError`).
    void ReadAviHeader(const std::string& name);
    /// Frame size (less the project's crop), rate and count of a d2v project, and
    /// the sequence header of the MPEG file it names. Throws `EConvertError` when
    /// its crop or frame-rate field is not a number.
    void ReadProjectFile(const std::string& name);
    /// Frame size, aspect code and anamorphic flag from the first MPEG video
    /// sequence header in the head of the file.
    void ReadSequenceHeader(const std::string& name);

    /// 0 when anything (file or folder) of that name exists, `NotFound` otherwise.
    static int FileFound(const std::string& name);

  private:
    TResizeStruct& Model;

    void Error(const std::string& text) const;
};

} // namespace tarvex
