// Temporary: no font until the FreeType glyph lists land.
#include "platform/platform.h"
namespace platform {
bool create_bold_font(DeviceContext, int, const char*) { return false; }
void use_font_bitmaps(DeviceContext, uint32_t, uint32_t, uint32_t) {}
}  // namespace platform
