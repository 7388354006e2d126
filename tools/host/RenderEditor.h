#pragma once
// `tarnwick-host render`: the gate's editor drawn as it is composed, without
// a window system, as a PNG picture.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick::host {

struct RenderArgs {
    std::string out;
    std::vector<std::pair<int, float>> sets;  // parameter index, value
    std::optional<int> program;
    std::optional<float> keyPeak;
    bool about = false;
    double scale = 1.0;  // the device scale, to the nearest of the editor's steps
    bool force = false;  // replace a read-only OUT
};

// Makes a gate with its editor (the editor library on the headless back
// end), applies the program and then the settings, opens the editor at the
// scale (the picture is the editor's size at that scale), shows
// the key peak on the meter, runs one timer tick, and answers the window's
// pixels as the bytes of a PNG file. Raises HostError or the PNG encoder's
// error on failure.
std::vector<std::uint8_t> renderEditor(const RenderArgs& args);

}  // namespace tarnwick::host
