// Arbitrary bytes as a BMP picture.
#include "PictureFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FuzzPicture(tarnwick::platform::PictureFormat::Bmp, data, size);
}
