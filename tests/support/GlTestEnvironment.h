#pragma once

// A real GLUT window with a current OpenGL context for the whole test run,
// created once before the first test. Tests draw into the back buffer and
// read it back before any swap (reading the front buffer after a swap yields
// zeros under Xvfb).
namespace gltest {

constexpr int WindowWidth = 320;
constexpr int WindowHeight = 240;

// The GLUT window id of the test window.
int Window();

// Resets the GL state that tests commonly change: identity matrices, viewport
// of the whole window, lighting off, depth test off, culling off, blending off.
void ResetState();

}  // namespace gltest
