// tarnwick-audio-stat FILE [SKIP_SECONDS]: one line about an audio file,
//   frames=N channels=C rate=R peak=P rms=R
// over all channels, after skipping the first SKIP_SECONDS.
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fputs("usage: tarnwick-audio-stat FILE [SKIP_SECONDS]\n", stderr);
        return 2;
    }
    SF_INFO info{};
    SNDFILE* f = sf_open(argv[1], SFM_READ, &info);
    if (f == nullptr) {
        std::fprintf(stderr, "tarnwick-audio-stat: error: cannot read %s: %s\n", argv[1],
                     sf_strerror(nullptr));
        return 1;
    }
    sf_count_t skip = argc == 3 ? static_cast<sf_count_t>(std::atof(argv[2]) * info.samplerate) : 0;
    std::vector<float> frame(static_cast<size_t>(info.channels));
    double peak = 0.0, sum = 0.0;
    sf_count_t counted = 0;
    for (sf_count_t i = 0; i < info.frames; ++i) {
        if (sf_readf_float(f, frame.data(), 1) != 1) break;
        if (i < skip) continue;
        for (float v : frame) {
            peak = std::fmax(peak, std::fabs(static_cast<double>(v)));
            sum += static_cast<double>(v) * v;
            ++counted;
        }
    }
    sf_close(f);
    std::printf("frames=%lld channels=%d rate=%d peak=%.6f rms=%.6f\n",
                static_cast<long long>(info.frames), info.channels, info.samplerate, peak,
                counted > 0 ? std::sqrt(sum / counted) : 0.0);
    return 0;
}
