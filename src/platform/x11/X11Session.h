#pragma once
// Inside the X11 back end: the one connection, shared by the windows and
// the session services, and the guard that keeps X errors on it away from
// the host.

#include <X11/Xlib.h>

#include <cstdint>

namespace tarnwick::platform::x11 {

// The open connection, or null.
Display* CurrentDisplay();
// Opens the connection for one more window (null when the server cannot be
// reached) and gives it back; the last Release closes it, at the end of a
// Pump when one runs.
Display* Acquire();
void Release();
// Closes the connection when no window uses it any more (at the end of a Pump).
void CloseIfUnused();
bool PumpRunning();

// While one lives, errors of requests on our connection are counted instead
// of reaching the process's error handler (whose default ends the process,
// the host with it); errors of other connections go on to that handler.
// The handler is the process's own again when the outermost guard ends,
// after the requests sent under it have been answered.
class ErrorTrap {
public:
    ErrorTrap();
    ~ErrorTrap();
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;
    // Waits for the server to answer what was sent; true when a request
    // failed since this guard began.
    bool Failed();

private:
    std::uint64_t errorsBefore_;
};

// The pointer is hidden over our windows while the display counter of the
// session services is below 0; its blank cursor lives with the connection.
bool PointerHidden();
Cursor BlankCursor();
// Gives every X window of ours the cursor the counter asks for.
void ApplyPointerVisibility();

// The state of buttons and modifiers (X's mask) and the pointer's root
// position carried by the last input event, for the services.
void NoteInput(unsigned state, int rootX, int rootY);

// Runs the session timers that are due (the services keep them).
void DeliverTimers();

}  // namespace tarnwick::platform::x11
