// Snapping a proposed window position to the edges of the screen or its work area.
#include "placement.h"

#include <climits>

namespace host {
namespace {

long long snapAxis(long long position, long long size, long long low, long long high, long long distance)
{
    auto within = [distance](long long a, long long b) { return (a > b ? a - b : b - a) <= distance; };
    if (within(position, low)) return low;
    if (within(position + size, high)) return high - size;
    return position;
}

int clampToInt(long long value)
{
    return static_cast<int>(value < INT_MIN ? INT_MIN : value > INT_MAX ? INT_MAX : value);
}

}  // namespace

bool snapToEdges(WINDOWPOS& pos, int distance, const RECT& area)
{
    if (distance < 0) return false;
    int x = clampToInt(snapAxis(pos.x, pos.cx, area.left, area.right, distance));
    int y = clampToInt(snapAxis(pos.y, pos.cy, area.top, area.bottom, distance));
    bool moved = x != pos.x || y != pos.y;
    pos.x = x;
    pos.y = y;
    return moved;
}

bool snapWindowToEdge(WINDOWPOS* pos, int distance, bool useScreenSize)
{
    if (!pos || (pos->flags & SWP_NOMOVE)) return false;
    WINDOWPOS proposed = *pos;
    RECT current;
    // Without a size in the proposal the window keeps its current one.
    if ((pos->flags & SWP_NOSIZE) && GetWindowRect(pos->hwnd, &current)) {
        proposed.cx = current.right - current.left;
        proposed.cy = current.bottom - current.top;
    }
    RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (!useScreenSize) SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    if (!snapToEdges(proposed, distance, area)) return false;
    pos->x = proposed.x;
    pos->y = proposed.y;
    return true;
}

}  // namespace host
