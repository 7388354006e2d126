#include "framework/Forms.h"

#include "framework/WindowNode.h"

// ---- TCustomForm ---------------------------------------------------------------

TW_IMPLEMENT_CLASS(TCustomForm) {
    b.Property("Caption", &TCustomForm::Caption, &TCustomForm::SetCaption);
    b.Property("KeyPreview", &TCustomForm::KeyPreview, &TCustomForm::SetKeyPreview).Default(false);
}

TCustomForm::TCustomForm(TComponent* Owner) : TWinControl(Owner) {}

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

void TCustomForm::Dispatch(TMessage& Message) {
    if (Message.Msg == CM_DIALOGKEY && Message.WParam == VK_TAB) {
        // Tab and Shift+Tab move the focus through the form's controls.
        SelectNext(ActiveControl_, !tarnwick::framework::KeyIsDown(VK_SHIFT), true);
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

TW_IMPLEMENT_CLASS(TForm) {}

TForm::TForm(TComponent* Owner) : TCustomForm(Owner) {}

// ---- TApplication ------------------------------------------------------------------

TW_IMPLEMENT_CLASS(TApplication) {}

TApplication::TApplication(TComponent* Owner) : TComponent(Owner) {}

namespace {

TApplication& TheApplication() {
    static TApplication app(nullptr);
    return app;
}

}  // namespace

TApplication* Application = &TheApplication();
