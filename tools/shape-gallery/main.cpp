// shape-gallery OUT.png: renders the eight prototype shapes into one PNG
// contact sheet, for a person to check that each model looks right.
#include "GallerySheet.h"

#include "image/PngFile.h"
#include "platform/Window.h"

#include <GL/freeglut.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: shape-gallery OUT.png\n");
        return 2;
    }
    if (!platform::DisplayAvailable()) {
        std::fprintf(stderr,
                     "shape-gallery needs an X display, and none could be opened.\n"
                     "Run it under a private virtual display:\n"
                     "  scripts/with-xvfb.sh build/bin/shape-gallery %s\n",
                     argv[1]);
        return 1;
    }
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(gallery::SheetWidth, gallery::SheetHeight);
    glutCreateWindow("shape-gallery");
    glutDisplayFunc([] {});
    glutMainLoopEvent();
    const auto pixels = gallery::RenderSheet();
    const std::string failure =
        WriteRgbPng(argv[1], gallery::SheetWidth, gallery::SheetHeight, pixels, PixelLayout::Rgb);
    if (!failure.empty()) {
        std::fprintf(stderr, "shape-gallery: %s: %s\n", argv[1], failure.c_str());
        return 1;
    }
    std::printf("wrote %s (%d x %d)\n", argv[1], gallery::SheetWidth, gallery::SheetHeight);
    return 0;
}
