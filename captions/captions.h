// The captions: bold bitmap font lists, the caption tables and windows, and the per-frame
// caption pass with its stroke backdrop. Main thread only.
#pragma once

#include <cstdint>

#include "platform/platform.h"

void init_caption_font(platform::DeviceContext dc);
void build_caption_windows();
// Draws the captions whose windows contain t; called after the flash scan.
void draw_captions(uint32_t t);
