#include "vst3/GateComponent.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "driver/Parameters.h"
#include "vst3/Vst3Ids.h"

namespace tarnwick::vst3 {

namespace {

constexpr int32 kSignalBus = 0;
constexpr int32 kKeyBus = 1;

bool isStereo(const AudioBusBuffers& bus) {
    return bus.numChannels >= 2 && bus.channelBuffers32 && bus.channelBuffers32[0] &&
           bus.channelBuffers32[1];
}

// The host's queues as one ordered list, read as the block goes: at each
// step the earliest next point of any queue (the first queue's on a tie, so
// the host's order stands). Points of parameters the gate does not have are
// passed over; the program's value becomes the program's number.
class HostChanges final : public driver::ChangeSource {
public:
    static constexpr int32 kMaxQueues = 16;

    explicit HostChanges(IParameterChanges* changes) {
        const int32 count = changes ? changes->getParameterCount() : 0;
        for (int32 i = 0; i < count && queues_ < kMaxQueues; ++i) {
            IParamValueQueue* queue = changes->getParameterData(i);
            if (!queue) continue;
            const ParamID id = queue->getParameterId();
            int32 target;
            if (id < ParamID(driver::kNumParameters))
                target = int32(id);
            else if (id == kProgramParamId)
                target = driver::kProgramTarget;
            else
                continue;
            Queue& q = queue_[queues_++];
            q = {queue, target, queue->getPointCount(), 0};
        }
        advance();
    }

    const driver::Change* peek() override { return current_ ? &change_ : nullptr; }
    void pop() override {
        ++current_->next;
        advance();
    }

private:
    struct Queue {
        IParamValueQueue* queue;
        int32 target;
        int32 points;
        int32 next;
    };

    void advance() {
        current_ = nullptr;
        for (int32 i = 0; i < queues_; ++i) {
            Queue& q = queue_[i];
            int32 offset = 0;
            ParamValue value = 0.0;
            // A point the queue will not give is passed over.
            while (q.next < q.points && q.queue->getPoint(q.next, offset, value) != kResultOk)
                ++q.next;
            if (q.next >= q.points) continue;
            const auto at = std::uint32_t(std::max(offset, 0));
            if (current_ && at >= change_.offset) continue;
            current_ = &q;
            change_.offset = at;
            change_.target = q.target;
            // A NaN program stays NaN, which the driver takes for no program:
            // converted to int it would be undefined.
            if (q.target == driver::kProgramTarget && !std::isnan(value))
                change_.value = float(std::min(15, int(std::clamp(value, 0.0, 1.0) * 16.0)));
            else
                change_.value = float(value);
        }
    }

    Queue queue_[kMaxQueues]{};
    int32 queues_ = 0;
    Queue* current_ = nullptr;
    driver::Change change_{};
};

}  // namespace

GateComponent::GateComponent() = default;

tresult PLUGIN_API GateComponent::queryInterface(const TUID iid, void** obj) {
    return Answer<IComponent, IPluginBase, IAudioProcessor, IProcessContextRequirements>(iid, this,
                                                                                         obj);
}

tresult PLUGIN_API GateComponent::initialize(FUnknown*) {
    if (gate_) return kResultFalse;
    try {
        gate_ = std::make_unique<driver::Processor>(44100.0);
    } catch (...) {
        return kOutOfMemory;
    }
    return kResultOk;
}

tresult PLUGIN_API GateComponent::terminate() {
    gate_.reset();
    return kResultOk;
}

tresult PLUGIN_API GateComponent::getControllerClassId(TUID classId) {
    if (!classId) return kInvalidArgument;
    std::memcpy(classId, kControllerUid.data(), sizeof(TUID));
    return kResultOk;
}

tresult PLUGIN_API GateComponent::setIoMode(IoMode) { return kNotImplemented; }

int32 PLUGIN_API GateComponent::getBusCount(MediaType type, BusDirection dir) {
    if (type != kAudio) return 0;
    return dir == kInput ? 2 : dir == kOutput ? 1 : 0;
}

tresult PLUGIN_API GateComponent::getBusInfo(MediaType type, BusDirection dir, int32 index,
                                             BusInfo& bus) {
    if (type != kAudio || index < 0 || index >= getBusCount(type, dir)) return kInvalidArgument;
    bus.mediaType = kAudio;
    bus.direction = dir;
    bus.channelCount = 2;
    bus.flags = BusInfo::kDefaultActive;
    if (dir == kOutput) {
        bus.busType = kMain;
        CopyText(bus.name, "Output");
    } else if (index == kSignalBus) {
        bus.busType = kMain;
        CopyText(bus.name, "Input");
    } else {
        bus.busType = kAux;
        CopyText(bus.name, "Key");
    }
    return kResultOk;
}

tresult PLUGIN_API GateComponent::getRoutingInfo(RoutingInfo&, RoutingInfo&) {
    return kNotImplemented;
}

tresult PLUGIN_API GateComponent::activateBus(MediaType type, BusDirection dir, int32 index,
                                              TBool state) {
    if (type != kAudio || index < 0 || index >= getBusCount(type, dir)) return kInvalidArgument;
    if (dir == kInput && index == kKeyBus) keyBusActive_ = state != 0;
    return kResultOk;
}

tresult PLUGIN_API GateComponent::setActive(TBool state) {
    if (!gate_) return kNotInitialized;
    if (state) {
        // Activated again, the gate starts afresh (no envelope, no key peak
        // of before), keeping its programs.
        if (everActive_) gate_->restart(true);
        everActive_ = true;
        reportedKeyLevel_ = -1.0f;
        gate_->activate();
    } else {
        gate_->deactivate();
    }
    return kResultOk;
}

tresult PLUGIN_API GateComponent::setState(IBStream* state) {
    if (!gate_) return kNotInitialized;
    driver::GateState read;
    const tresult answer = ReadState(state, read);
    if (answer == kResultOk) gate_->setState(read);
    return answer;
}

tresult PLUGIN_API GateComponent::getState(IBStream* state) {
    if (!gate_) return kNotInitialized;
    const driver::StateBytes bytes = driver::EncodeState(gate_->state());
    return WriteStream(state, bytes) ? kResultOk : kResultFalse;
}

tresult PLUGIN_API GateComponent::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                     SpeakerArrangement* outputs, int32 numOuts) {
    // Stereo signal, stereo key, stereo out; the host then offers that.
    if (numIns != 2 || numOuts != 1 || !inputs || !outputs) return kResultFalse;
    const bool stereo = inputs[0] == SpeakerArr::kStereo && inputs[1] == SpeakerArr::kStereo &&
                        outputs[0] == SpeakerArr::kStereo;
    return stereo ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API GateComponent::getBusArrangement(BusDirection dir, int32 index,
                                                    SpeakerArrangement& arr) {
    if (index < 0 || index >= getBusCount(kAudio, dir)) return kInvalidArgument;
    arr = SpeakerArr::kStereo;
    return kResultOk;
}

tresult PLUGIN_API GateComponent::canProcessSampleSize(int32 symbolicSampleSize) {
    return symbolicSampleSize == kSample32 ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API GateComponent::setupProcessing(ProcessSetup& setup) {
    if (!gate_) return kNotInitialized;
    if (setup.symbolicSampleSize != kSample32) return kResultFalse;
    if (!(setup.sampleRate > 0.0) || !std::isfinite(setup.sampleRate)) return kInvalidArgument;
    gate_->setSampleRate(setup.sampleRate);
    return kResultOk;
}

tresult PLUGIN_API GateComponent::process(ProcessData& data) {
    if (!gate_) return kNotInitialized;
    if (data.symbolicSampleSize != kSample32) return kResultFalse;
    HostChanges changes(data.inputParameterChanges);
    const auto frames = std::uint32_t(std::max(data.numSamples, 0));
    // Without the main buses (a parameter flush) the changes still land.
    const bool audio = frames > 0 && data.numInputs > kSignalBus && data.numOutputs > 0 &&
                       data.inputs && data.outputs && isStereo(data.inputs[kSignalBus]) &&
                       isStereo(data.outputs[0]);
    if (!audio) {
        while (const driver::Change* change = changes.peek()) {
            if (change->target != driver::kProgramTarget)
                gate_->setParameter(change->target, change->value);
            else if (!std::isnan(change->value))  // no program
                gate_->setProgram(int32(change->value));
            changes.pop();
        }
        return kResultOk;
    }
    AudioBusBuffers& signal = data.inputs[kSignalBus];
    float* inputs[4] = {signal.channelBuffers32[0], signal.channelBuffers32[1], nullptr, nullptr};
    // An inactive or absent key is silence, as a VST 2 host gives it.
    if (keyBusActive_ && data.numInputs > kKeyBus && isStereo(data.inputs[kKeyBus])) {
        inputs[2] = data.inputs[kKeyBus].channelBuffers32[0];
        inputs[3] = data.inputs[kKeyBus].channelBuffers32[1];
    }
    float* outputs[2] = {data.outputs[0].channelBuffers32[0], data.outputs[0].channelBuffers32[1]};
    gate_->process(inputs, outputs, frames, &changes, true);
    data.outputs[0].silenceFlags = 0;
    reportKeyLevel(data);
    return kResultOk;
}

void GateComponent::reportKeyLevel(ProcessData& data) {
    // The editor's meter: the level once a block, and only when it moved.
    const float level = gate_->keyLevel();
    if (!data.outputParameterChanges || level == reportedKeyLevel_) return;
    int32 index = 0;
    IParamValueQueue* queue =
        data.outputParameterChanges->addParameterData(kKeyLevelParamId, index);
    if (queue && queue->addPoint(0, level, index) == kResultOk) reportedKeyLevel_ = level;
}

}  // namespace tarnwick::vst3
