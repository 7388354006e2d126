// Audio files on Windows, where there is no libsndfile: WAV through the
// host's own codec.
#include "AudioFile.h"

#include "AudioHeader.h"
#include "EffectHost.h"
#include "WavFile.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

namespace tarnwick::host {
namespace {

// The one format code of this codec: WAV, read as floats, written as floats.
constexpr int kWavFormat = 1;

std::string lowerExtension(const std::string& path) {
    size_t sep = path.find_last_of("/\\:");
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return {};
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

}  // namespace

struct SoundReader::Source {
    explicit Source(const std::string& path) : wav(path) {}
    WavReader wav;
};

struct SoundWriter::Sink {
    explicit Sink(std::FILE* file, int channels, int sampleRate)
        : wav(file, channels, sampleRate) {}
    WavFloatWriter wav;
};

SoundReader::SoundReader(const std::string& path) : path_(path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) throw HostError("audio file not found: " + path);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !isDiskFile(path)) {
        throw HostError("audio file is not a file: " + path);
    }
    source_ = std::make_unique<Source>(path);
    checkSampleRate(path, source_->wav.sampleRate());
    channels_ = source_->wav.channels();
    sampleRate_ = source_->wav.sampleRate();
    format_ = kWavFormat;
    announcedFrames_ = source_->wav.announcedFrames();
}

SoundReader::~SoundReader() = default;

int64_t SoundReader::read(float* interleaved, int64_t frames) {
    int64_t got = source_->wav.read(interleaved, frames);
    framesRead_ += got;
    return got;
}

void SoundReader::skipToEnd() {
    std::vector<float> scratch(4096 * static_cast<size_t>(channels_));
    while (read(scratch.data(), 4096) > 0) {}
}

int outputFormatFor(const std::string& path, int /*fallbackFormat*/) {
    std::string ext = lowerExtension(path);
    if (ext.empty() || ext == "wav") return kWavFormat;
    throw HostError("this build of the host writes WAV files only: " + path);
}

SoundWriter::SoundWriter(const std::string& path, int /*format*/, int channels, int sampleRate)
    : file_(path), sink_(std::make_unique<Sink>(file_.stream(), channels, sampleRate)) {}

SoundWriter::~SoundWriter() = default;

void SoundWriter::write(const float* interleaved, int64_t frames) {
    if (!sink_->wav.write(interleaved, frames)) {
        throw HostError("cannot write audio file " + file_.path() + " (is the disk full?)");
    }
}

void SoundWriter::commit() {
    if (!sink_->wav.finish()) {
        throw HostError("cannot write audio file " + file_.path() + " (is the disk full?)");
    }
    file_.commit();
}

}  // namespace tarnwick::host
