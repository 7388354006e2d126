#include "Vst3Host.h"

#include <sys/stat.h>

#include <cstring>
#include <memory>

#include "EffectHost.h"
#include "vst3/Vst3Interfaces.h"

namespace tarnwick::host {

namespace {

using namespace tarnwick::vst3;

#if defined(_WIN32)
constexpr const char* kBinaryFolder = "/Contents/x86_64-win/";
constexpr const char* kBinarySuffix = ".vst3";
#else
constexpr const char* kBinaryFolder = "/Contents/x86_64-linux/";
constexpr const char* kBinarySuffix = ".so";
#endif

bool isDirectory(const std::string& path) {
    struct stat s {};
    return stat(path.c_str(), &s) == 0 && (s.st_mode & S_IFMT) == S_IFDIR;
}

// The binary inside a bundle ("X.vst3/Contents/<arch>/X.so"), or the file.
std::string binaryOf(std::string path) {
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
    if (!isDirectory(path)) return path;
    const std::size_t slash = path.find_last_of("/\\");
    std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    name.resize(name.size() - 5);  // ".vst3"
    return path + kBinaryFolder + name + kBinarySuffix;
}

std::string narrow(const char16* text) {
    std::string out;
    for (int i = 0; i < 128 && text[i]; ++i) out += text[i] < 0x80 ? char(text[i]) : '?';
    return out;
}

// The host's objects live on the stack of the one run: their counts are
// never what frees them.
#define TARNWICK_HOST_OBJECT(Interface)                                                    \
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {               \
        if (iidEqual(iid, FUnknown::iid.data()) || iidEqual(iid, Interface::iid.data())) { \
            *obj = this;                                                                   \
            return kResultOk;                                                              \
        }                                                                                  \
        *obj = nullptr;                                                                    \
        return kNoInterface;                                                               \
    }                                                                                      \
    uint32 PLUGIN_API addRef() override { return 1; }                                      \
    uint32 PLUGIN_API release() override { return 1; }

class Application final : public IHostApplication {
public:
    TARNWICK_HOST_OBJECT(IHostApplication)
    tresult PLUGIN_API getName(String128 name) override {
        const char* text = kHostProduct;
        int i = 0;
        for (; text[i] && i < 127; ++i) name[i] = char16(text[i]);
        name[i] = 0;
        return kResultOk;
    }
    tresult PLUGIN_API createInstance(TUID, TUID, void** obj) override {
        *obj = nullptr;
        return kResultFalse;
    }
};

// One point for one parameter: the first block's program and settings.
class Queue final : public IParamValueQueue {
public:
    TARNWICK_HOST_OBJECT(IParamValueQueue)
    Queue(ParamID id, ParamValue value) : id_(id), value_(value) {}
    ParamID PLUGIN_API getParameterId() override { return id_; }
    int32 PLUGIN_API getPointCount() override { return 1; }
    tresult PLUGIN_API getPoint(int32 index, int32& offset, ParamValue& value) override {
        if (index != 0) return kResultFalse;
        offset = 0;
        value = value_;
        return kResultOk;
    }
    tresult PLUGIN_API addPoint(int32, ParamValue, int32&) override { return kResultFalse; }

private:
    ParamID id_;
    ParamValue value_;
};

class Changes final : public IParameterChanges {
public:
    TARNWICK_HOST_OBJECT(IParameterChanges)
    std::vector<Queue> queues;
    int32 PLUGIN_API getParameterCount() override { return int32(queues.size()); }
    IParamValueQueue* PLUGIN_API getParameterData(int32 index) override {
        return index >= 0 && index < int32(queues.size()) ? &queues[std::size_t(index)] : nullptr;
    }
    IParamValueQueue* PLUGIN_API addParameterData(const ParamID&, int32&) override {
        return nullptr;
    }
};

template <class Interface>
Interface* query(FUnknown* object) {
    void* obj = nullptr;
    if (!object || object->queryInterface(Interface::iid.data(), &obj) != kResultOk) return nullptr;
    return static_cast<Interface*>(obj);
}

}  // namespace

bool IsVst3(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && (p.back() == '/' || p.back() == '\\')) p.pop_back();
    return p.size() > 5 && p.compare(p.size() - 5, 5, ".vst3") == 0;
}

struct HostedVst3::Impl {
    void* module = nullptr;
    IComponent* component = nullptr;
    IAudioProcessor* processor = nullptr;
    IEditController* controller = nullptr;
    Application application;
    Changes first;
    bool firstBlock = true;
    bool active = false;
    ProcessContext context{};

    ~Impl() {
        if (controller) {
            controller->terminate();
            controller->release();
        }
        if (processor) processor->release();
        if (component) {
            component->terminate();
            component->release();
        }
        if (module) {
#if !defined(_WIN32)
            if (auto exit = reinterpret_cast<ModuleExitFunc>(moduleSymbol(module, kModuleExitName)))
                exit();
#else
            if (auto exit = reinterpret_cast<ExitModuleFunc>(moduleSymbol(module, kExitDllName)))
                exit();
#endif
            unloadModule(module);
        }
    }
};

HostedVst3::HostedVst3(const std::string& path) : impl_(new Impl) {
    std::unique_ptr<Impl> guard(impl_);
    const std::string binary = binaryOf(path);
    std::string error;
    impl_->module = loadModule(binary, error);
    if (!impl_->module) throw HostError("cannot load " + binary + ": " + error);
#if !defined(_WIN32)
    auto entry = reinterpret_cast<ModuleEntryFunc>(moduleSymbol(impl_->module, kModuleEntryName));
    if (!entry || !entry(impl_->module)) throw HostError(binary + ": ModuleEntry failed");
#else
    if (auto init = reinterpret_cast<InitModuleFunc>(moduleSymbol(impl_->module, kInitDllName));
        init && !init())
        throw HostError(binary + ": InitDll failed");
#endif
    auto getFactory =
        reinterpret_cast<GetFactoryProc>(moduleSymbol(impl_->module, kGetPluginFactoryName));
    IPluginFactory* factory = getFactory ? getFactory() : nullptr;
    if (!factory) throw HostError(binary + " exports no VST 3 factory");
    // The first audio effect class, and the controller it names.
    const int32 classes = factory->countClasses();
    for (int32 i = 0; i < classes && i < kMaxParamsOrPrograms && !impl_->component; ++i) {
        PClassInfo info{};
        if (factory->getClassInfo(i, &info) != kResultOk) continue;
        info.category[sizeof info.category - 1] = 0;
        if (std::strcmp(info.category, kVstAudioEffectClass) != 0) continue;
        void* obj = nullptr;
        if (factory->createInstance(info.cid, IComponent::iid.data(), &obj) == kResultOk && obj)
            impl_->component = static_cast<IComponent*>(obj);
    }
    factory->release();
    if (!impl_->component) throw HostError(binary + " has no audio effect");
    if (impl_->component->initialize(&impl_->application) != kResultOk)
        throw HostError(binary + ": the component did not initialise");
    impl_->processor = query<IAudioProcessor>(impl_->component);
    if (!impl_->processor) throw HostError(binary + ": the component processes no audio");
    TUID controllerId{};
    impl_->controller = query<IEditController>(impl_->component);
    if (!impl_->controller && impl_->component->getControllerClassId(controllerId) == kResultOk) {
        factory = getFactory();
        void* obj = nullptr;
        if (factory->createInstance(controllerId, IEditController::iid.data(), &obj) == kResultOk)
            impl_->controller = static_cast<IEditController*>(obj);
        factory->release();
        if (impl_->controller && impl_->controller->initialize(&impl_->application) != kResultOk) {
            impl_->controller->release();
            impl_->controller = nullptr;
        }
    }
    if (!impl_->controller) throw HostError(binary + " has no edit controller");
    guard.release();
}

HostedVst3::~HostedVst3() {
    stop();
    delete impl_;
}

std::uint32_t HostedVst3::parameter(const std::string& name,
                                    const std::vector<const char*>& roles) {
    const int32 count = impl_->controller->getParameterCount();
    for (int32 i = 0; i < count && i < kMaxParamsOrPrograms; ++i) {
        ParameterInfo info{};
        if (impl_->controller->getParameterInfo(i, info) != kResultOk) continue;
        info.title[127] = 0;
        if (narrow(info.title) == name) return info.id;
    }
    for (std::size_t i = 0; i < roles.size(); ++i)
        if (name == roles[i]) return std::uint32_t(i);
    throw HostError("unknown parameter: " + name);
}

void HostedVst3::start(double rate, std::int32_t block, std::optional<std::int64_t> program,
                       const std::vector<std::pair<std::uint32_t, float>>& settings) {
    SpeakerArrangement in[2] = {SpeakerArr::kStereo, SpeakerArr::kStereo};
    SpeakerArrangement out[1] = {SpeakerArr::kStereo};
    if (impl_->processor->setBusArrangements(in, 2, out, 1) != kResultTrue)
        throw HostError("the effect takes no stereo signal and key");
    ProcessSetup setup{kOffline, kSample32, block, rate};
    if (impl_->processor->setupProcessing(setup) != kResultOk)
        throw HostError("the effect cannot process at this rate and block size");
    impl_->component->activateBus(kAudio, kInput, 1, 1);
    // The program as the program-change parameter, then the settings.
    if (program) {
        const int32 count = impl_->controller->getParameterCount();
        for (int32 i = 0; i < count && i < kMaxParamsOrPrograms; ++i) {
            ParameterInfo info{};
            if (impl_->controller->getParameterInfo(i, info) != kResultOk ||
                !(info.flags & ParameterInfo::kIsProgramChange) || info.stepCount <= 0)
                continue;
            if (*program > info.stepCount)
                throw HostError("program out of range: " + std::to_string(*program));
            impl_->first.queues.emplace_back(info.id, double(*program) / info.stepCount);
            break;
        }
    }
    for (const auto& [id, value] : settings) impl_->first.queues.emplace_back(id, value);
    impl_->component->setActive(1);
    impl_->processor->setProcessing(1);
    impl_->active = true;
}

void HostedVst3::process(float* const* inputs, float* const* outputs, std::int32_t frames) {
    float* signal[2] = {inputs[0], inputs[1]};
    float* key[2] = {inputs[2], inputs[3]};
    float* out[2] = {outputs[0], outputs[1]};
    AudioBusBuffers in[2];
    in[0].numChannels = 2;
    in[0].channelBuffers32 = signal;
    in[1].numChannels = 2;
    in[1].channelBuffers32 = key;
    AudioBusBuffers output;
    output.numChannels = 2;
    output.channelBuffers32 = out;
    Changes none;
    ProcessData data;
    data.processMode = kOffline;
    data.numSamples = frames;
    data.numInputs = 2;
    data.numOutputs = 1;
    data.inputs = in;
    data.outputs = &output;
    data.inputParameterChanges = impl_->firstBlock ? &impl_->first : &none;
    data.processContext = &impl_->context;
    if (impl_->processor->process(data) != kResultOk) throw HostError("the effect failed a block");
    impl_->firstBlock = false;
}

void HostedVst3::stop() {
    if (!impl_->active) return;
    impl_->active = false;
    impl_->processor->setProcessing(0);
    impl_->component->setActive(0);
}

}  // namespace tarnwick::host
