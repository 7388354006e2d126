// The user's decimal separator from the numeric locale the environment names
// (Windows reads its regional settings instead: win32/Win32DecimalSeparator.cpp).
#include "platform/DecimalSeparator.h"

#include <langinfo.h>
#include <locale.h>

namespace tarnwick::platform {

char ReadUserDecimalSeparator() {
    locale_t locale = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr)) return '.';
    const char* radix = nl_langinfo_l(RADIXCHAR, locale);
    // A single-byte separator only; multi-byte ones cannot stand in a one-char slot.
    const char separator = (radix && radix[0] != '\0' && radix[1] == '\0') ? radix[0] : '.';
    freelocale(locale);
    return separator;
}

}  // namespace tarnwick::platform
