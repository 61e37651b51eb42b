// Style items: the record ParseItem fills and the gradient, bevel and border MakeGradient paints.
#include "paint.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "text.h"

namespace host {
namespace {

// Rows rendered per StretchDIBits call: bounds the buffer whatever the rectangle's size.
const long long BAND_ROWS = 32;

int channel(COLORREF c, int shift)
{
    return static_cast<int>((c >> shift) & 0xFF);
}

COLORREF mix(COLORREF from, COLORREF to, long long step, long long steps)
{
    if (steps <= 1) return from;
    auto one = [&](int shift) {
        long long a = channel(from, shift), b = channel(to, shift);
        return static_cast<int>(a + (b - a) * step / (steps - 1));
    };
    return RGB(one(0), one(8), one(16));
}

COLORREF scale(COLORREF c, int numerator, int denominator)
{
    return RGB(channel(c, 0) * numerator / denominator, channel(c, 8) * numerator / denominator,
               channel(c, 16) * numerator / denominator);
}

COLORREF lighter(COLORREF c)
{
    return RGB(channel(c, 0) + (255 - channel(c, 0)) / 2, channel(c, 8) + (255 - channel(c, 8)) / 2,
               channel(c, 16) + (255 - channel(c, 16)) / 2);
}

}  // namespace

void parseItem(const char* text, StyleRecord& record)
{
    std::memset(&record, 0, sizeof record);
    record.bevelPosition = 1;
    bool gradientWord = false, solidWord = false, directionWord = false;
    int direction = GRADIENT_VERTICAL;
    const char* p = text ? text : "";
    while (*p) {
        while (isBlank(*p)) ++p;
        const char* start = p;
        while (*p && !isBlank(*p)) ++p;
        std::string word(start, p);
        if (equalsIgnoreCase(word, "Flat")) record.bevel = BEVEL_FLAT;
        else if (equalsIgnoreCase(word, "Raised")) record.bevel = BEVEL_RAISED;
        else if (equalsIgnoreCase(word, "Sunken")) record.bevel = BEVEL_SUNKEN;
        else if (equalsIgnoreCase(word, "Bevel1")) record.bevelPosition = 1;
        else if (equalsIgnoreCase(word, "Bevel2")) record.bevelPosition = 2;
        else if (equalsIgnoreCase(word, "Interlaced")) record.interlaced = 1;
        else if (equalsIgnoreCase(word, "Solid")) solidWord = true;
        else if (equalsIgnoreCase(word, "Gradient")) gradientWord = true;
        else if (equalsIgnoreCase(word, "Horizontal")) directionWord = true, direction = GRADIENT_HORIZONTAL;
        else if (equalsIgnoreCase(word, "Vertical")) directionWord = true, direction = GRADIENT_VERTICAL;
        else if (equalsIgnoreCase(word, "Diagonal")) directionWord = true, direction = GRADIENT_DIAGONAL;
    }
    // A direction alone implies a gradient; "Solid" beats it unless "Gradient" is said too.
    bool gradient = gradientWord || (directionWord && !solidWord);
    record.gradient = gradient ? direction : GRADIENT_SOLID;
}

COLORREF gradientPixel(const Gradient& g, long long width, long long height, long long x, long long y)
{
    long long border = std::max(0, g.borderWidth);
    if (x < border || y < border || x >= width - border || y >= height - border) return g.border;
    long long innerWidth = width - 2 * border, innerHeight = height - 2 * border;
    long long ix = x - border, iy = y - border;

    COLORREF c = g.from;
    if (g.type == GRADIENT_HORIZONTAL) c = mix(g.from, g.to, ix, innerWidth);
    else if (g.type == GRADIENT_VERTICAL) c = mix(g.from, g.to, iy, innerHeight);
    else if (g.type == GRADIENT_DIAGONAL) c = mix(g.from, g.to, ix + iy, innerWidth + innerHeight - 1);
    if (g.interlaced && iy % 2 == 1) c = scale(c, 7, 8);

    if (g.bevel != BEVEL_RAISED && g.bevel != BEVEL_SUNKEN) return c;
    // Bevel2 draws on the innermost line of the bevel margin, so it stays clear of the contents.
    long long inset = g.bevelPosition == 2 ? std::max(0, g.bevelWidth - 1) : 0;
    long long right = innerWidth - 1 - inset, bottom = innerHeight - 1 - inset;
    if (ix < inset || iy < inset || ix > right || iy > bottom) return c;
    bool bottomRight = ix == right || iy == bottom;
    bool topLeft = ix == inset || iy == inset;
    if (!bottomRight && !topLeft) return c;
    bool light = (g.bevel == BEVEL_RAISED) != bottomRight;
    return light ? lighter(c) : scale(c, 1, 2);
}

void makeGradient(HDC dc, const RECT& rect, const Gradient& g)
{
    // Painting is clipped to what the DC can show, so a huge rectangle costs no more than the device.
    const long long MAX_SIDE = 1 << 15;
    long long width = static_cast<long long>(rect.right) - rect.left;
    long long height = static_cast<long long>(rect.bottom) - rect.top;
    RECT clip;
    int region = dc ? GetClipBox(dc, &clip) : ERROR;
    if (width <= 0 || height <= 0 || region == ERROR || region == NULLREGION) return;
    long long x0 = std::max<long long>(rect.left, clip.left), x1 = std::min<long long>(rect.right, clip.right);
    long long y0 = std::max<long long>(rect.top, clip.top), y1 = std::min<long long>(rect.bottom, clip.bottom);
    x1 = std::min(x1, x0 + MAX_SIDE);
    y1 = std::min(y1, y0 + MAX_SIDE);
    if (x0 >= x1 || y0 >= y1) return;

    int bandWidth = static_cast<int>(x1 - x0);
    std::vector<uint32_t> pixels(static_cast<size_t>(bandWidth) * std::min(BAND_ROWS, y1 - y0));
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = bandWidth;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    for (long long top = y0; top < y1; top += BAND_ROWS) {
        int rows = static_cast<int>(std::min(BAND_ROWS, y1 - top));
        uint32_t* out = pixels.data();
        for (int row = 0; row < rows; ++row) {
            for (long long x = x0; x < x1; ++x) {
                COLORREF c = gradientPixel(g, width, height, x - rect.left, top + row - rect.top);
                *out++ = (static_cast<uint32_t>(GetRValue(c)) << 16) | (GetGValue(c) << 8) | GetBValue(c);
            }
        }
        info.bmiHeader.biHeight = -rows;  // top-down
        StretchDIBits(dc, static_cast<int>(x0), static_cast<int>(top), bandWidth, rows, 0, 0, bandWidth, rows,
                      pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    }
}

}  // namespace host
