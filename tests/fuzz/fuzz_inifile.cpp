// Fuzzes the settings-file layer. The input is the file's bytes, optionally followed
// by "@@OPS@@" and bytes that choose reads and writes (section, key, value). Besides
// not crashing, the layer must keep its promises: a stored value reads back exactly
// (cut to the longest value), a refused write changes nothing, and the text it writes
// loads again into the same text.
#include "FuzzFolder.h"

#include "settings/IniFile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>

using namespace tarvex;

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const TTempFolder folder(fuzz::FuzzFolderBase());
    const fuzz::TInFolder inside(folder);
    std::string_view file, ops;
    fuzz::Split(std::string_view(reinterpret_cast<const char*>(data), size), "@@OPS@@", file, ops);
    fuzz::WriteFile("t.ini", file);
    TIniFile ini("t.ini");
    Require(ini.LoadError().empty());

    FuzzedDataProvider choose(reinterpret_cast<const std::uint8_t*>(ops.data()), ops.size());
    for (int n = 0; n < 32 && choose.remaining_bytes() > 0; ++n) {
        const std::string section = choose.ConsumeRandomLengthString(64);
        const std::string key = choose.ConsumeRandomLengthString(64);
        const std::string value = choose.ConsumeRandomLengthString(3000);
        (void)ini.ReadInteger(section, key, 7);
        const std::string before = ini.ReadString(section, key, "default");
        const std::string text = ini.Text();
        if (ini.WriteString(section, key, value)) {
            Require(ini.ReadString(section, key, "") == value.substr(0, TIniFile::MaxValueLength));
        } else {
            Require(ini.Text() == text);
            Require(ini.ReadString(section, key, "default") == before);
        }
        if (choose.ConsumeBool()) ini.WriteInteger(section, key, choose.ConsumeIntegral<int>());
    }

    // What the layer writes loads again into the same text.
    const std::string text = ini.Text();
    fuzz::WriteFile("u.ini", text);
    Require(TIniFile("u.ini").Text() == text);
    if (ini.Modified()) {
        ini.Flush();
        Require(TIniFile("t.ini").Text() == text);
    }
    return 0;
}
