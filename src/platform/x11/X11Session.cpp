// The back end's connection to the X server, the error guard, and what
// happens when the server goes away.
#include "platform/x11/X11Session.h"

#include "platform/x11/SocketWatch.h"

namespace tarnwick::platform::x11 {

namespace {

struct Session {
    Display* display = nullptr;
    Cursor blank = None;
    int users = 0;
    int trapDepth = 0;
    XErrorHandler previous = nullptr;
    std::uint64_t errors = 0;
    bool lost = false;
    XIOErrorHandler previousIO = nullptr;
    // Set when the input was read to its end, with the request count then.
    bool inputRead = false;
    unsigned long inputReadAt = 0;
    // Whether the connection's socket became readable: every idle call asks.
    SocketWatch watch;
    ~Session();
};

[[gnu::hot]] Session& State() {
    static Session session;
    return session;
}

int OnError(Display* display, XErrorEvent* error) {
    Session& s = State();
    if (display == s.display) {
        ++s.errors;
        return 0;
    }
    return s.previous ? s.previous(display, error) : 0;
}

// The server went away. The IO error handler is the process's, shared
// with the host's connections: the loss of ours is only noted (Xlib's
// default would print and end the process); the others go on to the
// handler that was there before. Returning leaves our connection marked
// broken inside Xlib, which then sends nothing more on it.
int OnIOError(Display* display) {
    Session& s = State();
    if (display == s.display) {
        s.lost = true;
        return 0;
    }
    return s.previousIO ? s.previousIO(display) : 0;
}

// After the IO error handler returns, the connection's own exit handler is
// called (Xlib's default exits): ours lets the call that met the loss return.
void OnIOErrorExit(Display*, void*) { State().lost = true; }

// Whether requests were sent whose answers have not been seen: only then
// is a round trip needed to learn about their errors.
[[gnu::hot]] bool Unanswered(Display* display) {
    return NextRequest(display) - 1 != LastKnownRequestProcessed(display);
}

void Close() {
    Session& s = State();
    {
        ErrorTrap trap;
        if (s.blank != None && !s.lost) XFreeCursor(s.display, s.blank);
        s.blank = None;
        // On a lost connection this sends nothing: it frees the memory and
        // closes the socket.
        XCloseDisplay(s.display);
        s.display = nullptr;
        s.watch.Stop();
        s.lost = false;
        s.inputRead = false;
    }
    // The process's handler goes back, unless one was set over ours since
    // (whoever set it keeps it).
    const XIOErrorHandler current = XSetIOErrorHandler(s.previousIO);
    if (current != OnIOError) XSetIOErrorHandler(current);
    s.previousIO = nullptr;
}

// The module unloads (or the process ends) with a window of ours still open,
// in a host that never closed its editor: the connection goes with the
// module, and the server destroys our windows with it, so that none is left
// in the host's window without code behind it; the process's IO error
// handler, ours while the connection is open, is the host's again.
Session::~Session() {
    if (display) Close();
}

}  // namespace

[[gnu::hot]] ErrorTrap::ErrorTrap() {
    Session& s = State();
    if (s.trapDepth++ == 0) s.previous = XSetErrorHandler(OnError);
    errorsBefore_ = s.errors;
}

[[gnu::hot]] ErrorTrap::~ErrorTrap() {
    Session& s = State();
    if (s.display && !s.lost && Unanswered(s.display)) XSync(s.display, False);
    if (--s.trapDepth == 0) {
        XSetErrorHandler(s.previous);
        DropLostConnection();
    }
}

bool ErrorTrap::Failed() {
    Session& s = State();
    if (s.display && !s.lost && Unanswered(s.display)) XSync(s.display, False);
    return s.errors != errorsBefore_;
}

[[gnu::hot]] bool MayHaveInput(Display* display) {
    Session& s = State();
    // Xlib reads from the socket only inside calls of ours: the pump's own
    // reading, which ends with everything read, and calls that send a
    // request (one that waits for its reply reads the events before it).
    // While no request went out since, nothing was read, and the socket
    // tells the rest.
    if (!s.inputRead || display != s.display || NextRequest(display) != s.inputReadAt ||
        QLength(display) > 0)
        return true;
    // Readable, hung up, broken or interrupted: Xlib reads and sees.
    return s.watch.MayBeReadable();
}

void NoteInputRead(Display* display) {
    Session& s = State();
    if (display != s.display || s.lost) return;
    s.inputRead = true;
    s.inputReadAt = NextRequest(display);
}

[[gnu::hot]] Display* CurrentDisplay() {
    Session& s = State();
    return s.lost ? nullptr : s.display;
}

[[gnu::hot]] bool Lost() {
    Session& s = State();
    return s.display && s.lost;
}

[[gnu::hot]] void DropLostConnection() {
    Session& s = State();
    if (!s.display || !s.lost) return;
    std::vector<std::uintptr_t> held;
    AbandonWindows(held);
    s.users = 0;
    Close();
    CancelModes(held);
}

Display* Acquire() {
    Session& s = State();
    if (s.lost) {
        // Inside a call of ours into Xlib the lost connection cannot go yet.
        if (s.trapDepth > 0) return nullptr;
        DropLostConnection();
    }
    if (!s.display) {
        s.display = XOpenDisplay(nullptr);
        if (!s.display) return nullptr;
        XSetIOErrorExitHandler(s.display, OnIOErrorExit, nullptr);
        s.watch.Watch(ConnectionNumber(s.display));
        const XIOErrorHandler previous = XSetIOErrorHandler(OnIOError);
        if (previous != OnIOError) s.previousIO = previous;
        // A cursor of one transparent pixel: the mask has nothing set.
        ErrorTrap trap;
        const ::Window root = DefaultRootWindow(s.display);
        const Pixmap empty = XCreatePixmap(s.display, root, 1, 1, 1);
        const GC gc = XCreateGC(s.display, empty, 0, nullptr);
        XFillRectangle(s.display, empty, gc, 0, 0, 1, 1);
        XFreeGC(s.display, gc);
        XColor black{};
        s.blank = XCreatePixmapCursor(s.display, empty, empty, &black, &black, 0, 0);
        XFreePixmap(s.display, empty);
    }
    ++s.users;
    return s.display;
}

void Release() {
    Session& s = State();
    if (s.users > 0 && --s.users == 0 && !PumpRunning()) Close();
}

Cursor BlankCursor() { return State().blank; }

[[gnu::hot]] void CloseIfUnused() {
    Session& s = State();
    if (s.lost)
        DropLostConnection();
    else if (s.display && s.users == 0)
        Close();
}

}  // namespace tarnwick::platform::x11
