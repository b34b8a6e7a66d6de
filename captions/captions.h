// The captions: bold bitmap font lists, the caption tables and windows, and the per-frame
// caption pass with its stroke backdrop. Main thread only.
#pragma once

#include <cstdint>

#include "platform/platform.h"

constexpr int kCaptionCount = 21;
constexpr int kCaptionLength = 8;       // bytes per text, no terminator; all of them are drawn
constexpr int kCaptionGroupCount = 4;   // phrases of five words each
constexpr int kNameCaption = 20;        // the black name: no strokes behind it

constexpr int kFontCellHeight = 92;       // pixels: a positive height is the character cell height
constexpr uint32_t kFontCodes = 256;      // one list per character code 0..255
constexpr const char* kFontFace = "ARIAL";

struct CaptionText {
    char bytes[kCaptionLength];
};
struct CaptionPosition {
    uint8_t x, y;  // half the caption's position in 640 x 480 picture units
};
struct CaptionWindow {
    uint32_t start, end;  // ms, both exclusive
};

extern uint32_t font_list_base;  // first of 256 glyph lists, one per character code
extern const CaptionText caption_texts[kCaptionCount];
extern const CaptionPosition caption_positions[kCaptionCount];
extern const uint32_t caption_group_starts[kCaptionGroupCount];
extern CaptionWindow caption_windows[kCaptionCount];
extern uint8_t strokes_pending;  // set per pass, cleared once the strokes are drawn

void init_caption_font(platform::DeviceContext dc);
void build_caption_windows();
// Draws the captions whose windows contain t; called after the flash scan.
void draw_captions(uint32_t t);
// Draws the eight bytes of text from (x, y), twice the position bytes.
void draw_caption(const CaptionText& text, int x, int y);
// Moves the modelview one unit back and puts the raster position at the caption's (x, y).
void place_caption(int x, int y);
// The grey streaks behind the phrase words; resets the generator to 0 and takes 384 values.
void draw_caption_strokes();
