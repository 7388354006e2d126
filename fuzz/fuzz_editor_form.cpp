// The editor's own form path on any bytes: a binary form, a text form or
// patches to the shipped form (see FormBytes), read by
// TPluginEditorWindow::Load into a headless window, with the gate behind it. A form that loads is painted and used as a user would: the
// pointer over a caption, a drag on a knob and on the slider, a click on a
// switch, the about panel opened and closed, a host change picked up at a
// timer tick; then it is destroyed. A malformed form is refused with an
// exception, nothing else.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include <sanitizer/lsan_interface.h>

#include "editor/uEditor.h"
#include "framework/WindowManager.h"
#include "objects/TextForm.h"
#include "platform/FontRasteriser.h"
#include "platform/Window.h"
#include "platform/headless/HeadlessControl.h"
#include "platform/headless/HeadlessInput.h"
#include "plugin/uPlugin.h"

namespace {

namespace input = tarnwick::platform::headless;

VstIntPtr QuietHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) { return 0; }

struct Point {
    int x, y;
};

// The middle of a control in the window's client coordinates; a form may give
// any bounds, so the sum is kept to where a pointer can be.
Point Middle(const TControl* control, const TControl* window) {
    std::int64_t x = control->Width() / 2, y = control->Height() / 2;
    for (const TControl* c = control; c && c != window; c = c->Parent()) {
        x += c->Left();
        y += c->Top();
    }
    const auto fit = [](std::int64_t v) {
        return static_cast<int>(std::clamp<std::int64_t>(v, -32768, 32767));
    };
    return {fit(x), fit(y)};
}

bool StartsWith(std::span<const std::uint8_t> in, std::string_view word) {
    return in.size() >= word.size() && std::memcmp(in.data(), word.data(), word.size()) == 0;
}

// The form the bytes stand for: a binary form as it is, a text form turned
// binary; anything else patches the shipped form, so that small inputs reach
// its pictures too: (offset: 4 bytes little-endian, taken modulo the form's
// size; count: 1 byte; that many bytes written over the form there), over
// and over.
std::vector<std::uint8_t> FormBytes(std::span<const std::uint8_t> in) {
    if (StartsWith(in, "TPF0")) return {in.begin(), in.end()};
    if (StartsWith(in, "object") || StartsWith(in, "inherited") || StartsWith(in, "inline")) {
        TMemoryStream text(in.data(), in.size()), binary;
        ObjectTextToBinary(text, binary);
        return binary.Bytes();
    }
    const std::span<const std::uint8_t> shipped = tarnwick::PluginEditorForm();
    std::vector<std::uint8_t> form(shipped.begin(), shipped.end());
    while (in.size() >= 5) {
        std::size_t at = (std::size_t(in[0]) | std::size_t(in[1]) << 8 | std::size_t(in[2]) << 16 |
                          std::size_t(in[3]) << 24) %
                         form.size();
        const std::size_t count = std::min<std::size_t>(in[4], in.size() - 5);
        for (std::size_t i = 0; i < count && at < form.size(); ++i) form[at++] = in[5 + i];
        in = in.subspan(5 + count);
    }
    return form;
}

void Use(TPluginEditorWindow& window) {
    using input::Button;
    tarnwick::platform::Window& native =
        *tarnwick::platform::WindowFromHandle(reinterpret_cast<std::uintptr_t>(window.Handle()));
    const auto paint = [&] { UpdateWindow(window.Handle()); };
    const auto drag = [&](TControl* control, int dx, int dy) {
        const Point at = Middle(control, &window);
        input::MouseButton(native, Button::Left, true, at.x, at.y);
        input::MouseMove(native, at.x + dx / 2, at.y + dy / 2);
        input::MouseMove(native, at.x + dx, at.y + dy);
        input::MouseButton(native, Button::Left, false, at.x + dx, at.y + dy);
        paint();
    };
    const auto click = [&](TControl* control) {
        const Point at = Middle(control, &window);
        input::Click(native, at.x, at.y);
        paint();
    };

    paint();
    const Point caption = Middle(window.Quorbel, &window);
    input::MouseMove(native, caption.x, caption.y);
    paint();
    drag(window.DIBKnob1, 0, -40);
    drag(window.Thresh, 0, 30);
    click(window.Active);
    click(window.Quorbel);
    click(window.Label2);
    // The host moves a knob; the updater's tick shows it, and the captions
    // fade meanwhile.
    window.params[APlugin::kHold].store(0.75f);
    input::AdvanceTime(100);
    paint();
    input::AdvanceTime(1000);
    paint();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The system's fontconfig loses a few hundred bytes, once, while it parses
    // its configuration (a form may name any font family); that first load
    // happens here, out of the leak checker's sight.
    __lsan_disable();
    tarnwick::platform::OpenFont({"Serif"});
    __lsan_enable();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    input::ResetServices();
    std::vector<std::uint8_t> form;
    try {
        form = FormBytes({data, size});
    } catch (const Exception&) {
        return 0;
    }
    APlugin gate(&QuietHost, nullptr);
    tarnwick::EditorParams params{};
    std::unique_ptr<TPluginEditorWindow> window;
    try {
        window = TPluginEditorWindow::Load(form, 0, params);
    } catch (const Exception&) {
        return 0;
    }
    window->plugin = &gate;
    Use(*window);
    window.reset();
    input::ResetServices();
    return 0;
}
