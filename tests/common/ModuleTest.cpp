#include "common/Module.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvex {
namespace {

struct TLoadCase {
    const char* Label;
    const char* FileName;
    const char* BuiltPath;
    const char* Symbol;
    bool Loads;
};

class LoadModuleSymbolTest : public ::testing::TestWithParam<TLoadCase> {};

TEST_P(LoadModuleSymbolTest, LoadsOrSaysWhichFileFailed) {
    const TLoadCase& c = GetParam();
    std::string failure = "left over";
    void* symbol = LoadModuleSymbol(c.FileName, c.BuiltPath, c.Symbol, failure);
    EXPECT_EQ(symbol != nullptr, c.Loads);
    if (c.Loads) {
        EXPECT_EQ(failure, "");
    } else {
        EXPECT_NE(failure.find(std::string("(") + c.FileName + ") cannot be loaded: "),
                  std::string::npos)
            << failure;
        EXPECT_GT(failure.size(), failure.find(": ") + 2) << "the loader's reason is missing";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Modules, LoadModuleSymbolTest,
    ::testing::Values(TLoadCase{"Missing", "libtarvex_nothing.so", nullptr, "f", false},
                      TLoadCase{"MissingBuiltPath", "libtarvex_nothing.so",
                                "/nonexistent/libtarvex_nothing.so", "f", false},
                      TLoadCase{"NoSuchSymbol", "libtarvex_framereader.so", TARVEX_FRAMEREADER_PATH,
                                "tarvex_framereader_v1", false},
                      TLoadCase{"FoundAtBuiltPath", "libtarvex_framereader.so",
                                TARVEX_FRAMEREADER_PATH, "tarvex_framereader_v2", true},
                      TLoadCase{"ProbeAtBuiltPath", "libtarvex_avprobe.so", TARVEX_AVPROBE_PATH,
                                "tarvex_avprobe_v1", true}),
    [](const auto& info) { return std::string(info.param.Label); });

} // namespace
} // namespace tarvex
