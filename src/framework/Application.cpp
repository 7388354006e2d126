#include "framework/Application.h"

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
