#include "framework/Keyboard.h"

#include "framework/Messages.h"
#include "framework/WinApi.h"

namespace {

// The modifier keys held now, as the session knows them.
TShiftState ModifiersDown() {
    TShiftState s;
    if (GetKeyState(VK_SHIFT) < 0) s.Include(TShiftStateFlag::ssShift);
    if (GetKeyState(VK_CONTROL) < 0) s.Include(TShiftStateFlag::ssCtrl);
    if (GetKeyState(VK_MENU) < 0) s.Include(TShiftStateFlag::ssAlt);
    return s;
}

}  // namespace

TShiftState MouseKeysToShiftState(std::uint32_t keys) {
    TShiftState s = ModifiersDown();
    if (keys & MK_LBUTTON) s.Include(TShiftStateFlag::ssLeft);
    if (keys & MK_RBUTTON) s.Include(TShiftStateFlag::ssRight);
    if (keys & MK_MBUTTON) s.Include(TShiftStateFlag::ssMiddle);
    return s;
}

TShiftState KeyDataToShiftState(std::int32_t keyData) {
    TShiftState s = ModifiersDown();
    if (keyData & 0x20000000) s.Include(TShiftStateFlag::ssAlt);  // the context bit
    return s;
}
