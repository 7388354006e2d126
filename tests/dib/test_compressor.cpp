#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dib/cDIBCompressor.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A toy run-length compressor: pairs (count, value).
class TRunLength : public TDIBCompressor {
public:
    explicit TRunLength(std::uint8_t tag, bool refuse = false) : tag_(tag), refuse_(refuse) {}
    void GetID(TDIBCompressorID& id) override { id.fill(tag_); }
    bool CanDecompress(const TDIBCompressorID& id) override {
        ++asked;
        return id[0] == tag_ && id[15] == tag_;
    }
    std::uint32_t Compress(TAbstractSuperDIB*, const std::uint8_t* s, std::uint8_t* d,
                           std::uint32_t n) override {
        if (refuse_) return 0;
        std::uint32_t out = 0;
        for (std::uint32_t i = 0; i < n;) {
            std::uint32_t run = 1;
            while (i + run < n && run < 255 && s[i + run] == s[i]) ++run;
            if (out + 2 > n) return 0;  // would not shrink
            d[out++] = std::uint8_t(run);
            d[out++] = s[i];
            i += run;
        }
        return out;
    }
    void Decompress(TAbstractSuperDIB*, const TDIBCompressorID&, const std::uint8_t* s,
                    std::uint8_t* d, std::uint32_t n, std::uint32_t dn) override {
        ++used;
        std::uint32_t o = 0;
        for (std::uint32_t i = 0; i + 1 < n; i += 2)
            for (int k = 0; k < s[i] && o < dn; ++k) d[o++] = s[i + 1];
    }
    int asked = 0;
    int used = 0;

private:
    std::uint8_t tag_;
    bool refuse_;
};

class Compressor : public ::testing::Test {
protected:
    void TearDown() override {
        SetCurrentCompressor(nullptr);
        DecompressorList().clear();
    }
};

Bytes record(int w, int h, std::uint8_t fill) {
    Bytes r(4 + std::size_t(w) * h * 4, fill);
    r[0] = std::uint8_t(w);
    r[1] = std::uint8_t(w >> 8);
    r[2] = std::uint8_t(h);
    r[3] = std::uint8_t(h >> 8);
    return r;
}

}  // namespace

TEST_F(Compressor, EmptyRegistryWritesPlainAndRefusesWrapped) {
    EXPECT_TRUE(DecompressorList().empty());
    EXPECT_EQ(CurrentCompressor(), nullptr);
    Bytes r = record(13, 13, 0x7F);
    ASSERT_EQ(r.size(), 680u);
    EXPECT_EQ(EncodeStream(nullptr, r), r);
    EXPECT_EQ(DecodeStream(nullptr, r), r);

    Bytes wrapped = bytesOf("DIBCMP");
    wrapped.resize(30, 0);
    try {
        DecodeStream(nullptr, wrapped);
        FAIL() << "a wrapped record without a decompressor was accepted";
    } catch (const EDIBCompressError& e) {
        EXPECT_EQ(e.Message(), "Could not find a suitable decompressor.");
    }
}

TEST_F(Compressor, OnlyStreamsOfAtLeastTheHeaderSizeAreWrapped) {
    Bytes s = bytesOf("DIBCMP");
    s.resize(25, 1);
    EXPECT_FALSE(IsWrappedStream(s));
    EXPECT_EQ(DecodeStream(nullptr, s), s);
    s.push_back(1);  // 26 bytes: header complete, no payload
    EXPECT_TRUE(IsWrappedStream(s));
    EXPECT_THROW(DecodeStream(nullptr, s), EDIBCompressError);
    s[0] = 'd';  // the signature is case-sensitive
    EXPECT_FALSE(IsWrappedStream(s));
}

TEST_F(Compressor, WrapsWithHeaderAndRoundTrips) {
    auto* c = static_cast<TRunLength*>(RegisterDecompressor(std::make_unique<TRunLength>(0xA5)));
    SetCurrentCompressor(c);
    Bytes r = record(13, 13, 0x40);
    Bytes w = EncodeStream(nullptr, r);
    ASSERT_GT(w.size(), kDIBWrapperHeaderSize);
    EXPECT_LT(w.size(), r.size());
    EXPECT_EQ(std::memcmp(w.data(), "DIBCMP", 6), 0);
    for (int i = 6; i < 22; ++i) EXPECT_EQ(w[i], 0xA5) << i;
    // Unwrapped length 680 = 0x2A8, little-endian.
    EXPECT_EQ(w[22], 0xA8);
    EXPECT_EQ(w[23], 0x02);
    EXPECT_EQ(w[24], 0);
    EXPECT_EQ(w[25], 0);
    EXPECT_EQ(DecodeStream(nullptr, w), r);
    EXPECT_EQ(c->used, 1);
}

TEST_F(Compressor, CompressorAnsweringZeroStoresPlain) {
    SetCurrentCompressor(RegisterDecompressor(std::make_unique<TRunLength>(1, true)));
    Bytes r = record(2, 2, 9);
    EXPECT_EQ(EncodeStream(nullptr, r), r);
    // Incompressible data with a compressor that gives up: also plain.
    SetCurrentCompressor(RegisterDecompressor(std::make_unique<TRunLength>(2)));
    Bytes noisy(64);
    for (std::size_t i = 0; i < noisy.size(); ++i) noisy[i] = std::uint8_t(i * 37);
    EXPECT_EQ(EncodeStream(nullptr, noisy), noisy);
}

TEST_F(Compressor, LastRegisteredAcceptingDecompressorWins) {
    auto* first = static_cast<TRunLength*>(RegisterDecompressor(std::make_unique<TRunLength>(7)));
    auto* second = static_cast<TRunLength*>(RegisterDecompressor(std::make_unique<TRunLength>(7)));
    auto* other = static_cast<TRunLength*>(RegisterDecompressor(std::make_unique<TRunLength>(8)));
    SetCurrentCompressor(first);
    Bytes r = record(4, 4, 3);
    Bytes out = DecodeStream(nullptr, EncodeStream(nullptr, r));
    EXPECT_EQ(out, r);
    EXPECT_EQ(other->asked, 1);  // asked first, declines
    EXPECT_EQ(second->used, 1);  // accepts
    EXPECT_EQ(first->asked, 0);  // never reached
    EXPECT_EQ(first->used, 0);
}

TEST_F(Compressor, ScopeRestoresTheCurrentCompressor) {
    TDIBCompressor* c = RegisterDecompressor(std::make_unique<TRunLength>(3));
    SetCurrentCompressor(c);
    try {
        TDIBCompressorScope none(nullptr);
        EXPECT_EQ(CurrentCompressor(), nullptr);
        Bytes r = record(8, 8, 1);
        EXPECT_EQ(EncodeStream(nullptr, r), r);
        throw std::runtime_error("writer failed");
    } catch (const std::runtime_error&) {}
    EXPECT_EQ(CurrentCompressor(), c);
}

TEST_F(Compressor, OverclaimingCompressorIsNotTrusted) {
    // Claims more bytes than the room it was given: the record stays plain
    // rather than being written with bytes from beyond the output area.
    class TLiar : public TRunLength {
    public:
        TLiar() : TRunLength(9) {}
        std::uint32_t Compress(TAbstractSuperDIB*, const std::uint8_t*, std::uint8_t*,
                               std::uint32_t n) override {
            return n + 1;
        }
    };
    SetCurrentCompressor(RegisterDecompressor(std::make_unique<TLiar>()));
    Bytes r = record(3, 3, 5);
    EXPECT_EQ(EncodeStream(nullptr, r), r);
}
