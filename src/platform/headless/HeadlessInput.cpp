#include "platform/headless/HeadlessInput.h"

#include "platform/Services.h"
#include "platform/Window.h"
#include "platform/WindowMessages.h"
#include "platform/headless/HeadlessControl.h"

namespace tarnwick::platform::headless {

namespace {

using namespace msg;

constexpr std::int32_t kAltContext = 0x20000000;  // key data: Alt held
constexpr std::int32_t kKeyUpFlags = static_cast<std::int32_t>(0xC0000001u);

// The buttons held, as the MK_ flags of mouse messages (shared by every
// window, like the real mouse). The modifier keys are the session's, so that
// GetKeyState agrees with the injected keys.
std::uint32_t held = 0;

std::int32_t Point(int x, int y) {
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(y) << 16) |
                                     (static_cast<std::uint32_t>(x) & 0xFFFFu));
}

std::uint32_t Keys() {
    return held | (IsModifierDown(ModifierKey::Shift) ? kShiftFlag : 0u) |
           (IsModifierDown(ModifierKey::Control) ? kControlFlag : 0u);
}

// The headless screen is the window's client area: the pointer follows the
// injected mouse there.
void MovePointer(int x, int y) { SetPointerPosition({x, y}); }

}  // namespace

void MouseMove(Window& window, int x, int y) {
    MovePointer(x, y);
    window.Send(kMouseMove, Keys(), Point(x, y));
}

void MouseButton(Window& window, Button button, bool down, int x, int y) {
    static constexpr std::uint32_t flags[] = {kLeftFlag, kRightFlag, kMiddleFlag};
    static constexpr std::uint32_t downs[] = {kLeftDown, kRightDown, kMiddleDown};
    const auto i = static_cast<int>(button);
    MovePointer(x, y);
    if (down)
        held |= flags[i];
    else
        held &= ~flags[i];
    window.Send(downs[i] + (down ? 0 : 1), Keys(), Point(x, y));
}

void Click(Window& window, int x, int y) {
    MouseButton(window, Button::Left, true, x, y);
    MouseButton(window, Button::Left, false, x, y);
}

void DoubleClick(Window& window, int x, int y) {
    Click(window, x, y);
    MovePointer(x, y);
    held |= kLeftFlag;
    window.Send(kLeftDoubleClick, Keys(), Point(x, y));
    MouseButton(window, Button::Left, false, x, y);
}

void Wheel(Window& window, int delta, int x, int y) {
    MovePointer(x, y);
    window.Send(kMouseWheel, WheelParam(Keys(), delta), Point(x, y));
}

void Key(Window& window, std::uint16_t virtualKey, bool down, bool alt) {
    if (virtualKey == 0x10) SetModifierDown(ModifierKey::Shift, down);
    if (virtualKey == 0x11) SetModifierDown(ModifierKey::Control, down);
    if (virtualKey == 0x12) SetModifierDown(ModifierKey::Alt, down);
    const std::uint32_t msg = (alt ? kSysKeyDown : kKeyDown) + (down ? 0 : 1);
    window.Send(msg, virtualKey, (down ? 1 : kKeyUpFlags) | (alt ? kAltContext : 0));
}

void Char(Window& window, char c, bool alt) {
    window.Send(alt ? kSysChar : kChar, static_cast<unsigned char>(c), 1 | (alt ? kAltContext : 0));
}

}  // namespace tarnwick::platform::headless
