#include "assets/AudioOutput.hpp"

#include <AL/alc.h>

#include <cstdio>
#include <iostream>

#if defined(__unix__)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// Opens and closes the default device once. Where the audio libraries underneath cannot
// find a device they write their own lines to the standard error stream (ALSA's "cannot find
// card", OpenAL Soft's "Could not open playback device", a dozen in all); the probe reports
// the outcome in one line of its own instead, so their output goes to /dev/null meanwhile.
bool probeDevice() {
#if defined(__unix__)
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    const int sink = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const bool silenced = saved >= 0 && sink >= 0 && dup2(sink, STDERR_FILENO) >= 0;
#endif
    ALCdevice* device = alcOpenDevice(nullptr);
    const bool found = device != nullptr;
    if (found) {
        alcCloseDevice(device);
    }
#if defined(__unix__)
    std::fflush(stderr);
    if (silenced) {
        dup2(saved, STDERR_FILENO);
    }
    if (sink >= 0) {
        close(sink);
    }
    if (saved >= 0) {
        close(saved);
    }
#endif
    return found;
}

} // namespace

bool audioOutputAvailable(const char* prefix) {
    static const bool available = [prefix] {
        if (!probeDevice()) {
            std::cerr << prefix << "No audio device found; the show plays without sound."
                      << std::endl;
            return false;
        }
        return true;
    }();
    return available;
}
