#include "AudioHeader.h"

#include "EffectHost.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>

namespace tarnwick::host {
namespace {

// Chunks looked at before giving up: real files have a handful before the
// audio, and a damaged size must not send the walk on for ever.
constexpr int kMaxChunks = 256;

uint64_t littleEndian(const unsigned char* p, int bytes) {
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

uint64_t bigEndian(const unsigned char* p, int bytes) {
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
    return v;
}

// The 80-bit extended float AIFF stores its sample rate in.
double extendedToDouble(const unsigned char* p) {
    int exponent = static_cast<int>(bigEndian(p, 2) & 0x7FFF);
    uint64_t mantissa = bigEndian(p + 2, 8);
    if (exponent == 0 && mantissa == 0) return 0.0;
    // The top exponent holds infinity (a fraction of zero below the integer
    // bit) and NaN, which a plain conversion would turn into huge numbers.
    if (exponent == 0x7FFF) {
        if ((mantissa << 1) != 0) return std::numeric_limits<double>::quiet_NaN();
        return (p[0] & 0x80) != 0 ? -HUGE_VAL : HUGE_VAL;
    }
    double v = std::ldexp(static_cast<double>(mantissa), exponent - 16383 - 63);
    return (p[0] & 0x80) != 0 ? -v : v;
}

// Reads the next chunk's id and size; BIG chooses the byte order.
bool nextChunk(std::ifstream& in, bool big, char id[4], uint64_t& size) {
    unsigned char head[8];
    if (!in.read(reinterpret_cast<char*>(head), 8)) return false;
    std::memcpy(id, head, 4);
    size = big ? bigEndian(head + 4, 4) : littleEndian(head + 4, 4);
    return true;
}

// Reads up to N bytes of a chunk's body into BODY (zero-filled) and moves to
// the next chunk, past the pad byte of an odd size.
bool readBody(std::ifstream& in, uint64_t size, unsigned char* body, size_t n) {
    std::memset(body, 0, n);
    auto take = static_cast<std::streamsize>(std::min<uint64_t>(size, n));
    if (!in.read(reinterpret_cast<char*>(body), take)) return false;
    in.seekg(static_cast<std::streamoff>(size + (size & 1) - static_cast<uint64_t>(take)),
             std::ios::cur);
    return static_cast<bool>(in);
}

void readWave(std::ifstream& in, AnnouncedFormat& f) {
    std::optional<uint64_t> ds64Data;
    char id[4];
    uint64_t size = 0;
    unsigned char body[16];
    for (int i = 0; i < kMaxChunks && nextChunk(in, false, id, size); ++i) {
        if (std::memcmp(id, "data", 4) == 0) {
            if (size == 0xFFFFFFFFu) {
                f.dataBytes = ds64Data;
            } else {
                f.dataBytes = size;
            }
            return;
        }
        if (!readBody(in, size, body, sizeof body)) return;
        if (std::memcmp(id, "fmt ", 4) == 0) {
            f.sampleRate = static_cast<double>(littleEndian(body + 4, 4));
        } else if (std::memcmp(id, "ds64", 4) == 0) {
            ds64Data = littleEndian(body + 8, 8);
        }
    }
}

void readAiff(std::ifstream& in, AnnouncedFormat& f) {
    char id[4];
    uint64_t size = 0;
    unsigned char body[18];
    for (int i = 0; i < kMaxChunks && nextChunk(in, true, id, size); ++i) {
        if (!readBody(in, size, body, sizeof body)) return;
        if (std::memcmp(id, "COMM", 4) == 0) {
            f.frames = static_cast<int64_t>(bigEndian(body + 2, 4));
            f.sampleRate = extendedToDouble(body + 8);
            return;
        }
    }
}

}  // namespace

AnnouncedFormat readAnnouncedFormat(const std::string& path) {
    AnnouncedFormat f;
    std::ifstream in(path, std::ios::binary);
    char head[12];
    if (!in.read(head, sizeof head)) return f;
    bool riff = std::memcmp(head, "RIFF", 4) == 0 || std::memcmp(head, "RF64", 4) == 0;
    if (riff && std::memcmp(head + 8, "WAVE", 4) == 0) {
        readWave(in, f);
    } else if (std::memcmp(head, "FORM", 4) == 0 &&
               (std::memcmp(head + 8, "AIFF", 4) == 0 || std::memcmp(head + 8, "AIFC", 4) == 0)) {
        readAiff(in, f);
    }
    return f;
}

void checkSampleRate(const std::string& path, double rate) {
    if (rate >= kMinSampleRate && rate <= kMaxSampleRate) return;
    std::string said;
    if (std::isnan(rate)) {
        said = "a sample rate that is not a number";
    } else if (std::isinf(rate)) {
        said = "an infinite sample rate";
    } else {
        char text[32];
        std::snprintf(text, sizeof text, "%g", rate);
        said = "a sample rate of " + std::string(text) + " Hz";
    }
    throw HostError("cannot read audio file " + path + ": its header gives " + said +
                    " (the host reads 1 Hz to 10 MHz)");
}

}  // namespace tarnwick::host
