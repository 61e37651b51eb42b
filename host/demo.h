// The demo's scripted timeline: a sample application, a sent label, each shipped style, screenshots.
#pragma once

#include <string>
#include <vector>

namespace demo {

// Starts the timeline on the host's message loop; it posts WM_QUIT when done.
bool start(const std::string& outDir);
// Destroys what the timeline created; false if any of its steps failed.
bool finish();
// Writes "x y width height" of the plug-in window (class "Vistrel") to path.
bool writeWindowRect(const std::string& path);
// Names of the style files in the host's styles directory, sorted, without ".style".
std::vector<std::string> shippedStyles();

}  // namespace demo
