#pragma once
// The gate benchmarks' input: signal and key at kRate, blocks served from it.

#include <cmath>
#include <cstddef>
#include <vector>

namespace tarnwick::bench {

constexpr int kRate = 44100;

// Two seconds of signal and key. The key bursts four times a second, long
// enough to open the gate and with pauses long enough for it to close.
struct Signal {
    Signal() : channel(4, std::vector<float>(2 * kRate)), out(2, std::vector<float>(8192)) {
        for (std::size_t i = 0; i < channel[0].size(); ++i) {
            const double t = static_cast<double>(i) / kRate;
            channel[0][i] = static_cast<float>(0.5 * std::sin(2 * M_PI * 220 * t));
            channel[1][i] = static_cast<float>(0.5 * std::sin(2 * M_PI * 330 * t));
            const bool burst = (i % (kRate / 4)) < kRate / 20;
            channel[2][i] = burst ? static_cast<float>(0.9 * std::sin(2 * M_PI * 60 * t)) : 0.0f;
            channel[3][i] = burst ? static_cast<float>(0.3 * std::sin(2 * M_PI * 90 * t)) : 0.0f;
        }
    }
    // Inputs for the block starting at pos; wraps so blocks stay whole.
    void at(std::size_t& pos, std::size_t frames, float** in, float** out) {
        if (pos + frames > channel[0].size()) pos = 0;
        for (int c = 0; c < 4; ++c) in[c] = channel[c].data() + pos;
        for (int c = 0; c < 2; ++c) out[c] = this->out[c].data();
        pos += frames;
    }
    std::vector<std::vector<float>> channel;
    std::vector<std::vector<float>> out;
};

}  // namespace tarnwick::bench
