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
    if (Control && Control->ParentForm() != this)
        throw EInvalidOperation("Cannot focus a control of another form");
    if (ActiveControl_) ActiveControl_->RemoveFreeNotification(this);
    ActiveControl_ = Control;
    if (Control) {
        Control->FreeNotification(this);
        if (Focused() || (HandleAllocated() && GetFocus() && ParentForm() == this))
            Control->SetFocus();
    }
}

void TCustomForm::FocusChanged(TWinControl* Control) {
    if (Control != this) {
        if (ActiveControl_) ActiveControl_->RemoveFreeNotification(this);
        ActiveControl_ = Control;
        Control->FreeNotification(this);
    }
    Perform(CM_FOCUSCHANGED, 0,
            static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(Control->Handle())));
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

// ---- TApplication ------------------------------------------------------------------

TW_IMPLEMENT_CLASS(TApplication) {}

TApplication::TApplication(TComponent* Owner) : TComponent(Owner) {}

void TApplication::HandleException(TObject* Sender) noexcept {
    const std::exception_ptr current = std::current_exception();
    if (!current) return;
    try {
        ++exceptionCount_;
        try {
            std::rethrow_exception(current);
        } catch (const std::exception& e) {
            lastMessage_ = e.what();
            OnException(Sender, e);
        } catch (...) {
            lastMessage_ = "Unknown exception";
            OnException(Sender, Exception(lastMessage_));
        }
    } catch (...) {
        // A failing handler ends here.
    }
}

bool TApplication::IsShortCut(TMessage& Message) {
    bool handled = false;
    OnShortCut(Message, handled);
    return handled;
}

namespace {

TApplication& TheApplication() {
    static TApplication app(nullptr);
    return app;
}

}  // namespace

TApplication* Application = &TheApplication();
