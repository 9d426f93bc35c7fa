// Where the settings file lives, over a made-up system; making its folder.
#include "app/SettingsPath.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <set>
#include <sys/stat.h>

using namespace tarvex;

namespace {

struct TPathCase {
    const char* Name;
    bool FileBeside;     // /opt/tv/Tarvex.ini exists
    bool FolderWritable; // /opt/tv takes new files
    const char* Home;    // nullptr: not set
    const char* XdgConfigHome;
    const char* Expected;
};

class SettingsPathTable : public ::testing::TestWithParam<TPathCase> {};

TEST_P(SettingsPathTable, ChoosesTheFile) {
    const TPathCase& c = GetParam();
    TSettingsProbe probe;
    probe.Env = [&](const std::string& name) -> std::optional<std::string> {
        const char* value = name == "HOME"              ? c.Home
                            : name == "XDG_CONFIG_HOME" ? c.XdgConfigHome
                                                        : nullptr;
        if (value == nullptr) return std::nullopt;
        return value;
    };
    probe.FileExists = [&](const std::string& file) {
        return c.FileBeside && file == "/opt/tv/Tarvex.ini";
    };
    probe.FolderWritable = [&](const std::string& folder) {
        return c.FolderWritable && folder == "/opt/tv";
    };
    EXPECT_EQ(SettingsFilePath("/opt/tv", "Tarvex", probe), c.Expected);
}

const char* const Ann = "/home/ann";
const char* const Beside = "/opt/tv/Tarvex.ini";
const char* const AnnsConfig = "/home/ann/.config/Tarvex/Tarvex.ini";

INSTANTIATE_TEST_SUITE_P(
    Rows, SettingsPathTable,
    ::testing::Values(
        TPathCase{"PortableFolder", false, true, Ann, nullptr, Beside},
        TPathCase{"FileBesideInReadOnlyFolder", true, false, Ann, nullptr, Beside},
        TPathCase{"InstalledUsesHomeConfig", false, false, Ann, nullptr, AnnsConfig},
        TPathCase{"XdgConfigHomeWins", false, false, Ann, "/cfg", "/cfg/Tarvex/Tarvex.ini"},
        TPathCase{"EmptyXdgIsUnset", false, false, Ann, "", AnnsConfig},
        TPathCase{"RelativeXdgIsIgnored", false, false, Ann, "cfg", AnnsConfig},
        TPathCase{"NoHomeKeepsTheFileBeside", false, false, nullptr, nullptr, Beside},
        TPathCase{"RelativeHomeKeepsTheFileBeside", false, false, "ann", nullptr, Beside}),
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
