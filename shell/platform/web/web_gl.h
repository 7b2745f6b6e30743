// OpenGL 1.1 in the browser: the calls the program makes that WebGL under
// emscripten's legacy GL emulation lacks, or takes in another form, are
// defined in web_gl.cpp under their OpenGL names, so that the code above the
// seam keeps the calls it makes on the desktop. Only the browser build
// compiles it.
//
// - glRecti draws a quad, glVertex3d passes on as glVertex3f.
// - glTexImage2D takes the desktop's internal formats 1 to 4 and BGR pixels,
//   which it swaps to RGB; WebGL knows neither.
// - Display lists hold bitmaps: glBitmap between glNewList and glEndList
//   puts the bitmap into a texture atlas, and glCallLists draws the bitmaps
//   of the lists it calls as textured quads at the raster position, pixel
//   for pixel where glBitmap would set them, in the colour taken by
//   glRasterPos2i, advancing the position as glBitmap does. An alpha test
//   keeps the unset pixels from writing colour or depth. glListBase,
//   glGenLists and glDeleteLists work on these lists, and glPushAttrib and
//   glPopAttrib save and restore the list base (GL_LIST_BIT).
// - WebGL has no default texture object: WebGlStart makes one, which the
//   texture calls fill while no other is bound, as on the desktop.
#pragma once

// Sets up the substitutes in the context just made current.
void WebGlStart();

// Frees what WebGlStart and the display lists made in the context, before it
// goes.
void WebGlStop();
