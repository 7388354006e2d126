// The stored settings of a feature item, on any bytes. They are accepted or
// refused with EFeatureError, nothing else; accepted settings write bytes that
// read again and write identically; the control keeps only the one feature.
#include <cstdlib>

#include "controls/cDIBFeatures.h"
#include "objects/Streaming.h"
#include "support/FeatureSamples.h"

namespace {

// Applies bytes as the settings of a feature item of a new control; returns
// what the item then writes, or nothing when the bytes were refused.
std::vector<uint8_t> applyAndWrite(const uint8_t* data, size_t size) {
    TControl control(nullptr);
    TDIBFeatures features(&control);
    TDIBFeatureItem* item = features.Add();
    TMemoryStream in(data, size);
    item->ReadParameters(in);
    try {
        item->ApplyParameters();
    } catch (const EFeatureError&) {
        if (control.ComponentCount() > 1) std::abort();
        return {};
    }
    if (control.ComponentCount() > 1) std::abort();  // the one feature at most
    TMemoryStream out;
    item->WriteParameters(out);
    return out.Bytes();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tarnwick::test::RegisterSampleFeatures();
    const std::vector<uint8_t> written = applyAndWrite(data, size);
    if (!written.empty() && applyAndWrite(written.data(), written.size()) != written) std::abort();
    return 0;
}
