// JPEG and PNG through the Windows Imaging Component, which every Windows
// has: there is no libjpeg or libpng to link on this system. Pixels come out
// in the layout of PictureFile.h (top-down rows, blue, green, red, alpha).

#include <objbase.h>
#include <wincodec.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "platform/PictureCodecs.h"

namespace tarnwick::platform {
namespace {

// Releases a COM interface when it goes out of scope.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() {
        if (p_ != nullptr) p_->Release();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T** operator&() { return &p_; }
    T* operator->() const { return p_; }
    T* get() const { return p_; }

private:
    T* p_ = nullptr;
};

// COM for the calling thread while a picture is read or written; a thread
// the host has already set up keeps its own model.
class ComScope {
public:
    ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT hr_;
};

std::string HresultText(HRESULT hr) {
    char text[32];
    std::snprintf(text, sizeof text, "error 0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

void Check(HRESULT hr, const std::string& what) {
    if (FAILED(hr)) throw PictureError(what + " (" + HresultText(hr) + ")");
}

void CreateFactory(IWICImagingFactory** factory, const std::string& what) {
    Check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                           IID_IWICImagingFactory, reinterpret_cast<void**>(factory)),
          what + ": the imaging component is not available");
}

// Bits per pixel of the frame's own pixel format.
int SourceBits(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame) {
    WICPixelFormatGUID format{};
    ComPtr<IWICComponentInfo> info;
    ComPtr<IWICPixelFormatInfo> pixelInfo;
    UINT bits = 0;
    if (FAILED(frame->GetPixelFormat(&format)) ||
        FAILED(factory->CreateComponentInfo(format, &info)) ||
        FAILED(
            info->QueryInterface(IID_IWICPixelFormatInfo, reinterpret_cast<void**>(&pixelInfo))) ||
        FAILED(pixelInfo->GetBitsPerPixel(&bits))) {
        return 0;
    }
    return static_cast<int>(bits);
}

bool HasAlpha(const WICPixelFormatGUID& format) {
    static const GUID* const kAlphaFormats[] = {
        &GUID_WICPixelFormat32bppBGRA,  &GUID_WICPixelFormat32bppRGBA,
        &GUID_WICPixelFormat64bppRGBA,  &GUID_WICPixelFormat64bppBGRA,
        &GUID_WICPixelFormat32bppPBGRA, &GUID_WICPixelFormat64bppPRGBA,
    };
    for (const GUID* g : kAlphaFormats) {
        if (IsEqualGUID(format, *g)) return true;
    }
    return false;
}

Picture Decode(const char* name, const GUID& container, std::span<const std::uint8_t> data) {
    const std::string invalid = std::string("Invalid ") + name + " picture";
    if (data.size() > kMaxPictureFileBytes) throw PictureError(invalid + ": the file is too large");
    ComScope com;
    ComPtr<IWICImagingFactory> factory;
    CreateFactory(&factory, invalid);
    ComPtr<IWICStream> stream;
    Check(factory->CreateStream(&stream), invalid);
    Check(stream->InitializeFromMemory(const_cast<BYTE*>(data.data()),
                                       static_cast<DWORD>(data.size())),
          invalid);
    ComPtr<IWICBitmapDecoder> decoder;
    Check(factory->CreateDecoder(container, nullptr, &decoder), invalid);
    Check(decoder->Initialize(stream.get(), WICDecodeMetadataCacheOnDemand), invalid);
    ComPtr<IWICBitmapFrameDecode> frame;
    Check(decoder->GetFrame(0, &frame), invalid);
    UINT width = 0, height = 0;
    Check(frame->GetSize(&width, &height), invalid);
    detail::CheckPictureSize(name, width, height);

    Picture pic;
    pic.width = static_cast<int>(width);
    pic.height = static_cast<int>(height);
    WICPixelFormatGUID format{};
    Check(frame->GetPixelFormat(&format), invalid);
    pic.hasAlpha = HasAlpha(format);
    const int bits = SourceBits(factory.get(), frame.get());
    if (IsEqualGUID(container, GUID_ContainerFormatJpeg)) {
        pic.sourceBitsPerPixel = bits == 8 ? 8 : 24;
    } else {
        pic.sourceBitsPerPixel = pic.hasAlpha ? 32 : 24;
    }
    ComPtr<IWICFormatConverter> converter;
    Check(factory->CreateFormatConverter(&converter), invalid);
    Check(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                nullptr, 0.0, WICBitmapPaletteTypeCustom),
          invalid);
    pic.pixels.assign(static_cast<std::size_t>(width) * height * 4, 0);
    Check(converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(pic.pixels.size()),
                                pic.pixels.data()),
          invalid);
    return pic;
}

}  // namespace

namespace detail {

Picture DecodeJpeg(std::span<const std::uint8_t> data) {
    return Decode("JPEG", GUID_ContainerFormatJpeg, data);
}

Picture DecodePng(std::span<const std::uint8_t> data) {
    return Decode("PNG", GUID_ContainerFormatPng, data);
}

}  // namespace detail

std::vector<std::uint8_t> EncodePng(const ImageView& view) {
    if (!view.bits || view.width <= 0 || view.height <= 0 || view.width > kMaxPictureDimension ||
        view.height > kMaxPictureDimension) {
        throw PictureError("Cannot write a PNG picture of " + std::to_string(view.width) + " x " +
                           std::to_string(view.height) + " pixels");
    }
    const std::string cannot = "Cannot write a PNG picture";
    ComScope com;
    ComPtr<IWICImagingFactory> factory;
    CreateFactory(&factory, cannot);
    ComPtr<IStream> memory;
    Check(CreateStreamOnHGlobal(nullptr, TRUE, &memory), cannot);
    ComPtr<IWICBitmapEncoder> encoder;
    Check(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder), cannot);
    Check(encoder->Initialize(memory.get(), WICBitmapEncoderNoCache), cannot);
    ComPtr<IWICBitmapFrameEncode> frame;
    Check(encoder->CreateNewFrame(&frame, nullptr), cannot);
    Check(frame->Initialize(nullptr), cannot);
    Check(frame->SetSize(static_cast<UINT>(view.width), static_cast<UINT>(view.height)), cannot);
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    Check(frame->SetPixelFormat(&format), cannot);
    if (!IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA)) {
        throw PictureError(cannot + ": the encoder does not take 32-bit pixels");
    }
    const UINT stride = static_cast<UINT>(view.width) * 4;
    for (int y = 0; y < view.height; ++y) {
        const int row = view.bottomUp ? view.height - 1 - y : y;
        BYTE* bits = const_cast<BYTE*>(view.bits + static_cast<std::size_t>(row) * stride);
        Check(frame->WritePixels(1, stride, stride, bits), cannot);
    }
    Check(frame->Commit(), cannot);
    Check(encoder->Commit(), cannot);

    HGLOBAL global = nullptr;
    Check(GetHGlobalFromStream(memory.get(), &global), cannot);
    STATSTG stat{};
    Check(memory->Stat(&stat, STATFLAG_NONAME), cannot);
    const auto size = static_cast<std::size_t>(stat.cbSize.QuadPart);
    std::vector<std::uint8_t> out(size);
    const void* bytes = GlobalLock(global);
    if (bytes == nullptr) throw PictureError(cannot + ": no memory");
    std::memcpy(out.data(), bytes, size);
    GlobalUnlock(global);
    return out;
}

}  // namespace tarnwick::platform
