#include "disc/Pulldown.h"

#include "disc/Process.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

namespace tarvex {

namespace {

constexpr std::uint8_t PictureCode = 0x00;
constexpr std::uint8_t LastSliceCode = 0xAF;
constexpr std::uint8_t SequenceCode = 0xB3;
constexpr std::uint8_t ExtensionCode = 0xB5;
constexpr std::uint8_t GroupCode = 0xB8;
constexpr std::uint8_t FirstSystemCode = 0xB9; ///< pack, system and PES start codes from here

constexpr int SequenceExtensionId = 1;
constexpr int PictureCodingExtensionId = 8;

/// Bytes from a start code's first byte to the end of the longest header part read:
/// four of the start code and six of the sequence extension.
constexpr std::size_t Look = 10;
/// The largest piece processed at once, and the size of the file reads.
constexpr std::size_t Piece = std::size_t{1} << 20;

constexpr int FilmRateCode = 1; ///< 24000/1001
constexpr int NtscRateCode = 4; ///< 30000/1001

std::string RateName(int code) {
    static const std::array<const char*, 9> names = {"",   "23.976", "24",    "25", "29.97",
                                                     "30", "50",     "59.94", "60"};
    return code > 0 && code < static_cast<int>(names.size())
               ? std::string("runs at ") + names[static_cast<std::size_t>(code)] +
                     " frames a second"
               : "has an unknown frame rate";
}

/// The time code of the 29.97 video frame `frame`, counted with dropped frame numbers
/// (two a minute, except every tenth minute) so that it keeps pace with the clock:
/// hours, minutes, seconds and frames.
std::array<int, 4> DropFrameTime(std::int64_t frame) {
    constexpr std::int64_t tenMinutes = 17982; // frames of ten minutes
    constexpr std::int64_t minute = 1798;      // frames of a minute that drops two numbers
    const std::int64_t tens = frame / tenMinutes;
    const std::int64_t rest = frame % tenMinutes;
    const std::int64_t number = frame + 18 * tens + (rest > 1 ? 2 * ((rest - 2) / minute) : 0);
    return {static_cast<int>(number / 108000 % 24), static_cast<int>(number / 1800 % 60),
            static_cast<int>(number / 30 % 60), static_cast<int>(number % 30)};
}

struct TFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using TFile = std::unique_ptr<std::FILE, TFileCloser>;

std::string SystemError() {
    return std::strerror(errno);
}

} // namespace

std::int64_t PulldownFields(std::int64_t displayIndex) {
    return displayIndex / 2 * 5 + displayIndex % 2 * 3;
}

void TPulldownWriter::Write(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const std::size_t take = std::min(size, Piece);
        Pending.insert(Pending.end(), data, data + take);
        Process(false);
        data += take;
        size -= take;
    }
}

TPulldownCount TPulldownWriter::Finish() {
    Process(true);
    if (!SeenSequence) throw TPulldownError("The file holds no MPEG video sequence header.");
    if (AwaitSequenceExtension || AwaitPictureExtension)
        throw TPulldownError("The video stream ends before its last picture is complete.");
    EndGroup();
    if (Count.Pictures == 0) throw TPulldownError("The video stream holds no pictures.");
    return Count;
}

void TPulldownWriter::Process(bool last) {
    const std::size_t n = Pending.size();
    // A start code nearer the end than its header's length waits for the next piece.
    const std::size_t limit = last ? n : (n >= Look ? n - Look + 1 : 0);
    std::uint8_t* const b = Pending.data();
    std::size_t pos = 0;
    while (pos + 2 < n) {
        const auto* one =
            static_cast<const std::uint8_t*>(std::memchr(b + pos + 2, 1, n - pos - 2));
        if (!one) break;
        const auto j = static_cast<std::size_t>(one - b);
        if (j - 2 >= limit) break;
        if (b[j - 1] != 0 || b[j - 2] != 0) {
            pos = j - 1;
            continue;
        }
        if (!SeenSequence && std::any_of(b, b + (j - 2), [](std::uint8_t c) { return c != 0; }))
            throw TPulldownError("The file does not begin with an MPEG video sequence header.");
        Header(j - 2);
        pos = j + 2;
    }
    if (!SeenSequence && std::any_of(b, b + limit, [](std::uint8_t c) { return c != 0; }))
        throw TPulldownError("The file does not begin with an MPEG video sequence header.");
    if (limit == 0) return;
    Sink(b, limit);
    Count.Bytes += static_cast<std::int64_t>(limit);
    Pending.erase(Pending.begin(), Pending.begin() + static_cast<std::ptrdiff_t>(limit));
}

void TPulldownWriter::Need(std::size_t at, std::size_t bytes) const {
    if (at + 4 + bytes > Pending.size())
        throw TPulldownError("The video stream ends inside a header at byte " +
                             std::to_string(Count.Bytes + static_cast<std::int64_t>(at)) + ".");
}

void TPulldownWriter::Header(std::size_t at) {
    Need(at, 0);
    std::uint8_t* const h = Pending.data() + at + 4;
    const std::uint8_t code = Pending[at + 3];
    if (code >= FirstSystemCode)
        throw TPulldownError("The file is a multiplexed stream, not an MPEG video elementary "
                             "stream.");
    if (!SeenSequence && code != SequenceCode)
        throw TPulldownError("The file does not begin with an MPEG video sequence header.");
    if (code == ExtensionCode) Need(at, 1);
    if (AwaitSequenceExtension && (code != ExtensionCode || h[0] >> 4 != SequenceExtensionId))
        throw TPulldownError("The video is MPEG-1, not MPEG-2.");
    if (code == SequenceCode) {
        Need(at, 4);
        SequenceHeader(h);
    } else if (code == ExtensionCode) {
        Extension(h, at);
    } else if (code == GroupCode) {
        Need(at, 4);
        Group(h);
    } else if (code == PictureCode) {
        Need(at, 2);
        Picture(h);
    } else if (code <= LastSliceCode && AwaitPictureExtension) {
        throw TPulldownError("The video is MPEG-1, not MPEG-2: a picture has no coding extension.");
    }
}

void TPulldownWriter::SequenceHeader(std::uint8_t* h) {
    // h: sizes (24 bits), aspect (4), frame rate code (4), ...
    const int rate = h[3] & 0x0F;
    if (rate != FilmRateCode)
        throw TPulldownError("The video " + RateName(rate) + ", not at 23.976.");
    h[3] = static_cast<std::uint8_t>((h[3] & 0xF0) | NtscRateCode);
    SeenSequence = true;
    AwaitSequenceExtension = true;
}

void TPulldownWriter::Extension(std::uint8_t* h, std::size_t at) {
    const int id = h[0] >> 4;
    if (id == SequenceExtensionId) {
        // id (4), profile and level (8), progressive sequence (1), chroma format (2),
        // size and rate extensions (25), low delay (1), frame rate extension (7)
        Need(at, 6);
        if ((h[5] & 0x7F) != 0)
            throw TPulldownError("The video's frame rate is not 23.976: its sequence "
                                 "extension scales it.");
        if ((h[1] & 0x08) == 0)
            throw TPulldownError("The video is coded as interlaced frames; pulldown needs "
                                 "progressive film frames.");
        if (((h[1] >> 1) & 3) != 1) throw TPulldownError("The video is not coded as 4:2:0.");
        h[1] = static_cast<std::uint8_t>(h[1] & ~0x08);
        AwaitSequenceExtension = false;
    } else if (id == PictureCodingExtensionId) {
        // id and f codes (20), intra DC precision (2), picture structure (2), top field
        // first, frame prediction and DCT, concealment, q scale type, intra VLC,
        // alternate scan, repeat first field, chroma 4:2:0 type, progressive frame, ...
        Need(at, 5);
        if (!AwaitPictureExtension)
            throw TPulldownError("A picture coding extension at byte " +
                                 std::to_string(Count.Bytes + static_cast<std::int64_t>(at)) +
                                 " follows no picture header.");
        const bool frame = (h[2] & 3) == 3;
        const bool progressive = (h[4] & 0x80) != 0 && (h[3] & 0x40) != 0;
        if (!frame || !progressive || (h[3] & 0x82) != 0)
            throw TPulldownError("Picture " + std::to_string(Count.Pictures) +
                                 " is not coded as a progressive frame shown once.");
        // The flags of the film frame shown CurrentDisplay-th: four frames fill ten
        // fields as TFF+RFF, BFF, BFF+RFF, TFF (top field first, repeat first field).
        const std::int64_t phase = CurrentDisplay % 4;
        const bool topFirst = phase == 0 || phase == 3;
        const bool repeatFirst = phase % 2 == 0;
        h[3] = static_cast<std::uint8_t>(h[3] | (topFirst ? 0x80 : 0) | (repeatFirst ? 0x02 : 0));
        AwaitPictureExtension = false;
    }
}

void TPulldownWriter::Group(std::uint8_t* h) {
    // drop frame (1), hours (5), minutes (6), marker (1), seconds (6), pictures (6),
    // closed GOP (1), broken link (1), five zero bits
    if ((h[1] & 0x08) == 0)
        throw TPulldownError("The header of group " + std::to_string(Count.Gops + 1) +
                             " is damaged.");
    EndGroup();
    InGroup = true;
    GroupBase = Count.Pictures;
    GroupPictures = 0;
    GroupLast = -1;
    std::fill(GroupSeen.begin(), GroupSeen.end(), false);
    const auto [hours, minutes, seconds, frames] = DropFrameTime(PulldownFields(GroupBase) / 2);
    h[0] = static_cast<std::uint8_t>(0x80 | hours << 2 | minutes >> 4);
    h[1] = static_cast<std::uint8_t>((minutes & 15) << 4 | 0x08 | seconds >> 3);
    h[2] = static_cast<std::uint8_t>((seconds & 7) << 5 | frames >> 1);
    h[3] = static_cast<std::uint8_t>((frames & 1) << 7 | (h[3] & 0x7F));
    ++Count.Gops;
}

void TPulldownWriter::Picture(const std::uint8_t* h) {
    if (AwaitPictureExtension)
        throw TPulldownError("The video is MPEG-1, not MPEG-2: a picture has no coding extension.");
    if (!InGroup)
        throw TPulldownError("A picture comes before the first group of pictures header.");
    // temporal reference (10): the picture's place in its group's display order
    const int number = h[0] << 2 | h[1] >> 6;
    if (GroupSeen[static_cast<std::size_t>(number)])
        throw TPulldownError("Two pictures of group " + std::to_string(Count.Gops) +
                             " have the same display number.");
    GroupSeen[static_cast<std::size_t>(number)] = true;
    GroupLast = std::max(GroupLast, number);
    ++GroupPictures;
    CurrentDisplay = GroupBase + number;
    ++Count.Pictures;
    AwaitPictureExtension = true;
}

void TPulldownWriter::EndGroup() {
    if (InGroup && GroupLast + 1 != GroupPictures)
        throw TPulldownError("The pictures of group " + std::to_string(Count.Gops) +
                             " are not numbered from 0 without gaps in display order.");
}

TPulldownCount WritePulldownFile(const std::string& in, const std::string& out) {
    const TFile source(std::fopen(in.c_str(), "rb"));
    if (!source) throw TPulldownError("Cannot open " + in + ": " + SystemError() + ".");
    TFile target(std::fopen(out.c_str(), "wb"));
    if (!target) throw TPulldownError("Cannot write " + out + ": " + SystemError() + ".");
    try {
        TPulldownWriter writer([&](const std::uint8_t* data, std::size_t size) {
            if (std::fwrite(data, 1, size, target.get()) != size)
                throw TPulldownError("Cannot write " + out + ": " + SystemError() + ".");
        });
        std::vector<std::uint8_t> buffer(Piece);
        std::size_t got = 0;
        while ((got = std::fread(buffer.data(), 1, buffer.size(), source.get())) > 0)
            writer.Write(buffer.data(), got);
        if (std::ferror(source.get()))
            throw TPulldownError("Cannot read " + in + ": " + SystemError() + ".");
        const TPulldownCount count = writer.Finish();
        if (std::fclose(target.release()) != 0)
            throw TPulldownError("Cannot write " + out + ": " + SystemError() + ".");
        return count;
    } catch (...) {
        target.reset();
        std::remove(out.c_str());
        throw;
    }
}

std::string PulldownProgram() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const std::string beside = (self.parent_path() / "tarvex-cli").string();
        if (!FindProgram(beside, "").empty()) return beside;
    }
#ifdef TARVEX_CLI_BUILT
    if (!FindProgram(TARVEX_CLI_BUILT, "").empty()) return TARVEX_CLI_BUILT;
#endif
    return "tarvex-cli";
}

} // namespace tarvex
