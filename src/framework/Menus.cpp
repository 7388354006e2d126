#include "framework/Menus.h"

#include <algorithm>

#include "framework/WinApi.h"

TShortCut ShortCut(std::uint16_t Key, TShiftState Shift) {
    if (Key > 0xFF) return scNone;
    TShortCut s = Key;
    if (Shift.Contains(TShiftStateFlag::ssShift)) s |= scShift;
    if (Shift.Contains(TShiftStateFlag::ssCtrl)) s |= scCtrl;
    if (Shift.Contains(TShiftStateFlag::ssAlt)) s |= scAlt;
    return s;
}

TShortCut ShortCutFromMessage(const TMessage& Message) {
    TShiftState shift = KeyDataToShiftState(Message.LParam);
    return ShortCut(static_cast<std::uint16_t>(Message.WParam & 0xFF), shift);
}

// ---- TMenuItem ---------------------------------------------------------------------

TW_IMPLEMENT_CLASS(TMenuItem) {
    b.Property("Caption", &TMenuItem::Caption, &TMenuItem::SetCaption);
    b.Property("Enabled", &TMenuItem::Enabled, &TMenuItem::SetEnabled).Default(true);
    b.Property("ShortCut", &TMenuItem::ShortCut, &TMenuItem::SetShortCut).Default(0);
    b.Property("OnClick", &TMenuItem::OnClick);
}

TMenuItem::TMenuItem(TComponent* Owner) : TComponent(Owner) {}

TMenuItem::~TMenuItem() {
    Destroying();
    Clear();
    if (parent_) parent_->Remove(this);
}

TMenuItem* TMenuItem::Items(int Index) const {
    if (Index < 0 || Index >= Count())
        throw EListError("List index out of bounds (" + IntToStr(Index) + ")");
    return items_[static_cast<std::size_t>(Index)];
}

void TMenuItem::Add(TMenuItem* Item) {
    if (!Item || Item->parent_ == this) return;
    for (TMenuItem* p = this; p; p = p->parent_)
        if (p == Item) throw EInvalidOperation("Menu item cannot contain itself");
    if (Item->parent_) Item->parent_->Remove(Item);
    items_.push_back(Item);
    Item->parent_ = this;
}

void TMenuItem::Remove(TMenuItem* Item) {
    if (!Item || Item->parent_ != this) return;
    std::erase(items_, Item);
    Item->parent_ = nullptr;
}

void TMenuItem::Clear() {
    // From the end; each item takes itself out as it goes.
    while (!items_.empty()) delete items_.back();
}

TMenuItem* TMenuItem::FindShortCut(TShortCut Key) {
    if (!Enabled_ || Key == scNone) return nullptr;
    for (TMenuItem* item : items_) {
        if (item->Enabled_ && item->ShortCut_ == Key) return item;
        if (TMenuItem* found = item->FindShortCut(Key)) return found;
    }
    return nullptr;
}

void TMenuItem::Click() {
    if (Enabled_) OnClick(this);
}

TComponent* TMenuItem::GetParentComponent() const {
    if (parent_ && parent_->menu_) return parent_->menu_;
    return parent_;
}

void TMenuItem::SetParentComponent(TComponent* Parent) {
    if (auto* menu = dynamic_cast<TMenu*>(Parent))
        menu->Items()->Add(this);
    else if (auto* item = dynamic_cast<TMenuItem*>(Parent))
        item->Add(this);
}

void TMenuItem::GetChildren(const TGetChildProc& Proc, TComponent* Root) {
    for (TMenuItem* item : items_)
        if (item->Owner() == Root) Proc(item);
}

// ---- TMenu ---------------------------------------------------------------------------

TW_IMPLEMENT_CLASS(TMenu) {}

TMenu::TMenu(TComponent* Owner) : TComponent(Owner), items_(std::make_unique<TMenuItem>(nullptr)) {
    items_->menu_ = this;
}

TMenu::~TMenu() { Destroying(); }

void TMenu::GetChildren(const TGetChildProc& Proc, TComponent* Root) {
    items_->GetChildren(Proc, Root);
}

bool TMenu::IsShortCut(const TMessage& Message) {
    TMenuItem* item = items_->FindShortCut(ShortCutFromMessage(Message));
    if (!item) return false;
    item->Click();
    return true;
}

// ---- TPopupMenu ----------------------------------------------------------------------

TW_IMPLEMENT_CLASS(TPopupMenu) {}

namespace {

// The popup list window: no menu is ever shown, so it is a handle only,
// distinct from every window's.
HWND PopupListWindow() {
    static char window;
    return reinterpret_cast<HWND>(&window);
}

const bool kRegistered =
    (RegisterClasses({TMenuItem::StaticClass(), TPopupMenu::StaticClass()}), true);

}  // namespace

TPopupMenu::TPopupMenu(TComponent* Owner) : TMenu(Owner) { SetWindowHandle(PopupListWindow()); }
