#include "HostTestSupport.h"

#include <dirent.h>
#include <fcntl.h>
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

RunResult runTool(const std::string& path, const std::vector<std::string>& args) {
    TempDir capture;
    std::string outPath = capture.path("stdout");
    std::string errPath = capture.path("stderr");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    std::vector<std::string> all = {path};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error("cannot start " + path);
    int status = 0;
    waitpid(pid, &status, 0);
    RunResult r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = readText(outPath);
    r.err = readText(errPath);
    return r;
}

TempDir::TempDir() {
    std::string templ = "/tmp/tarnwick-host-test-XXXXXX";
    if (mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = templ;
}

TempDir::~TempDir() {
    for (const auto& name : entries()) ::unlink(path(name).c_str());
    ::rmdir(dir_.c_str());
}

std::vector<std::string> TempDir::entries() const {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir_.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
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
