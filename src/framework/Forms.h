#pragma once
// Forms: the top-most window controls, which keep the focus and take dialog
// keys and short cuts for the controls on them.

#include "framework/Application.h"
#include "framework/Controls.h"

// The frame a form asks for. A form is always shown as a child of a window
// of the host's, where the host draws whatever frame there is: the style is
// kept, and the client area is the whole window.
enum class TFormBorderStyle : uint8_t {
    bsNone,
    bsSingle,
    bsSizeable,
    bsDialog,
    bsToolWindow,
    bsSizeToolWin
};
TW_ENUM(TFormBorderStyle, "bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow",
        "bsSizeToolWin");

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
    void ControlFocused(TWinControl* Control) override;
    // With KeyPreview, the form's own key handling sees the key first.
    bool PreviewKeyMessage(TMessage& Message) override;
    // The form handles it as its own message (Tab and Shift+Tab move the
    // focus).
    bool DialogMessage(std::uint32_t Msg, std::uint32_t WParam, std::int32_t LParam) override;
    TFormBorderStyle BorderStyle() const { return BorderStyle_; }
    void SetBorderStyle(TFormBorderStyle Value) { BorderStyle_ = Value; }
    int ClientWidth() const { return Width(); }
    void SetClientWidth(int Value) { SetWidth(Value); }
    int ClientHeight() const { return Height(); }
    void SetClientHeight(int Value) { SetHeight(Value); }
    // The form is drawn in pixels whatever the screen's text size: the
    // designed resolution and the scaling request are kept, nothing is scaled.
    bool Scaled() const { return Scaled_; }
    void SetScaled(bool Value) { Scaled_ = Value; }
    int PixelsPerInch() const { return PixelsPerInch_; }
    void SetPixelsPerInch(int Value) { PixelsPerInch_ = Value; }

    // The form's short-cut handling, asked before a key-down reaches the
    // focused control (after the popup menus): OnShortCut.
    bool IsShortCut(TMessage& Message) override;

    TShortCutEvent OnShortCut;

protected:
    void Dispatch(TMessage& Message) override;
    void Notification(TComponent* Component, TOperation Operation) override;

private:
    bool KeyPreview_ = false;
    TFormBorderStyle BorderStyle_ = TFormBorderStyle::bsSizeable;
    bool Scaled_ = true;
    int PixelsPerInch_ = 96;
    TWinControl* ActiveControl_ = nullptr;
};

class TForm : public TCustomForm {
    TW_CLASS(TForm, TCustomForm)

public:
    explicit TForm(TComponent* Owner);
};
