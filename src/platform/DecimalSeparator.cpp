#include "platform/DecimalSeparator.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <langinfo.h>
#include <locale.h>
#endif

namespace tarnwick::platform {

char ReadUserDecimalSeparator() {
#if defined(_WIN32)
    char radix[8] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, radix, sizeof radix) == 2)
        return radix[0];
    return '.';
#else
    locale_t locale = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr)) return '.';
    const char* radix = nl_langinfo_l(RADIXCHAR, locale);
    // A single-byte separator only; multi-byte ones cannot stand in a one-char slot.
    const char separator = (radix && radix[0] != '\0' && radix[1] == '\0') ? radix[0] : '.';
    freelocale(locale);
    return separator;
#endif
}

}  // namespace tarnwick::platform
