#pragma once
// The panel: a windowed container that fills its background with its colour.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "framework/Controls.h"

namespace tarnwick::platform {
class Window;
}

enum TBevelCut : uint8_t { bvNone, bvLowered, bvRaised, bvSpace };
TW_ENUM(TBevelCut, "bvNone", "bvLowered", "bvRaised", "bvSpace");
enum TBorderStyle : uint8_t { bsNone, bsSingle };
TW_ENUM(TBorderStyle, "bsNone", "bsSingle");
enum TAlignment : uint8_t { taLeftJustify, taRightJustify, taCenter };
TW_ENUM(TAlignment, "taLeftJustify", "taRightJustify", "taCenter");
// (Sender, NewWidth, NewHeight, Resize).
using TCanResizeEvent = TEvent<TObject*, int&, int&, bool&>;
// (Sender, MinWidth, MinHeight, MaxWidth, MaxHeight).
using TConstrainedResizeEvent = TEvent<TObject*, int&, int&, int&, int&>;
// (Sender, DockClient, InfluenceRect, MousePos, CanDock).
using TGetSiteInfoEvent = TEvent<TObject*, TControl*, TRect&, TPoint, bool&>;
// (Sender, Client, NewTarget, Allow).
using TUnDockEvent = TEvent<TObject*, TControl*, TWinControl*, bool&>;

class TDockManager;

// The bevels and the border width narrow the area the aligned children
// share; the bevels, BorderStyle and Alignment are not drawn (whoever
// derives from the panel paints it). It publishes nothing itself: TPanel
// publishes the panel, and whoever derives chooses what to offer.
class TCustomPanel : public TWinControl {
    TW_CLASS(TCustomPanel, TWinControl)

public:
    explicit TCustomPanel(TComponent* Owner);

    TBevelCut BevelInner() const { return BevelInner_; }
    void SetBevelInner(TBevelCut Value) { SetFrame(BevelInner_, Value); }
    TBevelCut BevelOuter() const { return BevelOuter_; }
    void SetBevelOuter(TBevelCut Value) { SetFrame(BevelOuter_, Value); }
    int BevelWidth() const { return BevelWidth_; }
    // At least 1.
    void SetBevelWidth(int Value);
    int BorderWidth() const { return BorderWidth_; }
    // At least 0.
    void SetBorderWidth(int Value);
    TBorderStyle BorderStyle() const { return BorderStyle_; }
    void SetBorderStyle(TBorderStyle Value) { BorderStyle_ = Value; }
    TAlignment Alignment() const { return Alignment_; }
    void SetAlignment(TAlignment Value) { Alignment_ = Value; }
    // Painting through an off-screen buffer: on by default for whoever
    // composes off screen anyway; the flag itself changes nothing here.
    bool DoubleBuffered() const { return DoubleBuffered_; }
    void SetDoubleBuffered(bool Value) { DoubleBuffered_ = Value; }
    // Docking is not offered: there is never a dock manager.
    TDockManager* DockManager() const { return nullptr; }

    // Stored with a form and nothing more: docking, help, sizing and their
    // events have no behaviour here. Descendants publish those they offer.
    bool AutoSize_ = false;
    bool DockSite_ = false;
    std::int32_t HelpContext_ = 0;
    bool UseDockManager_ = true;
    TCanResizeEvent OnCanResize;
    TConstrainedResizeEvent OnConstrainedResize;
    TDragDropEvent OnDockDrop;
    TDragOverEvent OnDockOver;
    TGetSiteInfoEvent OnGetSiteInfo;
    TNotifyEvent OnResize;
    TUnDockEvent OnUnDock;

protected:
    void Dispatch(TMessage& Message) override;
    void AdjustClientRect(TRect& Rect) override;

private:
    template <class T>
    void SetFrame(T& Field, T Value);

    TBevelCut BevelInner_ = bvNone;
    TBevelCut BevelOuter_ = bvRaised;
    int BevelWidth_ = 1;
    int BorderWidth_ = 0;
    TBorderStyle BorderStyle_ = bsNone;
    TAlignment Alignment_ = taCenter;
    bool DoubleBuffered_ = false;
};

// The published panel.
class TPanel : public TCustomPanel {
    TW_CLASS(TPanel, TCustomPanel)

public:
    using TCustomPanel::TCustomPanel;
};

// A periodic timer: OnTimer every Interval milliseconds on the window
// thread. It holds a system timer (and the hidden window its ticks arrive
// at) only while it runs: Enabled, a nonzero Interval and an OnTimer
// handler. Changing any of the three starts a fresh period; a timer the
// system refuses turns Enabled off. What a handler raises goes to the
// application's exception handling.
namespace tarnwick::framework {

// The life of a timer component's system timer: a hidden window of its own
// that the system delivers the ticks to, held only while the timer runs, so
// that many timers hold system resources only for those that tick. A
// failing tick handler reaches neither the window system nor the host: the
// application's handler has it.
class TimerWindow {
public:
    TimerWindow();
    ~TimerWindow();
    TimerWindow(const TimerWindow&) = delete;
    TimerWindow& operator=(const TimerWindow&) = delete;

    // Ticks every `interval` ms from now on for `sender`, in place of what
    // ran before; false, with nothing running, when the system refuses.
    bool Start(TObject* sender, std::uint32_t interval, std::function<void()> onTick);
    // Also from inside a tick: the window goes once the tick has returned.
    void Stop();
    bool Running() const { return window_ != nullptr; }
    // The hidden window; null while stopped.
    HWND Handle() const;

private:
    std::unique_ptr<tarnwick::platform::Window> window_;
};

}  // namespace tarnwick::framework

class TTimer : public TComponent {
    TW_CLASS(TTimer, TComponent)

public:
    explicit TTimer(TComponent* Owner);
    ~TTimer() override;

    bool Enabled() const { return Enabled_; }
    void SetEnabled(bool Value);
    std::uint32_t Interval() const { return Interval_; }
    void SetInterval(std::uint32_t Value);
    const TNotifyEvent& OnTimer() const { return OnTimer_; }
    void SetOnTimer(TNotifyEvent Value);
    // Whether a system timer is running for it now.
    bool Running() const { return timer_.Running(); }

    void Loaded() override;

protected:
    virtual void Timer();

private:
    void UpdateTimer();

    bool Enabled_ = true;
    std::uint32_t Interval_ = 1000;
    TNotifyEvent OnTimer_;
    tarnwick::framework::TimerWindow timer_;
};
