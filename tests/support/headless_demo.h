// Test support: the demo started on the headless backend, pictures read back from it, the
// projection worked out independently of GL, and PNG artifacts for looking at frames.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace test_support {

using platform::kPictureWidth;
using platform::kPictureHeight;

struct Rgb {
    int r, g, b;
};

// Runs the demo's start-up on the headless backend (once per process).
void start_headless_demo();
// Renders the frame at scene time t as the frame loop would (not presented); returns what
// render_frame returned.
bool render_at(uint32_t t);
// The current picture, RGBA rows bottom-up; valid until the next call.
const uint8_t* read_picture();
// Pixel (x, y) counted from the lower-left corner, as GL counts.
Rgb pixel_at(const uint8_t* rgba, int x, int y);

// Where an eye-space point lands in the 640 x 480 window, from the projection the demo sets up
// (110 degree vertical field of view, aspect 4/3), x and y in pixels from the lower-left.
struct ScreenPoint {
    double x, y;
};
ScreenPoint project(double x, double y, double z);

// Writes the picture as a PNG into the test artifact folder (DEMO_TEST_ARTIFACTS, or the
// working folder) and returns its path.
std::string save_png(const std::string& name, const uint8_t* rgba);

}  // namespace test_support
