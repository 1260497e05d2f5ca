// tools/assetgen/pictures_textures.cpp — the 256x256 textures: four environment maps
// (colorenv2, bluenv, bronze, rainbow) and the voxel block (blokk).
//
// An environment map is looked up by the eye-space normal: u = 0.5 + 0.5 nx,
// v = 0.5 + 0.5 ny with v = 0 the top row, so the bottom of the picture is what faces looking
// up see. Each map is painted as a mirror ball: for every texel the normal gives the
// reflected view ray, and a small sky model colours that ray (sky towards the bottom, ground
// towards the top, the horizon across the middle). Texels outside the inscribed disc repeat
// the rim, so the smaller mip levels stay clean.
#include <algorithm>
#include <cmath>

#include "tools/assetgen/pictures_parts.h"

using namespace paint;

namespace pics {

namespace {

struct Dir {
    float x, y, z;  // y up, z towards the viewer
};

float dot(Dir a, Dir b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Dir normalised(Dir d) {
    float l = std::sqrt(dot(d, d));
    return {d.x / l, d.y / l, d.z / l};
}

// Paints a mirror-ball map: sky(ray) gives the colour seen along the reflected ray.
// Four samples per texel keep the rim and sharp features smooth.
template <typename Sky> Canvas mirrorBall(Sky sky) {
    Canvas c = newCanvas(256, 256);
    const float offs[4][2] = {{0.25f, 0.25f}, {0.75f, 0.25f}, {0.25f, 0.75f}, {0.75f, 0.75f}};
    fillWith(c, [&](int x, int y) {
        Rgba acc{0, 0, 0, 1};
        for (const auto& o : offs) {
            float nx = (x + o[0]) / 128.0f - 1, ny = (y + o[1]) / 128.0f - 1;
            float r2 = nx * nx + ny * ny;
            if (r2 > 0.995f) {
                float k = std::sqrt(0.995f / r2);
                nx *= k;
                ny *= k;
                r2 = 0.995f;
            }
            float nz = std::sqrt(1 - r2);
            // Screen y grows downwards while the normal's y grows upwards: row 0 is ny = -1.
            Dir n{nx, ny, nz};
            Dir ray{2 * nz * n.x, 2 * nz * n.y, 2 * nz * n.z - 1};
            Rgba s = sky(normalised(ray));
            acc.r += s.r * 0.25f;
            acc.g += s.g * 0.25f;
            acc.b += s.b * 0.25f;
        }
        return acc;
    });
    return c;
}

// Direction -> a point on the sky dome, for noise that does not smear at the horizon.
void domeCoords(Dir d, float* u, float* v) {
    float k = 1.0f / (std::fabs(d.y) + 0.25f);
    *u = d.x * k;
    *v = d.z * k;
}

}  // namespace

// Scene 2's boxes: the morning world mirrored in richer, deeper colours than the pastel
// landscape behind them, so the boxes stand out against it: a deep blue sky over a warm
// horizon, a dark band of violet hills and trees at the horizon, and a dark green meadow
// with saturated beds of flowers below.
Canvas paintEnvMorning() {
    // The sun stands high behind the boxes, so the faces turned to the viewer mirror the sky
    // opposite it, where a rainbow arcs over the horizon.
    Dir sun = normalised({0.3f, 0.33f, -0.9f});
    Dir antisun{-sun.x, -sun.y, -sun.z};
    return mirrorBall([&](Dir d) {
        Rgba col;
        if (d.y > 0) {
            Rgba horizon = rgb(0xffa860), mid = rgb(0x2a86f0), zenith = rgb(0x0a1f8a);
            col = d.y < 0.25f ? mix(horizon, mid, smoothstep(0.0f, 0.25f, d.y)) : mix(mid, zenith, smoothstep(0.25f, 0.85f, d.y));
            float u, v;
            domeCoords(d, &u, &v);
            float cloud = smoothstep(0.58f, 0.78f, fbm(u * 60 + 100, v * 60 + 100, 40, 4, 21));
            col = mix(col, rgb(0xfff0e8), cloud * 0.6f * smoothstep(0.02f, 0.15f, d.y));
            // Far hills and trees against the horizon, dark violet with a lit crest.
            float az = std::atan2(d.x, d.z);
            float hill = 0.07f + 0.05f * std::sin(az * 5) + 0.03f * std::sin(az * 13 + 1) +
                         0.015f * std::sin(az * 41 + 2);
            // The bow: about 42 degrees from the point opposite the sun, red outside.
            float angle = std::acos(std::clamp(dot(d, antisun), -1.0f, 1.0f)) * 57.29578f;
            float bow = smoothstep(39.0f, 40.5f, angle) * (1 - smoothstep(43.5f, 45.0f, angle));
            if (bow > 0) col = mix(col, hsv(0.78f * (1 - std::clamp((angle - 39.5f) / 5.0f, 0.0f, 1.0f)), 0.85f, 1.0f), bow * 0.7f);
            if (d.y < hill) {
                float k = d.y / std::max(hill, 0.01f);
                col = mix(rgb(0x1c0c3a), rgb(0x5a2a8a), k);
                col = mix(col, rgb(0xff7ab0), smoothstep(0.85f, 1.0f, k) * 0.6f);
            }
        } else {
            // The meadow below the boxes (the faces turned to the camera mirror it): deep
            // green darkening towards the foot of the boxes, with saturated beds of pink,
            // yellow and violet flowers, and a dark line of hedges at the horizon.
            float depth = smoothstep(0.0f, 0.7f, -d.y);
            col = mix(rgb(0x3ab03a), rgb(0x0e5028), depth);
            float u, v;
            domeCoords(d, &u, &v);
            float bed = fbm(u * 90 + 300, v * 90, 36, 3, 22);
            float hue = fbm(u * 90 + 900, v * 90, 60, 2, 23);
            Rgba flower = hsv(0.72f + hue * 0.55f, 0.85f, 0.95f);
            col = mix(col, flower, smoothstep(0.5f, 0.62f, bed) * 0.8f);
            col = mix(col, rgb(0x0c2a1c), (1 - smoothstep(0.0f, 0.06f, -d.y)) * 0.8f);
        }
        float s = dot(d, sun);
        col = mix(col, rgb(0xfff6d8), smoothstep(0.93f, 0.985f, s));
        col.r = std::min(1.0f, col.r + 0.35f * std::pow(std::max(s, 0.0f), 24.0f));
        col.g = std::min(1.0f, col.g + 0.3f * std::pow(std::max(s, 0.0f), 24.0f));
        return col;
    });
}

// Scene 3's chrome sphere: a deep-blue studio — black-blue floor, an electric cyan horizon,
// dark sky with two bright soft boxes and a ring light that streak across the ripples.
Canvas paintEnvBlue() {
    return mirrorBall([&](Dir d) {
        Rgba col;
        if (d.y >= 0) col = mix(rgb(0x1b3f9a), rgb(0x040a26), smoothstep(0.0f, 0.7f, d.y));
        else col = mix(rgb(0x0a1850), rgb(0x01030c), smoothstep(0.0f, 0.5f, -d.y));
        // Floor tiles fading into the distance.
        if (d.y < 0) {
            float k = 1.0f / std::max(-d.y, 0.05f);
            float gx = std::fabs(std::fmod(d.x * k * 2 + 100.5f, 1.0f) - 0.5f);
            float gz = std::fabs(std::fmod(d.z * k * 2 + 100.5f, 1.0f) - 0.5f);
            float line = std::max(smoothstep(0.44f, 0.49f, gx), smoothstep(0.44f, 0.49f, gz));
            col = mix(col, rgb(0x2fa8ff), line * 0.5f * smoothstep(0.02f, 0.3f, -d.y));
        }
        float band = std::exp(-std::pow(d.y / 0.05f, 2.0f));
        col = mix(col, rgb(0x7ff4ff), band * 0.9f);
        // Soft boxes: bright rounded rectangles in the upper sky.
        auto box = [&](Dir centre, float w, float h) {
            Dir c = normalised(centre);
            float a = std::atan2(d.x, d.z) - std::atan2(c.x, c.z);
            a = std::remainder(a, 6.2831853f);
            float e = d.y - c.y;
            return smoothstep(1.0f, 0.8f, std::max(std::fabs(a) / w, std::fabs(e) / h));
        };
        float light = std::max(box({0.6f, 0.5f, 0.6f}, 0.35f, 0.12f), box({-0.8f, 0.35f, -0.2f}, 0.25f, 0.2f));
        col = mix(col, rgb(0xeaf6ff), light);
        float ring = std::exp(-std::pow((d.y - 0.82f) / 0.025f, 2.0f));
        col = mix(col, rgb(0xa8c8ff), ring * 0.8f);
        return col;
    });
}

// Scene 4's object: polished bronze — a dark red-brown floor, a hot gold horizon and a warm
// sky with one bright window of light; every colour tinted by the metal.
Canvas paintEnvBronze() {
    Dir sun = normalised({0.5f, 0.6f, 0.6f});
    return mirrorBall([&](Dir d) {
        float lum;
        if (d.y >= 0) lum = 0.55f - 0.35f * smoothstep(0.0f, 0.8f, d.y);
        else lum = 0.25f - 0.2f * smoothstep(0.0f, 0.5f, -d.y);
        lum += 0.9f * std::exp(-std::pow(d.y / 0.07f, 2.0f));
        float u, v;
        domeCoords(d, &u, &v);
        lum += 0.12f * (fbm(u * 50 + 40, v * 50, 25, 3, 41) - 0.5f);
        float s = dot(d, sun);
        lum += 1.2f * smoothstep(0.9f, 0.97f, s);
        Rgba dark = rgb(0x2a0804), metal = rgb(0xc0702a), hot = rgb(0xffe6a0);
        lum = std::clamp(lum, 0.0f, 1.2f);
        if (lum < 0.6f) return mix(dark, metal, lum / 0.6f);
        return mix(metal, hot, std::min(1.0f, (lum - 0.6f) / 0.6f));
    });
}

// The tunnel's skin (and the greeting box's mirror): rainbow stripes running diagonally,
// a glowing grid every 32 texels and a few sparkles. Tiles seamlessly in u and v.
Canvas paintRainbow() {
    Canvas c = newCanvas(256, 256);
    fillWith(c, [](int x, int y) {
        float hue = (x + y) / 256.0f;
        Rgba col = hsv(hue, 0.8f, 0.95f);
        float gx = std::min(x % 32, 32 - x % 32) / 32.0f, gy = std::min(y % 32, 32 - y % 32) / 32.0f;
        float g = std::min(gx, gy);
        float cell = 0.75f + 0.25f * ((x / 32 + y / 32) % 2);
        col = mix(mix(rgb(0x000000), col, cell), rgb(0xffffff), std::exp(-g * g * 900) * 0.8f);
        float shade = 0.85f + 0.15f * fbm(x, y, 32, 3, 51, 8);
        return Rgba{col.r * shade, col.g * shade, col.b * shade, 1};
    });
    Rng rng(52);
    for (int i = 0; i < 18; ++i) {
        float x = rng.range(0, 256), y = rng.range(0, 256);
        // Drawn nine times around the tile so sparkles near an edge continue across it.
        for (int a = -1; a <= 1; ++a)
            for (int b = -1; b <= 1; ++b) addGlow(c, x + a * 256, y + b * 256, rng.range(0, 1) < 0.5f ? 6 : 9, rgb(0xffffff), 0.8f);
    }
    return c;
}

// One voxel face: a bright bevelled block with a dark seam, so a wall of voxels reads as
// separate pixels at any size.
Canvas paintBlock() {
    Canvas c = newCanvas(256, 256);
    fillWith(c, [](int x, int y) {
        const float edge = 28;
        float l = x, t = y, r = 255 - x, b = 255 - y;
        float m = std::min(std::min(l, t), std::min(r, b));
        Rgba face = mix(rgb(0xffffff), rgb(0xd8e6ff), (x + y) / 510.0f);
        float sheen = 0.12f * std::exp(-std::pow((x - y) / 60.0f, 2.0f));
        face = mix(face, rgb(0xffffff), sheen);
        if (m < 8) return rgb(0x2a2450);
        if (m < edge) {
            Rgba bevel;
            if (m == t || m == l) bevel = m == t ? rgb(0xffffff) : rgb(0xf0f4ff);
            else bevel = m == b ? rgb(0x8c92c8) : rgb(0xa8aede);
            return mix(bevel, face, smoothstep(edge - 4, edge, m) * 0.3f);
        }
        return face;
    });
    return c;
}

}  // namespace pics
