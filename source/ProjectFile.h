// Project files of DGIndex 1.5 and later ("DGIndexProjectFile16"): a header of
// file names, settings as "Key=Value" lines, and one data line per I picture
// with seven fields and a hex flag byte for each picture in display order.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

namespace tarvex {

/// What the reader takes from a keyed project file.
struct TKeyedProject {
    std::string FirstFile;                       ///< the first MPEG file, as written
    std::map<std::string, std::string> Settings; ///< "Key=Value" lines of the settings section
    std::int64_t Pictures = 0; ///< flag bytes of the data lines, end marker excluded
    std::int64_t Fields = 0;   ///< fields of those pictures, repeated ones included

    /// The value of a setting, or nothing when the file has no such line.
    std::optional<std::string> Setting(const std::string& key) const;
};

/// Whether a project's first line names the keyed format (version 16 or later).
bool IsKeyedProject(const std::string& firstLine);

/// Reads a keyed project from its second line on. `next` gives the next line
/// and returns false at the end of the file (and then an empty line).
TKeyedProject ReadKeyedProject(const std::function<bool(std::string&)>& next);

} // namespace tarvex
