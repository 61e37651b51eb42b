// Snapping a proposed window position to the edges of the screen or its work area.
#pragma once

#include <windows.h>

namespace host {

// Moves the proposed position flush to each edge it is within distance of; true if it moved.
bool snapToEdges(WINDOWPOS& pos, int distance, const RECT& area);
bool snapWindowToEdge(WINDOWPOS* pos, int distance, bool useScreenSize);

}  // namespace host
