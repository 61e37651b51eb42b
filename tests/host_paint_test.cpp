// The stand-in host's style items: ParseItem's record fields and the pixels MakeGradient paints.
#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

#include "plugin_fixture.h"

namespace {

int32_t fieldAt(const unsigned char* record, size_t offset)
{
    int32_t value;
    std::memcpy(&value, record + offset, sizeof value);
    return value;
}

// A 32-bit top-down DIB in a memory DC, pre-filled with a colour no test paints.
class Canvas {
public:
    static constexpr COLORREF UNTOUCHED = RGB(7, 77, 177);
    Canvas(int width, int height) : width_(width), height_(height)
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        previous_ = SelectObject(dc_, bitmap_);
        for (int i = 0; i < width * height; ++i) bits_[i] = 0x074DB1;  // UNTOUCHED as a DIB pixel
    }
    ~Canvas()
    {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    COLORREF at(int x, int y) const
    {
        GdiFlush();
        uint32_t p = bits_[y * width_ + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }

private:
    int width_, height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ previous_;
    uint32_t* bits_ = nullptr;
};

const COLORREF FROM = RGB(10, 20, 30);
const COLORREF TO = RGB(200, 100, 50);
const COLORREF BORDER = RGB(1, 2, 3);

}  // namespace

TEST(HostPaint, ParseItemFillsTheFourFieldsAtTheirOffsets)
{
    struct Case {
        const char* text;
        int32_t bevel, position, type;
        unsigned char interlaced;
    } cases[] = {
        {"Flat Gradient Vertical", 0, 1, 2, 0},
        {"raised GRADIENT horizontal bevel2", 1, 2, 1, 0},
        {"Interlaced Diagonal Sunken Bevel1", 2, 1, 3, 1},
        {"Flat Solid", 0, 1, 0, 0},
        {"Solid Vertical", 0, 1, 0, 0},
        {"Gradient", 0, 1, 2, 0},
        {"", 0, 1, 0, 0},
        {nullptr, 0, 1, 0, 0},
    };
    for (const Case& c : cases) {
        unsigned char record[STYLE_RECORD_SIZE];
        std::memset(record, 0xCD, sizeof record);
        SCOPED_TRACE(c.text ? c.text : "(null)");
        ParseItem(c.text, record);
        EXPECT_EQ(fieldAt(record, 0), c.bevel);
        EXPECT_EQ(fieldAt(record, 4), c.position);
        EXPECT_EQ(fieldAt(record, 8), c.type);
        EXPECT_EQ(record[13], c.interlaced);
    }
    std::string huge(5000, 'v');
    unsigned char record[STYLE_RECORD_SIZE];
    ParseItem((huge + " Raised").c_str(), record);
    EXPECT_EQ(fieldAt(record, 0), 1);
}

TEST(HostPaint, GradientsReachTheirColoursInsideAnExactBorder)
{
    const int W = 40, H = 20, B = 2;
    struct Case {
        int type;
        int lastX, lastY;  // inner pixel that carries colorTo; the first inner pixel carries colorFrom
    } cases[] = {
        {2, B, H - B - 1},          // vertical: the bottom row
        {1, W - B - 1, B},          // horizontal: the right column
        {3, W - B - 1, H - B - 1},  // diagonal: the far corner
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        Canvas canvas(W, H);
        MakeGradient(canvas.dc(), RECT{0, 0, W, H}, c.type, FROM, TO, false, 0, 1, 1, BORDER, B);
        for (int x = 0; x < W; ++x) {
            for (int y = 0; y < H; ++y) {
                bool ring = x < B || y < B || x >= W - B || y >= H - B;
                if (ring) {
                    ASSERT_EQ(canvas.at(x, y), BORDER) << x << "," << y;
                }
            }
        }
        EXPECT_EQ(canvas.at(B, B), FROM);
        EXPECT_EQ(canvas.at(c.lastX, c.lastY), TO);
        COLORREF middle = canvas.at(W / 2, H / 2);
        EXPECT_GT(GetRValue(middle), GetRValue(FROM));
        EXPECT_LT(GetRValue(middle), GetRValue(TO));
    }
    Canvas solid(W, H);
    MakeGradient(solid.dc(), RECT{0, 0, W, H}, 0, FROM, TO, false, 0, 1, 1, BORDER, 1);
    EXPECT_EQ(solid.at(1, 1), FROM);
    EXPECT_EQ(solid.at(W - 2, H - 2), FROM);
    EXPECT_EQ(solid.at(0, H - 1), BORDER);
}

TEST(HostPaint, BevelAndInterlaceChangeOnlyTheirLines)
{
    const COLORREF GREY = RGB(128, 128, 128);
    Canvas raised(30, 16);
    MakeGradient(raised.dc(), RECT{0, 0, 30, 16}, 0, GREY, GREY, false, 1, 1, 1, BORDER, 1);
    EXPECT_GT(GetRValue(raised.at(10, 1)), 128) << "top line lighter";
    EXPECT_LT(GetRValue(raised.at(10, 14)), 128) << "bottom line darker";
    EXPECT_LT(GetRValue(raised.at(28, 8)), 128) << "right line darker";
    EXPECT_EQ(raised.at(10, 8), GREY);

    Canvas sunken(30, 16);
    MakeGradient(sunken.dc(), RECT{0, 0, 30, 16}, 0, GREY, GREY, false, 2, 1, 1, BORDER, 1);
    EXPECT_LT(GetRValue(sunken.at(10, 1)), 128);
    EXPECT_GT(GetRValue(sunken.at(10, 14)), 128);

    Canvas interlaced(30, 16);
    MakeGradient(interlaced.dc(), RECT{0, 0, 30, 16}, 0, GREY, GREY, true, 0, 1, 1, BORDER, 1);
    EXPECT_EQ(interlaced.at(10, 1), GREY);
    EXPECT_LT(GetRValue(interlaced.at(10, 2)), 128);
    EXPECT_EQ(interlaced.at(10, 3), GREY);
}

TEST(HostPaint, OddRectanglesStayInsideTheDeviceAndTheDcIsLeftAsItWas)
{
    Canvas canvas(20, 10);
    HGDIOBJ brush = GetCurrentObject(canvas.dc(), OBJ_BRUSH);
    HGDIOBJ pen = GetCurrentObject(canvas.dc(), OBJ_PEN);
    HGDIOBJ bitmap = GetCurrentObject(canvas.dc(), OBJ_BITMAP);
    DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);

    MakeGradient(canvas.dc(), RECT{5, 5, 5, 9}, 2, FROM, TO, false, 0, 1, 1, BORDER, 1);  // empty
    MakeGradient(canvas.dc(), RECT{9, 9, 3, 3}, 2, FROM, TO, false, 0, 1, 1, BORDER, 1);  // inverted
    EXPECT_EQ(canvas.at(5, 5), Canvas::UNTOUCHED);
    EXPECT_EQ(canvas.at(6, 6), Canvas::UNTOUCHED);
    MakeGradient(nullptr, RECT{0, 0, 10, 10}, 2, FROM, TO, false, 0, 1, 1, BORDER, 1);

    // Far larger than the device: only what the device shows is painted, fast and without overflow.
    MakeGradient(canvas.dc(), RECT{-1000000, -1, INT_MAX, INT_MAX}, 3, FROM, TO, true, 1, 2, 100000, BORDER, 3);
    EXPECT_EQ(canvas.at(0, 0), BORDER) << "the top border, two rows above the device's first";
    EXPECT_NE(canvas.at(19, 9), Canvas::UNTOUCHED);
    MakeGradient(canvas.dc(), RECT{0, 0, 20, 10}, 2, FROM, TO, false, 0, 1, -5, BORDER, -5);
    EXPECT_EQ(canvas.at(0, 0), FROM) << "a negative border is no border";

    for (int i = 0; i < 200; ++i) MakeGradient(canvas.dc(), RECT{0, 0, 20, 10}, i % 4, FROM, TO, i % 2, 1, 2, 1, BORDER, 1);
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdiBefore);
    EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_BRUSH), brush);
    EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_PEN), pen);
    EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_BITMAP), bitmap);
}
