// tarnwick-host against small modules of known behaviour: its errors, its
// parameter naming, its channel routing and its care with module answers.

#include "HostTestSupport.h"

#include <FLAC/stream_encoder.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

using namespace hosttest;

namespace {

constexpr int kRate = 48000;
const std::string kOutBefore = "left alone";

// Expects a failed run: non-zero exit, one line on stderr, no output made.
void expectOneLineError(const RunResult& r, const std::string& mentions) {
    EXPECT_NE(r.exitCode, 0);
    EXPECT_EQ(r.err.rfind("tarnwick-host: error: ", 0), 0u) << r.err;
    ASSERT_FALSE(r.err.empty());
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "more than one line: " << r.err;
    EXPECT_NE(r.err.find(mentions), std::string::npos) << r.err;
}

// Writes VALUE as the 32-bit little-endian field AT bytes after the start of
// the first chunk called ID in the WAV file at PATH.
void patchWaveHeader(const std::string& path, const char* id, size_t at, uint32_t value) {
    std::string bytes = readText(path);
    size_t chunk = bytes.find(id, 12);
    ASSERT_NE(chunk, std::string::npos) << id;
    for (size_t i = 0; i < 4; ++i) bytes[chunk + at + i] = static_cast<char>(value >> (8 * i));
    writeText(path, bytes);
}

// Encodes 16-bit SAMPLES as a FLAC stream, as an encoder writing to a pipe
// does: it cannot seek back, so the header gives no length (total samples 0).
std::string streamedFlac(int channels, int rate, const std::vector<FLAC__int32>& samples) {
    std::string bytes;
    auto write = [](const FLAC__StreamEncoder*, const FLAC__byte buffer[], size_t n, uint32_t,
                    uint32_t, void* to) {
        static_cast<std::string*>(to)->append(reinterpret_cast<const char*>(buffer), n);
        return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
    };
    FLAC__StreamEncoder* encoder = FLAC__stream_encoder_new();
    FLAC__stream_encoder_set_channels(encoder, static_cast<uint32_t>(channels));
    FLAC__stream_encoder_set_bits_per_sample(encoder, 16);
    FLAC__stream_encoder_set_sample_rate(encoder, static_cast<uint32_t>(rate));
    bool ok = FLAC__stream_encoder_init_stream(encoder, write, nullptr, nullptr, nullptr, &bytes) ==
              FLAC__STREAM_ENCODER_INIT_STATUS_OK;
    ok = ok && FLAC__stream_encoder_process_interleaved(
                   encoder, samples.data(), static_cast<uint32_t>(samples.size() / channels));
    ok = FLAC__stream_encoder_finish(encoder) && ok;
    FLAC__stream_encoder_delete(encoder);
    EXPECT_TRUE(ok);
    return bytes;
}

// Cuts the file at PATH to SHARE of its bytes.
void cutFile(const std::string& path, double share) {
    off_t size = static_cast<off_t>(readText(path).size());
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(static_cast<double>(size) * share)), 0);
}

class HostCli : public ::testing::Test {
protected:
    void SetUp() override {
        signal = tmp.File("signal.wav");
        key = tmp.File("key.wav");
        out = tmp.File("out.wav");
        writeAudio(signal, 2, kRate, std::vector<float>(2 * 1000, 0.25f));
        writeAudio(key, 1, kRate, std::vector<float>(1000, 0.125f));
        writeText(out, kOutBefore);
    }

    std::vector<std::string> processArgs(const std::string& module) {
        return {"process", module, "--signal", signal, "--key", key, "--out", out};
    }

    // OUT keeps its old content and no temporary file is left beside it; the
    // folder holds the three files and ALSO.
    void expectOutUntouched(std::vector<std::string> also = {}) {
        EXPECT_EQ(readText(out), kOutBefore);
        also.insert(also.end(), {"key.wav", "out.wav", "signal.wav"});
        std::sort(also.begin(), also.end());
        EXPECT_EQ(tmp.Entries(), also);
    }

    TempDir tmp;
    std::string signal, key, out;
};

TEST_F(HostCli, ModuleFailuresAreOneLineErrors) {
    TempDir other;
    std::string text = other.File("text.so");
    writeText(text, "not a shared object");
    struct Case {
        std::string module;
        std::string mentions;
    } cases[] = {
        {tmp.File("missing.so"), "module not found"}, {text, "cannot load module"},
        {NO_ENTRY_MODULE, "no VST entry point"},      {NULL_EFFECT_MODULE, "returned no effect"},
        {BAD_MAGIC_MODULE, "no valid effect record"}, {HUGE_COUNTS_MODULE, "impossible counts"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.module);
        expectOneLineError(runHost({"info", c.module}), c.mentions);
        expectOneLineError(runHost(processArgs(c.module)), c.mentions);
        expectOutUntouched();
    }
}

TEST_F(HostCli, AudioFileFailuresAreOneLineErrors) {
    std::string notAudio = tmp.File("notaudio.wav");
    writeText(notAudio, "RIFF but not really");
    std::string otherRate = tmp.File("rate.wav");
    writeAudio(otherRate, 1, 44100, std::vector<float>(1000, 0.125f));
    std::string shorter = tmp.File("short.wav");
    writeAudio(shorter, 1, kRate, std::vector<float>(999, 0.125f));
    std::string three = tmp.File("three.wav");
    writeAudio(three, 3, kRate, std::vector<float>(3 * 1000, 0.125f));
    std::string noRate = tmp.File("norate.wav");
    writeAudio(noRate, 1, kRate, std::vector<float>(1000, 0.125f));
    patchWaveHeader(noRate, "fmt ", 12, 0);
    auto with = [&](const std::string& s, const std::string& k) {
        return std::vector<std::string>{"process", ROUTING_MODULE, "--signal", s, "--key",
                                        k,         "--out",        out};
    };
    expectOneLineError(runHost(with(tmp.File("nosuch.wav"), key)), "audio file not found");
    expectOneLineError(runHost(with(signal, tmp.File("nosuch.wav"))), "audio file not found");
    expectOneLineError(runHost(with(notAudio, key)), "cannot read audio file");
    expectOneLineError(runHost(with(signal, otherRate)), "sample rates differ");
    expectOneLineError(runHost(with(signal, shorter)), "lengths differ");
    expectOneLineError(runHost(with(three, key)), "1, 2 or 4 channels");
    expectOneLineError(runHost(with(signal, three)), "1 or 2 channels");
    expectOneLineError(runHost(with(noRate, key)), "its header gives a sample rate of 0 Hz");
    // AIFF keeps its rate as an 80-bit float, which can say anything.
    const struct {
        std::string says;
        std::vector<unsigned char> extended;
    } rates[] = {
        {"a sample rate that is not a number", {0x7F, 0xFF, 0xC0, 0, 0, 0, 0, 0, 0, 0}},
        {"an infinite sample rate", {0x7F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0}},
        {"a sample rate of 1.07151e+301 Hz", {0x43, 0xE7, 0x80, 0, 0, 0, 0, 0, 0, 0}},  // 2^1000
        {"a sample rate of 1e+10 Hz", {0x40, 0x20, 0x95, 0x02, 0xF9, 0, 0, 0, 0, 0}},
        {"a sample rate of 1.0001e+07 Hz", {0x40, 0x16, 0x98, 0x9A, 0x68, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : rates) {
        SCOPED_TRACE(c.says);
        std::string aiff = tmp.File("rate.aiff");
        writeAudio(aiff, 1, kRate, std::vector<float>(1000, 0.125f),
                   SF_FORMAT_AIFF | SF_FORMAT_PCM_16);
        std::string bytes = readText(aiff);
        size_t comm = bytes.find("COMM");
        ASSERT_NE(comm, std::string::npos);
        bytes.replace(comm + 16, 10, std::string(c.extended.begin(), c.extended.end()));
        writeText(aiff, bytes);
        expectOneLineError(runHost(with(aiff, aiff)),
                           "its header gives " + c.says + " (the host reads 1 Hz to 10 MHz)");
        std::remove(aiff.c_str());
    }
    expectOneLineError(runHost({"process", ROUTING_MODULE, "--signal", signal, "--out", out}),
                       "--key");
    std::remove(notAudio.c_str());
    std::remove(otherRate.c_str());
    std::remove(shorter.c_str());
    std::remove(three.c_str());
    std::remove(noRate.c_str());
    expectOutUntouched();
}

TEST_F(HostCli, ParameterNamesAndRangesAreChecked) {
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"volume=0.5", "unknown parameter: volume"},
        {"par6=0.5", "unknown parameter: par6"},
        {"Threshold=0.5", "unknown parameter: Threshold"},
        {"par3=1.5", "value out of range for par3"},
        {"attack=-0.1", "value out of range for attack"},
        {"hold=nan", "value out of range for hold"},
        {"release=0.5x", "value out of range for release"},
        {"threshold=", "value out of range for threshold"},
        {"=0.5", "--set needs NAME=VALUE"},
    };
    for (const auto& [set, mentions] : bad) {
        SCOPED_TRACE(set);
        auto args = processArgs(ROUTING_MODULE);
        args.insert(args.end(), {"--set", set});
        expectOneLineError(runHost(args), mentions);
    }
    for (const char* program : {"16", "-1", "two"}) {
        auto args = processArgs(ROUTING_MODULE);
        args.insert(args.end(), {"--program", program});
        expectOneLineError(runHost(args), "program");
    }
    for (const char* block : {"0", "-4", "2000000", "many"}) {
        auto args = processArgs(ROUTING_MODULE);
        args.insert(args.end(), {"--block", block});
        expectOneLineError(runHost(args), "--block");
    }
    expectOutUntouched();
}

// The routing module adds par3 to output 1 and par5 to output 2; programs set
// par3 to N/16. The host applies the program first, then every --set.
TEST_F(HostCli, ParametersByHostNameOrRoleAfterTheProgram) {
    struct Case {
        std::vector<std::string> extra;
        float par3, par5;
    } cases[] = {
        {{}, 0.0f, 0.0f},
        {{"--program", "4"}, 0.25f, 0.0f},
        {{"--set", "par3=0.5"}, 0.5f, 0.0f},
        {{"--set", "threshold=0.75", "--set", "active=1"}, 0.75f, 1.0f},
        {{"--program", "8", "--set", "par5=0.125"}, 0.5f, 0.125f},
        {{"--set", "threshold=0.25", "--program", "2"}, 0.25f, 0.0f},
    };
    for (const auto& c : cases) {
        auto args = processArgs(ROUTING_MODULE);
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        RunResult r = runHost(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        Audio a = readAudio(out);
        ASSERT_EQ(a.info.frames, 1000);
        // Signal 0.25 on both channels, key 0.125 on both key inputs.
        EXPECT_EQ(a.samples[0], 0.25f + 0.25f + c.par3);
        EXPECT_EQ(a.samples[1], 0.25f + 0.25f + c.par5);
    }
}

TEST_F(HostCli, MonoFilesFeedBothChannelsOfTheirPair) {
    std::vector<float> mono(1000), stereoKey(2 * 1000);
    for (size_t i = 0; i < 1000; ++i) {
        mono[i] = static_cast<float>(i % 8) / 8.0f;
        stereoKey[2 * i] = 0.0625f;
        stereoKey[2 * i + 1] = -0.5f;
    }
    writeAudio(signal, 1, kRate, mono);
    writeAudio(key, 2, kRate, stereoKey);
    RunResult r = runHost(processArgs(ROUTING_MODULE));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Audio a = readAudio(out);
    ASSERT_EQ(a.info.channels, 2);
    ASSERT_EQ(a.info.frames, 1000);
    for (size_t i = 0; i < 1000; ++i) {
        ASSERT_EQ(a.samples[2 * i], mono[i] + 0.125f) << i;
        ASSERT_EQ(a.samples[2 * i + 1], mono[i] - 1.0f) << i;
    }
}

TEST_F(HostCli, FourChannelSignalCarriesItsOwnKey) {
    std::vector<float> four(4 * 500);
    for (size_t i = 0; i < 500; ++i) {
        four[4 * i] = 0.5f;
        four[4 * i + 1] = -0.25f;
        four[4 * i + 2] = static_cast<float>(i % 4) / 16.0f;
        four[4 * i + 3] = 0.125f;
    }
    writeAudio(signal, 4, kRate, four);
    RunResult r =
        runHost({"process", ROUTING_MODULE, "--signal", signal, "--out", out, "--block", "7"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Audio a = readAudio(out);
    ASSERT_EQ(a.info.frames, 500);
    for (size_t i = 0; i < 500; ++i) {
        ASSERT_EQ(a.samples[2 * i], 0.5f + 2.0f * four[4 * i + 2]) << i;
        ASSERT_EQ(a.samples[2 * i + 1], 0.0f) << i;
    }
    // A separate key on top of a 4-channel signal is ambiguous.
    expectOneLineError(
        runHost({"process", ROUTING_MODULE, "--signal", signal, "--key", key, "--out", out}),
        "4 channels");
}

TEST_F(HostCli, AccumulatingUsesTheProcessRoutine) {
    RunResult r = runHost([&] {
        auto a = processArgs(ROUTING_MODULE);
        a.insert(a.end(), {"--accumulate", "--set", "par5=0.5", "--block", "64"});
        return a;
    }());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Audio a = readAudio(out);
    ASSERT_EQ(a.info.frames, 1000);
    for (size_t i = 0; i < 1000; ++i) {
        ASSERT_EQ(a.samples[2 * i], 0.5f) << i;
        ASSERT_EQ(a.samples[2 * i + 1], 1.0f) << i;
    }
}

// What the effect is told, and in which order: the rate before the program
// (the gate computes its time steps when a program is chosen), the time
// position of every block, the answers to its queries.
TEST_F(HostCli, TheEffectIsSetUpAndAnsweredAsByADaw) {
    writeAudio(signal, 1, 44100, std::vector<float>(1000, 0.0f));
    writeAudio(key, 1, 44100, std::vector<float>(1000, 0.0f));
    for (bool accumulate : {false, true}) {
        SCOPED_TRACE(accumulate ? "accumulate" : "replace");
        auto args = processArgs(OBSERVER_MODULE);
        args.insert(args.end(), {"--block", "64"});
        if (accumulate) args.push_back("--accumulate");
        RunResult r = runHost(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        Audio a = readAudio(out);
        ASSERT_EQ(a.info.frames, 1000);
        for (size_t i = 0; i < 1000; ++i) ASSERT_EQ(a.samples[2 * i], static_cast<float>(i)) << i;
        std::vector<float> table;
        for (size_t i = 0; i < 32; ++i) table.push_back(a.samples[2 * i + 1]);
        const std::vector<float> answers = {44100, 64, 120, 2400, 1, accumulate ? 2.0f : 1.0f,
                                            44100, 120};
        EXPECT_EQ(std::vector<float>(table.begin(), table.begin() + 8), answers);
        const std::vector<float> opcodes = {0 /* effOpen */,
                                            10 /* effSetSampleRate */,
                                            11 /* effSetBlockSize */,
                                            2 /* effSetProgram */,
                                            12 /* effMainsChanged */,
                                            71 /* effStartProcess */,
                                            -1};
        EXPECT_EQ(std::vector<float>(table.begin() + 8, table.begin() + 15), opcodes);
    }
}

TEST_F(HostCli, OutputContainerFollowsTheExtension) {
    struct Case {
        std::string name;
        int format;
    } cases[] = {
        {"o.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
        {"o.AIFF", SF_FORMAT_AIFF | SF_FORMAT_FLOAT},
        {"o.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24},  // FLAC holds no floats
        {"o.out", SF_FORMAT_WAV | SF_FORMAT_FLOAT},     // unknown: the input's container
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RunResult r = runHost({"process", ROUTING_MODULE, "--signal", signal, "--key", key, "--out",
                               tmp.File(c.name)});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        Audio a = readAudio(tmp.File(c.name));
        EXPECT_EQ(a.info.format, c.format);
        EXPECT_EQ(a.info.samplerate, kRate);
        EXPECT_EQ(a.info.channels, 2);
        ASSERT_EQ(a.info.frames, 1000);
        EXPECT_EQ(a.samples[999 * 2], 0.5f);
        std::remove(tmp.File(c.name).c_str());
    }
}

// Replacing OUT must never cost the user a file: not an input under another
// name, not what a link points to, not a FIFO or device, not a read-only file.
TEST_F(HostCli, OutputNeverReplacesAnInputOrANonFile) {
    const std::string signalBytes = readText(signal), keyBytes = readText(key);
    TempDir other;
    std::string elsewhere = other.File("elsewhere.wav");
    writeText(elsewhere, kOutBefore);
    ASSERT_EQ(::symlink(signal.c_str(), tmp.File("to-signal.wav").c_str()), 0);
    ASSERT_EQ(::link(key.c_str(), tmp.File("key-again.wav").c_str()), 0);
    ASSERT_EQ(::symlink(elsewhere.c_str(), tmp.File("to-elsewhere.wav").c_str()), 0);
    ASSERT_EQ(::mkfifo(tmp.File("fifo.wav").c_str(), 0644), 0);
    ASSERT_EQ(::chmod(out.c_str(), 0444), 0);
    const struct {
        std::string out, mentions;
    } cases[] = {
        {signal, "same file as --signal"},
        {tmp.Dir() + "/./signal.wav", "same file as --signal"},
        {tmp.File("to-signal.wav"), "same file as --signal"},
        {key, "same file as --key"},
        {tmp.File("key-again.wav"), "same file as --key"},
        {ROUTING_MODULE, "same file as the module"},
        {tmp.File("to-elsewhere.wav"), "output is a symbolic link"},
        {tmp.File("fifo.wav"), "output is a FIFO"},
        {tmp.Dir(), "output is a directory"},
        {out, "output is read-only"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.out);
        expectOneLineError(
            runHost({"process", ROUTING_MODULE, "--signal", signal, "--key", key, "--out", c.out}),
            c.mentions);
    }
    EXPECT_EQ(readText(signal), signalBytes);
    EXPECT_EQ(readText(key), keyBytes);
    EXPECT_EQ(readText(elsewhere), kOutBefore);
    expectOutUntouched({"fifo.wav", "key-again.wav", "to-elsewhere.wav", "to-signal.wav"});
    struct stat st {};
    EXPECT_TRUE(::lstat(tmp.File("to-elsewhere.wav").c_str(), &st) == 0 && S_ISLNK(st.st_mode));
    EXPECT_TRUE(::lstat(tmp.File("fifo.wav").c_str(), &st) == 0 && S_ISFIFO(st.st_mode));

    // A device node, where this account may make one.
    std::string device = tmp.File("null.wav");
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        expectOneLineError(
            runHost({"process", ROUTING_MODULE, "--signal", signal, "--key", key, "--out", device}),
            "output is a character device");
        EXPECT_TRUE(::lstat(device.c_str(), &st) == 0 && S_ISCHR(st.st_mode));
        ::unlink(device.c_str());
    }

    // --force replaces a read-only file, and only that.
    auto args = processArgs(ROUTING_MODULE);
    args.push_back("--force");
    RunResult r = runHost(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readAudio(out).info.frames, 1000);
    args[7] = key;
    expectOneLineError(runHost(args), "same file as --key");
}

// A file shorter than its header says is refused, or with --allow-truncated
// processed as far as it goes, with a warning for each short input.
TEST_F(HostCli, TruncatedFilesAreRefusedUnlessAllowed) {
    std::vector<float> second(kRate);
    for (size_t i = 0; i < second.size(); ++i) second[i] = std::sin(0.05f * static_cast<float>(i));
    const struct {
        std::string name;
        int format;
        uint32_t claimedBytes;  // written over the data chunk's size unless 0
        double share;           // of the file's bytes kept
        std::string announced;
    } cases[] = {
        {"cut.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0, 0.6, "48000"},
        {"cut.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 0, 0.6, "48000"},
        {"cut.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 0, 0.6, "48000"},
        {"huge.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 1u << 31, 1.0, "2147483648"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string cut = tmp.File(c.name);
        writeAudio(cut, 1, kRate, second, c.format);
        if (c.claimedBytes != 0) patchWaveHeader(cut, "data", 4, c.claimedBytes);
        cutFile(cut, c.share);
        std::vector<std::string> args = {"process", ROUTING_MODULE, "--signal", cut, "--key",
                                         cut,       "--out",        out};
        const std::string says = cut + " is truncated: header says " + c.announced + " frames, ";
        expectOneLineError(runHost(args), says);
        expectOutUntouched({c.name});

        args.push_back("--allow-truncated");
        RunResult r = runHost(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        int64_t present = readAudio(out).info.frames;
        EXPECT_GT(present, 0);
        EXPECT_LT(present, std::stoll(c.announced));
        const std::string warning =
            "tarnwick-host: warning: " + says + std::to_string(present) + " present";
        EXPECT_EQ(r.err.find(warning), 0u) << r.err;                        // the signal
        EXPECT_NE(r.err.find("\n" + warning), std::string::npos) << r.err;  // the key
        writeText(out, kOutBefore);
        std::remove(cut.c_str());
    }

    // The key alone is short.
    writeAudio(signal, 1, kRate, second);
    writeAudio(key, 1, kRate, second);
    cutFile(key, 0.6);
    expectOneLineError(runHost(processArgs(ROUTING_MODULE)),
                       key + " is truncated: header says 48000 frames, ");
    expectOutUntouched();
}

// A FLAC file encoded as a stream gives no length in its header: it is read to
// its end and gives what the same audio as WAV gives; its length is then
// checked against the other file's, and a damaged end is reported.
TEST_F(HostCli, StreamedFlacIsReadToItsEnd) {
    auto audio = [](int channels, int frames, int seed) {
        std::vector<FLAC__int32> ints(static_cast<size_t>(channels * frames));
        std::vector<float> floats(ints.size());
        for (size_t i = 0; i < ints.size(); ++i) {
            ints[i] =
                static_cast<FLAC__int32>((i * 7919 + static_cast<size_t>(seed)) % 65536) - 32768;
            floats[i] = static_cast<float>(ints[i]) / 32768.0f;
        }
        return std::pair{ints, floats};
    };
    auto [signalInts, signalFloats] = audio(2, 5000, 1);
    auto [keyInts, keyFloats] = audio(1, 5000, 2);
    writeAudio(signal, 2, kRate, signalFloats);
    writeAudio(key, 1, kRate, keyFloats);
    ASSERT_EQ(runHost(processArgs(ROUTING_MODULE)).exitCode, 0);
    const std::string expected = readText(out);
    ASSERT_EQ(readAudio(out).info.frames, 5000);

    std::string flacSignal = tmp.File("signal.flac"), flacKey = tmp.File("key.flac");
    writeText(flacSignal, streamedFlac(2, kRate, signalInts));
    writeText(flacKey, streamedFlac(1, kRate, keyInts));
    SF_INFO info{};  // what makes the case: libsndfile reports the length as unknown
    sf_close(sf_open(flacSignal.c_str(), SFM_READ, &info));
    ASSERT_EQ(info.frames, SF_COUNT_MAX);
    for (auto [s, k] : {std::pair{flacSignal, key}, {signal, flacKey}, {flacSignal, flacKey}}) {
        SCOPED_TRACE(s + " " + k);
        writeText(out, kOutBefore);
        RunResult r = runHost({"process", ROUTING_MODULE, "--signal", s, "--key", k, "--out", out});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(readText(out) == expected);
    }

    writeText(out, kOutBefore);
    auto [longerInts, longerFloats] = audio(1, 5200, 3);
    writeText(flacKey, streamedFlac(1, kRate, longerInts));
    const std::vector<std::string> withFlacKey = {"process", ROUTING_MODULE, "--signal", signal,
                                                  "--key",   flacKey,        "--out",    out};
    expectOneLineError(runHost(withFlacKey),
                       "lengths differ: " + signal + " 5000 frames, " + flacKey + " 5200 frames");
    writeText(flacKey, streamedFlac(1, kRate, keyInts));
    cutFile(flacKey, 0.6);
    expectOneLineError(runHost(withFlacKey), flacKey + " is truncated");
    std::remove(flacSignal.c_str());
    std::remove(flacKey.c_str());
    expectOutUntouched();
}

// Interrupted, the host removes its unfinished result and ends as the signal
// says.
TEST_F(HostCli, AnInterruptedRunLeavesNoPartialFile) {
    // Three million frames one at a time: seconds of work, to be cut short.
    writeAudio(signal, 1, kRate, std::vector<float>(3'000'000, 0.25f));
    writeAudio(key, 1, kRate, std::vector<float>(3'000'000, 0.125f));
    auto args = processArgs(ROUTING_MODULE);
    args.insert(args.end(), {"--block", "1"});
    auto partialExists = [&] {
        for (const auto& name : tmp.Entries())
            if (name.rfind(".tarnwick-host-", 0) == 0) return true;
        return false;
    };
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(sig);
        Started run = startTool(TARNWICK_HOST_EXE, args);
        for (int i = 0; i < 10000 && !partialExists(); ++i) ::usleep(1000);
        ASSERT_TRUE(partialExists());
        ASSERT_EQ(::kill(run.pid, sig), 0);
        RunResult r = waitTool(run);
        EXPECT_EQ(r.signal, sig) << r.exitCode << r.err;
        expectOutUntouched();
    }
}

// render writes its picture as process writes audio: only over a file it may
// replace, and only whole.
TEST(HostRender, ThePictureReplacesOnlyAFileAndOnlyWhenComplete) {
    TempDir tmp, other;
    const std::string before = "an older picture";
    std::string png = tmp.File("editor.png"), readOnly = tmp.File("read-only.png");
    std::string elsewhere = other.File("elsewhere.png");
    for (const std::string& file : {png, readOnly, elsewhere}) writeText(file, before);
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    ASSERT_EQ(::symlink(elsewhere.c_str(), tmp.File("link.png").c_str()), 0);
    ASSERT_EQ(::mkfifo(tmp.File("fifo.png").c_str(), 0644), 0);
    const struct {
        std::string out, mentions;
    } refused[] = {
        {tmp.File("link.png"), "output is a symbolic link"},
        {tmp.File("fifo.png"), "output is a FIFO"},
        {tmp.Dir(), "output is a directory"},
        {readOnly, "output is read-only: " + readOnly + " (--force replaces it)"},
        {tmp.File("no/such/folder.png"), "output folder does not exist"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.out);
        expectOneLineError(runHost({"render", "--out", c.out}), c.mentions);
    }
    // A write that fails part way (here at the file size limit) leaves the old
    // picture as it was.
    RunResult r = runTool("/bin/sh", {"-c", "trap '' XFSZ; ulimit -f 4; exec \"$0\" \"$@\"",
                                      TARNWICK_HOST_EXE, "render", "--out", png});
    expectOneLineError(r, "cannot write " + png + ": ");
    for (const std::string& file : {png, readOnly, elsewhere}) EXPECT_EQ(readText(file), before);
    const std::vector<std::string> entries = {"editor.png", "fifo.png", "link.png",
                                              "read-only.png"};
    EXPECT_EQ(tmp.Entries(), entries);
    struct stat st {};
    EXPECT_TRUE(::lstat(tmp.File("link.png").c_str(), &st) == 0 && S_ISLNK(st.st_mode));

    r = runHost({"render", "--out", png});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = runHost({"render", "--out", readOnly, "--force"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readText(png).rfind("\x89PNG\r\n\x1a\n", 0), 0u);
    EXPECT_TRUE(readText(png) == readText(readOnly));
    EXPECT_EQ(tmp.Entries(), entries);
}

TEST(HostInfo, TextsFromAModuleAreCutAtTheirStandardSizes) {
    RunResult r = runHost({"info", HOSTILE_MODULE});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string a8(8, 'A'), a24(24, 'A'), a32(32, 'A'), a64(64, 'A'), b63(63, 'B');
    EXPECT_NE(r.out.find("effectName: \"" + a32 + "\"\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("vendor: \"" + a64 + "\"\n"), std::string::npos);
    EXPECT_NE(r.out.find("parameter 5: name=\"" + a8 + "\" value=0.000000 display=\"" + a8 +
                         "\" label=\"" + a8 + "\"\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("program 15: \"" + a24 + "\"\n"), std::string::npos);
    EXPECT_NE(r.out.find("output 1: label=\"" + b63 + "\" flags=0x1 active\n"), std::string::npos);
}

TEST(HostInfo, UsageErrors) {
    expectOneLineError(runHost({"play", ROUTING_MODULE}), "unknown command");
    expectOneLineError(runHost({"info"}), "info needs exactly one MODULE");
    expectOneLineError(runHost({"process", ROUTING_MODULE, "--signal", "x.wav"}), "--out");
    expectOneLineError(runHost({"process", ROUTING_MODULE, "--loud"}), "unknown option: --loud");
}

}  // namespace
