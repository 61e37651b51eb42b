// The toolbar look: reads the host's style into the instance and paints the window with it.
#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include "instance.h"
#include "text.h"

// Offsets of the fields the host's style parser fills in its record.
const int ITEM_WORD0 = 0;
const int ITEM_WORD1 = 4;
const int ITEM_TYPE = 8;
const int ITEM_FLAG = 13;

static int recordInt(const unsigned char* record, int offset)
{
    int value;
    memcpy(&value, record + offset, sizeof value);
    return value;
}

// The style's widths may be any number: keep the height arithmetic inside int.
static int clampToInt(long long value)
{
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

void PluginInstance::readStyle()
{
    copyText(styleFile, stylePath(NULL));

    colorFrom = ReadColor(styleFile, "toolbar.color:", "#000000");
    colorTo = ReadColor(styleFile, "toolbar.colorTo:", "#FFFFFF");
    borderColor = ReadColor(styleFile, "borderColor:", "#000000");

    char itemText[TEXT_SIZE];
    copyText(itemText, ReadString(styleFile, "toolbar:", "Flat Gradient Vertical"));
    freeStyleItem();
    styleItem = static_cast<unsigned char*>(malloc(STYLE_RECORD_SIZE));
    if (styleItem != NULL) ParseItem(itemText, styleItem);

    bevelWidth = ReadInt(styleFile, "bevelWidth:", 1);
    borderWidth = ReadInt(styleFile, "borderWidth:", 1);

    copyText(fontName, ReadString(styleFile, "toolbar.font:", ""));
    if (sameTextIgnoringCase(fontName, "")) copyText(fontName, ReadString(styleFile, "*font:", "Tahoma"));

    fontHeight = 12;

    char labelColorKey[TEXT_SIZE];
    copyText(labelColorKey, ReadString(styleFile, "toolbar.label.textColor:", "doesntexist"));
    if (sameText(labelColorKey, "doesntexist")) {
        textColor = ReadColor(styleFile, "toolbar.textColor:", "#FFFFFF");
    } else {
        textColor = ReadColor(styleFile, "toolbar.button.picColor:", "#FFFFFF");
    }

    width = MIN_WIDTH;
    height = clampToInt(fontHeight + 2LL * (static_cast<long long>(bevelWidth) + borderWidth));
}

LRESULT PluginInstance::onReconfigure()
{
    freeMenu();
    readStyle();
    repaint();
    return 0;
}

LRESULT PluginInstance::onPaint()
{
    RECT r;
    GetClientRect(hwnd, &r);
    PAINTSTRUCT ps;
    HDC windowDC = BeginPaint(hwnd, &ps);
    if (windowDC == NULL) return 0;

    HDC memoryDC = CreateCompatibleDC(NULL);
    HBITMAP bitmap = memoryDC != NULL ? CreateCompatibleBitmap(windowDC, r.right - r.left, r.bottom - r.top) : NULL;
    if (bitmap != NULL) {
        HGDIOBJ previousBitmap = SelectObject(memoryDC, bitmap);

        int type = 0, word0 = 0, word1 = 0;
        bool flag = false;
        if (styleItem != NULL) {
            type = recordInt(styleItem, ITEM_TYPE);
            word0 = recordInt(styleItem, ITEM_WORD0);
            word1 = recordInt(styleItem, ITEM_WORD1);
            flag = styleItem[ITEM_FLAG] != 0;
        }
        MakeGradient(memoryDC, r, type, colorFrom, colorTo, flag, word0, word1, bevelWidth, borderColor, borderWidth);

        // No window is wider than this; the bound keeps the negation below defined.
        long long insetWanted = static_cast<long long>(bevelWidth) + borderWidth;
        int inset = static_cast<int>(insetWanted > 65536 ? 65536 : (insetWanted < -65536 ? -65536 : insetWanted));
        InflateRect(&r, -inset, -inset);
        SetBkMode(memoryDC, TRANSPARENT);
        SetTextColor(memoryDC, textColor);

        HFONT font = CreateFontA(fontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, fontName);
        HGDIOBJ previousFont = font != NULL ? SelectObject(memoryDC, font) : NULL;
        DrawTextA(memoryDC, label, -1, &r, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
        if (font != NULL) {
            SelectObject(memoryDC, previousFont);
            DeleteObject(font);
        }

        BitBlt(windowDC, 0, 0, width, height, memoryDC, 0, 0, SRCCOPY);
        SelectObject(memoryDC, previousBitmap);
    }
    if (memoryDC != NULL) DeleteDC(memoryDC);
    if (bitmap != NULL) DeleteObject(bitmap);
    EndPaint(hwnd, &ps);
    return 0;
}
