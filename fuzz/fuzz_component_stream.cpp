// The binary component-stream reader and its conversion to text, on any bytes.
// Whatever reads must write back to bytes that read again identically;
// whatever converts to text must convert back; nothing may stay alive.
#include "support/FrameworkTestClasses.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool registered =
        (RegisterTestClasses(), RegisterClass(TComponent::StaticClass()), true);
    (void)registered;
    const int live = TestLog::Live();
    std::vector<uint8_t> input(data, data + size);

    std::vector<uint8_t> written;
    try {
        TMemoryStream s(data, size);
        std::unique_ptr<TComponent> c = ReadComponentFromStream(s);
        written = ComponentToBytes(c.get());
    } catch (const Exception&) {}
    if (!written.empty()) {
        TMemoryStream again(written.data(), written.size());
        std::unique_ptr<TComponent> c2 = ReadComponentFromStream(again);  // must not throw
        if (ComponentToBytes(c2.get()) != written) std::abort();
    }

    std::vector<uint8_t> text;
    try {
        text = BinaryToTextBytes(input);
    } catch (const Exception&) {}
    if (!text.empty()) {
        std::vector<uint8_t> bin = TextToBinaryBytes(text);  // text we wrote must parse
        if (BinaryToTextBytes(bin) != text) std::abort();
    }

    if (TestLog::Live() != live) std::abort();
    return 0;
}
