// Speaker-arrangement tools: allocation sizes, copying and matching.
#include <gtest/gtest.h>

#include <cstring>

#include "VstTestSupport.h"

using namespace vsttest;

namespace {

// A heap arrangement of n speakers with recognisable contents.
VstSpeakerArrangement* makeArrangement(BareEffect& effect, VstInt32 n, VstInt32 type) {
    VstSpeakerArrangement* a = nullptr;
    EXPECT_TRUE(effect.allocateArrangement(&a, n));
    a->type = type;
    VstSpeakerProperties* speakers = a->speakers;
    for (VstInt32 i = 0; i < n; ++i) {
        VstSpeakerProperties& s = speakers[i];
        s.azimuth = 0.5f * static_cast<float>(i);
        s.elevation = -0.25f;
        s.radius = 1.0f + static_cast<float>(i);
        s.reserved = 3.0f;
        std::snprintf(s.name, sizeof s.name, "Speaker %d", i);
        s.type = 100 + i;
        std::memset(s.future, 0x40 + i, sizeof s.future);
    }
    return a;
}

TEST(Arrangement, AllocationIsZeroedWithTheChannelCount) {
    BareEffect effect;
    VstSpeakerArrangement* a = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&a, 0));  // the 8-byte header alone
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->type, 0);
    EXPECT_EQ(a->numChannels, 0);
    ASSERT_TRUE(effect.allocateArrangement(&a, 3));  // the old block is freed first
    EXPECT_EQ(a->numChannels, 3);
    EXPECT_EQ(vstSpeakerArrangementSize(3), 8u + 3u * 112u);
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(a->speakers);
    for (std::size_t i = 0; i < 3 * sizeof(VstSpeakerProperties); ++i) ASSERT_EQ(bytes[i], 0) << i;
    EXPECT_TRUE(effect.deallocateArrangement(&a));
    EXPECT_EQ(a, nullptr);
    EXPECT_TRUE(effect.deallocateArrangement(&a));  // nothing to free is fine too
}

TEST(Arrangement, ImpossibleCountsFailAndLeaveTheLocationEmpty) {
    BareEffect effect;
    VstSpeakerArrangement* a = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&a, 2));
    EXPECT_FALSE(effect.allocateArrangement(&a, -1));
    EXPECT_EQ(a, nullptr);  // the old one was freed, no new one made
    EXPECT_FALSE(effect.allocateArrangement(&a, INT32_MAX - 1));
    EXPECT_EQ(a, nullptr);
    EXPECT_FALSE(effect.allocateArrangement(nullptr, 2));
}

TEST(Arrangement, CopySpeakerCopiesEveryFieldAndAtMostTheNameField) {
    BareEffect effect;
    VstSpeakerArrangement* from = makeArrangement(effect, 1, 7);
    VstSpeakerProperties to;
    std::memset(&to, 0x7F, sizeof to);
    ASSERT_TRUE(effect.copySpeaker(&to, from->speakers));
    const VstSpeakerProperties& s = from->speakers[0];
    EXPECT_EQ(to.azimuth, s.azimuth);
    EXPECT_EQ(to.elevation, s.elevation);
    EXPECT_EQ(to.radius, s.radius);
    EXPECT_EQ(to.reserved, s.reserved);
    EXPECT_STREQ(to.name, "Speaker 0");
    EXPECT_EQ(to.type, 100);
    EXPECT_EQ(std::memcmp(to.future, s.future, sizeof to.future), 0);

    // A name that fills its field without a NUL is cut inside the field.
    VstSpeakerProperties unterminated;
    std::memset(&unterminated, 'A', sizeof unterminated);
    std::memset(&to, 0, sizeof to);
    ASSERT_TRUE(effect.copySpeaker(&to, &unterminated));
    EXPECT_EQ(std::strlen(to.name), sizeof to.name - 1);
    EXPECT_EQ(to.type, unterminated.type);

    EXPECT_FALSE(effect.copySpeaker(nullptr, &to));
    EXPECT_FALSE(effect.copySpeaker(&to, nullptr));
    effect.deallocateArrangement(&from);
}

TEST(Arrangement, MatchMakesAnEqualCopy) {
    BareEffect effect;
    for (VstInt32 channels : {0, 2, 9}) {  // 9: more than the declared array holds
        SCOPED_TRACE(channels);
        VstSpeakerArrangement* from = makeArrangement(effect, channels, 42);
        VstSpeakerArrangement* to = makeArrangement(effect, 1, 5);  // replaced
        ASSERT_TRUE(effect.matchArrangement(&to, from));
        ASSERT_NE(to, nullptr);
        EXPECT_NE(to, from);
        EXPECT_EQ(to->type, 42);
        EXPECT_EQ(to->numChannels, channels);
        EXPECT_EQ(std::memcmp(to, from, vstSpeakerArrangementSize(channels)), 0);
        effect.deallocateArrangement(&to);
        effect.deallocateArrangement(&from);
    }
    VstSpeakerArrangement* to = nullptr;
    EXPECT_FALSE(effect.matchArrangement(&to, nullptr));
    VstSpeakerArrangement broken{};
    broken.numChannels = -4;
    EXPECT_FALSE(effect.matchArrangement(&to, &broken));
    EXPECT_EQ(to, nullptr);
}

}  // namespace
