// tarnwick-demo-gen OUTDIR: writes the demo's two inputs, always the same.
//   OUTDIR/drums.wav  stereo, 48 kHz, 4 s: kick, snare and hi-hat with noise
//   OUTDIR/key.wav    mono: a short burst on every kick and snare, none on the
//                     hats, so the gate lets the hits through and shuts
//                     between them.

#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr double kPi = 3.14159265358979323846;
constexpr double kBpm = 120.0;
constexpr int kSteps = 32;  // two bars of sixteenth notes
constexpr int kStepFrames = static_cast<int>(kRate * 60.0 / kBpm / 4.0);
constexpr int kFrames = kSteps * kStepFrames;

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

void addKick(std::vector<double>& l, std::vector<double>& r, int start, double gain) {
    double phase = 0.0;
    for (int i = 0; i < kRate / 2 && start + i < kFrames; ++i) {
        double t = static_cast<double>(i) / kRate;
        double freq = 45.0 + 90.0 * std::exp(-t * 30.0);
        phase += 2.0 * kPi * freq / kRate;
        double v = gain * std::sin(phase) * std::exp(-t * 9.0);
        l[static_cast<size_t>(start + i)] += v;
        r[static_cast<size_t>(start + i)] += v;
    }
}

void addSnare(std::vector<double>& l, std::vector<double>& r, int start, double gain,
              Noise& noise) {
    for (int i = 0; i < kRate / 4 && start + i < kFrames; ++i) {
        double t = static_cast<double>(i) / kRate;
        double tone = 0.4 * std::sin(2.0 * kPi * 185.0 * t) * std::exp(-t * 25.0);
        double env = std::exp(-t * 18.0);
        l[static_cast<size_t>(start + i)] += gain * (tone + 0.6 * noise.next() * env);
        r[static_cast<size_t>(start + i)] += gain * (tone + 0.6 * noise.next() * env);
    }
}

void addHat(std::vector<double>& l, std::vector<double>& r, int start, double gain, Noise& noise) {
    double prev = 0.0;
    for (int i = 0; i < kRate / 20 && start + i < kFrames; ++i) {
        double t = static_cast<double>(i) / kRate;
        double n = noise.next();
        double bright = n - prev;  // first difference: the top of the noise spectrum
        prev = n;
        double v = gain * 0.5 * bright * std::exp(-t * 90.0);
        l[static_cast<size_t>(start + i)] += 0.8 * v;
        r[static_cast<size_t>(start + i)] += v;
    }
}

void addKeyBurst(std::vector<double>& key, int start, Noise& noise) {
    for (int i = 0; i < kRate / 50 && start + i < kFrames; ++i) {
        double t = static_cast<double>(i) / kRate;
        // Mostly positive: the gate listens to the signed key.
        key[static_cast<size_t>(start + i)] +=
            0.9 * std::exp(-t * 150.0) * (0.8 + 0.2 * noise.next());
    }
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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: tarnwick-demo-gen OUTDIR\n", stderr);
        return 2;
    }
    std::string dir = argv[1];
    std::vector<double> l(kFrames), r(kFrames), key(kFrames);
    Noise noise;
    // One bar of sixteenths: K . h . S . h K  K . h . S . h h
    const char* pattern = "K.h.S.hKK.h.S.hh";
    for (int step = 0; step < kSteps; ++step) {
        int start = step * kStepFrames;
        switch (pattern[step % 16]) {
            case 'K':
                addKick(l, r, start, 0.8);
                addKeyBurst(key, start, noise);
                break;
            case 'S':
                addSnare(l, r, start, 0.6, noise);
                addKeyBurst(key, start, noise);
                break;
            case 'h': addHat(l, r, start, 0.5, noise); break;
            default: break;
        }
    }
    // A bed of noise the gate is there to remove.
    for (int i = 0; i < kFrames; ++i) {
        l[static_cast<size_t>(i)] += 0.02 * noise.next();
        r[static_cast<size_t>(i)] += 0.02 * noise.next();
    }
    std::vector<double> stereo(2 * static_cast<size_t>(kFrames));
    for (size_t i = 0; i < static_cast<size_t>(kFrames); ++i) {
        stereo[2 * i] = std::tanh(l[i]);
        stereo[2 * i + 1] = std::tanh(r[i]);
    }
    bool ok = writeFile(dir + "/drums.wav", stereo, 2) && writeFile(dir + "/key.wav", key, 1);
    return ok ? 0 : 1;
}
