// tools/assetgen/contact.cpp — data/contact.png: every picture of data/ (subfolders
// included) on one sheet, each as a thumbnail over a checkerboard (so transparency shows)
// with its path and pixel size underneath. For reviewing the whole set at a glance.
#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/assetgen/generators.h"

namespace fs = std::filesystem;

namespace {

constexpr int kColumns = 8;
constexpr int kBoxW = 192, kBoxH = 144;      // thumbnail area
constexpr int kCellW = 208, kCellH = 190;    // box plus margins and the two label lines
constexpr int kHeader = 44;
const char* const kFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

struct Entry {
    std::string rel;    // path under data/, with '/' separators
    std::string path;   // full path
};

// Every .png under dir except the sheet itself: top-level files first, then each subfolder,
// each group in name order.
std::vector<Entry> listPictures(const std::string& dir) {
    std::vector<Entry> out;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file() || it->path().extension() != ".png") continue;
        std::string rel = fs::relative(it->path(), dir).generic_string();
        if (rel == "contact.png") continue;
        out.push_back({rel, it->path().string()});
    }
    std::sort(out.begin(), out.end(), [](const Entry& a, const Entry& b) {
        auto depth = [](const std::string& s) { return std::count(s.begin(), s.end(), '/'); };
        if (depth(a.rel) != depth(b.rel)) return depth(a.rel) < depth(b.rel);
        return a.rel < b.rel;
    });
    return out;
}

void checkerboard(cairo_t* cr, double x, double y, double w, double h) {
    const int sq = 8;
    cairo_save(cr);
    cairo_rectangle(cr, x, y, w, h);
    cairo_clip(cr);
    for (int j = 0; j * sq < h; ++j)
        for (int i = 0; i * sq < w; ++i) {
            double v = ((i + j) & 1) ? 0.42 : 0.58;
            cairo_set_source_rgb(cr, v, v, v);
            cairo_rectangle(cr, x + i * sq, y + j * sq, sq, sq);
            cairo_fill(cr);
        }
    cairo_restore(cr);
}

// Columns a picture spans: wide strips get several cells so they stay readable.
int spanOf(int w, int h) {
    double aspect = static_cast<double>(w) / std::max(1, h);
    return std::clamp(static_cast<int>(std::ceil(aspect / (2.0 * kBoxW / kBoxH))), 1, 4);
}

// Draws the picture fitted into a box of boxW x kBoxH: small pictures grow by a whole
// factor with hard pixels, large ones shrink smoothly.
void thumbnail(cairo_t* cr, cairo_surface_t* img, double x, double y, int boxW) {
    int w = cairo_image_surface_get_width(img), h = cairo_image_surface_get_height(img);
    double scale = std::min(static_cast<double>(boxW) / w, static_cast<double>(kBoxH) / h);
    bool grow = scale >= 1;
    if (grow) scale = std::floor(scale);
    double tw = w * scale, th = h * scale;
    double ox = std::floor(x + (boxW - tw) / 2), oy = std::floor(y + (kBoxH - th) / 2);
    checkerboard(cr, ox, oy, tw, th);
    cairo_save(cr);
    cairo_translate(cr, ox, oy);
    cairo_scale(cr, scale, scale);
    cairo_set_source_surface(cr, img, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), grow ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_GOOD);
    cairo_rectangle(cr, 0, 0, w, h);
    cairo_fill(cr);
    cairo_restore(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.25);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, ox - 0.5, oy - 0.5, tw + 1, th + 1);
    cairo_stroke(cr);
}

void label(cairo_t* cr, const std::string& text, double x, double y, double size, double grey) {
    cairo_set_font_size(cr, size);
    cairo_text_extents_t ext;
    cairo_text_extents(cr, text.c_str(), &ext);
    cairo_set_source_rgb(cr, grey, grey, grey);
    cairo_move_to(cr, std::floor(x - ext.width / 2 - ext.x_bearing), y);
    cairo_show_text(cr, text.c_str());
}

}  // namespace

void generateContactSheet(const GenContext& ctx) {
    std::vector<Entry> pictures = listPictures(ctx.outDir);
    // Read every picture first: the layout depends on their shapes.
    struct Placed { cairo_surface_t* img; int span, column, row; };
    std::vector<Placed> placed;
    int column = 0, row = 0;
    for (const Entry& e : pictures) {
        cairo_surface_t* img = cairo_image_surface_create_from_png(e.path.c_str());
        int span = 1;
        if (cairo_surface_status(img) == CAIRO_STATUS_SUCCESS)
            span = spanOf(cairo_image_surface_get_width(img), cairo_image_surface_get_height(img));
        if (column + span > kColumns) {
            column = 0;
            ++row;
        }
        placed.push_back({img, span, column, row});
        column += span;
    }
    int rows = row + 1;
    int sheetW = kColumns * kCellW, sheetH = kHeader + rows * kCellH;
    cairo_surface_t* sheet = cairo_image_surface_create(CAIRO_FORMAT_RGB24, sheetW, sheetH);
    cairo_t* cr = cairo_create(sheet);
    cairo_set_source_rgb(cr, 0.11, 0.11, 0.14);
    cairo_paint(cr);

    // Labels use DejaVu Sans from its Debian package; without it cairo's own sans stands in.
    FT_Library ft = nullptr;
    FT_Face face = nullptr;
    cairo_font_face_t* font = nullptr;
    if (FT_Init_FreeType(&ft) == 0 && FT_New_Face(ft, kFontPath, 0, &face) == 0) {
        font = cairo_ft_font_face_create_for_ft_face(face, 0);
        // Cairo may keep the face in its caches: the face is released when cairo lets go.
        static cairo_user_data_key_t key;
        cairo_font_face_set_user_data(font, &key, face, [](void* f) { FT_Done_Face(static_cast<FT_Face>(f)); });
        cairo_set_font_face(cr, font);
    } else {
        std::fprintf(stderr, "assetgen: %s not found, labelling the contact sheet with cairo's sans\n", kFontPath);
        cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    }
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr, options);

    char title[160];
    std::snprintf(title, sizeof title, "data/  \xe2\x80\x94  %zu pictures", pictures.size());
    label(cr, title, sheetW / 2.0, 30, 20, 0.92);

    int unreadable = 0;
    for (size_t i = 0; i < pictures.size(); ++i) {
        const Placed& p = placed[i];
        double x = p.column * kCellW, y = kHeader + p.row * kCellH;
        double cellW = p.span * kCellW;
        int boxW = static_cast<int>(cellW) - (kCellW - kBoxW);
        std::string size;
        if (cairo_surface_status(p.img) == CAIRO_STATUS_SUCCESS) {
            thumbnail(cr, p.img, x + (kCellW - kBoxW) / 2.0, y + 6, boxW);
            size = std::to_string(cairo_image_surface_get_width(p.img)) + " x " + std::to_string(cairo_image_surface_get_height(p.img));
        } else {
            ++unreadable;
            size = "unreadable";
            cairo_set_source_rgb(cr, 0.6, 0.1, 0.1);
            cairo_rectangle(cr, x + (kCellW - kBoxW) / 2.0, y + 6, boxW, kBoxH);
            cairo_fill(cr);
        }
        cairo_surface_destroy(p.img);
        label(cr, pictures[i].rel, x + cellW / 2.0, y + kBoxH + 24, 13, 0.95);
        label(cr, size, x + cellW / 2.0, y + kBoxH + 40, 11, 0.62);
    }

    cairo_surface_flush(sheet);
    std::string out = ctx.outDir + "/contact.png";
    cairo_status_t status = cairo_surface_write_to_png(sheet, out.c_str());
    cairo_font_options_destroy(options);
    cairo_destroy(cr);
    cairo_surface_destroy(sheet);
    if (font) cairo_font_face_destroy(font);
    else if (face) FT_Done_Face(face);
    // The FreeType library stays open: faces cached by cairo may outlive this function.
    if (status != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "assetgen: cannot write %s: %s\n", out.c_str(), cairo_status_to_string(status));
        std::exit(1);
    }
    if (unreadable) std::fprintf(stderr, "assetgen: contact sheet: %d picture(s) could not be read\n", unreadable);
    if (ctx.verbose) std::fprintf(stderr, "  %s (%zu pictures)\n", out.c_str(), pictures.size());
}
