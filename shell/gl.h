// The OpenGL 1.1 header, with the one extension token the program uses.
#pragma once

#include <GL/gl.h>

#ifndef GL_BGR_EXT
#define GL_BGR_EXT 0x80E0
#endif
