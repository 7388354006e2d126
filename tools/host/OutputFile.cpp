#include "OutputFile.h"

#include "EffectHost.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>

namespace tarnwick::host {
namespace {

std::string directoryOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
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

OutputFile::OutputFile(const std::string& out) : path_(out) {
    struct stat st {};
    std::string dir = directoryOf(out);
    if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        throw HostError("output folder does not exist: " + dir);
    }
    std::string templ = dir + "/.tarnwick-host-XXXXXX";
    if (templ.size() >= sizeof gPartialPath) throw HostError("output path too long: " + out);
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
    if (fd < 0) throw HostError("cannot create a file in " + dir + ": " + std::strerror(errno));
    tempPath_ = name.data();
    // The stream keeps the file mkstemp made ours; no other name is opened.
    stream_ = ::fdopen(fd, "wb");
    if (stream_ == nullptr) {
        int error = errno;
        ::close(fd);
        discard();
        throw HostError("cannot write " + out + ": " + std::strerror(error));
    }
}

void OutputFile::discard() {
    InterruptionsHeld held;
    ::unlink(tempPath_.c_str());
    gPartialArmed = 0;
}

void OutputFile::moveIntoPlace() {
    // mkstemp makes the file private; the result is an ordinary file.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(tempPath_.c_str(), 0666 & ~mask);
    InterruptionsHeld held;
    if (std::rename(tempPath_.c_str(), path_.c_str()) != 0) {
        throw HostError("cannot move the result into place: " + path_ + ": " +
                        std::strerror(errno));
    }
    gPartialArmed = 0;
}

}  // namespace tarnwick::host
