#include "source/OpenSrc.h"

#include "common/Numeric.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

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

bool ValidPath(const std::string& name) {
    // A name with a NUL byte would reach the system cut short and so name another file.
    return !name.empty() && name.find('\0') == std::string::npos;
}

/// True for an existing file that can be read as a byte stream: folders, devices
/// and pipes are not source files (a pipe would block the reader for ever).
bool FileExists(const std::string& name) {
    if (!ValidPath(name)) return false;
    std::error_code ec;
    return fs::is_regular_file(fs::path(name), ec);
}

/// A file read by offset; every read is checked against the file's end.
class TBinaryFile {
  public:
    bool Open(const std::string& name) {
        if (!FileExists(name)) return false;
        std::error_code ec;
        const auto size = fs::file_size(fs::path(name), ec);
        if (ec) return false;
        Size = size;
        In.open(name, std::ios::binary);
        return In.is_open();
    }

    /// Reads up to `count` bytes at `offset`; returns how many were read.
    std::size_t ReadUpTo(std::uint64_t offset, void* buffer, std::size_t count) {
        if (offset >= Size) return 0;
        if (count > Size - offset) count = static_cast<std::size_t>(Size - offset);
        In.clear();
        In.seekg(static_cast<std::streamoff>(offset));
        if (!In) return 0;
        In.read(static_cast<char*>(buffer), static_cast<std::streamsize>(count));
        return static_cast<std::size_t>(In.gcount());
    }

    /// Reads exactly `count` bytes at `offset`; false when the file ends before.
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t count) {
        return ReadUpTo(offset, buffer, count) == count;
    }

    bool ReadU16(std::uint64_t offset, std::uint16_t& value) {
        std::array<unsigned char, 2> b{};
        if (!ReadAt(offset, b.data(), b.size())) return false;
        value = static_cast<std::uint16_t>(b[0] | b[1] << 8);
        return true;
    }

    bool ReadU32(std::uint64_t offset, std::uint32_t& value) {
        std::array<unsigned char, 4> b{};
        if (!ReadAt(offset, b.data(), b.size())) return false;
        value = static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
                static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
        return true;
    }

    bool ReadI32(std::uint64_t offset, std::int32_t& value) {
        std::uint32_t u = 0;
        if (!ReadU32(offset, u)) return false;
        value = static_cast<std::int32_t>(u);
        return true;
    }

    bool ReadTag(std::uint64_t offset, std::string& tag) {
        std::array<char, 4> b{};
        if (!ReadAt(offset, b.data(), b.size())) return false;
        tag.assign(b.data(), b.size());
        return true;
    }

  private:
    std::ifstream In;
    std::uint64_t Size = 0;
};

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

std::int32_t ToInt(const std::string& text) {
    std::int32_t value = 0;
    if (!TryStrToInt(text, value)) {
        // The message travels as a C string, so it quotes the field up to a NUL byte.
        throw EConvertError("'" + text.substr(0, text.find('\0')) +
                            "' is not a valid integer value");
    }
    return value;
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
bool IsMpegType(const std::string& type) {
    return type == ".vob" || type == ".mpg" || type == ".mpeg" || type == ".m2v" ||
           type == ".m1v" || type == ".mpv";
}

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

} // namespace

TOpenSrcFile::TOpenSrcFile(TResizeStruct& model) : Model(model) {}

void TOpenSrcFile::Error(const std::string& text) const {
    if (ShowError) ShowError(text);
}

int TOpenSrcFile::FileFound(const std::string& name) {
    if (!ValidPath(name)) return NotFound;
    std::error_code ec;
    return fs::exists(fs::path(name), ec) ? 0 : NotFound;
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

    FileNames = std::move(accepted);
    FileType = type;
    try {
        ReadSourceInfo();
    } catch (const EConvertError& e) {
        Error(e.what());
        return OpenConvertError;
    }
    return OpenOk;
}

void TOpenSrcFile::ReadSourceInfo() {
    if (FileNames.empty()) return;
    // Only a VFAPI AVI sets the flag again, so it never outlives the source it came from.
    Model.SrcIsVFAPI = false;
    const std::string name = FileNames.front();
    FrameFile = name;
    FrameCrop = {};
    if (FileType == ".asf")
        Model.SrcFrameRate = 25.0;
    else if (FileType == ".avi")
        ReadAviHeader(name);
    else if (FileType == ".d2v")
        ReadProjectFile(name);
    else if (IsMpegType(FileType))
        ReadSequenceHeader(name);
}

void TOpenSrcFile::ReadAviHeader(const std::string& name) {
    TBinaryFile file;
    if (FileFound(name) != 0 || !file.Open(name)) {
        Error(MsgCantOpen + name);
        return;
    }
    std::string tag;
    if (!file.ReadTag(0, tag) || tag != "RIFF") {
        Error(MsgNoRiff + name);
        return;
    }

    std::uint32_t riffSize = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (!file.ReadU32(AviRiffSize, riffSize) || !file.ReadU32(AviWidth, width) ||
        !file.ReadU32(AviHeight, height)) {
        Error(MsgNoVideo + name);
        return;
    }

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
        !file.ReadU32(typeAt + 32, length) || !file.ReadAt(typeAt + 80, code.data(), code.size())) {
        Error(MsgNoVideo + name);
        return;
    }

    // The code ends at a NUL byte: uncompressed video has the code 0.
    const std::string fourCC =
        UpperCase(std::string(code.data(), std::find(code.begin(), code.end(), '\0')));
    Model.SrcFrameCount = Store<std::int32_t>(length);
    Model.SrcFourCC = fourCC;
    Model.SetSrcResX(Store<std::int16_t>(width));
    Model.SetSrcResY(Store<std::int16_t>(height));
    // Without a time scale the stream has no frame rate; the old one stays.
    if (scale != 0) Model.SrcFrameRate = ToDouble(static_cast<Real>(rate) / scale);
    Model.SrcIsVFAPI = fourCC == "VIFP";
    if (!Model.SrcIsVFAPI) return;

    std::uint16_t servedLength = 0;
    std::array<char, MaxServedName> served{};
    if (!file.ReadU16(AviServedName, servedLength) || servedLength > MaxServedName ||
        !file.ReadAt(AviServedName + 2, served.data(), servedLength)) {
        Error(MsgNoVideo + name);
        return;
    }
    const std::string servedName(served.data(), servedLength);
    if (Extension(servedName) == ".d2v") ReadProjectFile(servedName);
}

void TOpenSrcFile::ReadProjectFile(const std::string& name) {
    TLineReader file;
    if (name.empty() || !file.Open(name)) {
        Error(MsgCantOpen + name);
        return;
    }
    file.ReadLn();
    std::string line = file.ReadLn(); // line 2 starts the skip of the further file lines
    std::string path = file.ReadLn();
    DropToken(path);
    if (FileExists(path)) {
        ReadSequenceHeader(path);
        FrameFile = path;
    } else
        Error(MsgNoEmbedded + path);

    while (!line.empty()) line = file.ReadLn();
    for (int i = 0; i < 4; ++i) file.ReadLn();
    const std::string crop = ValueOf(file.ReadLn());
    file.ReadLn();
    const std::string rate = ValueOf(file.ReadLn());
    for (int i = 0; i < 2; ++i) file.ReadLn();

    Model.SrcFrameRate = ToDouble(static_cast<Real>(ToInt(rate)) / 1000);
    const auto c = CropFields(crop);
    FrameCrop = {c[2], c[0], c[3], c[1]};
    Model.SetSrcResX(Store<std::int16_t>(std::int64_t{Model.SrcResX} - c[2] - c[3]));
    Model.SetSrcResY(Store<std::int16_t>(std::int64_t{Model.SrcResY} - c[0] - c[1]));

    std::int64_t count = 0;
    while (file.Next(line) && !line.empty()) count += CountFlags(line);
    Model.SrcFrameCount = Store<std::int32_t>(count - 2);
}

void TOpenSrcFile::ReadSequenceHeader(const std::string& name) {
    TBinaryFile file;
    if (FileFound(name) != 0 || !file.Open(name)) {
        Error(MsgCantOpen + name);
        return;
    }

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
        if (!start && got < block.size()) {
            Error(MsgSearchFailed);
            return;
        }
    }
    if (!start) {
        Error(MsgNoSeqHeader + name);
        return;
    }

    std::array<unsigned char, SeqHeaderBytes> b{};
    if (!file.ReadAt(*start, b.data(), b.size())) {
        Error(MsgBadSeqHeader + name);
        return;
    }
    Model.SetSrcResX(static_cast<std::int16_t>(b[4] * 16 + (b[5] >> 4)));
    Model.SetSrcResY(static_cast<std::int16_t>((b[5] & 0x0F) * 256 + b[6]));
    Model.SrcAspectCode = static_cast<std::uint8_t>(b[7] >> 4);
    Model.SrcIsAnamorphic = Model.SrcAspectCode == 3 || Model.SrcAspectCode == 4;
}

} // namespace tarvex
