#pragma once
// Feature classes for tests and fuzz targets: they record what they see and
// carry published settings of several kinds.

#include <cstdint>
#include <string>
#include <vector>

#include "controls/cDIBFeatures.h"

enum class TSampleMode : std::uint8_t { smQuiet, smLoud };
TW_ENUM(TSampleMode, "smQuiet", "smLoud");

// Records the message numbers it is offered; marks them handled when Consume is set.
class TRecordingFeature : public TDIBFeature {
    TW_CLASS(TRecordingFeature, TDIBFeature)

public:
    using TDIBFeature::TDIBFeature;
    std::string GetFeatureName() override { return "Recording feature"; }
    void HandleMessage(TMessage& Message, bool& Handled) override;

    std::int32_t Step_ = 1;
    std::string Label_;
    TSampleMode Mode_ = TSampleMode::smQuiet;
    bool Consume_ = false;
    std::vector<std::uint32_t> seen;
};

// Another class with the same settings, for assignments between classes.
class TOtherFeature : public TRecordingFeature {
    TW_CLASS(TOtherFeature, TRecordingFeature)

public:
    using TRecordingFeature::TRecordingFeature;
};

namespace tarnwick::test {
// Registers both sample features (once).
void RegisterSampleFeatures();
}  // namespace tarnwick::test
