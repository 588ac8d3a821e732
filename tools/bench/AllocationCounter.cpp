#include "bench/AllocationCounter.hpp"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <dlfcn.h>
#include <execinfo.h>
#include <link.h>
#include <new>
#include <pthread.h>

// Every function of the counting hook lives in one section, whose bounds the linker provides,
// so that stack walks can step over the hook wherever the compiler inlined or tail-called.
#define KLOMP_HOOK __attribute__((noinline, section("klomp_alloc_hook")))
extern "C" const char __start_klomp_alloc_hook[];
extern "C" const char __stop_klomp_alloc_hook[];

// ThreadSanitizer's runtime defines the global operator new and delete itself (it must see
// every allocation), so a ThreadSanitizer build of a counting tool keeps the runtime's and
// counts nothing: available() says so, and the tools print that instead of zeros.
#if defined(__SANITIZE_THREAD__)
#define KLOMP_COUNTS_ALLOCATIONS 0
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KLOMP_COUNTS_ALLOCATIONS 0
#endif
#endif
#ifndef KLOMP_COUNTS_ALLOCATIONS
#define KLOMP_COUNTS_ALLOCATIONS 1
#endif

namespace allocations {

namespace {

constexpr int kDepth = 64;
constexpr int kKeptFrames = 12;
constexpr int kSites = 512;
constexpr int kModules = 512;

// The code ranges of the loaded objects, taken once when counting starts, so that filing an
// allocation needs no symbol lookup.
struct Module {
    std::uintptr_t start;
    std::uintptr_t end;
    char name[96];
    bool self;
    bool runtime;
};
Module modules[kModules];
int moduleCount = 0;

struct RawSite {
    int tag;
    bool project;
    int module; // the library's module for library sites
    std::uint64_t count;
    int frameCount;
    void* frames[kKeptFrames]; // project: the stack; library: entry, caller, an allocator
};

std::atomic<bool> counting{false};
pthread_t countedThread;
std::atomic<std::uint64_t> countedTotal{0};
std::atomic<std::uint64_t> countedBytesTotal{0};
std::atomic<std::uint64_t> otherTotal{0};
std::atomic<bool> recording{false};
int recordTag = 0;
RawSite rawSites[kSites];
int rawSiteCount = 0;
std::uint64_t missed = 0;
thread_local bool insideHook = false;

const char* baseName(const char* path) {
    const char* slash = path != nullptr ? std::strrchr(path, '/') : nullptr;
    return slash != nullptr ? slash + 1 : (path != nullptr ? path : "?");
}

int addModule(dl_phdr_info* info, std::size_t, void*) {
    for (int i = 0; i < info->dlpi_phnum && moduleCount < kModules; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_LOAD || (segment.p_flags & PF_X) == 0) {
            continue;
        }
        Module& m = modules[moduleCount++];
        m.start = info->dlpi_addr + segment.p_vaddr;
        m.end = m.start + segment.p_memsz;
        const char* name = info->dlpi_name != nullptr && info->dlpi_name[0] != '\0'
                               ? baseName(info->dlpi_name)
                               : "this program";
        std::strncpy(m.name, name, sizeof m.name - 1);
        m.name[sizeof m.name - 1] = '\0';
        m.self = info->dlpi_name == nullptr || info->dlpi_name[0] == '\0';
        m.runtime = std::strstr(name, "libstdc++") != nullptr ||
                    std::strstr(name, "libc.so") != nullptr ||
                    std::strstr(name, "libgcc_s") != nullptr;
    }
    return 0;
}

int moduleOf(void* address) {
    const auto a = reinterpret_cast<std::uintptr_t>(address);
    for (int i = 0; i < moduleCount; ++i) {
        if (a >= modules[i].start && a < modules[i].end) {
            return i;
        }
    }
    return -1;
}

bool inSelf(int module) {
    return module >= 0 && modules[module].self;
}
bool inHook(void* address) {
    const auto a = reinterpret_cast<std::uintptr_t>(address);
    return a >= reinterpret_cast<std::uintptr_t>(__start_klomp_alloc_hook) &&
           a < reinterpret_cast<std::uintptr_t>(__stop_klomp_alloc_hook);
}
bool inRuntime(int module) {
    return module >= 0 && modules[module].runtime;
}

RawSite* findOrAdd(const RawSite& key) {
    for (int i = 0; i < rawSiteCount; ++i) {
        RawSite& site = rawSites[i];
        if (site.tag == key.tag && site.project == key.project && site.module == key.module &&
            site.frameCount == key.frameCount &&
            std::memcmp(site.frames, key.frames,
                        sizeof(void*) * static_cast<std::size_t>(key.frameCount)) == 0) {
            return &site;
        }
    }
    if (rawSiteCount == kSites) {
        return nullptr;
    }
    rawSites[rawSiteCount] = key;
    rawSites[rawSiteCount].count = 0;
    return &rawSites[rawSiteCount++];
}

KLOMP_HOOK void record() {
    if (insideHook) {
        return;
    }
    insideHook = true;
    void* frames[kDepth];
    const int depth = backtrace(frames, kDepth);
    // The first caller outside the hook and the C++ runtime decides whose allocation it is.
    int first = 0;
    while (first < depth && (inHook(frames[first]) || inRuntime(moduleOf(frames[first])))) {
        ++first;
    }
    RawSite key{};
    key.tag = recordTag;
    if (first < depth && inSelf(moduleOf(frames[first]))) {
        key.project = true;
        key.module = -1;
        for (int i = first; i < depth && key.frameCount < kKeptFrames; ++i) {
            if (inSelf(moduleOf(frames[i]))) {
                key.frames[key.frameCount++] = frames[i];
            }
        }
    } else {
        key.project = false;
        key.module = first < depth ? moduleOf(frames[first]) : -1;
        int caller = first;
        while (caller < depth && !inSelf(moduleOf(frames[caller]))) {
            ++caller;
        }
        // Filed by the library call the program made; what allocated inside is kept as an
        // example (frames past frameCount are not compared).
        key.frameCount = 2;
        key.frames[0] = caller < depth ? frames[caller - 1] : nullptr; // the library's entry
        key.frames[1] = caller < depth ? frames[caller] : nullptr;     // the program's caller
        key.frames[2] = first < depth ? frames[first] : nullptr;       // what allocated
    }
    if (RawSite* site = findOrAdd(key)) {
        ++site->count;
    } else {
        ++missed;
    }
    insideHook = false;
}

KLOMP_HOOK void noteAllocation(std::size_t size) {
    if (!counting.load(std::memory_order_relaxed)) {
        return;
    }
    if (pthread_equal(pthread_self(), countedThread) != 0) {
        countedTotal.fetch_add(1, std::memory_order_relaxed);
        countedBytesTotal.fetch_add(size, std::memory_order_relaxed);
        if (recording.load(std::memory_order_relaxed)) {
            record();
        }
    } else {
        otherTotal.fetch_add(1, std::memory_order_relaxed);
    }
}

// Unused in a ThreadSanitizer build, which keeps the runtime's operator new.
[[maybe_unused]] KLOMP_HOOK void* allocate(std::size_t size) {
    noteAllocation(size);
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    return p;
}

[[maybe_unused]] KLOMP_HOOK void* allocateAligned(std::size_t size, std::size_t alignment) {
    noteAllocation(size);
    void* p = nullptr;
    if (posix_memalign(&p, std::max(alignment, sizeof(void*)), size == 0 ? 1 : size) != 0) {
        throw std::bad_alloc();
    }
    return p;
}

std::string demangled(const char* name) {
    if (name == nullptr) {
        return "?";
    }
    int status = 0;
    char* plain = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    std::string result = status == 0 && plain != nullptr ? plain : name;
    std::free(plain);
    return result;
}

std::string functionAt(void* address) {
    Dl_info info{};
    if (address == nullptr || dladdr(address, &info) == 0 || info.dli_sname == nullptr) {
        return "?";
    }
    std::string name = demangled(info.dli_sname);
    // Arguments make the report hard to read; the name is enough to find the code.
    const std::size_t paren = name.find('(');
    return paren == std::string::npos ? name : name.substr(0, paren);
}

} // namespace

void countThisThread() {
    // The first stack walk loads the unwinder, which allocates: do it before counting.
    void* warm[4];
    backtrace(warm, 4);
    moduleCount = 0;
    dl_iterate_phdr(addModule, nullptr);
    countedThread = pthread_self();
    counting.store(true);
}

std::uint64_t counted() {
    return countedTotal.load();
}
std::uint64_t otherThreads() {
    return otherTotal.load();
}
std::uint64_t countedBytes() {
    return countedBytesTotal.load();
}

void recordSites(bool on, int tag) {
    recordTag = tag;
    recording.store(on, std::memory_order_relaxed);
}

std::uint64_t unrecorded() {
    return missed;
}

std::vector<Site> sites() {
    const bool wasRecording = recording.exchange(false);
    std::vector<Site> result;
    for (int i = 0; i < rawSiteCount; ++i) {
        const RawSite& raw = rawSites[i];
        Site site;
        site.tag = raw.tag;
        site.count = raw.count;
        site.project = raw.project;
        if (raw.project) {
            site.owner = "this program";
            for (int f = 0; f < raw.frameCount; ++f) {
                site.stack.push_back(functionAt(raw.frames[f]));
            }
            site.caller = site.stack.empty() ? "?" : site.stack.front();
        } else {
            site.owner = raw.module >= 0 ? modules[raw.module].name : "?";
            site.entry = functionAt(raw.frames[0]);
            site.caller = functionAt(raw.frames[1]);
            site.allocator = functionAt(raw.frames[2]);
        }
        result.push_back(site);
    }
    recording.store(wasRecording);
    return result;
}

std::string describe(const Site& site) {
    std::string line = site.entry + " from " + site.caller + ": in " + site.owner;
    if (site.allocator != "?") {
        line += " (" + site.allocator + ")";
    }
    return line;
}

} // namespace allocations

bool allocations::available() {
    return KLOMP_COUNTS_ALLOCATIONS != 0;
}

#if KLOMP_COUNTS_ALLOCATIONS
KLOMP_HOOK void* operator new(std::size_t size) {
    return allocations::allocate(size);
}
KLOMP_HOOK void* operator new[](std::size_t size) {
    return allocations::allocate(size);
}
KLOMP_HOOK void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocations::allocate(size);
    } catch (...) {
        return nullptr;
    }
}
KLOMP_HOOK void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocations::allocate(size);
    } catch (...) {
        return nullptr;
    }
}
KLOMP_HOOK void* operator new(std::size_t size, std::align_val_t alignment) {
    return allocations::allocateAligned(size, static_cast<std::size_t>(alignment));
}
KLOMP_HOOK void* operator new[](std::size_t size, std::align_val_t alignment) {
    return allocations::allocateAligned(size, static_cast<std::size_t>(alignment));
}
// The replaced operator new takes its memory from malloc, so free is the matching release;
// GCC cannot see that through the replacement.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
#endif
