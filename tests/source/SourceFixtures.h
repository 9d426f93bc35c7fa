// Small source files built byte by byte for the source reader's tests.
#pragma once

#include "tests/support/TempFolder.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarvex::testkit {

/// Appends little-endian numbers and four-character codes.
class TBytes {
  public:
    TBytes& Tag(const std::string& tag) {
        Data += tag.substr(0, 4);
        return *this;
    }
    TBytes& U16(std::uint32_t v) {
        Data += static_cast<char>(v & 0xFF);
        Data += static_cast<char>(v >> 8 & 0xFF);
        return *this;
    }
    TBytes& U32(std::uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
    TBytes& Zeros(std::size_t n) {
        Data.append(n, '\0');
        return *this;
    }
    /// Overwrites four bytes at `offset` with `v`.
    void Put32(std::size_t offset, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) Data[offset + i] = static_cast<char>(v >> (8 * i) & 0xFF);
    }
    std::string Data;
};

/// One stream list of a hand-built AVI file.
struct TAviStream {
    std::string Type = "vids";
    std::int32_t Scale = 1;
    std::int32_t Rate = 25;
    std::uint32_t Length = 1000;
    std::string FourCC = "dvsd";
};

/// A small AVI file with the usual head layout: RIFF, header list, main header,
/// one stream list per entry (video streams carry a bitmap info header, other
/// streams a 16-byte wave format) and an empty movie list.
inline std::string MakeAvi(std::uint32_t width, std::uint32_t height,
                           const std::vector<TAviStream>& streams) {
    TBytes b;
    b.Tag("RIFF").U32(0).Tag("AVI ").Tag("LIST").U32(0).Tag("hdrl");
    b.Tag("avih").U32(56).U32(40000).U32(0).U32(0).U32(0x10).U32(0).U32(0);
    b.U32(static_cast<std::uint32_t>(streams.size())).U32(0).U32(width).U32(height).Zeros(16);
    for (const auto& s : streams) {
        const bool video = s.Type == "vids" || s.Type == "iavs";
        const std::uint32_t formatSize = video ? 40 : 16;
        b.Tag("LIST").U32(4 + 8 + 56 + 8 + formatSize).Tag("strl");
        b.Tag("strh").U32(56).Tag(s.Type).Tag(video ? s.FourCC : std::string(4, '\0'));
        b.U32(0).U32(0).U32(0).U32(static_cast<std::uint32_t>(s.Scale));
        b.U32(static_cast<std::uint32_t>(s.Rate)).U32(0).U32(s.Length).Zeros(20);
        b.Tag("strf").U32(formatSize);
        if (video)
            b.U32(40).U32(width).U32(height).U16(1).U16(24).Tag(s.FourCC).Zeros(20);
        else
            b.U16(1).U16(2).U32(48000).U32(192000).U16(4).U16(16);
    }
    b.Put32(16, static_cast<std::uint32_t>(b.Data.size() - 20));
    b.Tag("LIST").U32(4).Tag("movi");
    b.Put32(4, static_cast<std::uint32_t>(b.Data.size() - 8));
    return b.Data;
}

/// Where a VFAPI AVI names the file it serves.
constexpr std::size_t ServedNameOffset = 2064;

/// A VFAPI AVI serving `served`; `length` is the stored name length.
inline std::string MakeVfapiAvi(const std::string& served, std::uint32_t length) {
    std::string avi = MakeAvi(320, 240, {{"vids", 1, 25, 10, "VIFP"}});
    avi.resize(ServedNameOffset, '\0');
    TBytes tail;
    tail.U16(length);
    avi += tail.Data + served;
    TBytes size;
    size.U32(static_cast<std::uint32_t>(avi.size() - 8));
    avi.replace(4, 4, size.Data);
    return avi;
}

/// The first eight bytes of an MPEG video sequence header and four more.
inline std::string SeqHeader(int width, int height, int aspect, int rateCode = 3) {
    std::string h = {'\x00', '\x00', '\x01', '\xB3'};
    h += static_cast<char>(width >> 4);
    h += static_cast<char>((width & 0x0F) << 4 | (height >> 8 & 0x0F));
    h += static_cast<char>(height & 0xFF);
    h += static_cast<char>(aspect << 4 | rateCode);
    h += std::string("\x23\x28\x10\x00", 4);
    return h;
}

/// `size` bytes of 0xFF with a sequence header at `offset` (cut at the end when it
/// does not fit).
inline std::string MpegWithHeaderAt(std::size_t offset, std::size_t size, int width = 352,
                                    int height = 240, int aspect = 2) {
    std::string data(size, '\xFF');
    data.replace(offset, std::min(size - offset, std::size_t{12}),
                 SeqHeader(width, height, aspect).substr(0, size - offset));
    return data;
}

/// The lines of a d2v project in the layout the reader expects.
struct TProject {
    std::string Line2 = "1";
    std::string Path;                    ///< the first MPEG file, after one token
    std::vector<std::string> OtherFiles; ///< further file lines, each "token path"
    std::string Crop = "0,0,0,0,0";
    std::string Rate = "25000";
    std::vector<std::string> Frames = {"7 0 0 2 2 2 2 2 2 2 2 2 2 2 2 9"};
    std::string Eol = "\n";

    std::string Text() const {
        std::vector<std::string> lines = {"DVD2AVIProjectFile", Line2, "47 " + Path};
        lines.insert(lines.end(), OtherFiles.begin(), OtherFiles.end());
        if (!Line2.empty()) lines.push_back(""); // ends the file lines
        for (const char* l :
             {"Stream_Type=1", "iDCT_Algorithm=2", "YUVRGB_Scale=1", "Luminance=128,0"})
            lines.push_back(l);
        lines.push_back("Clipping=" + Crop);
        lines.push_back("Aspect_Ratio=4:3");
        lines.push_back("Frame_Rate=" + Rate);
        lines.push_back("Location=0,0,0,0");
        lines.push_back("Field_Operation=0");
        lines.insert(lines.end(), Frames.begin(), Frames.end());
        lines.push_back("");
        lines.push_back("FINISHED");
        std::string text;
        for (const auto& l : lines) text += l + Eol;
        return text;
    }
};

/// A project in the keyed format of DGIndex 1.5 and later.
struct TKeyedProjectText {
    std::vector<std::string> Files;
    std::vector<std::string> Settings = {"Stream_Type=1",
                                         "MPEG_Type=2",
                                         "iDCT_Algorithm=6 (1:MMX 2:SSEMMX 3:SSE2MMX 4:FPU)",
                                         "YUVRGB_Scale=1",
                                         "Luminance_Filter=0,0",
                                         "Clipping=0,0,0,0",
                                         "Aspect_Ratio=16:9",
                                         "Picture_Size=720x576",
                                         "Field_Operation=0",
                                         "Frame_Rate=25000 (25/1)",
                                         "Location=0,0,0,1a2b"};
    std::vector<std::string> Data = {"900 5 0 0 0 0 0 d2 e2 e2 f2 e2 e2 f2 e2 e2 f2 e2 e2 ff"};

    /// Replaces the setting `key` (or adds it); an empty value removes it.
    TKeyedProjectText& Set(const std::string& key, const std::string& value) {
        std::erase_if(Settings, [&](const std::string& l) { return l.rfind(key + "=", 0) == 0; });
        if (!value.empty()) Settings.push_back(key + "=" + value);
        return *this;
    }

    std::string Text() const {
        std::string t = "DGIndexProjectFile16\r\n" + std::to_string(Files.size()) + "\r\n";
        for (const auto& f : Files) t += f + "\r\n";
        t += "\r\n";
        for (const auto& l : Settings) t += l + "\r\n";
        t += "\r\n";
        for (const auto& l : Data) t += l + "\r\n";
        return t + "\r\nFINISHED  100.00% FILM\r\n";
    }
};

} // namespace tarvex::testkit
