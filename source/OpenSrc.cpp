// The source reader: accepting the files named as the source, choosing the reader
// for their kind, the AVI reader and the media probe for every other kind.
#include "source/OpenSrc.h"

#include "common/Numeric.h"
#include "geometry/ResUnit.h"
#include "source/BinaryFile.h"
#include "source/MediaProbe.h"
#include "source/SourceReading.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

namespace tarvex {

namespace {

using namespace reading;

const char* const MsgNoFiles = "No valid new files given!";
const char* const MsgMultipleLists = "Multiple .lst files are not allowed!";
const char* const MsgFileMissing = "Can't find file: ";
const char* const MsgMixedTypes = "Some files are not the same type!";
const char* const MsgSomeMissing = "Can't find all files!";
const char* const MsgNoRiff = "Given avi-file is broken!\r\nCan't find the RIFF-header of file: ";
const char* const MsgNoVideo = "Given avi-file is broken!\r\nCan't find a video-stream in file: ";
const char* const MsgUnreadable = "Can't read the file: ";
const char* const MsgUnjoinable = "The files of the list cannot be joined into one film: the name ";

// The fixed layout of an AVI file's head: the main header's frame size and the
// type of the first stream header.
constexpr std::uint64_t AviRiffSize = 4;
constexpr std::uint64_t AviWidth = 64;
constexpr std::uint64_t AviHeight = 68;
constexpr std::uint64_t AviFirstStreamType = 108;
// Stream numbers in AVI chunk ids have two decimal digits, so no file has more
// stream lists than this; the walk gives up after that many.
constexpr int AviMaxStreams = 100;
// Where a VFAPI AVI keeps the length and the bytes of the name of the file it
// serves, and the longest name it may have.
constexpr std::uint64_t AviServedName = 2064;
constexpr std::size_t MaxServedName = 255;
// The longest `FileType` kept; longer extensions are cut.
constexpr std::size_t MaxFileType = 8;

} // namespace

std::string reading::Trim(const std::string& s) {
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    std::size_t first = 0;
    std::size_t last = s.size();
    while (first < last && blank(s[first])) ++first;
    while (last > first && blank(s[last - 1])) --last;
    return s.substr(first, last - first);
}

std::string reading::Extension(const std::string& name) {
    const std::size_t dot = name.find_last_of("./");
    if (dot == std::string::npos || name[dot] != '.') return {};
    std::string ext = Trim(name.substr(dot));
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ext;
}

void TOpenSrcFile::Error(const std::string& text) const {
    if (ShowError) ShowError(text);
}

int TOpenSrcFile::Refuse(const std::string& text, int code) const {
    Error(text);
    return code;
}

bool IsMpegType(const std::string& type) {
    return type == ".vob" || type == ".mpg" || type == ".mpeg" || type == ".m2v" ||
           type == ".m1v" || type == ".mpv";
}

int TOpenSrcFile::OpenFiles(const std::vector<std::string>& files) {
    if (files.empty()) return Refuse(MsgNoFiles, OpenNoFiles);
    const std::string& first = files.front();
    const bool isList = Extension(first) == ".lst";
    if (files.size() > 1 && isList) return Refuse(MsgMultipleLists, OpenMultipleLists);
    if (!FileExists(first)) return Refuse(MsgFileMissing + first, OpenFirstMissing);

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
        TTextFileReader list;
        if (!list.Open(listName)) return Refuse(MsgCantOpen + listName, OpenListUnreadable);
        std::string entry;
        while (sameType && list.Next(entry)) sameType = take(entry);
    } else {
        for (const auto& entry : files) {
            sameType = take(entry);
            if (!sameType) break;
        }
    }
    if (!sameType) return Refuse(MsgMixedTypes, OpenMixedTypes);
    if (accepted.empty()) return Refuse(MsgNoFiles, OpenNoFiles);
    if (!allFound) return Refuse(MsgSomeMissing, OpenSomeMissing);
    // Joined files reach the encoder as one input whose names "|" separates.
    if (accepted.size() > 1) {
        for (const std::string& entry : accepted) {
            if (entry.find('|') == std::string::npos) continue;
            return Refuse(MsgUnjoinable + entry + " holds a \"|\". Rename the file.",
                          OpenUnjoinable);
        }
    }

    // A failed read leaves the reader as it was before.
    TOpenSrcFile before = *this;
    FileNames = std::move(accepted);
    FileType = type;
    const int result = ReadAccepted();
    if (result != OpenOk) *this = std::move(before);
    return result;
}

int TOpenSrcFile::ReadAccepted() {
    try {
        if (!ReadSourceInfo()) return OpenUnreadable;
    } catch (const EConvertError& e) {
        return Refuse(e.what(), OpenConvertError);
    }
    if (Frame.Width < TResizeStruct::MinFilmSide || Frame.Height < TResizeStruct::MinFilmSide)
        return Refuse("The picture of " + FileNames.front() + " is " + IntToStr(Frame.Width) +
                          " x " + IntToStr(Frame.Height) + " pixels: films of at least " +
                          IntToStr(TResizeStruct::MinFilmSide) + " x " +
                          IntToStr(TResizeStruct::MinFilmSide) + " pixels can be planned.",
                      OpenTooSmall);
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
    Frame.Vfapi = false;
    Facts = {};
    Reader = TSourceReader::Nothing;
    if (FileType == ".avi") {
        Reader = TSourceReader::Avi;
        return ReadOrProbe(name, AviHeader(name));
    }
    if (FileType == ".d2v") {
        Reader = TSourceReader::Project;
        if (!ReadProjectFile(name)) return false;
        if (!Facts.Codec.empty()) Frame.FourCC = FourCCOfCodec(Facts.Codec);
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
    Frame.Vfapi = false;
    Frame.Width = Store<std::int16_t>(info.Width);
    Frame.Height = Store<std::int16_t>(info.Height);
    // An unknown rate or length reads as 0, never as the previous source's.
    Frame.FrameRate = info.Facts.FrameRate.Known() ? RateOf(info.Facts.FrameRate) : 0.0;
    Frame.FrameCount = info.FrameCount >= 0 ? Store<std::int32_t>(info.FrameCount) : 0;
    Frame.FourCC = info.FourCC;
    Frame.SetAspectCode(AspectCodeOf(info.Width, info.Height, info.Facts.SampleAspect));
    Facts = info.Facts;
    Reader = TSourceReader::MediaProbe;
    return true;
}

void TOpenSrcFile::ReadAviHeader(const std::string& name) {
    if (const auto failure = AviHeader(name)) Error(failure->Message);
}

TOpenSrcFile::TResult TOpenSrcFile::AviHeader(const std::string& name) {
    TBinaryFile file;
    if (!file.Open(name)) return TFailure{MsgCantOpen + name};
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
        UpperAscii(std::string(code.data(), std::find(code.begin(), code.end(), '\0')));
    Frame.FrameCount = Store<std::int32_t>(length);
    Frame.FourCC = fourCC;
    Frame.Width = Store<std::int16_t>(width);
    Frame.Height = Store<std::int16_t>(height);
    // Without a time scale the stream has no frame rate; the old one stays.
    if (scale != 0) Frame.FrameRate = ToDouble(static_cast<Real>(rate) / scale);
    if (scale > 0 && rate > 0) Facts.FrameRate = TRatio{rate, scale}.Reduced();
    Frame.Vfapi = fourCC == "VIFP";
    if (!Frame.Vfapi) return std::nullopt;

    std::uint16_t servedLength = 0;
    std::array<char, MaxServedName> served{};
    if (!file.ReadU16(AviServedName, servedLength) || servedLength > MaxServedName ||
        !file.ReadAt(AviServedName + 2, served.data(), servedLength))
        return TFailure{MsgNoVideo + name};
    const std::string servedName(served.data(), servedLength);
    if (Extension(servedName) == ".d2v") ReadProjectFile(servedName);
    return std::nullopt;
}

} // namespace tarvex
