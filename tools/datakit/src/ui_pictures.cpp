// The demo install's interface pictures: placeholder art of the sizes the screens draw (menu
// backgrounds 640 x 480, pointers 32 x 32, the quit dialog frame 212 x 78, location pictures and
// buttons) and one glyph picture per character of the four font sets, drawn from the project's own
// 5 x 7 letter shapes. Black (palette entry 0) is the colour key everywhere. Every picture behind
// a screen with clickable items shows each item's outline and a label at its hit region (see
// kHitRegions), so that a person can find where to click.
#include <cstdio>
#include <string>

#include "datakit/bmp.h"
#include "datakit/demo_steps.h"
#include "glyph5x7.h"

namespace dk {

namespace {

const std::string kRoot = "/graphics/interface/";

// Palette entries of the interface art. The outline colours are used for nothing else, so that a
// test can find an outline by its colour.
enum : uint8_t {
    kKey = 0, kWhite = 1, kRed = 2, kFrame = 3, kPanel = 4,
    kOutlineButton = 5, kOutlineYes = 6, kOutlineNo = 7,
    kSkyTop = 16,
};

Bmp8 Blank(int w, int h) {
    Bmp8 p(w, h);
    p.palette[kKey] = {0, 0, 0};
    p.palette[kWhite] = {240, 240, 230};
    p.palette[kRed] = {220, 40, 30};
    p.palette[kFrame] = {150, 140, 110};
    p.palette[kPanel] = {40, 50, 45};
    p.palette[kOutlineButton] = {240, 200, 40};
    p.palette[kOutlineYes] = {40, 230, 80};
    p.palette[kOutlineNo] = {250, 110, 200};
    for (int i = 0; i < 64; ++i)  // a dusk gradient for the backgrounds
        p.palette[size_t(kSkyTop + i)] = {uint8_t(10 + i), uint8_t(8 + i / 2), uint8_t(40 + i * 2)};
    return p;
}

void Fill(Bmp8& p, int x0, int y0, int w, int h, uint8_t c) {
    for (int y = y0; y < y0 + h && y < p.height; ++y)
        for (int x = x0; x < x0 + w && x < p.width; ++x)
            if (x >= 0 && y >= 0)
                p.at(x, y) = c;
}

// A clickable item of an interface picture: its hit region in the picture's pixels (centre and
// half extents, as the screen's toolkit item has them), its shape, and the label the art writes
// at the region's right end (inside an ellipse: at its centre).
struct HitRegion {
    int cx, cy, hw, hh;
    bool ellipse;
    uint8_t colour;
    const char* label;
};
struct PictureRegions {
    const char* picture;  // below the interface root
    const HitRegion* regions;
    int count;
};

// The main menu's four buttons on MENUBACK.BMP, drawn at (0, 0): the menu window stands at the
// screen's centre (320, 240) and each button at (-30, 70 + 50 i) from it with half extents 290 x 20.
constexpr HitRegion kMainMenuRegions[] = {
    {290, 310, 290, 20, false, kOutlineButton, "SINGLE PLAYER"},
    {290, 360, 290, 20, false, kOutlineButton, "MULTIPLAYER"},
    {290, 410, 290, 20, false, kOutlineButton, "OPTIONS"},
    {290, 460, 290, 20, false, kOutlineButton, "EXIT"},
};
// The quit dialog's frame CB.BMP (212 x 78, the dialog's half extents 106 x 39): "yes" and "no"
// are ellipses 21 and 69 pixels right of the dialog's centre with half extents 18 x 15.
constexpr HitRegion kQuitDialogRegions[] = {
    {106 + 21, 39, 18, 15, true, kOutlineYes, "YES"},
    {106 + 69, 39, 18, 15, true, kOutlineNo, "NO"},
};
// Every interface picture behind a screen with clickable items. A screen that gets built adds
// its pictures here.
constexpr PictureRegions kHitRegions[] = {
    {"outgame/backgrounds/menuback.bmp", kMainMenuRegions, 4},
    {"outgame/icons/cb.bmp", kQuitDialogRegions, 2},
};

// Text in the 5 x 7 shapes, 6 pixels a character, scaled by `scale`, its left end at x and its
// vertical centre at cy.
void DrawLabel(Bmp8& p, const char* text, int x, int cy, int scale, uint8_t colour) {
    const int top = cy - 7 * scale / 2;
    for (const char* c = text; *c; ++c, x += 6 * scale) {
        const Glyph5x7* g = Glyph5x7Of(*c);
        if (!g)
            continue;
        for (int r = 0; r < 7; ++r)
            for (int col = 0; col < 5; ++col)
                if (g->rows[r][col] == '#')
                    Fill(p, x + col * scale, top + r * scale, scale, scale, colour);
    }
}

int LabelWidth(const char* text, int scale) {
    int n = 0;
    while (text[n])
        ++n;
    return n == 0 ? 0 : (6 * n - 1) * scale;
}

// Sets the pixel when it lies inside the picture.
void Plot(Bmp8& p, int x, int y, uint8_t c) {
    if (x >= 0 && y >= 0 && x < p.width && y < p.height)
        p.at(x, y) = c;
}

// A two-pixel outline on the inside of the region's boundary, and its label.
void DrawRegion(Bmp8& p, const HitRegion& r) {
    const int x0 = r.cx - r.hw, y0 = r.cy - r.hh, w = 2 * r.hw, h = 2 * r.hh;
    if (!r.ellipse) {
        Fill(p, x0, y0, w, 2, r.colour);
        Fill(p, x0, y0 + h - 2, w, 2, r.colour);
        Fill(p, x0, y0, 2, h, r.colour);
        Fill(p, x0 + w - 2, y0, 2, h, r.colour);
        DrawLabel(p, r.label, x0 + w - 8 - LabelWidth(r.label, 1), r.cy, 1, r.colour);
        return;
    }
    // The pixels inside the ellipse whose distance from its edge is under two pixels.
    const double a = r.hw, b = r.hh;
    for (int y = y0; y <= y0 + h; ++y)
        for (int x = x0; x <= x0 + w; ++x) {
            const double dx = x - r.cx, dy = y - r.cy;
            const double outer = dx * dx / (a * a) + dy * dy / (b * b);
            const double ia = a - 2, ib = b - 2;
            const double inner = dx * dx / (ia * ia) + dy * dy / (ib * ib);
            if (outer <= 1.0 && inner > 1.0)
                Plot(p, x, y, r.colour);
        }
    DrawLabel(p, r.label, r.cx - LabelWidth(r.label, 1) / 2, r.cy, 1, r.colour);
}

// The picture with the outlines and labels of its clickable items, when it has any.
Bmp8 WithHitRegions(const std::string& name, Bmp8 p) {
    for (const PictureRegions& pr : kHitRegions)
        if (name == pr.picture)
            for (int i = 0; i < pr.count; ++i)
                DrawRegion(p, pr.regions[i]);
    return p;
}

// A full-screen background: a gradient with a frame and a darker band where buttons stand.
Bmp8 Background(int variant) {
    Bmp8 p = Blank(640, 480);
    for (int y = 0; y < 480; ++y)
        Fill(p, 0, y, 640, 1, uint8_t(kSkyTop + (y * 63 / 479 + variant * 7) % 64));
    Fill(p, 0, 0, 640, 4, kFrame);
    Fill(p, 0, 476, 640, 4, kFrame);
    Fill(p, 0, 0, 4, 480, kFrame);
    Fill(p, 636, 0, 4, 480, kFrame);
    return p;
}

struct Word {
    char c;
    const char* name;
    int smallWidth;
};
// Punctuation names of every set, and the extras of the "s_" set (widths of the small fonts).
constexpr Word kWords[] = {
    {',', "com", 5},   {'"', "spch", 5},  {'.', "fulls", 3}, {'!', "excla", 3}, {'?', "quest", 9},
    {'-', "hyph", 7},  {'<', "lar", 7},   {'>', "rar", 7},   {'/', "fslsh", 9}, {'\\', "bslsh", 9},
    {'_', "undr", 7},  {'=', "eq", 7},    {'\'', "apos", 5}, {' ', "spce", 5},  {':', "colon", 5},
};
constexpr Word kExtraWords[] = {
    {'$', "doll", 8}, {'%', "perc", 9}, {'^', "upar", 7}, {'*', "star", 7}, {'(', "lbrk", 5},
    {')', "rbrk", 5}, {'+', "plus", 7}, {';', "scolon", 5}, {'@', "at", 9},
};

// A glyph picture of w x h with the 5 x 7 shape scaled by (sx, sy), centred.
Bmp8 GlyphPicture(char c, int w, int h, int sx, int sy, uint8_t colour) {
    Bmp8 p = Blank(w, h);
    const Glyph5x7* g = Glyph5x7Of(c);
    if (!g)
        return p;
    const int ox = (w - 5 * sx) / 2, oy = (h - 7 * sy) / 2;
    for (int r = 0; r < 7; ++r)
        for (int col = 0; col < 5; ++col)
            if (g->rows[r][col] == '#')
                Fill(p, ox + col * sx, oy + r * sy, sx, sy, colour);
    return p;
}

struct FontSet {
    const char* prefix;
    int height, upper, lower, digit, other;
    int sx, sy;
    uint8_t colour;
    bool small, extended;
};

bool WriteFont(const std::string& dir, const FontSet& f) {
    const std::string base = dir + kRoot + "fonts/" + f.prefix;
    bool ok = true;
    for (char c = 'A'; c <= 'Z'; ++c) {
        ok &= WriteBmp8(base + std::string(1, char(c - 'A' + 'a')) + ".bmp",
                        GlyphPicture(c, f.upper, f.height, f.sx, f.sy, f.colour));
        const std::string twice(2, char(c - 'A' + 'a'));
        ok &= WriteBmp8(base + twice + ".bmp", GlyphPicture(char(c - 'A' + 'a'), f.lower, f.height,
                                                            f.sx > 1 ? f.sx - 1 : 1, f.sy, f.colour));
    }
    for (char c = '0'; c <= '9'; ++c)
        ok &= WriteBmp8(base + std::string(1, c) + ".bmp", GlyphPicture(c, f.digit, f.height, f.sx, f.sy, f.colour));
    auto words = [&](const Word* list, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            const int w = f.small ? list[i].smallWidth : f.other;
            ok &= WriteBmp8(base + list[i].name + ".bmp", GlyphPicture(list[i].c, w, f.height, 1, f.sy, f.colour));
        }
    };
    words(kWords, sizeof kWords / sizeof kWords[0]);
    if (f.extended)
        words(kExtraWords, sizeof kExtraWords / sizeof kExtraWords[0]);
    return ok;
}

Bmp8 Pointer(uint8_t colour, bool blank) {
    Bmp8 p = Blank(32, 32);
    if (blank)
        return p;
    for (int y = 0; y < 20; ++y)  // an arrow: a triangle with its tip at the hot spot
        Fill(p, 0, y, y / 2 + 1, 1, colour);
    Fill(p, 4, 14, 3, 12, colour);
    return p;
}

Bmp8 Framed(int w, int h) {
    Bmp8 p = Blank(w, h);
    Fill(p, 0, 0, w, h, kFrame);
    Fill(p, 3, 3, w - 6, h - 6, kPanel);
    return p;
}

}  // namespace

bool DemoIngamePictures(const std::string& dir);

bool DemoInterface(const std::string& dir) {
    bool ok = true;
    const std::string outgame = dir + kRoot + "outgame/";
    const char* backgrounds[] = {"loading", "loadlev", "menuback", "mpm", "om", "ckm", "slm",
                                 "lsgm", "mpgcm", "mptlm", "mpcsm", "charsel", "island"};
    int variant = 0;
    for (const char* b : backgrounds)
        ok &= WriteBmp8(outgame + "backgrounds/" + b + ".bmp",
                        WithHitRegions(std::string("outgame/backgrounds/") + b + ".bmp", Background(variant++)));
    const char* pointers[] = {"hand", "handnof", "hourglas", "handar", "handred", "handyell", "handblac", "handblue"};
    ok &= WriteBmp8(dir + kRoot + "pointers/nowt.bmp", Pointer(kWhite, true));
    for (const char* name : pointers)
        ok &= WriteBmp8(dir + kRoot + "pointers/" + name + ".bmp", Pointer(std::string(name) == "handred" ? kRed : kWhite, false));
    ok &= WriteBmp8(dir + kRoot + "ingame/faces/dead.bmp", Framed(32, 32));
    ok &= WriteBmp8(dir + kRoot + "ingame/windows/cb.bmp", Framed(212, 78));
    ok &= WriteBmp8(outgame + "icons/cb.bmp", WithHitRegions("outgame/icons/cb.bmp", Framed(212, 78)));
    ok &= WriteBmp8(outgame + "icons/charsel.bmp", Framed(64, 64));
    ok &= WriteBmp8(outgame + "icons/charsel2.bmp", Framed(64, 64));
    const char* locations[] = {"airport", "grave", "dock", "hotel", "sport", "farm", "town",
                               "water", "hospital", "factory", "labs", "secure", "shop", "escape"};
    for (int i = 0; i < 14; ++i) {
        ok &= WriteBmp8(outgame + "icons/spics/" + locations[i] + ".bmp", Framed(160, 120));
        if (i < 13)
            ok &= WriteBmp8(outgame + "icons/locations/" + locations[i] + ".bmp", Framed(32, 32));
    }
    ok &= WriteBmp8(outgame + "icons/locations/done.bmp", Framed(32, 32));
    const FontSet fonts[] = {
        {"l_b_", 34, 18, 14, 14, 10, 2, 4, kWhite, false, false},
        {"r_b_", 34, 18, 14, 14, 10, 2, 4, kRed, false, false},
        {"s_", 15, 9, 8, 8, 8, 1, 2, kWhite, true, true},
        {"l_", 15, 9, 8, 8, 8, 1, 2, kWhite, true, false},
    };
    for (const FontSet& f : fonts)
        ok &= WriteFont(dir, f);
    ok &= DemoIngamePictures(dir);
    return ok;
}

// The in-game set, the world-object icons and the character faces, as framed placeholders.
bool DemoIngamePictures(const std::string& dir) {
    bool ok = true;
    const std::string ingame = dir + kRoot + "ingame/";
    const struct { const char* name; int w, h; } windows[] = {
        {"ra", 128, 128}, {"cbf", 212, 78}, {"wob", 160, 96}, {"idb", 200, 64}};
    for (const auto& w : windows)
        ok &= WriteBmp8(ingame + "windows/" + w.name + ".bmp", Framed(w.w, w.h));
    ok &= WriteBmp8(ingame + "icons/misc/idbsec.bmp", Framed(32, 32));
    const char* maps[] = {"grave", "town", "farm", "multiplex", "mall", "airport", "sports", "hotel", "camp",
                          "hydro", "docks", "training", "hospital", "labs", "security", "factory", "escape"};
    for (const char* m : maps)
        ok &= WriteBmp8(ingame + "maps/" + m + ".bmp", Framed(256, 256));
    ok &= WriteBmp8(ingame + "icons/normal/sel.bmp", Framed(32, 32));
    for (const char* m : {"weapcnt", "weapcnt2", "charhi"})
        ok &= WriteBmp8(ingame + "icons/misc/" + m + ".bmp", Framed(32, 16));
    for (const char* a : {"na_music", "na_sound", "na_use", "na_drop", "na_s_mus", "na_s_snd", "na_s_eye", "na_s_rdr"})
        ok &= WriteBmp8(ingame + "icons/actops/" + a + ".bmp", Framed(32, 32));
    for (const char* b : {"ra_blip", "ra_mlip", "ra_glip", "ra_rlip", "ra_flip"})
        for (int f = 0; f < 7; ++f)
            ok &= WriteBmp8(ingame + "icons/radar/" + b + std::to_string(f) + ".bmp", Pointer(kWhite, false));
    char name[64];
    for (int f = 1; f <= 64; ++f) {
        std::snprintf(name, sizeof name, "rotates/eyeball/ibal%04d.bmp", f);
        ok &= WriteBmp8(ingame + name, Framed(48, 48));
    }
    for (int type = 0; type < 150; ++type)
        for (const char* suffix : {"", "h"}) {
            std::snprintf(name, sizeof name, "icons/normal/obj%03d%s.bmp", type, suffix);
            ok &= WriteBmp8(ingame + name, Framed(32, 32));
        }
    for (int c = 0; c < 54; ++c)
        for (int v = 1; v <= 3; ++v) {
            std::snprintf(name, sizeof name, "faces/face%02d_%d.bmp", c, v);
            ok &= WriteBmp8(ingame + name, Framed(32, 32));
        }
    return ok;
}

}  // namespace dk
