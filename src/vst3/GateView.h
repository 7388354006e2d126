#pragma once
// The gate's editor in a host's window. On Linux it runs on the host's run
// loop (the module starts no thread): an event handler on the window
// system's connection and a timer for the idle work; without a run loop it
// does not attach. On Windows the system's message loop drives the window
// and a timer of the window does the idle work.

#include "vst3/Vst3Support.h"

namespace tarnwick::vst3 {

class GateController;

class GateView final : public IPlugView,
                       public IPlugViewContentScaleSupport
#if !defined(_WIN32)
    ,
                       public Linux::IEventHandler,
                       public Linux::ITimerHandler
#endif
{
public:
    explicit GateView(GateController* controller);

    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override;
    TARNWICK_VST3_REFCOUNT(GateView);

public:
    // IPlugView
    tresult PLUGIN_API isPlatformTypeSupported(FIDString type) override;
    tresult PLUGIN_API attached(void* parent, FIDString type) override;
    tresult PLUGIN_API removed() override;
    tresult PLUGIN_API onWheel(float) override { return kResultFalse; }
    tresult PLUGIN_API onKeyDown(char16, int16, int16) override { return kResultFalse; }
    tresult PLUGIN_API onKeyUp(char16, int16, int16) override { return kResultFalse; }
    tresult PLUGIN_API getSize(ViewRect* size) override;
    tresult PLUGIN_API onSize(ViewRect* newSize) override;
    tresult PLUGIN_API onFocus(TBool) override { return kResultOk; }
    tresult PLUGIN_API setFrame(IPlugFrame* frame) override;
    tresult PLUGIN_API canResize() override { return kResultFalse; }
    tresult PLUGIN_API checkSizeConstraint(ViewRect* rect) override;
    // IPlugViewContentScaleSupport: the editor is drawn at the host's
    // scale (until one comes, the system's); an attached view that changes
    // size asks its frame to resize.
    tresult PLUGIN_API setContentScaleFactor(ScaleFactor factor) override;
#if !defined(_WIN32)
    // Linux::IEventHandler, Linux::ITimerHandler
    void PLUGIN_API onFDIsSet(Linux::FileDescriptor) override { idle(); }
    void PLUGIN_API onTimer() override { idle(); }
#endif

    // The view's controller goes (terminated): the view lets the editor go.
    void controllerGone();
    // The editor's idle work: input, timers, painting, the meter.
    void idle();

private:
    ~GateView();
    void detach();

    Ref<GateController> controller_;
    IPlugFrame* frame_ = nullptr;  // the host's, which outlives the view's use of it
    bool attached_ = false;
#if !defined(_WIN32)
    Ref<Linux::IRunLoop> runLoop_;
    bool watching_ = false;
#endif
};

}  // namespace tarnwick::vst3
