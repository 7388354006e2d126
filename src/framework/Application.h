#pragma once
// The application object: where failures no caller can take end, the
// application's key hook, and the main form.

#include <exception>
#include <string>

#include "framework/Messages.h"
#include "objects/Classes.h"

class TCustomForm;

using TExceptionEvent = TEvent<TObject*, const std::exception&>;
// Answers through Handled whether the key message was taken as a short cut.
using TShortCutEvent = TEvent<TMessage&, bool&>;

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
