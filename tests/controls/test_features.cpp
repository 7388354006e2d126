#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "controls/cDIBFeatures.h"
#include "framework/Forms.h"
#include "objects/Streaming.h"
#include "support/FeatureSamples.h"

namespace {

// The least a control does with features: offers them every message first and
// builds them once it has been read.
class TFeaturedControl : public TControl {
    TW_CLASS(TFeaturedControl, TControl)

public:
    explicit TFeaturedControl(TComponent* Owner)
        : TControl(Owner), DIBFeatures_(std::make_unique<TDIBFeatures>(this)) {}
    TDIBFeatures* DIBFeatures() const { return DIBFeatures_.get(); }
    void SetDIBFeatures(TDIBFeatures* Value) { DIBFeatures_->Assign(Value); }
    void Loaded() override {
        TControl::Loaded();
        DIBFeatures_->FeaturesLoaded();
    }
    std::vector<std::uint32_t> reached;  // messages the features left unhandled

protected:
    void WndProc(TMessage& Message) override {
        bool handled = false;
        DIBFeatures_->HandleMessage(Message, handled);
        if (handled) return;
        reached.push_back(Message.Msg);
        TControl::WndProc(Message);
    }

private:
    std::unique_ptr<TDIBFeatures> DIBFeatures_;
};

TW_IMPLEMENT_CLASS(TFeaturedControl) {
    b.Property("DIBFeatures", &TFeaturedControl::DIBFeatures, &TFeaturedControl::SetDIBFeatures);
}

struct Registered {
    Registered() {
        tarnwick::test::RegisterSampleFeatures();
        RegisterClasses({TFeaturedControl::StaticClass()});
    }
} registered;

TRecordingFeature* recording(TDIBFeatureItem* item) {
    return dynamic_cast<TRecordingFeature*>(item->Feature());
}

int occurrences(const std::vector<std::uint8_t>& bytes, const std::string& text) {
    int n = 0;
    for (auto it = bytes.begin();
         (it = std::search(it, bytes.end(), text.begin(), text.end())) != bytes.end(); ++it)
        ++n;
    return n;
}

// The parameter bytes an item writes for a feature with some settings.
std::vector<std::uint8_t> parameterBytes(const std::string& className) {
    TDIBFeatures features(nullptr);
    TDIBFeatureItem* item = features.Add();
    item->SetFeatureClassName(className);
    recording(item)->Step_ = 300;
    recording(item)->Label_ = "fader";
    TMemoryStream stream;
    item->WriteParameters(stream);
    return stream.Bytes();
}

// Applies bytes as an item's stored parameters; "" when they were accepted,
// else the text of the EFeatureError (any other exception fails the test).
std::string applied(const std::vector<std::uint8_t>& bytes, TDIBFeatureItem* item) {
    TMemoryStream stream(bytes.data(), bytes.size());
    item->ReadParameters(stream);
    try {
        item->ApplyParameters();
    } catch (const EFeatureError& e) {
        return e.Message();
    }
    return "";
}

}  // namespace

TEST(Features, StoredWithTheFormAndBuiltWhenTheControlIsLoaded) {
    TForm form(nullptr);
    auto* knob = new TFeaturedControl(&form);
    knob->SetName("Knob");
    knob->SetParent(&form);
    TDIBFeatureItem* first = knob->DIBFeatures()->Add();
    first->SetFeatureClassName("TRecordingFeature");
    first->SetFeatureParameters("kept as text");
    recording(first)->Step_ = -5;
    recording(first)->Label_ = "drag";
    recording(first)->Mode_ = TSampleMode::smLoud;
    TDIBFeatureItem* second = knob->DIBFeatures()->Add();
    second->SetFeatureClassName("tOtherFeature");  // names are found in any case
    second->SetEnabled(false);
    knob->DIBFeatures()->Add();            // no feature
    EXPECT_EQ(knob->ComponentCount(), 2);  // the control owns the features

    const std::vector<std::uint8_t> bytes = ComponentToBytes(&form);
    EXPECT_EQ(occurrences(bytes, "DIBFeatureParameters"), 2);  // not for the empty item

    TForm loaded(nullptr);
    TMemoryStream stream(bytes.data(), bytes.size());
    ReadComponentFromStream(stream, &loaded);
    auto* copy = dynamic_cast<TFeaturedControl*>(loaded.FindComponent("Knob"));
    ASSERT_NE(copy, nullptr);
    TDIBFeatures* features = copy->DIBFeatures();
    ASSERT_EQ(features->Count(), 3);
    TRecordingFeature* f = recording(features->Items(0));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Step_, -5);
    EXPECT_EQ(f->Label_, "drag");
    EXPECT_EQ(f->Mode_, TSampleMode::smLoud);
    EXPECT_EQ(f->Control(), copy);
    EXPECT_EQ(f->Owner(), copy);
    EXPECT_EQ(features->Items(0)->FeatureParameters(), "kept as text");
    EXPECT_EQ(features->Items(0)->DisplayName(), "Recording feature");
    EXPECT_EQ(features->Items(1)->Feature()->ClassType(), TOtherFeature::StaticClass());
    EXPECT_FALSE(features->Items(1)->Enabled());
    EXPECT_EQ(features->Items(2)->Feature(), nullptr);
    EXPECT_EQ(features->Items(2)->DisplayName(), "DIB feature");
    EXPECT_EQ(copy->ComponentCount(), 2);  // the features made while reading are gone
}

TEST(Features, MessagesReachEnabledFeaturesUntilOneHandlesThem) {
    TForm form(nullptr);
    auto* knob = new TFeaturedControl(&form);
    TDIBFeatures* features = knob->DIBFeatures();
    for (const char* name : {"TRecordingFeature", "TRecordingFeature", "TOtherFeature"})
        features->Add()->SetFeatureClassName(name);
    features->Items(0)->SetEnabled(false);
    knob->Perform(WM_PAINT, 0, 0);
    EXPECT_TRUE(recording(features->Items(0))->seen.empty());
    EXPECT_EQ(recording(features->Items(1))->seen, std::vector<std::uint32_t>{WM_PAINT});
    EXPECT_EQ(recording(features->Items(2))->seen, std::vector<std::uint32_t>{WM_PAINT});
    EXPECT_EQ(knob->reached, std::vector<std::uint32_t>{WM_PAINT});

    recording(features->Items(1))->Consume_ = true;
    knob->Perform(CM_MOUSEENTER, 0, 0);
    EXPECT_EQ(recording(features->Items(1))->seen.back(), CM_MOUSEENTER);
    EXPECT_EQ(recording(features->Items(2))->seen.size(), 1u);  // not offered
    EXPECT_EQ(knob->reached.size(), 1u);                        // handled by the feature
}

TEST(Features, ClassNamesAndAssignment) {
    EXPECT_EQ(FindDIBFeatureClass("trecordingfeature"), TRecordingFeature::StaticClass());
    EXPECT_EQ(FindDIBFeatureClass("TDIBFeature"), nullptr);
    EXPECT_THROW(RegisterDIBFeature(TDIBFeature::StaticClass()), EFeatureError);  // abstract
    EXPECT_THROW(RegisterDIBFeature(TForm::StaticClass()), EFeatureError);

    TForm form(nullptr);
    auto* knob = new TFeaturedControl(&form);
    TDIBFeatureItem* item = knob->DIBFeatures()->Add();
    item->SetFeatureClassName("TRecordingFeature");
    TDIBFeature* before = item->Feature();
    try {
        item->SetFeatureClassName("TNoSuchFeature");
        ADD_FAILURE() << "an unregistered name was accepted";
    } catch (const EFeatureError& e) {
        EXPECT_EQ(e.Message(), "TNoSuchFeature has not been registered");
    }
    EXPECT_EQ(item->Feature(), before);
    EXPECT_EQ(item->FeatureClassName(), "TRecordingFeature");

    // Item to item: Enabled, class and settings; a fresh feature.
    recording(item)->Label_ = "copied";
    item->SetEnabled(false);
    TDIBFeatureItem* other = knob->DIBFeatures()->Add();
    other->Assign(item);
    EXPECT_FALSE(other->Enabled());
    ASSERT_NE(recording(other), nullptr);
    EXPECT_NE(other->Feature(), item->Feature());
    EXPECT_EQ(recording(other)->Label_, "copied");

    // Feature to feature: only between features of one class.
    TOtherFeature stranger(nullptr);
    stranger.Label_ = "foreign";
    item->Feature()->Assign(&stranger);
    EXPECT_EQ(recording(item)->Label_, "copied");
    EXPECT_THROW(item->Feature()->Assign(knob->DIBFeatures()), EConvertError);

    // An empty name frees the feature, which leaves the control's components.
    item->SetFeatureClassName("");
    other->SetFeatureClassName("");
    EXPECT_EQ(item->Feature(), nullptr);
    EXPECT_EQ(knob->ComponentCount(), 0);
}

TEST(Features, MalformedParametersAreRefused) {
    const std::vector<std::uint8_t> good = parameterBytes("TRecordingFeature");
    TDIBFeatures features(nullptr);
    TDIBFeatureItem* item = features.Add();
    ASSERT_EQ(applied(good, item), "");
    EXPECT_EQ(recording(item)->Step_, 300);
    EXPECT_EQ(recording(item)->Label_, "fader");

    // Every truncation fails cleanly: the reader never runs past the end.
    for (std::size_t n = 1; n < good.size(); ++n) {
        const std::vector<std::uint8_t> cut(good.begin(), good.begin() + std::ptrdiff_t(n));
        EXPECT_NE(applied(cut, item), "") << "accepted " << n << " of " << good.size() << " bytes";
    }

    // A string length far beyond the bytes there are.
    std::vector<std::uint8_t> huge = good;
    huge[1] = huge[2] = huge[3] = huge[4] = 0xFF;
    EXPECT_NE(applied(huge, item).find("do not begin with a class name"), std::string::npos);

    // Names that are no registered feature, and a component of another class.
    auto renamed = [](const std::vector<std::uint8_t>& bytes, const std::string& name) {
        const std::size_t old = bytes[1];  // the class names are short
        std::string out{char(bytes[0]), char(name.size()), 0, 0, 0};
        out += name;
        out.append(bytes.begin() + std::ptrdiff_t(5 + old), bytes.end());
        return std::vector<std::uint8_t>(out.begin(), out.end());
    };
    EXPECT_EQ(applied(renamed(good, "TMissing"), item), "TMissing has not been registered");
    EXPECT_EQ(applied(renamed(good, ""), item), "Feature parameters name no feature class");
    const std::vector<std::uint8_t> other = parameterBytes("TOtherFeature");
    EXPECT_NE(applied(renamed(other, "TRecordingFeature"), item).find("cannot be read"),
              std::string::npos);
}
