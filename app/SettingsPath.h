// Where the settings file lives: beside the executable when that is possible (a
// portable copy), otherwise in the user's configuration folder.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace tarvex {

/// What the choice of the settings file asks of the system.
struct TSettingsProbe {
    /// The value of an environment variable; nothing when it is not set.
    std::function<std::optional<std::string>(const std::string& name)> Env;
    std::function<bool(const std::string& file)> FileExists;
    /// Whether a new file can be made in the folder.
    std::function<bool(const std::string& folder)> FolderWritable;
};

/// The settings file `appName`.ini: beside the executable (in exeDir) when it
/// exists there or that folder is writable; otherwise
/// $XDG_CONFIG_HOME/`appName`/`appName`.ini, with ~/.config when the variable is
/// unset, empty or relative. Without a usable home either, the file beside the
/// executable stands.
std::string SettingsFilePath(const std::string& exeDir, const std::string& appName,
                             const TSettingsProbe& probe);

/// The probe over the running process's environment and file system.
TSettingsProbe SystemSettingsProbe();

/// Makes the folder that holds `file`, with any missing parents, readable by the
/// user alone. Returns false when a folder could not be made; an existing folder
/// is left as it is.
bool MakeSettingsFolder(const std::string& file);

} // namespace tarvex
