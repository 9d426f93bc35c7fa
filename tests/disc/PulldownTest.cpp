#include "disc/Pulldown.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <numeric>
#include <sstream>

namespace tarvex {
namespace {

using TBytes = std::vector<std::uint8_t>;

TBytes Bytes(const char* text, std::size_t size) {
    return TBytes(text, text + size);
}

/// Headers as an encoder writes 720x480 film at 23.976: each group given by the display
/// numbers of its pictures in coded order, each picture with a slice.
TBytes Film(const std::vector<std::vector<int>>& groups) {
    TBytes s = Bytes("\0\0\1\xB3\x2D\x01\xE0\x21\xFF\xFF\xE0\x18\0\0\1\xB5\x14\x8A\0\1\0\0", 22);
    for (const std::vector<int>& group : groups) {
        const TBytes header = Bytes("\0\0\1\xB8\0\x08\0\x40", 8);
        s.insert(s.end(), header.begin(), header.end());
        for (const int n : group) {
            TBytes picture =
                Bytes("\0\0\1\0\0\x08\xFF\xF8\0\0\1\xB5\x8F\xFF\xF3\x41\x80\0\0\1\1\x12", 22);
            picture[4] = static_cast<std::uint8_t>(n >> 2);
            picture[5] = static_cast<std::uint8_t>((n & 3) << 6 | 8);
            s.insert(s.end(), picture.begin(), picture.end());
        }
    }
    return s;
}

/// The rate code and progressive flag, then per picture in coded order the fields shown
/// and the first one (3T: three, top first), each group after its time code.
std::string Read(const TBytes& s) {
    std::string seen;
    char text[16];
    for (std::size_t i = 0; i + 9 < s.size(); ++i) {
        const std::uint8_t* h = &s[i + 4];
        if (s[i] != 0 || s[i + 1] != 0 || s[i + 2] != 1) continue;
        if (s[i + 3] == 0xB3) seen += "rate " + std::to_string(h[3] & 15);
        if (s[i + 3] == 0xB5 && h[0] >> 4 == 1) seen += h[1] & 8 ? " progressive:" : ":";
        if (s[i + 3] == 0xB5 && h[0] >> 4 == 8)
            seen += std::string(h[3] & 2 ? " 3" : " 2") + (h[3] & 0x80 ? "T" : "B");
        if (s[i + 3] != 0xB8) continue;
        std::snprintf(text, sizeof text, " %02d:%02d:%02d%c%02d", h[0] >> 2 & 31,
                      (h[0] & 3) << 4 | h[1] >> 4, (h[1] & 7) << 3 | h[2] >> 5,
                      h[0] & 0x80 ? ';' : ':', (h[2] & 31) << 1 | h[3] >> 7);
        seen += text;
    }
    return seen;
}

/// The stream rewritten, fed in pieces of `piece` bytes.
TBytes Rewrite(const TBytes& in, std::size_t piece) {
    TBytes out;
    TPulldownWriter writer([&](const std::uint8_t* data, std::size_t size) {
        out.insert(out.end(), data, data + size);
    });
    for (std::size_t at = 0; at < in.size(); at += piece)
        writer.Write(in.data() + at, std::min(piece, in.size() - at));
    EXPECT_EQ(writer.Finish().Bytes, static_cast<std::int64_t>(in.size()));
    return out;
}

class PulldownPattern
    : public ::testing::TestWithParam<std::tuple<const char*, TBytes, std::string>> {};

TEST_P(PulldownPattern, FollowsDisplayOrderAcrossGroups) {
    const auto& [name, in, expected] = GetParam();
    const TBytes whole = Rewrite(in, in.size());
    for (const std::size_t piece : {1, 7}) EXPECT_EQ(Rewrite(in, piece), whole) << piece;
    std::istringstream seen(Read(whole));
    std::string word, times;
    while (seen >> word) times += word.find(';') != std::string::npos ? " " + word : "";
    // A long film is judged by its time codes alone.
    EXPECT_EQ(expected[0] == ' ' ? times : Read(whole), expected);
}

std::vector<int> Numbers(int count) {
    std::vector<int> numbers(static_cast<std::size_t>(count));
    std::iota(numbers.begin(), numbers.end(), 0);
    return numbers;
}

INSTANTIATE_TEST_SUITE_P(
    Groups, PulldownPattern,
    ::testing::Values(
        std::tuple("closed_groups_with_b_frames",
                   Film({{0, 3, 1, 2, 6, 4, 5}, {0, 3, 1, 2, 6, 4, 5}}),
                   "rate 4: 00:00:00;00 3T 2T 2B 3B 3B 3T 2B 00:00:00;09 2T 3B 3T 2B 2B 2T 3T"),
        std::tuple("open_groups_lead_with_b_frames",
                   Film({{0, 3, 1, 2, 6, 4, 5}, {2, 0, 1, 5, 3, 4}, {2, 0, 1}}),
                   "rate 4: 00:00:00;00 3T 2T 2B 3B 3B 3T 2B 00:00:00;09 2B 2T 3T 3T 3B 2T "
                   "00:00:00;16 2T 2B 3B"),
        std::tuple("time_codes_drop_two_numbers_after_a_minute",
                   Film({Numbers(1024), Numbers(416), {0}}),
                   " 00:00:00;00 00:00:42;20 00:01:00;02")),
    [](const auto& info) { return std::string(std::get<0>(info.param)); });

TBytes Changed(TBytes s, std::size_t at, std::uint8_t value) {
    if (at >= s.size())
        s.resize(value); // a cut to `value` bytes
    else
        s[at] = value;
    return s;
}

class PulldownRefusal
    : public ::testing::TestWithParam<std::tuple<const char*, TBytes, const char*>> {};

TEST_P(PulldownRefusal, SaysWhy) {
    const auto& [name, stream, message] = GetParam();
    try {
        Rewrite(stream, 64);
        ADD_FAILURE() << name << " is accepted";
    } catch (const TPulldownError& e) {
        EXPECT_STREQ(e.what(), message) << name;
    }
}

// In Film(): the sequence header at 0, its extension at 12, the first group at 22, its
// picture at 30 with its coding extension at 38, the second picture at 52.
const TBytes Good = Film({{0, 2, 1}});

INSTANTIATE_TEST_SUITE_P(
    BadInput, PulldownRefusal,
    ::testing::Values(
        std::tuple("empty", TBytes{}, "The file holds no MPEG video sequence header."),
        std::tuple("program_stream", Changed(Good, 3, 0xBA),
                   "The file is a multiplexed stream, not an MPEG video elementary stream."),
        std::tuple("pal_rate", Changed(Good, 7, 0x23),
                   "The video runs at 25 frames a second, not at 23.976."),
        std::tuple("mpeg1", Changed(Good, 15, 0xB8), "The video is MPEG-1, not MPEG-2."),
        std::tuple(
            "interlaced", Changed(Good, 17, 0x82),
            "The video is coded as interlaced frames; pulldown needs progressive film frames."),
        std::tuple("field_picture", Changed(Good, 44, 0xF1),
                   "Picture 1 is not coded as a progressive frame shown once."),
        std::tuple(
            "gap_in_numbers", Changed(Good, 56, 0x01),
            "The pictures of group 1 are not numbered from 0 without gaps in display order."),
        std::tuple("cut_in_a_header", Changed(Good, 1000, 41),
                   "The video stream ends inside a header at byte 38.")),
    [](const auto& info) { return std::string(std::get<0>(info.param)); });

} // namespace
} // namespace tarvex
