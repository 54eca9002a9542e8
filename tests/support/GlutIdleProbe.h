#pragma once

// freeglut cannot tell which idle callback is installed, and only its
// glutMainLoop (which never returns) calls it. This probe defines glutIdleFunc
// in the executable that links it: the program's calls reach that definition,
// which records the callback and forwards to freeglut's own. RunCycle then
// turns the main loop one cycle at a time, as glutMainLoop does: events and
// display requests first, then the idle callback, or a short pause when there
// is none.
//
// Link GlutIdleProbe.cpp into the executable itself (as a source, not from an
// archive), so that its glutIdleFunc is the one every call binds to.
namespace glut_probe {

using Callback = void (*)();

Callback InstalledIdle();
// How many times glutIdleFunc has been called in this process.
int IdleChanges();

void RunCycle(int pauseMicroseconds = 1000);
void RunCycles(int count, int pauseMicroseconds = 1000);

}  // namespace glut_probe
