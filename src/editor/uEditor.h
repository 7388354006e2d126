#pragma once
// The gate's editor: the window with its knobs, slider, switches, level
// meter and about panel, loaded from a form stream, and the bridge through
// which the effect opens, feeds and closes it.
//
// Threads: the host opens, closes and idles the editor on its window thread,
// where the window's timer and input run too. The effect calls the bridge's
// update from whatever thread changed a parameter, possibly while the window
// thread is closing the window; so the six values the window shows are kept
// by the bridge, which outlives every window, and update never touches the
// window. The window's timer picks the values up at its next tick.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>

#include "controls/cDIBKnob.h"
#include "controls/cDIBPanel.h"
#include "controls/cDIBSlider.h"
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "plugin/uPlugin.h"
#include "vst/DAEffEditor.h"

class APlugin;

namespace tarnwick {

// The six parameter values as the editor shows them, by parameter index.
using EditorParams = std::array<std::atomic<float>, 6>;

// How a control's position (0 to 127) maps to its parameter's value: a
// knob or switch from 0 up, the slider from 1 at the top down to 0.
enum class Scale { Rising, Falling };

// Maps between a position and a value. The quotient and the product are
// formed in extended precision and rounded once; a value comes back to a
// position through roundMinusHalf, so an odd position comes back one lower.
float ValueAt(Scale scale, int position);
int PositionOf(Scale scale, float value);

// The one map between the editor's controls and the parameters, in the order
// the window's timer moves them: the change handlers write through it and
// the timer reads through it, and a gesture belongs to the entry's index.
struct ParameterControl {
    const char* name;  // the control in the form
    int index;         // the parameter
    Scale scale;
    bool toggles;  // a switch: a press toggles it, and it takes no wheel or double click
};
inline constexpr std::array<ParameterControl, 6> kParameterControls{{
    {"DIBKnob1", 0, Scale::Rising, false},  // attack
    {"DIBKnob2", 1, Scale::Rising, false},  // hold
    {"DIBKnob3", 2, Scale::Rising, false},  // release
    {"Thresh", 3, Scale::Falling, false},   // threshold
    {"EnvMode", 4, Scale::Rising, true},    // envelope mode
    {"Active", 5, Scale::Rising, true},     // active
}};

}  // namespace tarnwick

class TPluginEditorWindow : public TForm {
    TW_CLASS(TPluginEditorWindow, TForm)

public:
    // An empty window showing `values`, which must outlive it.
    explicit TPluginEditorWindow(tarnwick::EditorParams& values);
    ~TPluginEditorWindow() override;

    // Reads the layout from a binary form stream into a new window, made a
    // child of the native window `parentWindow` (0 for none) at (0, 0).
    // Raises when the stream is malformed or lacks a control the handlers
    // need; nothing of the window stays alive then.
    //
    // At a device scale other than 100 % (a step of artwork::kScaleSteps)
    // the loaded window is scaled as a whole before it is shown: every
    // control's bounds and every font's height go through
    // artwork::ScaledPixels, the pictures are redrawn at the scale, and the
    // knobs' drags take as many device pixels a step as the scale has to a
    // pixel, so each control behaves per distance as at 100 %. At 100 %
    // nothing of the form is touched.
    static std::unique_ptr<TPluginEditorWindow> Load(std::span<const std::uint8_t> form,
                                                     std::uintptr_t parentWindow,
                                                     tarnwick::EditorParams& values,
                                                     int scalePercent = 100);
    // The client size a binary form gives its window, read from the root's
    // own properties without making anything; 0 by 0 when the stream does
    // not say (or cannot be read).
    static TPoint DesignSize(std::span<const std::uint8_t> form);

    // Automation gestures: the host hears beginEdit before the first change
    // of a parameter that a drag, a click, a key or a wheel step makes and
    // endEdit after its last, so that it can record touch automation and
    // group undo steps. A gesture lasts while the control that began it
    // holds the mouse capture or turns in a run of wheel notches; a change
    // without either is a gesture of its own, and so is the default that a
    // double click on a knob or the slider sets. EndEdits ends every open
    // gesture (the window is going away).
    void EndEdits();

    // Handlers, named in the form.
    void UpdaterTimer(TObject* Sender);
    void DIBKnob1Change(TObject* Sender);
    void ThreshChange(TObject* Sender);
    void EnvModeMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void ActiveMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void QuorbelClick(TObject* Sender);
    void Label2Click(TObject* Sender);

    // Set by the bridge right after creation; null leaves the handlers
    // changing only the window's own values.
    APlugin* plugin = nullptr;
    // True while UpdaterTimer moves the controls: the change handlers then
    // write nothing back.
    bool updating = false;
    tarnwick::EditorParams& params;

    // The controls the handlers and the bridge use, found by name in the form.
    TDIBContainer* DIBContainer1 = nullptr;
    TDIBKnob* DIBKnob1 = nullptr;
    TDIBKnob* DIBKnob2 = nullptr;
    TDIBKnob* DIBKnob3 = nullptr;
    TDIBKnob* vol = nullptr;
    TDIBKnob* EnvMode = nullptr;
    TDIBKnob* Active = nullptr;
    TDIBSlider* Thresh = nullptr;
    TDIBContainer* Aboutbox = nullptr;
    TControl* Quorbel = nullptr;
    TControl* Label2 = nullptr;
    TTimer* Updater = nullptr;

protected:
    // The background is never erased: the container paints every pixel, so
    // the window does not flash its colour.
    void Dispatch(TMessage& Message) override;

    // The device scale in percent the window was made at.
    int ScalePercent() const { return scalePercent_; }

private:
    void FindControls();
    void ScaleTo(int percent);
    void WatchGestures();
    void ChangeParameter(TObject* Sender);
    // A double click: the parameter goes to a new program's value.
    void SetDefault(TObject* Sender);
    static bool InGesture(TCustomDIBControl* control);
    void ResumeFrom(std::size_t i);
    static void Toggle(TObject* Sender);
    void BeginEdit(std::int32_t index);
    void EndEdit(std::int32_t index);
    // The controls of kParameterControls, entry by entry, and each as the
    // knob or the slider it is, so that the timer's look at them casts
    // nothing.
    std::array<TCustomDIBControl*, 6> parameterControls_{};
    std::array<TCustomDIBKnob*, 6> parameterKnobs_{};
    std::array<TCustomDIBSlider*, 6> parameterSliders_{};
    std::array<bool, 6> editing_{};  // by parameter index
    // The values (their bits) the timer last brought the controls to, while
    // no control has changed since: a tick that finds them the same touches
    // no control.
    std::array<std::uint32_t, 6> shownBits_{};
    bool shown_ = false;
    int scalePercent_ = 100;
};

// The bridge between the effect and its window.
class APluginEditor : public AEffEditor, public tarnwick::ScalableEditor {
public:
    // `form` is the window's binary form; it must outlive the bridge.
    APluginEditor(APlugin* effect, std::span<const std::uint8_t> form);
    ~APluginEditor() override;

    // The window's size in device pixels: its design size at the scale
    // before the first open, the last size it had after a close. Answers 1.
    VstInt32 getRect(ERect** rect) override;

    // The device scale the window is drawn at, for the formats' hosts to
    // pass on (1.0 = 100 %; what a host calls its content scale factor). A
    // factor goes to the nearest of artwork::kScaleSteps; one that is not a
    // number or not positive is 100 %. Before an open it sizes the window
    // to come (and getRect's answer); while the window is open it is made
    // anew at the new size in the same parent, showing the same values
    // (gestures under way end, the about panel closes), and the host is to
    // resize its own window to getRect's new answer (true then). Nothing
    // happens when the step does not change. Until a host sets a scale,
    // the system's (platform::SystemScale) is taken at each first open and
    // by getRect before it. On the host's window thread, as open and close
    // are.
    bool setScale(double factor) override;
    // The step in use, in percent.
    int scalePercent() const { return scalePercent_; }
    // Makes the window on the first of nested opens; answers 1, or 0 (and
    // no window) when the form cannot be read. An open into another parent
    // while the window exists makes it anew there.
    VstInt32 open(void* ptr) override;
    // The last of nested closes destroys the window: at once, or, when the
    // host closes from inside a call the window made (automation), as soon
    // as the window's own call has returned.
    void close() override;
    // Moves the level meter after the key peak.
    void idle() override;
    // Copies the effect's values for the window's next tick.
    void update() override;

    ERect rect{};
    VstInt32 openCount = 0;
    std::unique_ptr<TPluginEditorWindow> form;
    void* parentWindow = nullptr;
    // The values the window shows; kept here, where update can always reach them.
    tarnwick::EditorParams params{};

private:
    APlugin* plugin() const;
    void copyParams();
    // Ends the window's gestures, cuts it off from the effect and the
    // bridge, and destroys it once no window-system call is using it.
    void dispose();

    // The window's design size at the scale in use.
    void sizeRect();
    // The system's scale for a window in `parent`, while no host set one
    // and no window is made.
    void takeSystemScale(void* parent);

    std::span<const std::uint8_t> layout_;
    int scalePercent_ = 100;
    bool hostScaled_ = false;
    // The key peak (its bits) the meter was last brought to, while it shows
    // it: a meter moved by anything else (a drag) forgets it.
    std::uint32_t peakBits_ = 0;
    bool peakShown_ = false;
};

namespace tarnwick {
// The editor window's form, built into the library.
std::span<const std::uint8_t> PluginEditorForm();
}  // namespace tarnwick
