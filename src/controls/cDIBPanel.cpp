#include "controls/cDIBPanel.h"

#include <algorithm>
#include <cstdlib>

#include "framework/WinApi.h"
#include "framework/WindowManager.h"

namespace {

RECT ToRECT(const TRect& r) { return {r.Left, r.Top, r.Right, r.Bottom}; }
TRect ToTRect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

bool Intersects(const TRect& a, const TRect& b) {
    return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

TCustomDIBControl* AsBitmapControl(TControl* c) { return dynamic_cast<TCustomDIBControl*>(c); }

}  // namespace

TW_IMPLEMENT_CLASS(TCustomDIBContainer) {
    b.Property("AfterPaint", &TCustomDIBContainer::AfterPaint);
    b.Property("BeforePaint", &TCustomDIBContainer::BeforePaint);
    // No default: always stored.
    b.Property("BorderDrawPosition", &TCustomDIBContainer::BorderDrawPosition,
               &TCustomDIBContainer::SetBorderDrawPosition);
    b.Property("DIBBorder", &TCustomDIBContainer::DIBBorder, &TCustomDIBContainer::SetDIBBorder);
    b.Property("OnActiveControlChange", &TCustomDIBContainer::OnActiveControlChange);
}

TCustomDIBContainer::TCustomDIBContainer(TComponent* Owner)
    : TCustomPanel(Owner),
      scratch_(std::make_unique<TWinDIB>()),
      dib_(std::make_unique<TWinDIB>()) {
    TControlStyle style = ControlStyle();
    style.Include(TControlStyleFlag::csAcceptsControls);
    SetControlStyle(style);
    SetDoubleBuffered(true);
    SetTabStop(false);
    SetBorderWidth(0);
    SetBorderStyle(bsNone);
    SetBevelOuter(bvNone);
}

TCustomDIBContainer::~TCustomDIBContainer() {
    Destroying();
    // The children let go of the container while it is still whole.
    while (ControlCount() > 0) Controls(ControlCount() - 1)->SetParent(nullptr);
    if (DIBBorder_) DIBBorder_->RemoveFreeNotification(this);
    if (palette_) palette_->RemoveFreeNotification(this);
    tabList_.clear();
}

void TCustomDIBContainer::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TCustomPanel::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (!IsLoading()) dib_->SetSize(Width(), Height());
}

void TCustomDIBContainer::Loaded() {
    TCustomPanel::Loaded();
    dib_->SetSize(Width(), Height());
    BuildTabList();
}

TRect TCustomDIBContainer::AlignClientRect() const {
    TRect r = ClientRect();
    if (DIBBorder_) {
        r.Top += DIBBorder_->BorderTop()->Size();
        r.Bottom -= DIBBorder_->BorderBottom()->Size();
        r.Left += DIBBorder_->BorderLeft()->Size();
        r.Right -= DIBBorder_->BorderRight()->Size();
    }
    return r;
}

void TCustomDIBContainer::SetDIBBorder(TDIBBorder* Border) {
    if (DIBBorder_) DIBBorder_->RemoveFreeNotification(this);
    DIBBorder_ = Border;
    if (DIBBorder_) DIBBorder_->FreeNotification(this);
    Invalidate();
}

void TCustomDIBContainer::SetBorderDrawPosition(TBorderDrawPosition Value) {
    BorderDrawPosition_ = Value;
    Invalidate();
}

void TCustomDIBContainer::SetPalette(TDIBPalette* Value) {
    if (palette_) palette_->RemoveFreeNotification(this);
    palette_ = Value;
    if (palette_) palette_->FreeNotification(this);
}

void TCustomDIBContainer::DoBeforePaint() { BeforePaint(this, dib_.get()); }

void TCustomDIBContainer::DoAfterPaint() {
    if (BorderDrawPosition_ == bdOverControls && DIBBorder_)
        DIBBorder_->DrawBorder(dib_.get(), ClientRect());
    AfterPaint(this, dib_.get());
}

void TCustomDIBContainer::PaintBackground() {
    const TRect& r = UpdateRect_;
    const TColor colour = static_cast<TColor>(ColorToRGB(Color()));
    if (r == ClientRect())
        dib_->Fill(colour);
    else
        dib_->FillRect(colour, r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
}

void TCustomDIBContainer::Notification(TComponent* Component, TOperation Operation) {
    TCustomPanel::Notification(Component, Operation);
    // A border or palette that goes while the container is being destroyed
    // (one its owner made later) must not be reached by the destructor.
    if (Operation == TOperation::opRemove && IsDestroying()) {
        if (Component == DIBBorder_) DIBBorder_ = nullptr;
        if (Component == palette_) palette_ = nullptr;
    }
    if (Component == this || IsDestroying()) return;
    if (auto* p = dynamic_cast<TDIBPalette*>(Component); p && Operation == TOperation::opInsert)
        SetPalette(p);
    if (Operation != TOperation::opRemove) return;
    if (Component == palette_) palette_ = nullptr;
    // Compared by address: a control being destroyed is no longer a TControl.
    for (std::size_t i = tabList_.size(); i-- > 0;)
        if (static_cast<TComponent*>(tabList_[i]) == Component) SetTabPosition(tabList_[i], -1);
    if (ActiveControl_ && static_cast<TComponent*>(ActiveControl_) == Component)
        ActiveControl_ = nullptr;
    if (Component == DIBBorder_) SetDIBBorder(nullptr);
}

// ---- tab list and active control ----------------------------------------------------

int TCustomDIBContainer::TabIndexOf(const TControl* Control) const {
    const auto it = std::find(tabList_.begin(), tabList_.end(), Control);
    return it == tabList_.end() ? -1 : static_cast<int>(it - tabList_.begin());
}

void TCustomDIBContainer::SetTabPosition(TControl* Control, int Index) {
    if (!Control || TabIndexOf(Control) == Index) return;
    std::erase(tabList_, Control);
    if (Index >= TabCount())
        tabList_.push_back(Control);
    else if (Index >= 0)
        tabList_.insert(tabList_.begin() + Index, Control);
    SetTabStop(!tabList_.empty());
}

void TCustomDIBContainer::BuildTabList() {
    std::vector<TCustomDIBControl*> slots(static_cast<std::size_t>(ControlCount()), nullptr);
    for (int i = 0; i < ControlCount(); ++i) {
        TCustomDIBControl* c = AsBitmapControl(Controls(i));
        // Any negative order means "not in the tab order".
        if (!c || c->storedTabOrder_ < 0) continue;
        const auto order = static_cast<std::size_t>(c->storedTabOrder_);
        if (order >= slots.size()) slots.resize(order + 1, nullptr);
        slots[order] = c;
    }
    int j = 0;
    for (TCustomDIBControl* c : slots) {
        if (c) SetTabPosition(c, j);
        ++j;
    }
}

void TCustomDIBContainer::SetActiveControl(TControl* Control) {
    if (activating_) return;
    activating_ = true;
    try {
        if (ActiveControl_ && ActiveControl_ != Control)
            ActiveControl_->Perform(WM_KILLFOCUS, 0, 0);
        ActiveControl_ = Control;
        if (auto* w = dynamic_cast<TWinControl*>(Control))
            w->SetFocus();
        else if (Control)
            Control->Perform(WM_SETFOCUS, 0, 0);
        OnActiveControlChange(this);
    } catch (...) {
        activating_ = false;
        throw;
    }
    activating_ = false;
}

bool TCustomDIBContainer::ShiftDown() const { return (GetKeyState(VK_SHIFT) & 0x8000) != 0; }

int TCustomDIBContainer::Position(const TControl* Control) const {
    if (!Control) return -1;
    if (dynamic_cast<const TCustomDIBControl*>(Control)) return TabIndexOf(Control);
    if (auto* w = dynamic_cast<const TWinControl*>(Control); w && w->Parent() == this)
        return w->TabOrder() + ControlCount();
    return -1;
}

TControl* TCustomDIBContainer::FirstControl() const {
    if (!tabList_.empty()) return tabList_.front();
    TWinControl* w = FindNextControl(nullptr, true, true);
    return w && w->Parent() == this ? w : nullptr;
}

TControl* TCustomDIBContainer::LastControl() const {
    std::vector<TWinControl*> list;
    GetTabOrderList(list);
    if (!list.empty()) return list.back();
    return tabList_.empty() ? nullptr : tabList_.back();
}

TCustomDIBControl* TCustomDIBContainer::NextBitmapControl(const TControl* From,
                                                          bool Forward) const {
    const int n = TabCount();
    if (n == 0) return nullptr;
    const int at = TabIndexOf(From);
    const int base = at >= 0 ? at : (Forward ? -1 : n);
    for (int k = 1; k <= n; ++k) {
        const int i = ((base + (Forward ? k : -k)) % n + n) % n;
        auto* c = AsBitmapControl(tabList_[static_cast<std::size_t>(i)]);
        if (c && c->Enabled()) return c;
    }
    return nullptr;
}

bool TCustomDIBContainer::SelectNext() {
    TControl* active = ActiveControl_;
    const int pa = Position(active);
    const bool windowed = dynamic_cast<TWinControl*>(active) != nullptr;
    TControl* next = nullptr;
    if (!windowed) {
        next = NextBitmapControl(active, true);
        if (next && Position(next) < pa) next = nullptr;
    }
    if (windowed || !next) {
        TWinControl* w = FindNextControl(nullptr, true, true);
        next = w && w->Parent() == this && Position(w) >= pa ? w : nullptr;
    }
    if (next && Position(next) < pa) next = nullptr;
    SetActiveControl(next);
    return next && Position(next) > pa;
}

bool TCustomDIBContainer::SelectPrior() {
    TControl* active = ActiveControl_;
    const int pa = Position(active);
    const auto usable = [&](TControl* c) {
        const int p = Position(c);
        return c && p <= pa && p != -1 && (c->Parent() == this);
    };
    TControl* prior = nullptr;
    auto* windowed = dynamic_cast<TWinControl*>(active);
    if (windowed) {
        prior = FindNextControl(windowed, false, true);
        if (!usable(prior)) prior = nullptr;
    }
    if (!windowed || !prior) {
        prior = NextBitmapControl(active, false);
        if (!usable(prior)) prior = nullptr;
    }
    SetActiveControl(prior);
    return prior && Position(prior) < pa;
}

void TCustomDIBContainer::DoEnter() {
    if (ActiveControl_) return;
    if (tabList_.empty()) {
        TCustomPanel::DoEnter();
        return;
    }
    SetActiveControl(ShiftDown() ? LastControl() : FirstControl());
    OnEnter(this);
}

void TCustomDIBContainer::DoExit() {
    SetActiveControl(nullptr);
    TCustomPanel::DoExit();
}

void TCustomDIBContainer::FocusChanged(TWinControl* Focused) {
    if (Focused && Focused->Parent() == this) {
        SetActiveControl(Focused);
    } else if (Focused == this) {
        if (dynamic_cast<TWinControl*>(LastControl()) && ShiftDown()) SelectPrior();
    } else {
        SetActiveControl(nullptr);
    }
}

// ---- keys -----------------------------------------------------------------------------

bool TCustomDIBContainer::WantsKey(TMessage& Message) {
    auto* active = AsBitmapControl(ActiveControl_);
    if (!ActiveControl_) return false;
    Message.Result = 1;
    if (active && active->IsShortcutKey(Message)) return false;
    if (ActiveControl_->IsDesigning()) return true;
    if (ActiveControl_->Perform(
            CM_CHILDKEY, Message.WParam,
            static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(Handle()))) != 0)
        return false;
    std::int32_t mask = 0;
    switch (Message.WParam) {
        case VK_CANCEL:
        case VK_RETURN:
        case VK_ESCAPE:
        case VK_EXECUTE: mask = DLGC_WANTALLKEYS; break;
        case VK_TAB: mask = DLGC_WANTTAB; break;
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN: mask = DLGC_WANTARROWS; break;
    }
    if (mask != 0) {
        const std::int32_t code = ActiveControl_->Perform(WM_GETDLGCODE, 0, 0);
        if (code != DLGC_WANTALLKEYS && (code & mask) == 0) return false;
    }
    return true;
}

void TCustomDIBContainer::ReflectedKeyDown(TMessage& Message) {
    if (WantsKey(Message)) {
        Message.Result = ActiveControl_->Perform(WM_KEYDOWN, Message.WParam, Message.LParam);
        return;
    }
    if (auto* last = dynamic_cast<TWinControl*>(LastControl()); last && last->Focused()) {
        TCustomPanel::Dispatch(Message);
        return;
    }
    if (Message.WParam == VK_TAB && (ShiftDown() ? SelectPrior() : SelectNext())) {
        Message.Result = 1;
        return;
    }
    TCustomPanel::Dispatch(Message);
    // Nothing else took the focus: Tab wraps around to the first (or last).
    if (Focused()) DoEnter();
}

// ---- mouse and cursor ------------------------------------------------------------------

void TCustomDIBContainer::EndCaptureTracking() {
    TControl* holder = nullptr;
    for (int i = 0; i < ControlCount() && !holder; ++i)
        if (Controls(i)->MouseCapture()) holder = Controls(i);
    if (!holder) return;
    POINT p{0, 0};
    GetCursorPos(&p);
    POINT corner{holder->Left(), holder->Top()};
    ClientToScreen(Handle(), &corner);
    const bool inside = p.x >= corner.x && p.x < corner.x + holder->Width() && p.y >= corner.y &&
                        p.y < corner.y + holder->Height();
    if (inside) return;
    holder->Perform(CM_MOUSELEAVE, 0, 0);
    POINT client = p;
    ScreenToClient(Handle(), &client);
    if (TControl* under = ControlAtPos({client.x, client.y}, false); under && under != holder) {
        // One the window manager already told of the pointer need not hear it again.
        auto* c = AsBitmapControl(under);
        if (!c || !c->Hot()) under->Perform(CM_MOUSEENTER, 0, 0);
    }
}

void TCustomDIBContainer::SetCursorMessage(TMessage& Message) {
    POINT p{0, 0};
    GetCursorPos(&p);
    ScreenToClient(Handle(), &p);
    if (TControl* c = ControlAtPos({p.x, p.y}, false);
        c && c->Perform(WM_SETCURSOR, Message.WParam, Message.LParam) == 1) {
        Message.Result = 1;
        return;
    }
    TCustomPanel::Dispatch(Message);
}

void TCustomDIBContainer::WndProc(TMessage& Message) {
    if (Message.Msg == WM_LBUTTONUP && !IsDesigning()) EndCaptureTracking();
    TCustomPanel::WndProc(Message);
}

void TCustomDIBContainer::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case WM_PAINT: PaintMessage(Message); return;
        case WM_ERASEBKGND: Message.Result = 1; return;  // the paint covers everything
        case WM_GETDLGCODE: Message.Result = DLGC_WANTALLKEYS; return;
        case WM_SETCURSOR:
            if (IsDesigning())
                TCustomPanel::Dispatch(Message);
            else
                SetCursorMessage(Message);
            return;
        case CM_FOCUSCHANGED:
            FocusChanged(FindControl(reinterpret_cast<HWND>(
                static_cast<std::uintptr_t>(static_cast<std::uint32_t>(Message.LParam)))));
            TCustomPanel::Dispatch(Message);
            return;
        case CN_KEYDOWN: ReflectedKeyDown(Message); return;
        case CN_KEYUP:
        case CN_CHAR:
            if (WantsKey(Message)) {
                Message.Result = ActiveControl_->Perform(
                    Message.Msg == CN_KEYUP ? WM_KEYUP : WM_CHAR, Message.WParam, Message.LParam);
                return;
            }
            Message.Result = 0;
            TCustomPanel::Dispatch(Message);
            return;
        default: TCustomPanel::Dispatch(Message);
    }
}

// ---- the paint cycle ---------------------------------------------------------------------

void TCustomDIBContainer::PaintMessage(TMessage&) {
    HWND window = Handle();
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (!dc) return;
    try {
        const TRect painted = ToTRect(ps.rcPaint);
        UpdateRect_ = painted;
        if (!expansionDone_) {
            for (int i = 0; i < ControlCount(); ++i)
                if (auto* c = AsBitmapControl(Controls(i))) c->AdjustUpdateRect(UpdateRect_);
            // A control asked for more than this paint covers: draw it all
            // next time rather than half now (a bottom edge up to 2 pixels
            // lower is drawn as it is).
            if (UpdateRect_.Left != painted.Left || UpdateRect_.Top != painted.Top ||
                UpdateRect_.Right != painted.Right ||
                std::abs(UpdateRect_.Bottom - painted.Bottom) > 2) {
                expansionDone_ = true;
                EndPaint(window, &ps);
                const RECT p = ToRECT(painted), u = ToRECT(UpdateRect_);
                ::ValidateRect(window, &p);
                ::InvalidateRect(window, &u, FALSE);
                return;
            }
        }
        expansionDone_ = false;
        // Inclusive: drawing may reach one column and one row past what is
        // copied below.
        dib_->SetClipRect(UpdateRect_);
        DoBeforePaint();
        HDC surface = dib_->Handle();
        if (ControlCount() > 0) {
            const int saved = SaveDC(surface);
            IntersectClipRect(surface, UpdateRect_.Left, UpdateRect_.Top, UpdateRect_.Right,
                              UpdateRect_.Bottom);
            RECT box;
            bool covered = GetClipBox(surface, &box) == NULLREGION;
            for (int i = 0; i < ControlCount() && !covered; ++i) {
                TControl* c = Controls(i);
                if (!c->Visible() || !c->ControlStyle().Contains(TControlStyleFlag::csOpaque))
                    continue;
                const TRect r = c->BoundsRect();
                covered = ExcludeClipRect(surface, r.Left, r.Top, r.Right, r.Bottom) == NULLREGION;
            }
            if (!covered) PaintBackground();
            RestoreDC(surface, saved);
        } else {
            PaintBackground();
        }
        PaintChildren(surface);
        DoAfterPaint();
        CopyToWindow(dc);
    } catch (...) {
        EndPaint(window, &ps);
        throw;
    }
    EndPaint(window, &ps);
}

void TCustomDIBContainer::PaintChildren(HDC DC) {
    if (BorderDrawPosition_ == bdUnderControls && DIBBorder_)
        DIBBorder_->DrawBorder(dib_.get(), ClientRect());
    for (int i = 0; i < ControlCount(); ++i) {
        TControl* c = Controls(i);
        if (dynamic_cast<TWinControl*>(c) || !c->Visible()) continue;
        const TRect r = c->BoundsRect();
        const RECT rr = ToRECT(r);
        if (!Intersects(r, UpdateRect_) || !RectVisible(DC, &rr)) continue;
        const int saved = SaveDC(DC);
        OffsetViewportOrgEx(DC, r.Left, r.Top, nullptr);
        IntersectClipRect(DC, 0, 0, c->Width(), c->Height());
        if (auto* b = AsBitmapControl(c)) {
            scratch_->SetSize(c->Width(), c->Height());
            // InitDefaults leaves the row routine of the last control's
            // Opacity in place: choose it again for the defaults.
            scratch_->InitDefaults();
            scratch_->SelectDrawProc();
            b->SetSurface(scratch_.get());
        }
        try {
            // GDI handles are small numbers: the context fits the 32-bit WParam.
            c->Perform(WM_PAINT, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(DC)),
                       0);
        } catch (...) {
            RestoreDC(DC, saved);
            throw;
        }
        RestoreDC(DC, saved);
    }
    // There is never a dock manager to paint a dock site.
    FrameWindowedChildren(DC);
}

// A framed windowed child with the 3-D look sits in a sunken frame: shadow
// above and left, highlight below and right, one pixel outside it.
void TCustomDIBContainer::FrameWindowedChildren(HDC DC) {
    for (int i = 0; i < ControlCount(); ++i) {
        auto* w = dynamic_cast<TWinControl*>(Controls(i));
        if (!w || !w->Visible() || !w->Ctl3D() ||
            !w->ControlStyle().Contains(TControlStyleFlag::csFramed))
            continue;
        const TRect r = w->BoundsRect();
        if (!Intersects(r, UpdateRect_)) continue;
        const RECT shadow{r.Left - 1, r.Top - 1, r.Right, r.Bottom};
        const RECT light{r.Left, r.Top, r.Right + 1, r.Bottom + 1};
        HBRUSH brush = CreateSolidBrush(GetSysColor(COLOR_BTNSHADOW));
        FrameRect(DC, &shadow, brush);
        DeleteObject(brush);
        brush = CreateSolidBrush(GetSysColor(COLOR_BTNHIGHLIGHT));
        FrameRect(DC, &light, brush);
        DeleteObject(brush);
    }
}

void TCustomDIBContainer::CopyToWindow(HDC DC) {
    const TRect& r = UpdateRect_;
    HPALETTE old = nullptr;
    if (!IsDesigning() && palette_ && GetDeviceCaps(DC, BITSPIXEL) == 8)
        old = SelectPalette(DC, palette_->PaletteHandle(), FALSE);
    BitBlt(DC, r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top, dib_->Handle(), r.Left, r.Top,
           SRCCOPY);
    if (old) SelectPalette(DC, old, FALSE);
}

// ---- the published container ---------------------------------------------------------------

// The container's own five are published by TCustomDIBContainer; the rest
// are the panel's, some of them stored and nothing more.
TW_IMPLEMENT_CLASS(TDIBContainer) {
    using C = TDIBContainer;
    b.Property("Align", &C::Align, &C::SetAlign).Default(alNone);
    b.Property("Anchors", &C::Anchors, &C::SetAnchors)
        .Default(TAnchors{TAnchorKind::akLeft, TAnchorKind::akTop});
    b.Property("AutoSize", &C::AutoSize_).Default(false);
    b.Property("BiDiMode", &C::BiDiMode_).Default(bdLeftToRight);
    b.Property("Constraints", &C::Constraints);
    b.Property("Cursor", &C::Cursor_).Type(CursorTypeInfo()).Default(crDefault);
    b.Property("DockSite", &C::DockSite_).Default(false);
    b.Property("HelpContext", &C::HelpContext_).Default(0);
    b.Property("ParentBiDiMode", &C::ParentBiDiMode_).Default(true);
    b.Property("UseDockManager", &C::UseDockManager_).Default(true);
    b.Property("OnCanResize", &C::OnCanResize);
    b.Property("OnConstrainedResize", &C::OnConstrainedResize);
    b.Property("OnDblClick", &C::OnDblClick);
    b.Property("OnDockDrop", &C::OnDockDrop);
    b.Property("OnDockOver", &C::OnDockOver);
    b.Property("OnGetSiteInfo", &C::OnGetSiteInfo);
    b.Property("OnResize", &C::OnResize);
    b.Property("OnUnDock", &C::OnUnDock);
    PublishHintsAndDragging(b);
}

static const bool kRegistered = (RegisterClasses({TDIBContainer::StaticClass()}), true);

TDIBContainer::TDIBContainer(TComponent* Owner) : TCustomDIBContainer(Owner) {}
