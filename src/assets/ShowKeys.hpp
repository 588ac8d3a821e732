#pragma once
// Every registry key the show looks up, by registry. The scenes and start-up name their keys
// where they use them; the asset check holds the definition files against these lists.
namespace ShowKeys {

inline constexpr const char* textures[] = {"brickwall", "spectrum", "krv-white",
                                           "blueprint", "galaxy",   "vantiebg"};

inline constexpr const char* sprites[] = {
    "black",       "mask",       "sun",        "vinyl",       "presents",   "aint",
    "zilchy",      "but",        "a",          "symbol",      "klomp",      "stencilart",
    "bomb",        "white",      "black-drop", "jas39",       "luigi",      "sorter",
    "star",        "whoopsie",   "drinks",     "movie_idol",  "heart",      "gun",
    "prisonbreak", "fist",       "frame",      "frame-sides", "big-vinyl",  "achtung-fulkod",
    "faceplant",   "memoryleek", "oj",         "spp",         "cross-star", "bravo-1",
    "bravo-2",     "bravo-3",    "bravo-4",    "bravo-5",     "bravo-6",    "splat",
    "charlie",     "duck",       "1202",       "bong",        "portrait",   "charlie2000",
    "finger",      "ring",       "zib",        "vantie",      "tripple",    "c_alpha",
    "c_bravo",     "c_charlie",  "drop"};

inline constexpr const char* sounds[] = {"noise"};

inline constexpr const char* songs[] = {"klomp"};

inline constexpr const char* particleSystems[] = {"bw_stars", "star_particles", "vinyl_stars"};

} // namespace ShowKeys
