#pragma once
// Audio files through libsndfile: a reader that hands out interleaved float
// frames, and a writer that only ever shows a complete file under its final
// name (it writes a temporary file beside it and renames it on commit).

#include <sndfile.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick::host {

class SoundReader {
public:
    // Throws HostError when PATH is missing or not an audio file libsndfile reads.
    explicit SoundReader(const std::string& path);
    ~SoundReader();
    SoundReader(const SoundReader&) = delete;
    SoundReader& operator=(const SoundReader&) = delete;

    const std::string& path() const { return path_; }
    int channels() const { return info_.channels; }
    int sampleRate() const { return info_.samplerate; }
    int64_t frames() const { return info_.frames; }
    int format() const { return info_.format; }

    // Reads exactly FRAMES interleaved frames; a short read is an error.
    void read(float* interleaved, int64_t frames);

private:
    std::string path_;
    SF_INFO info_{};
    SNDFILE* file_ = nullptr;
};

// The container for PATH from its extension (.wav, .aif/.aiff/.aifc, .flac),
// else the container of FALLBACKFORMAT. Samples are 32-bit float except in
// FLAC, which holds integers only and gets 24-bit samples.
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
    std::string path_;
    std::string tempPath_;
    SNDFILE* file_ = nullptr;
    bool committed_ = false;
};

}  // namespace tarnwick::host
