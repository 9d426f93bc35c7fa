#include "settings/IniFile.h"

#include "common/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tarvex {

namespace {

constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

enum class TKind { Blank, Comment, Section, Key, Other };

struct TParsed {
    TKind kind = TKind::Other;
    std::string_view name;  // section or key name, trimmed
    std::size_t equals = 0; // position of '=' in a key line
};

TParsed Parse(std::string_view line, bool first) {
    std::string_view s = line;
    if (first && s.substr(0, Utf8Bom.size()) == Utf8Bom) s.remove_prefix(Utf8Bom.size());
    std::string_view t = Trim(s);
    if (t.empty()) return {TKind::Blank, {}, 0};
    if (t.front() == ';') return {TKind::Comment, {}, 0};
    if (t.front() == '[') {
        std::string_view name = t.substr(1);
        name = name.substr(0, name.find(']'));
        return {TKind::Section, Trim(name), 0};
    }
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return {TKind::Other, {}, 0};
    std::string_view key = Trim(line.substr(0, eq));
    if (key.empty()) return {TKind::Other, {}, 0};
    return {TKind::Key, key, eq};
}

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

// The value of a key line, without the length cut.
std::string_view RawValue(std::string_view line, std::size_t equals) {
    std::string_view v = Trim(line.substr(equals + 1));
    if (v.size() >= 2 && IsQuote(v.front()) && v.back() == v.front()) v = v.substr(1, v.size() - 2);
    return v;
}

// Quotes a value that reading would otherwise change (blanks at either end, or a
// matching pair of quotes around it), so that every single-line value reads back
// exactly.
std::string EncodeValue(std::string_view value) {
    const bool quote =
        !value.empty() &&
        (IsBlank(value.front()) || IsBlank(value.back()) ||
         (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front()));
    if (!quote) return std::string(value);
    std::string s;
    s.reserve(value.size() + 2);
    s += '"';
    s += value;
    s += '"';
    return s;
}

bool HasLineEnd(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

bool ValidName(std::string_view name) {
    return !name.empty() && Trim(name) == name && !HasLineEnd(name) && name.front() != ';' &&
           name.front() != '[';
}

// Reads a whole file of at most TIniFile::MaxFileSize bytes. Returns false with
// error set when it exists but cannot be read; a missing file is empty text.
bool ReadWholeFile(const std::string& fileName, std::string& text, std::string& error) {
    text.clear();
    // Without blocking: opening a FIFO would wait for a writer for ever.
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) return true;
        error = std::strerror(errno);
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    if (!ok) {
        error = std::strerror(errno);
    } else if (!S_ISREG(st.st_mode)) {
        error = "not a regular file";
        ok = false;
    } else if (static_cast<std::uintmax_t>(st.st_size) > TIniFile::MaxFileSize) {
        error = "file too large";
        ok = false;
    }
    if (ok) {
        // Read in chunks, so that the text grows with the file rather than with the
        // limit, and at most one byte past the limit, whatever the size said, to
        // notice a file that grew.
        text.reserve(static_cast<std::size_t>(st.st_size) + 1);
        char chunk[16384];
        for (;;) {
            const std::size_t room = TIniFile::MaxFileSize + 1 - text.size();
            if (room == 0) break;
            const ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, room));
            if (n < 0) {
                if (errno == EINTR) continue;
                error = std::strerror(errno);
                ok = false;
                break;
            }
            if (n == 0) break;
            text.append(chunk, static_cast<std::size_t>(n));
        }
        if (ok && text.size() > TIniFile::MaxFileSize) {
            error = "file too large";
            ok = false;
        }
        if (!ok) text.clear();
    }
    ::close(fd);
    return ok;
}

} // namespace

bool ParseProfileInt(std::string_view text, std::int32_t& out) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        std::uint64_t v = 0;
        for (char c : text.substr(2)) {
            int d;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            else
                return false;
            v = v * 16 + static_cast<std::uint64_t>(d);
            if (v > 0xFFFFFFFFu) return false;
        }
        out = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
        return true;
    }
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return false;
    std::int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
        if (v > 2147483648LL) return false;
    }
    if (negative) v = -v;
    if (v > 2147483647LL) return false;
    out = static_cast<std::int32_t>(v);
    return true;
}

bool BackUpIniFile(const std::string& fileName) {
    return ::rename(fileName.c_str(), (fileName + ".bak").c_str()) == 0;
}

std::string IniWriteTarget(const std::string& fileName) {
    namespace fs = std::filesystem;
    fs::path name = fileName;
    // Link by link, as the system follows them; a loop ends where the system's would.
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(name, ec))) return name.string();
        const fs::path target = fs::read_symlink(name, ec);
        if (ec) return name.string();
        name = target.is_absolute() ? target : name.parent_path() / target;
    }
    return fileName;
}

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) {
    std::string text;
    if (!ReadWholeFile(fileName_, text, loadError_)) return;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        const std::size_t next = end == std::string::npos ? text.size() : end + 1;
        if (end == std::string::npos) end = text.size();
        if (end > start && text[end - 1] == '\r') --end;
        lines_.emplace_back(text, start, end - start);
        start = next;
    }
}

int TIniFile::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const TParsed p = Parse(lines_[i], i == 0);
        if (p.kind == TKind::Section && SameName(p.name, section)) return static_cast<int>(i);
    }
    return -1;
}

int TIniFile::SectionEnd(int sectionLine) const {
    std::size_t i = static_cast<std::size_t>(sectionLine) + 1;
    while (i < lines_.size() && Parse(lines_[i], false).kind != TKind::Section) ++i;
    return static_cast<int>(i);
}

int TIniFile::FindKey(int sectionLine, std::string_view key) const {
    const int end = SectionEnd(sectionLine);
    for (int i = sectionLine + 1; i < end; ++i) {
        const TParsed p = Parse(lines_[static_cast<std::size_t>(i)], false);
        if (p.kind == TKind::Key && SameName(p.name, key)) return i;
    }
    return -1;
}

bool TIniFile::Lookup(std::string_view section, std::string_view key, std::string& value) const {
    const int s = FindSection(Trim(section));
    const int k = s < 0 ? -1 : FindKey(s, Trim(key));
    if (k < 0) return false;
    const std::string& line = lines_[static_cast<std::size_t>(k)];
    value = RawValue(line, Parse(line, false).equals).substr(0, MaxValueLength);
    return true;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view def) const {
    std::string value;
    return Lookup(section, key, value) ? value : std::string(def.substr(0, MaxValueLength));
}

std::int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key,
                                   std::int32_t def) const {
    std::string text;
    std::int32_t v = def;
    return Lookup(section, key, text) && ParseProfileInt(text, v) ? v : def;
}

bool TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    if (!ValidName(section) || section.find(']') != std::string_view::npos) return false;
    if (!ValidName(key) || key.find('=') != std::string_view::npos) return false;
    if (HasLineEnd(value)) return false;

    const std::string encoded = EncodeValue(value);
    std::string keyLine = std::string(key) + "=" + encoded;

    const int s = FindSection(section);
    if (s < 0) {
        if (!lines_.empty() && Parse(lines_.back(), lines_.size() == 1).kind != TKind::Blank)
            lines_.emplace_back();
        lines_.push_back("[" + std::string(section) + "]");
        lines_.push_back(std::move(keyLine));
        modified_ = true;
        return true;
    }

    const int k = FindKey(s, key);
    if (k >= 0) {
        std::string& line = lines_[static_cast<std::size_t>(k)];
        const std::size_t eq = Parse(line, false).equals;
        if (RawValue(line, eq) == value) return true; // keep the line as the user wrote it
        std::size_t keep = eq + 1;
        while (keep < line.size() && IsBlank(line[keep])) ++keep;
        line = line.substr(0, keep) + encoded;
        modified_ = true;
        return true;
    }

    // After the last line of the section that is neither blank nor a comment, so that
    // the blank lines and comments that lead into the next section stay in front of it.
    int at = s + 1;
    const int end = SectionEnd(s);
    for (int i = s + 1; i < end; ++i) {
        const TKind kind = Parse(lines_[static_cast<std::size_t>(i)], false).kind;
        if (kind != TKind::Blank && kind != TKind::Comment) at = i + 1;
    }
    lines_.insert(lines_.begin() + at, std::move(keyLine));
    modified_ = true;
    return true;
}

bool TIniFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
    return WriteString(section, key, std::to_string(value));
}

std::string TIniFile::Text() const {
    std::string text;
    for (const std::string& line : lines_) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void TIniFile::Flush() {
    if (!modified_) return;
    if (!loadError_.empty())
        throw TIniError("The settings file " + fileName_ + " could not be read (" + loadError_ +
                        "), so it is not overwritten");
    try {
        WriteFileAtomically(IniWriteTarget(fileName_), Text());
    } catch (const TFileError& e) {
        throw TIniError("Cannot write the settings file " + fileName_ + ": " +
                        std::strerror(e.Error));
    }
    modified_ = false;
}

} // namespace tarvex
