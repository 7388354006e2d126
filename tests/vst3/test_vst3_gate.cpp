// The VST 3 bundle's module in a host of the tests' own: its audio against
// the VST 2 module's, both loaded as hosts load them; its saved state; and
// the controller's texts, parameters and program list.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "support/Vst3Host.h"
#include "vst/DAEffect.h"

namespace {

using namespace tarnwick::test::vst3;

constexpr double kRate = 48000.0;
constexpr int kFrames = 20000;
constexpr ParamID kProgram = 100;
constexpr int kMaxBlock = 4096;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

VstIntPtr plainHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

// Signal, and a key whose bursts open and close the gate, with a sample
// that is not a number and one that is infinite.
std::vector<std::vector<float>> Inputs() {
    std::vector<std::vector<float>> in(4, std::vector<float>(kFrames));
    for (int i = 0; i < kFrames; ++i) {
        const double t = i / kRate;
        in[0][i] = float(0.5 * std::sin(2 * M_PI * 220 * t));
        in[1][i] = float(0.4 * std::sin(2 * M_PI * 331 * t));
        const float burst = float((i / 3000) % 3) * 0.3f;
        in[2][i] = burst * float(std::sin(2 * M_PI * 60 * t));
        in[3][i] = burst * float(std::cos(2 * M_PI * 97 * t));
    }
    in[2][kFrames / 3] = std::numeric_limits<float>::quiet_NaN();
    in[3][kFrames / 2] = std::numeric_limits<float>::infinity();
    return in;
}

struct Timed {
    int frame;
    ParamID id;
    double value;
};

// How the key reaches the VST 3 gate from the frame a case names on.
enum class Key { Given, BusOff, NoBus, NoBuffers, OneChannel };

struct Case {
    const char* name;
    std::vector<Timed> changes;  // in order of frames
    Key key = Key::Given;
    int keyFrom = 0;  // from the first block at or after it
};

std::vector<Timed> Values(std::vector<std::pair<ParamID, double>> values) {
    std::vector<Timed> out;
    for (auto [id, v] : values) out.push_back({0, id, v});
    return out;
}

// Automation: curves on the threshold and the release, points every 37 and
// 53 frames, and a step of the attack.
std::vector<Timed> Curves() {
    std::vector<Timed> out;
    for (int f = 0; f < kFrames; ++f) {
        if (f % 37 == 0) out.push_back({f, 3, 0.05 + 0.3 * (0.5 + 0.5 * std::sin(f / 900.0))});
        if (f % 53 == 0) out.push_back({f, 2, 0.01 + 0.2 * (0.5 + 0.5 * std::cos(f / 1300.0))});
        if (f == 9001) out.push_back({f, 0, 0.3});
        if (f == 12001) out.push_back({f, 1, kNaN});  // taken as 0
    }
    return out;
}

// Program 5 gets its own values; programs change inside blocks; a NaN
// program is no program.
std::vector<Timed> Programs() {
    return {{0, kProgram, 5 / 15.0}, {1, 0, 0.002},           {1, 3, 0.3},
            {7001, kProgram, 0.0},   {10001, kProgram, kNaN}, {14003, kProgram, 5 / 15.0}};
}

// The VST 2 module, as a host sets it up, and given the same values: at the
// changes' frames, its blocks split there.
std::vector<std::vector<float>> RunVst2(AEffect* (*entry)(audioMasterCallback), const Case& c,
                                        int block, std::vector<std::vector<float>> in) {
    AEffect* e = entry(plainHost);
    e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, float(kRate));
    e->dispatcher(e, effSetBlockSize, 0, kMaxBlock, nullptr, 0.0f);
    // A host's values are set at the rate in force, as the VST 3 gate's are.
    for (VstInt32 i = 0; i < 6; ++i) e->setParameter(e, i, e->getParameter(e, i));
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
    if (c.key != Key::Given) {
        const int from = c.key == Key::BusOff ? 0 : (c.keyFrom + block - 1) / block * block;
        for (int ch : {2, 3})
            std::fill(in[ch].begin() + std::min(from, kFrames), in[ch].end(), 0.0f);
    }
    std::vector<std::vector<float>> out(2, std::vector<float>(kFrames));
    std::size_t next = 0;
    for (int pos = 0; pos < kFrames;) {
        for (; next < c.changes.size() && c.changes[next].frame <= pos; ++next) {
            const Timed& t = c.changes[next];
            if (t.id == kProgram && std::isnan(t.value)) continue;
            if (t.id == kProgram)
                e->dispatcher(e, effSetProgram, 0, VstIntPtr(std::lround(t.value * 15)), nullptr,
                              0.0f);
            else
                e->setParameter(e, VstInt32(t.id), float(t.value));
        }
        int end = std::min(kFrames, (pos / block + 1) * block);
        if (next < c.changes.size()) end = std::min(end, c.changes[next].frame);
        float* ins[4] = {&in[0][pos], &in[1][pos], &in[2][pos], &in[3][pos]};
        float* outs[2] = {&out[0][pos], &out[1][pos]};
        e->processReplacing(e, ins, outs, end - pos);
        pos = end;
    }
    e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    return out;
}

std::vector<std::vector<float>> RunVst3(Instance& gate, const Case& c, int block,
                                        std::vector<std::vector<float>> in) {
    SpeakerArrangement ins[2] = {SpeakerArr::kStereo, SpeakerArr::kStereo};
    SpeakerArrangement outs[1] = {SpeakerArr::kStereo};
    EXPECT_EQ(gate.processor->setBusArrangements(ins, 2, outs, 1), kResultOk);
    ProcessSetup setup{kRealtime, kSample32, kMaxBlock, kRate};
    EXPECT_EQ(gate.processor->setupProcessing(setup), kResultOk);
    if (c.key == Key::BusOff) {
        EXPECT_EQ(gate.component->activateBus(kAudio, kInput, 1, false), kResultOk);
    }
    EXPECT_EQ(gate.component->setActive(true), kResultOk);
    gate.processor->setProcessing(true);
    std::vector<std::vector<float>> out(2, std::vector<float>(kFrames));
    std::size_t next = 0;
    for (int pos = 0; pos < kFrames; pos += block) {
        const int n = std::min(block, kFrames - pos);
        ParameterChanges changes, meter;
        for (; next < c.changes.size() && c.changes[next].frame < pos + n; ++next)
            changes.Add(c.changes[next].id, c.changes[next].frame - pos, c.changes[next].value);
        float* key[2] = {&in[2][pos], &in[3][pos]};
        float* output[2] = {&out[0][pos], &out[1][pos]};
        float* signal[2] = {&in[0][pos], &in[1][pos]};
        if (pos / block % 2) {  // every other block in place, as hosts may
            for (int ch = 0; ch < 2; ++ch) std::copy_n(signal[ch], n, output[ch]);
            std::copy_n(output, 2, signal);
        }
        AudioBusBuffers buses[2], outBus;
        buses[0].numChannels = buses[1].numChannels = outBus.numChannels = 2;
        buses[0].channelBuffers32 = signal;
        buses[1].channelBuffers32 = key;
        outBus.channelBuffers32 = output;
        ProcessData data{kRealtime, kSample32, n, 2, 1, buses, &outBus, &changes, &meter};
        if (pos >= c.keyFrom) {
            if (c.key == Key::NoBus) data.numInputs = 1;
            if (c.key == Key::NoBuffers) buses[1].channelBuffers32 = nullptr;
            if (c.key == Key::OneChannel) {
                buses[1].numChannels = 1;
                key[1] = nullptr;
            }
        }
        EXPECT_EQ(gate.processor->process(data), kResultOk);
        // The meter's level, when it moved: once a block, within 0 to 1.
        for (ValueQueue& q : meter.queues)
            EXPECT_TRUE(q.id == 101 && q.points.size() == 1 && q.points[0].first == 0 &&
                        q.points[0].second >= 0.0 && q.points[0].second <= 1.0);
    }
    gate.processor->setProcessing(false);
    gate.component->setActive(false);
    return out;
}

class Vst3 : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(module_.factory) << module_.error; }
    // The gates gave back every reference to the host's objects.
    void TearDown() override {
        EXPECT_EQ(app_.refs, 1);
        EXPECT_EQ(handler_.refs, 1);
    }
    std::unique_ptr<Instance> Make() {
        auto gate = std::make_unique<Instance>(module_, app_, handler_);
        EXPECT_TRUE(gate->ready);
        return gate;
    }
    // Gives the gate CHANGES as a host does without audio (a parameter flush).
    void Flush(Instance& gate, std::vector<std::pair<ParamID, double>> changes) {
        ParameterChanges queues;
        for (auto [id, value] : changes) queues.Add(id, 0, value);
        ProcessData data{};
        data.inputParameterChanges = &queues;
        EXPECT_EQ(gate.processor->process(data), kResultOk);
    }

    Module module_{TARNWICK_VST3_MODULE};
    HostApplication app_;
    ComponentHandler handler_;
};

TEST_F(Vst3, ProcessesBitForBitAsTheVst2Module) {
    void* library = tarnwick::test::OpenModule(TARNWICK_VST_MODULE);
    ASSERT_NE(library, nullptr) << tarnwick::test::ModuleError();
    auto entry = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(
        tarnwick::test::ModuleSymbol(library, "VSTPluginMain"));
    ASSERT_NE(entry, nullptr);

    {  // What the component offers and takes: the key on bus 1, stereo, 32-bit samples.
        auto gate = Make();
        BusInfo key{};
        ASSERT_EQ(gate->component->getBusInfo(kAudio, kInput, 1, key), kResultOk);
        EXPECT_TRUE(key.busType == kAux && key.channelCount == 2);
        EXPECT_NE(gate->component->getBusInfo(kAudio, kInput, 2, key), kResultOk);
        EXPECT_EQ(gate->component->getBusCount(kAudio, kOutput), 1);
        EXPECT_EQ(gate->processor->canProcessSampleSize(kSample32), kResultOk);
        EXPECT_NE(gate->processor->canProcessSampleSize(kSample64), kResultOk);
        ProcessSetup doubles{kRealtime, kSample64, kMaxBlock, kRate};
        EXPECT_NE(gate->processor->setupProcessing(doubles), kResultOk);
        const SpeakerArrangement S = SpeakerArr::kStereo, M = SpeakerArr::kMono;
        const std::vector<SpeakerArrangement> arrangements[][2] = {
            {{S, M}, {S}}, {{M, S}, {S}},    {{S, S}, {M}}, {{S, S, S}, {S}},
            {{S}, {S}},    {{S, S}, {S, S}}, {{S, S}, {}},  {{S, S}, {S}}};
        for (const auto& [ins, outs] : arrangements) {
            std::vector<SpeakerArrangement> i = ins, o = outs;
            const bool accepted =
                gate->processor->setBusArrangements(i.data(), int32(i.size()), o.data(),
                                                    int32(o.size())) == kResultOk;
            const bool stereo = ins == std::vector<SpeakerArrangement>{S, S} &&
                                outs == std::vector<SpeakerArrangement>{S};
            EXPECT_EQ(accepted, stereo);
        }
    }

    const Case cases[] = {
        {"defaults", {}},
        {"fast attack, long release", Values({{0, 0.0005}, {1, 0.01}, {2, 0.9}})},
        {"threshold high", Values({{3, 0.8}})},
        {"threshold low", Values({{3, 0.02}})},
        {"envelope mode on", Values({{4, 1.0}, {2, 0.05}})},
        {"active off", Values({{5, 0.0}})},
        {"automation curves", Curves()},
        {"program changes", Programs()},
        {"key bus deactivated", Values({{3, 0.0}}), Key::BusOff},
        {"no key bus after 7000", Values({{2, 0.2}}), Key::NoBus, 7000},
        {"no key buffers after 7000", Values({{2, 0.2}}), Key::NoBuffers, 7000},
        {"one key channel after 7000", Values({{2, 0.2}}), Key::OneChannel, 7000},
    };
    const auto in = Inputs();
    for (const Case& c : cases) {
        for (int block : {1, 7, 64, 512, 4096}) {
            SCOPED_TRACE(testing::Message() << c.name << ", blocks of " << block);
            auto gate = Make();
            const auto got = RunVst3(*gate, c, block, in);
            const auto want = RunVst2(entry, c, block, in);
            for (int ch = 0; ch < 2; ++ch) {
                const auto differ = std::mismatch(
                    got[ch].begin(), got[ch].end(), want[ch].begin(),
                    [](float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; });
                EXPECT_EQ(differ.first, got[ch].end()) << "channel " << ch << " differs from frame "
                                                       << (differ.first - got[ch].begin());
            }
            // Every case is heard: the gate opened somewhere (or passes the signal).
            if (c.key == Key::Given || c.keyFrom > 0) {
                EXPECT_TRUE(
                    std::any_of(got[0].begin(), got[0].end(), [](float v) { return v != 0.0f; }));
            }
            // Activated again, the same gate starts afresh.
            if (std::all_of(c.changes.begin(), c.changes.end(),
                            [](auto& t) { return t.frame == 0; })) {
                EXPECT_EQ(RunVst3(*gate, c, block, in), want) << "activated again";
            }
        }
    }
    tarnwick::test::CloseModule(library);
}

// Bytes of the state record: a program's values and name.
std::size_t ValueAt(int program, int index) { return 12 + std::size_t(program) * 76 + 4 * index; }
std::size_t NameAt(int program) { return ValueAt(program, 6); }
float FloatAt(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    float v;
    std::memcpy(&v, &bytes[at], 4);
    return v;
}

TEST_F(Vst3, StateKeepsEveryProgramAndRefusesWhatIsNotAState) {
    auto first = Make();
    std::vector<std::uint8_t> named = first->State();
    ASSERT_EQ(named.size(), 12u + 16 * 76);
    for (int p = 0; p < 16; ++p) {
        const std::string name = "Take " + std::to_string(p * 7);
        std::memcpy(&named[NameAt(p)], name.c_str(), name.size() + 1);
    }
    MemoryStream namedStream(named);
    ASSERT_EQ(first->component->setState(&namedStream), kResultOk);
    // Programs are live: what is set while one is current is kept in it.
    Flush(*first, {{kProgram, 3 / 15.0}, {0, 0.125}, {3, 0.5}});
    Flush(*first, {{kProgram, 9 / 15.0}, {2, 0.75}, {4, 1.0}});
    Flush(*first, {{kProgram, 14 / 15.0}, {1, 0.25}, {5, 0.0}});
    const std::vector<std::uint8_t> saved = first->State();
    ASSERT_EQ(saved.size(), named.size());
    EXPECT_EQ(saved[8], 14);  // the current program
    EXPECT_EQ(FloatAt(saved, ValueAt(3, 0)), 0.125f);
    EXPECT_EQ(FloatAt(saved, ValueAt(3, 3)), 0.5f);
    EXPECT_EQ(FloatAt(saved, ValueAt(9, 2)), 0.75f);
    EXPECT_EQ(FloatAt(saved, ValueAt(9, 4)), 1.0f);
    EXPECT_EQ(FloatAt(saved, ValueAt(14, 1)), 0.25f);
    EXPECT_EQ(FloatAt(saved, ValueAt(14, 5)), 0.0f);
    EXPECT_EQ(FloatAt(saved, ValueAt(0, 0)), FloatAt(named, ValueAt(0, 0)));
    EXPECT_STREQ(reinterpret_cast<const char*>(&saved[NameAt(9)]), "Take 63");

    // On a fresh instance the same, byte for byte.
    auto second = Make();
    MemoryStream stream(saved);
    ASSERT_EQ(second->component->setState(&stream), kResultOk);
    EXPECT_EQ(second->State(), saved);
    // ... and through its controller.
    stream.pos = 0;
    ASSERT_EQ(second->controller->setComponentState(&stream), kResultOk);
    IEditController* controller = second->controller;
    EXPECT_EQ(controller->getParamNormalized(kProgram), 14 / 15.0);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(controller->getParamNormalized(ParamID(i)), FloatAt(saved, ValueAt(14, i))) << i;
    IUnitInfo* units = QueryAs<IUnitInfo>(controller);
    ASSERT_NE(units, nullptr);
    String128 name{};
    ASSERT_EQ(units->getProgramName(1, 9, name), kResultOk);
    EXPECT_EQ(Narrow(name), "Take 63");
    units->release();

    // What is not a whole, valid state is refused and changes nothing.
    const auto with = [&](std::size_t at, std::vector<std::uint8_t> bytes) {
        std::vector<std::uint8_t> out = saved;
        std::copy(bytes.begin(), bytes.end(), out.begin() + long(at));
        return out;
    };
    const auto floatBytes = [](float v) {
        std::vector<std::uint8_t> b(4);
        std::memcpy(b.data(), &v, 4);
        return b;
    };
    std::vector<std::uint8_t> longer = saved, unterminated = saved;
    longer.push_back(0);
    std::fill_n(unterminated.begin() + long(NameAt(4)), 52, 'x');
    const std::pair<const char*, std::vector<std::uint8_t>> bad[] = {
        {"empty", {}},
        {"truncated", {saved.begin(), saved.end() - 1}},
        {"only a header", {saved.begin(), saved.begin() + 12}},
        {"too long", longer},
        {"wrong signature", with(0, {'T', 'W', 'G', 'X'})},
        {"unknown version", with(4, {2, 0, 0, 0})},
        {"program 16", with(8, {16, 0, 0, 0})},
        {"NaN value", with(ValueAt(2, 1), floatBytes(std::numeric_limits<float>::quiet_NaN()))},
        {"value above 1", with(ValueAt(15, 5), floatBytes(1.5f))},
        {"negative value", with(ValueAt(0, 0), floatBytes(-0.25f))},
        {"name without end", unterminated},
    };
    const std::vector<std::uint8_t> before = second->State();
    Flush(*second, {{kProgram, 2 / 15.0}});  // the controller still shows program 14
    const std::vector<std::uint8_t> current = second->State();
    Flush(*second, {{kProgram, kNaN}});
    EXPECT_EQ(second->State(), current) << "a NaN program is no program";
    for (const auto& [why, bytes] : bad) {
        SCOPED_TRACE(why);
        MemoryStream badStream(bytes);
        EXPECT_NE(second->component->setState(&badStream), kResultOk);
        EXPECT_EQ(second->State(), current);
        badStream.pos = 0;
        EXPECT_NE(controller->setComponentState(&badStream), kResultOk);
        EXPECT_EQ(controller->getParamNormalized(kProgram), 14 / 15.0);
        EXPECT_EQ(controller->getParamNormalized(3), FloatAt(saved, ValueAt(14, 3)));
    }
    EXPECT_NE(second->component->setState(nullptr), kResultOk);
    EXPECT_NE(controller->setComponentState(nullptr), kResultOk);
    EXPECT_EQ(second->State(), current);
    EXPECT_NE(before, current);
}

TEST_F(Vst3, TheControllerNamesParametersValuesAndPrograms) {
    auto gate = Make();
    IEditController* c = gate->controller;
    const char* titles[] = {"Attack", "Hold", "Release", "Threshold", "Envelope mode", "Active"};
    ASSERT_EQ(c->getParameterCount(), 8);
    for (int i = 0; i < 8; ++i) {
        ParameterInfo info{};
        ASSERT_EQ(c->getParameterInfo(i, info), kResultOk);
        if (i < 6) {
            EXPECT_EQ(info.id, ParamID(i));
            EXPECT_EQ(Narrow(info.title), titles[i]);
            EXPECT_EQ(info.stepCount, i >= 4 ? 1 : 0) << titles[i];
            EXPECT_TRUE(info.flags & ParameterInfo::kCanAutomate);
            EXPECT_EQ(float(info.defaultNormalizedValue), float(c->getParamNormalized(info.id)));
        } else if (i == 6) {
            EXPECT_EQ(info.id, kProgram);
            EXPECT_EQ(info.stepCount, 15);
            EXPECT_TRUE(info.flags & ParameterInfo::kIsProgramChange);
        } else {
            EXPECT_TRUE(info.flags & ParameterInfo::kIsReadOnly);
        }
    }
    ParameterInfo none{};
    EXPECT_NE(c->getParameterInfo(8, none), kResultOk);
    EXPECT_NE(c->getParameterInfo(-1, none), kResultOk);

    const auto text = [&](ParamID id, double v) {
        String128 s{};
        EXPECT_EQ(c->getParamStringByValue(id, v, s), kResultOk);
        return Narrow(s);
    };
    const auto value = [&](ParamID id, const std::string& s, double& v) {
        std::u16string wide = Utf16(s);
        return c->getParamValueByString(id, wide.data(), v) == kResultOk;
    };
    EXPECT_EQ(text(0, 0.25), "250.0 ms");
    EXPECT_EQ(text(1, 0.1), "100.0 ms");
    EXPECT_EQ(text(2, 0.0), "0.0 ms");
    EXPECT_EQ(text(3, 0.0), "-inf dB");
    EXPECT_EQ(text(3, 0.5), "-6.0 dB");
    EXPECT_EQ(text(3, 1.0), "0.0 dB");
    EXPECT_EQ(text(4, 0.0), "Off");
    EXPECT_EQ(text(5, 1.0), "On");
    EXPECT_EQ(text(kProgram, 3 / 15.0), "Preset 3");
    double v = -1;
    EXPECT_TRUE(value(0, "250.0 ms", v));
    EXPECT_DOUBLE_EQ(v, 0.25);
    EXPECT_TRUE(value(2, "0.1 s", v));
    EXPECT_DOUBLE_EQ(v, 0.1);
    EXPECT_TRUE(value(3, "-inf dB", v));
    EXPECT_EQ(v, 0.0);
    EXPECT_TRUE(value(3, "-6.0 dB", v));
    EXPECT_DOUBLE_EQ(v, std::pow(10.0, -0.3));
    EXPECT_TRUE(value(4, "On", v));
    EXPECT_EQ(v, 1.0);
    EXPECT_TRUE(value(5, "Off", v));
    EXPECT_EQ(v, 0.0);
    EXPECT_TRUE(value(kProgram, "Preset 7", v));
    EXPECT_DOUBLE_EQ(v, 7 / 15.0);
    v = 0.5;
    EXPECT_FALSE(value(0, "loud", v));
    EXPECT_FALSE(value(3, "6 ms", v));
    EXPECT_FALSE(value(4, "maybe", v));
    EXPECT_FALSE(value(kProgram, "Preset 99", v));
    EXPECT_EQ(v, 0.5);
    // Each text reads back as a value that gives the same text.
    for (ParamID id = 0; id < 6; ++id)
        for (double x : {0.0, 0.0004, 0.01, 0.1234, 0.5, 0.77, 0.999, 1.0}) {
            const std::string shown = text(id, x);
            double back = -1;
            EXPECT_TRUE(value(id, shown, back)) << shown;
            EXPECT_EQ(text(id, back), shown) << id << " " << x;
        }

    IUnitInfo* units = QueryAs<IUnitInfo>(c);
    ASSERT_NE(units, nullptr);
    ASSERT_EQ(units->getProgramListCount(), 1);
    ProgramListInfo list{};
    ASSERT_EQ(units->getProgramListInfo(0, list), kResultOk);
    EXPECT_EQ(list.programCount, 16);
    UnitInfo unit{};
    ASSERT_EQ(units->getUnitInfo(0, unit), kResultOk);
    EXPECT_EQ(unit.programListId, list.id);
    String128 name{};
    for (int p = 0; p < 16; ++p) {
        ASSERT_EQ(units->getProgramName(list.id, p, name), kResultOk);
        EXPECT_EQ(Narrow(name), "Preset " + std::to_string(p));
    }
    EXPECT_NE(units->getProgramName(list.id, 16, name), kResultOk);
    EXPECT_NE(units->getProgramName(list.id + 1, 0, name), kResultOk);
    units->release();

    // A program chosen on the controller: the host is told to read the values again.
    ASSERT_EQ(c->setParamNormalized(kProgram, 4 / 15.0), kResultOk);
    EXPECT_EQ(c->getParamNormalized(kProgram), 4 / 15.0);
    EXPECT_NE(c->setParamNormalized(kProgram, kNaN), kResultOk);
    EXPECT_EQ(c->getParamNormalized(kProgram), 4 / 15.0);
    EXPECT_EQ(text(kProgram, kNaN), "Preset 0");
    EXPECT_EQ(c->normalizedParamToPlain(kProgram, kNaN), 0.0);
    ASSERT_FALSE(handler_.restarts.empty());
    EXPECT_TRUE(handler_.restarts.back() & kParamValuesChanged);
}

}  // namespace
