#include "AudioFile.h"

#include "AudioHeader.h"
#include "EffectHost.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
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

std::string directoryOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
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

const char* fileKind(mode_t mode) {
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "a special file";
}

// The unfinished result, removed when the run is interrupted. The path is
// stored before the file exists, so the handler does only what is safe in a
// signal handler: unlink a prepared path and raise the signal again.
char gPartialPath[PATH_MAX];
volatile sig_atomic_t gPartialArmed = 0;
constexpr int kInterruptions[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void removePartialAndDie(int sig) {
    if (gPartialArmed != 0) ::unlink(gPartialPath);
    // SA_RESETHAND has put back the default action, and the signal waits
    // until the handler returns: the program then ends as the signal says.
    ::raise(sig);
}

// Holds the interruptions back while the path and the file change together.
class InterruptionsHeld {
public:
    InterruptionsHeld() {
        sigset_t set;
        sigemptyset(&set);
        for (int sig : kInterruptions) sigaddset(&set, sig);
        ::sigprocmask(SIG_BLOCK, &set, &old_);
    }
    ~InterruptionsHeld() { ::sigprocmask(SIG_SETMASK, &old_, nullptr); }
    InterruptionsHeld(const InterruptionsHeld&) = delete;
    InterruptionsHeld& operator=(const InterruptionsHeld&) = delete;

private:
    sigset_t old_;
};

// Once per run. A signal the host was started with ignored (nohup, a
// background job) stays ignored.
void removePartialOnInterruption() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    struct sigaction action {};
    action.sa_handler = removePartialAndDie;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int sig : kInterruptions) sigaddset(&action.sa_mask, sig);
    for (int sig : kInterruptions) {
        struct sigaction before {};
        if (::sigaction(sig, nullptr, &before) == 0 && before.sa_handler != SIG_IGN) {
            ::sigaction(sig, &action, nullptr);
        }
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

void checkOutputPath(const std::string& out, const std::vector<InputPath>& inputs,
                     bool replaceReadOnly) {
    struct stat link {};
    if (::lstat(out.c_str(), &link) != 0) {
        if (errno == ENOENT) return;
        throw HostError("cannot check the output " + out + ": " + std::strerror(errno));
    }
    struct stat target {};
    if (::stat(out.c_str(), &target) == 0) {
        for (const auto& input : inputs) {
            struct stat st {};
            if (::stat(input.path.c_str(), &st) == 0 && st.st_dev == target.st_dev &&
                st.st_ino == target.st_ino) {
                throw HostError("--out " + out + " is the same file as " + input.option + " " +
                                input.path + "; choose another output");
            }
        }
    }
    if (S_ISLNK(link.st_mode)) {
        throw HostError("output is a symbolic link: " + out + " (name the file itself)");
    }
    if (!S_ISREG(link.st_mode)) {
        throw HostError("output is " + std::string(fileKind(link.st_mode)) +
                        ", not a file: " + out);
    }
    // The superuser may write anything, so a file without any write permission
    // counts as read-only whoever runs the host.
    bool readOnly = ::access(out.c_str(), W_OK) != 0 || (link.st_mode & 0222) == 0;
    if (readOnly && !replaceReadOnly) {
        throw HostError("output is read-only: " + out + " (--force replaces it)");
    }
}

SoundReader::SoundReader(const std::string& path) : path_(path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) throw HostError("audio file not found: " + path);
    if (!S_ISREG(st.st_mode)) throw HostError("audio file is not a file: " + path);
    AnnouncedFormat header = readAnnouncedFormat(path);
    // libsndfile refuses a WAV without a rate in words meant for programmers,
    // and opens an AIFF without one at 1 Hz.
    if (header.sampleRate && *header.sampleRate < 1.0) {
        char rate[32];
        std::snprintf(rate, sizeof rate, "%g", *header.sampleRate);
        throw HostError("cannot read audio file " + path + ": its header gives a sample rate of " +
                        rate + " Hz");
    }
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
    channels_ = info.channels;
    sampleRate_ = info.samplerate;
    format_ = info.format;
    // For WAV and AIFF libsndfile reports the frames present; the header may
    // promise more.
    announcedFrames_ = info.frames;
    int sampleBytes = bytesPerSample(info.format);
    if (header.frames) {
        announcedFrames_ = std::max(announcedFrames_, *header.frames);
    } else if (header.dataBytes && sampleBytes > 0) {
        uint64_t frames = *header.dataBytes / static_cast<uint64_t>(sampleBytes * info.channels);
        announcedFrames_ = std::max<int64_t>(announcedFrames_, static_cast<int64_t>(frames));
    }
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
    : path_(path) {
    struct stat st {};
    std::string dir = directoryOf(path);
    if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        throw HostError("output folder does not exist: " + dir);
    }
    std::string templ = dir + "/.tarnwick-host-XXXXXX";
    if (templ.size() >= sizeof gPartialPath) throw HostError("output path too long: " + path);
    std::vector<char> name(templ.begin(), templ.end());
    name.push_back('\0');
    removePartialOnInterruption();
    int fd = -1;
    {
        InterruptionsHeld held;
        fd = mkstemp(name.data());
        if (fd >= 0) {
            std::memcpy(gPartialPath, name.data(), name.size());
            gPartialArmed = 1;
        }
    }
    if (fd < 0) throw HostError("cannot create a file in " + dir);
    tempPath_ = name.data();
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = sampleRate;
    info.format = format;
    // Writing through the descriptor keeps the file mkstemp made ours.
    sink_ = std::make_unique<Sink>();
    sink_->file = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
    if (sink_->file == nullptr) {
        std::string why = sf_strerror(nullptr);
        ::close(fd);
        discard();
        throw HostError("cannot write audio file " + path + ": " + why);
    }
    // Integer containers clip instead of wrapping round on samples beyond full
    // scale. No peak chunk: it holds the time of writing, and the same input is
    // to give the same file.
    sf_command(sink_->file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    sf_command(sink_->file, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
}

SoundWriter::~SoundWriter() {
    sink_.reset();
    if (!committed_) discard();
}

void SoundWriter::discard() {
    InterruptionsHeld held;
    ::unlink(tempPath_.c_str());
    gPartialArmed = 0;
}

void SoundWriter::write(const float* interleaved, int64_t frames) {
    if (sf_writef_float(sink_->file, interleaved, frames) != frames) {
        throw HostError("cannot write audio file " + path_ + ": " + sf_strerror(sink_->file));
    }
}

void SoundWriter::commit() {
    int rc = sf_close(sink_->file);
    sink_->file = nullptr;
    if (rc != 0) throw HostError("cannot write audio file " + path_ + ": " + sf_error_number(rc));
    // mkstemp makes the file private; the result is an ordinary file.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(tempPath_.c_str(), 0666 & ~mask);
    InterruptionsHeld held;
    if (std::rename(tempPath_.c_str(), path_.c_str()) != 0) {
        throw HostError("cannot move the result into place: " + path_);
    }
    committed_ = true;
    gPartialArmed = 0;
}

}  // namespace tarnwick::host
