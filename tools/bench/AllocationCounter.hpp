#pragma once
// Counts heap allocations made through operator new on one thread, and tells whose they are.
// The executable that links it (the klomp_allocation_counter library of tools/bench.cmake)
// gets its replaced global operator new; klomp-bench, klomp-effects-bench and
// klomp-registry-bench share it.
//
// An allocation is the project's when the first caller outside the C++ runtime is in this
// executable (the show's code is linked in statically). Otherwise a library made it while
// the show called into it: such sites are told apart by the library function that the
// show's code called, so a report reads "sf::RenderTarget::draw, called from introScene,
// allocates in libsfml-window".
#include <cstdint>
#include <string>
#include <vector>

namespace allocations {

// False in a ThreadSanitizer build, whose runtime owns operator new: nothing is counted.
bool available();

// Counts the calling thread's allocations from now on (others are counted apart).
void countThisThread();
// Allocations made so far by the counted thread, and by every other thread.
std::uint64_t counted();
std::uint64_t otherThreads();
// Bytes asked for by the counted thread's allocations so far.
std::uint64_t countedBytes();

// While on, every counted allocation is also filed under its site and `tag` (the caller's
// label, for example a scene index).
void recordSites(bool on, int tag = 0);

struct Site {
    int tag = 0;
    std::uint64_t count = 0;
    bool project = false;
    std::string owner;              // "this program" or the library's file that allocated
    std::string entry;              // library sites: the library function the program's code called
    std::string caller;             // the innermost function of the program on the stack
    std::string allocator;          // library sites: a library function that called operator new
    std::vector<std::string> stack; // project sites: the program's frames, innermost first
};

// The recorded sites, described (allocates; call when counting no longer matters).
std::vector<Site> sites();
// One line for a library site: "sf::RenderTarget::draw from drawStickers: in libfoo.so (bar)",
// the same for every site that reached the library through the same call.
std::string describe(const Site& site);
// Allocations that found no free slot in the site table.
std::uint64_t unrecorded();

} // namespace allocations
