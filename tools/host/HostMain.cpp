// tarnwick-host: a command-line VST 2 host for the gate; process also takes
// a VST 3 bundle (MODULE ending in .vst3).
//
//   tarnwick-host info MODULE
//   tarnwick-host process MODULE --signal IN [--key KEY] --out OUT
//                 [--set NAME=VALUE ...] [--program N] [--block N] [--accumulate]
//                 [--force] [--allow-truncated]
//   tarnwick-host render --out PNG [--set NAME=VALUE ...] [--program N] [--key-peak V] [--about]
//                        [--scale S]
//                 [--force]

#include "AudioFile.h"
#include "EffectHost.h"
#include "RenderEditor.h"
#if defined(TARNWICK_HOST_VST3)
#include "Vst3Host.h"
#endif

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick::host {
namespace {

constexpr const char* kUsage =
    "usage: tarnwick-host info MODULE\n"
    "       tarnwick-host process MODULE --signal IN [--key KEY] --out OUT\n"
    "                     [--set NAME=VALUE ...] [--program N] [--block N] [--accumulate]\n"
    "                     [--force] [--allow-truncated]\n"
    "       tarnwick-host render --out PNG [--set NAME=VALUE ...] [--program N]\n"
    "                     [--key-peak V] [--about] [--scale S] [--force]\n"
    "  MODULE is a VST 2 module, or for process a VST 3 bundle (NAME.vst3).\n"
    "  NAME is the host's parameter name (par0 ... par5) or a role: attack, hold,\n"
    "  release, threshold, envmode, active. VALUE is 0 to 1.\n"
    "  OUT and PNG are written only where they are absent or a writable regular\n"
    "  file, never over an input, a symbolic link, a FIFO or a device; --force\n"
    "  also replaces a read-only file. A file shorter than its header says is an\n"
    "  error; --allow-truncated processes the frames it has, with a warning.\n"
    "  Sample rates of 1 Hz to 10 MHz are read.\n"
    "  render draws the gate's own editor (built in, no MODULE) as a PNG picture:\n"
    "  --key-peak sets the key level the meter shows, --about shows the about panel,\n"
    "  --scale draws it at a device scale (1 = 100 %; the nearest of 1, 1.25, 1.5,\n"
    "  1.75, 2, 2.5 and 3).\n";

constexpr int32_t kDefaultBlock = 512;
constexpr int32_t kMaxBlock = 1 << 20;

// The gate's parameters by what they do, in index order.
constexpr std::array<const char*, 6> kRoles = {"attack",    "hold",    "release",
                                               "threshold", "envmode", "active"};

// The texts of capabilities the gate is asked about, plus one it has not.
constexpr std::array<const char*, 6> kCanDoTexts = {"receiveVstEvents",   "receiveVstMidiEvent",
                                                    "sendVstEvents",      "sendVstMidiEvent",
                                                    "receiveVstTimeInfo", "bypass"};

struct ProcessArgs {
    std::string module;
    std::string signal;
    std::string key;
    std::string out;
    std::vector<std::pair<std::string, std::string>> sets;  // NAME, VALUE as typed
    std::optional<int64_t> program;
    int32_t block = kDefaultBlock;
    bool accumulate = false;
    bool force = false;
    bool allowTruncated = false;
};

// Parses a whole decimal integer; nothing else on the line is accepted.
std::optional<int64_t> parseInteger(const std::string& text) {
    if (text.empty()) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0') return std::nullopt;
    return v;
}

std::optional<float> parseValue(const std::string& text) {
    if (text.empty()) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    float v = std::strtof(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(v)) return std::nullopt;
    return v;
}

// The NAME and VALUE of a --set option, as typed.
std::pair<std::string, std::string> splitSetting(const std::string& nv) {
    const size_t eq = nv.find('=');
    if (eq == std::string::npos || eq == 0) throw HostError("--set needs NAME=VALUE, got: " + nv);
    return {nv.substr(0, eq), nv.substr(eq + 1)};
}

ProcessArgs parseProcessArgs(int argc, char** argv) {
    ProcessArgs a;
    if (argc < 3) throw HostError("process needs a MODULE");
    a.module = argv[2];
    for (int i = 3; i < argc; ++i) {
        std::string opt = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw HostError("option " + opt + " needs a value");
            return argv[++i];
        };
        if (opt == "--signal") {
            a.signal = value();
        } else if (opt == "--key") {
            a.key = value();
        } else if (opt == "--out") {
            a.out = value();
        } else if (opt == "--set") {
            a.sets.push_back(splitSetting(value()));
        } else if (opt == "--program") {
            std::string v = value();
            a.program = parseInteger(v);
            if (!a.program) throw HostError("--program needs a whole number, got: " + v);
        } else if (opt == "--block") {
            std::string v = value();
            auto n = parseInteger(v);
            if (!n || *n < 1 || *n > kMaxBlock) {
                throw HostError("--block must be 1 to " + std::to_string(kMaxBlock) +
                                ", got: " + v);
            }
            a.block = static_cast<int32_t>(*n);
        } else if (opt == "--accumulate") {
            a.accumulate = true;
        } else if (opt == "--force") {
            a.force = true;
        } else if (opt == "--allow-truncated") {
            a.allowTruncated = true;
        } else {
            throw HostError("unknown option: " + opt);
        }
    }
    if (a.signal.empty()) throw HostError("process needs --signal IN");
    if (a.out.empty()) throw HostError("process needs --out OUT");
    return a;
}

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

// ---- info -------------------------------------------------------------------

int runInfo(const std::string& path) {
    HostedEffect fx(path);
    const AEffect& r = fx.record();
    std::printf("module: %s\n", path.c_str());
    std::printf("magic: 0x%08x (%s)\n", static_cast<unsigned>(r.magic),
                fourCharText(r.magic).c_str());
    std::printf("numPrograms: %d\n", r.numPrograms);
    std::printf("numParams: %d\n", r.numParams);
    std::printf("numInputs: %d\n", r.numInputs);
    std::printf("numOutputs: %d\n", r.numOutputs);
    std::printf("flags: 0x%x %s\n", static_cast<unsigned>(r.flags), flagNames(r.flags).c_str());
    std::printf("initialDelay: %d\n", r.initialDelay);
    std::printf("ioRatio: %g\n", static_cast<double>(r.ioRatio));
    std::printf("uniqueID: %s 0x%08x\n", quoted(fourCharText(r.uniqueID)).c_str(),
                static_cast<unsigned>(r.uniqueID));
    std::printf("version: %d\n", r.version);

    fx.open(44100.0, kDefaultBlock);
    VstIntPtr ok = 0;
    std::string name = fx.queryText(effGetEffectName, 0, kVstMaxEffectNameLen, &ok);
    std::printf("effectName: %s\n", ok != 0 ? quoted(name).c_str() : "(none)");
    std::string vendor = fx.queryText(effGetVendorString, 0, kVstMaxVendorStrLen, &ok);
    std::printf("vendor: %s\n", ok != 0 ? quoted(vendor).c_str() : "(none)");
    std::string product = fx.queryText(effGetProductString, 0, kVstMaxProductStrLen, &ok);
    std::printf("product: %s\n", ok != 0 ? quoted(product).c_str() : "(none)");
    std::printf("vendorVersion: %ld\n", static_cast<long>(fx.dispatch(effGetVendorVersion)));
    std::printf("vstVersion: %ld\n", static_cast<long>(fx.dispatch(effGetVstVersion)));
    VstIntPtr category = fx.dispatch(effGetPlugCategory);
    std::printf("category: %ld %s\n", static_cast<long>(category), categoryName(category).c_str());

    for (int32_t i = 0; i < r.numParams; ++i) {
        std::string pname = fx.queryText(effGetParamName, i, kVstMaxParamStrLen);
        std::string display = fx.queryText(effGetParamDisplay, i, kVstMaxParamStrLen);
        std::string label = fx.queryText(effGetParamLabel, i, kVstMaxParamStrLen);
        std::printf("parameter %d: name=%s value=%.6f display=%s label=%s\n", i,
                    quoted(pname).c_str(), static_cast<double>(fx.getParameter(i)),
                    quoted(display).c_str(), quoted(label).c_str());
    }
    std::printf("currentProgram: %ld\n", static_cast<long>(fx.dispatch(effGetProgram)));
    for (int32_t i = 0; i < r.numPrograms; ++i) {
        std::array<char, 1024> buffer{};
        VstIntPtr have = fx.dispatch(effGetProgramNameIndexed, i, -1, buffer.data());
        buffer.back() = '\0';
        std::string pname(buffer.data(), strnlen(buffer.data(), kVstMaxProgNameLen));
        std::printf("program %d: %s\n", i, have != 0 ? quoted(pname).c_str() : "(no name)");
    }
    for (int output = 0; output < 2; ++output) {
        int32_t count = output == 0 ? r.numInputs : r.numOutputs;
        for (int32_t i = 0; i < count; ++i) {
            // Zeroed and with room to spare beyond the record, as for texts.
            struct {
                VstPinProperties pin;
                char spare[1024];
            } props{};
            VstIntPtr have = fx.dispatch(
                output == 0 ? effGetInputProperties : effGetOutputProperties, i, 0, &props.pin);
            const char* kind = output == 0 ? "input" : "output";
            if (have == 0) {
                std::printf("%s %d: (no properties)\n", kind, i);
                continue;
            }
            std::string label(props.pin.label, strnlen(props.pin.label, kVstMaxLabelLen - 1));
            std::string pinFlags;
            if (props.pin.flags & kVstPinIsActive) pinFlags += " active";
            if (props.pin.flags & kVstPinIsStereo) pinFlags += " stereo";
            if (props.pin.flags & kVstPinUseSpeaker) pinFlags += " useSpeaker";
            std::printf("%s %d: label=%s flags=0x%x%s\n", kind, i, quoted(label).c_str(),
                        static_cast<unsigned>(props.pin.flags), pinFlags.c_str());
        }
    }
    for (const char* text : kCanDoTexts) {
        std::array<char, 64> buffer{};
        std::strncpy(buffer.data(), text, buffer.size() - 1);
        VstIntPtr answer = fx.dispatch(effCanDo, 0, 0, buffer.data());
        const char* meaning = answer > 0 ? "yes" : answer < 0 ? "no" : "don't know";
        std::printf("canDo %s: %ld (%s)\n", text, static_cast<long>(answer), meaning);
    }
    fx.close();
    return 0;
}

// ---- process ----------------------------------------------------------------

// Finds a parameter by the name the effect gives it or by its role.
int32_t resolveParameter(HostedEffect& fx, const std::string& name) {
    int32_t count = fx.record().numParams;
    for (int32_t i = 0; i < count; ++i) {
        if (fx.queryText(effGetParamName, i, kVstMaxParamStrLen) == name) return i;
    }
    for (size_t i = 0; i < kRoles.size(); ++i) {
        if (name == kRoles[i] && static_cast<int32_t>(i) < count) return static_cast<int32_t>(i);
    }
    throw HostError("unknown parameter: " + name);
}

// Splits interleaved frames of a 1-, 2- or 4-channel file into the effect's
// inputs starting at FIRST; a mono file feeds both channels of its pair.
void spread(const std::vector<float>& interleaved, int channels, int64_t frames,
            std::vector<std::vector<float>>& inputs, size_t first, bool alsoKey) {
    for (int64_t f = 0; f < frames; ++f) {
        const float* frame = &interleaved[static_cast<size_t>(f * channels)];
        auto i = static_cast<size_t>(f);
        inputs[first][i] = frame[0];
        inputs[first + 1][i] = channels >= 2 ? frame[1] : frame[0];
        if (alsoKey) {
            inputs[first + 2][i] = frame[2];
            inputs[first + 3][i] = frame[3];
        }
    }
}

// The input files, checked against each other: a 4-channel signal carries its
// own key, a 1- or 2-channel signal needs a key of the same rate and length.
class ProcessInputs {
public:
    explicit ProcessInputs(const ProcessArgs& a) : signal_(a.signal) {
        if (signal_.channels() == 4) {
            if (!a.key.empty()) {
                throw HostError("--key given but " + a.signal +
                                " has 4 channels (its channels 3-4 are the key)");
            }
        } else {
            openKey(a);
        }
        auto block = static_cast<size_t>(a.block);
        signalFrames_.resize(block * static_cast<size_t>(signal_.channels()));
        if (key_) keyFrames_.resize(block * static_cast<size_t>(key_->channels()));
    }

    int sampleRate() const { return signal_.sampleRate(); }
    int format() const { return signal_.format(); }

    // Reads up to FRAMES frames of each file into the effect's INPUTS and
    // answers how many both had: 0 at the end.
    int64_t read(std::vector<std::vector<float>>& inputs, int64_t frames) {
        if (auto announced = signal_.announcedFrames())
            frames = std::min(frames, *announced - signal_.framesRead());
        int64_t n = signal_.read(signalFrames_.data(), frames);
        spread(signalFrames_, signal_.channels(), n, inputs, 0, signal_.channels() == 4);
        if (key_) {
            n = std::min(n, key_->read(keyFrames_.data(), frames));
            spread(keyFrames_, key_->channels(), n, inputs, 2, false);
        }
        return n;
    }

    // After the last block: a file with fewer frames than its header announces,
    // or whose frames break off in damage, is an error, or with ALLOWTRUNCATED
    // a warning that the output has PROCESSED frames. Whole files of no
    // announced length must then turn out as long as each other.
    void checkComplete(bool allowTruncated, int64_t processed) {
        bool cut = false;
        for (SoundReader* file : {&signal_, key_ ? &*key_ : nullptr}) {
            if (file == nullptr) continue;
            file->skipToEnd();
            auto announced = file->announcedFrames();
            std::string what = file->path() + " is truncated: ";
            if (announced && file->framesRead() < *announced) {
                what += "header says " + std::to_string(*announced) + " frames, " +
                        std::to_string(file->framesRead()) + " present";
            } else if (!announced && !file->readError().empty()) {
                what +=
                    "its audio breaks off after " + std::to_string(file->framesRead()) + " frames";
            } else {
                continue;
            }
            cut = true;
            if (!file->readError().empty()) what += " (libsndfile: " + file->readError() + ")";
            if (!allowTruncated)
                throw HostError(what + " (--allow-truncated processes the frames present)");
            std::fprintf(stderr, "tarnwick-host: warning: %s; the output has %lld frames\n",
                         what.c_str(), static_cast<long long>(processed));
        }
        if (key_ && !cut && key_->framesRead() != signal_.framesRead()) {
            throw lengthsDiffer(signal_.framesRead(), key_->framesRead());
        }
    }

private:
    void openKey(const ProcessArgs& a) {
        if (signal_.channels() != 1 && signal_.channels() != 2) {
            throw HostError("signal file must have 1, 2 or 4 channels: " + a.signal + " has " +
                            std::to_string(signal_.channels()));
        }
        if (a.key.empty()) throw HostError("process needs --key KEY unless IN has 4 channels");
        key_.emplace(a.key);
        if (key_->channels() != 1 && key_->channels() != 2) {
            throw HostError("key file must have 1 or 2 channels: " + a.key + " has " +
                            std::to_string(key_->channels()));
        }
        if (key_->sampleRate() != signal_.sampleRate()) {
            throw HostError("sample rates differ: " + a.signal + " " +
                            std::to_string(signal_.sampleRate()) + " Hz, " + a.key + " " +
                            std::to_string(key_->sampleRate()) + " Hz");
        }
        // A file of no announced length is measured as it is read.
        auto signalFrames = signal_.announcedFrames(), keyFrames = key_->announcedFrames();
        if (signalFrames && keyFrames && *signalFrames != *keyFrames) {
            throw lengthsDiffer(*signalFrames, *keyFrames);
        }
    }

    HostError lengthsDiffer(int64_t signalFrames, int64_t keyFrames) const {
        return HostError("lengths differ: " + signal_.path() + " " + std::to_string(signalFrames) +
                         " frames, " + key_->path() + " " + std::to_string(keyFrames) + " frames");
    }

    SoundReader signal_;
    std::optional<SoundReader> key_;
    std::vector<float> signalFrames_;
    std::vector<float> keyFrames_;
};

// Checks that the effect can gate a signal by a key with the routine asked
// for, and turns the --program and --set options into indexes and values.
using Settings = std::vector<std::pair<int32_t, float>>;
Settings checkEffect(HostedEffect& fx, const ProcessArgs& a) {
    const AEffect& r = fx.record();
    if (r.numInputs < 4 || r.numOutputs < 2) {
        throw HostError("the effect has " + std::to_string(r.numInputs) + " inputs and " +
                        std::to_string(r.numOutputs) + " outputs; signal and key need 4 in, 2 out");
    }
    AEffectProcessProc routine = a.accumulate ? r.process : r.processReplacing;
    if (routine == nullptr || (!a.accumulate && (r.flags & effFlagsCanReplacing) == 0)) {
        throw HostError(a.accumulate ? "the effect has no accumulating process routine"
                                     : "the effect cannot process replacing (try --accumulate)");
    }
    if (a.program && (*a.program < 0 || *a.program >= r.numPrograms)) {
        throw HostError("program out of range: " + std::to_string(*a.program) +
                        " (the effect has " + std::to_string(r.numPrograms) + ")");
    }
    Settings settings;
    for (const auto& [name, text] : a.sets) {
        int32_t index = resolveParameter(fx, name);
        auto v = parseValue(text);
        if (!v || *v < 0.0f || *v > 1.0f) {
            throw HostError("value out of range for " + name + ": " + text + " (must be 0 to 1)");
        }
        settings.emplace_back(index, *v);
    }
    return settings;
}

// Opens the effect for the file's rate and the block size, applies the
// program and the settings, and switches it on.
void startEffect(HostedEffect& fx, const ProcessArgs& a, int sampleRate, const Settings& settings) {
    fx.state().accumulating = a.accumulate;
    fx.open(sampleRate, a.block);
    // The effect turns its time parameters into per-sample steps when they are
    // set, at the sample rate it knows then: choosing the program after the
    // rate recomputes them for this file.
    fx.dispatch(effSetProgram, 0, static_cast<VstIntPtr>(a.program.value_or(0)));
    for (const auto& [index, value] : settings) fx.setParameter(index, value);
    fx.dispatch(effMainsChanged, 0, 1);
    fx.dispatch(effStartProcess);
}

void stopEffect(HostedEffect& fx) {
    fx.dispatch(effStopProcess);
    fx.dispatch(effMainsChanged, 0, 0);
    fx.close();
}

// Runs the inputs block by block through RUN (NUMINPUTS inputs, of which
// the first 4 carry signal and key, NUMOUTPUTS outputs, of which the first 2
// are kept, the frames before and in the block) into WRITER, and answers
// the number of frames written. Each block's outputs start as OUTPUTSTART.
template <class Run>
int64_t gateBlocks(ProcessInputs& in, SoundWriter& writer, int32_t blockSize, int32_t numInputs,
                   int32_t numOutputs, float outputStart, Run run) {
    auto block = static_cast<size_t>(blockSize);
    std::vector<std::vector<float>> inputs(static_cast<size_t>(numInputs),
                                           std::vector<float>(block));
    std::vector<std::vector<float>> outputs(static_cast<size_t>(numOutputs),
                                            std::vector<float>(block));
    std::vector<float*> inPtrs;
    std::vector<float*> outPtrs;
    for (auto& c : inputs) inPtrs.push_back(c.data());
    for (auto& c : outputs) outPtrs.push_back(c.data());
    std::vector<float> outFrames(block * 2);

    int64_t done = 0;
    while (int64_t n = in.read(inputs, blockSize)) {
        for (auto& c : outputs) std::fill(c.begin(), c.end(), outputStart);
        run(inPtrs.data(), outPtrs.data(), done, static_cast<int32_t>(n));
        for (int64_t f = 0; f < n; ++f) {
            outFrames[static_cast<size_t>(2 * f)] = outputs[0][static_cast<size_t>(f)];
            outFrames[static_cast<size_t>(2 * f + 1)] = outputs[1][static_cast<size_t>(f)];
        }
        writer.write(outFrames.data(), n);
        done += n;
    }
    return done;
}

int64_t gate(HostedEffect& fx, ProcessInputs& in, SoundWriter& writer, const ProcessArgs& a) {
    AEffect& r = fx.record();
    AEffectProcessProc routine = a.accumulate ? r.process : r.processReplacing;
    // Accumulating adds to -0.0: it is the one zero that leaves every sample,
    // including a negative zero, bit for bit as the effect made it.
    const float outputStart = a.accumulate ? -0.0f : 0.0f;
    return gateBlocks(in, writer, a.block, r.numInputs, r.numOutputs, outputStart,
                      [&](float** inputs, float** outputs, int64_t done, int32_t n) {
                          fx.state().samplePos = static_cast<double>(done);
                          routine(&r, inputs, outputs, static_cast<VstInt32>(n));
                      });
}

void checkOutput(const ProcessArgs& a) {
    std::vector<InputPath> inputs = {{"--signal", a.signal}, {"the module", a.module}};
    if (!a.key.empty()) inputs.push_back({"--key", a.key});
    checkOutputPath(a.out, inputs, a.force);
}

#if defined(TARNWICK_HOST_VST3)
// The same with a VST 3 module: the signal on its main bus, the key on its
// auxiliary bus, the program and settings as its first block's changes.
int runProcessVst3(const ProcessArgs& a) {
    if (a.accumulate)
        throw HostError("a VST 3 effect has no accumulating process (drop --accumulate)");
    checkOutput(a);
    ProcessInputs in(a);
    HostedVst3 fx(a.module);
    const std::vector<const char*> roles(kRoles.begin(), kRoles.end());
    std::vector<std::pair<uint32_t, float>> settings;
    for (const auto& [name, text] : a.sets) {
        const uint32_t id = fx.parameter(name, roles);
        auto v = parseValue(text);
        if (!v || *v < 0.0f || *v > 1.0f)
            throw HostError("value out of range for " + name + ": " + text + " (must be 0 to 1)");
        settings.emplace_back(id, *v);
    }
    fx.start(in.sampleRate(), a.block, a.program, settings);
    SoundWriter writer(a.out, outputFormatFor(a.out, in.format()), 2, in.sampleRate());
    const int64_t frames = gateBlocks(in, writer, a.block, 4, 2, 0.0f,
                                      [&](float** inputs, float** outputs, int64_t, int32_t n) {
                                          fx.process(inputs, outputs, n);
                                      });
    fx.stop();
    in.checkComplete(a.allowTruncated, frames);
    checkOutput(a);
    writer.commit();
    return 0;
}

#endif

int runProcess(const ProcessArgs& a) {
#if defined(TARNWICK_HOST_VST3)
    if (IsVst3(a.module)) return runProcessVst3(a);
#endif
    checkOutput(a);
    ProcessInputs in(a);
    HostedEffect fx(a.module);
    Settings settings = checkEffect(fx, a);

    startEffect(fx, a, in.sampleRate(), settings);
    SoundWriter writer(a.out, outputFormatFor(a.out, in.format()), 2, in.sampleRate());
    int64_t frames = gate(fx, in, writer, a);
    stopEffect(fx);
    in.checkComplete(a.allowTruncated, frames);
    // Again, now that the result is ready: OUT may have changed meanwhile.
    checkOutput(a);
    writer.commit();
    return 0;
}

// ---- render -----------------------------------------------------------------

RenderArgs parseRenderArgs(int argc, char** argv) {
    RenderArgs a;
    for (int i = 2; i < argc; ++i) {
        std::string opt = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw HostError("option " + opt + " needs a value");
            return argv[++i];
        };
        auto number = [&]() {
            std::string v = value();
            auto n = parseValue(v);
            if (!n) throw HostError(opt + " needs a number, got: " + v);
            return *n;
        };
        if (opt == "--out") {
            a.out = value();
        } else if (opt == "--set") {
            const std::string nv = value();
            const auto [name, text] = splitSetting(nv);
            std::optional<int> index;
            for (size_t k = 0; k < kRoles.size(); ++k)
                if (name == kRoles[k] || name == "par" + std::to_string(k))
                    index = static_cast<int>(k);
            if (!index) throw HostError("unknown parameter: " + name);
            auto v = parseValue(text);
            if (!v) throw HostError("--set needs a number, got: " + nv);
            a.sets.emplace_back(*index, *v);
        } else if (opt == "--program") {
            std::string v = value();
            auto n = parseInteger(v);
            if (!n) throw HostError("--program needs a whole number, got: " + v);
            if (*n < 0 || *n > 15) throw HostError("--program must be 0 to 15, got: " + v);
            a.program = static_cast<int>(*n);
        } else if (opt == "--key-peak") {
            a.keyPeak = number();
        } else if (opt == "--about") {
            a.about = true;
        } else if (opt == "--scale") {
            const std::string v = value();
            const auto n = parseValue(v);
            if (!n || !(*n > 0) || !std::isfinite(*n))
                throw HostError("--scale needs a positive number, got: " + v);
            a.scale = *n;
        } else if (opt == "--force") {
            a.force = true;
        } else {
            throw HostError("unknown option: " + opt);
        }
    }
    if (a.out.empty()) throw HostError("render needs --out PNG");
    return a;
}

// The picture goes to OUT as audio does in process: checked, and moved into
// place when whole.
int runRender(const RenderArgs& a) {
    checkOutputPath(a.out, {}, a.force);
    std::vector<std::uint8_t> png = renderEditor(a);
    OutputFile file(a.out);
    file.write(png.data(), png.size());
    checkOutputPath(a.out, {}, a.force);
    file.commit();
    return 0;
}

int run(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::string command = argv[1];
    if (command == "--help" || command == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "info") {
        if (argc != 3) throw HostError("info needs exactly one MODULE");
        return runInfo(argv[2]);
    }
    if (command == "process") return runProcess(parseProcessArgs(argc, argv));
    if (command == "render") return runRender(parseRenderArgs(argc, argv));
    throw HostError("unknown command: " + command + " (info, process or render)");
}

}  // namespace
}  // namespace tarnwick::host

int main(int argc, char** argv) {
    try {
        return tarnwick::host::run(argc, argv);
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "tarnwick-host: error: %s\n", e.what());
        return 1;
    }
}
