#pragma once
// Running tarnwick-host as a user would, and making and reading the audio
// files it works on.

#include <sndfile.h>
#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace hosttest {

using tarnwick::test::TempDir;

struct RunResult {
    int exitCode = -1;  // 128 + the signal when a signal ended the program
    int signal = 0;     // the signal that ended it, else 0
    std::string out;
    std::string err;
};

// A program started and not yet waited for; it starts with the default
// action for every signal a test sends.
struct Started {
    pid_t pid = -1;
    std::unique_ptr<TempDir> capture;  // its stdout and stderr
};
Started startTool(const std::string& path, const std::vector<std::string>& args);
RunResult waitTool(Started& started);

// Runs the program at PATH with ARGS; stdout and stderr are captured.
inline RunResult runTool(const std::string& path, const std::vector<std::string>& args) {
    Started started = startTool(path, args);
    return waitTool(started);
}
// Runs the built tarnwick-host.
inline RunResult runHost(const std::vector<std::string>& args) {
    return runTool(TARNWICK_HOST_EXE, args);
}

struct Audio {
    SF_INFO info{};
    std::vector<float> samples;  // interleaved
};

// Writes interleaved SAMPLES; FORMAT defaults to 32-bit float WAV.
void writeAudio(const std::string& path, int channels, int rate, const std::vector<float>& samples,
                int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT);
Audio readAudio(const std::string& path);

void writeText(const std::string& path, const std::string& text);
std::string readText(const std::string& path);

}  // namespace hosttest
