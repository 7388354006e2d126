// The bridge between the gate and its window, with a form that has the
// controls the handlers need and no pictures: opening and closing, the
// rectangle, the level meter, updates from other threads, forms that cannot
// be read.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "editor/uEditor.h"
#include "framework/WindowManager.h"
#include "objects/TextForm.h"
#include "platform/Window.h"
#include "platform/headless/HeadlessControl.h"
#include "plugin/uPlugin.h"
#include "support/RecordingHost.h"

namespace {

using tarnwick::test::RecordingHost;

const char* const kForm = R"(object PluginEditorWindow: TPluginEditorWindow
  Width = 336
  Height = 157
  object DIBContainer1: TDIBContainer
    Width = 336
    Height = 159
    object DIBKnob1: TDIBKnob
      Max = 127
      Tag = 0
      OnChange = DIBKnob1Change
    end
    object DIBKnob2: TDIBKnob
      Max = 127
      Tag = 1
      OnChange = DIBKnob1Change
    end
    object DIBKnob3: TDIBKnob
      Max = 127
      Tag = 2
      OnChange = DIBKnob1Change
    end
    object vol: TDIBKnob
      Max = 10
    end
    object EnvMode: TDIBKnob
      Max = 127
      Tag = 4
      OnChange = DIBKnob1Change
    end
    object Active: TDIBKnob
      Max = 127
      Tag = 5
      OnChange = DIBKnob1Change
    end
    object Thresh: TDIBSlider
      Max = 127
      Tag = 3
      OnChange = ThreshChange
    end
    object Quorbel: TDIBKnob
    end
    object Aboutbox: TDIBContainer
      Visible = False
      object Label2: TDIBKnob
      end
    end
  end
  object Updater: TTimer
    Enabled = False
    Interval = 100
    OnTimer = UpdaterTimer
  end
end
)";

std::vector<std::uint8_t> Binary(const std::string& text) {
    TStringStream in(text);
    TMemoryStream out;
    ObjectTextToBinary(in, out);
    return out.Bytes();
}

constexpr auto relaxed = std::memory_order_relaxed;

class Bridge : public ::testing::Test {
protected:
    void SetUp() override { tarnwick::platform::headless::ResetServices(); }
    void Make(const std::vector<std::uint8_t>& form) {
        layout = form;
        plugin = std::make_unique<APlugin>(&RecordingHost::callback, nullptr);
        bridge = new APluginEditor(plugin.get(), layout);
        plugin->setEditor(bridge);
    }
    VstIntPtr Dispatch(VstInt32 opcode, void* ptr = nullptr) {
        return plugin->dispatcher(opcode, 0, 0, ptr, 0.0f);
    }
    ERect Rect() {
        ERect* r = nullptr;
        EXPECT_EQ(Dispatch(effEditGetRect, &r), 1);
        return r ? *r : ERect{-1, -1, -1, -1};
    }
    tarnwick::platform::Window* Native() {
        return tarnwick::platform::WindowFromHandle(
            reinterpret_cast<std::uintptr_t>(bridge->form->Handle()));
    }

    RecordingHost host;
    std::vector<std::uint8_t> layout;
    std::unique_ptr<APlugin> plugin;
    APluginEditor* bridge = nullptr;
    int parent = 0;
};

TEST_F(Bridge, OpensNestedAndReportsItsSize) {
    Make(Binary(kForm));
    // A host may size its window first: the size the form is designed with.
    ERect r = Rect();
    EXPECT_EQ(r.right - r.left, 336);
    EXPECT_EQ(r.bottom - r.top, 157);

    EXPECT_EQ(Dispatch(effEditOpen, &parent), 1);
    EXPECT_EQ(Dispatch(effEditOpen, &parent), 1);
    r = Rect();
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.bottom, 157);
    EXPECT_EQ(r.right, 336);
    ASSERT_NE(Native(), nullptr);
    EXPECT_EQ(Native()->NativeParent(), reinterpret_cast<std::uintptr_t>(&parent));
    // Opened again into another window: the editor is made anew there.
    int other = 0;
    EXPECT_EQ(Dispatch(effEditOpen, &other), 1);
    ASSERT_NE(Native(), nullptr);
    EXPECT_EQ(Native()->NativeParent(), reinterpret_cast<std::uintptr_t>(&other));

    Dispatch(effEditClose);
    Dispatch(effEditClose);
    EXPECT_NE(bridge->form, nullptr);
    EXPECT_EQ(plugin->editorClosed.load(), 0);
    Dispatch(effEditClose);
    EXPECT_EQ(bridge->form, nullptr);
    EXPECT_EQ(plugin->editorClosed.load(), 1);
    // The last size stays.
    EXPECT_EQ(Rect().right, 336);
    Dispatch(effEditClose);
    EXPECT_EQ(bridge->openCount, 0);
}

TEST_F(Bridge, OpenShowsTheCurrentValuesAtOnceAndTheTimerFollowsTheHost) {
    Make(Binary(kForm));
    plugin->setParameter(APlugin::kAttack, 0.5f);  // no window: nothing to change
    ASSERT_EQ(Dispatch(effEditOpen, &parent), 1);
    EXPECT_EQ(bridge->form->DIBKnob1->Position(), 63);  // 63.5 comes down to 63
    EXPECT_EQ(bridge->form->Thresh->Position(), 63);    // threshold 0.5
    EXPECT_EQ(bridge->form->Active->Position(), 126);   // 1.0 shows as 126
    EXPECT_TRUE(bridge->form->Updater->Running());

    plugin->setParameter(APlugin::kThreshold, 0.25f);
    EXPECT_EQ(bridge->form->Thresh->Position(), 63);  // update moves no control
    tarnwick::platform::headless::AdvanceTime(100);
    EXPECT_EQ(bridge->form->Thresh->Position(), 95);
    // The tick writes nothing back.
    EXPECT_EQ(plugin->getParameter(APlugin::kThreshold), 0.25f);
    EXPECT_EQ(host.count(audioMasterAutomate), 0);
}

TEST_F(Bridge, TheMeterFollowsTheKeyPeakAndAQuietEditorRepaintsNothing) {
    Make(Binary(kForm));
    ASSERT_EQ(Dispatch(effEditOpen, &parent), 1);
    TDIBKnob* meter = bridge->form->vol;
    const auto meterAt = [&](float peak) {
        plugin->keyPeak.store(peak, relaxed);
        Dispatch(effEditIdle);
        return meter->Position();
    };
    EXPECT_EQ(meterAt(0.35f), 3);
    EXPECT_EQ(meterAt(0.5f), 4);
    EXPECT_EQ(meterAt(2.0f), 10);

    // A held peak above full scale, then a silent key whose peak hovers just
    // below 0: the meter stays where it is and nothing is invalidated.
    UpdateWindow(bridge->form->Handle());
    Native()->TakeInvalidated();
    meterAt(1.5f);
    EXPECT_FALSE(Native()->HasInvalidated());
    EXPECT_EQ(meterAt(-0.005f), 0);
    UpdateWindow(bridge->form->Handle());
    Native()->TakeInvalidated();
    for (const float peak : {-0.005f, 0.0f, -0.01f}) meterAt(peak);
    EXPECT_FALSE(Native()->HasInvalidated());

    Dispatch(effEditClose);
    plugin->keyPeak.store(0.9f, relaxed);
    Dispatch(effEditIdle);  // no window: nothing to move, nothing breaks
    EXPECT_EQ(bridge->form, nullptr);
}

TEST_F(Bridge, AFormThatCannotBeReadGivesNoEditor) {
    std::vector<std::uint8_t> whole = Binary(kForm);
    std::string noMeter = kForm;
    noMeter.replace(noMeter.find("object vol: TDIBKnob"), 20, "object lov: TDIBKnob");
    const std::vector<std::vector<std::uint8_t>> broken = {
        {},
        {'T', 'P', 'F', '0'},
        std::vector<std::uint8_t>(whole.begin(), whole.begin() + whole.size() / 2),
        Binary(noMeter),
    };
    for (const auto& form : broken) {
        Make(form);
        EXPECT_EQ(Dispatch(effEditOpen, &parent), 0);
        EXPECT_EQ(bridge->form, nullptr);
        EXPECT_EQ(bridge->openCount, 0);
        // The size is the root's own, stored before anything that breaks.
        EXPECT_EQ(Rect().right, form.size() > 4 ? 336 : 0);
        Dispatch(effEditIdle);
        Dispatch(effEditClose);
        EXPECT_EQ(bridge->openCount, 0);
    }
}

// The host's automation thread changes parameters while its window thread
// opens and closes the editor; run under ThreadSanitizer or AddressSanitizer
// this shows any access to a window that is going.
TEST_F(Bridge, UpdatesFromAnotherThreadWhileTheWindowComesAndGoes) {
    Make(Binary(kForm));
    std::atomic<bool> done{false};
    std::thread automation([&] {
        for (int i = 0; !done.load(); ++i) plugin->setParameter(i % 6, (i % 128) / 127.0f);
    });
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(Dispatch(effEditOpen, &parent), 1);
        tarnwick::platform::headless::AdvanceTime(100);
        Dispatch(effEditClose);
    }
    done.store(true);
    automation.join();
    plugin->setParameter(APlugin::kHold, 1.0f);
    ASSERT_EQ(Dispatch(effEditOpen, &parent), 1);
    EXPECT_EQ(bridge->form->DIBKnob2->Position(), 126);
}

}  // namespace
