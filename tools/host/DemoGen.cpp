// The demo's material and its report.
//
//   tarnwick-demo-gen OUTDIR    writes the demo's two inputs, always the same:
//     OUTDIR/pad.wav    the signal: a sustained pad, stereo, 48 kHz, four bars
//                       at 120 beats per minute (8 s), one chord a bar
//     OUTDIR/drums.wav  the key: a drum loop, mono. Kicks and snares are loud
//                       enough to open the gate, the hi-hats stay below it, so
//                       the pad is heard only on the kicks and snares.
//   tarnwick-demo-gen --summary SIGNAL GATED
//                     prints one line: the RMS of both files and the share of
//                     time the gate was open, measured from the files alone.

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr double kPi = 3.14159265358979323846;
constexpr double kBpm = 120.0;
constexpr int kBars = 4;
constexpr int kStepsPerBar = 16;  // sixteenth notes
constexpr int kStepFrames = static_cast<int>(kRate * 60.0 / kBpm / 4.0);
constexpr int kBarFrames = kStepsPerBar * kStepFrames;
constexpr int kFrames = kBars * kBarFrames;

// A fixed generator of our own, so the demo is the same with every library.
class Noise {
public:
    double next() {  // uniform in [-1, 1)
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return static_cast<double>(state_ >> 11) / 4503599627370496.0 - 1.0;
    }

private:
    uint64_t state_ = 0x7A3C5E9D1B2F4861ULL;
};

// ---- the pad -------------------------------------------------------------

// Am, Fmaj7, C, G: MIDI note numbers of each bar's chord.
constexpr std::array<std::array<int, 5>, kBars> kChords = {{
    {45, 52, 57, 60, 64},
    {41, 48, 57, 60, 64},
    {48, 55, 60, 64, 67},
    {43, 50, 55, 59, 62},
}};
constexpr int kHarmonics = 6;
constexpr int kFadeFrames = kRate / 50;  // 20 ms in and out of every chord

double noteFrequency(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

// One voice of the chord into one channel: a soft saw (harmonics falling by
// k^1.5), detuned by CENTS so the two channels beat slowly against each other.
void addVoice(std::vector<double>& channel, int start, double freq, double cents) {
    double f = freq * std::pow(2.0, cents / 1200.0);
    std::array<double, kHarmonics + 1> weight{};
    for (int k = 1; k <= kHarmonics; ++k) weight[static_cast<size_t>(k)] = std::pow(k, -1.5);
    for (int i = 0; i < kBarFrames; ++i) {
        double t = static_cast<double>(i) / kRate;
        double v = 0.0;
        for (int k = 1; k <= kHarmonics; ++k) {
            v += weight[static_cast<size_t>(k)] * std::sin(2.0 * kPi * f * k * t);
        }
        double fade = std::min({1.0, static_cast<double>(i) / kFadeFrames,
                                static_cast<double>(kBarFrames - i) / kFadeFrames});
        channel[static_cast<size_t>(start + i)] += v * fade;
    }
}

std::vector<double> makePad() {
    std::vector<double> l(kFrames), r(kFrames);
    for (int bar = 0; bar < kBars; ++bar) {
        for (int note : kChords[static_cast<size_t>(bar)]) {
            addVoice(l, bar * kBarFrames, noteFrequency(note), -4.0);
            addVoice(r, bar * kBarFrames, noteFrequency(note), 4.0);
        }
    }
    double peak = 0.0;
    for (size_t i = 0; i < l.size(); ++i) peak = std::max({peak, std::fabs(l[i]), std::fabs(r[i])});
    std::vector<double> stereo(2 * static_cast<size_t>(kFrames));
    for (size_t i = 0; i < l.size(); ++i) {
        stereo[2 * i] = 0.5 * l[i] / peak;
        stereo[2 * i + 1] = 0.5 * r[i] / peak;
    }
    return stereo;
}

// ---- the drums -----------------------------------------------------------

void addKick(std::vector<double>& out, int start, double gain) {
    double phase = 0.0;
    for (int i = 0; i < kRate / 2 && start + i < kFrames; ++i) {
        double t = static_cast<double>(i) / kRate;
        double freq = 45.0 + 90.0 * std::exp(-t * 30.0);
        phase += 2.0 * kPi * freq / kRate;
        out[static_cast<size_t>(start + i)] += gain * std::sin(phase) * std::exp(-t * 9.0);
    }
}

void addSnare(std::vector<double>& out, int start, double gain, Noise& noise) {
    for (int i = 0; i < kRate / 4 && start + i < kFrames; ++i) {
        double t = static_cast<double>(i) / kRate;
        double tone = 0.4 * std::sin(2.0 * kPi * 185.0 * t) * std::exp(-t * 25.0);
        double env = std::exp(-t * 18.0);
        out[static_cast<size_t>(start + i)] += gain * (tone + 0.6 * noise.next() * env);
    }
}

void addHat(std::vector<double>& out, int start, double gain, Noise& noise) {
    double prev = 0.0;
    for (int i = 0; i < kRate / 20 && start + i < kFrames; ++i) {
        double t = static_cast<double>(i) / kRate;
        double n = noise.next();
        double bright = n - prev;  // first difference: the top of the noise spectrum
        prev = n;
        out[static_cast<size_t>(start + i)] += gain * 0.5 * bright * std::exp(-t * 90.0);
    }
}

std::vector<double> makeDrums() {
    std::vector<double> drums(kFrames);
    Noise noise;
    // One bar of sixteenths: kicks (K) and snares (S) open the gate, the
    // hi-hats (h) are too quiet to.
    const char* pattern = "K.h.S.hKK.h.S.hh";
    for (int step = 0; step < kBars * kStepsPerBar; ++step) {
        int start = step * kStepFrames;
        switch (pattern[step % kStepsPerBar]) {
            case 'K': addKick(drums, start, 0.9); break;
            case 'S': addSnare(drums, start, 0.8, noise); break;
            case 'h': addHat(drums, start, 0.2, noise); break;
            default: break;
        }
    }
    for (double& v : drums) v = std::tanh(v);
    return drums;
}

bool writeFile(const std::string& path, const std::vector<double>& interleaved, int channels) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (f == nullptr) {
        std::fprintf(stderr, "tarnwick-demo-gen: error: cannot write %s: %s\n", path.c_str(),
                     sf_strerror(nullptr));
        return false;
    }
    // No peak chunk: it carries the time of writing, and the files are to be
    // the same on every run.
    sf_command(f, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    sf_count_t frames = static_cast<sf_count_t>(interleaved.size()) / channels;
    bool ok = sf_writef_double(f, interleaved.data(), frames) == frames;
    ok = sf_close(f) == 0 && ok;
    if (!ok) std::fprintf(stderr, "tarnwick-demo-gen: error: cannot write %s\n", path.c_str());
    return ok;
}

// ---- the summary ---------------------------------------------------------

struct Opened {
    SF_INFO info{};  // before FILE: sf_open fills it
    SNDFILE* file = nullptr;
    explicit Opened(const std::string& path) : file(sf_open(path.c_str(), SFM_READ, &info)) {}
    ~Opened() {
        if (file != nullptr) sf_close(file);
    }
    Opened(const Opened&) = delete;
    Opened& operator=(const Opened&) = delete;
};

// The gate counts as open in a 5 ms window when the output's RMS there is
// within 6 dB of the signal's: a closed gate leaves silence, a gate in its
// release passes a fading share, and only a gate (nearly) open passes the
// signal at close to its own level. Windows where the signal itself is
// silent say nothing about the gate and are not counted. The files are read
// window by window, so nothing is sized by what a header claims.
int summarize(const std::string& signalPath, const std::string& gatedPath) {
    Opened signal(signalPath), gated(gatedPath);
    for (const auto* f : {&signal, &gated}) {
        if (f->file == nullptr) {
            std::fprintf(stderr, "tarnwick-demo-gen: error: cannot read %s: %s\n",
                         (f == &signal ? signalPath : gatedPath).c_str(), sf_strerror(nullptr));
            return 1;
        }
    }
    if (signal.info.channels != gated.info.channels || signal.info.frames != gated.info.frames) {
        std::fprintf(stderr, "tarnwick-demo-gen: error: %s and %s differ in shape\n",
                     signalPath.c_str(), gatedPath.c_str());
        return 1;
    }
    const auto window = static_cast<sf_count_t>(signal.info.samplerate / 200);
    const auto channels = static_cast<size_t>(signal.info.channels);
    std::vector<double> in(static_cast<size_t>(window) * channels);
    std::vector<double> out(in.size());
    double inSum = 0.0, outSum = 0.0;
    int64_t samples = 0, windows = 0, open = 0;
    for (;;) {
        sf_count_t n = sf_readf_double(signal.file, in.data(), window);
        if (n <= 0 || sf_readf_double(gated.file, out.data(), n) != n) break;
        double inWindow = 0.0, outWindow = 0.0;
        for (size_t i = 0; i < static_cast<size_t>(n) * channels; ++i) {
            inWindow += in[i] * in[i];
            outWindow += out[i] * out[i];
        }
        inSum += inWindow;
        outSum += outWindow;
        samples += n * static_cast<sf_count_t>(channels);
        // Within 6 dB: the output's power at least a quarter of the input's.
        if (inWindow > 1e-12 * static_cast<double>(n)) {
            ++windows;
            if (outWindow >= 0.25 * inWindow) ++open;
        }
    }
    if (samples == 0) {
        std::fprintf(stderr, "tarnwick-demo-gen: error: %s holds no audio\n", signalPath.c_str());
        return 1;
    }
    std::printf(
        "signal RMS %.3f, gated RMS %.3f, gate open %.0f%% of the time\n",
        std::sqrt(inSum / static_cast<double>(samples)),
        std::sqrt(outSum / static_cast<double>(samples)),
        windows > 0 ? 100.0 * static_cast<double>(open) / static_cast<double>(windows) : 0.0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--summary") return summarize(argv[2], argv[3]);
    if (argc != 2) {
        std::fputs(
            "usage: tarnwick-demo-gen OUTDIR\n"
            "       tarnwick-demo-gen --summary SIGNAL GATED\n",
            stderr);
        return 2;
    }
    std::string dir = argv[1];
    bool ok =
        writeFile(dir + "/pad.wav", makePad(), 2) && writeFile(dir + "/drums.wav", makeDrums(), 1);
    return ok ? 0 : 1;
}
