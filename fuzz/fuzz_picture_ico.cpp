// Arbitrary bytes as a ICO picture.
#include "PictureFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FuzzPicture(tarnwick::platform::PictureFormat::Ico, data, size);
}
