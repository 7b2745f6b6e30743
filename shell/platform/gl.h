// The OpenGL 1.1 header, with the one extension token the program uses.
#pragma once

#ifdef _WIN32
// The Windows SDK's GL/gl.h needs the calling-convention macros of windows.h.
#include <windows.h>
#endif

#include <GL/gl.h>

#ifndef GL_BGR_EXT
#define GL_BGR_EXT 0x80E0
#endif
