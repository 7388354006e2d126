// The back end's connection to the X server and the error guard.
#include "platform/x11/X11Session.h"

namespace tarnwick::platform::x11 {

namespace {

struct Session {
    Display* display = nullptr;
    Cursor blank = None;
    int users = 0;
    int trapDepth = 0;
    XErrorHandler previous = nullptr;
    std::uint64_t errors = 0;
};

Session& State() {
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

// Whether requests were sent whose answers have not been seen: only then
// is a round trip needed to learn about their errors.
bool Unanswered(Display* display) {
    return NextRequest(display) - 1 != LastKnownRequestProcessed(display);
}

void Close() {
    Session& s = State();
    ErrorTrap trap;
    if (s.blank != None) XFreeCursor(s.display, s.blank);
    s.blank = None;
    XCloseDisplay(s.display);
    s.display = nullptr;
}

}  // namespace

ErrorTrap::ErrorTrap() {
    Session& s = State();
    if (s.trapDepth++ == 0) s.previous = XSetErrorHandler(OnError);
    errorsBefore_ = s.errors;
}

ErrorTrap::~ErrorTrap() {
    Session& s = State();
    if (s.display && Unanswered(s.display)) XSync(s.display, False);
    if (--s.trapDepth == 0) XSetErrorHandler(s.previous);
}

bool ErrorTrap::Failed() {
    Session& s = State();
    if (s.display && Unanswered(s.display)) XSync(s.display, False);
    return s.errors != errorsBefore_;
}

Display* CurrentDisplay() { return State().display; }

Display* Acquire() {
    Session& s = State();
    if (!s.display) {
        s.display = XOpenDisplay(nullptr);
        if (!s.display) return nullptr;
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

void CloseIfUnused() {
    Session& s = State();
    if (s.display && s.users == 0) Close();
}

}  // namespace tarnwick::platform::x11
