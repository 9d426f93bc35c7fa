#include "source/ProjectFile.h"

#include <charconv>

namespace tarvex {

namespace {

constexpr const char* KeyedMagic = "DGIndexProjectFile";
constexpr int FirstKeyedVersion = 16;
/// Fields of a data line before its flags: info, matrix, file, position, skip, vob, cell.
constexpr int DataLineFields = 7;
/// The flag that ends the stream.
constexpr unsigned EndOfStream = 0xFF;
constexpr unsigned RepeatFirstField = 0x01;
/// More settings than any version writes; further lines are not kept.
constexpr std::size_t MaxSettings = 64;

/// Calls `each` with every blank-separated token of `line`.
template <class F>
void ForEachToken(const std::string& line, F each) {
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t start = line.find_first_not_of(" \t", at);
        if (start == std::string::npos) break;
        std::size_t end = line.find_first_of(" \t", start);
        if (end == std::string::npos) end = line.size();
        each(std::string_view(line).substr(start, end - start));
        at = end;
    }
}

void CountFlags(const std::string& line, TKeyedProject& p) {
    int field = 0;
    ForEachToken(line, [&](std::string_view token) {
        if (field++ < DataLineFields) return;
        unsigned flags = 0;
        const auto [end, ec] =
            std::from_chars(token.data(), token.data() + token.size(), flags, 16);
        const bool valid = ec == std::errc() && end == token.data() + token.size() && flags <= 0xFF;
        if (valid && flags == EndOfStream) return;
        ++p.Pictures;
        p.Fields += valid && (flags & RepeatFirstField) ? 3 : 2;
    });
}

} // namespace

std::optional<std::string> TKeyedProject::Setting(const std::string& key) const {
    const auto it = Settings.find(key);
    if (it == Settings.end()) return std::nullopt;
    return it->second;
}

bool IsKeyedProject(const std::string& firstLine) {
    const std::string magic = KeyedMagic;
    if (firstLine.compare(0, magic.size(), magic) != 0) return false;
    int version = 0;
    const char* from = firstLine.data() + magic.size();
    const char* to = firstLine.data() + firstLine.size();
    const auto [end, ec] = std::from_chars(from, to, version);
    return ec == std::errc() && end != from && version >= FirstKeyedVersion;
}

TKeyedProject ReadKeyedProject(const std::function<bool(std::string&)>& next) {
    TKeyedProject p;
    std::string line;
    next(line); // the number of files: the list ends at the empty line anyway
    if (next(line) && !line.empty()) {
        p.FirstFile = line;
        while (next(line) && !line.empty()) {
        }
    }
    while (next(line) && !line.empty()) {
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos || p.Settings.size() >= MaxSettings) continue;
        p.Settings.emplace(line.substr(0, eq), line.substr(eq + 1));
    }
    while (next(line) && !line.empty()) CountFlags(line, p);
    return p;
}

} // namespace tarvex
