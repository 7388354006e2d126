#include "vst3/GateView.h"

#include <cstring>

#include "driver/EditorHost.h"
#include "platform/Window.h"
#include "vst3/GateController.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace tarnwick::vst3 {

namespace {

// The idle work (the meter, the editor's timers, painting) at a host's
// usual cadence.
constexpr unsigned kIdleMilliseconds = 20;

#if defined(_WIN32)
constexpr FIDString kPlatformType = kPlatformTypeHWND;

void CALLBACK idleTimer(HWND, UINT, UINT_PTR id, DWORD) {
    // The timer's id is the view; the view kills it before it goes.
    reinterpret_cast<GateView*>(id)->idle();
}
#else
constexpr FIDString kPlatformType = kPlatformTypeX11EmbedWindowID;
#endif

}  // namespace

GateView::GateView(GateController* controller) : controller_(controller) {}

GateView::~GateView() { detach(); }

tresult PLUGIN_API GateView::queryInterface(const TUID iid, void** obj) {
#if defined(_WIN32)
    return Answer<IPlugView, IPlugViewContentScaleSupport>(iid, this, obj);
#else
    return Answer<IPlugView, IPlugViewContentScaleSupport, Linux::IEventHandler,
                  Linux::ITimerHandler>(iid, this, obj);
#endif
}

tresult PLUGIN_API GateView::isPlatformTypeSupported(FIDString type) {
    return type && std::strcmp(type, kPlatformType) == 0 ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API GateView::attached(void* parent, FIDString type) {
    if (attached_ || !parent || isPlatformTypeSupported(type) != kResultTrue) return kResultFalse;
    driver::EditorHost* editor = controller_ ? controller_->editor() : nullptr;
    // One view shows the editor at a time.
    if (!editor || controller_->attachedView()) return kResultFalse;
#if !defined(_WIN32)
    Query(frame_, runLoop_);
    if (!runLoop_) return kResultFalse;
#endif
    if (!editor->open(reinterpret_cast<std::uintptr_t>(parent))) {
#if !defined(_WIN32)
        runLoop_.reset();
#endif
        return kResultFalse;
    }
    attached_ = true;
    controller_->attachedView() = this;
#if defined(_WIN32)
    SetTimer(reinterpret_cast<HWND>(editor->widget()), reinterpret_cast<UINT_PTR>(this),
             kIdleMilliseconds, idleTimer);
#else
    const int fd = platform::EventDescriptor();
    watching_ = fd >= 0 && runLoop_->registerEventHandler(this, fd) == kResultOk;
    runLoop_->registerTimer(this, kIdleMilliseconds);
#endif
    return kResultOk;
}

tresult PLUGIN_API GateView::removed() {
    if (!attached_) return kResultFalse;
    // A host's run loop may hold the view's last references: they go as
    // the view unregisters, and the view must outlive its own detach.
    Ref<GateView> keep(this);
    detach();
    return kResultOk;
}

void GateView::controllerGone() {
    // As in removed(): the controller holds no reference of its own.
    Ref<GateView> keep(this);
    detach();
}

void GateView::detach() {
    if (!attached_) return;
    attached_ = false;
    driver::EditorHost* editor = controller_ ? controller_->editor() : nullptr;
#if defined(_WIN32)
    if (editor)
        KillTimer(reinterpret_cast<HWND>(editor->widget()), reinterpret_cast<UINT_PTR>(this));
#else
    if (runLoop_) {
        if (watching_) runLoop_->unregisterEventHandler(this);
        runLoop_->unregisterTimer(this);
        watching_ = false;
        runLoop_.reset();
    }
#endif
    if (controller_ && controller_->attachedView() == this) controller_->attachedView() = nullptr;
    // Ends every gesture the editor holds; the host hears each end.
    if (editor) editor->close();
}

void GateView::idle() {
    if (!attached_) return;
    // The host may remove and release the view from a call the editor
    // makes during its idle work (an edit it hears): the view stays until
    // the work is done.
    Ref<GateView> keep(this);
    if (driver::EditorHost* editor = controller_->editor()) editor->idle();
}

tresult PLUGIN_API GateView::getSize(ViewRect* size) {
    if (!size) return kInvalidArgument;
    driver::EditorHost* editor = controller_ ? controller_->editor() : nullptr;
    *size = ViewRect{0, 0, editor ? editor->width() : driver::EditorHost::kFormWidth,
                     editor ? editor->height() : driver::EditorHost::kFormHeight};
    return kResultOk;
}

tresult PLUGIN_API GateView::onSize(ViewRect* newSize) {
    // The editor keeps its size; the host's window is told it by getSize.
    return newSize ? kResultOk : kInvalidArgument;
}

tresult PLUGIN_API GateView::checkSizeConstraint(ViewRect* rect) {
    if (!rect) return kInvalidArgument;
    getSize(rect);
    return kResultTrue;
}

tresult PLUGIN_API GateView::setContentScaleFactor(ScaleFactor factor) {
    driver::EditorHost* editor = controller_ ? controller_->editor() : nullptr;
    if (!editor) return kResultFalse;
    const int width = editor->width(), height = editor->height();
    const bool shown = attached_ && controller_->attachedView() == this;
#if defined(_WIN32)
    // The idle timer belongs to the editor's window, which is made anew.
    if (shown)
        KillTimer(reinterpret_cast<HWND>(editor->widget()), reinterpret_cast<UINT_PTR>(this));
#endif
    editor->setScale(factor);
    if (!shown) return kResultOk;
    if (!editor->isOpen()) {
        // No window could be made at the scale: the view shows nothing.
        detach();
        return kResultOk;
    }
#if defined(_WIN32)
    SetTimer(reinterpret_cast<HWND>(editor->widget()), reinterpret_cast<UINT_PTR>(this),
             kIdleMilliseconds, idleTimer);
#endif
    if (frame_ && (editor->width() != width || editor->height() != height)) {
        // The host may remove and release the view from inside the call.
        Ref<GateView> keep(this);
        ViewRect size{0, 0, editor->width(), editor->height()};
        frame_->resizeView(this, &size);
    }
    return kResultOk;
}

tresult PLUGIN_API GateView::setFrame(IPlugFrame* frame) {
    frame_ = frame;
    return kResultOk;
}

}  // namespace tarnwick::vst3
