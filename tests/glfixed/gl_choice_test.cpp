// Which GL the headless backend draws with, as the driver reports the context and the offscreen
// target's depth attachment: unset or "layer", OpenGL ES 3 with 32-bit float depth (ES 3 has no
// 32-bit fixed-point depth; a 24-bit buffer would make the layer's depth tests coarser than
// legacy GL's); "legacy", a compatibility context with 32-bit fixed-point depth. Each test
// starts the demo in its own process.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/headless_demo.h"

namespace {

struct Context {
    std::string version;
    GLint depth_bits = 0, depth_type = 0;
};

// Starts the demo with DEMO_GL set to gl (unset for null) and asks the real library.
Context start_with(const char* gl) {
    if (gl != nullptr) {
        setenv("DEMO_GL", gl, 1);
    } else {
        unsetenv("DEMO_GL");
    }
    test_support::start_headless_demo();
    Context c;
    const GLubyte* version = glGetString(GL_VERSION);
    c.version = version != nullptr ? reinterpret_cast<const char*>(version) : "";
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE,
                                          &c.depth_bits);
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_FRAMEBUFFER_ATTACHMENT_COMPONENT_TYPE,
                                          &c.depth_type);
    return c;
}

void expect_layer(const Context& c) {
    EXPECT_EQ(c.version.rfind("OpenGL ES 3", 0), 0u) << c.version;
    EXPECT_EQ(c.depth_bits, 32);
    EXPECT_EQ(c.depth_type, GL_FLOAT);
}

}  // namespace

TEST(GlChoice, UnsetDrawsThroughTheLayerWith32BitFloatDepth) { expect_layer(start_with(nullptr)); }

TEST(GlChoice, LayerDrawsThroughTheLayerWith32BitFloatDepth) { expect_layer(start_with("layer")); }

TEST(GlChoice, LegacyDrawsOnACompatibilityContextWith32BitFixedPointDepth) {
    const Context c = start_with("legacy");
    EXPECT_EQ(c.version.find("OpenGL ES"), std::string::npos) << c.version;
    EXPECT_EQ(c.version.find("Core Profile"), std::string::npos) << c.version;
    EXPECT_EQ(c.depth_bits, 32);
    EXPECT_EQ(c.depth_type, GL_UNSIGNED_NORMALIZED);
}
