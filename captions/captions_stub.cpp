// Temporary: no captions until they land.
#include "captions/captions.h"
void init_caption_font(platform::DeviceContext) {}
void build_caption_windows() {}
void draw_captions(uint32_t) {}
