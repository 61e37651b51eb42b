// The toolbar look through the real DLL: style keys and their defaults, the painted pixels and
// text rectangle, restyling on the host's signal, GDI objects released by every paint, and
// style values too long or too large for the plug-in's buffers and arithmetic.
#include <limits.h>
#include <stdint.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "iat_patch.h"
#include "paint.h"
#include "plugin_fixture.h"

namespace {

// The plug-in's off-screen bitmap as it stood when the plug-in copied it to the window.
struct Blit {
    int x = 0, y = 0, width = 0, height = 0, sourceX = 0, sourceY = 0;
    DWORD rop = 0;
    int bitmapWidth = 0, bitmapHeight = 0;
    std::vector<COLORREF> pixels;  // top row first
    COLORREF at(int px, int py) const { return pixels.at(static_cast<size_t>(py) * bitmapWidth + px); }
};
std::vector<Blit> blits;

// Copies the source DC's whole bitmap into a 32-bit DIB, which reads back the same on any display.
void captureSource(HDC source, Blit& blit)
{
    BITMAP info = {};
    HGDIOBJ bitmap = GetCurrentObject(source, OBJ_BITMAP);
    if (bitmap == nullptr || GetObjectA(bitmap, sizeof info, &info) == 0) return;
    if (info.bmWidth <= 0 || info.bmHeight <= 0 || static_cast<long long>(info.bmWidth) * info.bmHeight > (1 << 22)) return;
    BITMAPINFO header = {};
    header.bmiHeader.biSize = sizeof header.bmiHeader;
    header.bmiHeader.biWidth = info.bmWidth;
    header.bmiHeader.biHeight = -info.bmHeight;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP copy = CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (copy == nullptr) return;
    HDC copyDC = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(copyDC, copy);
    BitBlt(copyDC, 0, 0, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY);
    GdiFlush();
    blit.bitmapWidth = info.bmWidth;
    blit.bitmapHeight = info.bmHeight;
    const uint32_t* p = static_cast<const uint32_t*>(bits);
    for (long i = 0; i < info.bmWidth * info.bmHeight; ++i) {
        blit.pixels.push_back(RGB((p[i] >> 16) & 0xFF, (p[i] >> 8) & 0xFF, p[i] & 0xFF));
    }
    SelectObject(copyDC, previous);
    DeleteDC(copyDC);
    DeleteObject(copy);
}

BOOL WINAPI captureBitBlt(HDC dest, int x, int y, int w, int h, HDC source, int sx, int sy, DWORD rop)
{
    Blit blit;
    blit.x = x, blit.y = y, blit.width = w, blit.height = h, blit.sourceX = sx, blit.sourceY = sy, blit.rop = rop;
    captureSource(source, blit);
    blits.push_back(blit);
    return BitBlt(dest, x, y, w, h, source, sx, sy, rop);
}

struct FontRecord {
    int height, width, escapement, orientation, weight;
    DWORD italic, underline, strikeOut, charSet, outPrecision, clipPrecision, quality, pitchAndFamily;
    std::string face;
};
std::vector<FontRecord> fonts;

HFONT WINAPI recordCreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                              DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                              DWORD quality, DWORD pitchAndFamily, LPCSTR face)
{
    fonts.push_back({height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet, outPrecision,
                     clipPrecision, quality, pitchAndFamily, face != nullptr ? face : "(null)"});
    return CreateFontA(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
                       outPrecision, clipPrecision, quality, pitchAndFamily, face);
}

std::vector<COLORREF> textColors;

COLORREF WINAPI recordSetTextColor(HDC dc, COLORREF color)
{
    textColors.push_back(color);
    return SetTextColor(dc, color);
}

// Every GDI object the plug-in creates, and what it has selected into each DC, so that a test can
// tell a leak, a deletion of something still selected, or a deletion of something it never made.
struct GdiLedger {
    std::set<HGDIOBJ> live;
    std::map<HDC, std::map<DWORD, HGDIOBJ>> selected;  // per DC: object type -> object
    std::set<HGDIOBJ> stock;
    long created = 0, deleted = 0, fontsCreated = 0;
    std::vector<std::string> faults;
};
GdiLedger* currentLedger = nullptr;

// The system's shared objects: the stock objects and the bitmap handed out for a request of no size.
std::set<HGDIOBJ> stockObjects()
{
    std::set<HGDIOBJ> stock;
    for (int i = 0; i <= STOCK_LAST; ++i) stock.insert(GetStockObject(i));
    HDC screen = GetDC(nullptr);
    HBITMAP first = CreateCompatibleBitmap(screen, 1, 0), second = CreateCompatibleBitmap(screen, 1, 0);
    ReleaseDC(nullptr, screen);
    if (first != nullptr && first == second) stock.insert(first);
    stock.erase(nullptr);
    return stock;
}

HGDIOBJ made(HGDIOBJ object)
{
    if (object != nullptr) {
        currentLedger->live.insert(object);
        ++currentLedger->created;
    }
    return object;
}

HDC WINAPI trackCreateCompatibleDC(HDC dc)
{
    return static_cast<HDC>(made(CreateCompatibleDC(dc)));
}

HBITMAP WINAPI trackCreateCompatibleBitmap(HDC dc, int w, int h)
{
    return static_cast<HBITMAP>(made(CreateCompatibleBitmap(dc, w, h)));
}

HFONT WINAPI trackCreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                             DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                             DWORD quality, DWORD pitchAndFamily, LPCSTR face)
{
    ++currentLedger->fontsCreated;
    return static_cast<HFONT>(made(CreateFontA(height, width, escapement, orientation, weight, italic, underline,
                                               strikeOut, charSet, outPrecision, clipPrecision, quality,
                                               pitchAndFamily, face)));
}

HGDIOBJ WINAPI trackSelectObject(HDC dc, HGDIOBJ object)
{
    HGDIOBJ previous = SelectObject(dc, object);
    if (previous != nullptr) currentLedger->selected[dc][GetObjectType(object)] = object;
    return previous;
}

BOOL WINAPI trackDeleteDC(HDC dc)
{
    if (currentLedger->live.erase(dc) == 0) currentLedger->faults.push_back("deleted a DC it did not create");
    currentLedger->selected.erase(dc);
    ++currentLedger->deleted;
    BOOL ok = DeleteDC(dc);
    if (!ok) currentLedger->faults.push_back("DeleteDC failed");
    return ok;
}

BOOL WINAPI trackDeleteObject(HGDIOBJ object)
{
    for (const auto& dc : currentLedger->selected) {
        for (const auto& chosen : dc.second) {
            if (chosen.second == object) currentLedger->faults.push_back("deleted an object still selected into a DC");
        }
    }
    if (currentLedger->stock.count(object) != 0) currentLedger->faults.push_back("deleted a stock object");
    if (currentLedger->live.erase(object) == 0) currentLedger->faults.push_back("deleted an object it did not create");
    ++currentLedger->deleted;
    BOOL ok = DeleteObject(object);
    if (!ok) currentLedger->faults.push_back("DeleteObject failed");
    return ok;
}

// Patches the plug-in's GDI imports for the ledger while it lives.
class GdiTracking {
public:
    explicit GdiTracking(HMODULE module)
        : dc_(module, "GDI32.dll", "CreateCompatibleDC", reinterpret_cast<void*>(trackCreateCompatibleDC)),
          bitmap_(module, "GDI32.dll", "CreateCompatibleBitmap", reinterpret_cast<void*>(trackCreateCompatibleBitmap)),
          font_(module, "GDI32.dll", "CreateFontA", reinterpret_cast<void*>(trackCreateFont)),
          select_(module, "GDI32.dll", "SelectObject", reinterpret_cast<void*>(trackSelectObject)),
          deleteDC_(module, "GDI32.dll", "DeleteDC", reinterpret_cast<void*>(trackDeleteDC)),
          deleteObject_(module, "GDI32.dll", "DeleteObject", reinterpret_cast<void*>(trackDeleteObject))
    {
        ledger_.stock = stockObjects();
        currentLedger = &ledger_;
    }
    ~GdiTracking() { currentLedger = nullptr; }
    bool active() const
    {
        return dc_.active() && bitmap_.active() && font_.active() && select_.active() && deleteDC_.active() &&
               deleteObject_.active();
    }
    const GdiLedger& ledger() const { return ledger_; }

private:
    GdiLedger ledger_;
    ImportPatch dc_, bitmap_, font_, select_, deleteDC_, deleteObject_;
};

// A style naming every key the plug-in reads, each with a value told apart from its default.
std::string style(int bevelWidth, int borderWidth, const std::string& extra = "")
{
    return "toolbar: Flat Gradient Vertical\n"
           "toolbar.color: #FF0000\n"
           "toolbar.colorTo: #0000FF\n"
           "borderColor: #00FF00\n"
           "toolbar.textColor: #FFFFFF\n"
           "toolbar.font: Tahoma\n"
           "bevelWidth: " + std::to_string(bevelWidth) + "\n"
           "borderWidth: " + std::to_string(borderWidth) + "\n" + extra;
}

const char* const AUTO_RESIZE = "vistrel.position.x: 40\nvistrel.position.y: 50\nvistrel.autoResize: true\n";

// Pixels where two captures of the same size differ: the ink one label adds over another.
struct Ink {
    std::vector<POINT> points;
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;  // inclusive bounds
    bool contains(int x, int y) const
    {
        return std::any_of(points.begin(), points.end(), [&](const POINT& p) { return p.x == x && p.y == y; });
    }
};

Ink inkBetween(const Blit& blank, const Blit& written)
{
    Ink ink;
    if (blank.bitmapWidth != written.bitmapWidth || blank.bitmapHeight != written.bitmapHeight) return ink;
    for (int y = 0; y < written.bitmapHeight; ++y) {
        for (int x = 0; x < written.bitmapWidth; ++x) {
            if (blank.at(x, y) == written.at(x, y)) continue;
            ink.points.push_back({x, y});
            ink.left = std::min(ink.left, x), ink.right = std::max(ink.right, x);
            ink.top = std::min(ink.top, y), ink.bottom = std::max(ink.bottom, y);
        }
    }
    return ink;
}

int channelGap(COLORREF a, COLORREF b)
{
    return std::max({abs(GetRValue(a) - GetRValue(b)), abs(GetGValue(a) - GetGValue(b)), abs(GetBValue(a) - GetBValue(b))});
}

std::string rectText(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

std::string colorNumber(COLORREF c)
{
    return std::to_string(c);
}

const UINT LABEL_FORMAT = DT_SINGLELINE | DT_VCENTER | DT_CENTER;

}  // namespace

class Style : public PluginFixture {
protected:
    void SetUp() override
    {
        PluginFixture::SetUp();
        if (HasFatalFailure()) return;
        blits.clear();
        fonts.clear();
        textColors.clear();
        bitBlt_.reset(new ImportPatch(module, "GDI32.dll", "BitBlt", reinterpret_cast<void*>(captureBitBlt)));
        createFont_.reset(new ImportPatch(module, "GDI32.dll", "CreateFontA", reinterpret_cast<void*>(recordCreateFont)));
        setTextColor_.reset(new ImportPatch(module, "GDI32.dll", "SetTextColor", reinterpret_cast<void*>(recordSetTextColor)));
        ASSERT_TRUE(bitBlt_->active() && createFont_->active() && setTextColor_->active());
    }

    void TearDown() override
    {
        if (running) end();
        bitBlt_.reset();
        createFont_.reset();
        setTextColor_.reset();
        PluginFixture::TearDown();
    }

    // Starts with auto-resize on, so that the window takes the style's natural size at the first label.
    void beginResizing()
    {
        writeSettings(AUTO_RESIZE);
        ASSERT_EQ(begin(), 0);
        host::sendSetLabel("");
    }

    // Shows the text and returns what the next paint copied to the window.
    Blit paintOf(const char* text)
    {
        host::sendSetLabel(text);
        blits.clear();
        InvalidateRect(window(), nullptr, FALSE);
        UpdateWindow(window());
        return blits.empty() ? Blit() : blits.back();
    }

    std::vector<std::string> lastGradientArgs() const
    {
        auto calls = host::callsNamed("MakeGradient");
        return calls.empty() ? std::vector<std::string>(11) : calls.back().args;
    }

    std::unique_ptr<ImportPatch> bitBlt_, createFont_, setTextColor_;
};

TEST_F(Style, PaintShowsTheVerticalGradientBorderAndCentredTextInItsColour)
{
    useStyle(style(1, 2));
    beginResizing();
    Blit blank = paintOf("");
    Blit written = paintOf("Hello");
    ASSERT_EQ(written.bitmapWidth, 100);
    ASSERT_EQ(written.bitmapHeight, 18) << "12 + 2 * (1 + 2)";
    EXPECT_EQ(written.x, 0);
    EXPECT_EQ(written.y, 0);
    EXPECT_EQ(written.width, 100);
    EXPECT_EQ(written.height, 18);
    EXPECT_EQ(written.sourceX, 0);
    EXPECT_EQ(written.sourceY, 0);
    EXPECT_EQ(written.rop, static_cast<DWORD>(SRCCOPY));

    const COLORREF red = RGB(255, 0, 0), blue = RGB(0, 0, 255), green = RGB(0, 255, 0), white = RGB(255, 255, 255);
    for (int x = 0; x < 100; ++x) {
        for (int y : {0, 1, 16, 17}) ASSERT_EQ(written.at(x, y), green) << x << "," << y;
    }
    for (int y = 0; y < 18; ++y) {
        for (int x : {0, 1, 98, 99}) ASSERT_EQ(written.at(x, y), green) << x << "," << y;
    }
    // Away from the text: the first row inside the border is the top colour, the last the bottom
    // colour, and the rows between move from one to the other.
    for (int x : {2, 97}) {
        EXPECT_EQ(written.at(x, 2), red) << x;
        EXPECT_EQ(written.at(x, 15), blue) << x;
        for (int y = 2; y < 15; ++y) {
            EXPECT_GE(GetRValue(written.at(x, y)), GetRValue(written.at(x, y + 1))) << x << "," << y;
            EXPECT_LE(GetBValue(written.at(x, y)), GetBValue(written.at(x, y + 1))) << x << "," << y;
        }
    }

    Ink ink = inkBetween(blank, written);
    ASSERT_GT(ink.points.size(), 20u) << "the label left marks";
    EXPECT_GE(ink.left, 3);
    EXPECT_LE(ink.right, 96);
    EXPECT_GE(ink.top, 3);
    EXPECT_LE(ink.bottom, 14);
    EXPECT_NEAR((ink.left + ink.right) / 2.0, 49.5, 3) << "centred across";
    EXPECT_NEAR((ink.top + ink.bottom) / 2.0, 8.5, 3) << "centred down";
    long box = static_cast<long>(ink.right - ink.left + 1) * (ink.bottom - ink.top + 1);
    EXPECT_LT(static_cast<long>(ink.points.size()), box * 3 / 4) << "the gradient shows between the letters";
    int closest = 255;
    for (const POINT& p : ink.points) closest = std::min(closest, channelGap(written.at(p.x, p.y), white));
    EXPECT_LE(closest, 8) << "the text is drawn in the style's text colour";
}

TEST_F(Style, ALabelWiderThanTheTextRectangleIsCutAtBothSides)
{
    useStyle(style(1, 2));
    beginResizing();
    Blit blank = paintOf("");
    Blit written = paintOf(std::string(20, 'W').c_str());  // 100 pixels by the width rule, far more drawn
    ASSERT_EQ(written.bitmapWidth, 100);
    Ink ink = inkBetween(blank, written);
    EXPECT_GE(ink.left, 3);
    EXPECT_LE(ink.left, 5);
    EXPECT_LE(ink.right, 96);
    EXPECT_GE(ink.right, 94);
    EXPECT_GE(ink.top, 3);
    EXPECT_LE(ink.bottom, 14);
}

TEST_F(Style, EachShippedStyleShowsItsBorderAndTextColour)
{
    struct Case {
        const char* file;
        COLORREF border, text;
        int height;
    };
    const Case cases[] = {
        {"dusk.style", RGB(0x06, 0x08, 0x0d), RGB(0xe8, 0xee, 0xf8), 16},
        {"ember.style", RGB(0x3a, 0x10, 0x04), RGB(0x1e, 0x0b, 0x02), 22},  // names a label colour: picColor
        {"paper.style", RGB(0x8c, 0x86, 0x78), RGB(0x22, 0x22, 0x22), 18},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        host::setStyle(std::string(SOURCE_DIR) + "/host/styles/" + c.file);
        beginResizing();
        Blit blank = paintOf("");
        Blit written = paintOf("Styled");
        ASSERT_EQ(written.bitmapHeight, c.height);
        for (int y : {0, c.height - 1}) {
            for (int x : {0, 50, 99}) EXPECT_EQ(written.at(x, y), c.border) << x << "," << y;
        }
        Ink ink = inkBetween(blank, written);
        int closest = 255;
        for (const POINT& p : ink.points) closest = std::min(closest, channelGap(written.at(p.x, p.y), c.text));
        EXPECT_LE(closest, 8);
        end();
    }
}

TEST_F(Style, TextRectangleIsTheClientAreaLessBevelAndBorderOnEverySide)
{
    struct Case {
        int bevelWidth, borderWidth, height;
    };
    const Case cases[] = {{1, 1, 16}, {0, 0, 12}, {3, 2, 22}, {0, 4, 20}, {5, 0, 22}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.bevelWidth) + " bevel, " + std::to_string(c.borderWidth) + " border");
        useStyle(style(c.bevelWidth, c.borderWidth));
        beginResizing();
        host::clearCalls();
        drawTextCalls.clear();
        paintOf("Centred");
        RECT window = windowRect();
        EXPECT_EQ(window.right - window.left, 100);
        EXPECT_EQ(window.bottom - window.top, c.height) << "the natural height";

        ASSERT_FALSE(drawTextCalls.empty());
        const DrawTextRecord& draw = drawTextCalls.back();
        EXPECT_EQ(draw.text, "Centred");
        EXPECT_EQ(draw.format, LABEL_FORMAT);
        int inset = c.bevelWidth + c.borderWidth;
        EXPECT_EQ(rectText(draw.rect), rectText({inset, inset, 100 - inset, c.height - inset}));

        std::vector<std::string> gradient = lastGradientArgs();
        EXPECT_EQ(gradient[1], rectText({0, 0, 100, c.height})) << "the whole client area gets the gradient";
        EXPECT_EQ(gradient[8], std::to_string(c.bevelWidth));
        EXPECT_EQ(gradient[10], std::to_string(c.borderWidth));
        end();
    }
}

TEST_F(Style, EachPaintMakesItsFontFromTheStyleFaceAtTheFixedHeight)
{
    useStyle("toolbar.font: Courier New\n");
    ASSERT_EQ(begin(), 0);
    fonts.clear();
    paintOf("one");
    paintOf("two");
    ASSERT_EQ(fonts.size(), 2u) << "one font per paint";
    const FontRecord& f = fonts.back();
    EXPECT_EQ(f.face, "Courier New");
    EXPECT_EQ(f.height, 12);
    EXPECT_EQ(f.width, 0);
    EXPECT_EQ(f.escapement, 0);
    EXPECT_EQ(f.orientation, 0);
    EXPECT_EQ(f.weight, 400);
    EXPECT_EQ(f.italic | f.underline | f.strikeOut, 0u);
    EXPECT_EQ(f.charSet, 1u);
    EXPECT_EQ(f.outPrecision | f.clipPrecision | f.quality | f.pitchAndFamily, 0u);
}

TEST_F(Style, StyleKeysAndTheirDefaults)
{
    enum Source { TEXT, MISSING, DIRECTORY };
    struct Look {
        std::string face;
        COLORREF text, from, to, border;
        const char* item;  // the "toolbar:" text ParseItem is given
        int bevelWidth, borderWidth;
    };
    const Look defaults = {"Tahoma", RGB(255, 255, 255), RGB(0, 0, 0), RGB(255, 255, 255), RGB(0, 0, 0),
                           "Flat Gradient Vertical", 1, 1};
    struct Case {
        const char* name;
        Source source;
        const char* text;
        Look look;
    };
    const char* const everyKey =
        "toolbar: Raised Gradient Horizontal Bevel2 Interlaced\n"
        "toolbar.color: #010203\n"
        "toolbar.colorTo: #040506\n"
        "borderColor: #070809\n"
        "bevelWidth: 3\n"
        "borderWidth: 2\n"
        "toolbar.font: Verdana\n"
        "*font: Courier New\n"
        "toolbar.textColor: #0A0B0C\n"
        "toolbar.button.picColor: #0D0E0F\n";
    Look everyKeyLook = {"Verdana", RGB(10, 11, 12), RGB(1, 2, 3), RGB(4, 5, 6), RGB(7, 8, 9),
                         "Raised Gradient Horizontal Bevel2 Interlaced", 3, 2};
    auto withFace = [&](const char* face) {
        Look look = defaults;
        look.face = face;
        return look;
    };
    auto withText = [&](COLORREF text) {
        Look look = defaults;
        look.text = text;
        return look;
    };
    const Case cases[] = {
        {"every key set", TEXT, everyKey, everyKeyLook},
        {"no toolbar.font: the *font face", TEXT, "*font: Courier New\n", withFace("Courier New")},
        {"empty toolbar.font: the *font face", TEXT, "toolbar.font:\n*font: Courier New\n", withFace("Courier New")},
        {"toolbar.font wins over *font", TEXT, "*font: Courier New\ntoolbar.font: Verdana\n", withFace("Verdana")},
        {"neither face: Tahoma", TEXT, "toolbar.color: #000000\n", defaults},
        {"no label colour: toolbar.textColor", TEXT,
         "toolbar.textColor: #112233\ntoolbar.button.picColor: #445566\n", withText(RGB(0x11, 0x22, 0x33))},
        {"a label colour: picColor, never the label colour itself", TEXT,
         "toolbar.label.textColor: #778899\ntoolbar.textColor: #112233\ntoolbar.button.picColor: #445566\n",
         withText(RGB(0x44, 0x55, 0x66))},
        {"a label colour without picColor: white", TEXT,
         "toolbar.label.textColor: #778899\ntoolbar.textColor: #112233\n", defaults},
        {"a label colour of the marker text counts as absent", TEXT,
         "toolbar.label.textColor: doesntexist\ntoolbar.textColor: #112233\ntoolbar.button.picColor: #445566\n",
         withText(RGB(0x11, 0x22, 0x33))},
        {"empty style file", TEXT, "", defaults},
        {"missing style file", MISSING, nullptr, defaults},
        {"style path names a directory", DIRECTORY, nullptr, defaults},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.source == TEXT) useStyle(c.text);
        if (c.source == MISSING) host::setStyle(hostDir + "absent.style");
        if (c.source == DIRECTORY) host::setStyle(pluginDir);
        host::clearCalls();
        beginResizing();
        fonts.clear();
        textColors.clear();
        paintOf("Look");

        ASSERT_FALSE(fonts.empty());
        EXPECT_EQ(fonts.back().face, c.look.face);
        ASSERT_FALSE(textColors.empty());
        EXPECT_EQ(textColors.back(), c.look.text);

        auto parsed = host::callsNamed("ParseItem");
        ASSERT_EQ(parsed.size(), 1u);
        EXPECT_EQ(parsed[0].args[0], c.look.item);
        // The plug-in hands MakeGradient the record's fields at offsets 8, 13, 0 and 4.
        host::StyleRecord record;
        host::parseItem(c.look.item, record);
        std::vector<std::string> gradient = lastGradientArgs();
        EXPECT_EQ(gradient[2], std::to_string(record.gradient));
        EXPECT_EQ(gradient[3], colorNumber(c.look.from));
        EXPECT_EQ(gradient[4], colorNumber(c.look.to));
        EXPECT_EQ(gradient[5], record.interlaced ? "true" : "false");
        EXPECT_EQ(gradient[6], std::to_string(record.bevel));
        EXPECT_EQ(gradient[7], std::to_string(record.bevelPosition));
        EXPECT_EQ(gradient[8], std::to_string(c.look.bevelWidth));
        EXPECT_EQ(gradient[9], colorNumber(c.look.border));
        EXPECT_EQ(gradient[10], std::to_string(c.look.borderWidth));
        RECT r = windowRect();
        EXPECT_EQ(r.bottom - r.top, 12 + 2 * (c.look.bevelWidth + c.look.borderWidth));
        end();
    }
}

TEST_F(Style, AStyleChangeRestylesAtOnceButTheWindowKeepsItsSizeUntilTheLabelChanges)
{
    useStyle(style(1, 1));
    beginResizing();
    const std::string longLabel(60, 'x');
    paintOf(longLabel.c_str());
    RECT r = windowRect();
    ASSERT_EQ(r.right - r.left, 300);
    ASSERT_EQ(r.bottom - r.top, 16);

    std::string restyled = hostDir + "restyled.style";
    writeFile(restyled, "toolbar.color: #123456\nbevelWidth: 2\nborderWidth: 2\n");
    host::clearCalls();
    drawTextCalls.clear();
    blits.clear();
    host::changeStyle(restyled);
    EXPECT_EQ(paintPending(), 1) << "the style change repaints";
    r = windowRect();
    EXPECT_EQ(r.right - r.left, 300);
    EXPECT_EQ(r.bottom - r.top, 16);
    std::vector<std::string> gradient = lastGradientArgs();
    EXPECT_EQ(gradient[3], colorNumber(RGB(0x12, 0x34, 0x56)));
    EXPECT_EQ(gradient[1], rectText({0, 0, 300, 16}));
    EXPECT_EQ(rectText(drawTextCalls.back().rect), rectText({4, 4, 296, 12}));
    // Only the new natural size is copied to the window.
    ASSERT_EQ(blits.size(), 1u);
    EXPECT_EQ(blits[0].width, 100);
    EXPECT_EQ(blits[0].height, 20);

    paintOf("short");
    r = windowRect();
    EXPECT_EQ(r.right - r.left, 100);
    EXPECT_EQ(r.bottom - r.top, 20);
    paintOf(longLabel.c_str());
    r = windowRect();
    EXPECT_EQ(r.right - r.left, 300);
    EXPECT_EQ(r.bottom - r.top, 20);
}

TEST_F(Style, AStyleChangeDeletesTheLastBuiltMenuOnce)
{
    ASSERT_EQ(begin(), 0);
    SendMessageA(window(), WM_RBUTTONUP, 0, 0);
    int built = host::liveMenus();
    ASSERT_GT(built, 0);

    host::clearCalls();
    host::changeStyle(styleFile);
    EXPECT_EQ(host::liveMenus(), 0);
    EXPECT_EQ(host::callsNamed("DelMenu").size(), 1u);
    host::changeStyle(styleFile);
    EXPECT_EQ(host::callsNamed("DelMenu").size(), 1u) << "nothing left to delete";

    SendMessageA(window(), WM_RBUTTONUP, 0, 0);
    EXPECT_EQ(host::liveMenus(), built) << "the next right click builds a new menu";
    end();
    EXPECT_EQ(host::liveMenus(), 0);
}

TEST_F(Style, AnAmpersandActsAsTheMnemonicPrefix)
{
    useStyle(style(1, 1));
    beginResizing();
    Blit blank = paintOf("");
    Ink plain = inkBetween(blank, paintOf("WW"));
    Ink marked = inkBetween(blank, paintOf("W&W"));
    Ink doubled = inkBetween(blank, paintOf("W&&W"));
    ASSERT_FALSE(plain.points.empty());

    // "W&W" draws "WW" in the same place and adds an underline beneath.
    for (const POINT& p : plain.points) ASSERT_TRUE(marked.contains(p.x, p.y)) << p.x << "," << p.y;
    EXPECT_GT(marked.points.size(), plain.points.size());
    EXPECT_EQ(marked.left, plain.left);
    EXPECT_EQ(marked.right, plain.right);
    EXPECT_GT(marked.bottom, plain.bottom);
    // "W&&W" draws one ampersand between the letters.
    EXPECT_GT(doubled.right - doubled.left, plain.right - plain.left + 3);
}

TEST_F(Style, PaintsAndStyleChangesReleaseEveryGdiObject)
{
    std::string other = hostDir + "other.style";
    writeFile(other, style(2, 3, "toolbar.font: Courier New\n"));
    useStyle(style(1, 1));
    beginResizing();
    host::sendSetLabel("Balance");
    paintPending();

    bitBlt_.reset();  // keeping 11,000 captures would only cost time and memory
    HANDLE process = GetCurrentProcess();
    DWORD before = GetGuiResources(process, GR_GDIOBJECTS);
    long paints = 0;
    {
        GdiTracking tracking(module);
        ASSERT_TRUE(tracking.active());
        HWND w = window();
        for (int i = 0; i < 10000; ++i) {
            InvalidateRect(w, nullptr, FALSE);
            UpdateWindow(w);
            ++paints;
        }
        for (int i = 0; i < 1000; ++i) {
            host::changeStyle(i % 2 == 0 ? other : styleFile);
            UpdateWindow(w);
            ++paints;
        }
        const GdiLedger& l = tracking.ledger();
        EXPECT_EQ(l.fontsCreated, paints);
        EXPECT_EQ(l.created, 3 * paints) << "a DC, a bitmap and a font per paint";
        EXPECT_EQ(l.deleted, l.created);
        EXPECT_TRUE(l.live.empty());
        EXPECT_TRUE(l.faults.empty()) << l.faults.size() << " faults, first: " << l.faults.front();
    }
    host::clearCalls();
    drawTextCalls.clear();
    DWORD after = GetGuiResources(process, GR_GDIOBJECTS);
    if (before != 0) {
        EXPECT_EQ(after, before) << "the process's GDI object count";
    }
}

TEST_F(Style, OverlongStyleTextsAreCutToTheirBuffers)
{
    const std::string face300(300, 'F');
    struct Case {
        const char* name;
        std::string style;
    };
    const Case cases[] = {
        {"toolbar.font", "toolbar.font: " + face300 + "\n"},
        {"*font", "*font: " + face300 + "\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        useStyle(c.style);
        ASSERT_EQ(begin(), 0);
        fonts.clear();
        EXPECT_EQ(shownLabel(), "statsinit");
        ASSERT_FALSE(fonts.empty());
        EXPECT_EQ(fonts.back().face, face300.substr(0, 255));
        end();
    }

    useStyle("toolbar: Raised Gradient Horizontal " + std::string(5000, 'x') + "\n");
    host::clearCalls();
    ASSERT_EQ(begin(), 0);
    EXPECT_EQ(shownLabel(), "statsinit");
    auto parsed = host::callsNamed("ParseItem");
    ASSERT_EQ(parsed.size(), 1u);
    EXPECT_EQ(parsed[0].args[0].size(), 4095u);
    std::vector<std::string> gradient = lastGradientArgs();
    EXPECT_EQ(gradient[2], std::to_string(host::GRADIENT_HORIZONTAL)) << "the start of the text still counts";
    EXPECT_EQ(gradient[6], std::to_string(host::BEVEL_RAISED));
    end();
}

TEST_F(Style, AnOverlongStylePathIsCutAndReadsAsMissing)
{
    std::string path = hostDir + std::string(300, 's') + ".style";
    host::setStyle(path);
    host::clearCalls();
    beginResizing();
    fonts.clear();
    textColors.clear();
    paintOf("Long path");

    auto reads = host::callsNamed("ReadColor");
    ASSERT_FALSE(reads.empty());
    EXPECT_EQ(reads[0].args[0], path.substr(0, 259));
    ASSERT_FALSE(fonts.empty());
    EXPECT_EQ(fonts.back().face, "Tahoma");
    EXPECT_EQ(textColors.back(), RGB(255, 255, 255));
    RECT r = windowRect();
    EXPECT_EQ(r.bottom - r.top, 16);
}

TEST_F(Style, ExtremeBevelAndBorderWidthsNeitherCrashNorLeak)
{
    struct Case {
        int bevelWidth, borderWidth;
    };
    const Case cases[] = {{INT_MAX, INT_MAX}, {INT_MIN, INT_MIN}, {INT_MAX, INT_MIN}, {100000, 100000},
                          {-3, -3}, {-100, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.bevelWidth) + " bevel, " + std::to_string(c.borderWidth) + " border");
        useStyle(style(c.bevelWidth, c.borderWidth));
        GdiTracking tracking(module);
        ASSERT_TRUE(tracking.active());
        beginResizing();
        paintOf("Extreme");
        host::changeStyle(styleFile);
        UpdateWindow(window());
        end();
        EXPECT_TRUE(tracking.ledger().live.empty());
        EXPECT_TRUE(tracking.ledger().faults.empty()) << tracking.ledger().faults.front();
    }
}
