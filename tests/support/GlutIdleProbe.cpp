#include "tests/support/GlutIdleProbe.h"

#include <GL/freeglut.h>

#include <chrono>
#include <dlfcn.h>
#include <thread>

namespace {

glut_probe::Callback installed = nullptr;
int changes = 0;

using IdleSetter = void (*)(void (*)());

IdleSetter FreeglutIdleFunc() {
    static const IdleSetter real = reinterpret_cast<IdleSetter>(dlsym(RTLD_NEXT, "glutIdleFunc"));
    return real;
}

}  // namespace

extern "C" void glutIdleFunc(void (*callback)()) {
    installed = callback;
    ++changes;
    if (FreeglutIdleFunc()) FreeglutIdleFunc()(callback);
}

namespace glut_probe {

Callback InstalledIdle() { return installed; }

int IdleChanges() { return changes; }

void RunCycle(int pauseMicroseconds) {
    glutMainLoopEvent();
    if (installed)
        installed();
    else
        std::this_thread::sleep_for(std::chrono::microseconds(pauseMicroseconds));
}

void RunCycles(int count, int pauseMicroseconds) {
    for (int i = 0; i < count; ++i) RunCycle(pauseMicroseconds);
}

}  // namespace glut_probe
