// What loading a settings file allocates. An executable of its own, since it
// replaces the global operator new for every allocation of the process.
#include "settings/IniFile.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

namespace {

// The largest single allocation while a test watches.
std::size_t largestAllocation = 0;
bool watchingAllocations = false;

} // namespace

void* operator new(std::size_t size) {
    if (watchingAllocations && size > largestAllocation) largestAllocation = size;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
// Not inlined into callers, where the compiler would take the pair for a mismatch.
[[gnu::noinline]] void operator delete(void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace tarvex {
namespace {

TEST(IniFileTest, ASmallFileIsReadWithASmallBuffer) {
    const TTempFolder temp;
    const std::string file =
        temp.Write("Tarvex.ini", "; keep me\r\n[Global]\r\nVersion=0.9\r\nWindowPosX=5\r\n");
    largestAllocation = 0;
    watchingAllocations = true;
    const TIniFile ini(file);
    watchingAllocations = false;
    EXPECT_EQ(ini.ReadString("Global", "Version", ""), "0.9");
    EXPECT_LT(largestAllocation, 64u * 1024u); // not a buffer as large as the size limit
}

} // namespace
} // namespace tarvex
