#include "disc/Pulldown.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace tarvex {
namespace {

using TBytes = std::vector<std::uint8_t>;

void Add(TBytes& s, std::initializer_list<int> bytes) {
    for (const int b : bytes) s.push_back(static_cast<std::uint8_t>(b));
}

/// A stream of headers as an encoder writes them for 720x480 film at 23.976: each
/// group given by the display numbers of its pictures in coded order, each picture
/// with a short slice.
TBytes Film(const std::vector<std::vector<int>>& groups) {
    TBytes s;
    Add(s, {0, 0, 1, 0xB3, 0x2D, 0x01, 0xE0, 0x21, 0xFF, 0xFF, 0xE0, 0x18});
    Add(s, {0, 0, 1, 0xB5, 0x14, 0x8A, 0x00, 0x01, 0x00, 0x00});
    for (const std::vector<int>& group : groups) {
        Add(s, {0, 0, 1, 0xB8, 0x00, 0x08, 0x00, 0x40});
        for (const int number : group) {
            Add(s, {0, 0, 1, 0x00, number >> 2, (number & 3) << 6 | 0x08, 0xFF, 0xF8});
            Add(s, {0, 0, 1, 0xB5, 0x8F, 0xFF, 0xF3, 0x41, 0x80});
            Add(s, {0, 0, 1, 0x01, 0x12, 0x34, 0x56});
        }
    }
    Add(s, {0, 0, 1, 0xB7});
    return s;
}

/// What a player reads from the rewritten headers.
struct TSeen {
    int RateCode = -1;
    int Progressive = -1;
    std::string Flags; ///< per picture in coded order: fields shown, then T or B first
    std::vector<std::string> Times;
};

TSeen Read(const TBytes& s) {
    TSeen seen;
    for (std::size_t i = 0; i + 9 < s.size(); ++i) {
        if (s[i] != 0 || s[i + 1] != 0 || s[i + 2] != 1) continue;
        const std::uint8_t* h = &s[i + 4];
        if (s[i + 3] == 0xB3) seen.RateCode = h[3] & 15;
        if (s[i + 3] == 0xB5 && h[0] >> 4 == 1) seen.Progressive = h[1] >> 3 & 1;
        if (s[i + 3] == 0xB5 && h[0] >> 4 == 8)
            seen.Flags += std::string(h[3] & 2 ? "3" : "2") + (h[3] & 0x80 ? "T " : "B ");
        if (s[i + 3] == 0xB8) {
            char text[16];
            std::snprintf(text, sizeof text, "%02d:%02d:%02d%c%02d", h[0] >> 2 & 31,
                          (h[0] & 3) << 4 | h[1] >> 4, (h[1] & 7) << 3 | h[2] >> 5,
                          h[0] & 0x80 ? ';' : ':', (h[2] & 31) << 1 | h[3] >> 7);
            seen.Times.emplace_back(text);
        }
    }
    return seen;
}

/// The stream rewritten, fed in pieces of `piece` bytes (0: all at once).
TBytes Rewrite(const TBytes& in, std::size_t piece) {
    TBytes out;
    TPulldownWriter writer([&](const std::uint8_t* data, std::size_t size) {
        out.insert(out.end(), data, data + size);
    });
    const std::size_t step = piece == 0 ? in.size() : piece;
    for (std::size_t at = 0; at < in.size(); at += step)
        writer.Write(in.data() + at, std::min(step, in.size() - at));
    const TPulldownCount count = writer.Finish();
    EXPECT_EQ(count.Bytes, static_cast<std::int64_t>(in.size()));
    return out;
}

std::vector<int> Numbers(int count) {
    std::vector<int> numbers;
    for (int i = 0; i < count; ++i) numbers.push_back(i);
    return numbers;
}

struct TPatternCase {
    const char* Name;
    std::vector<std::vector<int>> Groups;
    const char* Flags; ///< nullptr: not compared
    std::vector<std::string> Times;
};

class PulldownPattern : public ::testing::TestWithParam<TPatternCase> {};

TEST_P(PulldownPattern, FollowsDisplayOrderAcrossGroups) {
    const TPatternCase& c = GetParam();
    const TBytes in = Film(c.Groups);
    const TBytes whole = Rewrite(in, 0);
    ASSERT_EQ(whole.size(), in.size());
    for (const std::size_t piece : {1, 7, 4096}) EXPECT_EQ(Rewrite(in, piece), whole) << piece;
    const TSeen seen = Read(whole);
    EXPECT_EQ(seen.RateCode, 4);
    EXPECT_EQ(seen.Progressive, 0);
    if (c.Flags) {
        EXPECT_EQ(seen.Flags, c.Flags);
    }
    EXPECT_EQ(seen.Times, c.Times);
}

INSTANTIATE_TEST_SUITE_P(
    Groups, PulldownPattern,
    ::testing::Values(TPatternCase{"closed_groups_with_b_frames",
                                   {{0, 3, 1, 2, 6, 4, 5}, {0, 3, 1, 2, 6, 4, 5}},
                                   "3T 2T 2B 3B 3B 3T 2B 2T 3B 3T 2B 2B 2T 3T ",
                                   {"00:00:00;00", "00:00:00;09"}},
                      TPatternCase{"open_groups_lead_with_b_frames",
                                   {{0, 3, 1, 2, 6, 4, 5}, {2, 0, 1, 5, 3, 4}, {2, 0, 1}},
                                   "3T 2T 2B 3B 3B 3T 2B 2B 2T 3T 3T 3B 2T 2T 2B 3B ",
                                   {"00:00:00;00", "00:00:00;09", "00:00:00;16"}},
                      TPatternCase{"single_frame_groups",
                                   {{0}, {0}, {0}, {0}, {0}},
                                   "3T 2B 3B 2T 3T ",
                                   {"00:00:00;00", "00:00:00;01", "00:00:00;02", "00:00:00;04",
                                    "00:00:00;05"}},
                      TPatternCase{"time_codes_drop_two_numbers_after_a_minute",
                                   {Numbers(1024), Numbers(416), {0}},
                                   nullptr,
                                   {"00:00:00;00", "00:00:42;20", "00:01:00;02"}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(PulldownFlags, FourFramesFillTenFields) {
    EXPECT_EQ(PulldownFields(4), 10);
    EXPECT_EQ(PulldownFields(7), 18);
    EXPECT_EQ(PulldownFlags(4), (TFieldFlags{true, true}));
    EXPECT_EQ(PulldownFlags(7), (TFieldFlags{true, false}));
}

struct TRefusalCase {
    const char* Name;
    TBytes Stream;
    const char* Message;
};

TBytes Changed(TBytes s, std::size_t at, std::uint8_t value) {
    s.at(at) = value;
    return s;
}

TBytes Cut(TBytes s, std::size_t size) {
    s.resize(size);
    return s;
}

class PulldownRefusal : public ::testing::TestWithParam<TRefusalCase> {};

TEST_P(PulldownRefusal, SaysWhy) {
    const TRefusalCase& c = GetParam();
    try {
        Rewrite(c.Stream, 0);
        FAIL() << "accepted";
    } catch (const TPulldownError& e) {
        EXPECT_STREQ(e.what(), c.Message);
    }
}

// Offsets in Film(): sequence header 0, its extension 12, the first group 22, its
// first picture 30, the picture's coding extension 38, its slice 47, the second
// picture 54.
const TBytes Good = Film({{0, 2, 1}, {0}});
TBytes Mpeg1() {
    TBytes s = Good;
    s.erase(s.begin() + 12, s.begin() + 22);
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, PulldownRefusal,
    ::testing::Values(
        TRefusalCase{"empty", {}, "The file holds no MPEG video sequence header."},
        TRefusalCase{"text",
                     {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!'},
                     "The file does not begin with an MPEG video sequence header."},
        TRefusalCase{"program_stream", Changed(Good, 3, 0xBA),
                     "The file is a multiplexed stream, not an MPEG video elementary stream."},
        TRefusalCase{"pal_rate", Changed(Good, 7, 0x23),
                     "The video runs at 25 frames a second, not at 23.976."},
        TRefusalCase{"already_pulled_down", Changed(Good, 7, 0x24),
                     "The video runs at 29.97 frames a second, not at 23.976."},
        TRefusalCase{"mpeg1", Mpeg1(), "The video is MPEG-1, not MPEG-2."},
        TRefusalCase{"interlaced_sequence", Changed(Good, 17, 0x82),
                     "The video is coded as interlaced frames; pulldown needs progressive film "
                     "frames."},
        TRefusalCase{"field_picture", Changed(Good, 44, 0xF1),
                     "Picture 1 is not coded as a progressive frame shown once."},
        TRefusalCase{"repeated_frame", Changed(Good, 45, 0x43),
                     "Picture 1 is not coded as a progressive frame shown once."},
        TRefusalCase{"same_number_twice", Changed(Good, 59, 0x08),
                     "Two pictures of group 1 have the same display number."},
        TRefusalCase{"gap_in_numbers", Changed(Good, 58, 0x01),
                     "The pictures of group 1 are not numbered from 0 without gaps in display "
                     "order."},
        TRefusalCase{"cut_in_a_header", Cut(Good, 41),
                     "The video stream ends inside a header at byte 38."},
        TRefusalCase{"cut_before_an_extension", Cut(Good, 36),
                     "The video stream ends before its last picture is complete."}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace tarvex
