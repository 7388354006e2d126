#include "support/FeatureSamples.h"

TW_IMPLEMENT_CLASS(TRecordingFeature) {
    b.Property("Step", &TRecordingFeature::Step_);
    b.Property("Label", &TRecordingFeature::Label_);
    b.Property("Mode", &TRecordingFeature::Mode_).Default(TSampleMode::smQuiet);
    b.Property("Consume", &TRecordingFeature::Consume_).Default(false);
}

TW_IMPLEMENT_CLASS(TOtherFeature) {}

void TRecordingFeature::HandleMessage(TMessage& Message, bool& Handled) {
    seen.push_back(Message.Msg);
    if (Consume_) Handled = true;
}

namespace tarnwick::test {

void RegisterSampleFeatures() {
    static const bool once = [] {
        RegisterDIBFeature(TRecordingFeature::StaticClass());
        RegisterDIBFeature(TOtherFeature::StaticClass());
        return true;
    }();
    (void)once;
}

}  // namespace tarnwick::test
