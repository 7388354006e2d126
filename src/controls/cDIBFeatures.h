#pragma once
// Features: add-on behaviours attached to a control without changing its
// class. A control owns a collection of feature items; each names a
// registered feature class, owns one instance of it and stores its settings
// with the form. The control offers every message to its features before it
// handles the message itself, and a feature may mark it handled.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dib/cDIB.h"
#include "framework/Controls.h"
#include "framework/Messages.h"
#include "objects/Classes.h"

TW_DECLARE_EXCEPTION(EFeatureError, Exception);

class TCustomDIBControl;
class TDIBFeatureItem;

class TDIBFeature : public TComponent {
    TW_CLASS(TDIBFeature, TComponent)

public:
    explicit TDIBFeature(TComponent* Owner);
    ~TDIBFeature() override;

    virtual bool AcceptsControl(TControl* Control);
    virtual std::string GetFeatureName();
    virtual void HandleMessage(TMessage& Message, bool& Handled) = 0;

    // From a feature of the same class: its own published properties (those
    // below this class). From a feature of another class: nothing. From
    // anything else: the framework's assignment error.
    void Assign(TPersistent* Source) override;
    // The control the feature serves.
    TPersistent* GetOwner() const override { return control_; }
    TControl* Control() const { return control_; }
    void SetControl(TControl* Value) { control_ = Value; }

private:
    friend class TDIBFeatureItem;
    TControl* control_ = nullptr;
    TDIBFeatureItem* item_ = nullptr;  // the item that holds the feature, told of its end
};

class TDIBFeatureItem : public TCollectionItem {
    TW_CLASS(TDIBFeatureItem, TCollectionItem)

public:
    explicit TDIBFeatureItem(TCollection* Collection);
    ~TDIBFeatureItem() override;

    // Enabled, then the class name (a fresh feature), then the source
    // feature's settings.
    void Assign(TPersistent* Source) override;
    // "DIBFeatureParameters": the class name and the feature's properties,
    // written only while there is a feature.
    void DefineProperties(TFiler* Filer) override;
    std::string GetDisplayName() const override;

    // The binary property's reader: keeps the bytes as they are, for
    // ApplyParameters once the control has been loaded.
    void ReadParameters(TStream& Stream);
    // The binary property's writer: the class name as a string value, then
    // the feature as a root component.
    void WriteParameters(TStream& Stream) const;
    // Builds the feature from the kept bytes, when there are any. Bytes that
    // are not a class name and a component of that class raise EFeatureError.
    void ApplyParameters();
    // Passes the message to the feature while the item is enabled.
    void HandleMessage(TMessage& Message, bool& Handled);

    // The control of the collection, or null.
    TControl* Control() const;
    TDIBFeature* Feature() const { return feature_; }

    const std::string& FeatureParameters() const { return FeatureParameters_; }
    void SetFeatureParameters(const std::string& Value) { FeatureParameters_ = Value; }
    bool Enabled() const { return Enabled_; }
    void SetEnabled(bool Value) { Enabled_ = Value; }
    const std::string& FeatureClassName() const { return FeatureClassName_; }
    // A registered name replaces the feature with a new one of that class,
    // owned by the control; "" frees it. An unregistered name raises
    // EFeatureError "<name> has not been registered" and changes nothing.
    void SetFeatureClassName(const std::string& Value);

private:
    friend class TDIBFeature;
    void FreeFeature();

    std::vector<std::uint8_t> parameterData_;  // the stored stream; empty for none
    std::string FeatureParameters_;
    TDIBFeature* feature_ = nullptr;
    bool Enabled_ = true;
    std::string FeatureClassName_;
};

class TDIBFeatures : public TOwnedCollection {
    TW_CLASS(TDIBFeatures, TOwnedCollection)

public:
    explicit TDIBFeatures(TControl* Control);
    ~TDIBFeatures() override;

    TDIBFeatureItem* Add() { return static_cast<TDIBFeatureItem*>(TCollection::Add()); }
    TDIBFeatureItem* Items(int Index) const {
        return static_cast<TDIBFeatureItem*>(TCollection::Items(Index));
    }
    TControl* Control() const { return control_; }

    // The control has been read from its form: every item builds its feature.
    void FeaturesLoaded();
    // Offers the message to the items in order, until one leaves it Handled.
    void HandleMessage(TMessage& Message, bool& Handled);

private:
    TControl* control_;
};

// Adds a feature class to the framework's class registry and to the list of
// feature classes. A class that is not a creatable feature raises EFeatureError.
void RegisterDIBFeature(TClass FeatureClass);
// The most recently registered feature class of that name (ASCII case
// ignored), or null.
TClass FindDIBFeatureClass(std::string_view Name);

using TMouseButtons = TSet<TMouseButton>;

// Makes a control movable: dragged with the accepted mouse buttons, stepped
// with the arrow keys. It never takes a message from the control.
class TMoveableDIB : public TDIBFeature {
    TW_CLASS(TMoveableDIB, TDIBFeature)

public:
    using TDIBFeature::TDIBFeature;
    std::string GetFeatureName() override { return "Moveable DIB"; }
    void HandleMessage(TMessage& Message, bool& Handled) override;

    bool AllowVertical() const { return AllowVertical_; }
    void SetAllowVertical(bool Value) { AllowVertical_ = Value; }
    bool AllowHorizontal() const { return AllowHorizontal_; }
    void SetAllowHorizontal(bool Value) { AllowHorizontal_ = Value; }
    // A press this close to an edge starts no drag; 0: every press does.
    std::uint8_t BorderSize() const { return BorderSize_; }
    void SetBorderSize(std::uint8_t Value) { BorderSize_ = Value; }
    // Moves are whole multiples of it (toward zero); the arrow keys step by it.
    std::uint8_t SnapSize() const { return SnapSize_; }
    void SetSnapSize(std::uint8_t Value) { SnapSize_ = Value; }
    TMouseButtons MouseButtons() const { return MouseButtons_; }
    void SetMouseButtons(TMouseButtons Value) { MouseButtons_ = Value; }

private:
    void MoveBy(int DX, int DY);
    bool OutsideBorder(int X, int Y) const;

    bool dragging_ = false;
    TPoint pickPoint_{0, 0};
    bool AllowVertical_ = true;
    bool AllowHorizontal_ = true;
    std::uint8_t BorderSize_ = 0;
    std::uint8_t SnapSize_ = 1;
    TMouseButtons MouseButtons_{mbLeft};
    std::uint8_t pressedButton_ = mbLeft;
};

// Raises a bitmap control's Opacity while it is hot or focused.
class THighlightDIB : public TDIBFeature {
    TW_CLASS(THighlightDIB, TDIBFeature)

public:
    using TDIBFeature::TDIBFeature;
    bool AcceptsControl(TControl* Control) override;
    std::string GetFeatureName() override { return "Highlight dib"; }
    void HandleMessage(TMessage& Message, bool& Handled) override;

    std::uint8_t HighlightOpacity() const { return HighlightOpacity_; }
    void SetHighlightOpacity(std::uint8_t Value) { HighlightOpacity_ = Value; }

private:
    std::uint8_t savedOpacity_ = 0;
    std::uint8_t HighlightOpacity_ = 255;
    bool raised_ = false;  // savedOpacity_ holds the opacity to go back to
};

// Lets clicks through where a bitmap control paints nothing: the hit test
// answers from a region of the control's look, rebuilt after it changes.
class TShapeableDIB : public TDIBFeature {
    TW_CLASS(TShapeableDIB, TDIBFeature)

public:
    using TDIBFeature::TDIBFeature;
    ~TShapeableDIB() override;
    bool AcceptsControl(TControl* Control) override;
    std::string GetFeatureName() override { return "Shapeable DIB"; }
    void HandleMessage(TMessage& Message, bool& Handled) override;

    // With tmFixed, the colour outside the shape; with tmAuto the colour of
    // the bottom-left pixel is.
    TColor TransparentColor() const { return TransparentColor_; }
    void SetTransparentColor(TColor Value) { TransparentColor_ = Value; }
    TTransparentMode TransparentMode() const { return TransparentMode_; }
    void SetTransparentMode(TTransparentMode Value) { TransparentMode_ = Value; }
    // Above 0 the shape is the pixels whose mask exceeds it, whatever colour.
    std::uint8_t MaskLevel() const { return MaskLevel_; }
    void SetMaskLevel(std::uint8_t Value) { MaskLevel_ = Value; }

private:
    void BuildRegion(TCustomDIBControl* Control);

    HRGN region_ = nullptr;
    TColor TransparentColor_ = 0;
    TTransparentMode TransparentMode_ = tmAuto;
    std::uint8_t MaskLevel_ = 0;
    std::uint32_t regionStamp_ = 1234;  // not the control's stamp, so the first test builds
};

// A control that another control carries along: one item of a control list.
class TControlItem : public TCollectionItem {
    TW_CLASS(TControlItem, TCollectionItem)

public:
    explicit TControlItem(TCollection* Collection);

    // Copies Control from another item; anything else gets the framework's
    // assignment error.
    void Assign(TPersistent* Source) override;
    // The control's Name, or its class name when it has none.
    std::string GetDisplayName() const override;

    TControl* Control() const { return Control_; }
    // Null raises EFeatureError "You cannot set Control to nil"; a control
    // another item of the list already holds raises EFeatureError "Control
    // already exists in list.".
    void SetControl(TControl* Value);

private:
    TControl* Control_ = nullptr;
};

// The controls that move with the control owning the list.
class TControlList : public TOwnedCollection {
    TW_CLASS(TControlList, TOwnedCollection)

public:
    explicit TControlList(TControl* Owner);
    ~TControlList() override;

    TControlItem* Add() { return static_cast<TControlItem*>(TCollection::Add()); }
    TControlItem* Items(int Index) const {
        return static_cast<TControlItem*>(TCollection::Items(Index));
    }
    // The first item holding Control, or null.
    TControlItem* Find(const TControl* Control) const;
};
