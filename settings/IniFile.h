// A profile (INI) file: sections in square brackets, one "key=value" line per key.
//
// Reading follows the usual profile-file rules: section and key names match without
// regard to case, blanks around names and values are dropped, a value enclosed in a
// matching pair of single or double quotes loses that pair, and a value is cut to
// 2047 characters. Lines starting with ';' are comments. When a section or a key
// occurs twice, the first one counts.
//
// A TIniFile loads the file once, answers reads from memory, collects writes in
// memory and replaces the file atomically in Flush(): the new text goes into a
// temporary file beside the old one, which is synced and then renamed over it, so
// the file on disc is always either the old or the new one, whole. A symbolic link
// stays: the file it points to is replaced. Anything but a regular file (a FIFO, a
// device, a folder) is not read, never waited for and never overwritten. Every line the
// program does not write (comments, unknown keys and sections, blank lines) keeps
// its text and its place. Flush writes CR LF line ends; loading accepts LF and CR LF.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

/// A settings file that cannot be written (or whose unreadable old content must not
/// be overwritten). The message names the file and the system's reason.
class TIniError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class TIniFile {
  public:
    /// The longest value a read returns; longer values are cut.
    static constexpr std::size_t MaxValueLength = 2047;
    /// Files larger than this are not loaded (and then never overwritten).
    static constexpr std::size_t MaxFileSize = 16 * 1024 * 1024;

    /// Loads the file. A missing file is an empty one; a file that exists but cannot
    /// be read, or is larger than MaxFileSize, reads as empty and LoadError() says why.
    explicit TIniFile(std::string fileName);

    const std::string& FileName() const { return fileName_; }
    /// Empty when the file was loaded or did not exist.
    const std::string& LoadError() const { return loadError_; }

    /// The value of a key, or def when the section or the key is missing.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view def) const;
    /// Decimal (optional sign) or 0x/0X hexadecimal; anything else, or a missing key,
    /// yields def.
    std::int32_t ReadInteger(std::string_view section, std::string_view key,
                             std::int32_t def) const;

    /// Sets a key in memory: an existing key gets the new value in its own line, a new
    /// key goes after the last key of its section, a new section goes at the end.
    /// Returns false, changing nothing, when the section or key name cannot be stored
    /// (empty, a line end, '=' or ']' where they would end the name, a leading ';' or
    /// '[', blanks at either end) or the value holds a line end.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);
    /// Decimal text, minus sign when negative.
    bool WriteInteger(std::string_view section, std::string_view key, std::int32_t value);

    /// True when writes changed the text since loading or the last Flush.
    bool Modified() const { return modified_; }
    /// The text Flush would write.
    std::string Text() const;
    /// Replaces the file with Text() when Modified(); does nothing otherwise. Throws
    /// TIniError when the file cannot be replaced; the old file is then left as it was.
    void Flush();

  private:
    bool Lookup(std::string_view section, std::string_view key, std::string& value) const;
    int FindSection(std::string_view section) const;
    int FindKey(int sectionLine, std::string_view key) const;
    int SectionEnd(int sectionLine) const;

    std::string fileName_;
    std::string loadError_;
    std::vector<std::string> lines_;
    bool modified_ = false;
};

/// Parses a profile integer, the whole text: decimal with an optional sign within the
/// 32-bit range, or 0x/0X followed by hexadecimal digits up to 0xFFFFFFFF, taken as a
/// 32-bit pattern (0xFFFFFFFF is -1). Returns false, leaving out unchanged, otherwise.
bool ParseProfileInt(std::string_view text, std::int32_t& out);

/// Moves a settings file aside to `fileName`.bak (replacing an older backup); true
/// when it was moved. A symbolic link is moved as the link.
bool BackUpIniFile(const std::string& fileName);

/// The file a write of `fileName` replaces: the file a symbolic link points to
/// (which need not exist yet), so that the link stays; `fileName` itself otherwise.
std::string IniWriteTarget(const std::string& fileName);

} // namespace tarvex
