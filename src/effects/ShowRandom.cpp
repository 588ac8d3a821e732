#include "effects/ShowRandom.hpp"

#include <cstdint>

namespace {

// The generator keeps 31 words; each new word is the sum of the words 31 and 3 places back,
// and the number handed out is the new word without its lowest bit.
constexpr int kWords = 31;
constexpr int kSeparation = 3;

struct Generator {
    std::uint32_t words[kWords];
    int front = kSeparation; // the word that receives the sum
    int rear = 0;            // the word added to it

    explicit Generator(unsigned seed) { reseed(seed); }

    void reseed(unsigned seed) {
        // The words start as a Lehmer sequence (16807 * x mod 2^31 - 1, in Schrage's form so
        // no product overflows), then 310 numbers are drawn and dropped.
        std::int32_t word = seed == 0 ? 1 : static_cast<std::int32_t>(seed);
        words[0] = static_cast<std::uint32_t>(word);
        for (int i = 1; i < kWords; ++i) {
            const std::int32_t high = word / 127773;
            const std::int32_t low = word % 127773;
            word = 16807 * low - 2836 * high;
            if (word < 0) {
                word += 2147483647;
            }
            words[i] = static_cast<std::uint32_t>(word);
        }
        front = kSeparation;
        rear = 0;
        for (int i = 0; i < 10 * kWords; ++i) {
            next();
        }
    }

    int next() {
        words[front] += words[rear];
        const int result = static_cast<int>(words[front] >> 1);
        front = front + 1 == kWords ? 0 : front + 1;
        rear = rear + 1 == kWords ? 0 : rear + 1;
        return result;
    }
};

Generator& generator() {
    static Generator instance(1);
    return instance;
}

} // namespace

void seedShowRandom(unsigned seed) {
    generator().reseed(seed);
}

int showRandom() {
    return generator().next();
}
