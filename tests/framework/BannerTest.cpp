#include "tests/framework/RecordingApp.h"

#include <cstdlib>

namespace {

struct Frame {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;

    int At(int x, int y, int channel) const { return rgb[(y * width + x) * 3 + channel]; }
};

class BannerTest : public AppTest {
protected:
    // Draws one frame and reads it back before the swap, while it is still
    // in the back buffer.
    Frame DrawFrame() {
        Frame frame;
        app->beforeSwap = [&frame] {
            GLint viewport[4];
            glGetIntegerv(GL_VIEWPORT, viewport);
            frame.width = viewport[2];
            frame.height = viewport[3];
            frame.rgb.resize(size_t(frame.width) * frame.height * 3);
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glReadBuffer(GL_BACK);
            glReadPixels(0, 0, frame.width, frame.height, GL_RGB, GL_UNSIGNED_BYTE, frame.rgb.data());
        };
        app->Display();
        app->beforeSwap = nullptr;
        return frame;
    }

    static bool Near(int value, int expected) { return std::abs(value - expected) <= 2; }

    // Whether all three channels of the pixel are near `expected`.
    static bool Grey(const Frame& frame, int x, int y, int expected) {
        for (int channel = 0; channel < 3; ++channel)
            if (!Near(frame.At(x, y, channel), expected)) return false;
        return true;
    }
};

const int Background = 153;  // 0.6

TEST_F(BannerTest, FrameWithoutBannerIsTheBackgroundGreyOnly) {
    app->bannerOn = false;

    Frame frame = DrawFrame();

    ASSERT_EQ(frame.width * frame.height, 640 * 480);
    int other = 0;
    for (unsigned char value : frame.rgb) other += !Near(value, Background);
    EXPECT_EQ(other, 0);
}

TEST_F(BannerTest, BannerTextIsHalfTheInverseOfWhatLiesBeneath) {
    struct Case {
        float background;
        int text;
    };
    const Case cases[] = {{0.6f, 51}, {1.0f, 0}, {0.0f, 128}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.background);
        glClearColor(c.background, c.background, c.background, 0);
        const int background = int(c.background * 255 + 0.5f);

        Frame frame = DrawFrame();

        int textPixels = 0, strayPixels = 0, otherPixels = 0;
        for (int y = 0; y < frame.height; ++y)
            for (int x = 0; x < frame.width; ++x) {
                if (Grey(frame, x, y, background)) continue;
                bool inBannerLine = x >= 20 && y >= 20 - 4 && y <= 20 + 14;
                strayPixels += !inBannerLine;
                (Grey(frame, x, y, c.text) ? textPixels : otherPixels) += 1;
            }
        EXPECT_GT(textPixels, 200) << "a line of text";
        EXPECT_EQ(otherPixels, 0);
        EXPECT_EQ(strayPixels, 0) << "the text sits on a line 20 pixels from the bottom left";
    }
}

TEST_F(BannerTest, HelpLevelZeroPrintsTheBaseKeyHelp) {
    StdoutCapture capture;
    bool printed = app->PrintHelp(0);
    std::string text = capture.Text();

    EXPECT_TRUE(printed);
    EXPECT_EQ(text,
              "\n\t-BaseHelp----------------------------------------------"
              "\n\tGeneral:"
              "\n\t     <ESC>\tEnd Program"
              "\n\tView Types:"
              "\n\t       <A>\tLookAt Center."
              "\n\t       <V>\tFree View (use with tracking only)."
              "\n\t       <F>\tFixed Frame (use with tracking only)."
              "\n\tMove Types:"
              "\n\t       <S>\tSpherical."
              "\n\t       <X>\tCartesian."
              "\n\t       <C>\tCylindrical."
              "\n\tToggles:"
              "\n\t   <SPACE>\tToggle Tracking."
              "\n\t       <B>\tToggle Banner."
              "\n\t       <W>\tToggle Window size."
              "\n\t       <T>\tToggle Timing."
              "\n\tHelp:"
              "\n\t       <H>\tPrint this keymapping to console window."
              "\n\t      <F1>\tPrint DETAILED help to console window."
              "\n\t-------------------------------------------------------"
              "\n");
}

TEST_F(BannerTest, OtherHelpLevelsPrintNothing) {
    for (int level : {1, 2, -1}) {
        StdoutCapture capture;
        bool printed = app->PrintHelp(level);
        EXPECT_FALSE(printed) << level;
        EXPECT_EQ(capture.Text(), "") << level;
    }
}

}  // namespace
