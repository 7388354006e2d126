// Arbitrary bytes as a PNG picture.
#include "PictureFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FuzzPicture(tarnwick::platform::PictureFormat::Png, data, size);
}
