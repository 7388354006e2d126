#pragma once
// Audio files: a reader that hands out interleaved float frames, and a writer
// that only ever shows a complete file under its final name. Through
// libsndfile where the system has it; elsewhere (Windows) through the host's
// own WAV codec.

#include "OutputFile.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

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
    // The frames the file's header announces, whether or not they are there;
    // nothing when it gives no length (a FLAC file encoded as a stream, whose
    // frames are those it holds to its end).
    std::optional<int64_t> announcedFrames() const { return announcedFrames_; }
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
    std::optional<int64_t> announcedFrames_;
    int64_t framesRead_ = 0;
    std::string readError_;
};

// The container for PATH from its extension (.wav, .aif/.aiff/.aifc, .flac),
// else the container of FALLBACKFORMAT. Samples are 32-bit float except in
// FLAC, which holds integers only and gets 24-bit samples. The host's own
// codec writes WAV only and refuses (HostError) the other extensions.
int outputFormatFor(const std::string& path, int fallbackFormat);

// Writes through an OutputFile (see OutputFile.h): the result appears under
// its final name only when commit() has completed it.
class SoundWriter {
public:
    SoundWriter(const std::string& path, int format, int channels, int sampleRate);
    ~SoundWriter();  // the temporary file goes unless committed
    SoundWriter(const SoundWriter&) = delete;
    SoundWriter& operator=(const SoundWriter&) = delete;

    void write(const float* interleaved, int64_t frames);
    // Completes the file and renames it to its final name.
    void commit();

private:
    struct Sink;  // the codec writing into the temporary file
    OutputFile file_;
    std::unique_ptr<Sink> sink_;
};

}  // namespace tarnwick::host
