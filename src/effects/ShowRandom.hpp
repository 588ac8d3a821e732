#pragma once
// The show's random numbers. Particle spawns draw from the sequence of the GNU C library's
// rand() (its additive feedback generator, seeded as srand does and never reseeded by the
// show), computed here so that every platform draws the same numbers: the C libraries of
// other systems have other generators, and the particles would fall elsewhere there.

// Restarts the sequence as srand(seed) restarts the C library's (0 counts as 1). The show
// starts from seed 1, as a program that never calls srand.
void seedShowRandom(unsigned seed);

// The next number of the sequence, 0..2^31-1 (the C library's rand() on glibc).
int showRandom();
