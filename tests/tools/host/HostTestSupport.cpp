#include "HostTestSupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace hosttest {

Started startTool(const std::string& path, const std::vector<std::string>& args) {
    Started started;
    started.capture = std::make_unique<TempDir>();
    std::string outPath = started.capture->File("stdout");
    std::string errPath = started.capture->File("stderr");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&defaults, sig);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<std::string> all = {path};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    int rc = posix_spawn(&started.pid, path.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (rc != 0) throw std::runtime_error("cannot start " + path);
    return started;
}

RunResult waitTool(Started& started) {
    int status = 0;
    waitpid(started.pid, &status, 0);
    RunResult r;
    if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + r.signal;
    r.out = readText(started.capture->File("stdout"));
    r.err = readText(started.capture->File("stderr"));
    return r;
}

void writeAudio(const std::string& path, int channels, int rate, const std::vector<float>& samples,
                int format) {
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (f == nullptr) throw std::runtime_error("cannot write " + path);
    sf_count_t frames = static_cast<sf_count_t>(samples.size()) / channels;
    sf_writef_float(f, samples.data(), frames);
    sf_close(f);
}

Audio readAudio(const std::string& path) {
    Audio a;
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &a.info);
    if (f == nullptr) throw std::runtime_error("cannot read " + path);
    a.samples.resize(static_cast<size_t>(a.info.frames * a.info.channels));
    sf_readf_float(f, a.samples.data(), a.info.frames);
    sf_close(f);
    return a;
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace hosttest
