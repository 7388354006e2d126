// Audio files on Windows, where there is no libsndfile: WAV through the
// host's own codec, paths checked and the result put in place with the
// Win32 file functions.
#include "AudioFile.h"

#include "EffectHost.h"
#include "WavFile.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <optional>

namespace tarnwick::host {
namespace {

// The one format code of this codec: WAV, read as floats, written as floats.
constexpr int kWavFormat = 1;

bool isSeparator(char c) { return c == '/' || c == '\\'; }

size_t lastSeparator(const std::string& path) {
    size_t at = path.find_last_of("/\\");
    // "C:name" is relative to the drive's current folder.
    if (at == std::string::npos && path.size() >= 2 && path[1] == ':') return 1;
    return at;
}

std::string lowerExtension(const std::string& path) {
    size_t sep = lastSeparator(path);
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return {};
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

std::string directoryOf(const std::string& path) {
    size_t sep = lastSeparator(path);
    if (sep == std::string::npos) return ".";
    if (sep == 0 || (sep == 2 && path[1] == ':' && isSeparator(path[2]))) {
        return path.substr(0, sep + 1);  // a root: "\" or "C:\"
    }
    return path.substr(0, sep + (path[sep] == ':' ? 1 : 0));
}

// A file's identity, the same through any spelling of its path or a link.
struct FileIdentity {
    DWORD volume;
    DWORD high;
    DWORD low;
    bool operator==(const FileIdentity&) const = default;
};

std::optional<FileIdentity> identityOf(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    bool ok = GetFileInformationByHandle(h, &info) != 0;
    bool disk = GetFileType(h) == FILE_TYPE_DISK;
    CloseHandle(h);
    if (!ok || !disk) return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

bool isDiskFile(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool disk = GetFileType(h) == FILE_TYPE_DISK;
    CloseHandle(h);
    return disk;
}

// The unfinished result, removed when the console asks the program to end.
// The handler runs on a thread of its own; the path is complete before it is
// armed.
char gPartialPath[MAX_PATH];
volatile LONG gPartialArmed = 0;

BOOL WINAPI removePartialOnExit(DWORD /*event*/) {
    if (InterlockedCompareExchange(&gPartialArmed, 0, 1) == 1) DeleteFileA(gPartialPath);
    return FALSE;  // and let the program end as it would have
}

// Opens PATH for writing so that it can be deleted while it is open: the
// console handler removes an unfinished result while the program still
// holds it (the name goes at once, the data when the program ends).
std::FILE* openDeletable(const char* path) {
    HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "wb");
    if (file == nullptr) _close(fd);
    return file;
}

}  // namespace

struct SoundReader::Source {
    explicit Source(const std::string& path) : wav(path) {}
    WavReader wav;
};

struct SoundWriter::Sink {
    std::FILE* file = nullptr;
    std::optional<WavFloatWriter> wav;
    ~Sink() {
        if (file != nullptr) std::fclose(file);
    }
};

void checkOutputPath(const std::string& out, const std::vector<InputPath>& inputs,
                     bool replaceReadOnly) {
    DWORD attributes = GetFileAttributesA(out.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return;
        throw HostError("cannot check the output " + out + " (system error " +
                        std::to_string(code) + ")");
    }
    if (auto target = identityOf(out)) {
        for (const auto& input : inputs) {
            if (identityOf(input.path) == target) {
                throw HostError("--out " + out + " is the same file as " + input.option + " " +
                                input.path + "; choose another output");
            }
        }
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        throw HostError("output is a symbolic link: " + out + " (name the file itself)");
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        throw HostError("output is a directory, not a file: " + out);
    }
    if (!isDiskFile(out)) throw HostError("output is a device, not a file: " + out);
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0 && !replaceReadOnly) {
        throw HostError("output is read-only: " + out + " (--force replaces it)");
    }
}

SoundReader::SoundReader(const std::string& path) : path_(path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) throw HostError("audio file not found: " + path);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !isDiskFile(path)) {
        throw HostError("audio file is not a file: " + path);
    }
    source_ = std::make_unique<Source>(path);
    channels_ = source_->wav.channels();
    sampleRate_ = source_->wav.sampleRate();
    format_ = kWavFormat;
    announcedFrames_ = source_->wav.announcedFrames();
}

SoundReader::~SoundReader() = default;

int64_t SoundReader::read(float* interleaved, int64_t frames) {
    int64_t got = source_->wav.read(interleaved, frames);
    framesRead_ += got;
    return got;
}

void SoundReader::skipToEnd() {
    std::vector<float> scratch(4096 * static_cast<size_t>(channels_));
    while (read(scratch.data(), 4096) > 0) {}
}

int outputFormatFor(const std::string& path, int /*fallbackFormat*/) {
    std::string ext = lowerExtension(path);
    if (ext.empty() || ext == "wav") return kWavFormat;
    throw HostError("this build of the host writes WAV files only: " + path);
}

SoundWriter::SoundWriter(const std::string& path, int /*format*/, int channels, int sampleRate)
    : path_(path) {
    std::string dir = directoryOf(path);
    DWORD attributes = GetFileAttributesA(dir.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        throw HostError("output folder does not exist: " + dir);
    }
    // Makes the file, with a name of its own, in the output's folder.
    char name[MAX_PATH];
    if (GetTempFileNameA(dir.c_str(), "twk", 0, name) == 0) {
        throw HostError("cannot create a file in " + dir);
    }
    tempPath_ = name;
    std::memcpy(gPartialPath, name, std::strlen(name) + 1);
    InterlockedExchange(&gPartialArmed, 1);
    static const bool handlerInstalled = SetConsoleCtrlHandler(removePartialOnExit, TRUE) != 0;
    (void)handlerInstalled;
    sink_ = std::make_unique<Sink>();
    sink_->file = openDeletable(name);
    if (sink_->file == nullptr) {
        discard();
        throw HostError("cannot write audio file " + path);
    }
    sink_->wav.emplace(sink_->file, channels, sampleRate);
}

SoundWriter::~SoundWriter() {
    sink_.reset();
    if (!committed_) discard();
}

void SoundWriter::discard() {
    InterlockedExchange(&gPartialArmed, 0);
    DeleteFileA(tempPath_.c_str());
}

void SoundWriter::write(const float* interleaved, int64_t frames) {
    if (!sink_->wav->write(interleaved, frames)) {
        throw HostError("cannot write audio file " + path_ + " (is the disk full?)");
    }
}

void SoundWriter::commit() {
    bool ok = sink_->wav->finish();
    ok = std::fclose(sink_->file) == 0 && ok;
    sink_->file = nullptr;
    if (!ok) throw HostError("cannot write audio file " + path_ + " (is the disk full?)");
    // A read-only output gets this far only when --force said to replace it.
    DWORD attributes = GetFileAttributesA(path_.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesA(path_.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    if (MoveFileExA(tempPath_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING) == 0) {
        throw HostError("cannot move the result into place: " + path_);
    }
    committed_ = true;
    InterlockedExchange(&gPartialArmed, 0);
}

}  // namespace tarnwick::host
