// Composition of every frame: status line, maze, key help and title line.
#pragma once

// Capacity of the title line, terminating NUL included.
constexpr int kTitleLineSize = 256;

// "<window title> ---FPS: <fps>", cut to fit the buffer.
void FormatTitleLine(char (&line)[kTitleLineSize], int fps);

// The frame callback: steps the explorer once, draws the whole frame and
// presents it. Returns fps.
int DrawFrame(int fps);
