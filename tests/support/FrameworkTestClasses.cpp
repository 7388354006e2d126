#include "support/FrameworkTestClasses.h"

#include "objects/TextForm.h"

std::vector<uint8_t> BinaryToTextBytes(const std::vector<uint8_t>& bin) {
    TMemoryStream in(bin.data(), bin.size());
    TMemoryStream out;
    ObjectBinaryToText(in, out);
    return out.Bytes();
}

std::vector<uint8_t> TextToBinaryBytes(const std::vector<uint8_t>& text) {
    TMemoryStream in(text.data(), text.size());
    TMemoryStream out;
    ObjectTextToBinary(in, out);
    return out.Bytes();
}

void RegisterTestClasses() {
    RegisterClasses({TTestComponent::StaticClass(), TTestPanel::StaticClass(),
                     TTestForm::StaticClass(), TTestItem::StaticClass()});
}

TW_IMPLEMENT_CLASS(TTestSub) {
    b.Property("X", &TTestSub::X, &TTestSub::SetX).Default(0);
    b.Property("Mode", &TTestSub::mode_).Default(TTestMode::tmOff);
    b.Property("Ratio", &TTestSub::ratio_);
}

TW_IMPLEMENT_CLASS(TTestItem) {
    b.Property("Width", &TTestItem::width_).Default(0);
    b.Property("Label", &TTestItem::label_);
    b.Property("Ref", &TTestItem::ref_, &TTestItem::ref_);
}

TW_IMPLEMENT_CLASS(TTestComponent) {
    b.Property("Width", &TTestComponent::Width, &TTestComponent::SetWidth).Default(0);
    b.Property("Height", &TTestComponent::height_);
    b.Property("Enabled", &TTestComponent::enabled_).Default(true);
    b.Property("Letter", &TTestComponent::letter_).Default('a');
    b.Property("Mode", &TTestComponent::mode_).Default(TTestMode::tmSlow);
    b.Property("Styles", &TTestComponent::styles_).Default(TTestStyles{});
    b.Property("Scale", &TTestComponent::scale_).Default(100.0L);
    b.Property("Caption", &TTestComponent::caption_);
    b.Property("Big", &TTestComponent::big_).Default(0);
    b.Property("Sub", &TTestComponent::Sub);
    b.Property("Items", &TTestComponent::Items);
    b.Property("Buddy", &TTestComponent::Buddy, &TTestComponent::SetBuddy);
    b.Property("OnChange", &TTestComponent::onChange_);
}

TW_IMPLEMENT_CLASS(TTestPanel) {}

TW_IMPLEMENT_CLASS(TTestForm) {
    b.Method<&TTestForm::ButtonClick>("ButtonClick");
    b.Method<&TTestForm::OtherClick>("OtherClick");
    b.Method<&TTestForm::WrongShape>("WrongShape");
}
