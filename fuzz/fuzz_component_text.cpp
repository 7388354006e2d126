// The text form of component streams: parsing, reading into components and
// converting back, on any text. Nothing may stay alive after an error.
#include "objects/TextForm.h"
#include "support/FrameworkTestClasses.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool registered =
        (RegisterTestClasses(), RegisterClass(TComponent::StaticClass()), true);
    (void)registered;
    const int live = TestLog::Live();

    std::vector<uint8_t> bin;
    try {
        bin = TextToBinaryBytes(std::vector<uint8_t>(data, data + size));
    } catch (const Exception&) {}
    if (!bin.empty()) {
        // what parsed converts to text and back to the same bytes
        std::vector<uint8_t> text = BinaryToTextBytes(bin);
        if (TextToBinaryBytes(text) != bin) std::abort();
        try {
            TMemoryStream s(bin.data(), bin.size());
            std::unique_ptr<TComponent> c = ReadComponentFromStream(s);
            (void)ComponentToText(c.get());
        } catch (const Exception&) {}
    }

    if (TestLog::Live() != live) std::abort();
    return 0;
}
