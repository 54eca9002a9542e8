#include "scene/Colour.h"

Colour::Colour(float red, float green, float blue, float alpha) : r(red), g(green), b(blue), a(alpha) {}

Colour::Colour(const Colour& other) : r(other.r), g(other.g), b(other.b), a(other.a) {}

Colour& Colour::operator=(const Colour& other) {
    r = other.r;
    g = other.g;
    b = other.b;
    a = other.a;
    rgba = &r;
    return *this;
}

const Colour Red(1, 0, 0, 1);
const Colour Green(0, 1, 0, 1);
const Colour Blue(0, 0, 1, 1);
const Colour Yellow(1, 1, 0, 1);
const Colour Cyan(0, 1, 1, 1);
const Colour Magenta(1, 0, 1, 1);
const Colour White(1, 1, 1, 1);
const Colour Black(0, 0, 0, 1);
const Colour DarkRed(0.5f, 0, 0, 1);
const Colour DarkGreen(0, 0.5f, 0, 1);
const Colour DarkBlue(0, 0, 0.5f, 1);
const Colour DarkYellow(0.5f, 0.5f, 0, 1);
const Colour DarkCyan(0, 0.5f, 0.5f, 1);
const Colour DarkMagenta(0.5f, 0, 0.5f, 1);
const Colour Grey(0.5f, 0.5f, 0.5f, 1);
const Colour Olive(0.3f, 0.3f, 0, 1);
const Colour Brown(0.6f, 0.3f, 0.1f, 1);
const Colour Tan(1, 0.8f, 0.6f, 1);
const Colour DarkGrey(0.2f, 0.2f, 0.2f, 1);
const Colour Orange(1, 0.7f, 0.1f, 1);
const Colour Shadow(0.4f, 0.4f, 0.4f, 0.4f);
