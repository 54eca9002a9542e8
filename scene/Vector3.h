#pragma once

struct Vector3 {
    float x = 0, y = 0, z = 0;

    Vector3() = default;
    Vector3(float vx, float vy, float vz) : x(vx), y(vy), z(vz) {}

    Vector3& Set(float vx, float vy, float vz) {
        x = vx;
        y = vy;
        z = vz;
        return *this;
    }
    Vector3 operator-(const Vector3& other) const { return {x - other.x, y - other.y, z - other.z}; }
    Vector3 Cross(const Vector3& b) const { return {y * b.z - z * b.y, z * b.x - x * b.z, x * b.y - y * b.x}; }
};
