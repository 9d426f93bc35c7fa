// The source reader's d2v projects: the early format of fixed lines and the
// keyed format of DGIndex 1.5 and later.
#include "source/OpenSrc.h"

#include "common/Numeric.h"
#include "source/ProjectFile.h"
#include "source/SourceReading.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

namespace tarvex {

namespace {

namespace fs = std::filesystem;
using namespace reading;

const char* const MsgNoEmbedded =
    "Given d2v-project file is broken!\r\nCan't find the embedded file: ";

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

/// A frame side a project gives (`size` is the whole size, for the message).
std::int16_t SideOf(std::int64_t side, const std::string& size) {
    if (side < 1 || side > MaxSide)
        throw EConvertError("The picture size " + size + " is out of range.");
    return static_cast<std::int16_t>(side);
}

/// The frame less a crop of its left, top, right and bottom.
void CutCrop(TSourceFrame& frame, const std::array<std::int32_t, 4>& crop) {
    const std::int64_t width = std::int64_t{frame.Width} - crop[0] - crop[2];
    const std::int64_t height = std::int64_t{frame.Height} - crop[1] - crop[3];
    const std::string size = IntToStr(width) + "x" + IntToStr(height);
    frame.Width = SideOf(width, size);
    frame.Height = SideOf(height, size);
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

} // namespace

bool TOpenSrcFile::ReadProjectFile(const std::string& name) {
    TTextFileReader file;
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
    Frame.FrameRate = ToDouble(static_cast<Real>(thousandths) / 1000);
    Facts.FrameRate = TRatio{thousandths, 1000}.Reduced();
    const auto c = CropFields(crop);
    FrameCrop = {c[2], c[0], c[3], c[1]};
    CutCrop(Frame, FrameCrop);

    std::int64_t count = 0;
    while (file.Next(line) && !line.empty()) count += CountFlags(line);
    Frame.FrameCount = Store<std::int32_t>(count - 2);
    return true;
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
        Frame.Width = SideOf(width, *size);
        Frame.Height = SideOf(height, *size);
    } else if (clip) {
        CutCrop(Frame, FrameCrop);
    }
    if (!headerRead) {
        Frame.SetAspectCode(AspectCodeOfName(p.Setting("Aspect_Ratio").value_or("")));
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
        Frame.FrameRate = exact.Known() ? RateOf(exact) : 0.0;
    }
    // Honouring the pulldown flags shows every repeated field; otherwise each
    // picture is one frame.
    const bool honourPulldown = p.Setting("Field_Operation").value_or("0") == "0";
    Frame.FrameCount = Store<std::int32_t>(honourPulldown ? Half(p.Fields) : p.Pictures);
}

} // namespace tarvex
