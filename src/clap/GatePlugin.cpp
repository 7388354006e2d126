#include "clap/GatePlugin.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string>

#include "platform/Window.h"
#include "plugin/uPlugin.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace tarnwick::clap {

namespace {

constexpr std::uint32_t kSignalPort = 0;
constexpr std::uint32_t kKeyPort = 1;
constexpr std::uint32_t kNumPrograms = driver::kStatePrograms;
// The editor's idle work (its timers, painting, the meter) at a host's
// usual cadence.
constexpr std::uint32_t kIdleMilliseconds = 20;

#if defined(_WIN32)
constexpr const char* kWindowApi = CLAP_WINDOW_API_WIN32;
#else
constexpr const char* kWindowApi = CLAP_WINDOW_API_X11;
#endif

// Nothing of ours throws into the host: a call that fails inside answers
// with its neutral value.
template <typename R, typename F>
R guarded(R neutral, F&& work) noexcept {
    try {
        return work();
    } catch (...) {
        return neutral;
    }
}

template <typename F>
void guarded(F&& work) noexcept {
    try {
        work();
    } catch (...) {}
}

void copyText(char* to, std::size_t size, const char* text) {
    if (!to || size == 0) return;
    std::size_t n = 0;
    for (; text && text[n] && n + 1 < size; ++n) to[n] = text[n];
    to[n] = '\0';
}

bool isGateParameter(clap_id id) { return id < clap_id(driver::kNumParameters); }

bool stereo32(const clap_audio_buffer_t& buffer) {
    return buffer.data32 && buffer.channel_count >= 2 && buffer.data32[0] && buffer.data32[1];
}

// The host's events of one block, read in their order (by time), as the
// effect's changes: the parameters' values, nothing else. An event past the
// block's end applies after its last sample.
class HostEvents final : public driver::ChangeSource {
public:
    explicit HostEvents(const clap_input_events_t* in)
        : in_(in), count_(in && in->size && in->get ? in->size(in) : 0) {
        advance();
    }
    const driver::Change* peek() override { return have_ ? &change_ : nullptr; }
    void pop() override {
        ++next_;
        advance();
    }

private:
    void advance() {
        have_ = false;
        for (; next_ < count_; ++next_) {
            const clap_event_header_t* header = in_->get(in_, next_);
            if (!header || header->space_id != CLAP_CORE_EVENT_SPACE_ID ||
                header->type != CLAP_EVENT_PARAM_VALUE ||
                header->size < sizeof(clap_event_param_value_t))
                continue;
            const auto* event = reinterpret_cast<const clap_event_param_value_t*>(header);
            if (!isGateParameter(event->param_id)) continue;
            change_ = {header->time, std::int32_t(event->param_id), float(event->value)};
            have_ = true;
            return;
        }
    }

    const clap_input_events_t* in_;
    std::uint32_t count_;
    std::uint32_t next_ = 0;
    bool have_ = false;
    driver::Change change_{};
};

bool pushGesture(const clap_output_events_t* out, std::uint16_t type, clap_id param) {
    clap_event_param_gesture_t event{};
    event.header = {sizeof event, 0, CLAP_CORE_EVENT_SPACE_ID, type, 0};
    event.param_id = param;
    return out->try_push(out, &event.header);
}

bool pushValue(const clap_output_events_t* out, clap_id param, double value) {
    clap_event_param_value_t event{};
    event.header = {sizeof event, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
    event.param_id = param;
    event.cookie = nullptr;
    event.note_id = -1;
    event.port_index = -1;
    event.channel = -1;
    event.key = -1;
    event.value = value;
    return out->try_push(out, &event.header);
}

// A program's load key: its number, "0" to "15", and nothing else.
bool programOfKey(const char* key, std::int32_t& program) {
    if (!key || !*key || std::strlen(key) > 2) return false;
    int value = 0;
    for (const char* c = key; *c; ++c) {
        if (*c < '0' || *c > '9') return false;
        value = value * 10 + (*c - '0');
    }
    if ((key[0] == '0' && key[1] != '\0') || value >= int(kNumPrograms)) return false;
    program = value;
    return true;
}

const char* const kFeatures[] = {CLAP_PLUGIN_FEATURE_AUDIO_EFFECT, CLAP_PLUGIN_FEATURE_GATE,
                                 CLAP_PLUGIN_FEATURE_STEREO, nullptr};

}  // namespace

const clap_plugin_descriptor_t kDescriptor = {
    CLAP_VERSION,
    kPluginId,
    "QB Sidechain Gate",
    "Quorbel",
    "",
    "",
    "",
    TARNWICK_VERSION,
    "A sidechain noise gate: a peak follower on the key opens the gate on the signal",
    kFeatures,
};

// ---- the extensions' tables ------------------------------------------------------

namespace {

const clap_plugin_audio_ports_t kAudioPorts = {
    [](const clap_plugin_t*, bool isInput) -> std::uint32_t { return isInput ? 2u : 1u; },
    [](const clap_plugin_t*, std::uint32_t index, bool isInput,
       clap_audio_port_info_t* info) -> bool {
        if (!info || index >= (isInput ? 2u : 1u)) return false;
        *info = clap_audio_port_info_t{};
        info->id = index;
        info->channel_count = 2;
        info->port_type = CLAP_PORT_STEREO;
        if (!isInput || index == kSignalPort) {
            // The signal passes through: it may share its buffers with the output.
            copyText(info->name, sizeof info->name, isInput ? "Input" : "Output");
            info->flags = CLAP_AUDIO_PORT_IS_MAIN;
            info->in_place_pair = 0;
        } else {
            copyText(info->name, sizeof info->name, "Key");
            info->flags = 0;
            info->in_place_pair = CLAP_INVALID_ID;
        }
        return true;
    },
};

const clap_plugin_note_ports_t kNotePorts = {
    [](const clap_plugin_t*, bool) -> std::uint32_t { return 0; },
    [](const clap_plugin_t*, std::uint32_t, bool, clap_note_port_info_t*) -> bool { return false; },
};

const clap_plugin_latency_t kLatency = {[](const clap_plugin_t*) -> std::uint32_t { return 0; }};
const clap_plugin_tail_t kTail = {[](const clap_plugin_t*) -> std::uint32_t { return 0; }};

}  // namespace

// The tables below reach the plug-in's private members through these.
struct GatePluginAccess {
    static GatePlugin* of(const clap_plugin_t* plugin) { return GatePlugin::of(plugin); }

    static const clap_plugin_params_t params;
    static const clap_plugin_state_t state;
    static const clap_plugin_preset_load_t presetLoad;
    static const clap_plugin_gui_t gui;
    static const clap_plugin_timer_support_t timerSupport;
    static const clap_plugin_posix_fd_support_t fdSupport;
};

const clap_plugin_params_t GatePluginAccess::params = {
    [](const clap_plugin_t*) -> std::uint32_t { return driver::kNumParameters; },
    [](const clap_plugin_t* p, std::uint32_t index, clap_param_info_t* info) -> bool {
        GatePlugin* g = of(p);
        return g && info && guarded(false, [&] { return g->paramInfo(index, *info); });
    },
    [](const clap_plugin_t* p, clap_id id, double* value) -> bool {
        GatePlugin* g = of(p);
        return g && value && g->paramValue(id, *value);
    },
    [](const clap_plugin_t*, clap_id id, double value, char* out, std::uint32_t size) -> bool {
        if (!isGateParameter(id) || !out || size == 0) return false;
        return guarded(false, [&] {
            const std::string text = driver::ValueText(int(id), value);
            if (text.empty()) return false;
            copyText(out, size, text.c_str());
            return true;
        });
    },
    [](const clap_plugin_t*, clap_id id, const char* text, double* value) -> bool {
        if (!isGateParameter(id) || !text || !value) return false;
        return guarded(false, [&] {
            double read = 0.0;
            if (!driver::TextValue(int(id), text, read)) return false;
            *value = read;
            return true;
        });
    },
    [](const clap_plugin_t* p, const clap_input_events_t* in, const clap_output_events_t* out) {
        if (GatePlugin* g = of(p)) g->flush(in, out);
    },
};

const clap_plugin_state_t GatePluginAccess::state = {
    [](const clap_plugin_t* p, const clap_ostream_t* stream) -> bool {
        GatePlugin* g = of(p);
        return g && stream && stream->write && guarded(false, [&] { return g->save(*stream); });
    },
    [](const clap_plugin_t* p, const clap_istream_t* stream) -> bool {
        GatePlugin* g = of(p);
        return g && stream && stream->read && guarded(false, [&] { return g->load(*stream); });
    },
};

const clap_plugin_preset_load_t GatePluginAccess::presetLoad = {
    [](const clap_plugin_t* p, std::uint32_t kind, const char* location, const char* key) -> bool {
        GatePlugin* g = of(p);
        return g && guarded(false, [&] { return g->loadPreset(kind, location, key); });
    },
};

const clap_plugin_gui_t GatePluginAccess::gui = {
    // is_api_supported, get_preferred_api
    [](const clap_plugin_t*, const char* api, bool floating) -> bool {
        return !floating && api && std::strcmp(api, kWindowApi) == 0;
    },
    [](const clap_plugin_t*, const char** api, bool* floating) -> bool {
        if (!api || !floating) return false;
        *api = kWindowApi;
        *floating = false;
        return true;
    },
    // create, destroy
    [](const clap_plugin_t* p, const char* api, bool floating) -> bool {
        GatePlugin* g = of(p);
        return g && guarded(false, [&] { return g->guiCreate(api, floating); });
    },
    [](const clap_plugin_t* p) {
        if (GatePlugin* g = of(p)) guarded([&] { g->guiDestroy(); });
    },
    // set_scale, get_size
    [](const clap_plugin_t* p, double scale) -> bool {
        GatePlugin* g = of(p);
        return g && guarded(false, [&] { return g->guiSetScale(scale); });
    },
    [](const clap_plugin_t* p, std::uint32_t* width, std::uint32_t* height) -> bool {
        const GatePlugin* g = of(p);
        return g && width && height && g->guiSize(*width, *height);
    },
    // can_resize, get_resize_hints, adjust_size, set_size: one size only.
    [](const clap_plugin_t*) -> bool { return false; },
    [](const clap_plugin_t*, clap_gui_resize_hints_t* hints) -> bool {
        if (!hints) return false;
        *hints = clap_gui_resize_hints_t{false, false, false, 0, 0};
        return true;
    },
    [](const clap_plugin_t* p, std::uint32_t* width, std::uint32_t* height) -> bool {
        const GatePlugin* g = of(p);
        return g && width && height && g->guiSize(*width, *height);
    },
    [](const clap_plugin_t* p, std::uint32_t width, std::uint32_t height) -> bool {
        const GatePlugin* g = of(p);
        std::uint32_t w = 0, h = 0;
        return g && g->guiSize(w, h) && width == w && height == h;
    },
    // set_parent, set_transient (no floating window), suggest_title
    [](const clap_plugin_t* p, const clap_window_t* window) -> bool {
        GatePlugin* g = of(p);
        return g && window && guarded(false, [&] { return g->guiSetParent(*window); });
    },
    [](const clap_plugin_t*, const clap_window_t*) -> bool { return false; },
    [](const clap_plugin_t*, const char*) {},
    // show, hide
    [](const clap_plugin_t* p) -> bool {
        GatePlugin* g = of(p);
        return g && guarded(false, [&] { return g->guiShow(); });
    },
    [](const clap_plugin_t* p) -> bool {
        GatePlugin* g = of(p);
        return g && guarded(false, [&] { return g->guiHide(); });
    },
};

const clap_plugin_timer_support_t GatePluginAccess::timerSupport = {
    [](const clap_plugin_t* p, clap_id id) {
        if (GatePlugin* g = of(p)) guarded([&] { g->onTimer(id); });
    },
};

const clap_plugin_posix_fd_support_t GatePluginAccess::fdSupport = {
    [](const clap_plugin_t* p, int fd, clap_posix_fd_flags_t) {
        if (GatePlugin* g = of(p)) guarded([&] { g->onFd(fd); });
    },
};

// ---- the plug-in ------------------------------------------------------------------

const clap_plugin_t* GatePlugin::create(const clap_host_t* host) {
    if (!host || !host->get_extension) return nullptr;
    GatePlugin* made = new (std::nothrow) GatePlugin(host);
    return made ? &made->plugin_ : nullptr;
}

GatePlugin::GatePlugin(const clap_host_t* host) : host_(host) {
    plugin_.desc = &kDescriptor;
    plugin_.plugin_data = this;
    plugin_.init = [](const clap_plugin_t* p) -> bool {
        GatePlugin* g = of(p);
        return g && guarded(false, [&] { return g->init(); });
    };
    plugin_.destroy = [](const clap_plugin_t* p) {
        if (GatePlugin* g = of(p)) guarded([&] { delete g; });
    };
    plugin_.activate = [](const clap_plugin_t* p, double rate, std::uint32_t,
                          std::uint32_t) -> bool {
        GatePlugin* g = of(p);
        return g && guarded(false, [&] { return g->activate(rate); });
    };
    plugin_.deactivate = [](const clap_plugin_t* p) {
        if (GatePlugin* g = of(p)) g->deactivate();
    };
    plugin_.start_processing = [](const clap_plugin_t* p) -> bool {
        GatePlugin* g = of(p);
        return g && g->startProcessing();
    };
    plugin_.stop_processing = [](const clap_plugin_t* p) {
        if (GatePlugin* g = of(p)) g->stopProcessing();
    };
    plugin_.reset = [](const clap_plugin_t* p) {
        if (GatePlugin* g = of(p)) g->reset();
    };
    plugin_.process = [](const clap_plugin_t* p, const clap_process_t* process) {
        GatePlugin* g = of(p);
        return g && process ? g->process(*process) : CLAP_PROCESS_ERROR;
    };
    plugin_.get_extension = &GatePlugin::extension;
    // Nothing is asked of the main thread.
    plugin_.on_main_thread = [](const clap_plugin_t*) {};
}

GatePlugin::~GatePlugin() {
    // A host that destroys the plug-in with its editor up still gets the
    // editor's timer and handler back; it is not called again otherwise.
    closeEditor();
    editor_.reset();
    deactivate();
}

GatePlugin* GatePlugin::of(const clap_plugin_t* plugin) {
    return plugin ? static_cast<GatePlugin*>(plugin->plugin_data) : nullptr;
}

const void* GatePlugin::extension(const clap_plugin_t* plugin, const char* id) {
    if (!of(plugin) || !id) return nullptr;
    const auto is = [id](const char* name) { return std::strcmp(id, name) == 0; };
    if (is(CLAP_EXT_AUDIO_PORTS)) return &kAudioPorts;
    if (is(CLAP_EXT_NOTE_PORTS)) return &kNotePorts;
    if (is(CLAP_EXT_PARAMS)) return &GatePluginAccess::params;
    if (is(CLAP_EXT_STATE)) return &GatePluginAccess::state;
    if (is(CLAP_EXT_LATENCY)) return &kLatency;
    if (is(CLAP_EXT_TAIL)) return &kTail;
    if (is(CLAP_EXT_PRESET_LOAD) || is(CLAP_EXT_PRESET_LOAD_COMPAT))
        return &GatePluginAccess::presetLoad;
    if (is(CLAP_EXT_GUI)) return &GatePluginAccess::gui;
#if !defined(_WIN32)
    if (is(CLAP_EXT_TIMER_SUPPORT)) return &GatePluginAccess::timerSupport;
    if (is(CLAP_EXT_POSIX_FD_SUPPORT)) return &GatePluginAccess::fdSupport;
#endif
    return nullptr;
}

bool GatePlugin::init() {
    if (gate_) return false;
    const auto ask = [this](const char* id) { return host_->get_extension(host_, id); };
    hostParams_ = static_cast<const clap_host_params_t*>(ask(CLAP_EXT_PARAMS));
    hostState_ = static_cast<const clap_host_state_t*>(ask(CLAP_EXT_STATE));
    hostLog_ = static_cast<const clap_host_log_t*>(ask(CLAP_EXT_LOG));
    hostPresetLoad_ = static_cast<const clap_host_preset_load_t*>(ask(CLAP_EXT_PRESET_LOAD));
    if (!hostPresetLoad_)
        hostPresetLoad_ =
            static_cast<const clap_host_preset_load_t*>(ask(CLAP_EXT_PRESET_LOAD_COMPAT));
    hostTimers_ = static_cast<const clap_host_timer_support_t*>(ask(CLAP_EXT_TIMER_SUPPORT));
    hostFds_ = static_cast<const clap_host_posix_fd_support_t*>(ask(CLAP_EXT_POSIX_FD_SUPPORT));
    hostGui_ = static_cast<const clap_host_gui_t*>(ask(CLAP_EXT_GUI));
    gate_ = std::make_unique<driver::Processor>(44100.0);
    return true;
}

bool GatePlugin::activate(double sampleRate) {
    if (!gate_ || active_ || !std::isfinite(sampleRate) || !(sampleRate > 0.0)) return false;
    gate_->setSampleRate(sampleRate);
    // Activated again, the gate starts afresh (no envelope, no key peak of
    // before), keeping its programs and values.
    gate_->reset();
    gate_->activate();
    active_ = true;
    return true;
}

void GatePlugin::deactivate() {
    if (!active_) return;
    processing_ = false;
    gate_->deactivate();
    active_ = false;
}

bool GatePlugin::startProcessing() {
    if (!active_) return false;
    processing_ = true;
    return true;
}

void GatePlugin::stopProcessing() { processing_ = false; }

void GatePlugin::reset() {
    if (active_) gate_->reset();
}

void GatePlugin::drainEdits(const clap_output_events_t* out) {
    const bool sending = out && out->try_push;
    Edit edit;
    while (edits_.peek(edit)) {
        const clap_id param = edit.param;
        if (sending) {
            // The host's list is full: the rest waits for the next block.
            const bool sent =
                edit.kind == Edit::Begin ? pushGesture(out, CLAP_EVENT_PARAM_GESTURE_BEGIN, param)
                : edit.kind == Edit::End ? pushGesture(out, CLAP_EVENT_PARAM_GESTURE_END, param)
                                         : pushValue(out, param, edit.value);
            if (!sent) break;
        }
        if (edit.kind == Edit::Value) gate_->setParameter(std::int32_t(param), edit.value);
        edits_.pop();
    }
}

clap_process_status GatePlugin::process(const clap_process_t& process) {
    if (!active_) return CLAP_PROCESS_ERROR;
    drainEdits(process.out_events);
    HostEvents changes(process.in_events);
    const std::uint32_t frames = process.frames_count;
    const clap_audio_buffer_t* in = process.audio_inputs;
    clap_audio_buffer_t* out = process.audio_outputs;
    const bool audio = in && out && process.audio_inputs_count > kSignalPort &&
                       process.audio_outputs_count > 0 && stereo32(in[kSignalPort]) &&
                       stereo32(out[0]);
    if (!audio) {
        // Without the signal's buffers there is nothing to gate: the
        // outputs there are are silent, the changes still land.
        for (std::uint32_t port = 0; out && port < process.audio_outputs_count; ++port)
            for (std::uint32_t c = 0; out[port].data32 && c < out[port].channel_count; ++c)
                if (float* samples = out[port].data32[c])
                    std::fill(samples, samples + frames, 0.0f);
        applyChanges(changes);
        return CLAP_PROCESS_CONTINUE;
    }
    float* inputs[4] = {in[kSignalPort].data32[0], in[kSignalPort].data32[1], nullptr, nullptr};
    // A key the host does not connect is silence; a mono key feeds both sides.
    if (process.audio_inputs_count > kKeyPort) {
        const clap_audio_buffer_t& key = in[kKeyPort];
        if (key.data32 && key.channel_count >= 1) {
            inputs[2] = key.data32[0];
            inputs[3] = key.channel_count >= 2 ? key.data32[1] : key.data32[0];
        }
    }
    float* outputs[2] = {out[0].data32[0], out[0].data32[1]};
    gate_->process(inputs, outputs, frames, &changes, true);
    out[0].constant_mask = 0;
    return CLAP_PROCESS_CONTINUE;
}

bool GatePlugin::paramInfo(std::uint32_t index, clap_param_info_t& info) const {
    if (index >= std::uint32_t(driver::kNumParameters)) return false;
    const driver::ParameterInfo& p = driver::kParameters[index];
    info = clap_param_info_t{};
    info.id = index;
    info.flags = CLAP_PARAM_IS_AUTOMATABLE | (p.steps > 0 ? CLAP_PARAM_IS_STEPPED : 0u);
    info.cookie = nullptr;
    copyText(info.name, sizeof info.name, p.title);
    info.module[0] = '\0';
    info.min_value = 0.0;
    info.max_value = 1.0;
    info.default_value = driver::DefaultValue(int(index));
    return true;
}

bool GatePlugin::paramValue(clap_id id, double& value) const {
    if (!gate_ || !isGateParameter(id)) return false;
    value = gate_->parameter(std::int32_t(id));
    return true;
}

void GatePlugin::flush(const clap_input_events_t* in, const clap_output_events_t* out) {
    if (!gate_) return;
    drainEdits(out);
    HostEvents changes(in);
    applyChanges(changes);
}

void GatePlugin::applyChanges(driver::ChangeSource& changes) {
    // A block of no samples: every change lands, none is gated.
    float* none[4] = {};
    gate_->process(none, none, 0, &changes);
}

bool GatePlugin::save(const clap_ostream_t& stream) const {
    if (!gate_) return false;
    const driver::StateBytes bytes = driver::EncodeState(gate_->state());
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::int64_t written =
            stream.write(&stream, bytes.data() + done, bytes.size() - done);
        if (written <= 0) return false;
        done += std::size_t(std::min<std::int64_t>(written, std::int64_t(bytes.size() - done)));
    }
    return true;
}

bool GatePlugin::load(const clap_istream_t& stream) {
    if (!gate_) return false;
    // One byte more than a state holds, to tell a longer stream.
    std::array<std::uint8_t, driver::kStateSize + 1> bytes{};
    std::size_t have = 0;
    while (have < bytes.size()) {
        const std::int64_t read = stream.read(&stream, bytes.data() + have, bytes.size() - have);
        if (read < 0) {
            log(CLAP_LOG_ERROR, "The state could not be read: the host's stream failed.");
            return false;
        }
        if (read == 0) break;
        have += std::size_t(std::min<std::int64_t>(read, std::int64_t(bytes.size() - have)));
    }
    driver::GateState state;
    const driver::StateError error = driver::DecodeState({bytes.data(), have}, state);
    if (error != driver::StateError::None) {
        log(CLAP_LOG_ERROR,
            (std::string("The state was refused: ") + driver::StateErrorText(error)).c_str());
        return false;
    }
    gate_->setState(state);
    if (editor_) editor_->setState(state);
    followStateChange();
    return true;
}

bool GatePlugin::loadPreset(std::uint32_t kind, const char* location, const char* key) {
    if (!gate_) return false;
    std::int32_t program = 0;
    const bool inside = kind == CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN && (!location || !*location);
    if (!inside || !programOfKey(key, program)) {
        if (hostPresetLoad_ && hostPresetLoad_->on_error)
            hostPresetLoad_->on_error(host_, kind, location, key, 0,
                                      "No such preset: the presets are the programs 0 to 15.");
        return false;
    }
    gate_->setProgram(program);
    if (editor_) editor_->setProgram(program);
    followStateChange();
    if (hostPresetLoad_ && hostPresetLoad_->loaded)
        hostPresetLoad_->loaded(host_, kind, location, key);
    return true;
}

void GatePlugin::followStateChange() {
    if (hostState_ && hostState_->mark_dirty) hostState_->mark_dirty(host_);
    if (hostParams_ && hostParams_->rescan) hostParams_->rescan(host_, CLAP_PARAM_RESCAN_VALUES);
}

void GatePlugin::log(clap_log_severity severity, const char* message) const {
    if (hostLog_ && hostLog_->log) hostLog_->log(host_, severity, message);
}

// ---- the editor -------------------------------------------------------------------

bool GatePlugin::guiCreate(const char* api, bool floating) {
    if (!gate_ || editor_ || floating || !api || std::strcmp(api, kWindowApi) != 0) return false;
#if !defined(_WIN32)
    // The editor runs on the host's loop; without one it would not move.
    if (!hostTimers_ || !hostTimers_->register_timer || !hostTimers_->unregister_timer ||
        !hostFds_ || !hostFds_->register_fd || !hostFds_->unregister_fd) {
        log(CLAP_LOG_WARNING,
            "No editor: the host offers no timer and file descriptor support to run it on.");
        return false;
    }
#endif
    editor_ = std::make_unique<driver::EditorHost>(static_cast<driver::EditorListener*>(this));
    editor_->setState(gate_->state());
    for (int i = 0; i < driver::kNumParameters; ++i) seen_[i] = gate_->parameter(i);
    gesture_.fill(false);
    parent_ = 0;
    return true;
}

void GatePlugin::closeEditor() {
    if (!editor_) return;
    detach();
    editor_->close();
}

void GatePlugin::guiDestroy() {
    if (!editor_) return;
    closeEditor();
    editor_.reset();
    parent_ = 0;
    requestFlush();  // last: the host may do anything from here
}

bool GatePlugin::guiSetScale(double scale) {
    if (!editor_ || !std::isfinite(scale) || !(scale > 0.0)) return false;
    const int width = editor_->width(), height = editor_->height();
    const bool open = editor_->isOpen();
    // An open editor is made anew at the scale: its timer and handler go
    // with the old window and come back with the new one.
    if (open) detach();
    editor_->setScale(scale);
    if (open && editor_->isOpen() && !attach()) editor_->close();
    if (open && editor_->isOpen() && (editor_->width() != width || editor_->height() != height) &&
        hostGui_ && hostGui_->request_resize)
        hostGui_->request_resize(
            host_, std::uint32_t(editor_->width()),
            std::uint32_t(editor_->height()));  // last: the host may do anything
    return true;
}

bool GatePlugin::guiSize(std::uint32_t& width, std::uint32_t& height) const {
    width = std::uint32_t(editor_ ? editor_->width() : driver::EditorHost::kFormWidth);
    height = std::uint32_t(editor_ ? editor_->height() : driver::EditorHost::kFormHeight);
    return true;
}

bool GatePlugin::guiSetParent(const clap_window_t& window) {
    if (!editor_ || editor_->isOpen() || !window.api || std::strcmp(window.api, kWindowApi) != 0)
        return false;
#if defined(_WIN32)
    const auto parent = reinterpret_cast<std::uintptr_t>(window.win32);
#else
    const auto parent = static_cast<std::uintptr_t>(window.x11);
#endif
    if (parent == 0 || !editor_->open(parent)) return false;
    if (!attach()) {
        editor_->close();
        return false;
    }
    parent_ = parent;
    return true;
}

bool GatePlugin::guiShow() {
    if (!editor_ || parent_ == 0) return false;
    if (editor_->isOpen()) return true;
    // Hidden, the editor was closed; it opens again in the same window.
    if (!editor_->open(parent_)) return false;
    if (!attach()) {
        editor_->close();
        return false;
    }
    return true;
}

bool GatePlugin::guiHide() {
    if (!editor_) return false;
    if (!editor_->isOpen()) return true;
    // Closed, not just unmapped: a drag ends (the host hears the gesture's
    // end), the pointer is let go, and nothing of the window stays.
    closeEditor();
    requestFlush();  // last: the host may do anything from here
    return true;
}

#if defined(_WIN32)
namespace {
void CALLBACK idleTimer(HWND, UINT, UINT_PTR id, DWORD) {
    // The timer's id is the plug-in, which kills it before it goes.
    guarded([&] { reinterpret_cast<GatePlugin*>(id)->tick(); });
}
}  // namespace
#endif

bool GatePlugin::attach() {
#if defined(_WIN32)
    winTimer_ = SetTimer(reinterpret_cast<HWND>(editor_->widget()),
                         reinterpret_cast<UINT_PTR>(this), kIdleMilliseconds, idleTimer) != 0;
    return winTimer_;
#else
    clap_id timer = CLAP_INVALID_ID;
    if (!hostTimers_->register_timer(host_, kIdleMilliseconds, &timer) || timer == CLAP_INVALID_ID)
        return false;
    timer_ = timer;
    watchConnection();
    return true;
#endif
}

void GatePlugin::detach() {
#if defined(_WIN32)
    if (winTimer_ && editor_)
        KillTimer(reinterpret_cast<HWND>(editor_->widget()), reinterpret_cast<UINT_PTR>(this));
    winTimer_ = false;
#else
    if (fd_ >= 0) hostFds_->unregister_fd(host_, fd_);
    fd_ = -1;
    if (timer_ != CLAP_INVALID_ID) hostTimers_->unregister_timer(host_, timer_);
    timer_ = CLAP_INVALID_ID;
#endif
}

void GatePlugin::watchConnection() {
#if !defined(_WIN32)
    // The window system's connection is the one the open editor uses; a
    // lost server takes it away, and a later one may bring another.
    const int fd = platform::EventDescriptor();
    if (fd == fd_) return;
    if (fd_ >= 0) hostFds_->unregister_fd(host_, fd_);
    fd_ = -1;
    // Without the handler the timer still drives the editor, a little later.
    if (fd >= 0 && hostFds_->register_fd(host_, fd, CLAP_POSIX_FD_READ)) fd_ = fd;
#endif
}

void GatePlugin::onTimer(clap_id id) {
    if (id != CLAP_INVALID_ID && id == timer_) tick();
}

void GatePlugin::onFd(int fd) {
    if (fd >= 0 && fd == fd_) tick();
}

void GatePlugin::tick() {
    if (!editor_ || !editor_->isOpen()) return;
    // What the audio side's values did since: the host's automation, a
    // flush. A parameter the user holds keeps what the user gives it.
    for (int i = 0; i < driver::kNumParameters; ++i) {
        const float value = gate_->parameter(i);
        if (value == seen_[i]) continue;
        seen_[i] = value;
        if (!gesture_[i]) editor_->setParameter(i, value);
    }
    editor_->setKeyLevel(gate_->keyLevel());
    editor_->idle();
    if (!editor_ || !editor_->isOpen()) return;
    watchConnection();
    // What the queue had no room for goes now that the host took some.
    if (edits_.backlogged()) {
        edits_.retry();
        editsUnflushed_ = true;
    }
    requestFlush();  // last: the host may do anything from here
}

void GatePlugin::requestFlush() {
    if (!editsUnflushed_) return;
    editsUnflushed_ = false;
    // The user changed the gate: what the host saved is old now.
    if (valuesEdited_) {
        valuesEdited_ = false;
        if (hostState_ && hostState_->mark_dirty) hostState_->mark_dirty(host_);
    }
    if (hostParams_ && hostParams_->request_flush) hostParams_->request_flush(host_);
}

void GatePlugin::beginEdit(std::int32_t index) {
    if (index < 0 || index >= driver::kNumParameters) return;
    gesture_[index] = true;
    edits_.submit({Edit::Begin, std::uint8_t(index), 0.0f});
    editsUnflushed_ = true;
}

void GatePlugin::performEdit(std::int32_t index, float value) {
    if (index < 0 || index >= driver::kNumParameters) return;
    edits_.submit({Edit::Value, std::uint8_t(index), value});
    editsUnflushed_ = true;
    valuesEdited_ = true;
    // Not active, nothing processes: the gate takes the value now, so that
    // it has it (and its state says so) even with a host that flushes only
    // while it processes. The flush that sends the edit gives it again.
    if (!active_) gate_->setParameter(index, value);
}

void GatePlugin::endEdit(std::int32_t index) {
    if (index < 0 || index >= driver::kNumParameters) return;
    gesture_[index] = false;
    edits_.submit({Edit::End, std::uint8_t(index), 0.0f});
    editsUnflushed_ = true;
}

}  // namespace tarnwick::clap
