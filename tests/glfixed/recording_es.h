// An ES 3 function table for the fixed-function layer's unit tests that records instead of
// drawing: the batch's draws as the GPU would see their vertices, the GPU arrays' uploads,
// uniforms and draws, and the order of draws and state changes. One recording per process.
#pragma once

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/glfixed/tables.h"

namespace recording_es {

// What the batch sent, as the GPU would see it.
struct Vertex {
    float position[4], colour[4], texcoord[2];
};
struct Draw {
    std::vector<Vertex> corners;  // three per triangle, in index order
    size_t vertices_sent;
};
// A draw from the GPU arrays: 16-bit indices into the array buffers, or none.
struct ArrayDraw {
    GLsizei count;
    bool indexed;
    std::vector<uint16_t> first_quad;  // the first six indices, indexed draws only
};

struct Recording {
    std::vector<std::string> calls;  // draws and the state changes around them, in order
    std::vector<Draw> draws;
    std::vector<uint8_t> vertex_bytes;
    std::vector<uint32_t> indices;
    GLsizei stride = 0;
    size_t offset[4] = {};  // bytes of each attribute location
    GLuint next_name = 1;
    GLuint batch_vertex_array = 0, bound_vertex_array = 0;  // the batch's is the first bound
    // The GPU arrays' side.
    std::vector<std::vector<uint8_t>> static_uploads;  // array buffers sent for keeps, in order
    std::vector<std::string> uniform_names;            // index: the location handed out
    std::map<std::string, std::vector<float>> uniforms;
    std::vector<ArrayDraw> array_draws;
    std::vector<uint16_t> static_indices;  // the index buffer the GPU arrays keep
    float constant_normal[3] = {};
};
inline Recording rec;

inline const char* name_of(GLenum e) {
    switch (e) {
        case GL_BLEND: return "BLEND";
        case GL_DEPTH_TEST: return "DEPTH_TEST";
        default: return "?";
    }
}

// A do-nothing function for every member; the ones that matter are replaced below.
template <typename F>
struct Nothing;
template <typename R, typename... A>
struct Nothing<R(GLAPIENTRY*)(A...)> {
    static R GLAPIENTRY call(A...) { return R(); }
};

inline void keep_uniform(GLint at, const GLfloat* v, size_t n) {
    if (at >= 0 && size_t(at) < rec.uniform_names.size()) rec.uniforms[rec.uniform_names[size_t(at)]].assign(v, v + n);
}

// The batch's draw: 32-bit indices into its vertex records.
inline void record_batch_draw(GLsizei count) {
    Draw d;
    d.vertices_sent = rec.vertex_bytes.size() / size_t(rec.stride);
    for (GLsizei i = 0; i < count; ++i) {
        const uint8_t* v = rec.vertex_bytes.data() + size_t(rec.stride) * rec.indices[size_t(i)];
        Vertex out;
        std::memcpy(out.position, v + rec.offset[0], sizeof out.position);
        std::memcpy(out.colour, v + rec.offset[1], sizeof out.colour);
        std::memcpy(out.texcoord, v + rec.offset[2], sizeof out.texcoord);
        d.corners.push_back(out);
    }
    rec.draws.push_back(d);
    rec.calls.push_back("draw");
}

inline glfixed::Es3 recording_table() {
    glfixed::Es3 es;
#define FAKE_NOTHING(result, loader_name, member, params) es.member = &Nothing<decltype(es.member)>::call;
    GLFIXED_ES_FUNCTIONS(FAKE_NOTHING)
#undef FAKE_NOTHING
    es.GetShaderiv = [](GLuint, GLenum, GLint* v) { *v = GL_TRUE; };
    es.GetProgramiv = [](GLuint, GLenum, GLint* v) { *v = GL_TRUE; };
    es.CreateShader = [](GLenum) { return rec.next_name++; };
    es.CreateProgram = []() { return rec.next_name++; };
    es.GetIntegerv = [](GLenum what, GLint* v) {
        if (what == GL_VIEWPORT) v[0] = 0, v[1] = 0, v[2] = 640, v[3] = 480;
    };
    es.GetUniformLocation = [](GLuint, const GLchar* name) {
        rec.uniform_names.emplace_back(name);
        return GLint(rec.uniform_names.size() - 1);
    };
    es.Uniform3fv = [](GLint at, GLsizei, const GLfloat* v) { keep_uniform(at, v, 3); };
    es.Uniform4fv = [](GLint at, GLsizei, const GLfloat* v) { keep_uniform(at, v, 4); };
    es.UniformMatrix3fv = [](GLint at, GLsizei, GLboolean transpose, const GLfloat* v) {
        // Kept by columns, as the shader reads it.
        float m[9];
        for (int c = 0; c < 3; ++c)
            for (int r = 0; r < 3; ++r) m[c * 3 + r] = transpose ? v[r * 3 + c] : v[c * 3 + r];
        keep_uniform(at, m, 9);
    };
    es.UniformMatrix4fv = [](GLint at, GLsizei, GLboolean, const GLfloat* v) { keep_uniform(at, v, 16); };
    es.VertexAttrib3f = [](GLuint, GLfloat x, GLfloat y, GLfloat z) {
        rec.constant_normal[0] = x, rec.constant_normal[1] = y, rec.constant_normal[2] = z;
    };
    es.GenVertexArrays = [](GLsizei n, GLuint* names) {
        for (GLsizei i = 0; i < n; ++i) names[i] = rec.next_name++;
    };
    es.BindVertexArray = [](GLuint name) {
        if (rec.batch_vertex_array == 0) rec.batch_vertex_array = name;
        rec.bound_vertex_array = name;
    };
    es.VertexAttribPointer = [](GLuint at, GLint, GLenum, GLboolean, GLsizei stride, const void* offset) {
        if (rec.bound_vertex_array != rec.batch_vertex_array) return;  // the GPU arrays' own
        rec.stride = stride;
        rec.offset[at] = reinterpret_cast<size_t>(offset);
    };
    es.BufferData = [](GLenum target, GLsizeiptr size, const void* data, GLenum usage) {
        const auto* bytes = static_cast<const uint8_t*>(data);
        if (target == GL_ARRAY_BUFFER && usage == GL_STATIC_DRAW) rec.static_uploads.emplace_back(bytes, bytes + size);
        else if (target == GL_ARRAY_BUFFER) rec.vertex_bytes.assign(bytes, bytes + size);
        else if (target == GL_ELEMENT_ARRAY_BUFFER && usage == GL_STATIC_DRAW) {
            rec.static_indices.resize(size_t(size) / 2);
            std::memcpy(rec.static_indices.data(), data, size_t(size));
        } else if (target == GL_ELEMENT_ARRAY_BUFFER) {
            rec.indices.resize(size_t(size) / 4);
            std::memcpy(rec.indices.data(), data, size_t(size));
        }
    };
    es.DrawElements = [](GLenum, GLsizei count, GLenum type, const void* offset) {
        if (type == GL_UNSIGNED_INT) return record_batch_draw(count);
        const size_t at = reinterpret_cast<size_t>(offset) / 2;
        std::vector<uint16_t> first;
        if (at + 6 <= rec.static_indices.size()) first.assign(rec.static_indices.begin() + long(at), rec.static_indices.begin() + long(at) + 6);
        rec.array_draws.push_back({count, true, first});
        rec.calls.push_back("array draw");
    };
    es.DrawArrays = [](GLenum, GLint, GLsizei count) {
        rec.array_draws.push_back({count, false, {}});
        rec.calls.push_back("array draw");
    };
    es.Enable = [](GLenum cap) { rec.calls.push_back(std::string("enable ") + name_of(cap)); };
    es.Disable = [](GLenum cap) { rec.calls.push_back(std::string("disable ") + name_of(cap)); };
    es.BlendFunc = [](GLenum, GLenum) { rec.calls.push_back("blend function"); };
    es.BindTexture = [](GLenum, GLuint) { rec.calls.push_back("bind texture"); };
    es.Viewport = [](GLint, GLint, GLsizei, GLsizei) { rec.calls.push_back("viewport"); };
    es.Clear = [](GLbitfield) { rec.calls.push_back("clear"); };
    return es;
}

}  // namespace recording_es
