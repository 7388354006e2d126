#pragma once
// Small component classes that exercise every property kind of the
// reflection layer and the stream reader and writer.

#include "objects/Streaming.h"

#include <string>
#include <vector>

enum class TTestMode : uint8_t { tmOff, tmSlow, tmFast };
TW_ENUM(TTestMode, "tmOff", "tmSlow", "tmFast");
enum class TTestStyle : uint8_t { tsBold, tsItalic, tsUnderline };
TW_ENUM(TTestStyle, "tsBold", "tsItalic", "tsUnderline");
using TTestStyles = TSet<TTestStyle>;

// Everything the tests want to watch: live instances and Loaded calls.
struct TestLog {
    static int& Live() {
        static int n = 0;
        return n;
    }
    static std::vector<std::string>& Loaded() {
        static std::vector<std::string> v;
        return v;
    }
};

class TTestComponent;

// A sub-object with a binary property, streamed as "Sub.X", "Sub.Data".
class TTestSub : public TPersistent {
    TW_CLASS(TTestSub, TPersistent)
public:
    int16_t X() const { return x_; }
    void SetX(int16_t v) { x_ = v; }
    std::vector<uint8_t> data_;
    TTestMode mode_ = TTestMode::tmOff;
    double ratio_ = 0.5;

    void Assign(TPersistent* source) override {
        if (auto* s = dynamic_cast<TTestSub*>(source)) {
            x_ = s->x_;
            data_ = s->data_;
            mode_ = s->mode_;
            ratio_ = s->ratio_;
        } else {
            TPersistent::Assign(source);
        }
    }
    void DefineProperties(TFiler* filer) override {
        filer->DefineBinaryProperty(
            "Data",
            [this](TStream& s) {
                data_.resize(static_cast<size_t>(s.Size()));
                s.ReadBuffer(data_.data(), s.Size());
            },
            [this](TStream& s) { s.WriteBuffer(data_.data(), static_cast<int64_t>(data_.size())); },
            !data_.empty());
    }

private:
    int16_t x_ = 0;
};

class TTestItem : public TCollectionItem {
    TW_CLASS(TTestItem, TCollectionItem)
public:
    explicit TTestItem(TCollection* c) : TCollectionItem(c) {}
    int32_t width_ = 0;
    std::string label_;
    TTestComponent* ref_ = nullptr;
    std::string note_;  // written through DefineProperty, only when set
    std::string GetDisplayName() const override {
        return label_.empty() ? TCollectionItem::GetDisplayName() : label_;
    }
    void DefineProperties(TFiler* filer) override {
        filer->DefineProperty(
            "Note", [this](TReader& r) { note_ = r.ReadString(); },
            [this](TWriter& w) { w.WriteString(note_); }, !note_.empty());
    }
};

class TTestComponent : public TComponent {
    TW_CLASS(TTestComponent, TComponent)
public:
    explicit TTestComponent(TComponent* owner)
        : TComponent(owner),
          sub_(std::make_unique<TTestSub>()),
          items_(std::make_unique<TOwnedCollection>(this, TTestItem::StaticClass())) {
        items_->SetPropName("Items");
        ++TestLog::Live();
    }
    ~TTestComponent() override {
        Destroying();
        --TestLog::Live();
        sawDestroying_ = IsDestroying();
    }
    void Loaded() override {
        TComponent::Loaded();
        TestLog::Loaded().push_back(Name());
        loadedCalls_++;
    }
    void Notification(TComponent* c, TOperation op) override {
        TComponent::Notification(c, op);
        if (op == TOperation::opRemove && c == buddy_) buddy_ = nullptr;
    }
    int32_t Width() const { return width_; }
    void SetWidth(int32_t v) { width_ = v; }
    TTestComponent* Buddy() const { return buddy_; }
    void SetBuddy(TTestComponent* b) {
        buddy_ = b;
        if (b) b->FreeNotification(this);
    }
    TTestSub* Sub() const { return sub_.get(); }
    TOwnedCollection* Items() const { return items_.get(); }
    TTestItem* Item(int i) const { return static_cast<TTestItem*>(items_->Items(i)); }

    int32_t width_ = 0;
    uint16_t height_ = 0;
    bool enabled_ = true;
    char letter_ = 'a';
    TTestMode mode_ = TTestMode::tmSlow;
    TTestStyles styles_;
    long double scale_ = 100.0L;
    std::string caption_;
    int64_t big_ = 0;
    TTestComponent* buddy_ = nullptr;
    TNotifyEvent onChange_;
    int loadedCalls_ = 0;
    static inline bool sawDestroying_ = false;

private:
    std::unique_ptr<TTestSub> sub_;
    std::unique_ptr<TOwnedCollection> items_;
};

// A container whose children are streamed inside it (like a panel's controls).
class TTestPanel : public TTestComponent {
    TW_CLASS(TTestPanel, TTestComponent)
public:
    using TTestComponent::TTestComponent;
    ~TTestPanel() override { Destroying(); }
    TComponent* parent_ = nullptr;
    std::vector<TComponent*> kids_;
    bool HasParent() const override { return parent_ != nullptr; }
    TComponent* GetParentComponent() const override { return parent_; }
    void SetParentComponent(TComponent* p) override {
        auto* panel = dynamic_cast<TTestPanel*>(p);
        if (auto* old = dynamic_cast<TTestPanel*>(parent_)) std::erase(old->kids_, this);
        parent_ = panel;
        if (panel) panel->kids_.push_back(this);
    }
    void Notification(TComponent* c, TOperation op) override {
        TTestComponent::Notification(c, op);
        if (op == TOperation::opRemove) {
            std::erase(kids_, c);
            if (c == parent_) parent_ = nullptr;
        }
    }
    void GetChildren(const TGetChildProc& proc, TComponent* root) override {
        TTestComponent::GetChildren(proc, root);
        for (TComponent* k : kids_) proc(k);
    }
};

// A root with published methods that events name.
class TTestForm : public TTestPanel {
    TW_CLASS(TTestForm, TTestPanel)
public:
    using TTestPanel::TTestPanel;
    void ButtonClick(TObject* sender) { clicks_.push_back(sender); }
    void OtherClick(TObject*) { others_++; }
    void WrongShape(int) {}
    std::vector<TObject*> clicks_;
    int others_ = 0;
};

// Conversions between the binary and the text form, byte vector to byte vector.
std::vector<uint8_t> BinaryToTextBytes(const std::vector<uint8_t>& bin);
std::vector<uint8_t> TextToBinaryBytes(const std::vector<uint8_t>& text);

// Registers the test classes, so that streams can name them.
void RegisterTestClasses();
