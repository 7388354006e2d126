#include "support/PictureBuilders.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#if defined(_WIN32)
#include <objbase.h>
#include <wincodec.h>
#include <windows.h>
#else
#include <jpeglib.h>
#endif

namespace tarnwick::test {

Bytes Dib(const PictureRecipe& s) {
    Bytes b;
    Put32(b, s.headerSize);
    if (s.headerSize == 12) {
        Put16(b, static_cast<std::uint32_t>(s.width));
        Put16(b, static_cast<std::uint32_t>(s.height));
        Put16(b, 1);
        Put16(b, s.bpp);
    } else {
        Put32(b, static_cast<std::uint32_t>(s.width));
        Put32(b, static_cast<std::uint32_t>(s.height));
        Put16(b, 1);
        Put16(b, s.bpp);
        Put32(b, s.compression);
        Put32(b, static_cast<std::uint32_t>(s.pixels.size()));
        Put32(b, 2835);
        Put32(b, 2835);
        Put32(b, s.colorsUsed);
        Put32(b, 0);
        std::size_t m = 0;
        while (b.size() < s.headerSize) {  // masks live inside long headers
            Put32(b, m < s.masks.size() ? s.masks[m] : 0);
            ++m;
        }
        if (s.headerSize == 40) {
            for (std::uint32_t v : s.masks) Put32(b, v);
        }
    }
    for (std::uint32_t c : s.palette) {
        b.push_back(c & 0xFF);
        b.push_back((c >> 8) & 0xFF);
        b.push_back((c >> 16) & 0xFF);
        if (s.headerSize != 12) b.push_back(0);
    }
    b.insert(b.end(), s.pixels.begin(), s.pixels.end());
    return b;
}

Bytes Bmp(const PictureRecipe& s) {
    const Bytes dib = Dib(s);
    const std::size_t pixelStart = 14 + dib.size() - s.pixels.size();
    Bytes b = {'B', 'M'};
    Put32(b, static_cast<std::uint32_t>(14 + dib.size()));
    Put32(b, 0);
    Put32(b, static_cast<std::uint32_t>(pixelStart));
    b.insert(b.end(), dib.begin(), dib.end());
    return b;
}

Bytes Rows24(int w, int h, const std::vector<std::uint32_t>& rgb, bool topDown) {
    Bytes out;
    const int stride = (w * 3 + 3) & ~3;
    for (int r = 0; r < h; ++r) {
        const int y = topDown ? r : h - 1 - r;
        for (int x = 0; x < w; ++x) {
            const std::uint32_t c = rgb[y * w + x];
            out.push_back(c & 0xFF);
            out.push_back((c >> 8) & 0xFF);
            out.push_back((c >> 16) & 0xFF);
        }
        for (int p = w * 3; p < stride; ++p) out.push_back(0);
    }
    return out;
}

Bytes Rows32(int w, int h, const std::vector<std::uint32_t>& argb) {
    Bytes out;
    for (int r = h - 1; r >= 0; --r) {
        for (int x = 0; x < w; ++x) Put32(out, argb[r * w + x]);
    }
    return out;
}

Bytes Ico(const std::vector<IconEntry>& entries) {
    Bytes b;
    Put16(b, 0);
    Put16(b, 1);
    Put16(b, static_cast<std::uint32_t>(entries.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * entries.size());
    for (const IconEntry& e : entries) {
        b.push_back(e.width >= 256 ? 0 : e.width);
        b.push_back(e.height >= 256 ? 0 : e.height);
        b.push_back(0);
        b.push_back(0);
        Put16(b, 1);
        Put16(b, e.bpp);
        Put32(b, static_cast<std::uint32_t>(e.body.size()));
        Put32(b, offset);
        offset += static_cast<std::uint32_t>(e.body.size());
    }
    for (const IconEntry& e : entries) b.insert(b.end(), e.body.begin(), e.body.end());
    return b;
}

#if defined(_WIN32)
// Windows has no libjpeg: the imaging component's encoder writes the file.
Bytes Jpeg(int w, int h, const std::vector<std::uint32_t>& rgb, int components, int quality) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Bytes out;
    IWICImagingFactory* factory = nullptr;
    IStream* memory = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    IPropertyBag2* options = nullptr;
    bool ok =
        SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) &&
        SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &memory)) &&
        SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, &encoder)) &&
        SUCCEEDED(encoder->Initialize(memory, WICBitmapEncoderNoCache)) &&
        SUCCEEDED(encoder->CreateNewFrame(&frame, &options));
    if (ok) {
        PROPBAG2 name{};
        name.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_R4;
        value.fltVal = static_cast<float>(quality) / 100.0f;
        options->Write(1, &name, &value);
        WICPixelFormatGUID format =
            components == 3 ? GUID_WICPixelFormat24bppBGR : GUID_WICPixelFormat8bppGray;
        const UINT stride = static_cast<UINT>(w * components);
        std::vector<BYTE> pixels(static_cast<std::size_t>(stride) * h);
        for (int i = 0; i < w * h; ++i) {
            const std::uint32_t v = rgb[i];
            if (components == 3) {
                pixels[3 * i] = v & 0xFF;
                pixels[3 * i + 1] = (v >> 8) & 0xFF;
                pixels[3 * i + 2] = (v >> 16) & 0xFF;
            } else {
                pixels[i] = v & 0xFF;
            }
        }
        ok = SUCCEEDED(frame->Initialize(options)) &&
             SUCCEEDED(frame->SetSize(static_cast<UINT>(w), static_cast<UINT>(h))) &&
             SUCCEEDED(frame->SetPixelFormat(&format)) &&
             SUCCEEDED(frame->WritePixels(static_cast<UINT>(h), stride,
                                          static_cast<UINT>(pixels.size()), pixels.data())) &&
             SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
    }
    HGLOBAL global = nullptr;
    STATSTG stat{};
    if (ok && SUCCEEDED(GetHGlobalFromStream(memory, &global)) &&
        SUCCEEDED(memory->Stat(&stat, STATFLAG_NONAME))) {
        const auto* bytes = static_cast<const std::uint8_t*>(GlobalLock(global));
        if (bytes != nullptr) out.assign(bytes, bytes + stat.cbSize.QuadPart);
        GlobalUnlock(global);
    }
    for (IUnknown* object : {static_cast<IUnknown*>(options), static_cast<IUnknown*>(frame),
                             static_cast<IUnknown*>(encoder), static_cast<IUnknown*>(memory),
                             static_cast<IUnknown*>(factory)}) {
        if (object != nullptr) object->Release();
    }
    if (SUCCEEDED(com)) CoUninitialize();
    if (out.empty()) throw std::runtime_error("cannot write a JPEG test picture");
    return out;
}
#else
Bytes Jpeg(int w, int h, const std::vector<std::uint32_t>& rgb, int components, int quality) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = static_cast<JDIMENSION>(w);
    c.image_height = static_cast<JDIMENSION>(h);
    c.input_components = components;
    c.in_color_space = components == 3 ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(w) * components);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::uint32_t v = rgb[y * w + x];
            if (components == 3) {
                row[3 * x] = (v >> 16) & 0xFF;
                row[3 * x + 1] = (v >> 8) & 0xFF;
                row[3 * x + 2] = v & 0xFF;
            } else {
                row[x] = v & 0xFF;
            }
        }
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&c, &p, 1);
    }
    jpeg_finish_compress(&c);
    Bytes out(mem, mem + size);
    jpeg_destroy_compress(&c);
    std::free(mem);
    return out;
}
#endif

}  // namespace tarnwick::test
