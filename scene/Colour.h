#pragma once

// An RGBA colour whose `rgba` always points at its own components, so that it
// can be handed to OpenGL as one argument.
struct Colour {
    float r = 0, g = 0, b = 0, a = 0;
    float* rgba = &r;

    Colour(float red, float green, float blue, float alpha);
    Colour(const Colour& other);
    Colour& operator=(const Colour& other);
};

extern const Colour Red;
extern const Colour Green;
extern const Colour Blue;
extern const Colour Yellow;
extern const Colour Cyan;
extern const Colour Magenta;
extern const Colour White;
extern const Colour Black;
extern const Colour DarkRed;
extern const Colour DarkGreen;
extern const Colour DarkBlue;
extern const Colour DarkYellow;
extern const Colour DarkCyan;
extern const Colour DarkMagenta;
extern const Colour Grey;
extern const Colour Olive;
extern const Colour Brown;
extern const Colour Tan;
extern const Colour DarkGrey;
extern const Colour Orange;
extern const Colour Shadow;
