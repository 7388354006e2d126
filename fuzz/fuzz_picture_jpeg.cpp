// Arbitrary bytes as a JPEG picture.
#include "PictureFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FuzzPicture(tarnwick::platform::PictureFormat::Jpeg, data, size);
}
