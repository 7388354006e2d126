#pragma once
// A VST 3 host of the tests' own: the module loaded as hosts load it
// (dlopen, ModuleEntry, GetPluginFactory), the component and the controller
// it names made and joined, and the host's side of the interfaces: memory
// streams, parameter changes, a component handler that records, a plug
// frame with a run loop, the host application. Host objects live in the
// test; their counts show whether the plug-in gave back every reference.

#include <poll.h>

#include <chrono>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "support/LoadedModule.h"
#include "vst3/Vst3Interfaces.h"

namespace tarnwick::test::vst3 {

using namespace tarnwick::vst3;

inline std::u16string Utf16(const std::string& text) { return {text.begin(), text.end()}; }
inline std::string Narrow(const char16* text) {
    std::string out;
    for (; text && *text; ++text) out += char(*text);
    return out;
}

// Reference counting (never deleting) and queryInterface for a host object
// offering INTERFACES; FUnknown is the first of them.
template <class... Interfaces>
class HostObject : public Interfaces... {
public:
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        using First = std::tuple_element_t<0, std::tuple<Interfaces...>>;
        *obj = nullptr;
        ((iidEqual(iid, Interfaces::iid.data()) && (*obj = static_cast<Interfaces*>(this))) || ...);
        if (!*obj && iidEqual(iid, FUnknown::iid.data())) *obj = static_cast<First*>(this);
        if (!*obj) return kNoInterface;
        ++refs;
        return kResultOk;
    }
    uint32 PLUGIN_API addRef() override { return uint32(++refs); }
    uint32 PLUGIN_API release() override { return uint32(--refs); }
    int refs = 1;  // the test's own
};

class MemoryStream final : public HostObject<IBStream> {
public:
    MemoryStream() = default;
    explicit MemoryStream(std::vector<std::uint8_t> data) : bytes(std::move(data)) {}
    tresult PLUGIN_API read(void* buffer, int32 n, int32* done) override {
        const auto count = std::min<std::size_t>(std::size_t(std::max(n, 0)), bytes.size() - pos);
        std::memcpy(buffer, bytes.data() + pos, count);
        pos += count;
        if (done) *done = int32(count);
        return kResultOk;
    }
    tresult PLUGIN_API write(void* buffer, int32 n, int32* done) override {
        if (n < 0) return kInvalidArgument;
        if (bytes.size() < pos + std::size_t(n)) bytes.resize(pos + std::size_t(n));
        std::memcpy(bytes.data() + pos, buffer, std::size_t(n));
        pos += std::size_t(n);
        if (done) *done = n;
        return kResultOk;
    }
    tresult PLUGIN_API seek(int64 to, int32 mode, int64* result) override {
        const int64 base = mode == kIBSeekSet   ? 0
                           : mode == kIBSeekCur ? int64(pos)
                                                : int64(bytes.size());
        if (base + to < 0 || base + to > int64(bytes.size())) return kInvalidArgument;
        pos = std::size_t(base + to);
        if (result) *result = int64(pos);
        return kResultOk;
    }
    tresult PLUGIN_API tell(int64* at) override {
        if (at) *at = int64(pos);
        return at ? kResultOk : kInvalidArgument;
    }
    std::vector<std::uint8_t> bytes;
    std::size_t pos = 0;
};

class ValueQueue final : public HostObject<IParamValueQueue> {
public:
    explicit ValueQueue(ParamID param) : id(param) {}
    ParamID PLUGIN_API getParameterId() override { return id; }
    int32 PLUGIN_API getPointCount() override { return int32(points.size()); }
    tresult PLUGIN_API getPoint(int32 index, int32& offset, ParamValue& value) override {
        if (index < 0 || index >= getPointCount()) return kResultFalse;
        std::tie(offset, value) = points[std::size_t(index)];
        return kResultOk;
    }
    tresult PLUGIN_API addPoint(int32 offset, ParamValue value, int32& index) override {
        index = getPointCount();
        points.emplace_back(offset, value);
        return kResultOk;
    }
    ParamID id;
    std::vector<std::pair<int32, ParamValue>> points;
};

class ParameterChanges final : public HostObject<IParameterChanges> {
public:
    int32 PLUGIN_API getParameterCount() override { return int32(queues.size()); }
    IParamValueQueue* PLUGIN_API getParameterData(int32 index) override {
        return index >= 0 && index < getParameterCount() ? &queues[std::size_t(index)] : nullptr;
    }
    IParamValueQueue* PLUGIN_API addParameterData(const ParamID& id, int32& index) override {
        for (index = 0; index < getParameterCount(); ++index)
            if (queues[std::size_t(index)].id == id) return &queues[std::size_t(index)];
        return &queues.emplace_back(id);
    }
    void Add(ParamID id, int32 offset, ParamValue value) {
        int32 index = 0;
        addParameterData(id, index)->addPoint(offset, value, index);
    }
    std::deque<ValueQueue> queues;  // addresses stay put as queues are added
};

// The editor's gestures as the host hears them; DURING acts from inside each.
class ComponentHandler final : public HostObject<IComponentHandler> {
public:
    struct Edit {
        char kind;  // 'b'egin, 'p'erform, 'e'nd
        ParamID id;
        ParamValue value;
    };
    tresult PLUGIN_API beginEdit(ParamID id) override { return Heard({'b', id, 0.0}); }
    tresult PLUGIN_API performEdit(ParamID id, ParamValue v) override {
        return Heard({'p', id, v});
    }
    tresult PLUGIN_API endEdit(ParamID id) override { return Heard({'e', id, 0.0}); }
    tresult PLUGIN_API restartComponent(int32 flags) override {
        restarts.push_back(flags);
        return kResultOk;
    }
    tresult Heard(const Edit& edit) {
        edits.push_back(edit);
        if (during) during(edit);
        return kResultOk;
    }
    std::vector<Edit> edits;
    std::vector<int32> restarts;
    std::function<void(const Edit&)> during;
};

class HostApplication final : public HostObject<IHostApplication> {
public:
    tresult PLUGIN_API getName(String128 name) override {
        const std::u16string text = u"Tarnwick test host";
        std::copy(text.begin(), text.end(), name);
        name[text.size()] = 0;
        return kResultOk;
    }
    tresult PLUGIN_API createInstance(TUID, TUID, void** obj) override {
        *obj = nullptr;
        return kNoInterface;
    }
};

// The host's window frame, with (by default) the host's run loop: the
// registered descriptors are polled and the timers fired by Run.
template <class... Extra>
class Frame final : public HostObject<IPlugFrame, Extra...> {
public:
    tresult PLUGIN_API resizeView(IPlugView* view, ViewRect* size) override {
        if (!view || !size) return kInvalidArgument;
        resizes.push_back(*size);
        return kResultOk;
    }
    std::vector<ViewRect> resizes;  // what the views asked for, in order

    tresult PLUGIN_API registerEventHandler(Linux::IEventHandler* h, Linux::FileDescriptor fd) {
        if (!h) return kInvalidArgument;
        h->addRef();
        handlers.push_back({h, fd});
        return kResultOk;
    }
    tresult PLUGIN_API unregisterEventHandler(Linux::IEventHandler* h) {
        return Drop(handlers, [h](const Watch& w) { return w.handler == h; });
    }
    tresult PLUGIN_API registerTimer(Linux::ITimerHandler* h, Linux::TimerInterval ms) {
        if (!h || ms == 0) return kInvalidArgument;
        h->addRef();
        timers.push_back(
            {h, std::chrono::milliseconds(ms), Clock::now() + std::chrono::milliseconds(ms)});
        return kResultOk;
    }
    tresult PLUGIN_API unregisterTimer(Linux::ITimerHandler* h) {
        return Drop(timers, [h](const Timer& t) { return t.handler == h; });
    }

    // The host's loop for MS milliseconds: each call finds its handler still
    // registered, as a handler may unregister others (or itself) in a call.
    void Run(int ms) {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        for (auto now = Clock::now(); now < end; now = Clock::now()) {
            auto next = end;
            for (const Timer& t : timers) next = std::min(next, t.due);
            std::vector<pollfd> fds;
            for (const Watch& w : handlers) fds.push_back({w.fd, POLLIN, 0});
            const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - now);
            poll(fds.data(), fds.size(), int(std::max<std::int64_t>(wait.count(), 0)));
            for (const pollfd& p : fds)
                if (p.revents)
                    for (const Watch& w : std::vector<Watch>(handlers))
                        if (w.fd == p.fd && Registered(handlers, w.handler))
                            w.handler->onFDIsSet(p.fd);
            for (const Timer& t : std::vector<Timer>(timers)) {
                if (t.due > Clock::now() || !Registered(timers, t.handler)) continue;
                for (Timer& live : timers)
                    if (live.handler == t.handler) live.due = Clock::now() + live.interval;
                t.handler->onTimer();
            }
        }
    }

    using Clock = std::chrono::steady_clock;
    struct Watch {
        Linux::IEventHandler* handler;
        int fd;
    };
    struct Timer {
        Linux::ITimerHandler* handler;
        std::chrono::milliseconds interval;
        Clock::time_point due;
    };
    std::vector<Watch> handlers;
    std::vector<Timer> timers;

private:
    template <class List, class Match>
    static tresult Drop(List& list, Match match) {
        for (auto i = list.begin(); i != list.end(); ++i)
            if (match(*i)) {
                auto* handler = i->handler;
                list.erase(i);
                handler->release();
                return kResultOk;
            }
        return kInvalidArgument;
    }
    template <class List, class Handler>
    static bool Registered(const List& list, Handler* handler) {
        for (const auto& entry : list)
            if (entry.handler == handler) return true;
        return false;
    }
};
using RunLoopFrame = Frame<Linux::IRunLoop>;
using PlainFrame = Frame<>;

// The module, loaded and entered; unloaded (ModuleExit, dlclose) when it goes.
class Module {
public:
    explicit Module(const char* path) : library_(OpenModule(path)) {
        if (!library_) {
            error = ModuleError();
            return;
        }
        auto entry = reinterpret_cast<ModuleEntryFunc>(ModuleSymbol(library_, kModuleEntryName));
        auto get = reinterpret_cast<GetFactoryProc>(ModuleSymbol(library_, kGetPluginFactoryName));
        if (!entry || !get || !entry(library_)) {
            error = "no ModuleEntry or GetPluginFactory, or ModuleEntry failed";
            return;
        }
        entered_ = true;
        IPluginFactory* plain = get();
        void* obj = nullptr;
        if (plain && plain->queryInterface(IPluginFactory3::iid.data(), &obj) == kResultOk)
            factory = static_cast<IPluginFactory3*>(obj);
        if (!factory) error = "no IPluginFactory3";
    }
    ~Module() {
        if (factory) factory->release();
        if (entered_) reinterpret_cast<ModuleExitFunc>(ModuleSymbol(library_, kModuleExitName))();
        if (library_) CloseModule(library_);
    }
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    // An object of the class CID as INTERFACE, or null.
    template <class Interface>
    Interface* Make(const char* cid) {
        void* obj = nullptr;
        return factory->createInstance(cid, Interface::iid.data(), &obj) == kResultOk
                   ? static_cast<Interface*>(obj)
                   : nullptr;
    }

    IPluginFactory3* factory = nullptr;
    std::string error;

private:
    void* library_;
    bool entered_ = false;
};

template <class Interface>
Interface* QueryAs(FUnknown* object) {
    void* obj = nullptr;
    return object && object->queryInterface(Interface::iid.data(), &obj) == kResultOk
               ? static_cast<Interface*>(obj)
               : nullptr;
}

// One instance of the module's audio class, as a host makes it: the
// component, its controller (the class it names), both initialized with the
// host's context, the component's state given to the controller and the
// host's handler set. Terminated and released when it goes.
class Instance {
public:
    Instance(Module& module, HostApplication& app, ComponentHandler& handler) {
        if (!module.factory) return;
        module.factory->setHostContext(&app);
        for (int32 i = 0; i < module.factory->countClasses(); ++i) {
            PClassInfo info;
            if (module.factory->getClassInfo(i, &info) == kResultOk &&
                std::strcmp(info.category, kVstAudioEffectClass) == 0)
                component = module.Make<IComponent>(info.cid);
        }
        if (!component || component->initialize(&app) != kResultOk) return;
        processor = QueryAs<IAudioProcessor>(component);
        TUID cid{};
        if (component->getControllerClassId(cid) == kResultOk)
            controller = module.Make<IEditController>(cid);
        if (!controller || controller->initialize(&app) != kResultOk) return;
        MemoryStream state;
        component->getState(&state);
        state.pos = 0;
        controller->setComponentState(&state);
        controller->setComponentHandler(&handler);
        ready = processor != nullptr;
    }
    ~Instance() {
        if (controller) {
            controller->setComponentHandler(nullptr);
            controller->terminate();
            controller->release();
        }
        if (processor) processor->release();
        if (component) {
            component->terminate();
            component->release();
        }
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    std::vector<std::uint8_t> State() {
        MemoryStream stream;
        return component->getState(&stream) == kResultOk ? stream.bytes
                                                         : std::vector<std::uint8_t>{};
    }

    IComponent* component = nullptr;
    IAudioProcessor* processor = nullptr;
    IEditController* controller = nullptr;
    bool ready = false;
};

}  // namespace tarnwick::test::vst3
