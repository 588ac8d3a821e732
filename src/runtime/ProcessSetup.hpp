#pragma once
// What every program of the project does before anything else runs, even before the static
// DemoState builds its render textures (which opens the X display and loads the GL driver):
//
// - descriptors 0 to 2 are made sure to be open (on the null device), so that neither the X
//   connection nor a file takes the place of the standard error stream;
// - SIGPIPE is ignored: a diagnostic written to a pipe whose reader has gone must not end the
//   show;
// - Mesa's software renderer is asked to rasterise on the calling thread (LP_NUM_THREADS=0,
//   unless the user set it): its rasteriser threads free fences another thread still signals,
//   which corrupts the heap under load. GPU drivers ignore the variable;
// - the multimedia library's error stream escapes control characters, so that a path in one
//   of its messages cannot drive the terminal;
// - the X display and its OpenGL (GLX) extension are checked, and enough file descriptors:
//   without them the graphics library aborts or crashes while building the static render
//   textures. The program then says what is missing in one line and exits with status 1.
//
// It runs as a high-priority constructor of the object that holds it; linking klomp_core
// pulls that object into every program (see src/CMakeLists.txt).
extern "C" void klomp_prepare_process();
