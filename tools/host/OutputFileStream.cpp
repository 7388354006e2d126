// What the temporary's stream does alike on every system; OutputFile.cpp and
// OutputFileWin32.cpp make, move and remove the file.
#include "OutputFile.h"

#include "EffectHost.h"

#include <cerrno>
#include <cstring>

namespace tarnwick::host {

OutputFile::~OutputFile() {
    if (stream_ != nullptr) std::fclose(stream_);
    if (!committed_) discard();
}

void OutputFile::write(const void* bytes, size_t size) {
    if (std::fwrite(bytes, 1, size, stream_) != size) {
        throw HostError("cannot write " + path_ + ": " + std::strerror(errno));
    }
}

void OutputFile::commit() {
    std::FILE* stream = stream_;
    stream_ = nullptr;
    if (std::fclose(stream) != 0) {
        throw HostError("cannot write " + path_ + ": " + std::strerror(errno));
    }
    moveIntoPlace();
    committed_ = true;
}

}  // namespace tarnwick::host
