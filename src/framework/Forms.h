#pragma once
// Forms and the application object that knows the main form.

#include <string>

#include "framework/Controls.h"

class TCustomForm : public TWinControl {
    TW_CLASS(TCustomForm, TWinControl)

public:
    explicit TCustomForm(TComponent* Owner);
    ~TCustomForm() override;

    const std::string& Caption() const { return Caption_; }
    // Stores the caption and tells the form (CM_TEXTCHANGED) when it changed.
    void SetCaption(const std::string& Value);

private:
    std::string Caption_;
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
