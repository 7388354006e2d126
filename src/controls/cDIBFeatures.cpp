#include "controls/cDIBFeatures.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "controls/cDIBControl.h"
#include "objects/Streaming.h"

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

// The features every form may name, registered before any form is read.
static const bool kFeaturesRegistered = [] {
    RegisterDIBFeature(TMoveableDIB::StaticClass());
    RegisterDIBFeature(THighlightDIB::StaticClass());
    RegisterDIBFeature(TShapeableDIB::StaticClass());
    return true;
}();

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

// ---- TMoveableDIB ---------------------------------------------------------------

TW_IMPLEMENT_CLASS(TMoveableDIB) {
    // No stored defaults: forms always carry these.
    b.Property("AllowVertical", &TMoveableDIB::AllowVertical, &TMoveableDIB::SetAllowVertical);
    b.Property("AllowHorizontal", &TMoveableDIB::AllowHorizontal,
               &TMoveableDIB::SetAllowHorizontal);
    b.Property("BorderSize", &TMoveableDIB::BorderSize, &TMoveableDIB::SetBorderSize);
    b.Property("SnapSize", &TMoveableDIB::SnapSize, &TMoveableDIB::SetSnapSize);
    b.Property("MouseButtons", &TMoveableDIB::MouseButtons, &TMoveableDIB::SetMouseButtons);
}

void TMoveableDIB::MoveBy(int DX, int DY) {
    TControl* c = Control();
    if (!c || (DX == 0 && DY == 0)) return;
    // Bounds from a form may sit anywhere; a step never wraps past the ends.
    auto shifted = [](int v, int d) {
        return int(std::clamp<long long>(0LL + v + d, INT_MIN, INT_MAX));
    };
    c->SetBounds(shifted(c->Left(), DX), shifted(c->Top(), DY), c->Width(), c->Height());
}

// The press that starts a drag is judged where it happens, not where the
// previous drag began.
bool TMoveableDIB::OutsideBorder(int X, int Y) const {
    const int b = BorderSize_;
    if (b == 0) return true;
    const TControl* c = Control();
    return c && X >= b && Y >= b && X < c->Width() - b && Y < c->Height() - b;
}

void TMoveableDIB::HandleMessage(TMessage& Message, bool& /*Handled*/) {
    if (Message.Msg == WM_KEYDOWN) {
        // Arrow keys step the control, drag or no drag.
        const int step = SnapSize_;
        switch (Message.WParam) {
            case VK_LEFT:
                if (AllowHorizontal_) MoveBy(-step, 0);
                break;
            case VK_RIGHT:
                if (AllowHorizontal_) MoveBy(step, 0);
                break;
            case VK_UP:
                if (AllowVertical_) MoveBy(0, -step);
                break;
            case VK_DOWN:
                if (AllowVertical_) MoveBy(0, step);
                break;
        }
        return;
    }
    const int x = MouseX(Message.LParam), y = MouseY(Message.LParam);
    if (dragging_) {
        switch (Message.Msg) {
            case WM_MOUSEMOVE: {
                // Only the left button's drag holds the capture: the release
                // of another may go elsewhere, and then the drag ends here.
                constexpr std::uint32_t held[] = {MK_LBUTTON, MK_RBUTTON, MK_MBUTTON};
                if (!(Message.WParam & held[pressedButton_])) {
                    dragging_ = false;
                    break;
                }
                // The pointer is in the control's coordinates, so moving the
                // control by its offset keeps the grabbed point under it.
                int dx = AllowHorizontal_ ? x - pickPoint_.X : 0;
                int dy = AllowVertical_ ? y - pickPoint_.Y : 0;
                if (SnapSize_ > 1) {
                    dx = dx / SnapSize_ * SnapSize_;
                    dy = dy / SnapSize_ * SnapSize_;
                }
                MoveBy(dx, dy);
                break;
            }
            case WM_LBUTTONUP:
                if (pressedButton_ == mbLeft) dragging_ = false;
                break;
            case WM_RBUTTONUP:
                if (pressedButton_ == mbRight) dragging_ = false;
                break;
            case WM_MBUTTONUP:
                if (pressedButton_ == mbMiddle) dragging_ = false;
                break;
            case WM_CAPTURECHANGED:
                // The left button's drag holds the capture; taken away, its
                // button-up goes elsewhere and the drag would never end.
                if (pressedButton_ == mbLeft) dragging_ = false;
                break;
        }
        return;
    }
    TMouseButton button;
    switch (Message.Msg) {
        case WM_LBUTTONDOWN: button = mbLeft; break;
        case WM_RBUTTONDOWN: button = mbRight; break;
        case WM_MBUTTONDOWN: button = mbMiddle; break;
        default: return;
    }
    pressedButton_ = button;
    if (MouseButtons_.Contains(button) && OutsideBorder(x, y)) {
        dragging_ = true;
        pickPoint_ = {x, y};
    }
}

// ---- THighlightDIB --------------------------------------------------------------

TW_IMPLEMENT_CLASS(THighlightDIB) {
    b.Property("HighlightOpacity", &THighlightDIB::HighlightOpacity,
               &THighlightDIB::SetHighlightOpacity);
}

bool THighlightDIB::AcceptsControl(TControl* Control) {
    return dynamic_cast<TCustomDIBControl*>(Control) != nullptr;
}

// The control's own state is updated after its features have seen the
// message, so these tests see the state before it.
void THighlightDIB::HandleMessage(TMessage& Message, bool& /*Handled*/) {
    auto* c = dynamic_cast<TCustomDIBControl*>(Control());
    if (!c) return;
    // Raised once, restored once: a restore without a raise before it (the
    // feature came while the control was hot or focused) would put back an
    // opacity never saved.
    auto raise = [&] {
        if (raised_) return;
        raised_ = true;
        savedOpacity_ = c->Opacity();
        c->SetOpacity(HighlightOpacity_);
    };
    auto restore = [&] {
        if (std::exchange(raised_, false)) c->SetOpacity(savedOpacity_);
    };
    switch (Message.Msg) {
        case WM_SETFOCUS:
            if (!c->DIBFocused() && !c->Hot()) raise();
            break;
        case WM_KILLFOCUS:
            if (c->DIBFocused() && !c->Hot()) restore();
            break;
        case CM_MOUSEENTER:
            if (!c->DIBFocused() && !c->MouseCapture()) raise();
            break;
        case CM_MOUSELEAVE:
            if (!c->DIBFocused() && !c->MouseCapture()) restore();
            break;
        case WM_CAPTURECHANGED:
            // A drag that ended outside: the control leaves its hot state
            // without a leave notification, so the look goes back here.
            if (c->Hot() && !c->MouseInside() && !c->DIBFocused()) restore();
            break;
        case WM_LBUTTONUP: c->SetMouseCapture(false); break;
    }
}

// ---- TShapeableDIB --------------------------------------------------------------

TW_IMPLEMENT_CLASS(TShapeableDIB) {
    b.Property("TransparentColor", &TShapeableDIB::TransparentColor,
               &TShapeableDIB::SetTransparentColor);
    b.Property("TransparentMode", &TShapeableDIB::TransparentMode,
               &TShapeableDIB::SetTransparentMode);
    b.Property("MaskLevel", &TShapeableDIB::MaskLevel, &TShapeableDIB::SetMaskLevel);
}

TShapeableDIB::~TShapeableDIB() {
    if (region_) DeleteObject(region_);
}

bool TShapeableDIB::AcceptsControl(TControl* Control) {
    return dynamic_cast<TCustomDIBControl*>(Control) != nullptr;
}

void TShapeableDIB::HandleMessage(TMessage& Message, bool& Handled) {
    if (Message.Msg != CM_HITTEST) return;
    auto* c = dynamic_cast<TCustomDIBControl*>(Control());
    if (!c) return;
    Handled = true;
    if (c->ChangeStamp() != regionStamp_) BuildRegion(c);
    Message.Result =
        !region_ || PtInRegion(region_, MouseX(Message.LParam), MouseY(Message.LParam)) ? 1 : 0;
}

void TShapeableDIB::BuildRegion(TCustomDIBControl* c) {
    TWinDIB dib(std::max(c->Width(), 0), std::max(c->Height(), 0));
    dib.Fill(0);
    TCanvas* canvas = c->Canvas();
    // The control paints as it does for its container: into its surface, or
    // through its Canvas, which must be attached to the surface meanwhile.
    struct Lent {
        TCustomDIBControl* control;
        TCanvas* canvas;
        ~Lent() {
            canvas->SetHandle(nullptr);
            canvas->Unlock();
            control->SetSurface(nullptr);
        }
    };
    {
        canvas->Lock();
        Lent lent{c, canvas};
        c->SetSurface(&dib);
        canvas->SetHandle(dib.Handle());
        if (dib.HasBits()) c->Paint();
    }
    if (region_) DeleteObject(std::exchange(region_, nullptr));
    if (MaskLevel_ > 0) {
        region_ = dib.CreateMaskRegion(MaskLevel_);
    } else if (dib.HasBits()) {
        TColor colour = TransparentColor_;
        if (TransparentMode_ == tmAuto)
            colour = PixelToColor(PixelWord(dib.ScanLine(dib.Height() - 1)[0]));
        region_ = dib.CreateColorRegion(colour);
    }
    regionStamp_ = c->ChangeStamp();
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
