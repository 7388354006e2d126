#include "WavFile.h"

#include "EffectHost.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tarnwick::host {
namespace {

// Chunks looked at before the data chunk: real files have a handful, and a
// damaged size must not send the walk on for ever.
constexpr int kMaxChunks = 256;
constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// The frames read at a time; the rest of the conversion works in place.
constexpr int64_t kChunkFrames = 4096;

uint32_t le32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

void put32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}
void put16(unsigned char* p, uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

// 64-bit file positions: a long has 32 bits on Windows.
int seek64(std::FILE* f, int64_t offset, int whence) {
#if defined(_WIN32)
    return _fseeki64(f, offset, whence);
#else
    return fseeko(f, static_cast<off_t>(offset), whence);
#endif
}

int64_t tell64(std::FILE* f) {
#if defined(_WIN32)
    return _ftelli64(f);
#else
    return static_cast<int64_t>(ftello(f));
#endif
}

int64_t fileSize(std::FILE* f) {
    int64_t here = tell64(f);
    if (seek64(f, 0, SEEK_END) != 0) return -1;
    int64_t end = tell64(f);
    seek64(f, here, SEEK_SET);
    return end;
}

float sampleAt(const unsigned char* p, WavEncoding encoding) {
    switch (encoding) {
        case WavEncoding::Pcm16:
            return static_cast<float>(static_cast<int16_t>(le16(p))) * (1.0f / 32768.0f);
        case WavEncoding::Pcm24: {
            // Sign-extended through the top byte, as a 32-bit sample.
            auto v = static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 8 |
                                          static_cast<uint32_t>(p[1]) << 16 |
                                          static_cast<uint32_t>(p[2]) << 24);
            return static_cast<float>(v) * (1.0f / 2147483648.0f);
        }
        case WavEncoding::Pcm32:
            return static_cast<float>(static_cast<int32_t>(le32(p))) * (1.0f / 2147483648.0f);
        case WavEncoding::Float32: {
            uint32_t bits = le32(p);
            float v;
            std::memcpy(&v, &bits, sizeof v);
            return v;
        }
    }
    return 0.0f;
}

}  // namespace

WavReader::WavReader(const std::string& path) {
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr) throw HostError("cannot open audio file " + path);
    auto fail = [&](const std::string& why) {
        std::fclose(file_);
        file_ = nullptr;
        throw HostError("cannot read audio file " + path + ": " + why);
    };
    unsigned char head[12];
    if (std::fread(head, 1, sizeof head, file_) != sizeof head ||
        std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) {
        fail("not a WAV file (this build of the host reads WAV files only)");
    }
    bool haveFormat = false;
    for (int i = 0; i < kMaxChunks; ++i) {
        unsigned char chunk[8];
        if (std::fread(chunk, 1, sizeof chunk, file_) != sizeof chunk) break;
        uint32_t size = le32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            unsigned char fmt[40] = {};
            uint32_t take = size < sizeof fmt ? size : static_cast<uint32_t>(sizeof fmt);
            if (size < 16 || std::fread(fmt, 1, take, file_) != take) fail("damaged format chunk");
            if (seek64(file_, size - take + (size & 1), SEEK_CUR) != 0)
                fail("damaged format chunk");
            uint16_t tag = le16(fmt);
            // An extensible header names the real encoding in its sub-format.
            if (tag == kFormatExtensible && size >= 40) tag = le16(fmt + 24);
            channels_ = le16(fmt + 2);
            uint32_t rate = le32(fmt + 4);
            int bits = le16(fmt + 14);
            if (tag == kFormatPcm && bits == 16) {
                encoding_ = WavEncoding::Pcm16;
            } else if (tag == kFormatPcm && bits == 24) {
                encoding_ = WavEncoding::Pcm24;
            } else if (tag == kFormatPcm && bits == 32) {
                encoding_ = WavEncoding::Pcm32;
            } else if (tag == kFormatFloat && bits == 32) {
                encoding_ = WavEncoding::Float32;
            } else {
                fail("encoding " + std::to_string(tag) + " with " + std::to_string(bits) +
                     "-bit samples is not supported (16-, 24-, 32-bit PCM and 32-bit float are)");
            }
            if (channels_ < 1 || channels_ > kMaxChannels) {
                fail("its header gives " + std::to_string(channels_) + " channels");
            }
            if (rate < 1 || rate > 0x7FFFFFFFu) {
                fail("its header gives a sample rate of " + std::to_string(rate) + " Hz");
            }
            sampleRate_ = static_cast<int>(rate);
            sampleBytes_ = bits / 8;
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) fail("its data comes before its format chunk");
            const int64_t frameBytes = static_cast<int64_t>(sampleBytes_) * channels_;
            int64_t start = tell64(file_);
            int64_t end = fileSize(file_);
            int64_t present = end > start ? (end - start) / frameBytes : 0;
            // A size of 0xFFFFFFFF is written by programs that could not seek
            // back to fill it in: the data then runs to the end of the file.
            announcedFrames_ = size == 0xFFFFFFFFu ? present : size / frameBytes;
            presentFrames_ = present < announcedFrames_ ? present : announcedFrames_;
            framesLeft_ = presentFrames_;
            return;
        } else if (seek64(file_, static_cast<int64_t>(size) + (size & 1), SEEK_CUR) != 0) {
            break;
        }
    }
    fail(haveFormat ? "it has no data chunk" : "it has no format chunk");
}

WavReader::~WavReader() {
    if (file_ != nullptr) std::fclose(file_);
}

int64_t WavReader::read(float* interleaved, int64_t frames) {
    const size_t frameBytes = static_cast<size_t>(sampleBytes_) * static_cast<size_t>(channels_);
    std::vector<unsigned char> raw(static_cast<size_t>(kChunkFrames) * frameBytes);
    int64_t done = 0;
    while (done < frames && framesLeft_ > 0) {
        int64_t want = std::min({frames - done, framesLeft_, kChunkFrames});
        size_t got = std::fread(raw.data(), frameBytes, static_cast<size_t>(want), file_);
        float* out = interleaved + done * channels_;
        for (size_t i = 0; i < got * static_cast<size_t>(channels_); ++i) {
            out[i] = sampleAt(raw.data() + i * static_cast<size_t>(sampleBytes_), encoding_);
        }
        done += static_cast<int64_t>(got);
        framesLeft_ -= static_cast<int64_t>(got);
        if (static_cast<int64_t>(got) < want) {
            framesLeft_ = 0;  // the file ended or could not be read further
            break;
        }
    }
    return done;
}

WavFloatWriter::WavFloatWriter(std::FILE* file, int channels, int sampleRate)
    : file_(file), channels_(channels), sampleRate_(sampleRate) {
    ok_ = writeHeader();
}

// RIFF, a format chunk of 18 bytes (float samples need the size field), the
// fact chunk with the frame count that non-PCM files carry, the data chunk.
bool WavFloatWriter::writeHeader() {
    unsigned char h[58] = {};
    const uint32_t frameBytes = 4u * static_cast<uint32_t>(channels_);
    const uint64_t riffSize = 50 + dataBytes_;
    std::memcpy(h, "RIFF", 4);
    put32(h + 4, riffSize > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(riffSize));
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put32(h + 16, 18);
    put16(h + 20, kFormatFloat);
    put16(h + 22, static_cast<uint16_t>(channels_));
    put32(h + 24, static_cast<uint32_t>(sampleRate_));
    put32(h + 28, static_cast<uint32_t>(sampleRate_) * frameBytes);
    put16(h + 32, static_cast<uint16_t>(frameBytes));
    put16(h + 34, 32);
    put16(h + 36, 0);
    std::memcpy(h + 38, "fact", 4);
    put32(h + 42, 4);
    put32(h + 46, static_cast<uint32_t>(dataBytes_ / frameBytes));
    std::memcpy(h + 50, "data", 4);
    put32(h + 54, dataBytes_ > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(dataBytes_));
    return std::fwrite(h, 1, sizeof h, file_) == sizeof h;
}

bool WavFloatWriter::write(const float* interleaved, int64_t frames) {
    const size_t count = static_cast<size_t>(frames) * static_cast<size_t>(channels_);
    std::vector<unsigned char> bytes(count * 4);
    for (size_t i = 0; i < count; ++i) {
        uint32_t bits;
        std::memcpy(&bits, &interleaved[i], sizeof bits);
        put32(&bytes[i * 4], bits);
    }
    ok_ = ok_ && std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
    dataBytes_ += bytes.size();
    return ok_;
}

bool WavFloatWriter::finish() {
    ok_ = ok_ && std::fseek(file_, 0, SEEK_SET) == 0 && writeHeader() && std::fflush(file_) == 0;
    return ok_;
}

}  // namespace tarnwick::host
