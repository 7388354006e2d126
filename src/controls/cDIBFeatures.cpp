#include "controls/cDIBFeatures.h"

#include "framework/Streaming.h"

namespace {

std::vector<TClass>& featureClasses() {
    static std::vector<TClass> classes;
    return classes;
}

// Copies one published property of a feature from Source into Dest.
void copyProperty(TDIBFeature* Dest, TDIBFeature* Source, const TPropInfo& Prop) {
    switch (Prop.Kind()) {
        case TTypeKind::tkFloat: SetFloatProp(Dest, Prop, GetFloatProp(Source, Prop)); break;
        case TTypeKind::tkString:
        case TTypeKind::tkLString:
        case TTypeKind::tkWString: SetStrProp(Dest, Prop, GetStrProp(Source, Prop)); break;
        case TTypeKind::tkMethod: SetMethodProp(Dest, Prop, GetMethodProp(Source, Prop)); break;
        case TTypeKind::tkClass: {
            // An owned sub-object takes the other's settings; a reference is shared.
            TObject* from = GetObjectProp(Source, Prop);
            auto* sub = dynamic_cast<TPersistent*>(GetObjectProp(Dest, Prop));
            if (sub && !dynamic_cast<TComponent*>(sub))
                sub->Assign(dynamic_cast<TPersistent*>(from));
            else if (Prop.IsWritable())
                SetObjectProp(Dest, Prop, from);
            break;
        }
        default: SetOrdProp(Dest, Prop, GetOrdProp(Source, Prop)); break;
    }
}

}  // namespace

void RegisterDIBFeature(TClass FeatureClass) {
    if (!FeatureClass || !FeatureClass->InheritsFrom(TDIBFeature::StaticClass()) ||
        !FeatureClass->NewComponent)
        throw EFeatureError((FeatureClass ? FeatureClass->ClassName() : std::string("nil")) +
                            " is not a feature class that can be created");
    RegisterClass(FeatureClass);
    featureClasses().push_back(FeatureClass);
}

TClass FindDIBFeatureClass(std::string_view Name) {
    const auto& classes = featureClasses();
    for (auto it = classes.rbegin(); it != classes.rend(); ++it)
        if (SameText((*it)->ClassName(), Name)) return *it;
    return nullptr;
}

// ---- TDIBFeature ----------------------------------------------------------------

TW_IMPLEMENT_CLASS(TDIBFeature) {}

TDIBFeature::TDIBFeature(TComponent* Owner) : TComponent(Owner) {}

TDIBFeature::~TDIBFeature() {
    // Freed by its owner before its item: the item must not free it again.
    if (item_) item_->feature_ = nullptr;
}

bool TDIBFeature::AcceptsControl(TControl* /*Control*/) { return true; }

std::string TDIBFeature::GetFeatureName() { return "Unknown feature"; }

void TDIBFeature::Assign(TPersistent* Source) {
    auto* source = dynamic_cast<TDIBFeature*>(Source);
    if (!source) {
        TComponent::Assign(Source);
        return;
    }
    if (source == this || source->ClassType() != ClassType()) return;
    const TClass base = TDIBFeature::StaticClass();
    for (const auto& prop : ClassType()->Properties())
        if (!base->FindProperty(prop->Name)) copyProperty(this, source, *prop);
}

// ---- TDIBFeatureItem ------------------------------------------------------------

TW_IMPLEMENT_CLASS(TDIBFeatureItem) {
    b.Property("FeatureParameters", &TDIBFeatureItem::FeatureParameters,
               &TDIBFeatureItem::SetFeatureParameters);
    b.Property("Enabled", &TDIBFeatureItem::Enabled, &TDIBFeatureItem::SetEnabled).Default(true);
    b.Property("FeatureClassName", &TDIBFeatureItem::FeatureClassName,
               &TDIBFeatureItem::SetFeatureClassName);
}

TDIBFeatureItem::TDIBFeatureItem(TCollection* Collection) : TCollectionItem(Collection) {}

TDIBFeatureItem::~TDIBFeatureItem() { FreeFeature(); }

TControl* TDIBFeatureItem::Control() const {
    auto* features = dynamic_cast<TDIBFeatures*>(Collection());
    return features ? features->Control() : nullptr;
}

void TDIBFeatureItem::FreeFeature() {
    if (!feature_) return;
    TDIBFeature* old = feature_;
    feature_ = nullptr;
    old->item_ = nullptr;
    delete old;  // leaves its owner's list of components
}

void TDIBFeatureItem::SetFeatureClassName(const std::string& Value) {
    TClass cls = nullptr;
    if (!Value.empty()) {
        cls = FindDIBFeatureClass(Value);
        if (!cls) throw EFeatureError(Value + " has not been registered");
    }
    FreeFeature();
    FeatureClassName_ = Value;
    if (!cls) return;
    TControl* control = Control();
    auto* made = static_cast<TDIBFeature*>(cls->NewComponent(control));
    made->SetControl(control);
    made->item_ = this;
    feature_ = made;
}

void TDIBFeatureItem::Assign(TPersistent* Source) {
    auto* source = dynamic_cast<TDIBFeatureItem*>(Source);
    if (!source) {
        TCollectionItem::Assign(Source);
        return;
    }
    SetEnabled(source->Enabled_);
    SetFeatureClassName(source->FeatureClassName_);
    if (source->feature_ && feature_) feature_->Assign(source->feature_);
}

std::string TDIBFeatureItem::GetDisplayName() const {
    return feature_ ? feature_->GetFeatureName() : "DIB feature";
}

void TDIBFeatureItem::HandleMessage(TMessage& Message, bool& Handled) {
    if (Enabled_ && feature_) feature_->HandleMessage(Message, Handled);
}

void TDIBFeatureItem::DefineProperties(TFiler* Filer) {
    TCollectionItem::DefineProperties(Filer);
    Filer->DefineBinaryProperty(
        "DIBFeatureParameters", [this](TStream& s) { ReadParameters(s); },
        [this](TStream& s) { WriteParameters(s); }, feature_ != nullptr);
}

void TDIBFeatureItem::ReadParameters(TStream& Stream) {
    const std::int64_t size = Stream.Remaining();
    if (size <= 0) return;
    std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
    Stream.ReadBuffer(data.data(), size);
    parameterData_ = std::move(data);
}

void TDIBFeatureItem::WriteParameters(TStream& Stream) const {
    if (!feature_) return;
    TWriter writer(Stream);
    writer.WriteString(FeatureClassName_);
    writer.WriteRootComponent(feature_);
}

void TDIBFeatureItem::ApplyParameters() {
    if (parameterData_.empty()) return;
    TMemoryStream stream(parameterData_.data(), parameterData_.size());
    TReader reader(stream);
    std::string name;
    try {
        name = reader.ReadString();
    } catch (const Exception& e) {
        throw EFeatureError("Feature parameters do not begin with a class name: " + e.Message());
    }
    if (name.empty()) throw EFeatureError("Feature parameters name no feature class");
    SetFeatureClassName(name);
    try {
        reader.ReadRootComponent(feature_);
    } catch (const EFeatureError&) {
        throw;
    } catch (const Exception& e) {
        throw EFeatureError("Feature parameters of " + name + " cannot be read: " + e.Message());
    }
}

// ---- TDIBFeatures ---------------------------------------------------------------

TW_IMPLEMENT_CLASS(TDIBFeatures) {}

TDIBFeatures::TDIBFeatures(TControl* Control)
    : TOwnedCollection(Control, TDIBFeatureItem::StaticClass()), control_(Control) {}

TDIBFeatures::~TDIBFeatures() { Clear(); }

void TDIBFeatures::FeaturesLoaded() {
    for (int i = 0; i < Count(); ++i) Items(i)->ApplyParameters();
}

void TDIBFeatures::HandleMessage(TMessage& Message, bool& Handled) {
    // A feature may change the collection while it handles the message, so
    // the count is read afresh each time.
    for (int i = 0; i < Count(); ++i) {
        Items(i)->HandleMessage(Message, Handled);
        if (Handled) break;
    }
}

// ---- TControlItem / TControlList -----------------------------------------------

TW_IMPLEMENT_CLASS(TControlItem) {
    b.Property("Control", &TControlItem::Control, &TControlItem::SetControl);
}

TControlItem::TControlItem(TCollection* Collection) : TCollectionItem(Collection) {}

void TControlItem::Assign(TPersistent* Source) {
    if (auto* item = dynamic_cast<TControlItem*>(Source)) {
        SetControl(item->Control());
        return;
    }
    TCollectionItem::Assign(Source);
}

std::string TControlItem::GetDisplayName() const {
    if (!Control_) return TCollectionItem::GetDisplayName();
    return Control_->Name().empty() ? Control_->ClassName() : Control_->Name();
}

void TControlItem::SetControl(TControl* Value) {
    if (!Value) throw EFeatureError("You cannot set Control to nil");
    if (Value == Control_) return;
    if (auto* list = dynamic_cast<TControlList*>(Collection()); list && list->Find(Value))
        throw EFeatureError("Control already exists in list.");
    Control_ = Value;
}

TW_IMPLEMENT_CLASS(TControlList) {}

TControlList::TControlList(TControl* Owner)
    : TOwnedCollection(Owner, TControlItem::StaticClass()) {}

TControlList::~TControlList() { Clear(); }

TControlItem* TControlList::Find(const TControl* Control) const {
    for (int i = 0; i < Count(); ++i)
        if (Items(i)->Control() == Control) return Items(i);
    return nullptr;
}
