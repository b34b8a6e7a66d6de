// Windows backend, caption font: a GDI font selected into the window's device context and
// WGL's bitmap glyph lists made from it. Main thread, with the GL context current.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/win32_report.h"

namespace platform {

bool create_bold_font(DeviceContext dc, int cell_height, const char* face) {
    // A positive height is the character cell height. The previous font is not kept.
    const HFONT font = CreateFontA(cell_height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET,
                                   OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                                   DEFAULT_PITCH | FF_DONTCARE, face);
    if (font == nullptr) {  // the font mapper offers some face for any name; this is rare
        win32::report("demo: no bold font for the captions");
        return false;
    }
    SelectObject(reinterpret_cast<HDC>(dc), font);
    return true;
}

void use_font_bitmaps(DeviceContext dc, uint32_t first, uint32_t count, uint32_t list_base) {
    wglUseFontBitmapsA(reinterpret_cast<HDC>(dc), first, count, list_base);
}

}  // namespace platform
