// `render` in a build without the editor (the audio-only Windows build):
// the command is known, but there is nothing to draw.
#include "EffectHost.h"
#include "RenderEditor.h"

std::vector<std::uint8_t> tarnwick::host::renderEditor(const RenderArgs&) {
    throw HostError("render needs a build with the editor (TARNWICK_AUDIO_ONLY=OFF)");
}
