#include "tests/framework/MatrixMath.h"
#include "tests/framework/RecordingApp.h"

namespace {

using namespace matrix;

const double DegreesPerRadian = 180 / Pi;

class ProjectionTest : public AppTest {
protected:
    Matrix WindowPerspective(double nearClip, double farClip) const {
        return Perspective(35, double(app->viewport[2]) / app->viewport[3], nearClip, farClip);
    }

    // The frustum of the rectangle y -18..18, z -2.6..23.4 in the plane x = 25,
    // seen from an eye beyond it, with the near plane at distance 1.
    static Matrix FixedFrame(double x, double y, double z) {
        const double s = 1 / (x - 25);
        return Frustum(s * (-18 - y), s * (18 - y), s * (-2.6 - z), s * (23.4 - z), 1, 300);
    }

    static Matrix ZUp() { return Multiply(RotateAxis(0, -90), RotateAxis(2, 90)); }

    static Matrix FreeView(double x, double y, double z, float azimuth, float elevation, float roll) {
        Matrix m = Multiply(ZUp(), RotateAxis(0, 180 - roll * DegreesPerRadian));
        m = Multiply(m, RotateAxis(1, -elevation * DegreesPerRadian));
        m = Multiply(m, RotateAxis(2, -azimuth * DegreesPerRadian));
        return Multiply(m, Translate(-x, -y, -z));
    }
};

TEST_F(ProjectionTest, PerspectiveUsesTheWindowAspectAndTheClipRange) {
    int glViewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, glViewport);
    EXPECT_EQ(std::vector<int>(app->viewport, app->viewport + 4), std::vector<int>({0, 0, 640, 480}));
    EXPECT_EQ(std::vector<int>(glViewport, glViewport + 4), std::vector<int>({0, 0, 640, 480}));
    EXPECT_TRUE(Near(Read(GL_PROJECTION_MATRIX).data(), WindowPerspective(0.1, 200.1)));

    ASSERT_TRUE(app->SetClipRange(0.5f, 500));
    EXPECT_TRUE(Near(Read(GL_PROJECTION_MATRIX).data(), WindowPerspective(0.1, 200.1)))
        << "the clip range takes effect with the next projection update";
    app->UpdateProjection();
    EXPECT_TRUE(Near(Read(GL_PROJECTION_MATRIX).data(), WindowPerspective(0.5, 500)));
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
}

TEST_F(ProjectionTest, PickPassNarrowsTheViewToHalfAPixelAroundThePointer) {
    app->renderMode = GL_SELECT;
    app->pickX = 100;
    app->pickY = 200;
    app->UpdateProjection();
    app->renderMode = GL_RENDER;

    Matrix expected = Multiply(PickRegion(100, 200, 0.5, 0.5, app->viewport), WindowPerspective(0.1, 200.1));
    EXPECT_TRUE(Near(Read(GL_PROJECTION_MATRIX).data(), expected, 1e-4));
}

TEST_F(ProjectionTest, FixedFrameProjectsTheFixedRectangleSeenFromTheEye) {
    SetEye(45, 3, 5);
    app->SetViewType(ViewType::FixedFrame);

    EXPECT_TRUE(Near(Read(GL_PROJECTION_MATRIX).data(), FixedFrame(45, 3, 5)));
}

TEST_F(ProjectionTest, FixedFrameFromThePlaneItselfIsRejectedAndLeavesTheIdentity) {
    SetEye(25, 3, 5);
    app->SetViewType(ViewType::FixedFrame);

    EXPECT_TRUE(Near(Read(GL_PROJECTION_MATRIX).data(), Identity()));
    EXPECT_EQ(glGetError(), GLenum(GL_INVALID_VALUE));
}

TEST_F(ProjectionTest, ZeroHeightWindowLeavesTheProjectionAlone) {
    app->bannerOn = false;  // the banner sets a pixel projection of its own
    Matrix before = Read(GL_PROJECTION_MATRIX);

    app->Reshape(640, 0);

    EXPECT_EQ(app->viewport[3], 0);
    EXPECT_TRUE(Near(Read(GL_PROJECTION_MATRIX).data(), before));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    app->Reshape(320, 480);
    EXPECT_TRUE(Near(Read(GL_PROJECTION_MATRIX).data(), Perspective(35, 320.0 / 480, 0.1, 200.1)));
}

TEST_F(ProjectionTest, ZUpMatrixLooksAlongXWithYLeftAndZUp) {
    EXPECT_TRUE(Near(app->zUpMatrix, ZUp()));

    Vec forward = TransformDirection(app->zUpMatrix, {1, 0, 0});
    Vec left = TransformDirection(app->zUpMatrix, {0, 1, 0});
    Vec up = TransformDirection(app->zUpMatrix, {0, 0, 1});
    EXPECT_NEAR(forward.z, -1, 1e-6);
    EXPECT_NEAR(left.x, -1, 1e-6);
    EXPECT_NEAR(up.y, 1, 1e-6);
}

TEST_F(ProjectionTest, LookAtViewLooksFromTheEyeAtTheCentreWithZUp) {
    SetEye(5, -7, 3);
    app->lookAtCentre[0] = 1;
    app->lookAtCentre[1] = 2;
    app->lookAtCentre[2] = 0.5f;

    app->Display();

    EXPECT_TRUE(Near(app->modelviewMatrix, LookAt({5, -7, 3}, {1, 2, 0.5}, {0, 0, 1})));
    EXPECT_TRUE(Near(Read(GL_MODELVIEW_MATRIX).data(), Identity())) << "the scene pass restores the modelview";
}

TEST_F(ProjectionTest, FreeViewTurnsByThePoseAnglesAboutTheEye) {
    SetEye(1, 2, 3);
    app->azimuth = 0.3f;
    app->elevation = 1.2f;
    app->roll = 0.1f;
    app->SetViewType(ViewType::FreeView);

    app->Display();

    EXPECT_TRUE(Near(app->modelviewMatrix, FreeView(1, 2, 3, 0.3f, 1.2f, 0.1f)));
}

TEST_F(ProjectionTest, FixedFrameMirrorsTheEyeBeforeTheFrameIsDrawn) {
    SetEye(150, 4, 6);
    app->SetViewType(ViewType::FixedFrame);

    app->Display();

    Matrix expected = Multiply(Multiply(ZUp(), RotateAxis(2, 180)), Translate(-0.25 * 50, -0.25 * -4, -0.25 * 6));
    EXPECT_TRUE(Near(app->modelviewMatrix, expected));
    EXPECT_TRUE(Near(app->projectionMatrix, FixedFrame(50, -4, 6)));
}

TEST_F(ProjectionTest, RenderFromPoseDrawsAFreeViewAndKeepsTheViewType) {
    app->RenderFromPose(1, 2, 3, 0.3f, 1.2f, 0.1f);

    EXPECT_TRUE(Near(app->modelviewMatrix, FreeView(1, 2, 3, 0.3f, 1.2f, 0.1f)));
    EXPECT_EQ(app->viewType, ViewType::LookAtCentre);
    EXPECT_FLOAT_EQ(app->elevation, 1.2f);
    EXPECT_EQ(app->Count("Display"), 0) << "the framework's own frame, not the derived one";
}

}  // namespace
