// Fuzzes the source reader. The input is one or two files:
//   byte 0      bits 0-1: type of the first file a.* (.avi .d2v .mpg .lst),
//               bits 2-3: type of the second file b.*, bit 4: open both names at once,
//               bits 5-6: when not 0, the first file is a.mkv, a.mp4 or a.ts instead
//   the rest    the first file's bytes, then optionally "@@NEXT@@" and the second's.
// A project, a VFAPI AVI or a list can name the second file as "b.mpg" and so on.
// The media probe reads every first file by hand; files of its kinds also go
// through libavformat when the hand readers leave them.
#include "FuzzFolder.h"

#include "source/OpenSrc.h"
#include "source/QuickProbe.h"

#include <array>
#include <cstdint>
#include <filesystem>

using namespace tarvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const TTempFolder folder(fuzz::FuzzFolderBase());
    const fuzz::TInFolder inside(folder);
    static const std::array<std::string, 4> types = {".avi", ".d2v", ".mpg", ".lst"};
    static const std::array<std::string, 4> probed = {"", ".mkv", ".mp4", ".ts"};
    if (size < 1) return 0;
    const int probedType = data[0] >> 5 & 3;
    const std::string first = "a" + (probedType ? probed[probedType] : types[data[0] & 3]);
    const std::string second = "b" + types[data[0] >> 2 & 3];
    const bool both = (data[0] & 0x10) != 0;

    // Only this input's files exist, so a run never depends on the one before.
    for (const auto& type : types) {
        std::error_code ec;
        std::filesystem::remove("a" + type, ec);
        std::filesystem::remove("b" + type, ec);
    }
    for (const auto& type : probed) {
        std::error_code ec;
        std::filesystem::remove("a" + type, ec);
    }
    std::string_view head, tail;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const bool two = fuzz::Split(input, "@@NEXT@@", head, tail);
    fuzz::WriteFile(first, head);
    if (two) fuzz::WriteFile(second, tail);

    TOpenSrcFile reader;
    std::size_t shown = 0;
    reader.ShowError = [&](const std::string& text) { shown += text.size(); };
    if (both)
        reader.OpenFiles({first, second});
    else
        reader.OpenFiles({first});
    // Each reader on its own, whatever the file's type. The project reader (also
    // through a VFAPI AVI) ends on a field that is not a number.
    TMediaInfo info;
    QuickProbe(first, info);
    reader.ReadSequenceHeader(first);
    try {
        reader.ReadProjectFile(first);
    } catch (const EConvertError&) {
    }
    try {
        reader.ReadAviHeader(first);
    } catch (const EConvertError&) {
    }
    return 0;
}
