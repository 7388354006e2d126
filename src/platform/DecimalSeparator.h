#pragma once
// The user's decimal separator, the one operating-system service the audio
// side needs (the effect's parameter texts use it).

namespace tarnwick::platform {

// Reads the separator of the numeric locale named by the environment (as an
// empty locale name does) without touching the process's own locale; a full
// stop when none can be read or it is not a single byte.
char ReadUserDecimalSeparator();

}  // namespace tarnwick::platform
