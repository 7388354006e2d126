// The VST 3 module's editor in a host's window on a real X server: the
// test's host makes the view, gives it a frame with the host's run loop
// (whose descriptor and timers it services), attaches it to a top-level
// window of its own, drives it with XTest and compares the screen with
// `tarnwick-host render`. Everything is given back when the module goes.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "support/TempDir.h"
#include "support/Vst3Host.h"

// Last: Xlib's macros (None, Bool, ...) would break the headers above.
#include "support/X11Host.h"

namespace {

using namespace tarnwick::test::vst3;
using tarnwick::test::OpenSockets;

constexpr int kAttackX = 14 + 40, kHoldX = 106 + 40, kKnobY = 32 + 40;

class Vst3Editor : public tarnwick::test::X11Host {
protected:
    void SetUp() override {
        X11Host::SetUp();
        if (!host_) return;
        sockets_ = OpenSockets();
        module_ = std::make_unique<Module>(TARNWICK_VST3_MODULE);
        ASSERT_TRUE(module_->factory) << module_->error;
        gate_ = std::make_unique<Instance>(*module_, app_, handler_);
        ASSERT_TRUE(gate_->ready);
        top_ = TopLevel(20, 30);
    }
    void TearDown() override {
        if (!host_) return;
        for (IPlugView* view : views_) view->release();
        gate_.reset();
        module_.reset();
        // Nothing of the module is left: no window, no connection, no
        // registration, no reference to the host's objects.
        XSync(host_, False);
        EXPECT_EQ(Children().size(), 0u);
        EXPECT_EQ(OpenSockets(), sockets_);
        EXPECT_TRUE(loop_.handlers.empty() && loop_.timers.empty());
        EXPECT_EQ(handler_.refs, 1);
        EXPECT_EQ(loop_.refs, 1);
        EXPECT_TRUE(PointerVisible());
        XDestroyWindow(host_, top_);
        X11Host::TearDown();
        EXPECT_EQ(errors_, 0);
    }
    void Wait(int ms) override { loop_.Run(ms); }

    // A new view of the editor on FRAME (the run loop's unless told).
    IPlugView* View(IPlugFrame* frame = nullptr) {
        IPlugView* view = gate_->controller->createView(ViewType::kEditor);
        if (!view) return nullptr;
        views_.push_back(view);
        view->setFrame(frame ? frame : &loop_);
        return view;
    }
    tresult Attach(IPlugView* view) {
        return view->attached(reinterpret_cast<void*>(top_), kPlatformTypeX11EmbedWindowID);
    }
    int DifferencesFromRender(const std::string& options) {
        return Compare(top_, tarnwick::test::RenderedEditor(TARNWICK_HOST, tmp_.File("editor.png"),
                                                            options))
            .pixels;
    }
    // The gestures heard since FROM: one per parameter, begun, performed,
    // ended, in order; text says what is wrong, empty when nothing is.
    std::string Gesture(ParamID id, std::size_t from = 0) {
        const auto& e = handler_.edits;
        if (e.size() < from + 3) return "fewer than three calls";
        if (e[from].kind != 'b' || e.back().kind != 'e') return "not begun and ended";
        for (std::size_t i = from; i < e.size(); ++i) {
            if (e[i].id != id) return "a call for another parameter";
            if (i > from && i + 1 < e.size() && e[i].kind != 'p') return "not performed inside";
        }
        return "";
    }

    std::unique_ptr<Module> module_;
    std::unique_ptr<Instance> gate_;
    HostApplication app_;
    ComponentHandler handler_;
    RunLoopFrame loop_;
    std::vector<IPlugView*> views_;
    int sockets_ = 0;
    tarnwick::test::TempDir tmp_;
};

TEST_F(Vst3Editor, DrawsAsRenderedAndADragIsOneGesture) {
    IPlugView* view = View();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(gate_->controller->createView("no such view"), nullptr);
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultOk);
    EXPECT_NE(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultOk);
    ViewRect size;
    ASSERT_EQ(view->getSize(&size), kResultOk);
    EXPECT_EQ(size.getWidth(), 336);
    EXPECT_EQ(size.getHeight(), 157);
    ASSERT_EQ(Attach(view), kResultOk);
    EXPECT_EQ(Children().size(), 1u);
    EXPECT_EQ(loop_.timers.size(), 1u);
    EXPECT_EQ(loop_.handlers.size(), 1u) << "the editor's connection is watched";
    Wait(150);
    EXPECT_EQ(DifferencesFromRender(""), 0);

    // A real drag on the attack knob: one gesture, and the value shown.
    Drag(kAttackX, kKnobY, -4, 8, true);
    EXPECT_FALSE(PointerVisible());
    Button(false);
    Wait(150);
    EXPECT_TRUE(PointerVisible());
    EXPECT_EQ(Gesture(0), "");
    const double attack = handler_.edits[handler_.edits.size() - 2].value;
    EXPECT_GT(attack, 0.1);
    EXPECT_EQ(gate_->controller->getParamNormalized(0), attack);
    char set[64];
    std::snprintf(set, sizeof set, "--set attack=%.9g", attack);
    EXPECT_EQ(DifferencesFromRender(set), 0);
    // The host's value reaches the editor.
    gate_->controller->setParamNormalized(3, 0.125);
    Wait(100);
    EXPECT_EQ(DifferencesFromRender(std::string(set) + " --set threshold=0.125"), 0);

    // One view at a time; the other may come once the first is gone.
    IPlugView* second = View();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(Attach(second), kResultOk);
    EXPECT_NE(Attach(view), kResultOk) << "attached twice";
    XSync(host_, False);
    EXPECT_EQ(Children().size(), 1u);
    EXPECT_EQ(view->removed(), kResultOk);
    XSync(host_, False);
    EXPECT_EQ(Children().size(), 0u);
    EXPECT_TRUE(loop_.handlers.empty() && loop_.timers.empty());
    EXPECT_EQ(OpenSockets(), sockets_) << "the editor's connection goes with it";
    ASSERT_EQ(Attach(second), kResultOk);
    Wait(100);
    EXPECT_EQ(DifferencesFromRender(std::string(set) + " --set threshold=0.125"), 0);
    EXPECT_EQ(second->removed(), kResultOk);
    EXPECT_NE(second->removed(), kResultOk) << "removed twice";
}

TEST_F(Vst3Editor, DrawnAtTheHostsContentScaleAndResizedByItsFrame) {
    IPlugView* view = View();
    ASSERT_NE(view, nullptr);
    IPlugViewContentScaleSupport* scale = nullptr;
    ASSERT_EQ(view->queryInterface(IPlugViewContentScaleSupport::iid.data(),
                                   reinterpret_cast<void**>(&scale)),
              kResultOk);
    const auto size = [&] {
        ViewRect r;
        view->getSize(&r);
        return std::to_string(r.getWidth()) + "x" + std::to_string(r.getHeight());
    };
    const auto window = [&] {
        XSync(host_, False);
        const auto children = Children();
        XWindowAttributes a{};
        if (children.size() == 1) XGetWindowAttributes(host_, children[0], &a);
        return std::to_string(a.width) + "x" + std::to_string(a.height);
    };
    EXPECT_EQ(scale->setContentScaleFactor(1.5f), kResultOk);
    EXPECT_EQ(size(), "504x236");
    ASSERT_EQ(Attach(view), kResultOk);
    EXPECT_EQ(window(), "504x236");
    EXPECT_TRUE(loop_.resizes.empty()) << "the host sized its window by getSize";
    // A change while attached: the window anew at its size, the frame asked
    // for it, the editor still on the run loop.
    EXPECT_EQ(scale->setContentScaleFactor(2.0f), kResultOk);
    EXPECT_EQ(size(), "672x314");
    ASSERT_EQ(loop_.resizes.size(), 1u);
    EXPECT_EQ(loop_.resizes[0].getWidth(), 672);
    EXPECT_EQ(loop_.resizes[0].getHeight(), 314);
    Wait(150);
    EXPECT_EQ(window(), "672x314");
    EXPECT_EQ(loop_.timers.size(), 1u);
    EXPECT_EQ(loop_.handlers.size(), 1u);
    scale->setContentScaleFactor(2.0f);
    EXPECT_EQ(loop_.resizes.size(), 1u) << "the same scale asks nothing";
    scale->release();
    EXPECT_EQ(view->removed(), kResultOk);
}

TEST_F(Vst3Editor, AHostThatCutsADragShortHearsItsEnd) {
    // Removed in the middle of a drag.
    IPlugView* view = View();
    ASSERT_EQ(Attach(view), kResultOk);
    Wait(100);
    Drag(kHoldX, kKnobY, -10, 2, true);
    EXPECT_FALSE(PointerVisible());
    ASSERT_FALSE(handler_.edits.empty());
    EXPECT_EQ(view->removed(), kResultOk);
    EXPECT_EQ(Gesture(1), "");
    EXPECT_TRUE(PointerVisible());
    Button(false);
    Wait(100);
    EXPECT_TRUE(PointerVisible());

    // Removed and let go by the host from inside the editor's own edit.
    const std::size_t from = handler_.edits.size();
    IPlugView* again = View();
    ASSERT_EQ(Attach(again), kResultOk);
    Wait(100);
    handler_.during = [&](const ComponentHandler::Edit& edit) {
        if (edit.kind != 'p' || views_.empty()) return;
        handler_.during = nullptr;
        EXPECT_EQ(again->removed(), kResultOk);
        again->release();
        views_.pop_back();
    };
    Drag(kAttackX, kKnobY, -6, 3, true);
    Button(false);
    Wait(100);
    EXPECT_TRUE(views_.size() == 1u) << "the host's edit was heard";
    EXPECT_EQ(Gesture(0, from), "");
    EXPECT_TRUE(loop_.handlers.empty() && loop_.timers.empty());
    XSync(host_, False);
    EXPECT_EQ(Children().size(), 0u);
}

TEST_F(Vst3Editor, WithoutARunLoopTheViewDoesNotAttach) {
    PlainFrame plain;
    IPlugView* view = View(&plain);
    ASSERT_NE(view, nullptr);
    EXPECT_NE(Attach(view), kResultOk);
    view->setFrame(nullptr);
    EXPECT_NE(Attach(view), kResultOk);
    EXPECT_NE(view->attached(nullptr, kPlatformTypeX11EmbedWindowID), kResultOk);
    view->setFrame(&loop_);
    EXPECT_NE(view->attached(reinterpret_cast<void*>(top_), kPlatformTypeHWND), kResultOk);
    XSync(host_, False);
    EXPECT_EQ(Children().size(), 0u);
    EXPECT_EQ(OpenSockets(), sockets_);
    EXPECT_EQ(plain.refs, 1);
    // The same view attaches to a frame that lends its run loop.
    ASSERT_EQ(Attach(view), kResultOk);
    Wait(60);
    EXPECT_EQ(Children().size(), 1u);
    // Left attached: released without removed(), as some hosts do, it takes itself down.
}

}  // namespace
