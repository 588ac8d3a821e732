#pragma once

// Whether the machine has an audio output device. Asked once, before the first sound object
// is made: without a device the audio library would print an error for every call, so the
// registries then keep their entries but play nothing. The first asker reports a missing
// device in one line under its own prefix.
bool audioOutputAvailable(const char* prefix);
