// Helpers of the caption and layer tests: the caption table as the show lays it out (written out here, not
// read from the code), where each caption's raster position lands on the screen, frames played
// as the frame loop would have played them, and the pixels the glyphs changed.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/support/headless_demo.h"

namespace caption_frames {

struct Caption {
    const char* word;  // the visible word, "" for a blank caption
    int x, y;          // position bytes
    uint32_t start, end;
    bool black;
};

// The 21 captions with their windows after start-up.
extern const Caption kCaptions[21];

// Screen position (pixels from the lower-left) of a caption's raster position, from the
// projection: X = 3 (2x)/640 - 1.8, Y = 3 (2y)/480 - 1.5 at eye depth 1.
test_support::ScreenPoint raster_on_screen(int x, int y);

struct Picture {
    std::vector<uint8_t> rgba;
    test_support::Rgb at(int x, int y) const;
};

// Plays frames 16 ms apart from `from` and then the frame at t, as the live loop would have,
// and returns the last picture. Without words, the font lists are swapped for empty ones for
// the whole run, so the two runs differ exactly in the pixels the glyphs drew. A hidden caption
// (an index, or -1) has its window shut for the last frame only: the run then differs from a
// full one exactly in that word's visible pixels.
Picture play(uint32_t from, uint32_t t, bool words = true, int hidden = -1);

// Pixels where the two pictures differ inside [x0, x1) x [y0, y1) (clipped to the screen).
struct Box {
    int x0, y0, x1, y1;
};
struct Diff {
    int count = 0;
    int min_x = 1 << 30, min_y = 1 << 30, max_x = -1, max_y = -1;
    int grey = 0;    // of those, how many are r = g = b and not black in the picture with words
    int black = 0;   // of those, how many are black in the picture with words
};
Diff diff(const Picture& with, const Picture& without, Box box);

// Pixels that are a grey between black and white (0 < r = g = b < 255): the strokes, or words.
int grey_pixels(const Picture& p, Box box);

// The demo generator written out again: the next state, and the value a state gives.
uint32_t rand_step(uint32_t state);
int rand_value(uint32_t state);

// The noise texture from its definition (noise pass over a zero first texel, generator from
// state 0): 256 rows along t of 256 texels along s.
const uint8_t* reference_noise();
// The noise texture at (s, t) filtered as GL_LINEAR with repeat wrapping, in texel units.
double noise_bilinear(double s, double t);
// The t of the last of the 128 stroke vertices, r1 of the 128th vertex over 32768.
double last_stroke_t();
constexpr Box kWholeScreen = {0, 0, test_support::kPictureWidth, test_support::kPictureHeight};

}  // namespace caption_frames
