// Style items: the record ParseItem fills and the gradient, bevel and border MakeGradient paints.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "duskwell_api.h"

namespace host {

enum Bevel : int32_t { BEVEL_FLAT = 0, BEVEL_RAISED = 1, BEVEL_SUNKEN = 2 };
enum GradientType : int32_t { GRADIENT_SOLID = 0, GRADIENT_HORIZONTAL = 1, GRADIENT_VERTICAL = 2, GRADIENT_DIAGONAL = 3 };

// The 300-byte record a plug-in hands to ParseItem and passes back, field by field, to MakeGradient.
struct StyleRecord {
    int32_t bevel;          // word0 of MakeGradient: Bevel
    int32_t bevelPosition;  // word1: 1 = right inside the border, 2 = bevelWidth - 1 further in
    int32_t gradient;       // type: GradientType
    uint8_t reserved;
    uint8_t interlaced;     // flag: darken every other line
    uint8_t unused[STYLE_RECORD_SIZE - 14];
};
static_assert(sizeof(StyleRecord) == STYLE_RECORD_SIZE, "record size");
static_assert(offsetof(StyleRecord, bevel) == 0, "word0 offset");
static_assert(offsetof(StyleRecord, bevelPosition) == 4, "word1 offset");
static_assert(offsetof(StyleRecord, gradient) == 8, "type offset");
static_assert(offsetof(StyleRecord, interlaced) == 13, "flag offset");

void parseItem(const char* text, StyleRecord& record);

struct Gradient {
    int type;
    COLORREF from, to;
    bool interlaced;
    int bevel, bevelPosition, bevelWidth;
    COLORREF border;
    int borderWidth;
};

// The colour of pixel (x, y) of a width x height rectangle painted with the gradient.
COLORREF gradientPixel(const Gradient& g, long long width, long long height, long long x, long long y);
void makeGradient(HDC dc, const RECT& rect, const Gradient& g);

}  // namespace host
