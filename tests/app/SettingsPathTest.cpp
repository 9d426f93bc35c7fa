// Where the settings file lives, over a made-up system; making its folder.
#include "app/SettingsPath.h"
#include "tests/TempFolder.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sys/stat.h>

using namespace tarvex;

namespace {

struct TPathCase {
    const char* Name;
    bool FileBeside;     // /opt/tv/Tarvex.ini exists
    bool FolderWritable; // /opt/tv takes new files
    std::map<std::string, std::string> Env;
    const char* Expected;
};

class SettingsPathTable : public ::testing::TestWithParam<TPathCase> {};

TEST_P(SettingsPathTable, ChoosesTheFile) {
    const TPathCase& c = GetParam();
    TSettingsProbe probe;
    probe.Env = [&](const std::string& name) -> std::optional<std::string> {
        const auto it = c.Env.find(name);
        if (it == c.Env.end()) return std::nullopt;
        return it->second;
    };
    probe.FileExists = [&](const std::string& file) {
        return c.FileBeside && file == "/opt/tv/Tarvex.ini";
    };
    probe.FolderWritable = [&](const std::string& folder) {
        return c.FolderWritable && folder == "/opt/tv";
    };
    EXPECT_EQ(SettingsFilePath("/opt/tv", "Tarvex", probe), c.Expected);
}

const std::map<std::string, std::string> Home{{"HOME", "/home/ann"}};

INSTANTIATE_TEST_SUITE_P(
    Rows, SettingsPathTable,
    ::testing::Values(TPathCase{"PortableFolder", false, true, Home, "/opt/tv/Tarvex.ini"},
                      TPathCase{"FileBesideInReadOnlyFolder", true, false, Home,
                                "/opt/tv/Tarvex.ini"},
                      TPathCase{"InstalledUsesHomeConfig", false, false, Home,
                                "/home/ann/.config/Tarvex/Tarvex.ini"},
                      TPathCase{"XdgConfigHomeWins",
                                false,
                                false,
                                {{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", "/cfg"}},
                                "/cfg/Tarvex/Tarvex.ini"},
                      TPathCase{"EmptyXdgIsUnset",
                                false,
                                false,
                                {{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", ""}},
                                "/home/ann/.config/Tarvex/Tarvex.ini"},
                      TPathCase{"RelativeXdgIsIgnored",
                                false,
                                false,
                                {{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", "cfg"}},
                                "/home/ann/.config/Tarvex/Tarvex.ini"},
                      TPathCase{"NoHomeKeepsTheFileBeside", false, false, {}, "/opt/tv/Tarvex.ini"},
                      TPathCase{"RelativeHomeKeepsTheFileBeside",
                                false,
                                false,
                                {{"HOME", "ann"}},
                                "/opt/tv/Tarvex.ini"}),
    [](const auto& info) { return std::string(info.param.Name); });

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

TEST(MakeSettingsFolder, MakesMissingLevelsForTheUserAlone) {
    TTempFolder dir;
    ASSERT_EQ(::chmod(dir.Path.c_str(), 0755), 0);
    const std::string file = dir / "config/Tarvex/Tarvex.ini";
    EXPECT_TRUE(MakeSettingsFolder(file));
    EXPECT_EQ(ModeOf(dir / "config"), 0700u);
    EXPECT_EQ(ModeOf(dir / "config/Tarvex"), 0700u);
    EXPECT_EQ(ModeOf(dir.Path.string()), 0755u); // an existing folder keeps its mode
    EXPECT_TRUE(MakeSettingsFolder(file));       // a second time changes nothing
}

TEST(MakeSettingsFolder, FileInTheWayFails) {
    TTempFolder dir;
    dir.Write("config", "not a folder");
    EXPECT_FALSE(MakeSettingsFolder(dir / "config/Tarvex/Tarvex.ini"));
}

} // namespace
