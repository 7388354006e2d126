// Tarnwick.clap loaded as a CLAP host loads it, against the VST 2 module fed
// the same blocks and values: what it describes, its samples bit for bit,
// its state, its texts and its presets.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "clap/ClapTestHost.h"
#include "support/AllocationCounter.h"
#include "vst/DAEffect.h"

namespace {

using namespace tarnwick::test;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// The VST 2 module's effect as a VST 2 host drives it.
class Vst2Gate {
public:
    Vst2Gate(void* module, double rate) {
        auto main = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(
            ModuleSymbol(module, "VSTPluginMain"));
        e_ = main(&host);
        e_->dispatcher(e_, effOpen, 0, 0, nullptr, 0.0f);
        e_->dispatcher(e_, effSetSampleRate, 0, 0, nullptr, float(rate));
        e_->dispatcher(e_, effSetBlockSize, 0, 4096, nullptr, 0.0f);
        e_->dispatcher(e_, effMainsChanged, 0, 1, nullptr, 0.0f);
    }
    ~Vst2Gate() {
        e_->dispatcher(e_, effMainsChanged, 0, 0, nullptr, 0.0f);
        e_->dispatcher(e_, effClose, 0, 0, nullptr, 0.0f);
    }
    void set(int index, float value) { e_->setParameter(e_, index, value); }
    float get(int index) { return e_->getParameter(e_, index); }
    void process(float* const* in, float* const* out, std::size_t n) {
        float* i[4] = {in[0], in[1], in[2], in[3]};
        float* o[2] = {out[0], out[1]};
        if (n) e_->processReplacing(e_, i, o, VstInt32(n));
    }

private:
    static VstIntPtr host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
        return opcode == audioMasterVersion ? 2400 : 0;
    }
    AEffect* e_;
};

// Signal, a key with bursts that open and close the gate, and key samples
// that are not finite.
std::vector<std::vector<float>> inputs(std::size_t frames, double rate) {
    std::vector<std::vector<float>> in(4, std::vector<float>(frames));
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = double(i) / rate;
        in[0][i] = float(0.5 * std::sin(2 * M_PI * 220 * t));
        in[1][i] = float(0.4 * std::sin(2 * M_PI * 331 * t));
        const float burst = float((i / 2500) % 3) * 0.3f;
        in[2][i] = burst * float(std::sin(2 * M_PI * 60 * t));
        in[3][i] = burst * float(std::cos(2 * M_PI * 97 * t));
    }
    in[2][frames / 3] = kNaN;
    in[3][frames / 2] = kInf;
    return in;
}

// Values the host sends, ordinary and careless.
const std::vector<std::vector<float>> kRows = {
    {0.01f, 0.0f, 0.05f, 0.3f, 0.0f, 1.0f},  {0.1f, 0.1f, 0.1f, 0.5f, 0.0f, 1.0f},
    {kNaN, 0.2f, kInf, 0.25f, 1.0f, 1.0f},   {-kInf, -0.5f, 1.5f, 2.0f, 0.0f, 1.0f},
    {0.02f, 1e-40f, 0.5f, 0.1f, 1.0f, 0.0f}, {0.005f, 0.02f, 0.03f, 0.35f, 0.0f, 1.0f},
    {0.3f, 0.01f, 0.01f, 0.2f, 0.0f, 1.0f},
};

struct Gate : ::testing::Test {
    void SetUp() override {
        vst_ = OpenModule(TARNWICK_VST_MODULE);
        ASSERT_NE(vst_, nullptr) << ModuleError();
        ASSERT_NE(file_.factory(), nullptr) << ModuleError();
    }
    void TearDown() override {
        if (vst_) CloseModule(vst_);
    }
    void* vst_ = nullptr;
    ClapFile file_{TARNWICK_CLAP_FILE};
    TestHost host_;
};

TEST_F(Gate, DescribesOneGateWithASignalPortAKeyPortAndSixParameters) {
    const clap_plugin_entry_t* entry = file_.entry();
    EXPECT_TRUE(clap_version_is_compatible(entry->clap_version));
    EXPECT_EQ(entry->get_factory("no.such.factory"), nullptr);
    const clap_plugin_factory_t* f = file_.factory();
    ASSERT_EQ(f->get_plugin_count(f), 1u);
    EXPECT_EQ(f->get_plugin_descriptor(f, 1), nullptr);
    const clap_plugin_descriptor_t* d = f->get_plugin_descriptor(f, 0);
    EXPECT_STREQ(d->id, "com.quorbel.tarnwick");
    EXPECT_STREQ(d->name, "QB Sidechain Gate");
    EXPECT_STREQ(d->version, "1.0.0");
    std::vector<std::string> features;
    for (const char* const* p = d->features; *p; ++p) features.push_back(*p);
    EXPECT_EQ(features, (std::vector<std::string>{"audio-effect", "gate", "stereo"}));
    EXPECT_EQ(f->create_plugin(f, host_.record(), "com.other.plugin"), nullptr);
    EXPECT_EQ(f->create_plugin(f, nullptr, d->id), nullptr);

    Instance gate(file_, host_);
    ASSERT_TRUE(gate);
    ASSERT_TRUE(gate->init(gate.get()));
    EXPECT_FALSE(gate->init(gate.get())) << "a second init";
    EXPECT_EQ(gate->get_extension(gate.get(), "clap.no-such-extension"), nullptr);

    const auto* ports = gate.ext<clap_plugin_audio_ports_t>(CLAP_EXT_AUDIO_PORTS);
    ASSERT_NE(ports, nullptr);
    ASSERT_EQ(ports->count(gate.get(), true), 2u);
    ASSERT_EQ(ports->count(gate.get(), false), 1u);
    clap_audio_port_info_t signal{}, key{}, out{}, none{};
    ASSERT_TRUE(ports->get(gate.get(), 0, true, &signal));
    ASSERT_TRUE(ports->get(gate.get(), 1, true, &key));
    ASSERT_TRUE(ports->get(gate.get(), 0, false, &out));
    EXPECT_FALSE(ports->get(gate.get(), 2, true, &none));
    EXPECT_FALSE(ports->get(gate.get(), 1, false, &none));
    EXPECT_STREQ(signal.name, "Input");
    EXPECT_EQ(signal.flags, CLAP_AUDIO_PORT_IS_MAIN);
    EXPECT_EQ(signal.in_place_pair, out.id);
    EXPECT_STREQ(key.name, "Key");
    EXPECT_EQ(key.flags, 0u) << "the key is a side chain, not the main input";
    EXPECT_EQ(key.in_place_pair, CLAP_INVALID_ID);
    EXPECT_NE(key.id, signal.id);
    for (const auto* p : {&signal, &key, &out}) {
        EXPECT_EQ(p->channel_count, 2u);
        EXPECT_STREQ(p->port_type, CLAP_PORT_STEREO);
    }
    const auto* notes = gate.ext<clap_plugin_note_ports_t>(CLAP_EXT_NOTE_PORTS);
    EXPECT_EQ(notes->count(gate.get(), true) + notes->count(gate.get(), false), 0u);
    EXPECT_EQ(gate.ext<clap_plugin_latency_t>(CLAP_EXT_LATENCY)->get(gate.get()), 0u);
    EXPECT_EQ(gate.ext<clap_plugin_tail_t>(CLAP_EXT_TAIL)->get(gate.get()), 0u);

    // The parameters: the VST 2 effect's six, with its defaults.
    Vst2Gate reference(vst_, 44100.0);
    const auto* params = gate.params();
    ASSERT_EQ(params->count(gate.get()), 6u);
    const char* names[] = {"Attack", "Hold", "Release", "Threshold", "Envelope mode", "Active"};
    for (std::uint32_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        clap_param_info_t info{};
        ASSERT_TRUE(params->get_info(gate.get(), i, &info));
        EXPECT_EQ(info.id, i);
        EXPECT_STREQ(info.name, names[i]);
        EXPECT_EQ(info.min_value, 0.0);
        EXPECT_EQ(info.max_value, 1.0);
        EXPECT_EQ(info.default_value, double(reference.get(int(i))));
        EXPECT_EQ(gate.value(i), info.default_value);
        EXPECT_TRUE(info.flags & CLAP_PARAM_IS_AUTOMATABLE);
        EXPECT_EQ(bool(info.flags & CLAP_PARAM_IS_STEPPED), i >= 4) << "the switches are stepped";
    }
    clap_param_info_t info{};
    EXPECT_FALSE(params->get_info(gate.get(), 6, &info));
    double v = 0.0;
    EXPECT_FALSE(params->get_value(gate.get(), 6, &v));

    EXPECT_FALSE(gate->activate(gate.get(), 0.0, 1, 4096));
    EXPECT_FALSE(gate->activate(gate.get(), std::nan(""), 1, 4096));
    EXPECT_FALSE(gate->start_processing(gate.get())) << "not active";
    ASSERT_TRUE(gate->activate(gate.get(), 48000.0, 1, 4096));
    EXPECT_FALSE(gate->activate(gate.get(), 48000.0, 1, 4096)) << "active already";
    gate->deactivate(gate.get());
    gate->deactivate(gate.get());
}

// Blocks of changing sizes with events on their samples, against the VST 2
// module split at the same samples: in place or not, the key connected,
// left out, without buffers or mono, changes by flush between blocks, a
// reset, and a new activation at another rate.
TEST_F(Gate, ProcessesBitForBitAsTheVst2Module) {
    Instance gate(file_, host_);
    ASSERT_TRUE(gate && gate->init(gate.get()));
    long processAllocations = 0;
#if !defined(_WIN32)
    // (A Windows module allocates from a runtime of its own, out of the counter's sight.)
    const long beforeMaking = Allocations();
    {
        Instance counted(file_, host_);
        EXPECT_GT(Allocations(), beforeMaking) << "the counter sees the module's allocations";
    }
#endif
    for (double rate : {44100.0, 96000.0}) {
        SCOPED_TRACE(rate);
        ASSERT_TRUE(gate->activate(gate.get(), rate, 1, 4096));
        ASSERT_TRUE(gate->start_processing(gate.get()));
        Vst2Gate reference(vst_, rate);
        // The values the CLAP plug-in holds now, which the reference takes.
        for (int i = 0; i < 6; ++i) reference.set(i, float(gate.value(clap_id(i))));

        const std::size_t frames = 50000;
        const auto in = inputs(frames, rate);
        std::vector<std::vector<float>> clapOut(2, std::vector<float>(frames)),
            vstOut(2, std::vector<float>(frames));
        std::vector<std::vector<float>> io(2, std::vector<float>(4096)),
            silence(2, std::vector<float>(4096, 0.0f));
        const std::size_t sizes[] = {1, 7, 64, 512, 4096, 7, 512, 64};
        InEvents events;
        events.events.reserve(64);
        OutEvents out;
        out.events.reserve(64);
        std::size_t pos = 0;
        for (std::size_t b = 0; pos < frames; ++b) {
            const std::size_t n = std::min(sizes[b % std::size(sizes)], frames - pos);
            const auto& row = kRows[b % kRows.size()];
            // Up to four changes at offsets across the block (0 and its last
            // sample among them), and events the gate passes over.
            events.events.clear();
            const std::size_t changes = b % 5;
            for (std::size_t k = 0; k < changes; ++k) {
                const std::uint32_t at = std::uint32_t(k == 0 ? 0 : k == 3 ? n - 1 : (k * n) / 3);
                const int param = int((b + k) % 6);
                events.events.push_back(ParamEvent(at, clap_id(param), double(row[param])));
                if (k == 1) events.events.push_back(NoteEvent(at));
                if (k == 2) events.events.push_back(ParamEvent(at, 99, 0.5));
            }
            // The reference: the block split at each change.
            float* vin[4] = {
                const_cast<float*>(in[0].data() + pos), const_cast<float*>(in[1].data() + pos),
                const_cast<float*>(in[2].data() + pos), const_cast<float*>(in[3].data() + pos)};
            const int keyMode = int(b % 4);  // 0 stereo, 1 no port, 2 no buffers, 3 mono
            if (keyMode == 1 || keyMode == 2) {
                vin[2] = silence[0].data();
                vin[3] = silence[1].data();
            } else if (keyMode == 3) {
                vin[3] = vin[2];
            }
            std::size_t done = 0;
            for (const AnyEvent& e : events.events) {
                if (e.header.type != CLAP_EVENT_PARAM_VALUE || e.value.param_id >= 6) continue;
                const std::size_t at = std::min<std::size_t>(e.header.time, n);
                float* i4[4] = {vin[0] + done, vin[1] + done, vin[2] + done, vin[3] + done};
                float* o2[2] = {vstOut[0].data() + pos + done, vstOut[1].data() + pos + done};
                reference.process(i4, o2, at - done);
                done = at;
                reference.set(int(e.value.param_id), float(e.value.value));
            }
            float* i4[4] = {vin[0] + done, vin[1] + done, vin[2] + done, vin[3] + done};
            float* o2[2] = {vstOut[0].data() + pos + done, vstOut[1].data() + pos + done};
            reference.process(i4, o2, n - done);

            // The plug-in, every other block in place.
            const bool inPlace = b % 2 == 1;
            float* signal[2] = {const_cast<float*>(in[0].data() + pos),
                                const_cast<float*>(in[1].data() + pos)};
            float* outs[2] = {clapOut[0].data() + pos, clapOut[1].data() + pos};
            if (inPlace) {
                for (int c = 0; c < 2; ++c) {
                    std::copy(signal[c], signal[c] + n, io[c].data());
                    signal[c] = outs[c] = io[c].data();
                }
            }
            float* keys[2] = {const_cast<float*>(in[2].data() + pos),
                              const_cast<float*>(in[3].data() + pos)};
            clap_audio_buffer_t ins[2] = {
                {signal, nullptr, 2, 0, 0},
                {keyMode == 2 ? nullptr : keys, nullptr, keyMode == 3 ? 1u : 2u, 0, 0}};
            clap_audio_buffer_t output = {outs, nullptr, 2, 0, ~0ull};
            clap_process_t p = Block(std::uint32_t(n), ins, keyMode == 1 ? 1 : 2, &output,
                                     &events.list, &out.list);
            p.steady_time = std::int64_t(pos);
            const long before = Allocations();
            ASSERT_EQ(gate->process(gate.get(), &p), CLAP_PROCESS_CONTINUE);
            processAllocations += Allocations() - before;
            EXPECT_EQ(output.constant_mask, 0u);
            if (inPlace)
                for (int c = 0; c < 2; ++c)
                    std::copy(io[c].data(), io[c].data() + n, clapOut[c].data() + pos);
            EXPECT_TRUE(out.events.empty()) << "no edits, no events out";
            pos += n;

            // Now and then a change between blocks, by flush on the audio thread.
            if (b % 9 == 4) {
                const float threshold = row[3] * 0.5f;
                gate.flush({ParamEvent(0, 3, threshold), ParamEvent(7, 0, row[0])});
                reference.set(3, threshold);
                reference.set(0, row[0]);
            }
        }
        for (int c = 0; c < 2; ++c)
            EXPECT_EQ(std::memcmp(clapOut[c].data(), vstOut[c].data(), frames * sizeof(float)), 0)
                << "channel " << c;
        for (int i = 0; i < 6; ++i) EXPECT_EQ(gate.value(clap_id(i)), double(reference.get(i)));

        // A change past the block's end lands after its last sample.
        {
            InEvents late;
            late.events = {ParamEvent(9000, 2, 0.75)};
            float* s[2] = {io[0].data(), io[1].data()};
            clap_audio_buffer_t one = {s, nullptr, 2, 0, 0};
            clap_audio_buffer_t o = {s, nullptr, 2, 0, 0};
            clap_process_t p = Block(16, &one, 1, &o, &late.list, &out.list);
            ASSERT_EQ(gate->process(gate.get(), &p), CLAP_PROCESS_CONTINUE);
            EXPECT_EQ(gate.value(2), 0.75);
        }

        // A reset while the gate is open (a loud key): from there the plug-in
        // plays as a new VST 2 effect with its values, on a quiet key.
        gate.flush({ParamEvent(0, 5, 1.0), ParamEvent(0, 2, 0.3), ParamEvent(0, 3, 0.1)});
        std::vector<float> a(2 * 4096), r(2 * 4096);
        float* ao[2] = {a.data(), a.data() + 4096};
        float* ro[2] = {r.data(), r.data() + 4096};
        float* loud[4] = {};
        for (int c = 0; c < 4; ++c) loud[c] = const_cast<float*>(in[c].data() + 5000);
        clap_audio_buffer_t ins[2] = {{loud, nullptr, 2, 0, 0}, {loud + 2, nullptr, 2, 0, 0}};
        clap_audio_buffer_t o = {ao, nullptr, 2, 0, 0};
        InEvents none;
        clap_process_t p = Block(2048, ins, 2, &o, &none.list, &out.list);
        ASSERT_EQ(gate->process(gate.get(), &p), CLAP_PROCESS_CONTINUE);
        gate->reset(gate.get());
        Vst2Gate fresh(vst_, rate);
        for (int i = 0; i < 6; ++i) fresh.set(i, float(gate.value(clap_id(i))));
        float* vin[4] = {const_cast<float*>(in[0].data()), const_cast<float*>(in[1].data()),
                         const_cast<float*>(in[2].data()), const_cast<float*>(in[3].data())};
        fresh.process(vin, ro, 4096);
        ins[0].data32 = vin;
        ins[1].data32 = vin + 2;
        p.frames_count = 4096;
        ASSERT_EQ(gate->process(gate.get(), &p), CLAP_PROCESS_CONTINUE);
        EXPECT_EQ(std::memcmp(a.data(), r.data(), a.size() * sizeof(float)), 0) << "after reset";
        // No signal buffers: silence out, and the changes still land.
        p.audio_inputs_count = 0;
        none.events = {ParamEvent(3, 1, 0.125)};
        ASSERT_EQ(gate->process(gate.get(), &p), CLAP_PROCESS_CONTINUE);
        EXPECT_EQ(gate.value(1), 0.125);
        EXPECT_TRUE(std::all_of(a.begin(), a.end(), [](float s) { return s == 0.0f; }));

        gate->stop_processing(gate.get());
        gate->deactivate(gate.get());
        EXPECT_EQ(gate->process(gate.get(), &p), CLAP_PROCESS_ERROR) << "not active";
    }
    EXPECT_EQ(processAllocations, 0) << "process allocated";
}

TEST_F(Gate, SavesAndLoadsTheSharedStateAndRefusesWhatIsNotOne) {
    Instance gate(file_, host_), other(file_, host_);
    ASSERT_TRUE(gate->init(gate.get()) && other->init(other.get()));
    const auto* presets = gate.ext<clap_plugin_preset_load_t>(CLAP_EXT_PRESET_LOAD);
    ASSERT_TRUE(
        presets->from_location(gate.get(), CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, "3"));
    gate.flush({ParamEvent(0, 0, 0.25), ParamEvent(0, 3, 0.75), ParamEvent(0, 5, 0.0)});
    const std::vector<std::uint8_t> saved = gate.save();
    ASSERT_EQ(saved.size(), 1228u);
    EXPECT_EQ(std::string(saved.begin(), saved.begin() + 4), "TWGS");
    EXPECT_EQ(saved[8], 3) << "the current program";

    // Read a byte at a time, the other instance becomes the same gate.
    MemoryStream in;
    in.bytes = saved;
    in.chunk = 1;
    const int rescansBefore = host_.rescans;
    ASSERT_TRUE(other.state()->load(other.get(), &in.in));
    EXPECT_GT(host_.rescans, rescansBefore) << "the host is told to read the values again";
    EXPECT_EQ(other.value(0), 0.25);
    EXPECT_EQ(other.value(3), 0.75);
    EXPECT_EQ(other.value(5), 0.0);
    EXPECT_EQ(other.save(), saved);
    // A state saved through a stream that takes 7 bytes a call is the same.
    MemoryStream slow;
    slow.chunk = 7;
    ASSERT_TRUE(gate.state()->save(gate.get(), &slow.out));
    EXPECT_EQ(slow.bytes, saved);
    MemoryStream broken;
    broken.failAfter = 100;
    broken.chunk = 64;
    EXPECT_FALSE(gate.state()->save(gate.get(), &broken.out));

    // Streams that are not a state: refused, with nothing changed.
    const auto refused = [&](std::vector<std::uint8_t> bytes, std::size_t failAfter = SIZE_MAX) {
        MemoryStream s;
        s.bytes = std::move(bytes);
        s.failAfter = failAfter;
        const std::size_t logsBefore = host_.logs.size();
        const bool loaded = other.state()->load(other.get(), &s.in);
        EXPECT_GT(host_.logs.size(), logsBefore) << "the host's log says why";
        return !loaded && other.save() == saved;
    };
    const auto changed = [&](std::size_t at, std::uint8_t value) {
        std::vector<std::uint8_t> bytes = saved;
        bytes[at] = value;
        return bytes;
    };
    EXPECT_TRUE(refused({}));
    EXPECT_TRUE(refused({saved.begin(), saved.begin() + 100}));
    EXPECT_TRUE(refused({saved.begin(), saved.end() - 1}));
    std::vector<std::uint8_t> longer = saved;
    longer.push_back(0);
    EXPECT_TRUE(refused(longer));
    EXPECT_TRUE(refused(changed(0, 'X')));
    EXPECT_TRUE(refused(changed(4, 99)));  // a later version
    EXPECT_TRUE(refused(changed(8, 16)));  // program 16
    std::vector<std::uint8_t> nan = saved;
    const float bad = kNaN;
    std::memcpy(nan.data() + 12, &bad, 4);
    EXPECT_TRUE(refused(nan));
    std::vector<std::uint8_t> unterminated = saved;
    std::fill(unterminated.begin() + 12 + 24, unterminated.begin() + 12 + 76, 'a');
    EXPECT_TRUE(refused(unterminated));
    EXPECT_TRUE(refused(saved, 600)) << "the stream fails midway";
    EXPECT_EQ(other.state()->load(other.get(), nullptr), false);
}

TEST_F(Gate, WritesAndReadsValuesInMillisecondsDecibelsAndOnOff) {
    Instance gate(file_, host_);
    ASSERT_TRUE(gate->init(gate.get()));
    const auto* params = gate.params();
    const auto text = [&](clap_id id, double value, std::uint32_t size = 64) {
        char buffer[64] = "untouched";
        if (!params->value_to_text(gate.get(), id, value, buffer, size)) return std::string("-");
        return std::string(buffer);
    };
    const auto value = [&](clap_id id, const char* t) {
        double v = -1.0;
        return params->text_to_value(gate.get(), id, t, &v) ? v : -1.0;
    };
    EXPECT_EQ(text(0, 0.1), "100.0 ms");
    EXPECT_EQ(text(2, 0.0125), "12.5 ms");
    EXPECT_EQ(text(3, 0.5), "-6.0 dB");
    EXPECT_EQ(text(3, 0.0), "-inf dB");
    EXPECT_EQ(text(4, 1.0), "On");
    EXPECT_EQ(text(5, 0.0), "Off");
    EXPECT_EQ(text(1, 7.0), "1000.0 ms") << "clamped";
    EXPECT_EQ(text(0, 0.1, 4), "100") << "cut to the buffer, terminated";
    EXPECT_EQ(text(0, 0.1, 0), "-");
    EXPECT_EQ(text(6, 0.5), "-");
    EXPECT_EQ(value(0, "250 ms"), 0.25);
    EXPECT_EQ(value(1, "0.5 s"), 0.5);
    EXPECT_EQ(value(2, "40"), 0.04);
    EXPECT_EQ(value(3, "-inf"), 0.0);
    EXPECT_NEAR(value(3, "-6 dB"), 0.501187, 1e-6);
    EXPECT_EQ(value(4, "On"), 1.0);
    EXPECT_EQ(value(5, "off"), 0.0);
    EXPECT_EQ(value(0, "fast"), -1.0);
    EXPECT_EQ(value(4, "maybe"), -1.0);
    EXPECT_EQ(value(7, "1"), -1.0);
    double v = 0.0;
    EXPECT_FALSE(params->text_to_value(gate.get(), 0, nullptr, &v));
    // Each text reads back as its value, to the text's precision.
    for (clap_id id = 0; id < 6; ++id)
        for (double x : {0.0, 0.0375, 0.3, 0.77, 1.0}) {
            const double back = value(id, text(id, x).c_str());
            if (id >= 4)
                EXPECT_EQ(back, x >= 0.5 ? 1.0 : 0.0);
            else if (id == 3)
                EXPECT_NEAR(20 * std::log10(std::max(back, 1e-9)),
                            20 * std::log10(std::max(x, 1e-9)), x == 0.0 ? 1e9 : 0.05);
            else
                EXPECT_NEAR(back, x, 0.00005) << id << " " << x;
        }
}

TEST_F(Gate, ListsTheSixteenProgramsAsPresetsInsideThePluginAndLoadsThem) {
    const auto* factory = static_cast<const clap_preset_discovery_factory_t*>(
        file_.entry()->get_factory(CLAP_PRESET_DISCOVERY_FACTORY_ID));
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(file_.entry()->get_factory(CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT), factory);
    ASSERT_EQ(factory->count(factory), 1u);
    const auto* desc = factory->get_descriptor(factory, 0);
    ASSERT_NE(desc, nullptr);
    EXPECT_EQ(factory->get_descriptor(factory, 1), nullptr);

    // An indexer and a receiver of the test's own.
    struct Found {
        std::vector<clap_preset_discovery_location_t> locations;
        std::vector<std::string> names, keys, plugins;
    } found;
    clap_preset_discovery_indexer_t indexer{};
    indexer.clap_version = CLAP_VERSION;
    indexer.name = "test";
    indexer.indexer_data = &found;
    indexer.declare_location = [](const clap_preset_discovery_indexer_t* i,
                                  const clap_preset_discovery_location_t* l) {
        static_cast<Found*>(i->indexer_data)->locations.push_back(*l);
        return true;
    };
    indexer.get_extension = [](const clap_preset_discovery_indexer_t*, const char*) -> const void* {
        return nullptr;
    };
    EXPECT_EQ(factory->create(factory, &indexer, "no.such.provider"), nullptr);
    const clap_preset_discovery_provider_t* provider = factory->create(factory, &indexer, desc->id);
    ASSERT_NE(provider, nullptr);
    ASSERT_TRUE(provider->init(provider));
    ASSERT_EQ(found.locations.size(), 1u);
    EXPECT_EQ(found.locations[0].kind, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN);
    EXPECT_EQ(found.locations[0].location, nullptr);

    clap_preset_discovery_metadata_receiver_t receiver{};
    receiver.receiver_data = &found;
    receiver.begin_preset = [](const clap_preset_discovery_metadata_receiver_t* r, const char* name,
                               const char* key) {
        static_cast<Found*>(r->receiver_data)->names.push_back(name);
        static_cast<Found*>(r->receiver_data)->keys.push_back(key);
        return true;
    };
    receiver.add_plugin_id = [](const clap_preset_discovery_metadata_receiver_t* r,
                                const clap_universal_plugin_id_t* id) {
        static_cast<Found*>(r->receiver_data)
            ->plugins.push_back(std::string(id->abi) + ":" + id->id);
    };
    receiver.set_flags = [](const clap_preset_discovery_metadata_receiver_t*, std::uint32_t) {};
    // (The provider calls nothing else of the receiver: the rest stays null.)
    EXPECT_FALSE(
        provider->get_metadata(provider, CLAP_PRESET_DISCOVERY_LOCATION_FILE, "/tmp", &receiver));
    ASSERT_TRUE(provider->get_metadata(provider, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr,
                                       &receiver));
    ASSERT_EQ(found.names.size(), 16u);
    for (int p = 0; p < 16; ++p) {
        EXPECT_EQ(found.names[p], "Preset " + std::to_string(p));
        EXPECT_EQ(found.keys[p], std::to_string(p));
        EXPECT_EQ(found.plugins[p], "clap:com.quorbel.tarnwick");
    }
    provider->destroy(provider);

    // Loading a preset chooses the program: its values become the parameters'.
    Instance gate(file_, host_);
    ASSERT_TRUE(gate->init(gate.get()));
    const auto* load = gate.ext<clap_plugin_preset_load_t>(CLAP_EXT_PRESET_LOAD);
    ASSERT_NE(load, nullptr);
    EXPECT_EQ(gate.ext<clap_plugin_preset_load_t>(CLAP_EXT_PRESET_LOAD_COMPAT), load);
    const double attack = gate.value(0);
    ASSERT_TRUE(
        load->from_location(gate.get(), CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, "2"));
    gate.flush({ParamEvent(0, 0, 0.7)});  // program 2's attack now
    ASSERT_TRUE(
        load->from_location(gate.get(), CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, "15"));
    EXPECT_EQ(gate.value(0), attack);
    ASSERT_TRUE(
        load->from_location(gate.get(), CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, "2"));
    EXPECT_EQ(gate.value(0), double(0.7f));
    EXPECT_EQ(host_.presetsLoaded, (std::vector<std::string>{"2", "15", "2"}));
    for (const char* key : {"16", "-1", "02", "x", "", "1 "})
        EXPECT_FALSE(
            load->from_location(gate.get(), CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, key))
            << key;
    EXPECT_FALSE(
        load->from_location(gate.get(), CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, nullptr));
    EXPECT_FALSE(
        load->from_location(gate.get(), CLAP_PRESET_DISCOVERY_LOCATION_FILE, "/tmp/x", "1"));
    EXPECT_EQ(host_.presetErrors, 8);
    EXPECT_EQ(gate.value(0), double(0.7f)) << "a refused preset changes nothing";
}

}  // namespace
