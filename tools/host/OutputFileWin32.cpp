// Output files on Windows: paths checked and the result put in place with the
// Win32 file functions.
#include "OutputFile.h"

#include "EffectHost.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstring>
#include <optional>

namespace tarnwick::host {
namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

std::string directoryOf(const std::string& path) {
    size_t sep = path.find_last_of("/\\");
    // "C:name" is relative to the drive's current folder.
    if (sep == std::string::npos && path.size() >= 2 && path[1] == ':') sep = 1;
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

bool isDiskFile(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool disk = GetFileType(h) == FILE_TYPE_DISK;
    CloseHandle(h);
    return disk;
}

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

OutputFile::OutputFile(const std::string& out) : path_(out) {
    std::string dir = directoryOf(out);
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
    stream_ = openDeletable(name);
    if (stream_ == nullptr) {
        discard();
        throw HostError("cannot write " + out + " (system error " + std::to_string(GetLastError()) +
                        ")");
    }
}

void OutputFile::discard() {
    InterlockedExchange(&gPartialArmed, 0);
    DeleteFileA(tempPath_.c_str());
}

void OutputFile::moveIntoPlace() {
    // A read-only output gets this far only when --force said to replace it.
    DWORD attributes = GetFileAttributesA(path_.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesA(path_.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    if (MoveFileExA(tempPath_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING) == 0) {
        throw HostError("cannot move the result into place: " + path_);
    }
    InterlockedExchange(&gPartialArmed, 0);
}

}  // namespace tarnwick::host
