#pragma once
// The gate as a CLAP plug-in: the driver's effect behind the signal port
// and the key port, the six parameters as events on their samples, the
// shared state record, the programs as presets inside the plug-in, and the
// module's editor in the host's window.
//
// Threads, as the format assigns them: the audio thread runs process, reset,
// start/stop_processing and (while active) flush; everything else comes on
// the main thread. The effect's values are atomics, so the main thread may
// read them and load programs and state at any time. The editor lives on the
// main thread alone: its edits reach the audio side through an EditQueue and
// go out as gesture and value events of the next process or flush, and what
// the audio side's values do reaches the editor at its timer, read from the
// effect. Nothing calls into the host from inside the editor's own work, so
// a host may destroy the editor from any callback it gets.

#include <array>
#include <cstdint>
#include <memory>

#include "clap/ClapInterfaces.h"
#include "clap/EditQueue.h"
#include "driver/EditorHost.h"
#include "driver/Parameters.h"
#include "driver/Processor.h"

namespace tarnwick::clap {

inline constexpr char kPluginId[] = "com.quorbel.tarnwick";
extern const clap_plugin_descriptor_t kDescriptor;

class GatePlugin final : private driver::EditorListener {
public:
    // What the factory gives the host; the plug-in is destroyed through it.
    static const clap_plugin_t* create(const clap_host_t* host);

    // The idle work of the editor, for its timer on Windows.
    void tick();

private:
    friend struct GatePluginAccess;  // the extensions' tables

    explicit GatePlugin(const clap_host_t* host);
    ~GatePlugin();
    static GatePlugin* of(const clap_plugin_t* plugin);
    static const void* extension(const clap_plugin_t* plugin, const char* id);

    // clap_plugin
    bool init();
    bool activate(double sampleRate);
    void deactivate();
    bool startProcessing();
    void stopProcessing();
    void reset();
    clap_process_status process(const clap_process_t& process);
    // params
    bool paramInfo(std::uint32_t index, clap_param_info_t& info) const;
    bool paramValue(clap_id id, double& value) const;
    void flush(const clap_input_events_t* in, const clap_output_events_t* out);
    // state
    bool save(const clap_ostream_t& stream) const;
    bool load(const clap_istream_t& stream);
    // preset-load
    bool loadPreset(std::uint32_t kind, const char* location, const char* key);
    // gui
    bool guiCreate(const char* api, bool floating);
    void guiDestroy();
    // The host's scale: the editor drawn at it, and an open editor that
    // changed size asks the host to resize.
    bool guiSetScale(double scale);
    bool guiSize(std::uint32_t& width, std::uint32_t& height) const;
    bool guiSetParent(const clap_window_t& window);
    bool guiShow();
    bool guiHide();
    // Takes the editor down: its timer and handler first, then the window
    // (which ends every gesture it holds).
    void closeEditor();
    void onTimer(clap_id id);
    void onFd(int fd);

    // The editor's edits, queued for the audio side.
    void beginEdit(std::int32_t index) override;
    void performEdit(std::int32_t index, float value) override;
    void endEdit(std::int32_t index) override;
    // Sends the queued edits as events to OUT (when there is one) and gives
    // their values to the effect, before the block's own changes.
    void drainEdits(const clap_output_events_t* out);
    void applyChanges(driver::ChangeSource& changes);
    // The editor's timer and event handler on the host's loop.
    bool attach();
    void detach();
    void watchConnection();
    // Asks the host for a process or flush that takes the queued edits (and
    // marks its saved state old when they changed a value).
    void requestFlush();
    // After a program or state came from the main thread: the editor shows
    // it, the host reads the values again.
    void followStateChange();
    void log(clap_log_severity severity, const char* message) const;

    clap_plugin_t plugin_;
    const clap_host_t* host_;
    const clap_host_params_t* hostParams_ = nullptr;
    const clap_host_state_t* hostState_ = nullptr;
    const clap_host_log_t* hostLog_ = nullptr;
    const clap_host_preset_load_t* hostPresetLoad_ = nullptr;
    const clap_host_timer_support_t* hostTimers_ = nullptr;
    const clap_host_posix_fd_support_t* hostFds_ = nullptr;
    const clap_host_gui_t* hostGui_ = nullptr;

    std::unique_ptr<driver::Processor> gate_;
    bool active_ = false;
    bool processing_ = false;
    EditQueue edits_;
    bool editsUnflushed_ = false;  // queued since the host was last asked
    bool valuesEdited_ = false;    // a value among them: the host's saved state is old

    // The editor (main thread).
    std::unique_ptr<driver::EditorHost> editor_;
    std::uintptr_t parent_ = 0;
    clap_id timer_ = CLAP_INVALID_ID;
    int fd_ = -1;
    bool winTimer_ = false;
    std::array<bool, driver::kNumParameters> gesture_{};
    // The effect's values as the editor's timer last read them: a value the
    // audio side changes since goes to the editor, unless the user holds it.
    std::array<float, driver::kNumParameters> seen_{};
};

}  // namespace tarnwick::clap
