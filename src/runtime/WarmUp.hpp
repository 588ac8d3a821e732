#pragma once

// The last step of start-up: prepares what the show's drawing looks up later (the transparent
// parts of the full-screen pictures), so that no frame of the show pays for it.
void prepareDrawing();
