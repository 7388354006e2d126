#pragma once
// Forms and the application object that knows the main form.

#include <string>

#include "framework/Controls.h"

using TExceptionEvent = TEvent<TObject*, const std::exception&>;
// Answers through Handled whether the key message was taken as a short cut.
using TShortCutEvent = TEvent<TMessage&, bool&>;

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
    void FocusChanged(TWinControl* Control);
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
    virtual bool IsShortCut(TMessage& Message);

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

// The one application object. It does not own its main form; a form that
// is destroyed stops being the main form.
//
// The framework runs inside a host's process: no failure of user code may
// reach the host's window system, nor show a dialog. Every entry from the
// window system (a native window's messages and paints, a timer's tick)
// catches what its handlers raise and hands it to HandleException, and the
// next message is handled as usual.
class TApplication : public TComponent {
    TW_CLASS(TApplication, TComponent)

public:
    explicit TApplication(TComponent* Owner);

    TCustomForm* MainForm() const { return MainForm_; }
    void SetMainForm(TCustomForm* Value) { MainForm_ = Value; }

    // Called inside a catch block: records the exception in flight (its
    // message, or "Unknown exception" for anything that is not a
    // std::exception) and passes it to OnException when assigned; otherwise
    // it is dropped. Never raises: a failing OnException is dropped too.
    void HandleException(TObject* Sender) noexcept;
    // Runs Fn; whatever it raises goes to HandleException(Sender).
    template <class F>
    void Guard(TObject* Sender, F&& Fn) noexcept {
        try {
            Fn();
        } catch (...) {
            HandleException(Sender);
        }
    }
    // The message of the last exception handled, and how many were handled.
    const std::string& LastExceptionMessage() const { return lastMessage_; }
    int ExceptionCount() const { return exceptionCount_; }

    // The application's key-down hook, asked for every key-down after the
    // focused control's popup menus and its form (TWinControl's short-cut
    // test): true when OnShortCut takes the key.
    bool IsShortCut(TMessage& Message);

    TExceptionEvent OnException;
    TShortCutEvent OnShortCut;

private:
    TCustomForm* MainForm_ = nullptr;
    std::string lastMessage_;
    int exceptionCount_ = 0;
};

extern TApplication* Application;
