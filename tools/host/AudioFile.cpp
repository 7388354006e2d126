#include "AudioFile.h"

#include "AudioHeader.h"
#include "EffectHost.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <vector>

namespace tarnwick::host {
namespace {

std::string lowerExtension(const std::string& path) {
    size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

// Bytes per sample of the encodings whose size follows from the data size.
int bytesPerSample(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
        case SF_FORMAT_ULAW:
        case SF_FORMAT_ALAW: return 1;
        case SF_FORMAT_PCM_16: return 2;
        case SF_FORMAT_PCM_24: return 3;
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_FLOAT: return 4;
        case SF_FORMAT_DOUBLE: return 8;
        default: return 0;
    }
}

}  // namespace

struct SoundReader::Source {
    SNDFILE* file = nullptr;
    ~Source() {
        if (file != nullptr) sf_close(file);
    }
};

struct SoundWriter::Sink {
    SNDFILE* file = nullptr;
    ~Sink() {
        if (file != nullptr) sf_close(file);
    }
};

SoundReader::SoundReader(const std::string& path) : path_(path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) throw HostError("audio file not found: " + path);
    if (!S_ISREG(st.st_mode)) throw HostError("audio file is not a file: " + path);
    AnnouncedFormat header = readAnnouncedFormat(path);
    // libsndfile refuses a WAV without a rate in words meant for programmers,
    // opens an AIFF without one at 1 Hz, and one with a NaN, infinite or
    // huge rate at whatever the conversion to an integer gives.
    if (header.sampleRate) checkSampleRate(path, *header.sampleRate);
    SF_INFO info{};
    source_ = std::make_unique<Source>();
    source_->file = sf_open(path.c_str(), SFM_READ, &info);
    if (source_->file == nullptr) {
        std::string why = sf_strerror(nullptr);
        if (why.find("SF_INFO struct incomplete") != std::string::npos) {
            why = "its header gives no usable sample rate or channel count";
        }
        throw HostError("cannot read audio file " + path + ": " + why);
    }
    if (info.channels <= 0 || info.samplerate <= 0 || info.frames < 0) {
        throw HostError("audio file has no usable format: " + path);
    }
    checkSampleRate(path, info.samplerate);
    channels_ = info.channels;
    sampleRate_ = info.samplerate;
    format_ = info.format;
    // A FLAC header with no length (total samples 0, as a streaming encoder
    // that cannot seek back leaves it) comes back as the largest count.
    if (info.frames == SF_COUNT_MAX) return;
    // For WAV and AIFF libsndfile reports the frames present; the header may
    // promise more.
    int64_t announced = info.frames;
    int sampleBytes = bytesPerSample(info.format);
    if (header.frames) {
        announced = std::max(announced, *header.frames);
    } else if (header.dataBytes && sampleBytes > 0) {
        uint64_t frames = *header.dataBytes / static_cast<uint64_t>(sampleBytes * info.channels);
        announced = std::max<int64_t>(announced, static_cast<int64_t>(frames));
    }
    announcedFrames_ = announced;
}

SoundReader::~SoundReader() = default;

int64_t SoundReader::read(float* interleaved, int64_t frames) {
    if (!readError_.empty()) return 0;
    sf_count_t got = sf_readf_float(source_->file, interleaved, frames);
    // A decoder that loses its way in a cut file (FLAC does) ends the frames
    // present; what it said goes with the report of the missing ones.
    if (got < frames && sf_error(source_->file) != 0) {
        readError_ = sf_strerror(source_->file);
        if (readError_.rfind("Error : ", 0) == 0) readError_.erase(0, 8);
    }
    framesRead_ += got;
    return got;
}

void SoundReader::skipToEnd() {
    std::vector<float> scratch(4096 * static_cast<size_t>(channels_));
    while (read(scratch.data(), 4096) > 0) {}
}

int outputFormatFor(const std::string& path, int fallbackFormat) {
    std::string ext = lowerExtension(path);
    int container = fallbackFormat & SF_FORMAT_TYPEMASK;
    if (ext == "wav") {
        container = SF_FORMAT_WAV;
    } else if (ext == "aif" || ext == "aiff" || ext == "aifc") {
        container = SF_FORMAT_AIFF;
    } else if (ext == "flac") {
        container = SF_FORMAT_FLAC;
    }
    if (container == SF_FORMAT_FLAC) return SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    if (container != SF_FORMAT_AIFF) container = SF_FORMAT_WAV;
    return container | SF_FORMAT_FLOAT;
}

SoundWriter::SoundWriter(const std::string& path, int format, int channels, int sampleRate)
    : file_(path) {
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = sampleRate;
    info.format = format;
    sink_ = std::make_unique<Sink>();
    sink_->file = sf_open_fd(fileno(file_.stream()), SFM_WRITE, &info, SF_FALSE);
    if (sink_->file == nullptr) {
        throw HostError("cannot write audio file " + path + ": " + sf_strerror(nullptr));
    }
    // Integer containers clip instead of wrapping round on samples beyond full
    // scale. No peak chunk: it holds the time of writing, and the same input is
    // to give the same file.
    sf_command(sink_->file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    sf_command(sink_->file, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
}

SoundWriter::~SoundWriter() = default;

void SoundWriter::write(const float* interleaved, int64_t frames) {
    if (sf_writef_float(sink_->file, interleaved, frames) != frames) {
        throw HostError("cannot write audio file " + file_.path() + ": " +
                        sf_strerror(sink_->file));
    }
}

void SoundWriter::commit() {
    int rc = sf_close(sink_->file);
    sink_->file = nullptr;
    if (rc != 0) {
        throw HostError("cannot write audio file " + file_.path() + ": " + sf_error_number(rc));
    }
    file_.commit();
}

}  // namespace tarnwick::host
