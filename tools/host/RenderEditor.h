#pragma once
// `tarnwick-host render`: the gate's editor drawn as it is composed, without
// a window system, written as a PNG file.

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
};

// Makes a gate with its editor (the editor library on the headless back
// end), applies the program and then the settings, opens the editor, shows
// the key peak on the meter, runs one timer tick, and writes the window's
// pixels. Raises HostError or the PNG writer's error on failure.
void renderEditor(const RenderArgs& args);

}  // namespace tarnwick::host
