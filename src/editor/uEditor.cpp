#include "editor/uEditor.h"

#include <algorithm>
#include <bit>
#include <string>
#include <utility>
#include <vector>

#include "artwork/DeviceScale.h"
#include "artwork/Pictures.h"
#include "controls/cDIBFadeLabel.h"
#include "dib/cDIBImageList.h"
#include "framework/StdCtrls.h"
#include "framework/WindowManager.h"
#include "objects/Streaming.h"
#include "platform/Window.h"
#include "plugin/uPlugin.h"
#include "vst/DVstUtils.h"

namespace tarnwick {

namespace {
constexpr long double kSteps = 127.0L;
}

float ValueAt(Scale scale, int position) {
    const long double q = position / kSteps;
    return static_cast<float>(scale == Scale::Rising ? q : 1.0L - q);
}

int PositionOf(Scale scale, float value) {
    const long double v = scale == Scale::Rising ? value : 1.0L - value;
    return roundMinusHalf(static_cast<float>(v * kSteps));
}

}  // namespace tarnwick

namespace {

constexpr auto relaxed = std::memory_order_relaxed;

template <class T>
T* Find(TComponent* root, const char* name) {
    auto* found = dynamic_cast<T*>(root->FindComponent(name));
    if (!found)
        throw EReadError(std::string("The editor's form has no ") + T::StaticClass()->ClassName() +
                         " named " + name);
    return found;
}

// Knobs and the slider each have a position of their own.
int PositionOf(TCustomDIBControl* control) {
    if (auto* knob = dynamic_cast<TCustomDIBKnob*>(control)) return knob->Position();
    if (auto* slider = dynamic_cast<TCustomDIBSlider*>(control)) return slider->Position();
    return 0;
}

void SetPositionOf(TCustomDIBControl* control, int position) {
    if (auto* knob = dynamic_cast<TCustomDIBKnob*>(control)) knob->SetPosition(position);
    if (auto* slider = dynamic_cast<TCustomDIBSlider*>(control)) slider->SetPosition(position);
}

}  // namespace

// ---- TPluginEditorWindow -------------------------------------------------------

// Every class the form names, so that a binary holding the editor holds
// them all (and the reader finds them) whoever else links them.
static const bool kRegistered =
    (RegisterClasses({TDIBContainer::StaticClass(), TDIBFadeLabel::StaticClass(),
                      TDIBImageList::StaticClass(), TDIBKnob::StaticClass(),
                      TDIBSlider::StaticClass(), TLabel::StaticClass(), TMemo::StaticClass(),
                      TTimer::StaticClass()}),
     true);

TW_IMPLEMENT_CLASS(TPluginEditorWindow) {
    b.Method<&TPluginEditorWindow::UpdaterTimer>("UpdaterTimer");
    b.Method<&TPluginEditorWindow::DIBKnob1Change>("DIBKnob1Change");
    b.Method<&TPluginEditorWindow::ThreshChange>("ThreshChange");
    b.Method<&TPluginEditorWindow::EnvModeMouseDown>("EnvModeMouseDown");
    b.Method<&TPluginEditorWindow::ActiveMouseDown>("ActiveMouseDown");
    b.Method<&TPluginEditorWindow::QuorbelClick>("QuorbelClick");
    b.Method<&TPluginEditorWindow::Label2Click>("Label2Click");
}

TPluginEditorWindow::TPluginEditorWindow(tarnwick::EditorParams& values)
    : TForm(nullptr), params(values) {}

TPluginEditorWindow::~TPluginEditorWindow() {
    EndEdits();
    for (TControl* control : parameterControls_)
        if (control) control->SetWindowProc({});
    Destroying();
}

std::unique_ptr<TPluginEditorWindow> TPluginEditorWindow::Load(std::span<const std::uint8_t> form,
                                                               std::uintptr_t parentWindow,
                                                               tarnwick::EditorParams& values,
                                                               int scalePercent) {
    auto window = std::make_unique<TPluginEditorWindow>(values);
    TMemoryStream stream(form.data(), form.size());
    ReadComponentFromStream(stream, window.get());
    window->FindControls();
    if (scalePercent != 100) window->ScaleTo(scalePercent);
    window->WatchGestures();
    window->SetBounds(0, 0, window->Width(), window->Height());
    window->SetParentWindow(parentWindow);
    window->Handle();
    return window;
}

TPoint TPluginEditorWindow::DesignSize(std::span<const std::uint8_t> form) {
    // The window has no border: where the client size is not stored, the
    // outer size is the client's.
    TPoint client{-1, -1}, outer{0, 0};
    try {
        TMemoryStream stream(form.data(), form.size());
        TReader reader(stream);
        reader.ReadSignature();
        reader.ReadName();  // the class
        reader.ReadName();  // the component
        while (reader.NextNameNonEmpty()) {
            const std::string name = reader.ReadName();
            if (name == "ClientWidth")
                client.X = reader.ReadInteger();
            else if (name == "ClientHeight")
                client.Y = reader.ReadInteger();
            else if (name == "Width")
                outer.X = reader.ReadInteger();
            else if (name == "Height")
                outer.Y = reader.ReadInteger();
            else
                reader.SkipValue();
        }
    } catch (...) {
        return {0, 0};
    }
    return {client.X >= 0 ? client.X : outer.X, client.Y >= 0 ? client.Y : outer.Y};
}

void TPluginEditorWindow::FindControls() {
    DIBContainer1 = Find<TDIBContainer>(this, "DIBContainer1");
    DIBKnob1 = Find<TDIBKnob>(this, "DIBKnob1");
    DIBKnob2 = Find<TDIBKnob>(this, "DIBKnob2");
    DIBKnob3 = Find<TDIBKnob>(this, "DIBKnob3");
    vol = Find<TDIBKnob>(this, "vol");
    EnvMode = Find<TDIBKnob>(this, "EnvMode");
    Active = Find<TDIBKnob>(this, "Active");
    Thresh = Find<TDIBSlider>(this, "Thresh");
    Aboutbox = Find<TDIBContainer>(this, "Aboutbox");
    Quorbel = Find<TControl>(this, "Quorbel");
    Label2 = Find<TControl>(this, "Label2");
    Updater = Find<TTimer>(this, "Updater");
    for (std::size_t i = 0; i < tarnwick::kParameterControls.size(); ++i) {
        parameterControls_[i] = Find<TCustomDIBControl>(this, tarnwick::kParameterControls[i].name);
        parameterKnobs_[i] = dynamic_cast<TCustomDIBKnob*>(parameterControls_[i]);
        parameterSliders_[i] = dynamic_cast<TCustomDIBSlider*>(parameterControls_[i]);
    }
}

void TPluginEditorWindow::ScaleTo(int percent) {
    using tarnwick::artwork::ScaledPixels;
    scalePercent_ = percent;
    // The form's bounds first, before pictures and fonts resize what follows them.
    struct Bounds {
        TControl* control;
        int left, top, width, height;
        int travel;  // a slider's
    };
    std::vector<Bounds> bounds;
    for (int i = 0; i < ComponentCount(); ++i)
        if (auto* control = dynamic_cast<TControl*>(Components(i))) {
            auto* slider = dynamic_cast<TCustomDIBSlider*>(control);
            bounds.push_back({control, control->Left(), control->Top(), control->Width(),
                              control->Height(), slider ? slider->Travel() : 0});
        }
    const int width = ClientWidth(), height = ClientHeight();

    for (int i = 0; i < ComponentCount(); ++i)
        if (auto* list = dynamic_cast<TCustomDIBImageList*>(Components(i)))
            tarnwick::artwork::RedrawEditorPictures(*list, percent);
    // A font of its own is scaled; one that follows its parent's follows
    // the scaled one.
    Font()->SetHeight(ScaledPixels(Font()->Height(), percent));
    for (const Bounds& b : bounds)
        if (!b.control->ParentFont())
            b.control->Font()->SetHeight(ScaledPixels(b.control->Font()->Height(), percent));
    for (const Bounds& b : bounds) {
        const int left = ScaledPixels(b.left, percent), top = ScaledPixels(b.top, percent);
        int w = ScaledPixels(b.width, percent), h = ScaledPixels(b.height, percent);
        b.control->SetBounds(left, top, w, h);
        // Hinted text is not quite in proportion to its height: a caption
        // takes the size its text needs at the scale (never less room than
        // the scaled size where it does not size itself), so none is cut.
        if (auto* label = dynamic_cast<TCustomDIBFadeLabel*>(b.control)) {
            int tw = w, th = h;
            if (label->CanAutoSize(tw, th)) {
                if (!label->AutoSize()) tw = std::max(tw, w), th = std::max(th, h);
                label->SetBounds(left, top, tw, th);
            }
        }
    }
    SetClientWidth(ScaledPixels(width, percent));
    SetClientHeight(ScaledPixels(height, percent));

    // What the controls measure in pixels.
    for (const Bounds& b : bounds) {
        if (auto* knob = dynamic_cast<TCustomDIBKnob*>(b.control)) knob->SetDragScale(percent);
        if (auto* slider = dynamic_cast<TCustomDIBSlider*>(b.control)) {
            // The slider's travel is its length less the pointer's, and two
            // pixels of its layout that do not scale: the length makes up
            // for them, so the pointer goes as far per value (and a drag
            // moves it per distance) as at 100 %.
            const int short_ = ScaledPixels(b.travel, percent) - slider->Travel();
            if (b.travel > 0 && short_ != 0) {
                if (slider->SliderType() == stVertical)
                    slider->SetBounds(slider->Left(), slider->Top(), slider->Width(),
                                      slider->Height() + short_);
                else
                    slider->SetBounds(slider->Left(), slider->Top(), slider->Width() + short_,
                                      slider->Height());
            }
            auto scaledByte = [percent](std::uint8_t v) {
                return std::uint8_t(std::min(ScaledPixels(v, percent), 255));
            };
            slider->SetOverlayBorderX(scaledByte(slider->OverlayBorderX()));
            slider->SetOverlayBorderY(scaledByte(slider->OverlayBorderY()));
            slider->SetPointerOffset(ScaledPixels(slider->PointerOffset(), percent));
        }
    }
}

void TPluginEditorWindow::Dispatch(TMessage& Message) {
    if (Message.Msg == WM_ERASEBKGND) {
        Message.Result = 0;
        return;
    }
    TForm::Dispatch(Message);
}

[[gnu::hot]] void TPluginEditorWindow::UpdaterTimer(TObject*) {
    std::array<std::uint32_t, 6> bits{};
    for (std::size_t i = 0; i < tarnwick::kParameterControls.size(); ++i)
        bits[i] = std::bit_cast<std::uint32_t>(
            params[std::size_t(tarnwick::kParameterControls[i].index)].load(relaxed));
    if (shown_ && bits == shownBits_) return;
    {
        struct Updating {
            bool& flag;
            explicit Updating(bool& f) : flag(f) { flag = true; }
            ~Updating() { flag = false; }
        } guard(updating);
        for (std::size_t i = 0; i < tarnwick::kParameterControls.size(); ++i) {
            const tarnwick::ParameterControl& entry = tarnwick::kParameterControls[i];
            const int position = tarnwick::PositionOf(entry.scale, std::bit_cast<float>(bits[i]));
            if (TCustomDIBKnob* knob = parameterKnobs_[i]) {
                if (position != knob->Position()) knob->SetPosition(position);
            } else if (TCustomDIBSlider* slider = parameterSliders_[i]) {
                if (position != slider->Position()) slider->SetPosition(position);
            }
        }
    }
    // After the controls' own change handlers, which forget it.
    shownBits_ = bits;
    shown_ = true;
}

void TPluginEditorWindow::ChangeParameter(TObject* Sender) {
    shown_ = false;  // whoever moved it: the next tick looks again
    if (updating) return;
    const auto found = std::find(parameterControls_.begin(), parameterControls_.end(), Sender);
    if (found == parameterControls_.end()) return;  // not a parameter's control
    TCustomDIBControl* control = *found;
    const tarnwick::ParameterControl& entry =
        tarnwick::kParameterControls[std::size_t(found - parameterControls_.begin())];
    const float value = tarnwick::ValueAt(entry.scale, PositionOf(control));
    params[std::size_t(entry.index)].store(value, relaxed);
    if (!plugin) return;
    BeginEdit(entry.index);
    // The host may close the editor from inside this call; the window then
    // lives on until the call that brought us here returns, cut off.
    if (plugin) plugin->setParameterAutomated(entry.index, value);
    if (!InGesture(control)) EndEdit(entry.index);
}

bool TPluginEditorWindow::InGesture(TCustomDIBControl* control) {
    return control->MouseCapture() || control->WheelGesture();
}

void TPluginEditorWindow::WatchGestures() {
    for (std::size_t i = 0; i < parameterControls_.size(); ++i) {
        TCustomDIBControl* control = parameterControls_[i];
        const tarnwick::ParameterControl& entry = tarnwick::kParameterControls[i];
        const int index = entry.index;
        // The switches keep their click: the wheel leaves them alone.
        const bool wheel = !entry.toggles;
        // The capture ends with the button's release, a drag cut short or
        // the control's destruction, and a wheel gesture after its last
        // notch: each tells the control so.
        control->SetWindowProc(
            [this, i, control, index, wheel, inner = control->WindowProc()](TMessage& Message) {
                if (Message.Msg == WM_MOUSEWHEEL && !wheel) return;
                if (Message.Msg == WM_MOUSEWHEEL ||
                    (Message.Msg == WM_MOUSEMOVE && (Message.WParam & MK_SHIFT) != 0 &&
                     control->MouseCapture()))
                    ResumeFrom(i);
                inner(Message);
                if ((Message.Msg == WM_CAPTURECHANGED || Message.Msg == CM_WHEELGESTUREEND) &&
                    !InGesture(control))
                    EndEdit(index);
            });
        if (!entry.toggles) control->OnDblClick = [this](TObject* Sender) { SetDefault(Sender); };
    }
    // Nor does it move the meter, which shows the key.
    vol->SetWindowProc([inner = vol->WindowProc()](TMessage& Message) {
        if (Message.Msg != WM_MOUSEWHEEL) inner(Message);
    });
}

// The timer shows the value of an odd position one position lower (the
// rounding of the value-to-position map). A wheel notch or a fine drag's
// step, often a single position, goes on from the position that wrote the
// value instead, or it could never get past it.
void TPluginEditorWindow::ResumeFrom(std::size_t i) {
    const tarnwick::ParameterControl& entry = tarnwick::kParameterControls[i];
    TCustomDIBControl* control = parameterControls_[i];
    const float value = params[std::size_t(entry.index)].load(relaxed);
    const int shown = PositionOf(control);
    if (tarnwick::ValueAt(entry.scale, shown) == value) return;
    for (const int wrote : {shown + 1, shown - 1}) {
        if (tarnwick::ValueAt(entry.scale, wrote) != value) continue;
        const bool wasUpdating = std::exchange(updating, true);
        SetPositionOf(control, wrote);
        updating = wasUpdating;
        return;
    }
}

void TPluginEditorWindow::SetDefault(TObject* Sender) {
    if (updating) return;
    const auto found = std::find(parameterControls_.begin(), parameterControls_.end(), Sender);
    if (found == parameterControls_.end()) return;
    TCustomDIBControl* control = *found;
    const tarnwick::ParameterControl& entry =
        tarnwick::kParameterControls[std::size_t(found - parameterControls_.begin())];
    // The value itself, not the nearest position's: a new program's.
    const float value = APluginProgram::kDefaults[std::size_t(entry.index)];
    params[std::size_t(entry.index)].store(value, relaxed);
    {
        // The control shows it at once; its change handler writes nothing.
        const bool wasUpdating = std::exchange(updating, true);
        SetPositionOf(control, tarnwick::PositionOf(entry.scale, value));
        updating = wasUpdating;
    }
    if (!plugin) return;
    // One gesture of its own, whatever the press holds.
    BeginEdit(entry.index);
    if (plugin) plugin->setParameterAutomated(entry.index, value);
    EndEdit(entry.index);
}

void TPluginEditorWindow::BeginEdit(std::int32_t index) {
    auto& open = editing_[static_cast<std::size_t>(index)];
    if (open || !plugin) return;
    open = true;
    plugin->beginEdit(index);
}

void TPluginEditorWindow::EndEdit(std::int32_t index) {
    auto& open = editing_[static_cast<std::size_t>(index)];
    if (!open) return;
    open = false;
    if (plugin) plugin->endEdit(index);
}

void TPluginEditorWindow::EndEdits() {
    for (std::size_t i = 0; i < editing_.size(); ++i) EndEdit(static_cast<std::int32_t>(i));
}

void TPluginEditorWindow::DIBKnob1Change(TObject* Sender) { ChangeParameter(Sender); }

void TPluginEditorWindow::ThreshChange(TObject* Sender) { ChangeParameter(Sender); }

void TPluginEditorWindow::Toggle(TObject* Sender) {
    if (auto* knob = dynamic_cast<TCustomDIBKnob*>(Sender))
        knob->SetPosition(knob->Position() > 64 ? 0 : 127);
}

void TPluginEditorWindow::EnvModeMouseDown(TObject* Sender, TMouseButton, TShiftState, int, int) {
    Toggle(Sender);
}

void TPluginEditorWindow::ActiveMouseDown(TObject* Sender, TMouseButton, TShiftState, int, int) {
    Toggle(Sender);
}

void TPluginEditorWindow::QuorbelClick(TObject*) {
    // Larger than the client area, the panel covers every other control.
    Aboutbox->SetBounds(0, 0, Aboutbox->Width(), Aboutbox->Height());
    Aboutbox->SetVisible(true);
}

void TPluginEditorWindow::Label2Click(TObject*) { Aboutbox->SetVisible(false); }

// ---- APluginEditor -------------------------------------------------------------

APluginEditor::APluginEditor(APlugin* effect, std::span<const std::uint8_t> form)
    : AEffEditor(effect), layout_(form) {
    // A host may size its window before it opens the editor.
    sizeRect();
}

void APluginEditor::sizeRect() {
    using tarnwick::artwork::ScaledPixels;
    const TPoint size = TPluginEditorWindow::DesignSize(layout_);
    rect.bottom = static_cast<VstInt16>(std::clamp(ScaledPixels(size.Y, scalePercent_), 0, 0x7FFF));
    rect.right = static_cast<VstInt16>(std::clamp(ScaledPixels(size.X, scalePercent_), 0, 0x7FFF));
}

void APluginEditor::takeSystemScale(void* parent) {
    if (hostScaled_ || form) return;
    scalePercent_ = tarnwick::artwork::NearestScalePercent(
        tarnwick::platform::SystemScale(reinterpret_cast<std::uintptr_t>(parent)));
    sizeRect();
}

bool APluginEditor::setScale(double factor) {
    hostScaled_ = true;
    const int percent = tarnwick::artwork::NearestScalePercent(factor);
    if (percent == scalePercent_) return false;
    scalePercent_ = percent;
    if (!form) {
        sizeRect();
        return false;
    }
    // The window is made anew at the scale, in the parent it is in, as an
    // open into another parent makes it; the nested opens stay as they are.
    const int opens = openCount;
    void* const parent = parentWindow;
    dispose();
    openCount = 0;
    if (open(parent) == 1) {
        openCount = opens;
        return true;
    }
    // The form could not be made at this scale: the editor is closed, as a
    // failed open leaves it, and the host hears so from getRect's size.
    openCount = 0;
    parentWindow = nullptr;
    plugin()->editorClosed.store(1, relaxed);
    sizeRect();
    return true;
}

APluginEditor::~APluginEditor() {
    if (form) {
        plugin()->editorClosed.store(1, relaxed);
        dispose();
        parentWindow = nullptr;
    }
}

APlugin* APluginEditor::plugin() const { return static_cast<APlugin*>(effect); }

void APluginEditor::copyParams() {
    for (std::size_t i = 0; i < params.size(); ++i)
        params[i].store(plugin()->params[i].load(relaxed), relaxed);
}

void APluginEditor::dispose() {
    peakShown_ = false;
    TPluginEditorWindow* window = form.release();
    if (!window) return;
    window->EndEdits();
    window->plugin = nullptr;
    // Set apart, it reaches neither the effect nor the bridge's values: its
    // timer stops, and input still on its way changes nothing (the change
    // handlers see `updating`). So it may outlive both.
    window->updating = true;
    window->Updater->SetEnabled(false);
    tarnwick::platform::RunAfterDelivery([window] { delete window; });
}

VstInt32 APluginEditor::getRect(ERect** where) {
    rect.top = 0;
    rect.left = 0;
    if (form) {
        rect.bottom = static_cast<VstInt16>(form->ClientHeight());
        rect.right = static_cast<VstInt16>(form->ClientWidth());
    } else {
        takeSystemScale(nullptr);
    }
    *where = &rect;
    return 1;
}

VstInt32 APluginEditor::open(void* ptr) {
    void* const previousParent = parentWindow;
    const VstInt32 previousFlag = plugin()->editorClosed.load(relaxed);
    // A window in another parent is made anew in this one: the host shows
    // the editor where it asked, and the old window goes.
    if (form && ptr != parentWindow) dispose();
    const bool made = openCount == 0 || !form;
    try {
        parentWindow = ptr;
        ++openCount;
        if (made) {
            takeSystemScale(ptr);
            // Updates flow into the values from here on, so a change the
            // host makes while the form is read is shown, not lost.
            plugin()->editorClosed.store(0, relaxed);
            copyParams();
            form = TPluginEditorWindow::Load(layout_, reinterpret_cast<std::uintptr_t>(ptr), params,
                                             scalePercent_);
            form->plugin = plugin();
            form->vol->OnChange = [this](TObject*) { peakShown_ = false; };
        }
        plugin()->editorClosed.store(0, relaxed);
        form->Invalidate();
        form->Update();
        form->Updater->SetEnabled(true);
        form->UpdaterTimer(nullptr);
        return 1;
    } catch (...) {
        // Nothing reaches the host: it sees no editor, and the bridge is as
        // it was before the call.
        --openCount;
        if (made) {
            form.reset();
            parentWindow = previousParent;
            plugin()->editorClosed.store(previousFlag, relaxed);
        }
        return 0;
    }
}

void APluginEditor::close() {
    openCount = std::max(openCount - 1, 0);
    if (openCount != 0) return;
    plugin()->editorClosed.store(1, relaxed);
    dispose();
    parentWindow = nullptr;
}

[[gnu::hot]] void APluginEditor::idle() {
    if (plugin()->editorClosed.load(relaxed) != 0 || !form) return;
    // While the peak stays what the meter was last brought to, nothing of
    // the window is touched: an idle call of an untouched editor reads two
    // values of the effect's and this object's own.
    const float peak = plugin()->keyPeak.load(relaxed);
    const auto bits = std::bit_cast<std::uint32_t>(peak);
    if (peakShown_ && bits == peakBits_) return;
    // Compared within the meter's range: a silent key (whose peak hovers
    // just below 0) or a held peak above full scale then moves nothing, and
    // an editor that nothing changes repaints nothing.
    TDIBKnob* meter = form->vol;
    const int m = std::clamp(roundMinusHalf(peak * 10.0f), meter->Min(), meter->Max());
    if (m != meter->Position()) meter->SetPosition(m);
    peakBits_ = bits;
    peakShown_ = true;
}

void APluginEditor::update() {
    if (plugin()->editorClosed.load(relaxed) != 0) return;
    copyParams();
}
