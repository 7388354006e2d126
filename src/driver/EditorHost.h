#pragma once
// The host's side of the gate's editor, as every plug-in format but VST 2
// drives it: the VST 2 module's own editor (window, bridge, form, back end)
// on an effect of its own that never processes audio. The host's values are
// set on that effect, which shows them; the editor's edits reach a listener
// as gestures (begin, perform, end), in the pairs the editor keeps.

#include <cstdint>

#include "driver/State.h"
#include "vst/DAEffect.h"

class APlugin;

namespace tarnwick::driver {

class EditorListener {
public:
    // Parameter INDEX (0 to 5): a gesture begins, a value within it, it ends.
    virtual void beginEdit(std::int32_t index) = 0;
    virtual void performEdit(std::int32_t index, float value) = 0;
    virtual void endEdit(std::int32_t index) = 0;

protected:
    ~EditorListener() = default;
};

class EditorHost {
public:
    // The client size of the editor's form; an open editor tells its own.
    static constexpr int kFormWidth = 336;
    static constexpr int kFormHeight = 157;

    // The effect with the module's editor; throws std::bad_alloc when none
    // can be made. LISTENER may be null: nobody hears the edits then.
    explicit EditorHost(EditorListener* listener);
    ~EditorHost();
    EditorHost(const EditorHost&) = delete;
    EditorHost& operator=(const EditorHost&) = delete;

    // Opens the editor as a child of the native window PARENT (an X window,
    // an HWND); false when there is no window system, PARENT is no window,
    // or the editor is open already.
    bool open(std::uintptr_t parent);
    // Closes it, ending every open gesture (the listener hears each end);
    // nothing when it is closed.
    void close();
    bool isOpen() const { return widget_ != 0; }
    // The editor's own native window while it is open, else 0.
    std::uintptr_t widget() const { return widget_; }
    // The editor's size in device pixels, open or not: before the first
    // open, the size its form gives at the scale.
    int width() const { return width_; }
    int height() const { return height_; }
    // The device scale the editor is drawn at (1.0 = 100 %), for a format
    // to pass on what its host says (a content scale factor, a UI scale):
    // the nearest of 100, 125, 150, 175, 200, 250 and 300 %; not a number
    // or not positive is 100 %. Call it before open() or while the editor
    // is open: an open editor is made anew at the new size in the same
    // parent (gestures under way end, the listener hears each end), so
    // widget() names a new window afterwards (0, and the editor closed,
    // when none could be made). After the call width() and height() answer
    // the new size, which the format tells its host (or resizes its own
    // window to).
    void setScale(double factor);
    // The step in use, in percent.
    int scalePercent() const;
    // Input, timers, painting and the meter; the host calls it often.
    void idle();

    // The host's values: the effect's own clamping and the editor's update,
    // never echoed to the listener.
    void setParameter(std::int32_t index, float value);
    float parameter(std::int32_t index) const;
    void setProgram(std::int32_t program);
    std::int32_t program() const;
    GateState state() const;
    void setState(const GateState& state);
    // The key's level from the audio side, 0 to 1, for the meter.
    void setKeyLevel(float level);
    APlugin& plugin() { return *plugin_; }

private:
    static VstIntPtr hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                  void* ptr, float opt);

    EditorListener* listener_;
    APlugin* plugin_ = nullptr;
    AEffect* effect_ = nullptr;  // the effect's record; effClose deletes both
    std::uintptr_t widget_ = 0;
    int width_ = kFormWidth;
    int height_ = kFormHeight;
};

}  // namespace tarnwick::driver
