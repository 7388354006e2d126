// The user's decimal separator from the regional settings of Windows.
#include "platform/DecimalSeparator.h"

#include <windows.h>

namespace tarnwick::platform {

char ReadUserDecimalSeparator() {
    // Room for the longest separator the settings allow; a single character
    // comes back as two bytes with its NUL.
    char separator[8] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, sizeof separator) == 2)
        return separator[0];
    return '.';
}

}  // namespace tarnwick::platform
