#include "app/SettingsPath.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvex {

namespace {

namespace fs = std::filesystem;

bool IsAbsolute(const std::optional<std::string>& path) {
    return path && !path->empty() && path->front() == '/';
}

/// The user's configuration folder, or nothing without an absolute home.
std::optional<fs::path> ConfigHome(const TSettingsProbe& probe) {
    if (const auto xdg = probe.Env("XDG_CONFIG_HOME"); IsAbsolute(xdg)) return fs::path(*xdg);
    if (const auto home = probe.Env("HOME"); IsAbsolute(home)) return fs::path(*home) / ".config";
    return std::nullopt;
}

} // namespace

std::string SettingsFilePath(const std::string& exeDir, const std::string& appName,
                             const TSettingsProbe& probe) {
    const std::string fileName = appName + ".ini";
    const fs::path beside = fs::path(exeDir) / fileName;
    if (probe.FileExists(beside.string()) || probe.FolderWritable(exeDir)) return beside.string();
    const auto config = ConfigHome(probe);
    if (!config) return beside.string();
    return (*config / appName / fileName).string();
}

TSettingsProbe SystemSettingsProbe() {
    TSettingsProbe probe;
    probe.Env = [](const std::string& name) -> std::optional<std::string> {
        const char* value = std::getenv(name.c_str());
        if (value == nullptr) return std::nullopt;
        return std::string(value);
    };
    probe.FileExists = [](const std::string& file) {
        std::error_code ec;
        return fs::exists(file, ec);
    };
    // A new file needs write and search permission on the folder.
    probe.FolderWritable = [](const std::string& folder) {
        return ::access(folder.c_str(), W_OK | X_OK) == 0;
    };
    return probe;
}

bool MakeSettingsFolder(const std::string& file) {
    const fs::path folder = fs::path(file).parent_path();
    if (folder.empty()) return true;
    // Made one level at a time, so that each new level gets the user-only mode.
    fs::path partial;
    for (const fs::path& part : folder) {
        partial /= part;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    std::error_code ec;
    return fs::is_directory(folder, ec);
}

} // namespace tarvex
