#pragma once
// Forms and the application object that knows the main form.

#include <string>

#include "framework/Controls.h"

class TCustomForm : public TWinControl {
    TW_CLASS(TCustomForm, TWinControl)

public:
    explicit TCustomForm(TComponent* Owner);
    ~TCustomForm() override;

    // Key messages of every control on the form come to the form first.
    bool KeyPreview() const { return KeyPreview_; }
    void SetKeyPreview(bool Value) { KeyPreview_ = Value; }
    // The control that has (or gets, when the form is focused) the focus.
    TWinControl* ActiveControl() const { return ActiveControl_; }
    void SetActiveControl(TWinControl* Control);
    // A window on the form took the focus: it becomes the active control,
    // and the form's controls hear of it (CM_FOCUSCHANGED, LParam its window).
    void FocusChanged(TWinControl* Control);

protected:
    void Dispatch(TMessage& Message) override;
    void Notification(TComponent* Component, TOperation Operation) override;

private:
    bool KeyPreview_ = false;
    TWinControl* ActiveControl_ = nullptr;
};

class TForm : public TCustomForm {
    TW_CLASS(TForm, TCustomForm)

public:
    explicit TForm(TComponent* Owner);
};

// The one application object. It does not own its main form; a form that
// is destroyed stops being the main form.
class TApplication : public TComponent {
    TW_CLASS(TApplication, TComponent)

public:
    explicit TApplication(TComponent* Owner);

    TCustomForm* MainForm() const { return MainForm_; }
    void SetMainForm(TCustomForm* Value) { MainForm_ = Value; }

private:
    TCustomForm* MainForm_ = nullptr;
};

extern TApplication* Application;
