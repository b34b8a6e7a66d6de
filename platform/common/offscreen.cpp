// Offscreen target shared by the SDL2 and headless backends. Main thread.
#define GL_GLEXT_PROTOTYPES 1
#include "platform/common/offscreen.h"

#include <GL/gl.h>
#include <GL/glext.h>

namespace offscreen {
namespace {

GLuint framebuffer;
GLuint colour_buffer;
GLuint depth_buffer;
int depth_bit_count;

bool attach_depth(GLenum format, int bits) {
    glBindRenderbuffer(GL_RENDERBUFFER, depth_buffer);
    glRenderbufferStorage(GL_RENDERBUFFER, format, kPictureWidth, kPictureHeight);
    if (glGetError() != GL_NO_ERROR) return false;
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_buffer);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return false;
    depth_bit_count = bits;
    return true;
}

}  // namespace

bool create() {
    while (glGetError() != GL_NO_ERROR) {
    }
    glGenFramebuffers(1, &framebuffer);
    glGenRenderbuffers(1, &colour_buffer);
    glGenRenderbuffers(1, &depth_buffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, colour_buffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kPictureWidth, kPictureHeight);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_buffer);
    // OpenGL ES 3 has no 32-bit fixed-point depth; its 32-bit float depth keeps the layer's
    // depth tests as fine as legacy GL's.
    if (!attach_depth(GL_DEPTH_COMPONENT32, 32) && !attach_depth(GL_DEPTH_COMPONENT32F, 32) &&
        !attach_depth(GL_DEPTH_COMPONENT24, 24))
        return false;
    glViewport(0, 0, kPictureWidth, kPictureHeight);
    // Start from black, as a freshly cleared window would.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    return glGetError() == GL_NO_ERROR;
}

Placement place_picture(int window_width, int window_height) {
    int w = window_width;
    int h = window_width * 3 / 4;
    if (h > window_height) {
        h = window_height;
        w = window_height * 4 / 3;
    }
    return {(window_width - w) / 2, (window_height - h) / 2, w, h};
}

void blit_to_window(int window_width, int window_height) {
    const Placement p = place_picture(window_width, window_height);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    // The clear colour is the demo's (never changed from black); only the bars need it.
    glClear(GL_COLOR_BUFFER_BIT);
    glBlitFramebuffer(0, 0, kPictureWidth, kPictureHeight, p.x, p.y, p.x + p.width, p.y + p.height, GL_COLOR_BUFFER_BIT, GL_LINEAR);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
}

void read(uint8_t* rgba) {
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kPictureWidth, kPictureHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
}

int depth_bits() { return depth_bit_count; }

}  // namespace offscreen
