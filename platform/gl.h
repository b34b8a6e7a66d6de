// The GL and GLU declarations the demo draws with: OpenGL 1.1 immediate mode and gluPerspective.
#pragma once

#include <GL/gl.h>
#include <GL/glu.h>
