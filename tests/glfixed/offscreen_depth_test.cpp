// The offscreen target's depth buffer on both renderers, as the driver reports the attachment:
// 32 bits either way, fixed-point on legacy GL and floating-point on OpenGL ES 3, which has no
// 32-bit fixed-point depth (a 24-bit buffer there would make the layer's depth tests coarser
// than legacy GL's). Each test starts the demo in its own process.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/headless_demo.h"

namespace {

struct Depth {
    GLint bits = 0, type = 0;
};

Depth depth_on(const char* gl) {
    setenv("DEMO_GL", gl, 1);
    test_support::start_headless_demo();
    Depth d;
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE, &d.bits);
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_FRAMEBUFFER_ATTACHMENT_COMPONENT_TYPE, &d.type);
    return d;
}

}  // namespace

TEST(OffscreenDepth, LayerDrawsWith32BitFloatDepth) {
    const Depth d = depth_on("layer");
    EXPECT_EQ(d.bits, 32);
    EXPECT_EQ(d.type, GL_FLOAT);
}

TEST(OffscreenDepth, LegacyGlDrawsWith32BitFixedPointDepth) {
    const Depth d = depth_on("legacy");
    EXPECT_EQ(d.bits, 32);
    EXPECT_EQ(d.type, GL_UNSIGNED_NORMALIZED);
}
