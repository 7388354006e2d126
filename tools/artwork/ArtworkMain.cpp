// tarnwick-artwork: draws the editor's pictures and builds its form.
//
//   tarnwick-artwork --form FORM.txt --cpp OUT.cpp [--bin OUT.bin] [--png DIR]
//
// --cpp writes a C++ source holding the binary form, --bin the bare bytes,
// --png every picture as a PNG file for people to look at.

#include <cstdio>
#include <exception>
#include <fstream>
#include <sstream>
#include <string>

#include "Artwork.h"
#include "platform/PictureFile.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: tarnwick-artwork [--form FORM.txt --cpp OUT.cpp] [--bin OUT.bin] "
                 "[--png DIR]\n");
    return 2;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Writes through a temporary file so that an interrupted build never leaves
// a half-written output that looks up to date.
void WriteFile(const std::string& path, const void* data, std::size_t size) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(static_cast<const char*>(data), std::streamsize(size));
        if (!out.flush()) throw std::runtime_error("cannot write " + temporary);
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0)
        throw std::runtime_error("cannot write " + path);
}

}  // namespace

int main(int argc, char** argv) {
    std::string form, cpp, bin, png;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return Usage();
        if (arg == "--form")
            form = argv[++i];
        else if (arg == "--cpp")
            cpp = argv[++i];
        else if (arg == "--bin")
            bin = argv[++i];
        else if (arg == "--png")
            png = argv[++i];
        else
            return Usage();
    }
    if (form.empty() != (cpp.empty() && bin.empty()) || (form.empty() && png.empty()))
        return Usage();
    try {
        if (!png.empty()) {
            for (const auto& picture : tarnwick::artwork::DrawEditorPictures()) {
                const TMemoryDIB& dib = *picture.dib;
                tarnwick::platform::WritePngFile(png + "/" + picture.displayName + ".png",
                                                 {reinterpret_cast<const std::uint8_t*>(dib.Bits()),
                                                  dib.Width(), dib.Height(), true});
            }
        }
        if (!form.empty()) {
            const auto bytes = tarnwick::artwork::BuildEditorForm(ReadText(form));
            if (!bin.empty()) WriteFile(bin, bytes.data(), bytes.size());
            if (!cpp.empty()) {
                const std::string source = tarnwick::artwork::FormBytesToCpp(bytes);
                WriteFile(cpp, source.data(), source.size());
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tarnwick-artwork: %s\n", e.what());
        return 1;
    }
    return 0;
}
