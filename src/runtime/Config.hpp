#pragma once

// The settings of config.json that the window takes; the music and sound switches live in
// their registries.
struct Config {
    bool fullscreen = false;
    bool vsync = true;
};

// Reads config.json from the working directory and applies its switches: fullscreen, music,
// sound, vsync (show_fps must be a boolean and does nothing). Problems are reported on the
// standard error stream and leave the defaults in force.
void loadConfig();
