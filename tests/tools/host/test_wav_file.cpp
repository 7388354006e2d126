// The host's own WAV codec against libsndfile: it reads every encoding it
// takes to the same floats, its files read back exactly, and it names what
// it cannot read.

#include "HostTestSupport.h"
#include "WavFile.h"

#include "EffectHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <vector>

using namespace hosttest;
using tarnwick::host::HostError;
using tarnwick::host::WavEncoding;
using tarnwick::host::WavFloatWriter;
using tarnwick::host::WavReader;

namespace {

std::vector<float> readAll(WavReader& reader, int64_t chunk) {
    std::vector<float> all;
    std::vector<float> buffer(static_cast<size_t>(chunk * reader.channels()));
    while (int64_t n = reader.read(buffer.data(), chunk)) {
        all.insert(all.end(), buffer.begin(), buffer.begin() + n * reader.channels());
    }
    return all;
}

// Full scale both ways, small steps and values between the integer steps.
std::vector<float> testSamples(int channels) {
    std::vector<float> s;
    for (int i = 0; i < 9001 * channels; ++i) {
        s.push_back(static_cast<float>(std::sin(i * 0.0137) * (i % 7 == 0 ? 1.0 : 0.3)));
    }
    s[0] = 1.0f;
    s[1] = -1.0f;
    s[2] = 1e-6f;
    return s;
}

TEST(WavFile, ReadsEveryEncodingToLibsndfilesFloats) {
    TempDir tmp;
    const std::pair<int, WavEncoding> kinds[] = {
        {SF_FORMAT_PCM_16, WavEncoding::Pcm16},
        {SF_FORMAT_PCM_24, WavEncoding::Pcm24},
        {SF_FORMAT_PCM_32, WavEncoding::Pcm32},
        {SF_FORMAT_FLOAT, WavEncoding::Float32},
    };
    for (int channels : {1, 2, 4}) {
        for (auto [subformat, encoding] : kinds) {
            SCOPED_TRACE(std::to_string(channels) + " channels, format " +
                         std::to_string(subformat));
            std::string path = tmp.File("in.wav");
            writeAudio(path, channels, 48000, testSamples(channels), SF_FORMAT_WAV | subformat);
            Audio reference = readAudio(path);
            WavReader reader(path);
            EXPECT_EQ(reader.channels(), channels);
            EXPECT_EQ(reader.sampleRate(), 48000);
            EXPECT_EQ(reader.encoding(), encoding);
            EXPECT_EQ(reader.announcedFrames(), 9001);
            EXPECT_EQ(reader.presentFrames(), 9001);
            std::vector<float> got = readAll(reader, 1000);
            ASSERT_EQ(got.size(), reference.samples.size());
            EXPECT_EQ(std::memcmp(got.data(), reference.samples.data(), got.size() * 4), 0);
        }
    }
}

TEST(WavFile, FloatFilesItWritesReadBackExactly) {
    TempDir tmp;
    std::vector<float> samples = testSamples(2);
    samples[3] = std::numeric_limits<float>::denorm_min();
    samples[4] = -0.0f;
    samples[5] = std::numeric_limits<float>::infinity();
    std::string path = tmp.File("out.wav");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    WavFloatWriter writer(f, 2, 96000);
    ASSERT_TRUE(writer.write(samples.data(), 5000));
    ASSERT_TRUE(writer.write(samples.data() + 10000, 4001));
    ASSERT_TRUE(writer.finish());
    std::fclose(f);

    Audio back = readAudio(path);
    EXPECT_EQ(back.info.channels, 2);
    EXPECT_EQ(back.info.samplerate, 96000);
    EXPECT_EQ(back.info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    ASSERT_EQ(back.samples.size(), samples.size());
    EXPECT_EQ(std::memcmp(back.samples.data(), samples.data(), samples.size() * 4), 0);
    WavReader own(path);
    EXPECT_EQ(own.presentFrames(), 9001);
    EXPECT_EQ(std::memcmp(readAll(own, 4096).data(), samples.data(), samples.size() * 4), 0);
}

TEST(WavFile, CutFileAnnouncesMoreFramesThanItHas) {
    TempDir tmp;
    std::string path = tmp.File("cut.wav");
    writeAudio(path, 2, 44100, testSamples(2), SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    std::string bytes = readText(path);
    writeText(path, bytes.substr(0, bytes.size() - 6 * 1000 - 2));
    WavReader reader(path);
    EXPECT_EQ(reader.announcedFrames(), 9001);
    EXPECT_EQ(reader.presentFrames(), 8000);
    EXPECT_EQ(readAll(reader, 777).size(), 16000u);
}

TEST(WavFile, NamesWhatItCannotRead) {
    TempDir tmp;
    std::vector<float> s = testSamples(1);
    writeAudio(tmp.File("a.aiff"), 1, 44100, s, SF_FORMAT_AIFF | SF_FORMAT_PCM_16);
    writeAudio(tmp.File("u8.wav"), 1, 44100, s, SF_FORMAT_WAV | SF_FORMAT_PCM_U8);
    writeAudio(tmp.File("d.wav"), 1, 44100, s, SF_FORMAT_WAV | SF_FORMAT_DOUBLE);
    writeAudio(tmp.File("f.wav"), 1, 44100, s);
    // RIFF and an 18-byte format chunk, nothing more.
    writeText(tmp.File("nodata.wav"), readText(tmp.File("f.wav")).substr(0, 38));
    std::string zeroRate = readText(tmp.File("f.wav"));
    std::memset(&zeroRate[24], 0, 4);
    writeText(tmp.File("zerorate.wav"), zeroRate);
    const std::pair<const char*, const char*> cases[] = {
        {"a.aiff", "not a WAV file"},
        {"u8.wav", "8-bit samples is not supported"},
        {"d.wav", "64-bit samples is not supported"},
        {"nodata.wav", "no data chunk"},
        {"zerorate.wav", "sample rate of 0 Hz"},
        {"missing.wav", "cannot open"},
    };
    for (auto [file, message] : cases) {
        SCOPED_TRACE(file);
        try {
            WavReader reader(tmp.File(file));
            ADD_FAILURE() << "read without complaint";
        } catch (const HostError& e) {
            EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
        }
    }
}

}  // namespace
