#pragma once
// The windowed container of bitmap controls. Every paint is composed on an
// off-screen surface of the container's size (background, border, each
// bitmap control blended on in child order) and only then copied to the
// window, in one transfer of the repainted rectangle. The container also
// keeps the keyboard focus for its windowless controls: an active control,
// a tab list, Tab and Shift+Tab, and key messages passed on.

#include <cstdint>
#include <memory>
#include <vector>

#include "controls/cDIBBorder.h"
#include "controls/cDIBControl.h"
#include "dib/cDIB.h"
#include "dib/cDIBPalette.h"
#include "framework/Controls.h"
#include "framework/ExtCtrls.h"

// (Sender, the composition surface).
using TDIBPaintEvent = TEvent<TObject*, TAbstractSuperDIB*>;

enum TBorderDrawPosition : std::uint8_t { bdOverControls, bdUnderControls };
TW_ENUM(TBorderDrawPosition, "bdOverControls", "bdUnderControls");

class TCustomDIBContainer : public TCustomPanel {
    TW_CLASS(TCustomDIBContainer, TCustomPanel)

public:
    explicit TCustomDIBContainer(TComponent* Owner);
    ~TCustomDIBContainer() override;

    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void Loaded() override;

    // The composition surface, always of the container's size.
    TWinDIB* DIB() const { return dib_.get(); }
    // The area being composed, client coordinates, right and bottom excluded.
    const TRect& UpdateRect() const { return UpdateRect_; }
    // The client area less the border's sides.
    TRect AlignClientRect() const;

    TControl* ActiveControl() const { return ActiveControl_; }
    // The bitmap tab order.
    int TabCount() const { return static_cast<int>(tabList_.size()); }
    TControl* TabControl(int Index) const { return tabList_.at(static_cast<std::size_t>(Index)); }
    int TabIndexOf(const TControl* Control) const;
    // Moves Control to Index in the tab list: past the end appends, a
    // negative index takes it out. TabStop follows whether the list is empty.
    void SetTabPosition(TControl* Control, int Index);

    TDIBBorder* DIBBorder() const { return DIBBorder_; }
    TBorderDrawPosition BorderDrawPosition() const { return BorderDrawPosition_; }
    void SetBorderDrawPosition(TBorderDrawPosition Value);
    TDIBPalette* Palette() const { return palette_; }
    void SetPalette(TDIBPalette* Value);

    TNotifyEvent OnActiveControlChange;
    TDIBPaintEvent BeforePaint;
    TDIBPaintEvent AfterPaint;

    // The operations the container adds, in this order.
    virtual void DoAfterPaint();
    virtual void DoBeforePaint();
    virtual void BuildTabList();
    virtual void SetDIBBorder(TDIBBorder* Border);
    virtual void SetActiveControl(TControl* Control);

protected:
    void Notification(TComponent* Component, TOperation Operation) override;
    void WndProc(TMessage& Message) override;
    void Dispatch(TMessage& Message) override;
    void DoEnter() override;
    void DoExit() override;
    // The background of UpdateRect in the container's Color.
    virtual void PaintBackground();

private:
    friend class TCustomDIBControl;
    void PaintMessage(TMessage& Message);
    void PaintChildren(HDC DC);
    void FrameWindowedChildren(HDC DC);
    void CopyToWindow(HDC DC);
    bool WantsKey(TMessage& Message);
    void ReflectedKeyDown(TMessage& Message);
    void FocusChanged(TWinControl* Focused);
    void EndCaptureTracking();
    void SetCursorMessage(TMessage& Message);
    // The combined order: bitmap controls by tab index, then the windowed
    // children by their tab order.
    int Position(const TControl* Control) const;
    TControl* FirstControl() const;
    TControl* LastControl() const;
    TCustomDIBControl* NextBitmapControl(const TControl* From, bool Forward) const;
    bool SelectNext();
    bool SelectPrior();
    bool ShiftDown() const;

    bool activating_ = false;
    bool expansionDone_ = false;
    TControl* ActiveControl_ = nullptr;
    std::vector<TControl*> tabList_;
    std::unique_ptr<TWinDIB> scratch_;
    std::unique_ptr<TWinDIB> dib_;
    TDIBBorder* DIBBorder_ = nullptr;
    TRect UpdateRect_{0, 0, 0, 0};
    TDIBPalette* palette_ = nullptr;
    TBorderDrawPosition BorderDrawPosition_ = bdOverControls;
};

class TDIBContainer : public TCustomDIBContainer {
    TW_CLASS(TDIBContainer, TCustomDIBContainer)

public:
    explicit TDIBContainer(TComponent* Owner);
};
