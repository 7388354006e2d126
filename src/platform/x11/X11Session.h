#pragma once
// Inside the X11 back end: the one connection, shared by the windows and
// the session services, and the guards that keep X errors on it, and the
// loss of the server, away from the host.

#include <X11/Xlib.h>

#include <cstdint>
#include <vector>

namespace tarnwick::platform::x11 {

// The open connection, or null (also once the server is lost).
Display* CurrentDisplay();
// Opens the connection for one more window (null when the server cannot be
// reached) and gives it back; the last Release closes it, at the end of a
// Pump when one runs.
Display* Acquire();
void Release();
// Closes the connection when no window uses it any more, or when the server
// is lost (at the end of a Pump).
void CloseIfUnused();
bool PumpRunning();

// Whether the server went away under the open connection (it died, or the
// socket broke). Xlib's default would end the process there, the host with
// it: the connection has its own handlers, which only note the loss. From
// then on no request goes out; the connection is let go of as soon as no
// call of ours into Xlib is under way (DropLostConnection), and a later
// window opens a new one.
bool Lost();
// When the server is lost: every window forgets its X window (a window
// that held a button hears that the pointer was taken away), and the
// connection's memory is released with no request sent (its socket is only
// closed). Called where no Xlib call of ours is on the stack.
void DropLostConnection();
// The windows' share of that, defined with the windows: each forgets its X
// resources, giving the handles of those that held a button; once the
// connection is closed, those hear kCancelMode.
void AbandonWindows(std::vector<std::uintptr_t>& held);
void CancelModes(const std::vector<std::uintptr_t>& held);

// While one lives, errors of requests on our connection are counted instead
// of reaching the process's error handler (whose default ends the process,
// the host with it); errors of other connections go on to that handler.
// The handler is the process's own again when the outermost guard ends,
// after the requests sent under it have been answered; a server lost
// meanwhile is let go of then.
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

// Runs the session timers that are due (the services keep them); whether
// any may be due now, to tell without touching them.
void DeliverTimers();
bool TimersMayBeDue();

// Whether the connection may hold input not yet read: an event in Xlib's
// queue, bytes on the socket, or a call into Xlib since the last time the
// input was read to its end (NoteInputRead), which may have read some into
// the connection's buffers where no look at the socket sees it. False
// costs one look at the socket and no request, so that an idle call with
// nothing to read sends nothing and takes no lock of Xlib's.
bool MayHaveInput(Display* display);
void NoteInputRead(Display* display);

}  // namespace tarnwick::platform::x11
