#pragma once
// The host's own WAV codec, for systems without libsndfile: reads RIFF WAVE
// files of 16-, 24- or 32-bit integer or 32-bit float samples (plain or
// "extensible" headers) as float frames, and writes 32-bit float files.
// Integer samples are scaled by the same powers of two as libsndfile uses,
// so both read a file to the same floats.

#include <cstdint>
#include <cstdio>
#include <string>

namespace tarnwick::host {

enum class WavEncoding { Pcm16, Pcm24, Pcm32, Float32 };

class WavReader {
public:
    // Opens PATH and reads its header; throws HostError naming what is wrong
    // (not a WAV file, an encoding it does not read, no data chunk, ...).
    explicit WavReader(const std::string& path);
    ~WavReader();
    WavReader(const WavReader&) = delete;
    WavReader& operator=(const WavReader&) = delete;

    int channels() const { return channels_; }
    int sampleRate() const { return sampleRate_; }
    WavEncoding encoding() const { return encoding_; }
    // The frames the data chunk's size announces, and those in the file.
    int64_t announcedFrames() const { return announcedFrames_; }
    int64_t presentFrames() const { return presentFrames_; }

    // Reads up to FRAMES interleaved frames; fewer only at the end.
    int64_t read(float* interleaved, int64_t frames);

private:
    std::FILE* file_ = nullptr;
    int channels_ = 0;
    int sampleRate_ = 0;
    WavEncoding encoding_ = WavEncoding::Float32;
    int sampleBytes_ = 0;
    int64_t announcedFrames_ = 0;
    int64_t presentFrames_ = 0;
    int64_t framesLeft_ = 0;
};

// Writes a 32-bit float WAV file to FILE, which it does not own: a header
// first, the frames, then finish() fills in the sizes.
class WavFloatWriter {
public:
    WavFloatWriter(std::FILE* file, int channels, int sampleRate);
    // Answers false when the file cannot be written.
    bool write(const float* interleaved, int64_t frames);
    bool finish();

private:
    bool writeHeader();

    std::FILE* file_;
    int channels_;
    int sampleRate_;
    uint64_t dataBytes_ = 0;
    bool ok_ = true;
};

}  // namespace tarnwick::host
