// tavinor_heap_guard: a heap check that the DAW test (tools/daw/daw-test.sh)
// preloads (LD_PRELOAD) into every program that loads the plug-in. It takes
// the place of malloc and its kin as glibc allows: each block comes from
// glibc's own allocator with a header before it and 32 guard bytes after it,
// and every block alive is on one list. A block written over before its
// start or past its end is found when it is freed, and at the program's exit
// for every block still alive, leaked ones among them; the program then says
// which block, allocated from where, and aborts.
//
// glibc's own checks fall short here: its malloc check looks at a block only
// when that block or its neighbour is freed or reused, which a block kept to
// the end never is, and its mcheck lists blocks without a lock, which no
// program with threads survives.

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <pthread.h>
#include <unistd.h>

extern "C"
{
void* __libc_malloc(size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);
}

namespace
{
constexpr size_t kGuardBytes = 32;
constexpr size_t kMallocAlignment = 16;
constexpr uint64_t kMagic = 0x5a17c0dedbadf00dULL;

struct Header
{
    Header* previous;
    Header* next;
    size_t size;
    void* base;         // what glibc handed out
    const void* caller; // where the block was asked for
    uint64_t check;     // kMagic ^ the header's address, while the block is alive
};
// A block starts right after its header, at glibc's own alignment.
static_assert(sizeof(Header) % kMallocAlignment == 0, "the header keeps blocks aligned");

pthread_mutex_t listLock = PTHREAD_MUTEX_INITIALIZER;
Header alive = { &alive, &alive, 0, nullptr, nullptr, 0 };

uint64_t checkOf(const Header* header)
{
    return kMagic ^ reinterpret_cast<uintptr_t>(header);
}

// Guard bytes that depend on where they are: no one value written past the
// end matches them all.
unsigned char guardByte(const Header* header, size_t i)
{
    return static_cast<unsigned char>((reinterpret_cast<uintptr_t>(header) >> 4) * 131u + i * 29u + 0xa7u);
}

unsigned char* blockOf(Header* header)
{
    return reinterpret_cast<unsigned char*>(header + 1);
}

Header* headerOf(void* block)
{
    return static_cast<Header*>(block) - 1;
}

[[noreturn]] void report(const Header* header, const char* what)
{
    char text[1024];
    if (header->check != checkOf(header))
    {
        std::snprintf(text, sizeof text, "tavinor_heap_guard: the block at %p was %s\n",
                      static_cast<const void*>(header + 1), what);
    }
    else
    {
        // The caller's library may be unloaded by now (a plug-in at exit).
        Dl_info where {};
        char caller[512];
        if (dladdr(header->caller, &where) != 0 && where.dli_fname != nullptr)
            std::snprintf(caller, sizeof caller, "%s+0x%zx%s%s", where.dli_fname,
                          static_cast<size_t>(static_cast<const char*>(header->caller)
                                              - static_cast<const char*>(where.dli_fbase)),
                          where.dli_sname != nullptr ? " in " : "", where.dli_sname != nullptr ? where.dli_sname : "");
        else
            std::snprintf(caller, sizeof caller, "%p, in a library no longer loaded", header->caller);
        std::snprintf(text, sizeof text, "tavinor_heap_guard: the block of %zu bytes at %p, asked for from %s, was %s\n",
                      header->size, static_cast<const void*>(header + 1), caller, what);
    }
    const ssize_t written = write(STDERR_FILENO, text, std::strlen(text));
    (void) written;
    std::abort();
}

// What was done to the block, or null when it is whole.
const char* damageOf(Header* header)
{
    if (header->check != checkOf(header))
        return "written over before its start, freed twice, or never handed out here";
    const unsigned char* guard = blockOf(header) + header->size;
    for (size_t i = 0; i < kGuardBytes; ++i)
        if (guard[i] != guardByte(header, i))
            return "written past its end";
    return nullptr;
}

void verify(Header* header)
{
    if (const char* damage = damageOf(header))
        report(header, damage);
}

void* allocate(size_t alignment, size_t size, const void* caller)
{
    const size_t front = alignment <= kMallocAlignment ? sizeof(Header)
                                                       : (sizeof(Header) + alignment - 1) / alignment * alignment;
    if (size > SIZE_MAX / 2 - front - kGuardBytes)
    {
        errno = ENOMEM;
        return nullptr;
    }
    const size_t total = front + size + kGuardBytes;
    void* base = alignment <= kMallocAlignment ? __libc_malloc(total) : __libc_memalign(alignment, total);
    if (base == nullptr)
        return nullptr;
    Header* header = reinterpret_cast<Header*>(static_cast<unsigned char*>(base) + front) - 1;
    header->size = size;
    header->base = base;
    header->caller = caller;
    header->check = checkOf(header);
    unsigned char* guard = blockOf(header) + size;
    for (size_t i = 0; i < kGuardBytes; ++i)
        guard[i] = guardByte(header, i);
    pthread_mutex_lock(&listLock);
    header->previous = &alive;
    header->next = alive.next;
    alive.next->previous = header;
    alive.next = header;
    pthread_mutex_unlock(&listLock);
    return blockOf(header);
}

void release(void* block)
{
    if (block == nullptr)
        return;
    Header* header = headerOf(block);
    verify(header);
    pthread_mutex_lock(&listLock);
    header->previous->next = header->next;
    header->next->previous = header->previous;
    pthread_mutex_unlock(&listLock);
    header->check = 0;
    __libc_free(header->base);
}

void* reallocate(void* block, size_t size, const void* caller)
{
    if (block == nullptr)
        return allocate(kMallocAlignment, size, caller);
    if (size == 0)
    {
        release(block);
        return nullptr;
    }
    Header* header = headerOf(block);
    verify(header);
    void* moved = allocate(kMallocAlignment, size, caller);
    if (moved == nullptr)
        return nullptr;
    std::memcpy(moved, block, header->size < size ? header->size : size);
    release(block);
    return moved;
}

bool multiply(size_t a, size_t b, size_t& product)
{
    if (__builtin_mul_overflow(a, b, &product))
    {
        errno = ENOMEM;
        return false;
    }
    return true;
}

size_t powerOfTwoFrom(size_t alignment)
{
    size_t power = kMallocAlignment;
    while (power < alignment)
        power *= 2;
    return power;
}

// A fork copies the list as one thread left it.
void lockList()
{
    pthread_mutex_lock(&listLock);
}

void unlockList()
{
    pthread_mutex_unlock(&listLock);
}

__attribute__((constructor)) void start()
{
    pthread_atfork(lockList, unlockList, unlockList);
}

// Blocks freed after this are checked as they are freed.
__attribute__((destructor)) void checkWhatIsLeft()
{
    Header* damaged = nullptr;
    const char* damage = nullptr;
    pthread_mutex_lock(&listLock);
    for (Header* header = alive.next; header != &alive && damage == nullptr; header = header->next)
        if ((damage = damageOf(header)) != nullptr)
            damaged = header;
    pthread_mutex_unlock(&listLock);
    if (damage != nullptr)
        report(damaged, damage);
}
} // namespace

extern "C"
{
__attribute__((visibility("default"))) void* malloc(size_t size)
{
    return allocate(kMallocAlignment, size, __builtin_return_address(0));
}

__attribute__((visibility("default"))) void free(void* block)
{
    release(block);
}

__attribute__((visibility("default"))) void* calloc(size_t count, size_t size)
{
    size_t bytes = 0;
    if (! multiply(count, size, bytes))
        return nullptr;
    void* block = allocate(kMallocAlignment, bytes, __builtin_return_address(0));
    if (block != nullptr)
        std::memset(block, 0, bytes);
    return block;
}

__attribute__((visibility("default"))) void* realloc(void* block, size_t size)
{
    return reallocate(block, size, __builtin_return_address(0));
}

__attribute__((visibility("default"))) void* reallocarray(void* block, size_t count, size_t size)
{
    size_t bytes = 0;
    if (! multiply(count, size, bytes))
        return nullptr;
    return reallocate(block, bytes, __builtin_return_address(0));
}

__attribute__((visibility("default"))) void* memalign(size_t alignment, size_t size)
{
    return allocate(powerOfTwoFrom(alignment), size, __builtin_return_address(0));
}

__attribute__((visibility("default"))) void* aligned_alloc(size_t alignment, size_t size)
{
    return allocate(powerOfTwoFrom(alignment), size, __builtin_return_address(0));
}

__attribute__((visibility("default"))) int posix_memalign(void** result, size_t alignment, size_t size)
{
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0)
        return EINVAL;
    void* block = allocate(alignment, size, __builtin_return_address(0));
    if (block == nullptr)
        return ENOMEM;
    *result = block;
    return 0;
}

__attribute__((visibility("default"))) void* valloc(size_t size)
{
    return allocate(static_cast<size_t>(sysconf(_SC_PAGESIZE)), size, __builtin_return_address(0));
}

__attribute__((visibility("default"))) void* pvalloc(size_t size)
{
    const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    return allocate(page, (size + page - 1) / page * page, __builtin_return_address(0));
}

__attribute__((visibility("default"))) size_t malloc_usable_size(void* block)
{
    return block == nullptr ? 0 : headerOf(block)->size;
}
}
