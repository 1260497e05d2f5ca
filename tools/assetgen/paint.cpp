// tools/assetgen/paint.cpp — see paint.h.
#include "tools/assetgen/paint.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "assets/image.h"


namespace paint {

namespace {

float clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "assetgen: %s\n", message.c_str());
    std::exit(1);
}

}  // namespace

Rgba rgb(uint32_t hex, float alpha) {
    return {((hex >> 16) & 255) / 255.0f, ((hex >> 8) & 255) / 255.0f, (hex & 255) / 255.0f, alpha};
}

Rgba mix(Rgba a, Rgba b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Rgba hsv(float hue, float sat, float val, float alpha) {
    float h = (hue - std::floor(hue)) * 6.0f;
    int i = static_cast<int>(h) % 6;
    float f = h - std::floor(h);
    float p = val * (1 - sat), q = val * (1 - sat * f), t = val * (1 - sat * (1 - f));
    switch (i) {
        case 0: return {val, t, p, alpha};
        case 1: return {q, val, p, alpha};
        case 2: return {p, val, t, alpha};
        case 3: return {p, q, val, alpha};
        case 4: return {t, p, val, alpha};
        default: return {val, p, q, alpha};
    }
}

float smoothstep(float e0, float e1, float x) {
    float t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

Canvas newCanvas(int w, int h, Rgba fill) {
    Canvas c;
    c.w = w;
    c.h = h;
    c.p.resize(static_cast<size_t>(w) * h * 4);
    for (size_t i = 0; i < c.p.size(); i += 4) {
        c.p[i] = fill.r * fill.a;
        c.p[i + 1] = fill.g * fill.a;
        c.p[i + 2] = fill.b * fill.a;
        c.p[i + 3] = fill.a;
    }
    return c;
}

void blendPixel(Canvas& c, int x, int y, Rgba col, float coverage) {
    if (x < 0 || y < 0 || x >= c.w || y >= c.h) return;
    float a = clamp01(col.a * coverage);
    float* q = c.at(x, y);
    q[0] = col.r * a + q[0] * (1 - a);
    q[1] = col.g * a + q[1] * (1 - a);
    q[2] = col.b * a + q[2] * (1 - a);
    q[3] = a + q[3] * (1 - a);
}

void addPixel(Canvas& c, int x, int y, Rgba col, float amount) {
    if (x < 0 || y < 0 || x >= c.w || y >= c.h) return;
    float* q = c.at(x, y);
    float k = col.a * amount;
    q[0] = std::min(1.0f, q[0] + col.r * k);
    q[1] = std::min(1.0f, q[1] + col.g * k);
    q[2] = std::min(1.0f, q[2] + col.b * k);
    q[3] = std::min(1.0f, q[3] + k);
    q[3] = std::max(q[3], std::max(q[0], std::max(q[1], q[2])));
}

Rgba pixel(const Canvas& c, int x, int y) {
    if (x < 0 || y < 0 || x >= c.w || y >= c.h) return {0, 0, 0, 0};
    const float* q = c.at(x, y);
    if (q[3] <= 0) return {0, 0, 0, 0};
    return {q[0] / q[3], q[1] / q[3], q[2] / q[3], q[3]};
}

// Calls op(src pixel, dst pixel) for every pixel of src placed at (x, y) that lands on dst.
template <typename Op> static void overlay(Canvas& dst, const Canvas& src, int x, int y, Op op) {
    for (int j = 0; j < src.h; ++j) {
        int dy = y + j;
        if (dy < 0 || dy >= dst.h) continue;
        for (int i = 0; i < src.w; ++i) {
            int dx = x + i;
            if (dx >= 0 && dx < dst.w) op(src.at(i, j), dst.at(dx, dy));
        }
    }
}

void drawCanvas(Canvas& dst, const Canvas& src, int x, int y, float opacity) {
    overlay(dst, src, x, y, [opacity](const float* s, float* d) {
        float a = s[3] * opacity;
        for (int k = 0; k < 3; ++k) d[k] = s[k] * opacity + d[k] * (1 - a);
        d[3] = a + d[3] * (1 - a);
    });
}

void addCanvas(Canvas& dst, const Canvas& src, int x, int y, float amount) {
    overlay(dst, src, x, y, [amount](const float* s, float* d) {
        for (int k = 0; k < 4; ++k) d[k] = std::min(1.0f, d[k] + s[k] * amount);
        d[3] = std::max(d[3], std::max(d[0], std::max(d[1], d[2])));
    });
}

// One horizontal or vertical running-sum box pass over one channel layout.
static void boxPass(std::vector<float>& p, int w, int h, int r, bool horizontal) {
    int len = horizontal ? w : h, lines = horizontal ? h : w;
    std::vector<float> line(static_cast<size_t>(len) * 4);
    float norm = 1.0f / (2 * r + 1);
    for (int l = 0; l < lines; ++l) {
        auto idx = [&](int i) -> size_t {
            i = std::clamp(i, 0, len - 1);
            return horizontal ? (static_cast<size_t>(l) * w + i) * 4 : (static_cast<size_t>(i) * w + l) * 4;
        };
        for (int i = 0; i < len; ++i) {
            size_t s = idx(i);
            for (int k = 0; k < 4; ++k) line[i * 4 + k] = p[s + k];
        }
        float sum[4] = {0, 0, 0, 0};
        for (int i = -r; i <= r; ++i)
            for (int k = 0; k < 4; ++k) sum[k] += line[std::clamp(i, 0, len - 1) * 4 + k];
        for (int i = 0; i < len; ++i) {
            size_t d = idx(i);
            for (int k = 0; k < 4; ++k) p[d + k] = sum[k] * norm;
            int out = std::clamp(i - r, 0, len - 1), in = std::clamp(i + r + 1, 0, len - 1);
            for (int k = 0; k < 4; ++k) sum[k] += line[in * 4 + k] - line[out * 4 + k];
        }
    }
}

void boxBlur(Canvas& c, int radius, int passes) {
    if (radius <= 0) return;
    for (int i = 0; i < passes; ++i) {
        boxPass(c.p, c.w, c.h, radius, true);
        boxPass(c.p, c.w, c.h, radius, false);
    }
}

Vector beginVector(int w, int h) {
    Vector v;
    v.surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    v.cr = cairo_create(v.surface);
    cairo_set_antialias(v.cr, CAIRO_ANTIALIAS_GOOD);
    return v;
}

void endVector(Vector& v, Canvas& dst, int x, int y, bool additive, float amount) {
    cairo_surface_flush(v.surface);
    int w = cairo_image_surface_get_width(v.surface), h = cairo_image_surface_get_height(v.surface);
    int stride = cairo_image_surface_get_stride(v.surface);
    const unsigned char* data = cairo_image_surface_get_data(v.surface);
    Canvas layer = newCanvas(w, h);
    for (int j = 0; j < h; ++j) {
        const uint32_t* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(j) * stride);
        for (int i = 0; i < w; ++i) {
            uint32_t px = row[i];
            float* d = layer.at(i, j);
            d[0] = ((px >> 16) & 255) / 255.0f;
            d[1] = ((px >> 8) & 255) / 255.0f;
            d[2] = (px & 255) / 255.0f;
            d[3] = (px >> 24) / 255.0f;
        }
    }
    if (additive) addCanvas(dst, layer, x, y, amount);
    else drawCanvas(dst, layer, x, y, amount);
    cairo_destroy(v.cr);
    cairo_surface_destroy(v.surface);
    v.cr = nullptr;
    v.surface = nullptr;
}

void setSource(cairo_t* cr, Rgba c) { cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a); }

uint32_t Rng::next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<uint32_t>((z ^ (z >> 31)) >> 32);
}
float Rng::uniform() { return (next() >> 8) * (1.0f / 16777216.0f); }
float Rng::range(float lo, float hi) { return lo + (hi - lo) * uniform(); }
int Rng::below(int n) { return n <= 0 ? 0 : static_cast<int>(next() % static_cast<uint32_t>(n)); }

float hash2(int x, int y, uint32_t seed) {
    uint32_t h = static_cast<uint32_t>(x) * 0x8DA6B343u ^ static_cast<uint32_t>(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 13;
    h *= 0x5BD1E995u;
    h ^= h >> 15;
    return (h >> 8) * (1.0f / 16777216.0f);
}

float valueNoise(float x, float y, float cell, uint32_t seed, int period) {
    float fx = x / cell, fy = y / cell;
    int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy));
    float tx = fx - x0, ty = fy - y0;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    auto corner = [&](int i, int j) {
        if (period > 0) {
            i = ((i % period) + period) % period;
            j = ((j % period) + period) % period;
        }
        return hash2(i, j, seed);
    };
    float a = corner(x0, y0), b = corner(x0 + 1, y0), c = corner(x0, y0 + 1), d = corner(x0 + 1, y0 + 1);
    return (a + (b - a) * tx) * (1 - ty) + (c + (d - c) * tx) * ty;
}

float fbm(float x, float y, float cell, int octaves, uint32_t seed, int period) {
    float sum = 0, weight = 0.5f, total = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += valueNoise(x, y, cell, seed + o * 101u, period) * weight;
        total += weight;
        cell *= 0.5f;
        weight *= 0.5f;
        if (period > 0) period *= 2;
    }
    return sum / total;
}

Sprite spriteFromCells(int w, int h, const std::vector<uint32_t>& argb) {
    Sprite s;
    s.w = w;
    s.h = h;
    s.px.reserve(argb.size());
    for (uint32_t c : argb) s.px.push_back(rgb(c & 0xFFFFFFu, (c >> 24) / 255.0f));
    return s;
}

void drawSprite(Canvas& c, const Sprite& s, int x, int y, int scale, bool mirror, float opacity) {
    for (int j = 0; j < s.h; ++j)
        for (int i = 0; i < s.w; ++i) {
            Rgba col = s.px[static_cast<size_t>(j) * s.w + (mirror ? s.w - 1 - i : i)];
            if (col.a <= 0) continue;
            for (int b = 0; b < scale; ++b)
                for (int a = 0; a < scale; ++a) blendPixel(c, x + i * scale + a, y + j * scale + b, col, opacity);
        }
}

void drawSpriteTinted(Canvas& c, const Sprite& s, int x, int y, int scale, Rgba tint, bool mirror) {
    for (int j = 0; j < s.h; ++j)
        for (int i = 0; i < s.w; ++i) {
            if (s.px[static_cast<size_t>(j) * s.w + (mirror ? s.w - 1 - i : i)].a <= 0) continue;
            for (int b = 0; b < scale; ++b)
                for (int a = 0; a < scale; ++a) blendPixel(c, x + i * scale + a, y + j * scale + b, tint);
        }
}

void drawText(Canvas& c, const PixelFont& f, const char* text, int x, int y, int scale, Rgba col) {
    forEachTextPixel(f, text, [&](int px, int py) {
        for (int b = 0; b < scale; ++b)
            for (int a = 0; a < scale; ++a) blendPixel(c, x + px * scale + a, y + py * scale + b, col);
    });
}

void savePng(const Canvas& c, const std::string& path, bool withAlpha) {
    if (!withAlpha)
        for (size_t i = 3; i < c.p.size(); i += 4)
            if (c.p[i] < 0.998f) fail(path + " is written without alpha but has see-through pixels");
    std::vector<uint32_t> words(static_cast<size_t>(c.w) * c.h);
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            const float* q = c.at(x, y);
            float a = clamp01(q[3]);
            // Triangular dither of +-1 step keeps long gradients free of bands.
            float d = hash2(x, y, 77) - hash2(x, y, 78);
            uint32_t ch[3];
            for (int k = 0; k < 3; ++k) {
                float v = a > 0 ? clamp01(q[k] / a) : 0.0f;
                float s = std::floor(v * 255.0f + 0.5f + (v > 0.002f && v < 0.998f ? d * 0.5f : 0.0f));
                ch[k] = static_cast<uint32_t>(std::clamp(s, 0.0f, 255.0f));
            }
            uint32_t al = withAlpha ? static_cast<uint32_t>(std::floor(a * 255.0f + 0.5f)) : 255u;
            if (al == 0) ch[0] = ch[1] = ch[2] = 0;
            words[static_cast<size_t>(y) * c.w + x] = (al << 24) | (ch[0] << 16) | (ch[1] << 8) | ch[2];
        }
    Image* img = newImage(c.w, c.h);
    std::copy(words.begin(), words.end(), img->pixels);
    std::string error;
    bool ok = writePng(path.c_str(), *img, withAlpha, &error);
    freeImage(img);
    if (!ok) fail("cannot write " + path + ": " + error);
}

}  // namespace paint
