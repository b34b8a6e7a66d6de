// The fixed-function layer's bitmaps: display lists of bitmaps (and the enable switches around
// them), their bits in one glyph atlas on the GPU, and the raster position they are drawn at.
// Main thread only, with the ES 3 context current. Static storage, but for the atlas's zeros
// while it is made (at start-up, or when the picture is made again).
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/glfixed/state.h"

namespace glfixed {
namespace {

constexpr GLuint kMaxLists = 4096;          // display-list names
constexpr int kMaxItems = 16384;            // bitmaps and switches held by all lists together
// The glyph atlas, one byte per bitmap bit, made when the first bitmap is compiled: as wide as
// below and as tall as the bitmaps of a 640 x 480 picture need, times the square of the
// viewport's scale from that size (a sharp picture's glyphs are larger by that much each way).
constexpr int kAtlasWidth = 2048;
constexpr int kClassicAtlasRows = 320;      // the caption font's 256 glyphs take 308 rows
constexpr int kClassicHeight = 480;
constexpr int kUploadBytes = 64 * 1024;     // bitmap bits go to the GPU in strips of this size
constexpr GLenum kGlyphUnit = GL_TEXTURE1;  // the demo's textures stay on unit 0

struct Bitmap {
    int atlas_x, atlas_y;  // -1 when the bits did not fit the atlas: the bitmap only moves
    int width, height;
    float xorig, yorig, xmove, ymove;
};

// One step of a list: a bitmap, or a call to the enable switches (op, value).
struct Item {
    int op;  // a ListOp, or -1 for the bitmap
    GLenum value;
    Bitmap bitmap;
};
constexpr int kBitmapItem = -1;

struct List {
    int first_item;
    int item_count;
};

struct Lists {
    Item items[kMaxItems];
    int item_count;
    List lists[kMaxLists];
    GLuint next_name;
    GLuint base;
    GLuint compiling;  // 0: not inside glNewList
    int compile_first;
    int shelf_x, shelf_y, shelf_height;  // atlas packing: rows of bitmaps, left to right
    GLuint atlas;
    int atlas_width, atlas_height;  // 0 until the first bitmap (again after forget_bitmaps)
};
Lists store = {{}, 0, {}, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
uint8_t bitmap_bytes[kUploadBytes];

// Reads rows [y0, y0 + rows) of the client's bitmap (as the unpack state says) into bytes 0/255.
void unpack_bits(GLsizei width, int y0, int rows, const GLubyte* bits) {
    const Unpack& u = state.unpack;
    const int row_bits = u.row_length > 0 ? u.row_length : width;
    const int align = u.alignment > 0 ? u.alignment : 1;
    const int row_bytes = ((row_bits + 7) / 8 + align - 1) / align * align;
    for (int y = 0; y < rows; ++y) {
        const GLubyte* row = bits + long(y0 + y + u.skip_rows) * row_bytes;
        for (int x = 0; x < width; ++x) {
            const int bit = x + u.skip_pixels;
            bitmap_bytes[y * width + x] = (row[bit / 8] & (0x80 >> (bit % 8))) != 0 ? 255 : 0;
        }
    }
}

// Allocation happens here only: when the first bitmap after start (or after forget_bitmaps)
// is compiled, which a host does at start-up or when it makes its picture again.
void make_atlas() {
    GLint max_size = 0;
    es.GetIntegerv(GL_MAX_TEXTURE_SIZE, &max_size);
    if (max_size <= 0) max_size = 1 << 14;  // a driver that does not say: the size ES 3 drivers offer
    const double scale = state.viewport[3] > kClassicHeight ? double(state.viewport[3]) / kClassicHeight : 1.0;
    int rows = int(kClassicAtlasRows * scale * scale + 0.5);
    store.atlas_width = kAtlasWidth < max_size ? kAtlasWidth : max_size;
    store.atlas_height = rows < max_size ? rows : max_size;
    es.ActiveTexture(kGlyphUnit);
    es.BindTexture(GL_TEXTURE_2D, store.atlas);
    // Defined texels from the start, in the one call that makes the texture: WebGL warns about a
    // texture filled only by partial uploads (Firefox, twice a load). The zeros live only here.
    void* zeros = std::calloc(size_t(store.atlas_width) * size_t(store.atlas_height), 1);
    es.PixelStorei(GL_UNPACK_ALIGNMENT, 1);
    es.TexImage2D(GL_TEXTURE_2D, 0, GL_R8, store.atlas_width, store.atlas_height, 0, GL_RED, GL_UNSIGNED_BYTE,
                  zeros);
    std::free(zeros);
    es.PixelStorei(GL_UNPACK_ALIGNMENT, state.unpack.alignment);
    es.ActiveTexture(GL_TEXTURE0);
}

// A place in the atlas for a width x height bitmap, or false when it is full.
bool place_in_atlas(int width, int height, int& x, int& y) {
    if (store.atlas_height == 0) make_atlas();
    if (width > store.atlas_width) return false;
    if (store.shelf_x + width > store.atlas_width) {
        store.shelf_y += store.shelf_height + 1;
        store.shelf_x = 0;
        store.shelf_height = 0;
    }
    if (store.shelf_y + height > store.atlas_height) return false;
    x = store.shelf_x;
    y = store.shelf_y;
    store.shelf_x += width + 1;
    if (height > store.shelf_height) store.shelf_height = height;
    return true;
}

void set_gpu_unpack(const Unpack& u) {
    es.PixelStorei(GL_UNPACK_ALIGNMENT, u.alignment);
    es.PixelStorei(GL_UNPACK_ROW_LENGTH, u.row_length);
    es.PixelStorei(GL_UNPACK_SKIP_ROWS, u.skip_rows);
    es.PixelStorei(GL_UNPACK_SKIP_PIXELS, u.skip_pixels);
}

void upload_bitmap(Bitmap& b, const GLubyte* bits) {
    b.atlas_x = b.atlas_y = -1;
    if (b.width <= 0 || b.height <= 0 || bits == nullptr) return;  // nothing to show: not a fault
    if (b.width > kUploadBytes || !place_in_atlas(b.width, b.height, b.atlas_x, b.atlas_y)) {
        b.atlas_x = b.atlas_y = -1;
        ++counters.atlas_full;
        return;
    }
    set_gpu_unpack(Unpack{1, 0, 0, 0});
    es.ActiveTexture(kGlyphUnit);
    const int strip = kUploadBytes / b.width;
    for (int y = 0; y < b.height; y += strip) {
        const int rows = std::min(strip, b.height - y);
        unpack_bits(b.width, y, rows, bits);
        es.TexSubImage2D(GL_TEXTURE_2D, 0, b.atlas_x, b.atlas_y + y, b.width, rows, GL_RED, GL_UNSIGNED_BYTE,
                         bitmap_bytes);
    }
    es.ActiveTexture(GL_TEXTURE0);
    set_gpu_unpack(state.unpack);
}

// A bitmap at the raster position: one fragment per set bit, all with the raster position's
// colour, texture coordinates and depth; then the raster position moves on.
void draw_bitmap(const Bitmap& b) {
    Raster& r = state.raster;
    if (!r.valid) return;
    if (b.atlas_x >= 0)
        add_bitmap_quad(std::floor(r.x - b.xorig), std::floor(r.y - b.yorig), float(b.width), float(b.height),
                        b.atlas_x, b.atlas_y);
    r.x += b.xmove;
    r.y += b.ymove;
}

void replay(const Item& item) {
    switch (item.op) {
        case kBitmapItem: draw_bitmap(item.bitmap); break;
        case kListEnable: set_capability(item.value, true); break;
        case kListDisable: set_capability(item.value, false); break;
        case kListPushAttrib: push_attrib(item.value); break;
        case kListPopAttrib: pop_attrib(); break;
        default: break;
    }
}

bool add_item(const Item& item) {
    if (store.item_count == kMaxItems) return false;
    store.items[store.item_count++] = item;
    return true;
}

}  // namespace

bool atlas_start() {
    // The glyph atlas on its own unit, sampled texel by texel.
    es.ActiveTexture(kGlyphUnit);
    es.GenTextures(1, &store.atlas);
    es.BindTexture(GL_TEXTURE_2D, store.atlas);
    es.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    es.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    es.ActiveTexture(GL_TEXTURE0);
    store.atlas_width = store.atlas_height = 0;  // made by the first bitmap
    return true;
}

void forget_bitmaps() {
    if (store.atlas == 0) return;  // the layer never started: legacy GL keeps its own lists
    flush_batch();                 // bitmaps already drawn still read the old atlas
    store.item_count = 0;
    for (List& l : store.lists) l = {};
    store.compiling = 0;
    store.shelf_x = store.shelf_y = store.shelf_height = 0;
    store.atlas_width = store.atlas_height = 0;
}

bool compiling() { return store.compiling != 0; }

GLuint gen_lists(GLsizei range) {
    if (range <= 0 || GLuint(range) > kMaxLists - store.next_name) return 0;
    const GLuint first = store.next_name;
    store.next_name += GLuint(range);
    return first;
}

// Lists are compiled only (GL_COMPILE); a list is executed by glCallList(s).
void new_list(GLuint list, GLenum mode) {
    if (store.compiling != 0 || list == 0 || list >= kMaxLists || mode != GL_COMPILE) {
        ++counters.calls_in_list;
        return;
    }
    store.compiling = list;
    store.compile_first = store.item_count;
}

void end_list() {
    if (store.compiling == 0) return;
    store.lists[store.compiling] = {store.compile_first, store.item_count - store.compile_first};
    store.compiling = 0;
}

void bitmap(GLsizei width, GLsizei height, float xorig, float yorig, float xmove, float ymove, const GLubyte* bits) {
    // Bitmaps live in display lists only (their bits go to the atlas once, when compiled).
    Item item = {kBitmapItem, 0, {-1, -1, width, height, xorig, yorig, xmove, ymove}};
    if (store.compiling == 0 || store.item_count == kMaxItems) {
        ++counters.calls_in_list;
        return;
    }
    upload_bitmap(item.bitmap, bits);
    add_item(item);
}

bool record_in_list(int op, GLenum value) {
    if (op == kListBegin || op == kListEnd) return true;  // an empty primitive draws nothing
    if (add_item(Item{op, value, {}})) return true;
    ++counters.calls_in_list;
    return true;
}

void list_base(GLuint base) { store.base = base; }

void call_list(GLuint name) {
    if (name == 0 || name >= kMaxLists || name >= store.next_name) {
        ++counters.list_names_dropped;
        return;
    }
    const List& list = store.lists[name];
    for (int i = 0; i < list.item_count; ++i) replay(store.items[list.first_item + i]);
}

void call_lists(GLsizei n, GLenum type, const GLvoid* names) {
    for (GLsizei i = 0; i < n; ++i) {
        GLuint offset = 0;
        switch (type) {
            case GL_UNSIGNED_BYTE: offset = static_cast<const GLubyte*>(names)[i]; break;
            case GL_BYTE: offset = GLuint(static_cast<const GLbyte*>(names)[i]); break;
            case GL_UNSIGNED_SHORT: offset = static_cast<const GLushort*>(names)[i]; break;
            case GL_SHORT: offset = GLuint(static_cast<const GLshort*>(names)[i]); break;
            case GL_UNSIGNED_INT: offset = static_cast<const GLuint*>(names)[i]; break;
            case GL_INT: offset = GLuint(static_cast<const GLint*>(names)[i]); break;
            default: counters.list_names_dropped += unsigned(n); return;
        }
        call_list(store.base + offset);
    }
}

void raster_pos(float x, float y) {
    Raster& r = state.raster;
    float clip[4];
    shade(x, y, 0.0f, state.current.normal, clip, r.colour.v, r.texcoord);
    const float w = clip[3];
    // Transformed and clipped as a vertex: outside the view volume the position is invalid and
    // every bitmap drawn from it is dropped whole.
    r.valid = w > 0.0f && -w <= clip[0] && clip[0] <= w && -w <= clip[1] && clip[1] <= w && -w <= clip[2] && clip[2] <= w;
    if (!r.valid) return;
    const GLint* vp = state.viewport;
    r.x = (clip[0] / w + 1.0f) * 0.5f * float(vp[2]) + float(vp[0]);
    r.y = (clip[1] / w + 1.0f) * 0.5f * float(vp[3]) + float(vp[1]);
    r.z = (clip[2] / w + 1.0f) * 0.5f;
    r.clip_w = w;
}

void reset_lists() {
    forget_bitmaps();
    store.next_name = 1;
    store.base = 0;
}

}  // namespace glfixed
