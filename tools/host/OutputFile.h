#pragma once
// The files the host writes (processed audio, pictures of the editor) never
// cost the user a file: OUT is checked before it is replaced, the result is
// written to a temporary file beside it and renamed to OUT only when complete,
// and the temporary is removed when the run fails or is interrupted.

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace tarnwick::host {

// A file the run reads, by the option that named it.
struct InputPath {
    std::string option;  // "--signal", "--key", "the module"
    std::string path;
};

// Refuses (HostError) an OUT whose replacement would lose something: the same
// file as one of INPUTS (by device and inode, so also through another spelling,
// a symbolic or a hard link), a symbolic link, anything but a regular file,
// or a read-only file unless REPLACEREADONLY. An absent OUT is fine.
void checkOutputPath(const std::string& out, const std::vector<InputPath>& inputs,
                     bool replaceReadOnly);

#if defined(_WIN32)
// Whether PATH opens as a file on disk, not a device, pipe or console.
bool isDiskFile(const std::string& path);
#endif

// The temporary file that becomes OUT. One at a time: SIGINT, SIGTERM and
// SIGHUP (on Windows: Ctrl+C, Ctrl+Break, closing the console) remove it
// before they end the program.
class OutputFile {
public:
    // Creates the temporary in OUT's folder; HostError when there is no such
    // folder or it takes no new file.
    explicit OutputFile(const std::string& out);
    ~OutputFile();  // removes the temporary unless committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    const std::string& path() const { return path_; }
    // The open temporary, for a writer that takes a stream or its descriptor.
    std::FILE* stream() const { return stream_; }

    // Writes SIZE bytes; HostError when they cannot be written.
    void write(const void* bytes, size_t size);
    // Closes the temporary and renames it to OUT; HostError when the data
    // cannot be written out or the file moved.
    void commit();

private:
    // Per system: removes the temporary; puts the closed temporary in OUT's
    // place (HostError when it cannot), after which an interruption no
    // longer removes it.
    void discard();
    void moveIntoPlace();

    std::string path_;
    std::string tempPath_;
    std::FILE* stream_ = nullptr;
    bool committed_ = false;
};

}  // namespace tarnwick::host
