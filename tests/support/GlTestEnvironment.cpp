#include "tests/support/GlTestEnvironment.h"

#include "tests/support/XServer.h"

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>

namespace gltest {
namespace {

int window = 0;

class Environment : public ::testing::Environment {
public:
    void SetUp() override {
        // An X server of this process's own: windows of tests running side
        // by side never overlap.
        testsupport::UsePrivateDisplay();
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "GL tests need a display; run them through scripts/test.sh";
        int argc = 1;
        char name[] = "gltest";
        char* argv[] = {name, nullptr};
        glutInit(&argc, argv);
        glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
        glutInitWindowSize(WindowWidth, WindowHeight);
        window = glutCreateWindow("gltest");
        glutDisplayFunc([] {});
        glutMainLoopEvent();
        ResetState();
    }
};

}  // namespace

int Window() { return window; }

void ResetState() {
    glViewport(0, 0, WindowWidth, WindowHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glDrawBuffer(GL_BACK);
    glReadBuffer(GL_BACK);
}

}  // namespace gltest

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new gltest::Environment);
    return RUN_ALL_TESTS();
}
