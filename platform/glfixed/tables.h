// Inside the fixed-function layer: the GL 1.1 entry points it defines and the ES 3 functions it
// draws with, each written once as a list from which the dispatch tables, the loaders and the
// entry points are generated. Main thread only.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

// The GL 1.1 (and GLU) entry points the demo and its backends call: (result, name, parameters,
// arguments). Everything else goes straight to the real library of the context.
#define GLFIXED_GL11_ENTRIES(X)                                                                          \
    X(void, glBegin, (GLenum mode), (mode))                                                              \
    X(void, glEnd, (), ())                                                                               \
    X(void, glVertex3f, (GLfloat x, GLfloat y, GLfloat z), (x, y, z))                                    \
    X(void, glNormal3f, (GLfloat x, GLfloat y, GLfloat z), (x, y, z))                                    \
    X(void, glColor4f, (GLfloat r, GLfloat g, GLfloat b, GLfloat a), (r, g, b, a))                       \
    X(void, glTexCoord2f, (GLfloat s, GLfloat t), (s, t))                                                \
    X(void, glTexCoord4fv, (const GLfloat* v), (v))                                                      \
    X(void, glEnable, (GLenum cap), (cap))                                                               \
    X(void, glDisable, (GLenum cap), (cap))                                                              \
    X(void, glPushAttrib, (GLbitfield mask), (mask))                                                     \
    X(void, glPopAttrib, (), ())                                                                         \
    X(void, glEnableClientState, (GLenum array), (array))                                                \
    X(void, glDisableClientState, (GLenum array), (array))                                               \
    X(void, glVertexPointer, (GLint size, GLenum type, GLsizei stride, const GLvoid* pointer),           \
      (size, type, stride, pointer))                                                                     \
    X(void, glNormalPointer, (GLenum type, GLsizei stride, const GLvoid* pointer), (type, stride, pointer)) \
    X(void, glDrawArrays, (GLenum mode, GLint first, GLsizei count), (mode, first, count))               \
    X(void, glMatrixMode, (GLenum mode), (mode))                                                         \
    X(void, glLoadIdentity, (), ())                                                                      \
    X(void, glPushMatrix, (), ())                                                                        \
    X(void, glPopMatrix, (), ())                                                                         \
    X(void, glTranslatef, (GLfloat x, GLfloat y, GLfloat z), (x, y, z))                                  \
    X(void, glRotatef, (GLfloat angle, GLfloat x, GLfloat y, GLfloat z), (angle, x, y, z))               \
    X(void, gluPerspective, (GLdouble fovy, GLdouble aspect, GLdouble z_near, GLdouble z_far),           \
      (fovy, aspect, z_near, z_far))                                                                     \
    X(void, glLightfv, (GLenum light, GLenum pname, const GLfloat* params), (light, pname, params))      \
    X(void, glTexGeni, (GLenum coord, GLenum pname, GLint param), (coord, pname, param))                 \
    X(void, glTexGenfv, (GLenum coord, GLenum pname, const GLfloat* params), (coord, pname, params))     \
    X(void, glBindTexture, (GLenum target, GLuint texture), (target, texture))                           \
    X(void, glTexImage2D,                                                                                \
      (GLenum target, GLint level, GLint internal_format, GLsizei width, GLsizei height, GLint border,   \
       GLenum format, GLenum type, const GLvoid* pixels),                                                \
      (target, level, internal_format, width, height, border, format, type, pixels))                     \
    X(void, glTexParameteri, (GLenum target, GLenum pname, GLint param), (target, pname, param))         \
    X(void, glBlendFunc, (GLenum sfactor, GLenum dfactor), (sfactor, dfactor))                           \
    X(void, glClear, (GLbitfield mask), (mask))                                                          \
    X(void, glViewport, (GLint x, GLint y, GLsizei width, GLsizei height), (x, y, width, height))        \
    X(GLuint, glGenLists, (GLsizei range), (range))                                                      \
    X(void, glNewList, (GLuint list, GLenum mode), (list, mode))                                         \
    X(void, glEndList, (), ())                                                                           \
    X(void, glBitmap,                                                                                    \
      (GLsizei width, GLsizei height, GLfloat xorig, GLfloat yorig, GLfloat xmove, GLfloat ymove,        \
       const GLubyte* bitmap),                                                                           \
      (width, height, xorig, yorig, xmove, ymove, bitmap))                                               \
    X(void, glListBase, (GLuint base), (base))                                                           \
    X(void, glCallList, (GLuint list), (list))                                                           \
    X(void, glCallLists, (GLsizei n, GLenum type, const GLvoid* lists), (n, type, lists))                \
    X(void, glRasterPos2f, (GLfloat x, GLfloat y), (x, y))                                               \
    X(void, glGetFloatv, (GLenum pname, GLfloat* params), (pname, params))                               \
    X(void, glPixelStorei, (GLenum pname, GLint param), (pname, param))                                  \
    X(void, glReadPixels,                                                                                \
      (GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, GLvoid* pixels),     \
      (x, y, width, height, format, type, pixels))                                                       \
    X(void, glFlush, (), ())                                                                             \
    X(void, glFinish, (), ())

// The ES 3 functions the layer draws with: (result, name as the loader knows it, member,
// parameters).
#define GLFIXED_ES_FUNCTIONS(X)                                                                          \
    X(void, "glEnable", Enable, (GLenum))                                                                \
    X(void, "glDisable", Disable, (GLenum))                                                              \
    X(void, "glBlendFunc", BlendFunc, (GLenum, GLenum))                                                  \
    X(void, "glClear", Clear, (GLbitfield))                                                              \
    X(void, "glViewport", Viewport, (GLint, GLint, GLsizei, GLsizei))                                    \
    X(void, "glGetIntegerv", GetIntegerv, (GLenum, GLint*))                                              \
    X(void, "glGetFloatv", GetFloatv, (GLenum, GLfloat*))                                                \
    X(void, "glActiveTexture", ActiveTexture, (GLenum))                                                  \
    X(void, "glGenTextures", GenTextures, (GLsizei, GLuint*))                                            \
    X(void, "glBindTexture", BindTexture, (GLenum, GLuint))                                              \
    X(void, "glTexImage2D", TexImage2D,                                                                  \
      (GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const GLvoid*))                    \
    X(void, "glTexSubImage2D", TexSubImage2D,                                                            \
      (GLenum, GLint, GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, const GLvoid*))                    \
    X(void, "glTexParameteri", TexParameteri, (GLenum, GLenum, GLint))                                   \
    X(void, "glPixelStorei", PixelStorei, (GLenum, GLint))                                               \
    X(GLuint, "glCreateShader", CreateShader, (GLenum))                                                  \
    X(void, "glShaderSource", ShaderSource, (GLuint, GLsizei, const GLchar* const*, const GLint*))       \
    X(void, "glCompileShader", CompileShader, (GLuint))                                                  \
    X(void, "glGetShaderiv", GetShaderiv, (GLuint, GLenum, GLint*))                                      \
    X(void, "glGetShaderInfoLog", GetShaderInfoLog, (GLuint, GLsizei, GLsizei*, GLchar*))                \
    X(GLuint, "glCreateProgram", CreateProgram, ())                                                      \
    X(void, "glAttachShader", AttachShader, (GLuint, GLuint))                                            \
    X(void, "glLinkProgram", LinkProgram, (GLuint))                                                      \
    X(void, "glGetProgramiv", GetProgramiv, (GLuint, GLenum, GLint*))                                    \
    X(void, "glGetProgramInfoLog", GetProgramInfoLog, (GLuint, GLsizei, GLsizei*, GLchar*))              \
    X(void, "glUseProgram", UseProgram, (GLuint))                                                        \
    X(GLint, "glGetUniformLocation", GetUniformLocation, (GLuint, const GLchar*))                        \
    X(void, "glUniform1i", Uniform1i, (GLint, GLint))                                                    \
    X(void, "glUniform3fv", Uniform3fv, (GLint, GLsizei, const GLfloat*))                                \
    X(void, "glUniform4fv", Uniform4fv, (GLint, GLsizei, const GLfloat*))                                \
    X(void, "glUniformMatrix3fv", UniformMatrix3fv, (GLint, GLsizei, GLboolean, const GLfloat*))         \
    X(void, "glUniformMatrix4fv", UniformMatrix4fv, (GLint, GLsizei, GLboolean, const GLfloat*))         \
    X(void, "glGenBuffers", GenBuffers, (GLsizei, GLuint*))                                              \
    X(void, "glBindBuffer", BindBuffer, (GLenum, GLuint))                                                \
    X(void, "glBufferData", BufferData, (GLenum, GLsizeiptr, const void*, GLenum))                       \
    X(void, "glGenVertexArrays", GenVertexArrays, (GLsizei, GLuint*))                                    \
    X(void, "glBindVertexArray", BindVertexArray, (GLuint))                                              \
    X(void, "glEnableVertexAttribArray", EnableVertexAttribArray, (GLuint))                              \
    X(void, "glDisableVertexAttribArray", DisableVertexAttribArray, (GLuint))                            \
    X(void, "glVertexAttrib3f", VertexAttrib3f, (GLuint, GLfloat, GLfloat, GLfloat))                     \
    X(void, "glVertexAttribPointer", VertexAttribPointer, (GLuint, GLint, GLenum, GLboolean, GLsizei, const void*)) \
    X(void, "glDrawElements", DrawElements, (GLenum, GLsizei, GLenum, const void*))                      \
    X(void, "glDrawArrays", DrawArrays, (GLenum, GLint, GLsizei))                                        \
    X(void, "glReadPixels", ReadPixels, (GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, GLvoid*))       \
    X(void, "glFlush", Flush, ())                                                                        \
    X(void, "glFinish", Finish, ())                                                                      \
    X(GLenum, "glGetError", GetError, ())

namespace glfixed {

// One function per GL 1.1 entry point: the layer's own, or the real legacy ones.
struct Gl11 {
#define GLFIXED_MEMBER(result, name, params, args) result(GLAPIENTRY* name) params;
    GLFIXED_GL11_ENTRIES(GLFIXED_MEMBER)
#undef GLFIXED_MEMBER
};

// The real ES 3 functions.
struct Es3 {
#define GLFIXED_MEMBER(result, loader_name, member, params) result(GLAPIENTRY* member) params;
    GLFIXED_ES_FUNCTIONS(GLFIXED_MEMBER)
#undef GLFIXED_MEMBER
};

// The layer's implementation (layer_entries.cpp), drawing with `es`; sets up its GPU objects.
// False, with a line on stderr, when the shaders do not build.
bool layer_start(const Es3& es);
const Gl11& layer_entries();
void layer_flush();

}  // namespace glfixed
