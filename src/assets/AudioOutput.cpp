#include "assets/AudioOutput.hpp"

#include <AL/alc.h>

#include <iostream>

bool audioOutputAvailable(const char* prefix) {
    static const bool available = [prefix] {
        ALCdevice* device = alcOpenDevice(nullptr);
        if (device == nullptr) {
            std::cerr << prefix << "No audio device found; the show plays without sound."
                      << std::endl;
            return false;
        }
        alcCloseDevice(device);
        return true;
    }();
    return available;
}
