// The DAW test's heap check (tools/daw/HeapGuard.cpp), loaded on its own in a
// child process: a block written past its end or before its start stops the
// program when the block is freed or, kept to the end, when the check is
// unloaded as at a program's exit; blocks used within their bounds pass.

#include "TestHelpers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

namespace
{
juce::File heapGuard()
{
    return TestHelpers::buildFolder().getChildFile("tools/daw/libtavinor_heap_guard.so");
}

// The check's allocator, apart from the program's own.
struct Guard
{
    void* library = dlopen(heapGuard().getFullPathName().toRawUTF8(), RTLD_NOW | RTLD_LOCAL);
    void* (*allocate)(size_t) = reinterpret_cast<void* (*) (size_t)>(dlsym(library, "malloc"));
    void* (*resize)(void*, size_t) = reinterpret_cast<void* (*) (void*, size_t)>(dlsym(library, "realloc"));
    int (*allocateAligned)(void**, size_t, size_t)
        = reinterpret_cast<int (*)(void**, size_t, size_t)>(dlsym(library, "posix_memalign"));
    void (*release)(void*) = reinterpret_cast<void (*)(void*)>(dlsym(library, "free"));

    bool loaded() const { return allocate && resize && allocateAligned && release; }
    void unload() { dlclose(library); }
};

class HeapGuardTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The sanitizer builds bring their own allocator and leave the DAW test out.
        if (! heapGuard().existsAsFile())
            GTEST_SKIP() << "the heap check is not built here (a sanitizer build)";
        GTEST_FLAG_SET(death_test_style, "threadsafe");
    }
};

struct Damage
{
    const char* what;
    int from;  // where the write starts, from the block's start
    int bytes; // how many bytes it changes
    bool kept; // the block is never freed
    const char* message;
};

class HeapGuardFinds : public HeapGuardTest, public ::testing::WithParamInterface<Damage>
{
};
} // namespace

TEST_F(HeapGuardTest, BlocksUsedWithinTheirBoundsPass)
{
    EXPECT_EXIT(
        {
            Guard guard;
            if (! guard.loaded())
                std::_Exit(2);
            auto* block = static_cast<unsigned char*>(guard.allocate(24));
            std::memset(block, 1, 24);
            block = static_cast<unsigned char*>(guard.resize(block, 100));
            std::memset(block, 2, 100);
            void* aligned = nullptr;
            if (guard.allocateAligned(&aligned, 64, 24) != 0 || reinterpret_cast<uintptr_t>(aligned) % 64 != 0)
                std::_Exit(3);
            std::memset(aligned, 3, 24);
            guard.release(aligned);
            std::memset(guard.allocate(1000), 4, 1000); // kept to the end
            guard.release(block);
            guard.unload();
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_P(HeapGuardFinds, TheDamagedBlock)
{
    const Damage& damage = GetParam();
    EXPECT_DEATH(
        {
            Guard guard;
            if (! guard.loaded())
                std::_Exit(2);
            auto* block = static_cast<unsigned char*>(guard.allocate(24));
            for (int i = damage.from; i < damage.from + damage.bytes; ++i)
                block[i] = static_cast<unsigned char>(~block[i]);
            if (! damage.kept)
                guard.release(block);
            guard.unload();
            std::_Exit(0);
        },
        damage.message);
}

INSTANTIATE_TEST_SUITE_P(
    Writes, HeapGuardFinds,
    ::testing::Values(Damage { "ThirtyTwoBytesPastTheEndFreed", 24, 32, false, "24 bytes .* written past its end" },
                      Damage { "ThirtyTwoBytesPastTheEndKept", 24, 32, true, "24 bytes .* written past its end" },
                      Damage { "OneBytePastTheEndKept", 24, 1, true, "written past its end" },
                      Damage { "EightBytesBeforeTheStartFreed", -8, 8, false, "written over before its start" },
                      Damage { "EightBytesBeforeTheStartKept", -8, 8, true, "written over before its start" }),
    [](const ::testing::TestParamInfo<Damage>& info) { return std::string(info.param.what); });
