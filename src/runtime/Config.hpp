#pragma once

// Reads config.json from the working directory and applies its switches: fullscreen, music,
// sound, vsync (show_fps must be a boolean and does nothing). Problems are reported on the
// standard error stream and leave the defaults in force.
void loadConfig();
