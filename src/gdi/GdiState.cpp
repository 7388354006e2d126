// The state of the GDI stand-in, the pixel helpers the drawing calls share,
// and the simulated display.
#include "gdi/GdiState.h"

#include <cstdlib>
#include <cstring>

#include "platform/Window.h"

namespace tarnwick::gdi_internal {

namespace {

// The 20 colours an 8-bit display keeps for itself, 10 at each end of the
// system palette; they are also the default logical palette.
constexpr std::array<PALETTEENTRY, 20> kStaticColors = {{
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},
    {0, 0, 128, 0},     {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0},
    {192, 220, 192, 0}, {166, 202, 240, 0}, {255, 251, 240, 0}, {160, 160, 164, 0},
    {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},     {255, 255, 0, 0},
    {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
}};

State& Instance() {
    static State state;
    return state;
}

std::uint32_t QuadToPixel(const RGBQUAD& q) {
    return q.rgbBlue | (std::uint32_t{q.rgbGreen} << 8) | (std::uint32_t{q.rgbRed} << 16);
}

}  // namespace

thread_local DWORD lastError = ERROR_SUCCESS;

State::State() {
    spare.reserve(kSpareEntries);
    ResetSystemPalette();
    Id id = next++;
    BitmapObj stock;  // the 1 x 1 bitmap every memory context starts with
    stock.surface.width = stock.surface.height = 1;
    stock.surface.stride = 4;
    stock.storage.reset(static_cast<std::uint8_t*>(std::calloc(1, 4)));
    stock.surface.bits = stock.storage.get();
    objects.emplace(id, std::move(stock));
    stockBitmap = id;
    id = next++;
    PaletteObj pal;
    pal.entries.assign(kStaticColors.begin(), kStaticColors.end());
    objects.emplace(id, std::move(pal));
    stockPalette = id;
    constexpr COLORREF kStockBrushColors[NULL_BRUSH + 1] = {RGB(255, 255, 255), RGB(192, 192, 192),
                                                            RGB(128, 128, 128), RGB(64, 64, 64),
                                                            RGB(0, 0, 0),       0};
    for (int i = 0; i <= NULL_BRUSH; ++i) {
        id = next++;
        objects.emplace(id, BrushObj{kStockBrushColors[i], i == NULL_BRUSH});
        stockBrushes[static_cast<std::size_t>(i)] = id;
    }
    FontObj font;  // the font a new context draws with: no face until first used
    font.log.lfHeight = -11;
    font.log.lfWeight = FW_NORMAL;
    font.log.lfCharSet = DEFAULT_CHARSET;
    std::memcpy(font.log.lfFaceName, "MS Sans Serif", 14);
    stockFont = next++;
    objects.emplace(stockFont, std::move(font));
}

void State::ResetSystemPalette() {
    systemPalette.assign(256, RGBQUAD{0, 0, 0, 0});
    for (int i = 0; i < 20; ++i) {
        const PALETTEENTRY& e = kStaticColors[static_cast<std::size_t>(i)];
        systemPalette[static_cast<std::size_t>(StaticSystemIndex(i))] = {e.peBlue, e.peGreen,
                                                                         e.peRed, 0};
    }
    owner.fill(0);
}

// The pixels a context draws on: its selected bitmap, or the display.
Surface* State::Target(DcObj& dc) {
    if (dc.memory) {
        BitmapObj* b = Get<BitmapObj>(reinterpret_cast<void*>(dc.bitmap));
        return b ? &b->surface : nullptr;
    }
    if (dc.window) {
        // Looked up every time: the window may have been resized or destroyed.
        tarnwick::platform::Window* w = tarnwick::platform::WindowFromHandle(dc.window);
        if (!w) return nullptr;
        Surface& ws = dc.windowSurface;
        ws = Surface{};
        ws.width = w->Width();
        ws.height = w->Height();
        ws.stride = static_cast<std::size_t>(ws.width) * 4;
        ws.topDown = true;
        ws.bits = reinterpret_cast<std::uint8_t*>(w->Pixels());
        return &ws;
    }
    Surface& s = screen.surface;
    if (!s.bits || s.bpp != displayBpp || s.width != displayWidth || s.height != displayHeight) {
        s = Surface{};
        s.width = displayWidth;
        s.height = displayHeight;
        s.bpp = displayBpp;
        s.stride = static_cast<std::size_t>(displayWidth) * (displayBpp / 8);
        s.topDown = true;
        screen.storage.reset(static_cast<std::uint8_t*>(std::calloc(s.stride * displayHeight, 1)));
        s.bits = screen.storage.get();
        if (!s.bits) return nullptr;
    }
    if (s.bpp == 8) s.colors = systemPalette;
    return &s;
}

StateAccess::StateAccess() : state_(Instance()) {}

int Nearest(const std::vector<RGBQUAD>& table, std::uint32_t px, const std::vector<int>* only) {
    const int b = px & 0xFF, g = (px >> 8) & 0xFF, r = (px >> 16) & 0xFF;
    int best = 0;
    long bestD = -1;
    auto consider = [&](int i) {
        const RGBQUAD& q = table[static_cast<std::size_t>(i)];
        const long d = (q.rgbRed - r) * (q.rgbRed - r) + (q.rgbGreen - g) * (q.rgbGreen - g) +
                       (q.rgbBlue - b) * (q.rgbBlue - b);
        if (bestD < 0 || d < bestD) {
            bestD = d;
            best = i;
        }
    };
    if (only) {
        for (int i : *only) consider(i);
    } else {
        for (int i = 0; i < static_cast<int>(table.size()); ++i) consider(i);
    }
    return best;
}

std::uint32_t ReadPixel(const Surface& s, const std::uint8_t* row, int x) {
    switch (s.bpp) {
        case 8: return row[x] < s.colors.size() ? QuadToPixel(s.colors[row[x]]) : 0;
        case 24:
            return row[3 * x] | (std::uint32_t{row[3 * x + 1]} << 8) |
                   (std::uint32_t{row[3 * x + 2]} << 16);
        default: {
            std::uint32_t v;
            std::memcpy(&v, row + 4 * x, 4);
            return v;
        }
    }
}

void WritePixel(const Surface& s, std::uint8_t* row, int x, std::uint32_t px, IndexMapper& map) {
    switch (s.bpp) {
        case 8: row[x] = map(px); break;
        case 24:
            row[3 * x] = static_cast<std::uint8_t>(px);
            row[3 * x + 1] = static_cast<std::uint8_t>(px >> 8);
            row[3 * x + 2] = static_cast<std::uint8_t>(px >> 16);
            break;
        default: std::memcpy(row + 4 * x, &px, 4); break;
    }
}

}  // namespace tarnwick::gdi_internal

using namespace tarnwick::gdi_internal;

// ---- the simulated display -------------------------------------------------------

namespace gdi {

bool SetDisplayMode(int bitsPerPixel, int width, int height) {
    if ((bitsPerPixel != 8 && bitsPerPixel != 32) || width < 1 || height < 1 || width > 16384 ||
        height > 16384) {
        return false;
    }
    StateAccess s;
    s->displayBpp = bitsPerPixel;
    s->displayWidth = width;
    s->displayHeight = height;
    s->ResetSystemPalette();
    s->screen.storage.reset();
    s->screen.surface = Surface{};
    for (auto& [id, obj] : s->objects) {
        if (auto* p = std::get_if<PaletteObj>(&obj)) p->realized = false;
    }
    return true;
}

int DisplayBitsPerPixel() {
    StateAccess s;
    return s->displayBpp;
}

std::size_t LiveObjectCount() {
    StateAccess s;
    return s->objects.size() - State::kStockObjects;  // stock objects always live
}

}  // namespace gdi
