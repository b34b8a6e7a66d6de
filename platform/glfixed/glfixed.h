// The fixed-function GL layer: the OpenGL 1.1 subset the demo draws with (immediate-mode quads,
// client arrays, matrices, light 0 with colour material, object-linear texture generation,
// luminance textures, bitmap display lists and the raster position), computed per vertex on the
// CPU and drawn with one shader pair (its fragment shader built four ways: bitmaps or primitives,
// textured or not) and one vertex buffer on an OpenGL ES 3 / WebGL 2 context. Large client
// arrays (the tube's and the coil's) instead stay in GPU buffers, sent again only when their
// bytes change, with a vertex shader doing the same per-vertex work (gpu_arrays.cpp).
//
// The layer defines the GL 1.1 entry points itself (glBegin, glEnable, glDrawArrays ...), so the
// demo's sources compile unchanged against <GL/gl.h>. The ES functions it draws with come from a
// table filled through the host's loader, because their names collide with the ones it defines.
// On a host that also has a legacy GL context, the same entry points can instead pass every call
// through to the real legacy functions: one executable then draws either way.
//
// Where the layer cannot do what was asked it counts the call rather than fail it silently
// (stats()); DEMO_GL_STATS=1 makes a host print the counters when the program ends.
//
// What it does as OpenGL 1.1 defines: GL_QUADS (split as Mesa's legacy path splits them) and
// GL_TRIANGLES, immediate or from client vertex and normal arrays (three floats); the modelview
// and projection stacks; light 0 (directional) with the global ambient light, colour material on
// ambient and diffuse, normals not normalised, alpha from the colour; object-linear S and T;
// texturing by the bound texture with modulate, as if off while that texture is incomplete; the
// raster position transformed and clipped as a vertex, with the colour and texture coordinates
// latched there for every fragment of its bitmaps; display lists of bitmaps and glCallLists;
// glPushAttrib and glPopAttrib of the enable switches.
// What it leaves out: every other primitive, eye-linear and sphere generation, R and Q
// generation, other lights, materials, fog, mipmaps, other attribute groups, glBitmap outside a
// display list, and any call inside one other than glBitmap, the enable switches and an empty
// glBegin/glEnd (left out of the list). See tables.h for the entry points.
//
// Main thread only, with the context current.
#pragma once

namespace glfixed {

// The host's way to find a GL function by name (eglGetProcAddress, a table of emscripten_gl*
// functions ...); null for a name it does not know.
using ProcLoader = void* (*)(const char* name);

// With an OpenGL ES 3 (WebGL 2) context current: loads the ES functions, builds the shader pair,
// the vertex buffer and the glyph atlas, and makes the GL 1.1 entry points draw through the
// layer from now on. False, with one line on stderr saying what is missing, if it cannot.
bool start(ProcLoader es_functions);

// With a legacy (compatibility) GL context current: the GL 1.1 entry points call the real
// functions of that name found through the loader. False, with one line on stderr, if one is
// missing.
bool pass_through(ProcLoader legacy_functions);

// Sends the primitives the layer still holds to the GPU. A host calls it when a frame is done
// (glFlush, glFinish and glReadPixels do it too). Nothing when the layer is not active.
void flush();

// Empties every display list (their names stay made) and gives back the glyph atlas, so that a
// host can compile its bitmaps anew for a picture of another size. The next bitmap compiled
// makes the atlas again, sized for the viewport then set. Nothing when the layer is not active
// (legacy GL replaces a list that is compiled again).
void forget_bitmaps();

// What the layer dropped or could not do, counted since start() (or reset()). In a program that
// stays within the layer every counter stays 0.
struct Stats {
    unsigned long vertices_dropped;      // outside glBegin/glEnd, of a primitive it does not draw,
                                         // of an incomplete polygon, from arrays it cannot read
    unsigned long list_names_dropped;    // glCallList(s) names with no list, or an unknown index type
    unsigned long atlas_full;            // bitmaps whose bits found no room: they only move
    unsigned long matrix_stack_overflow;
    unsigned long matrix_stack_underflow;
    unsigned long attrib_stack_overflow;
    unsigned long attrib_stack_underflow;
    unsigned long unknown_capability;    // glEnable/glDisable of a switch the layer does not have
    unsigned long calls_in_list;         // calls left out of a display list being compiled
    unsigned long array_reuploads;       // client arrays sent to the GPU again: their contents changed
};
const Stats& stats();

// One line per counter on stderr, when DEMO_GL_STATS=1 and the layer is drawing. Hosts call it
// as the program ends.
void print_stats_if_asked();

// Back to the state start() leaves (GL's defaults, no lists, counters 0), the GPU objects kept.
// For tests.
void reset();

}  // namespace glfixed
