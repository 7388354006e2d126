#include "framework/Forms.h"

// ---- TCustomForm ---------------------------------------------------------------

TW_IMPLEMENT_CLASS(TCustomForm) {
    b.Property("Caption", &TCustomForm::Caption, &TCustomForm::SetCaption);
}

TCustomForm::TCustomForm(TComponent* Owner) : TWinControl(Owner) {}

TCustomForm::~TCustomForm() {
    Destroying();
    if (Application->MainForm() == this) Application->SetMainForm(nullptr);
}

void TCustomForm::SetCaption(const std::string& Value) {
    if (Value == Caption_) return;
    Caption_ = Value;
    Perform(CM_TEXTCHANGED, 0, 0);
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
