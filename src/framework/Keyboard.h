#pragma once
// The modifier keys and mouse buttons that go with an input message, as
// controls and menus see them.

#include <cstdint>

#include "objects/TypInfo.h"

enum class TShiftStateFlag : uint8_t {
    ssShift,
    ssAlt,
    ssCtrl,
    ssLeft,
    ssRight,
    ssMiddle,
    ssDouble
};
TW_ENUM(TShiftStateFlag, "ssShift", "ssAlt", "ssCtrl", "ssLeft", "ssRight", "ssMiddle", "ssDouble");
using TShiftState = TSet<TShiftStateFlag>;
// The shift state of a mouse message: the buttons of its WParam (MK_
// flags) with the modifier keys held now (GetKeyState).
TShiftState MouseKeysToShiftState(std::uint32_t keys);
// The shift state of a key message: the modifier keys held now, Alt also
// from the key data's context bit.
TShiftState KeyDataToShiftState(std::int32_t keyData);
