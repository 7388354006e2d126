#pragma once
// A CLAP host of the tests' own: it loads a .clap file as hosts do (its
// clap_entry, init, the factories), makes plug-ins with a host record that
// offers what the tests ask for (params, state, log, preset-load, and on Linux timer-support and posix-fd-support with a loop
// of its own), and records what the plug-in tells it.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "clap/ClapInterfaces.h"
#include "support/LoadedModule.h"

#if !defined(_WIN32)
#include <poll.h>
#endif

namespace tarnwick::test {

// A .clap file, loaded and initialised; deinitialised and unloaded at the end.
class ClapFile {
public:
    explicit ClapFile(const char* path) : module_(OpenModule(path)) {
        if (!module_) return;
        entry_ = static_cast<const clap_plugin_entry_t*>(ModuleSymbol(module_, "clap_entry"));
        if (entry_ && entry_->init(path))
            factory_ = static_cast<const clap_plugin_factory_t*>(
                entry_->get_factory(CLAP_PLUGIN_FACTORY_ID));
    }
    ~ClapFile() {
        if (factory_) entry_->deinit();
        if (module_) CloseModule(module_);
    }
    ClapFile(const ClapFile&) = delete;
    ClapFile& operator=(const ClapFile&) = delete;

    const clap_plugin_entry_t* entry() const { return entry_; }
    const clap_plugin_factory_t* factory() const { return factory_; }

private:
    void* module_;
    const clap_plugin_entry_t* entry_ = nullptr;
    const clap_plugin_factory_t* factory_ = nullptr;
};

// One event of any kind the tests send or receive.
union AnyEvent {
    clap_event_header_t header;
    clap_event_param_value_t value;
    clap_event_param_gesture_t gesture;
    clap_event_note_t note;
    clap_event_transport_t transport;
};

inline AnyEvent ParamEvent(std::uint32_t time, clap_id id, double value) {
    AnyEvent e{};
    e.value.header = {sizeof(clap_event_param_value_t), time, CLAP_CORE_EVENT_SPACE_ID,
                      CLAP_EVENT_PARAM_VALUE, 0};
    e.value.param_id = id;
    e.value.note_id = -1;
    e.value.port_index = e.value.channel = e.value.key = -1;
    e.value.value = value;
    return e;
}

inline AnyEvent NoteEvent(std::uint32_t time) {
    AnyEvent e{};
    e.note.header = {sizeof(clap_event_note_t), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_NOTE_ON,
                     0};
    e.note.key = 60;
    e.note.velocity = 1.0;
    return e;
}

struct InEvents {
    std::vector<AnyEvent> events;
    clap_input_events_t list{this, &InEvents::size, &InEvents::get};

    static std::uint32_t size(const clap_input_events_t* l) {
        return std::uint32_t(static_cast<const InEvents*>(l->ctx)->events.size());
    }
    static const clap_event_header_t* get(const clap_input_events_t* l, std::uint32_t i) {
        const auto& events = static_cast<const InEvents*>(l->ctx)->events;
        return i < events.size() ? &events[i].header : nullptr;
    }
};

struct OutEvents {
    std::vector<AnyEvent> events;
    std::size_t capacity = 1u << 20;  // fewer to play a host whose list fills
    clap_output_events_t list{this, &OutEvents::push};

    static bool push(const clap_output_events_t* l, const clap_event_header_t* e) {
        auto* self = static_cast<OutEvents*>(l->ctx);
        if (self->events.size() >= self->capacity || e->size > sizeof(AnyEvent)) return false;
        AnyEvent copy{};
        std::memcpy(&copy, e, e->size);
        self->events.push_back(copy);
        return true;
    }
    // The events as text, one word each: "begin:0 value:0=0.25 end:0".
    std::string Text() const {
        std::string text;
        for (const AnyEvent& e : events) {
            if (!text.empty()) text += ' ';
            if (e.header.type == CLAP_EVENT_PARAM_GESTURE_BEGIN)
                text += "begin:" + std::to_string(e.gesture.param_id);
            else if (e.header.type == CLAP_EVENT_PARAM_GESTURE_END)
                text += "end:" + std::to_string(e.gesture.param_id);
            else if (e.header.type == CLAP_EVENT_PARAM_VALUE)
                text += "value:" + std::to_string(e.value.param_id);
            else
                text += "type" + std::to_string(e.header.type);
        }
        return text;
    }
};

// Streams over a byte vector; a stream may be told to move at most CHUNK
// bytes a call, or to fail after FAILAFTER bytes.
struct MemoryStream {
    std::vector<std::uint8_t> bytes;
    std::size_t position = 0;
    std::size_t chunk = SIZE_MAX;
    std::size_t failAfter = SIZE_MAX;
    clap_istream_t in{this, &MemoryStream::read};
    clap_ostream_t out{this, &MemoryStream::write};

    static std::int64_t read(const clap_istream_t* s, void* buffer, std::uint64_t size) {
        auto* self = static_cast<MemoryStream*>(s->ctx);
        if (self->position >= self->failAfter) return -1;
        const std::size_t n =
            std::min({std::size_t(size), self->chunk, self->bytes.size() - self->position,
                      self->failAfter - self->position});
        std::memcpy(buffer, self->bytes.data() + self->position, n);
        self->position += n;
        return std::int64_t(n);
    }
    static std::int64_t write(const clap_ostream_t* s, const void* buffer, std::uint64_t size) {
        auto* self = static_cast<MemoryStream*>(s->ctx);
        if (self->bytes.size() >= self->failAfter) return -1;
        const std::size_t n = std::min(std::size_t(size), self->chunk);
        const auto* b = static_cast<const std::uint8_t*>(buffer);
        self->bytes.insert(self->bytes.end(), b, b + n);
        return std::int64_t(n);
    }
};

class TestHost {
public:
    // Whether the host offers timer-support and posix-fd-support.
    explicit TestHost(bool timers = true, bool fds = true) : timers_(timers), fds_(fds) {
        host_.clap_version = CLAP_VERSION;
        host_.host_data = this;
        host_.name = "tarnwick-clap-test";
        host_.vendor = "Quorbel";
        host_.url = "";
        host_.version = "1";
        host_.get_extension = &TestHost::extension;
        host_.request_restart = [](const clap_host_t*) {};
        host_.request_process = [](const clap_host_t*) {};
        host_.request_callback = [](const clap_host_t* h) { of(h)->callbacks++; };
    }
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    const clap_host_t* record() const { return &host_; }

    // What the plug-in told the host.
    int flushRequests = 0;
    int rescans = 0;
    int dirty = 0;
    int callbacks = 0;
    std::vector<std::string> logs;
    std::vector<std::string> presetsLoaded;
    int presetErrors = 0;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> resizes;  // the editor's requests
    // Called after a request_flush is counted: a test's reaction to it.
    std::function<void()> onRequestFlush;

    // The host's loop: the registered timers and descriptors.
    struct Timer {
        std::uint32_t period;
        std::chrono::steady_clock::time_point due;
    };
    std::map<clap_id, Timer> timers;
    std::map<int, clap_posix_fd_flags_t> fds;

    // Runs the loop for MS milliseconds: the plug-in's descriptors when
    // they are readable, its timers when due.
    void RunLoop(const clap_plugin_t* plugin, int ms) {
        const auto* timerExt = static_cast<const clap_plugin_timer_support_t*>(
            plugin->get_extension(plugin, CLAP_EXT_TIMER_SUPPORT));
        const auto* fdExt = static_cast<const clap_plugin_posix_fd_support_t*>(
            plugin->get_extension(plugin, CLAP_EXT_POSIX_FD_SUPPORT));
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            const auto now = std::chrono::steady_clock::now();
            // Copies: the plug-in may register and unregister from its calls.
            for (auto [id, timer] : std::map<clap_id, Timer>(timers)) {
                if (timer.due > now || !timers.count(id)) continue;
                timers[id].due = now + std::chrono::milliseconds(timer.period);
                if (timerExt) timerExt->on_timer(plugin, id);
            }
            if (now >= end) break;
#if !defined(_WIN32)
            std::vector<pollfd> watched;
            for (auto [fd, flags] : fds)
                if (flags & CLAP_POSIX_FD_READ) watched.push_back({fd, POLLIN, 0});
            const int wait = int(std::clamp<long>(
                std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count(), 0, 5));
            if (watched.empty() || poll(watched.data(), watched.size(), wait) <= 0) {
                if (watched.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(wait));
                continue;
            }
            for (const pollfd& p : watched)
                if ((p.revents & POLLIN) && fds.count(p.fd) && fdExt)
                    fdExt->on_fd(plugin, p.fd, CLAP_POSIX_FD_READ);
#else
            (void)fdExt;  // the system's message loop drives a Windows editor
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
#endif
        }
    }

private:
    static TestHost* of(const clap_host_t* h) { return static_cast<TestHost*>(h->host_data); }

    static const void* extension(const clap_host_t* h, const char* id) {
        TestHost* self = of(h);
        const std::string name = id ? id : "";
        if (name == CLAP_EXT_PARAMS) return &self->params_;
        if (name == CLAP_EXT_STATE) return &self->state_;
        if (name == CLAP_EXT_LOG) return &self->log_;
        if (name == CLAP_EXT_PRESET_LOAD) return &self->presetLoad_;
        if (name == CLAP_EXT_GUI) return &self->gui_;
        if (name == CLAP_EXT_TIMER_SUPPORT && self->timers_) return &self->timerSupport_;
        if (name == CLAP_EXT_POSIX_FD_SUPPORT && self->fds_) return &self->fdSupport_;
        return nullptr;
    }

    bool timers_;
    bool fds_;
    clap_host_t host_{};
    clap_id nextTimer_ = 1;

    const clap_host_params_t params_ = {
        [](const clap_host_t* h, clap_param_rescan_flags) { of(h)->rescans++; },
        [](const clap_host_t*, clap_id, clap_param_clear_flags) {},
        [](const clap_host_t* h) {
            TestHost* self = of(h);
            self->flushRequests++;
            if (self->onRequestFlush) self->onRequestFlush();
        },
    };
    const clap_host_state_t state_ = {[](const clap_host_t* h) { of(h)->dirty++; }};
    const clap_host_log_t log_ = {
        [](const clap_host_t* h, clap_log_severity, const char* message) {
            of(h)->logs.push_back(message ? message : "");
        },
    };
    const clap_host_preset_load_t presetLoad_ = {
        [](const clap_host_t* h, std::uint32_t, const char*, const char*, std::int32_t,
           const char*) { of(h)->presetErrors++; },
        [](const clap_host_t* h, std::uint32_t, const char*, const char* key) {
            of(h)->presetsLoaded.push_back(key ? key : "");
        },
    };
    const clap_host_gui_t gui_ = {
        [](const clap_host_t*) {},
        [](const clap_host_t* h, std::uint32_t width, std::uint32_t height) -> bool {
            of(h)->resizes.push_back({width, height});
            return true;
        },
        [](const clap_host_t*) -> bool { return false; },
        [](const clap_host_t*) -> bool { return false; },
        [](const clap_host_t*, bool) {},
    };
    const clap_host_timer_support_t timerSupport_ = {
        [](const clap_host_t* h, std::uint32_t period, clap_id* id) -> bool {
            TestHost* self = of(h);
            if (!id || period == 0) return false;
            *id = self->nextTimer_++;
            self->timers[*id] = {
                period, std::chrono::steady_clock::now() + std::chrono::milliseconds(period)};
            return true;
        },
        [](const clap_host_t* h, clap_id id) -> bool { return of(h)->timers.erase(id) == 1; },
    };
    const clap_host_posix_fd_support_t fdSupport_ = {
        [](const clap_host_t* h, int fd, clap_posix_fd_flags_t flags) -> bool {
            return of(h)->fds.emplace(fd, flags).second;
        },
        [](const clap_host_t* h, int fd, clap_posix_fd_flags_t flags) -> bool {
            auto& fds = of(h)->fds;
            if (!fds.count(fd)) return false;
            fds[fd] = flags;
            return true;
        },
        [](const clap_host_t* h, int fd) -> bool { return of(h)->fds.erase(fd) == 1; },
    };
};

// One block's record: FRAMES of INS (COUNT of them) into OUT, with the
// events IN and OUT_EVENTS.
inline clap_process_t Block(std::uint32_t frames, clap_audio_buffer_t* ins, std::uint32_t count,
                            clap_audio_buffer_t* out, const clap_input_events_t* in,
                            const clap_output_events_t* outEvents) {
    clap_process_t p{};
    p.frames_count = frames;
    p.audio_inputs = ins;
    p.audio_outputs = out;
    p.audio_inputs_count = count;
    p.audio_outputs_count = 1;
    p.in_events = in;
    p.out_events = outEvents;
    return p;
}

// A plug-in made by a factory for a host, destroyed at the end.
class Instance {
public:
    Instance(const ClapFile& file, TestHost& host, const char* id = "com.quorbel.tarnwick")
        : plugin_(file.factory() ? file.factory()->create_plugin(file.factory(), host.record(), id)
                                 : nullptr) {}
    ~Instance() {
        if (plugin_) plugin_->destroy(plugin_);
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    const clap_plugin_t* operator->() const { return plugin_; }
    const clap_plugin_t* get() const { return plugin_; }
    explicit operator bool() const { return plugin_ != nullptr; }
    void forget() { plugin_ = nullptr; }  // the test destroyed it itself

    template <typename T>
    const T* ext(const char* id) const {
        return static_cast<const T*>(plugin_->get_extension(plugin_, id));
    }
    const clap_plugin_params_t* params() const {
        return ext<clap_plugin_params_t>(CLAP_EXT_PARAMS);
    }
    const clap_plugin_state_t* state() const { return ext<clap_plugin_state_t>(CLAP_EXT_STATE); }
    const clap_plugin_gui_t* gui() const { return ext<clap_plugin_gui_t>(CLAP_EXT_GUI); }

    double value(clap_id id) const {
        double v = -1.0;
        EXPECT_TRUE(params()->get_value(plugin_, id, &v));
        return v;
    }
    // The host's changes while not processing.
    OutEvents flush(const std::vector<AnyEvent>& events = {}) const {
        InEvents in;
        in.events = events;
        OutEvents out;
        params()->flush(plugin_, &in.list, &out.list);
        return out;
    }
    std::vector<std::uint8_t> save() const {
        MemoryStream s;
        EXPECT_TRUE(state()->save(plugin_, &s.out));
        return s.bytes;
    }

private:
    const clap_plugin_t* plugin_;
};

}  // namespace tarnwick::test
