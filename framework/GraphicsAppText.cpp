#include "framework/GraphicsApp.h"

#include "scene/Colour.h"

#include <GL/freeglut.h>

#include <cstdio>

void GraphicsApp::DrawText(int x, int y, const char* text) {
    glDisable(GL_LIGHTING);
    for (const char* c = text; *c; ++c) {
        glRasterPos2i(x, y);
        glutBitmapCharacter(GLUT_BITMAP_HELVETICA_12, static_cast<unsigned char>(*c));
        x += glutBitmapWidth(GLUT_BITMAP_HELVETICA_12, static_cast<unsigned char>(*c));
    }
    glFlush();
}

void GraphicsApp::DrawBanner() {
    SetOverlayProjection();
    // Each text pixel becomes half the inverse of what lies beneath, so the
    // banner reads on any background.
    glBlendFunc(GL_ONE_MINUS_DST_COLOR, GL_ZERO);
    glEnable(GL_BLEND);
    glColor4fv(Grey.rgba);
    DrawText(20, 20, bannerText);
    UpdateProjection();
}

bool GraphicsApp::PrintHelp(int level) {
    if (level != 0) return false;
    struct Row {
        const char* key;  // null: a heading printed as it stands
        const char* text;
    };
    static const Row rows[] = {
        {nullptr, "\n\t-BaseHelp----------------------------------------------"},
        {nullptr, "\n\tGeneral:"},
        {"<ESC>", "End Program"},
        {nullptr, "\n\tView Types:"},
        {"<A>", "LookAt Center."},
        {"<V>", "Free View (use with tracking only)."},
        {"<F>", "Fixed Frame (use with tracking only)."},
        {nullptr, "\n\tMove Types:"},
        {"<S>", "Spherical."},
        {"<X>", "Cartesian."},
        {"<C>", "Cylindrical."},
        {nullptr, "\n\tToggles:"},
        {"<SPACE>", "Toggle Tracking."},
        {"<B>", "Toggle Banner."},
        {"<W>", "Toggle Window size."},
        {"<T>", "Toggle Timing."},
        {nullptr, "\n\tHelp:"},
        {"<H>", "Print this keymapping to console window."},
        {"<F1>", "Print DETAILED help to console window."},
        {nullptr, "\n\t-------------------------------------------------------"},
        {nullptr, "\n"},
    };
    for (const Row& row : rows) {
        if (row.key)
            std::printf("\n\t%10s\t%s", row.key, row.text);
        else
            std::printf("%s", row.text);
    }
    return true;
}
