// The text form of component streams: parsing, reading into components and
// converting back, on any text. Nothing may stay alive after an error.
#include "../tests/framework/framework_test_classes.h"

#include <cstdlib>

namespace {

std::vector<uint8_t> ToText(const std::vector<uint8_t>& bin) {
    TMemoryStream in(bin.data(), bin.size());
    TMemoryStream out;
    ObjectBinaryToText(in, out);
    return out.Bytes();
}

std::vector<uint8_t> ToBinary(const std::vector<uint8_t>& text) {
    TMemoryStream in(text.data(), text.size());
    TMemoryStream out;
    ObjectTextToBinary(in, out);
    return out.Bytes();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool registered = (RegisterTestClasses(), RegisterClass(TComponent::StaticClass()), true);
    (void)registered;
    const int live = TestLog::Live();

    std::vector<uint8_t> bin;
    try {
        bin = ToBinary(std::vector<uint8_t>(data, data + size));
    } catch (const Exception&) {
    }
    if (!bin.empty()) {
        // what parsed converts to text and back to the same bytes
        std::vector<uint8_t> text = ToText(bin);
        if (ToBinary(text) != bin) std::abort();
        try {
            TMemoryStream s(bin.data(), bin.size());
            std::unique_ptr<TComponent> c = ReadComponentFromStream(s);
            (void)ComponentToText(c.get());
        } catch (const Exception&) {
        }
    }

    if (TestLog::Live() != live) std::abort();
    return 0;
}
