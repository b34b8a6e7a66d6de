// Offscreen target shared by the SDL2 and headless backends. Main thread.
#define GL_GLEXT_PROTOTYPES 1
#include "platform/common/offscreen.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "platform/common/font_glyphs.h"
#include "platform/glfixed/glfixed.h"

namespace offscreen {
namespace {

GLuint framebuffer;
GLuint colour_buffer;
GLuint depth_buffer;
int depth_bit_count;
int picture_width = kPictureWidth;
int picture_height = kPictureHeight;

constexpr int kMinSharpStep = 40;  // 160 x 120, however small the window

bool attach_depth(GLenum format, int bits) {
    glBindRenderbuffer(GL_RENDERBUFFER, depth_buffer);
    glRenderbufferStorage(GL_RENDERBUFFER, format, picture_width, picture_height);
    if (glGetError() != GL_NO_ERROR) return false;
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_buffer);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return false;
    depth_bit_count = bits;
    return true;
}

}  // namespace

bool create(int width, int height) {
    while (glGetError() != GL_NO_ERROR) {
    }
    if (framebuffer == 0) {
        glGenFramebuffers(1, &framebuffer);
        glGenRenderbuffers(1, &colour_buffer);
        glGenRenderbuffers(1, &depth_buffer);
    }
    picture_width = width;
    picture_height = height;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, colour_buffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_buffer);
    // OpenGL ES 3 has no 32-bit fixed-point depth; its 32-bit float depth keeps the layer's
    // depth tests as fine as legacy GL's.
    if (!attach_depth(GL_DEPTH_COMPONENT32, 32) && !attach_depth(GL_DEPTH_COMPONENT32F, 32) &&
        !attach_depth(GL_DEPTH_COMPONENT24, 24))
        return false;
    glViewport(0, 0, width, height);
    // Start from black, as a freshly cleared window would.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // The glyphs are pixels of the picture: a font made for another size is made again.
    if (font_glyphs::set_scale(double(height) / kPictureHeight)) {
        glfixed::forget_bitmaps();
        font_glyphs::compile_lists_again();
    }
    return glGetError() == GL_NO_ERROR;
}

int width() { return picture_width; }
int height() { return picture_height; }

Placement place_picture(int window_width, int window_height) {
    int w = window_width;
    int h = window_width * 3 / 4;
    if (h > window_height) {
        h = window_height;
        w = window_height * 4 / 3;
    }
    return {(window_width - w) / 2, (window_height - h) / 2, w, h};
}

Size sharp_size(int window_width, int window_height) {
    int step = window_width / 4 < window_height / 3 ? window_width / 4 : window_height / 3;
    if (step > kMaxSharpHeight / 3) step = kMaxSharpHeight / 3;
    if (step < kMinSharpStep) step = kMinSharpStep;
    return {4 * step, 3 * step};
}

void blit_to_window(int window_width, int window_height) {
    const Placement p = place_picture(window_width, window_height);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    // The clear colour is the demo's (never changed from black); only the bars need it.
    glClear(GL_COLOR_BUFFER_BIT);
    glBlitFramebuffer(0, 0, picture_width, picture_height, p.x, p.y, p.x + p.width, p.y + p.height,
                      GL_COLOR_BUFFER_BIT, GL_LINEAR);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
}

void read(uint8_t* rgba) {
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, picture_width, picture_height, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
}

int depth_bits() { return depth_bit_count; }

}  // namespace offscreen
