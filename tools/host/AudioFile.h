#pragma once
// Audio files: a reader that hands out interleaved float frames, and a writer
// that only ever shows a complete file under its final name (it writes a
// temporary file beside it and renames it on commit, and removes it when the
// run fails or is interrupted). Through libsndfile where the system has it;
// elsewhere (Windows) through the host's own WAV codec.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tarnwick::host {

class SoundReader {
public:
    // Throws HostError when PATH is missing or not an audio file the host
    // reads, in words a user understands.
    explicit SoundReader(const std::string& path);
    ~SoundReader();
    SoundReader(const SoundReader&) = delete;
    SoundReader& operator=(const SoundReader&) = delete;

    const std::string& path() const { return path_; }
    int channels() const { return channels_; }
    int sampleRate() const { return sampleRate_; }
    // The file's container and encoding, as the codec in use names them.
    int format() const { return format_; }
    // The frames the file's header announces, whether or not they are there.
    int64_t announcedFrames() const { return announcedFrames_; }
    int64_t framesRead() const { return framesRead_; }
    // Why the frames ended early, when the library said so; else empty.
    const std::string& readError() const { return readError_; }

    // Reads up to FRAMES interleaved frames and answers how many it read:
    // fewer only at the end of the file or of what can be decoded.
    int64_t read(float* interleaved, int64_t frames);
    // Reads and drops the rest of the file, so that framesRead() is then the
    // number of frames the file holds.
    void skipToEnd();

private:
    struct Source;  // the open file, in the codec's terms
    std::string path_;
    std::unique_ptr<Source> source_;
    int channels_ = 0;
    int sampleRate_ = 0;
    int format_ = 0;
    int64_t announcedFrames_ = 0;
    int64_t framesRead_ = 0;
    std::string readError_;
};

// The container for PATH from its extension (.wav, .aif/.aiff/.aifc, .flac),
// else the container of FALLBACKFORMAT. Samples are 32-bit float except in
// FLAC, which holds integers only and gets 24-bit samples. The host's own
// codec writes WAV only and refuses (HostError) the other extensions.
int outputFormatFor(const std::string& path, int fallbackFormat);

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

// One at a time: SIGINT, SIGTERM and SIGHUP (on Windows: Ctrl+C, Ctrl+Break,
// closing the console) remove its temporary file before they end the program.
class SoundWriter {
public:
    SoundWriter(const std::string& path, int format, int channels, int sampleRate);
    ~SoundWriter();  // removes the temporary file unless committed
    SoundWriter(const SoundWriter&) = delete;
    SoundWriter& operator=(const SoundWriter&) = delete;

    void write(const float* interleaved, int64_t frames);
    // Closes the file and renames it to its final name.
    void commit();

private:
    void discard();  // removes the temporary file

    struct Sink;  // the open temporary file, in the codec's terms
    std::string path_;
    std::string tempPath_;
    std::unique_ptr<Sink> sink_;
    bool committed_ = false;
};

}  // namespace tarnwick::host
