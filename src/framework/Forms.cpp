#include "framework/Forms.h"

#include "framework/WinApi.h"
#include "framework/WindowManager.h"

// ---- TCustomForm ---------------------------------------------------------------

TW_IMPLEMENT_CLASS(TCustomForm) {
    b.Property("Caption", &TCustomForm::Caption, &TCustomForm::SetCaption);
    b.Property("KeyPreview", &TCustomForm::KeyPreview, &TCustomForm::SetKeyPreview).Default(false);
    // A form has no parent to take a font from: its own is always stored.
    b.Property("Font", &TCustomForm::Font, &TCustomForm::SetFont);
    b.Property("ParentFont", &TCustomForm::ParentFont, &TCustomForm::SetParentFont).Default(false);
}

TCustomForm::TCustomForm(TComponent* Owner) : TWinControl(Owner) { SetParentFont(false); }

TCustomForm::~TCustomForm() {
    Destroying();
    if (Application->MainForm() == this) Application->SetMainForm(nullptr);
}

void TCustomForm::SetActiveControl(TWinControl* Control) {
    if (Control == ActiveControl_) return;
    if (Control && Control->TopParent() != this)
        throw EInvalidOperation("Cannot focus a control of another form");
    if (ActiveControl_) ActiveControl_->RemoveFreeNotification(this);
    ActiveControl_ = Control;
    if (Control) {
        Control->FreeNotification(this);
        if (Focused() || (HandleAllocated() && GetFocus() && !Parent())) Control->SetFocus();
    }
}

void TCustomForm::ControlFocused(TWinControl* Control) {
    if (Control != this) {
        if (ActiveControl_) ActiveControl_->RemoveFreeNotification(this);
        ActiveControl_ = Control;
        Control->FreeNotification(this);
    }
    Perform(CM_FOCUSCHANGED, 0,
            static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(Control->Handle())));
}

bool TCustomForm::PreviewKeyMessage(TMessage& Message) {
    return KeyPreview_ && Perform(Message.Msg, Message.WParam, Message.LParam) != 0;
}

bool TCustomForm::DialogMessage(std::uint32_t Msg, std::uint32_t WParam, std::int32_t LParam) {
    return Perform(Msg, WParam, LParam) != 0;
}

bool TCustomForm::IsShortCut(TMessage& Message) {
    bool handled = false;
    OnShortCut(Message, handled);
    return handled;
}

void TCustomForm::Dispatch(TMessage& Message) {
    if (Message.Msg == CM_DIALOGKEY && Message.WParam == VK_TAB) {
        // Tab and Shift+Tab move the focus through the form's controls.
        SelectNext(ActiveControl_, GetKeyState(VK_SHIFT) >= 0, true);
        Message.Result = 1;
        return;
    }
    TWinControl::Dispatch(Message);
}

void TCustomForm::Notification(TComponent* Component, TOperation Operation) {
    TWinControl::Notification(Component, Operation);
    if (Operation == TOperation::opRemove && Component == ActiveControl_) ActiveControl_ = nullptr;
}

// ---- TForm -----------------------------------------------------------------------

TW_IMPLEMENT_CLASS(TForm) {
    b.Property("BorderStyle", &TForm::BorderStyle, &TForm::SetBorderStyle)
        .Default(TFormBorderStyle::bsSizeable);
    b.Property("ClientWidth", &TForm::ClientWidth, &TForm::SetClientWidth).Stored(false);
    b.Property("ClientHeight", &TForm::ClientHeight, &TForm::SetClientHeight).Stored(false);
    b.Property("Scaled", &TForm::Scaled, &TForm::SetScaled).Default(true);
    b.Property("PixelsPerInch", &TForm::PixelsPerInch, &TForm::SetPixelsPerInch).Default(96);
}

static const bool kFormRegistered = (RegisterClasses({TForm::StaticClass()}), true);

TForm::TForm(TComponent* Owner) : TCustomForm(Owner) {}
