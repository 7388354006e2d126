#include "controls/cDIBControl.h"

#include <algorithm>
#include <utility>

#include "controls/cDIBPanel.h"
#include "framework/Menus.h"
#include "framework/WinApi.h"

namespace {

// The first container among a component's owned components, or null.
TCustomDIBContainer* OwnedContainer(TComponent* Owner) {
    for (int i = 0; i < Owner->ComponentCount(); ++i)
        if (auto* c = dynamic_cast<TCustomDIBContainer*>(Owner->Components(i))) return c;
    return nullptr;
}

bool KeyHeld(int vk) { return (GetKeyState(vk) & 0x8000) != 0; }

// The shift state of a key message's key data (Alt in the context bit).
TShiftState KeyShift(std::int32_t KeyData) {
    TShiftState s;
    if (KeyData & 0x20000000) s.Include(TShiftStateFlag::ssAlt);
    if (KeyHeld(VK_SHIFT)) s.Include(TShiftStateFlag::ssShift);
    if (KeyHeld(VK_CONTROL)) s.Include(TShiftStateFlag::ssCtrl);
    return s;
}

bool Templatable(TObject* Instance, const TPropInfo& Prop) {
    switch (Prop.Kind()) {
        case TTypeKind::tkInteger:
        case TTypeKind::tkChar:
        case TTypeKind::tkEnumeration:
        case TTypeKind::tkFloat:
        case TTypeKind::tkString:
        case TTypeKind::tkSet:
        case TTypeKind::tkWChar:
        case TTypeKind::tkLString:
        case TTypeKind::tkWString:
        case TTypeKind::tkInt64: return true;
        case TTypeKind::tkClass:
            return dynamic_cast<TComponent*>(GetObjectProp(Instance, Prop)) == nullptr;
        default: return false;
    }
}

}  // namespace

TW_IMPLEMENT_CLASS(TCustomDIBControl) {
    // No defaults: forms always store these three.
    b.Property("Accelerator", &TCustomDIBControl::Accelerator, &TCustomDIBControl::SetAccelerator);
    b.Property("Opacity", &TCustomDIBControl::Opacity, &TCustomDIBControl::SetOpacity);
    b.Property("DIBTabOrder", &TCustomDIBControl::DIBTabOrder, &TCustomDIBControl::SetDIBTabOrder);
    b.Property("DIBImageList", &TCustomDIBControl::DIBImageList,
               &TCustomDIBControl::SetDIBImageList);
    b.Property("DIBFeatures", &TCustomDIBControl::DIBFeatures);
    b.Property("OnEnter", &TCustomDIBControl::OnEnter);
    b.Property("OnExit", &TCustomDIBControl::OnExit);
    b.Property("OnMouseEnter", &TCustomDIBControl::OnMouseEnter);
    b.Property("OnMouseLeave", &TCustomDIBControl::OnMouseLeave);
    b.Property("OnKeyDown", &TCustomDIBControl::OnKeyDown);
    b.Property("OnKeyPress", &TCustomDIBControl::OnKeyPress);
    b.Property("OnKeyUp", &TCustomDIBControl::OnKeyUp);
}

static TComponent* CheckOwner(TComponent* Owner) {
    if (!Owner) throw Exception("Owner cannot be nil");
    if (!dynamic_cast<TCustomDIBContainer*>(Owner) && !OwnedContainer(Owner))
        throw Exception("Parent must be a TDIBContainer");
    return Owner;
}

TCustomDIBControl::TCustomDIBControl(TComponent* Owner)
    : TControl(CheckOwner(Owner)),
      Canvas_(std::make_unique<TCanvas>()),
      Children_(std::make_unique<TControlList>(this)),
      repeatTimer_(std::make_unique<TDIBTimer>(nullptr)),
      DIBFeatures_(std::make_unique<TDIBFeatures>(this)) {
    SetBounds(0, 0, 32, 32);
    repeatTimer_->SetOnTimer([this](TObject* Sender) { RepeatTick(Sender); });
    AddTemplateProperty("Width");
    AddTemplateProperty("Height");
}

TCustomDIBControl::~TCustomDIBControl() {
    Destroying();
    // A drag cut short by destruction: no button-up will come.
    TCustomDIBControl::CaptureLost();
    LeaveContainer();
    templateProperties_.clear();
    repeatTimer_.reset();
    wheelTimer_.reset();
    Children_.reset();
    DIBFeatures_.reset();
    Canvas_.reset();
    // The links themselves belong to the descendants, which freed them already.
    imageLinks_.clear();
    if (DIBImageList_) DIBImageList_->RemoveFreeNotification(this);
}

TCustomDIBContainer* TCustomDIBControl::Container() const { return container_; }

void TCustomDIBControl::SetParent(TWinControl* NewParent) {
    if (NewParent && !dynamic_cast<TCustomDIBContainer*>(NewParent)) {
        NewParent = OwnedContainer(NewParent);
        if (!NewParent) throw Exception("Parent must be a TDIBContainer");
    }
    TControl::SetParent(NewParent);
    if (container_ != NewParent) LeaveContainer();
    container_ = static_cast<TCustomDIBContainer*>(NewParent);
    SetDIBTabOrder(storedTabOrder_);
}

// Out of the old container's tab list and focus, so that it never keeps a
// reference to a control that went elsewhere or is gone.
void TCustomDIBControl::LeaveContainer() {
    if (!container_) return;
    TCustomDIBContainer* c = std::exchange(container_, nullptr);
    if (c->ActiveControl() == this) {
        // A control being destroyed hears no more messages.
        if (IsDestroying())
            c->ActiveControl_ = nullptr;
        else
            c->SetActiveControl(nullptr);
    }
    c->SetTabPosition(this, -1);
}

void TCustomDIBControl::Loaded() {
    notLoaded_ = false;
    TControl::Loaded();
    DIBFeatures_->FeaturesLoaded();
    SetDIBTabOrder(storedTabOrder_);
}

void TCustomDIBControl::Notification(TComponent* Component, TOperation Operation) {
    TControl::Notification(Component, Operation);
    if (Component == this || Operation != TOperation::opRemove) return;
    if (Component == DIBImageList_) {
        // The list is gone: nothing may draw from it any more. Also while
        // this control is being destroyed (its owner may free the list
        // first), or the destructor would unregister from a freed list; the
        // list has let go of the links itself.
        DIBImageList_ = nullptr;
        if (!IsDestroying())
            for (TDIBImageLink* link : imageLinks_) link->SetDIBImageList(nullptr);
    }
    if (IsDestroying()) return;
    for (int i = Children_->Count(); i-- > 0;)
        if (Children_->Items(i)->Control() == Component) delete Children_->Items(i);
}

int TCustomDIBControl::DIBTabOrder() const {
    return container_ ? container_->TabIndexOf(this) : -1;
}

void TCustomDIBControl::SetDIBTabOrder(int Value) {
    // Anything below -1 means "not in the tab order"; the list never gets a
    // negative slot.
    Value = std::clamp(Value, -1, 32767);
    if (!container_ || IsLoading()) {
        storedTabOrder_ = static_cast<std::int16_t>(Value);
        return;
    }
    container_->SetTabPosition(this, Value);
    storedTabOrder_ = static_cast<std::int16_t>(DIBTabOrder());
}

void TCustomDIBControl::SetOpacity(std::uint8_t Value) {
    if (Value == Opacity_) return;
    Opacity_ = Value;
    Invalidate();
}

void TCustomDIBControl::SetDIBImageList(TCustomDIBImageList* Value) {
    if (DIBImageList_) DIBImageList_->RemoveFreeNotification(this);
    DIBImageList_ = Value;
    for (TDIBImageLink* link : imageLinks_) link->SetDIBImageList(Value);
    if (DIBImageList_) DIBImageList_->FreeNotification(this);
}

void TCustomDIBControl::AddImageLink(TDIBImageLink*& Link) {
    Link = new TDIBImageLink(this);
    imageLinks_.push_back(Link);
    Link->SetOnImageChanged([this](TDIBImageLink*, int Index, bool Changed) {
        if (!IsDestroying()) LinkedImageChanged(Index, Changed);
    });
}

void TCustomDIBControl::RemoveImageLink(TDIBImageLink* Link) { std::erase(imageLinks_, Link); }

void TCustomDIBControl::AddTemplateProperty(const std::string& Name) {
    // Only recorded here: a constructor sees its own class, not the one
    // being built, so the check waits for first use.
    templateProperties_.push_back(Name);
    templatePropertiesChecked_ = false;
}

const std::vector<std::string>& TCustomDIBControl::TemplateProperties() {
    if (templatePropertiesChecked_) return templateProperties_;
    for (const std::string& name : templateProperties_) {
        const TPropInfo* prop = GetPropInfo(this, name);
        if (!prop)
            throw EDIBControlError("Class " + ClassName() + " is trying to register " + name +
                                   " as a template property, and that property does not exist.");
        if (!Templatable(this, *prop))
            throw EDIBControlError("Attempting to template an invalid property type.");
    }
    templatePropertiesChecked_ = true;
    return templateProperties_;
}

void TCustomDIBControl::Invalidate() {
    TControl::Invalidate();
    if (!sizeUnchanged_) ChangeStamp_ = GetTickCount();
}

void TCustomDIBControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    if (boundsGuard_) return;
    sizeUnchanged_ = AWidth == Width() && AHeight == Height();
    boundsGuard_ = true;
    const int oldLeft = Left();
    const int oldTop = Top();
    try {
        TControl::SetBounds(ALeft, ATop, AWidth, AHeight);
        if (Left() != oldLeft || Top() != oldTop)
            for (int i = 0; i < Children_->Count(); ++i)
                if (TControl* c = Children_->Items(i)->Control())
                    c->SetBounds(Left() + c->Left() - oldLeft, Top() + c->Top() - oldTop,
                                 c->Width(), c->Height());
    } catch (...) {
        boundsGuard_ = sizeUnchanged_ = false;
        throw;
    }
    boundsGuard_ = sizeUnchanged_ = false;
}

void TCustomDIBControl::Click() {
    TControl::Click();
    if (DIBTabOrder() > -1 && !DIBFocused_) Perform(WM_SETFOCUS, 0, 0);
}

void TCustomDIBControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    shift_ = Shift;
    if (DIBTabOrder() >= 0) Perform(WM_SETFOCUS, 0, 0);
    TControl::MouseDown(Button, Shift, X, Y);
}

void TCustomDIBControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    shift_ = Shift;
    TControl::MouseUp(Button, Shift, X, Y);
    if (Button == mbLeft && Hot_ && !MouseInside_) PointerLeave();
}

void TCustomDIBControl::KeyDown(std::uint16_t& Key, TShiftState Shift) {
    OnKeyDown(this, Key, Shift);
}

void TCustomDIBControl::KeyUp(std::uint16_t& Key, TShiftState Shift) { OnKeyUp(this, Key, Shift); }

void TCustomDIBControl::KeyPress(char& Key) { OnKeyPress(this, Key); }

// ---- the operations of a bitmap control ------------------------------------------

void TCustomDIBControl::DoAfterPaint() { OnAfterPaint(this); }

void TCustomDIBControl::AdjustUpdateRect(TRect&) {}

void TCustomDIBControl::DoBeforePaint() { OnBeforePaint(this); }

void TCustomDIBControl::DoDIBEnter() {
    const bool wasPlain = !DIBFocused_ && !Hot_;
    DIBFocused_ = true;
    if (container_) {
        container_->SetActiveControl(this);
        container_->SetFocus();
    }
    if (wasPlain) Highlight();
    OnEnter(this);
}

void TCustomDIBControl::DoDIBExit() {
    DIBFocused_ = false;
    OnExit(this);
    if (!DIBFocused_ && !Hot_) Unhighlight();
}

bool TCustomDIBControl::KeyMessage(TMessage& Message, bool Char) {
    if (TWinControl* top = TopParent(); top && top->PreviewKeyMessage(Message)) return true;
    if (!Char) shift_ = KeyShift(Message.LParam);
    if (ControlStyle().Contains(TControlStyleFlag::csNoStdEvents)) return false;
    if (Char) {
        char c = static_cast<char>(Message.WParam);
        KeyPress(c);
        Message.WParam = static_cast<unsigned char>(c);
        return c == 0;
    }
    auto key = static_cast<std::uint16_t>(Message.WParam);
    if (Message.Msg == WM_KEYUP)
        KeyUp(key, shift_);
    else
        KeyDown(key, shift_);
    return key == 0;
}

bool TCustomDIBControl::HandleKeyDown(TMessage& Message) { return KeyMessage(Message, false); }

bool TCustomDIBControl::HandleKeyChar(TMessage& Message) { return KeyMessage(Message, true); }

bool TCustomDIBControl::HandleKeyUp(TMessage& Message) { return KeyMessage(Message, false); }

void TCustomDIBControl::PointerEnter() {
    const bool wasPlain = !DIBFocused_ && !Hot_;
    MouseInside_ = true;
    Hot_ = true;
    if (wasPlain) Highlight();
    OnMouseEnter(this);
}

void TCustomDIBControl::PointerLeave() {
    MouseInside_ = false;
    // A dragging control stays hot until the button is released.
    if (MouseCapture()) return;
    Hot_ = false;
    OnMouseLeave(this);
    if (!DIBFocused_ && !Hot_) Unhighlight();
}

void TCustomDIBControl::LinkedImageChanged(int, bool) {}

// Popup-menu short cuts and the application's key hook are not part of the
// framework yet, so no key is a short cut.
bool TCustomDIBControl::IsShortcutKey(TMessage&) { return false; }

void TCustomDIBControl::Paint() { OnPaint(this); }

void TCustomDIBControl::StopRepeat() { stopRepeat_ = true; }

void TCustomDIBControl::CaptureLost() {
    StopRepeatTimer();
    ShowPointer();
    if (Hot_ && !MouseInside_ && !IsDestroying()) PointerLeave();
}

// ---- the wheel ---------------------------------------------------------------------

int TCustomDIBControl::TakeWheelNotches(int WheelDelta) {
    wheelRest_ += WheelDelta;
    const int notches = wheelRest_ / WHEEL_DELTA;
    wheelRest_ -= notches * WHEEL_DELTA;
    return notches;
}

void TCustomDIBControl::WheelNotched() {
    if (!wheelTimer_) {
        wheelTimer_ = std::make_unique<TDIBTimer>(nullptr);
        wheelTimer_->SetInterval(kWheelGestureMs);
        wheelTimer_->SetOnTimer([this](TObject*) { EndWheelGesture(); });
    }
    wheelGesture_ = true;
    // From the latest notch on.
    wheelTimer_->SetEnabled(false);
    wheelTimer_->SetEnabled(true);
}

void TCustomDIBControl::EndWheelGesture() {
    wheelRest_ = 0;
    if (wheelTimer_) wheelTimer_->SetEnabled(false);
    if (!std::exchange(wheelGesture_, false) || IsDestroying()) return;
    Perform(CM_WHEELGESTUREEND, 0, 0);
}

// ---- pointer, repeat ---------------------------------------------------------------

void TCustomDIBControl::HidePointer() {
    if (pointerHidden_) return;
    pointerHidden_ = true;
    ShowCursor(FALSE);
}

void TCustomDIBControl::ShowPointer() {
    if (!pointerHidden_) return;
    pointerHidden_ = false;
    ShowCursor(TRUE);
}

void TCustomDIBControl::StartRepeat() {
    repeatTimer_->SetInterval(static_cast<std::uint32_t>(std::max(RepeatInterval_, 0)));
    repeatTimer_->SetEnabled(true);
}

void TCustomDIBControl::StopRepeatTimer() {
    if (repeatTimer_) repeatTimer_->SetEnabled(false);
}

void TCustomDIBControl::RepeatTick(TObject*) {
    if (stopRepeat_) {
        stopRepeat_ = false;
        StopRepeatTimer();
        return;
    }
    Perform(storedPress_.Msg, storedPress_.WParam, storedPress_.LParam);
}

// ---- messages ---------------------------------------------------------------------

void TCustomDIBControl::WndProc(TMessage& Message) {
    if (IsDesigning()) {
        TControl::WndProc(Message);
        return;
    }
    bool handled = false;
    if (DIBFeatures_) DIBFeatures_->HandleMessage(Message, handled);
    switch (Message.Msg) {
        case WM_LBUTTONDOWN:
            storedPress_ = Message;
            // A stop asked for by an earlier press (a drag) does not end this one's repeat.
            stopRepeat_ = false;
            if (AutoRepeat_ && !repeatTimer_->Enabled()) StartRepeat();
            break;
        case WM_MOUSEMOVE:
            storedPress_.WParam = Message.WParam;
            storedPress_.LParam = Message.LParam;
            lastMouse_ = {MouseX(Message.LParam), MouseY(Message.LParam)};
            if (MouseInside_ && !Hot_) Perform(CM_MOUSEENTER, 0, 0);
            break;
        case WM_LBUTTONUP:
            stopRepeat_ = false;
            StopRepeatTimer();
            if (Hot_ && !MouseInside_) Perform(CM_MOUSELEAVE, 0, 0);
            break;
        case CM_MOUSEENTER:
            PointerEnter();
            if (MouseCapture()) {
                if (AutoRepeat_) StartRepeat();
                return;
            }
            break;
        case CM_MOUSELEAVE:
            StopRepeatTimer();
            PointerLeave();
            EndWheelGesture();
            break;
        case WM_CAPTURECHANGED: CaptureLost(); break;
    }
    if (!handled) TControl::WndProc(Message);
}

void TCustomDIBControl::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case WM_PAINT: PaintMessage(); return;
        case WM_SETFOCUS:
            if (Enabled() && !DIBFocused_) DoDIBEnter();
            return;
        case WM_KILLFOCUS: DoDIBExit(); return;
        case WM_KEYDOWN:
            if (!HandleKeyDown(Message)) DefaultHandler(Message);
            return;
        case WM_KEYUP:
            if (!HandleKeyUp(Message)) DefaultHandler(Message);
            return;
        case WM_CHAR:
            if (!HandleKeyChar(Message)) DefaultHandler(Message);
            return;
        case WM_GETDLGCODE:
            if (WantKeys_.Contains(TWantKey::wkAllKeys)) {
                Message.Result = DLGC_WANTALLKEYS;
            } else {
                Message.Result = 0;
                if (WantKeys_.Contains(TWantKey::wkTab)) Message.Result |= DLGC_WANTTAB;
                if (WantKeys_.Contains(TWantKey::wkArrows)) Message.Result |= DLGC_WANTARROWS;
            }
            return;
        case CM_DIALOGCHAR: DialogChar(Message); return;
        case CM_ENABLEDCHANGED:
            TControl::Dispatch(Message);
            if (!Enabled() && DIBFocused_) DoDIBExit();
            return;
        default: TControl::Dispatch(Message);
    }
}

void TCustomDIBControl::DialogChar(TMessage& Message) {
    shift_ = KeyShift(Message.LParam);
    const char c = static_cast<char>(Message.WParam);
    if (Accelerator_ != 0 && c == Accelerator_ && Enabled() && Visible() &&
        shift_.Contains(TShiftStateFlag::ssAlt) && container_ && container_->CanFocus()) {
        Click();
        Message.Result = 0;
        return;
    }
    DefaultHandler(Message);
}

// Composes the control onto the container's surface through the scratch
// surface the container lent it.
void TCustomDIBControl::PaintMessage() {
    TCustomDIBContainer* c = container_;
    if (!c || !surface_ || !c->DIB()->HasBits()) return;
    const int l = Left(), t = Top(), w = Width(), h = Height();
    Canvas_->Lock();
    try {
        // The background under the control, also where it sticks out left or up.
        c->DIB()->Draw(std::max(-l, 0), std::max(-t, 0), w, h, surface_, std::max(l, 0),
                       std::max(t, 0));
        if (auto* win = dynamic_cast<TCustomWinDIB*>(surface_)) Canvas_->SetHandle(win->Handle());
        DoBeforePaint();
        Paint();
        DoAfterPaint();
        surface_->SetOpacity(Opacity_);
        surface_->Draw(l, t, surface_->Width(), surface_->Height(), c->DIB(), 0, 0);
    } catch (...) {
        Canvas_->SetHandle(nullptr);
        Canvas_->Unlock();
        throw;
    }
    Canvas_->SetHandle(nullptr);
    Canvas_->Unlock();
}

// ---- context menu ----------------------------------------------------------------------------

namespace {
// One menu for every bitmap control that has none of its own.
TPopupMenu* SharedContextMenu() {
    static const std::unique_ptr<TPopupMenu> menu = std::make_unique<TPopupMenu>(nullptr);
    return menu.get();
}
}  // namespace

TPopupMenu* TCustomDIBControl::GetPopupMenu() {
    if (TPopupMenu* own = PopupMenu()) return own;
    TPopupMenu* menu = SharedContextMenu();
    ClearContextMenu(menu);
    FillContextMenu(menu);
    return menu->Items()->Count() > 0 ? menu : nullptr;
}

void TCustomDIBControl::ClearContextMenu(TPopupMenu* Menu) { Menu->Items()->Clear(); }

void TCustomDIBControl::FillContextMenu(TPopupMenu*) {}
