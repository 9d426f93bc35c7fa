#include "source/OpenSrc.h"

#include "common/Numeric.h"
#include "source/BinaryFile.h"
#include "source/MediaProbe.h"
#include "source/MpegStream.h"
#include "source/ProjectFile.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <span>
#include <system_error>
#include <utility>
#include <vector>

namespace tarvex {

namespace {

namespace fs = std::filesystem;

const char* const MsgNoFiles = "No valid new files given!";
const char* const MsgMultipleLists = "Multiple .lst files are not allowed!";
const char* const MsgFileMissing = "Can't find file: ";
const char* const MsgMixedTypes = "Some files are not the same type!";
const char* const MsgSomeMissing = "Can't find all files!";
const char* const MsgCantOpen = "Can't open file: ";
const char* const MsgNoRiff = "Given avi-file is broken!\r\nCan't find the RIFF-header of file: ";
const char* const MsgNoVideo = "Given avi-file is broken!\r\nCan't find a video-stream in file: ";
const char* const MsgNoEmbedded =
    "Given d2v-project file is broken!\r\nCan't find the embedded file: ";
const char* const MsgSearchFailed = "Exception @ SeqHeader-search! File-End reached?";
const char* const MsgNoSeqHeader = "Can't find the sequence-header of: ";
const char* const MsgBadSeqHeader = "Can't parse the sequence-header of: ";
const char* const MsgUnreadable = "Can't read the file: ";
const char* const MsgUnjoinable = "The files of the list cannot be joined into one film: the name ";

/// Removes blanks and control characters from both ends.
std::string Trim(const std::string& s) {
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    std::size_t first = 0;
    std::size_t last = s.size();
    while (first < last && blank(s[first])) ++first;
    while (last > first && blank(s[last - 1])) --last;
    return s.substr(first, last - first);
}

std::string LowerCase(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string UpperCase(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

/// The extension of the last path component with its dot, trimmed and in lower
/// case; empty when the name has none.
std::string Extension(const std::string& name) {
    const std::size_t dot = name.find_last_of("./");
    if (dot == std::string::npos || name[dot] != '.') return {};
    return LowerCase(Trim(name.substr(dot)));
}

/// A text file read line by line. A line ends at LF, CR LF or a lone CR; past the
/// end every read gives an empty line, so a loop that waits for an empty line ends.
class TLineReader {
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

/// Removes everything up to and including the first blank; nothing without one.
void DropToken(std::string& s) {
    const std::size_t blank = s.find(' ');
    if (blank != std::string::npos) s.erase(0, blank + 1);
}

/// The text after the first "=" (the whole line when it has none).
std::string ValueOf(const std::string& line) {
    const std::size_t eq = line.find('=');
    return eq == std::string::npos ? line : line.substr(eq + 1);
}

/// The largest frame side the model holds.
constexpr std::int64_t MaxSide = std::numeric_limits<std::int16_t>::max();

std::int32_t ToInt(const std::string& text) {
    std::int32_t value = 0;
    if (!TryStrToInt(text, value)) {
        // The message travels as a C string, so it quotes the field up to a NUL byte.
        throw EConvertError("'" + text.substr(0, text.find('\0')) +
                            "' is not a valid integer value");
    }
    return value;
}

/// A frame side a project gives (`size` is the whole size, for the message).
std::int16_t SideOf(std::int64_t side, const std::string& size) {
    if (side < 1 || side > MaxSide)
        throw EConvertError("The picture size " + size + " is out of range.");
    return static_cast<std::int16_t>(side);
}

/// The fields of a crop line: c1 to c4, each the text before the next comma.
std::array<std::int32_t, 4> CropFields(std::string text) {
    std::array<std::int32_t, 4> fields{};
    for (auto& field : fields) {
        const std::size_t comma = text.find(',');
        // Without a further comma the field is empty, which is not a number.
        field = ToInt(comma == std::string::npos ? std::string() : text.substr(0, comma));
        text.erase(0, comma == std::string::npos ? text.size() : comma + 1);
    }
    return fields;
}

/// The picture flags of one frame line after its first three tokens; a final
/// end marker "9" is not a picture.
std::int64_t CountFlags(std::string line) {
    for (int i = 0; i < 3; ++i) DropToken(line);
    std::int64_t count = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t blank = line.find(' ', start);
        if (blank == std::string::npos) break;
        const bool last = blank + 1 == line.size();
        if (!(last && line.compare(start, blank - start, "9") == 0)) ++count;
        start = blank + 1;
    }
    const std::string rest = line.substr(start);
    if (!rest.empty() && rest != "9") ++count;
    return count;
}

/// MPEG video files whose sequence header is read.

// The fixed layout of an AVI file's head: the main header's frame size and the
// type of the first stream header.
constexpr std::uint64_t AviRiffSize = 4;
constexpr std::uint64_t AviWidth = 64;
constexpr std::uint64_t AviHeight = 68;
constexpr std::uint64_t AviFirstStreamType = 108;
// Stream numbers in AVI chunk ids have two decimal digits, so no file has more
// stream lists than this; the walk gives up after that many.
constexpr int AviMaxStreams = 100;
// Where a VFAPI AVI keeps the length and the bytes of the name of the file it serves.
constexpr std::uint64_t AviServedName = 2064;

// Sequence-header search: 50 blocks of 256 bytes, 253 bytes apart.
constexpr int SeqBlocks = 50;
constexpr std::size_t SeqBlockSize = 256;
constexpr std::size_t SeqBlockStep = 253;
constexpr std::size_t SeqHeaderBytes = 8;
// The bytes read after the sequence header's start code for the header and its extension.
constexpr std::size_t SeqHeaderWindow = 256;
// The length of an MPEG stream is read from this much of its head and as much of
// its tail; a file up to twice as long is read whole.
constexpr std::size_t StreamWindow = 256 * 1024;

/// Frames of an MPEG program or elementary stream, from its head and tail.
std::optional<std::int64_t> StreamFrames(TBinaryFile& file, const std::vector<unsigned char>& head,
                                         TRatio rate) {
    std::vector<unsigned char> tail;
    if (file.FileSize() > head.size())
        tail = ReadWindow(file, file.FileSize() - StreamWindow, StreamWindow);
    if (mpeg::IsProgramStream(head)) {
        mpeg::TPtsRange range;
        mpeg::ScanProgramStream(head, range);
        mpeg::ScanProgramStream(tail, range);
        return mpeg::FramesOfPtsRange(range, rate);
    }
    if (mpeg::IsTransportStream(head)) return std::nullopt;
    return mpeg::FramesOfElementaryStream(head, tail, rate);
}

/// The MPEG aspect code of a project's "Aspect_Ratio" value; 0 for others.
std::uint8_t AspectCodeOfName(const std::string& name) {
    if (name == "1:1") return 1;
    if (name == "4:3") return 2;
    if (name == "16:9") return 3;
    if (name == "2.21:1") return 4;
    return 0;
}

/// A project's file name: a name without a folder lies beside the project.
std::string BesideProject(const std::string& project, const std::string& file) {
    const fs::path path(file);
    if (file.empty() || path.is_absolute()) return file;
    return (fs::path(project).parent_path() / path).string();
}

const char* const MpegCodec1 = "mpeg1video";
const char* const MpegCodec2 = "mpeg2video";

/// The code the source hint shows for MPEG video.
std::string FourCCOfMpeg(const std::string& codec) {
    return codec == MpegCodec2 ? "MPG2" : "MPG1";
}

double RateOf(TRatio rate) {
    return ToDouble(static_cast<Real>(rate.Num) / rate.Den);
}

} // namespace

TOpenSrcFile::TOpenSrcFile(TResizeStruct& model) : Model(model) {}

void TOpenSrcFile::Error(const std::string& text) const {
    if (ShowError) ShowError(text);
}

bool IsMpegType(const std::string& type) {
    return type == ".vob" || type == ".mpg" || type == ".mpeg" || type == ".m2v" ||
           type == ".m1v" || type == ".mpv";
}

int TOpenSrcFile::FileFound(const std::string& name) {
    if (!ValidPath(name)) return NotFound;
    std::error_code ec;
    return fs::exists(fs::path(name), ec) ? 0 : NotFound;
}

struct TOpenSrcFile::TState {
    TResizeStruct Model;
    std::vector<std::string> FileNames;
    std::string FileType, FrameFile;
    std::array<std::int32_t, 4> FrameCrop;
    TSourceFacts Facts;
    TSourceReader Reader;
};

TOpenSrcFile::TState TOpenSrcFile::Saved() const {
    return {Model, FileNames, FileType, FrameFile, FrameCrop, Facts, Reader};
}

void TOpenSrcFile::Restore(TState state) {
    Model = std::move(state.Model);
    FileNames = std::move(state.FileNames);
    FileType = std::move(state.FileType);
    FrameFile = std::move(state.FrameFile);
    FrameCrop = state.FrameCrop;
    Facts = std::move(state.Facts);
    Reader = state.Reader;
}

int TOpenSrcFile::OpenFiles(const std::vector<std::string>& files) {
    if (files.empty()) {
        Error(MsgNoFiles);
        return OpenNoFiles;
    }
    const std::string& first = files.front();
    const bool isList = Extension(first) == ".lst";
    if (files.size() > 1 && isList) {
        Error(MsgMultipleLists);
        return OpenMultipleLists;
    }
    if (!FileExists(first)) {
        Error(MsgFileMissing + first);
        return OpenFirstMissing;
    }

    std::string type;
    bool allFound = true;
    std::vector<std::string> accepted;
    // Takes one entry; false when its type differs from the entries before it.
    auto take = [&](const std::string& entry) {
        const std::string ext = Extension(entry);
        if (!type.empty() && ext != type) return false;
        if (type.empty()) type = ext.substr(0, MaxFileType);
        if (FileExists(entry))
            accepted.push_back(Trim(entry));
        else
            allFound = false;
        return true;
    };

    bool sameType = true;
    if (isList) {
        const std::string listName = Trim(first);
        TLineReader list;
        if (!list.Open(listName)) {
            Error(MsgCantOpen + listName);
            return OpenListUnreadable;
        }
        std::string entry;
        while (sameType && list.Next(entry)) sameType = take(entry);
    } else {
        for (const auto& entry : files) {
            sameType = take(entry);
            if (!sameType) break;
        }
    }
    if (!sameType) {
        Error(MsgMixedTypes);
        return OpenMixedTypes;
    }
    if (accepted.empty()) {
        Error(MsgNoFiles);
        return OpenNoFiles;
    }
    if (!allFound) {
        Error(MsgSomeMissing);
        return OpenSomeMissing;
    }
    // Joined files reach the encoder as one input whose names "|" separates.
    if (accepted.size() > 1) {
        for (const std::string& entry : accepted) {
            if (entry.find('|') == std::string::npos) continue;
            Error(MsgUnjoinable + entry + " holds a \"|\". Rename the file.");
            return OpenUnjoinable;
        }
    }

    TState before = Saved();
    FileNames = std::move(accepted);
    FileType = type;
    const int result = ReadAccepted();
    if (result != OpenOk) Restore(std::move(before));
    return result;
}

int TOpenSrcFile::ReadAccepted() {
    try {
        if (!ReadSourceInfo()) return OpenUnreadable;
    } catch (const EConvertError& e) {
        Error(e.what());
        return OpenConvertError;
    }
    if (Model.SrcResX < TResizeStruct::MinFilmSide || Model.SrcResY < TResizeStruct::MinFilmSide) {
        Error("The picture of " + FileNames.front() + " is " + IntToStr(Model.SrcResX) + " x " +
              IntToStr(Model.SrcResY) + " pixels: films of at least " +
              IntToStr(TResizeStruct::MinFilmSide) + " x " + IntToStr(TResizeStruct::MinFilmSide) +
              " pixels can be planned.");
        return OpenTooSmall;
    }
    return OpenOk;
}

bool TOpenSrcFile::ReadSourceInfo() {
    if (FileNames.empty()) return true;
    const std::string name = FileNames.front();
    FrameFile = name;
    FrameCrop = {};
    const bool byHand = FileType == ".avi" || FileType == ".d2v" || IsMpegType(FileType);
    if (!byHand && FileType != ".avs") return Probe(name, true);

    // Only a VFAPI AVI sets the flag again, so it never outlives the source it came from.
    Model.SrcIsVFAPI = false;
    Facts = {};
    Reader = TSourceReader::Nothing;
    if (FileType == ".avi") {
        Reader = TSourceReader::Avi;
        return ReadOrProbe(name, AviHeader(name));
    }
    if (FileType == ".d2v") {
        Reader = TSourceReader::Project;
        if (!ProjectFile(name)) return false;
        if (!Facts.Codec.empty()) Model.SrcFourCC = FourCCOfMpeg(Facts.Codec);
    } else if (FileType != ".avs") {
        Reader = TSourceReader::Mpeg;
        return ReadOrProbe(name, SequenceHeader(name, true));
    }
    return true;
}

bool TOpenSrcFile::ReadOrProbe(const std::string& name, const TResult& failure) {
    if (!failure) return true;
    if (failure->OtherKind && Probe(name, false)) return true;
    Error(failure->Message);
    return false;
}

bool TOpenSrcFile::Probe(const std::string& name, bool report) {
    TMediaInfo info;
    std::string reason;
    if (!ProbeMedia(name, info, reason)) {
        if (report) Error(MsgUnreadable + name + "\r\n" + reason);
        return false;
    }
    Model.SrcIsVFAPI = false;
    Model.SetSrcResX(Store<std::int16_t>(info.Width));
    Model.SetSrcResY(Store<std::int16_t>(info.Height));
    // An unknown rate or length reads as 0, never as the previous source's.
    Model.SrcFrameRate = info.Facts.FrameRate.Known() ? RateOf(info.Facts.FrameRate) : 0.0;
    Model.SrcFrameCount = info.FrameCount >= 0 ? Store<std::int32_t>(info.FrameCount) : 0;
    Model.SrcFourCC = info.FourCC;
    Model.SrcAspectCode = AspectCodeOf(info.Width, info.Height, info.Facts.SampleAspect);
    Model.SrcIsAnamorphic = Model.SrcAspectCode == 3 || Model.SrcAspectCode == 4;
    Facts = info.Facts;
    Reader = TSourceReader::MediaProbe;
    return true;
}

void TOpenSrcFile::ReadAviHeader(const std::string& name) {
    if (const auto failure = AviHeader(name)) Error(failure->Message);
}

TOpenSrcFile::TResult TOpenSrcFile::AviHeader(const std::string& name) {
    TBinaryFile file;
    if (FileFound(name) != 0 || !file.Open(name)) return TFailure{MsgCantOpen + name};
    std::string tag;
    if (!file.ReadTag(0, tag) || tag != "RIFF") return TFailure{MsgNoRiff + name, true};

    std::uint32_t riffSize = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (!file.ReadU32(AviRiffSize, riffSize) || !file.ReadU32(AviWidth, width) ||
        !file.ReadU32(AviHeight, height))
        return TFailure{MsgNoVideo + name, true};

    // Walk the stream lists until a video stream header. Each step moves at least
    // eight bytes on, and a list size pointing past the file ends the walk.
    std::uint64_t typeAt = AviFirstStreamType;
    bool found = false;
    for (int list = 0; list < AviMaxStreams; ++list) {
        if (!file.ReadTag(typeAt, tag)) break;
        if (tag == "vids" || tag == "iavs") {
            found = true;
            break;
        }
        const std::uint64_t pos = typeAt + 4;
        if (static_cast<std::int64_t>(pos) >= static_cast<std::int64_t>(riffSize) - 8) break;
        std::uint32_t listSize = 0;
        if (!file.ReadU32(pos - 20, listSize)) break;
        typeAt = pos + listSize + 4;
    }

    std::int32_t scale = 0;
    std::int32_t rate = 0;
    std::uint32_t length = 0;
    std::array<char, 4> code{};
    if (!found || !file.ReadI32(typeAt + 20, scale) || !file.ReadI32(typeAt + 24, rate) ||
        !file.ReadU32(typeAt + 32, length) || !file.ReadAt(typeAt + 80, code.data(), code.size()))
        return TFailure{MsgNoVideo + name, true};

    // The model keeps sizes in 16 bits and counts in 32: larger values are damage.
    if (width > MaxSide || height > MaxSide)
        return TFailure{"The frame size " + IntToStr(width) + " x " + IntToStr(height) +
                        " is out of range in file: " + name};
    if (length > std::uint32_t{std::numeric_limits<std::int32_t>::max()})
        return TFailure{"The frame count " + IntToStr(length) +
                        " is out of range in file: " + name};

    // The code ends at a NUL byte: uncompressed video has the code 0.
    const std::string fourCC =
        UpperCase(std::string(code.data(), std::find(code.begin(), code.end(), '\0')));
    Model.SrcFrameCount = Store<std::int32_t>(length);
    Model.SrcFourCC = fourCC;
    Model.SetSrcResX(Store<std::int16_t>(width));
    Model.SetSrcResY(Store<std::int16_t>(height));
    // Without a time scale the stream has no frame rate; the old one stays.
    if (scale != 0) Model.SrcFrameRate = ToDouble(static_cast<Real>(rate) / scale);
    if (scale > 0 && rate > 0) Facts.FrameRate = TRatio{rate, scale}.Reduced();
    Model.SrcIsVFAPI = fourCC == "VIFP";
    if (!Model.SrcIsVFAPI) return std::nullopt;

    std::uint16_t servedLength = 0;
    std::array<char, MaxServedName> served{};
    if (!file.ReadU16(AviServedName, servedLength) || servedLength > MaxServedName ||
        !file.ReadAt(AviServedName + 2, served.data(), servedLength))
        return TFailure{MsgNoVideo + name};
    const std::string servedName(served.data(), servedLength);
    if (Extension(servedName) == ".d2v") ReadProjectFile(servedName);
    return std::nullopt;
}

void TOpenSrcFile::ReadProjectFile(const std::string& name) {
    ProjectFile(name);
}

bool TOpenSrcFile::ProjectFile(const std::string& name) {
    TLineReader file;
    if (name.empty() || !file.Open(name)) {
        Error(MsgCantOpen + name);
        return false;
    }
    if (IsKeyedProject(file.ReadLn())) {
        KeyedProjectFile(name, [&file](std::string& line) { return file.Next(line); });
        return true;
    }
    std::string line = file.ReadLn(); // line 2 starts the skip of the further file lines
    std::string path = file.ReadLn();
    DropToken(path);
    ReadEmbedded(path);

    while (!line.empty()) line = file.ReadLn();
    for (int i = 0; i < 4; ++i) file.ReadLn();
    const std::string crop = ValueOf(file.ReadLn());
    file.ReadLn();
    const std::string rate = ValueOf(file.ReadLn());
    for (int i = 0; i < 2; ++i) file.ReadLn();

    const std::int32_t thousandths = ToInt(rate);
    Model.SrcFrameRate = ToDouble(static_cast<Real>(thousandths) / 1000);
    Facts.FrameRate = TRatio{thousandths, 1000}.Reduced();
    const auto c = CropFields(crop);
    FrameCrop = {c[2], c[0], c[3], c[1]};
    const std::int64_t width = std::int64_t{Model.SrcResX} - c[2] - c[3];
    const std::int64_t height = std::int64_t{Model.SrcResY} - c[0] - c[1];
    const std::string size = IntToStr(width) + "x" + IntToStr(height);
    Model.SetSrcResX(SideOf(width, size));
    Model.SetSrcResY(SideOf(height, size));

    std::int64_t count = 0;
    while (file.Next(line) && !line.empty()) count += CountFlags(line);
    Model.SrcFrameCount = Store<std::int32_t>(count - 2);
    return true;
}

void TOpenSrcFile::ReadSequenceHeader(const std::string& name) {
    if (const auto failure = SequenceHeader(name, true)) Error(failure->Message);
}

TOpenSrcFile::TResult TOpenSrcFile::SequenceHeader(const std::string& name, bool wholeStream) {
    TBinaryFile file;
    if (FileFound(name) != 0 || !file.Open(name)) return TFailure{MsgCantOpen + name};

    std::optional<std::uint64_t> start;
    std::array<unsigned char, SeqBlockSize> block{};
    for (int k = 0; k < SeqBlocks && !start; ++k) {
        const std::uint64_t offset = std::uint64_t{SeqBlockStep} * k;
        const std::size_t got = file.ReadUpTo(offset, block.data(), block.size());
        for (std::size_t i = 0; i < SeqBlockStep && i + 3 < got; ++i) {
            if (block[i] == 0x00 && block[i + 1] == 0x00 && block[i + 2] == 0x01 &&
                block[i + 3] == 0xB3) {
                start = offset + i;
                break;
            }
        }
        // A start code in a short last block still counts; past it the file has ended.
        if (!start && got < block.size()) return TFailure{MsgSearchFailed, true};
    }
    if (!start) return TFailure{MsgNoSeqHeader + name, true};

    const auto header = ReadWindow(file, *start, SeqHeaderWindow);
    mpeg::TSequence seq;
    if (header.size() < SeqHeaderBytes || !mpeg::ReadSequence(header, seq))
        return TFailure{MsgBadSeqHeader + name};
    // A transport stream carries the header too, but its length and field order
    // are the media probe's to read.
    const auto head =
        ReadWindow(file, 0, file.FileSize() > 2 * StreamWindow ? StreamWindow : 2 * StreamWindow);
    if (wholeStream && mpeg::IsTransportStream(head) && Probe(name, false)) return std::nullopt;

    Model.SetSrcResX(static_cast<std::int16_t>(seq.Width));
    Model.SetSrcResY(static_cast<std::int16_t>(seq.Height));
    Model.SrcAspectCode = seq.AspectCode;
    Model.SrcIsAnamorphic = Model.SrcAspectCode == 3 || Model.SrcAspectCode == 4;
    Facts.Codec = seq.Mpeg2 ? MpegCodec2 : MpegCodec1;
    Facts.SampleAspect = seq.SampleAspect;
    Facts.DisplayAspect = DisplayAspectOf(seq.Width, seq.Height, seq.SampleAspect);
    Facts.FieldOrder = mpeg::FirstFieldOrder(
        std::span(head).subspan(std::min<std::size_t>(*start, head.size())), seq);
    // A project's own lines give its rate and length.
    if (!wholeStream) return std::nullopt;

    Model.SrcFourCC = FourCCOfMpeg(Facts.Codec);
    Facts.FrameRate = seq.FrameRate;
    // A reserved rate code gives no rate: then neither rate nor length is known.
    Model.SrcFrameRate = seq.FrameRate.Known() ? RateOf(seq.FrameRate) : 0.0;

    auto frames = StreamFrames(file, head, seq.FrameRate);
    if (!frames) {
        // A stream whose length the head and tail do not tell: the media probe
        // estimates it from the duration.
        TMediaInfo info;
        std::string reason;
        if (ProbeMedia(name, info, reason) && info.FrameCount >= 0) {
            frames = info.FrameCount;
            Facts.FrameCountEstimated = true;
        }
    }
    Model.SrcFrameCount = Store<std::int32_t>(frames.value_or(0));
    return std::nullopt;
}

bool TOpenSrcFile::ReadEmbedded(const std::string& path) {
    if (!FileExists(path)) {
        Error(MsgNoEmbedded + path);
        return false;
    }
    FrameFile = path;
    const auto failure = SequenceHeader(path, false);
    if (failure) Error(failure->Message);
    return !failure;
}

void TOpenSrcFile::KeyedProjectFile(const std::string& name,
                                    const std::function<bool(std::string&)>& nextLine) {
    const TKeyedProject p = ReadKeyedProject(nextLine);
    const std::string path = BesideProject(name, p.FirstFile);
    const bool headerRead = ReadEmbedded(path);

    const auto clip = p.Setting("Clipping");
    const auto c = clip ? CropFields(*clip + ",") : std::array<std::int32_t, 4>{}; // l, r, t, b
    FrameCrop = {c[0], c[2], c[1], c[3]};
    if (const auto size = p.Setting("Picture_Size")) {
        // The size after the project's crop.
        const std::size_t x = size->find('x');
        const std::int32_t width = ToInt(size->substr(0, x));
        const std::int32_t height =
            ToInt(x == std::string::npos ? std::string() : size->substr(x + 1));
        Model.SetSrcResX(SideOf(width, *size));
        Model.SetSrcResY(SideOf(height, *size));
    } else if (clip) {
        const std::int64_t width = std::int64_t{Model.SrcResX} - c[0] - c[1];
        const std::int64_t height = std::int64_t{Model.SrcResY} - c[2] - c[3];
        const std::string size = IntToStr(width) + "x" + IntToStr(height);
        Model.SetSrcResX(SideOf(width, size));
        Model.SetSrcResY(SideOf(height, size));
    }
    if (!headerRead) {
        Model.SrcAspectCode = AspectCodeOfName(p.Setting("Aspect_Ratio").value_or(""));
        Model.SrcIsAnamorphic = Model.SrcAspectCode == 3 || Model.SrcAspectCode == 4;
        Facts.Codec = p.Setting("MPEG_Type").value_or("") == "1" ? MpegCodec1 : MpegCodec2;
    }
    if (const auto rate = p.Setting("Frame_Rate")) {
        // "25000 (25/1)": thousandths, then the exact fraction.
        const std::size_t open = rate->find('(');
        TRatio exact;
        if (open != std::string::npos) {
            const std::string fraction = rate->substr(open + 1, rate->find(')', open) - open - 1);
            const std::size_t slash = fraction.find('/');
            exact = TRatio{
                ToInt(fraction.substr(0, slash)),
                ToInt(slash == std::string::npos ? std::string("1") : fraction.substr(slash + 1))};
        } else {
            exact = TRatio{ToInt(*rate), 1000};
        }
        Facts.FrameRate = exact.Reduced();
        Model.SrcFrameRate = exact.Known() ? RateOf(exact) : 0.0;
    }
    // Honouring the pulldown flags shows every repeated field; otherwise each
    // picture is one frame.
    const bool honourPulldown = p.Setting("Field_Operation").value_or("0") == "0";
    Model.SrcFrameCount = Store<std::int32_t>(honourPulldown ? Half(p.Fields) : p.Pictures);
}

} // namespace tarvex
