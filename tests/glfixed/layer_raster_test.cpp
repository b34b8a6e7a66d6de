// The raster position on the fixed-function layer, as OpenGL 1.1 defines it: a bitmap keeps the
// colour latched by glRasterPos, and a raster position outside the view drops every bitmap drawn
// from it. The demo's own caption placement and font lists, texturing off so the colour shows
// as it is. Each test starts the demo on the layer in its own process. Last, the layer's counters
// over the whole script.
#include <gtest/gtest.h>

#include <cstdlib>

#include "captions/captions.h"
#include "platform/gl.h"
#include "platform/glfixed/glfixed.h"
#include "runtime/runtime.h"
#include "tests/support/headless_demo.h"

namespace {

void start_on_layer() {
    setenv("DEMO_GL", "layer", 1);
    test_support::start_headless_demo();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glClear(GL_COLOR_BUFFER_BIT);
    glLoadIdentity();
    glListBase(font_list_base);
}

struct Count {
    int red = 0, green = 0, other = 0;
};

Count count_colours() {
    const uint8_t* p = test_support::read_picture();
    Count c;
    for (int y = 0; y < test_support::kPictureHeight; ++y)
        for (int x = 0; x < test_support::kPictureWidth; ++x) {
            const test_support::Rgb px = test_support::pixel_at(p, x, y);
            if (px.r == 0 && px.g == 0 && px.b == 0) continue;
            if (px.r == 255 && px.g == 0 && px.b == 0) ++c.red;
            else if (px.r == 0 && px.g == 255 && px.b == 0) ++c.green;
            else ++c.other;
        }
    return c;
}

GLfloat raster(GLenum what, int i) {
    GLfloat v[4] = {};
    glGetFloatv(what, v);
    return v[i];
}

}  // namespace

TEST(LayerRaster, BitmapsKeepTheColourLatchedAtTheRasterPosition) {
    start_on_layer();
    glColor4f(1.0f, 0.0f, 0.0f, 1.0f);
    place_caption(200, 220);
    glColor4f(0.0f, 1.0f, 0.0f, 1.0f);  // too late for this raster position
    const float x0 = raster(GL_CURRENT_RASTER_POSITION, 0);
    glCallLists(2, GL_UNSIGNED_BYTE, "HH");
    EXPECT_GT(raster(GL_CURRENT_RASTER_POSITION, 0), x0 + 80.0f) << "two glyphs of a 92-pixel cell advance";
    const Count c = count_colours();
    EXPECT_GT(c.red, 1000);
    EXPECT_EQ(c.green, 0);
    EXPECT_EQ(c.other, 0);
}

TEST(LayerRaster, OutsideTheViewTheWholeWordIsDropped) {
    start_on_layer();
    glColor4f(1.0f, 0.0f, 0.0f, 1.0f);
    place_caption(0, 0);  // caption 19's place, below the view
    EXPECT_EQ(raster(GL_CURRENT_RASTER_POSITION_VALID, 0), 0.0f);
    glCallLists(8, GL_UNSIGNED_BYTE, "HHHHHHHH");  // some would reach into the view if placed
    const Count dropped = count_colours();
    EXPECT_EQ(dropped.red + dropped.green + dropped.other, 0);

    glLoadIdentity();
    place_caption(200, 220);
    EXPECT_EQ(raster(GL_CURRENT_RASTER_POSITION_VALID, 0), 1.0f);
    glCallLists(8, GL_UNSIGNED_BYTE, "HHHHHHHH");
    EXPECT_GT(count_colours().red, 1000);
}

// The whole script on the layer, a frame every 40 ms: nothing the demo asks for is dropped or
// refused, and the tube's and coil's arrays, which never change, are never sent twice.
TEST(LayerStats, TheWholeScriptStaysWithinTheLayer) {
    setenv("DEMO_GL", "layer", 1);
    test_support::start_headless_demo();
    for (uint32_t t = 0; t <= 82000; t += 40) render_frame(t);
    const glfixed::Stats& s = glfixed::stats();
    const unsigned long counts[] = {s.vertices_dropped, s.list_names_dropped, s.atlas_full,
                                    s.matrix_stack_overflow, s.matrix_stack_underflow, s.attrib_stack_overflow,
                                    s.attrib_stack_underflow, s.unknown_capability, s.calls_in_list,
                                    s.array_reuploads};
    for (unsigned long c : counts) EXPECT_EQ(c, 0u);
    glfixed::print_stats_if_asked();
}
