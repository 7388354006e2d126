#pragma once
// What the header of a WAV (RIFF, RF64) or AIFF (AIFF-C) file announces, read
// by the host itself. libsndfile quietly shortens a file's length to the
// frames present and refuses a zero sample rate with an internal message; the
// announced values let the host tell the user what is wrong with the file.

#include <cstdint>
#include <optional>
#include <string>

namespace tarnwick::host {

struct AnnouncedFormat {
    std::optional<double> sampleRate;
    std::optional<int64_t> frames;      // AIFF: the frame count of the COMM chunk
    std::optional<uint64_t> dataBytes;  // WAV: the size of the data chunk (RF64: of ds64)
};

// Fields the file does not state, or that are not WAV or AIFF, stay empty; so
// does the size of a WAV data chunk written as "unknown" (0xFFFFFFFF) by a
// program that could not seek back.
AnnouncedFormat readAnnouncedFormat(const std::string& path);

// The sample rates the host takes from a file. Below 1 Hz nothing can be
// timed; the top leaves room for recordings of radio receivers, far above
// any audio rate, and refuses rates a header can only give by damage.
inline constexpr double kMinSampleRate = 1.0;
inline constexpr double kMaxSampleRate = 10e6;

// Refuses (HostError) a RATE from the header of the audio file PATH that lies
// outside them, NaN and infinity included.
void checkSampleRate(const std::string& path, double rate);

}  // namespace tarnwick::host
