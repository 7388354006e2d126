#include "RenderEditor.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "EffectHost.h"
#include "editor/uEditor.h"
#include "framework/WindowManager.h"
#include "platform/PictureFile.h"
#include "platform/Window.h"
#include "platform/headless/HeadlessControl.h"
#include "plugin/uPlugin.h"

namespace tarnwick::host {

namespace {

// The gate asks its host for a version and names; nothing else matters here.
VstIntPtr renderHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

AEffEditor* makeEditor(APlugin* effect) { return new APluginEditor(effect, PluginEditorForm()); }

// A stand-in for the host's window: the headless back end only records it.
int hostWindow = 0;

}  // namespace

std::vector<std::uint8_t> renderEditor(const RenderArgs& args) {
    APlugin gate(renderHost, makeEditor);
    if (args.program) {
        if (*args.program < 0 || *args.program >= APlugin::kNumPrograms)
            throw HostError("--program must be 0 to 15");
        gate.setProgram(*args.program);
    }
    for (const auto& [index, value] : args.sets) gate.setParameter(index, value);

    auto* bridge = static_cast<APluginEditor*>(gate.getEditor());
    bridge->setScale(args.scale);
    if (bridge->open(&hostWindow) == 0) {
        // The bridge keeps failures from the host; here the reason is wanted.
        try {
            TPluginEditorWindow::Load(PluginEditorForm(), 0, bridge->params,
                                      bridge->scalePercent());
        } catch (const std::exception& e) {
            throw HostError(std::string("the editor cannot be opened: ") + e.what());
        }
        throw HostError("the editor cannot be opened");
    }
    if (args.keyPeak) gate.keyPeak.store(*args.keyPeak);
    bridge->idle();
    if (args.about) bridge->form->QuorbelClick(nullptr);
    platform::headless::AdvanceTime(100);
    UpdateWindow(bridge->form->Handle());

    const platform::Window* window =
        platform::WindowFromHandle(reinterpret_cast<std::uintptr_t>(bridge->form->Handle()));
    // The window's pixels carry no alpha; the picture is opaque.
    std::vector<std::uint32_t> pixels(window->Pixels(),
                                      window->Pixels() + window->Width() * window->Height());
    for (std::uint32_t& p : pixels) p |= 0xFF000000u;
    std::vector<std::uint8_t> png =
        platform::EncodePng({reinterpret_cast<const std::uint8_t*>(pixels.data()), window->Width(),
                             window->Height(), false});
    bridge->close();
    return png;
}

}  // namespace tarnwick::host
