#pragma once
// Menus as far as controls use them: a popup menu's items and the short-cut
// test that clicks the item a key combination stands for. Nothing here shows
// a menu.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/Keyboard.h"
#include "framework/Messages.h"
#include "gdi/Gdi.h"
#include "objects/Classes.h"

// A key with its modifiers: the virtual-key code in the low byte, the
// modifiers as the high bits.
using TShortCut = std::uint16_t;
inline constexpr TShortCut scShift = 0x2000;
inline constexpr TShortCut scCtrl = 0x4000;
inline constexpr TShortCut scAlt = 0x8000;
inline constexpr TShortCut scNone = 0;

// The short cut of Key (a VK_ code, 0..255) with the modifiers of Shift;
// scNone for a key outside that range.
TShortCut ShortCut(std::uint16_t Key, TShiftState Shift);
// The short cut of a key message (WM_KEYDOWN, CN_KEYDOWN, ...): its key with
// the modifiers held now (GetKeyState), Alt also from the key data.
TShortCut ShortCutFromMessage(const TMessage& Message);

class TMenu;

// An item, with sub-items of its own. An item belongs to the item it was
// added to; destroying an item destroys its sub-items.
class TMenuItem : public TComponent {
    TW_CLASS(TMenuItem, TComponent)

public:
    explicit TMenuItem(TComponent* Owner);
    ~TMenuItem() override;

    const std::string& Caption() const { return Caption_; }
    void SetCaption(const std::string& Value) { Caption_ = Value; }
    TShortCut ShortCut() const { return ShortCut_; }
    void SetShortCut(TShortCut Value) { ShortCut_ = Value; }
    bool Enabled() const { return Enabled_; }
    void SetEnabled(bool Value) { Enabled_ = Value; }

    int Count() const { return static_cast<int>(items_.size()); }
    TMenuItem* Items(int Index) const;  // EListError when out of range
    TMenuItem* Parent() const { return parent_; }
    // Adds Item at the end (taking it from any item it belonged to).
    void Add(TMenuItem* Item);
    void Remove(TMenuItem* Item);
    // Destroys every sub-item.
    void Clear();
    // The enabled item (here or below, under enabled items only) with this
    // short cut, or null.
    TMenuItem* FindShortCut(TShortCut Key);

    // Fires OnClick when enabled.
    virtual void Click();

    // Stored inside its item, or inside its menu when it is a menu's item.
    bool HasParent() const override { return true; }
    TComponent* GetParentComponent() const override;
    void SetParentComponent(TComponent* Parent) override;
    void GetChildren(const TGetChildProc& Proc, TComponent* Root) override;

    TNotifyEvent OnClick;

private:
    friend class TMenu;

    std::string Caption_;
    TShortCut ShortCut_ = scNone;
    bool Enabled_ = true;
    TMenuItem* parent_ = nullptr;
    TMenu* menu_ = nullptr;  // set on a menu's root item
    std::vector<TMenuItem*> items_;
};

class TMenu : public TComponent {
    TW_CLASS(TMenu, TComponent)

public:
    explicit TMenu(TComponent* Owner);
    ~TMenu() override;

    // The root item; the menu's items are its sub-items.
    TMenuItem* Items() const { return items_.get(); }
    // The window that takes the menu's commands; a menu without one takes
    // no short cuts.
    HWND WindowHandle() const { return WindowHandle_; }
    void SetWindowHandle(HWND Value) { WindowHandle_ = Value; }

    // Clicks the enabled item whose short cut is the key message's (see
    // ShortCutFromMessage) and answers true; false when none has it.
    bool IsShortCut(const TMessage& Message);

    void GetChildren(const TGetChildProc& Proc, TComponent* Root) override;

private:
    std::unique_ptr<TMenuItem> items_;
    HWND WindowHandle_ = nullptr;
};

// A context menu. Every popup menu is served by the one popup list window,
// so each has a window handle from the start.
class TPopupMenu : public TMenu {
    TW_CLASS(TPopupMenu, TMenu)

public:
    explicit TPopupMenu(TComponent* Owner);
};
