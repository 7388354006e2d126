// The palette's two stream properties, read through the component stream
// reader: "DIBPaletteColors" and "DIBPaletteTable" with arbitrary values.
// Either the palette takes them whole or the read fails with an error of the
// framework; the palette must stay usable either way.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "dib/cDIBPalette.h"
#include "framework/Forms.h"
#include "objects/Streaming.h"

namespace {

void putName(std::string& s, const std::string& n) {
    s += char(n.size());
    s += n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // First byte: which properties, and where the input is split between them.
    const std::uint8_t mode = data[0];
    ++data;
    --size;
    std::size_t split = mode & 1 ? size : size / 2;
    std::string colors(reinterpret_cast<const char*>(data), split);
    std::string table(reinterpret_cast<const char*>(data + split), size - split);
    // A whole table is 262,144 bytes; let short inputs reach the valid path
    // by repeating them.
    if (mode & 2 && !table.empty())
        while (table.size() < kDIBPaletteTableSize)
            table += table.substr(0, kDIBPaletteTableSize - table.size());

    std::string s = "TPF0";
    putName(s, "TDIBPalette");
    putName(s, "P");
    if (mode & 4) {
        putName(s, "UseTable");
        s += char(9);  // vaTrue
    }
    auto binary = [&](const std::string& name, const std::string& value) {
        putName(s, name);
        s += char(12);  // vaBinary
        for (int i = 0; i < 4; ++i) s += char(value.size() >> (8 * i));
        s += value;
    };
    binary("DIBPaletteColors", colors);
    if (!(mode & 1)) binary("DIBPaletteTable", table);
    s += '\0';
    s += '\0';

    TForm form(nullptr);
    auto* pal = new TDIBPalette(&form);
    TMemoryStream in(s.data(), s.size());
    try {
        ReadComponentFromStream(in, pal);
    } catch (const Exception&) {}
    // Whatever was read, the palette answers consistently.
    const int n = pal->NearestIndex(0, 0, 0);
    if (n < 0 || n >= kDIBPaletteColorCount) std::abort();
    if (const std::uint8_t* t = pal->LookupTable())
        for (std::size_t i = 0; i < kDIBPaletteTableSize; i += 4097)
            if (t[i] >= kDIBPaletteColorCount) std::abort();
    return 0;
}
