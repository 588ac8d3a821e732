#pragma once

// Limits every later clear and draw into the window and the three render targets to a single
// pixel (a 1x1 scissor box), or lifts the limit. The show's logic runs unchanged at a fraction
// of the cost: the capture tool uses it for frames before the part it records, the benchmark
// for allocation audits, the tests for timelines over thousands of frames. Nothing in the show
// itself uses a scissor box. Switching is cheap when the state does not change.
void setDrawingClipped(bool clipped);
