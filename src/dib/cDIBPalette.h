#pragma once
// A 235-colour logical palette for showing 32-bit pictures on 256-colour
// displays, with a 64 x 64 x 64 table that maps any colour to its nearest
// entry so that 32-bit pixels convert to 8-bit ones with one indexed read.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "framework/Forms.h"
#include "gdi/Gdi.h"
#include "objects/Classes.h"
#include "objects/SysUtils.h"

// One palette entry as stored: three colour bytes and a flags byte. The
// colour bytes are in the order the lookup table and the 8-bit colour table
// read them: blue, green, red.
struct TDIBPaletteEntry {
    std::uint8_t Blue;
    std::uint8_t Green;
    std::uint8_t Red;
    std::uint8_t Flags;
};
static_assert(sizeof(TDIBPaletteEntry) == 4);

inline constexpr int kDIBPaletteColorCount = 235;
inline constexpr int kDIBPaletteCapacity = 254;
inline constexpr std::size_t kDIBPaletteColorsSize = kDIBPaletteColorCount * 4;  // 940
inline constexpr std::size_t kDIBPaletteTableSize = 64 * 64 * 64;                // 262,144

using TDIBPaletteEntries = std::array<TDIBPaletteEntry, kDIBPaletteColorCount>;

// The default palette: a grey ramp, entry i = 255 - i in every colour byte.
TDIBPaletteEntries DIBDefaultPaletteEntries();

// The index of the entry nearest to (blue, green, red) by the sum of squared
// differences; ties go to the lower index.
int DIBNearestIndex(const TDIBPaletteEntries& entries, std::uint8_t blue, std::uint8_t green,
                    std::uint8_t red);

// Fills `table` (kDIBPaletteTableSize bytes): table[i * 4096 + j * 64 + k] is
// the nearest index of the colour (k * 4, j * 4, i * 4) in entry order.
// `onPlane`, when given, is called with i before each of the 64 planes.
void DIBBuildLookupTable(const TDIBPaletteEntries& entries, std::uint8_t* table,
                         const std::function<void(int)>& onPlane = {});

// The table index of a pixel's colour.
constexpr std::size_t DIBLookupIndex(std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    return std::size_t(blue >> 2) + std::size_t(green >> 2) * 64 + std::size_t(red >> 2) * 4096;
}

class TAbstractSuperDIB;

TW_DECLARE_EXCEPTION(EDIBPaletteError, Exception);

// The palette component. Its owner must be a form (EDIBPaletteError
// "Palette owner must be a TCustomForm." otherwise); outside design it puts
// its own window procedure in front of the form's, realises its palette for
// the form when the system asks (the two palette messages) and passes every
// other message on. With UseTable it keeps the nearest-colour table that
// Render8Bit converts pixels through.
//
// Stored with the form: "DIBPaletteColors" (always; 940 bytes, the 235
// entries in entry order) and "DIBPaletteTable" (with UseTable; the 262,144
// table bytes). After a read, also one that failed half-way, the table is
// the one the colours give (or the one stored with them), or there is none.
//
// The palette serves the form that owns it: moved to another owner it
// unhooks from the old form and hooks into the new one.
class TDIBPalette : public TComponent {
    TW_CLASS(TDIBPalette, TComponent)

public:
    explicit TDIBPalette(TComponent* Owner);
    ~TDIBPalette() override;

    void DefineProperties(TFiler* Filer) override;
    void Assign(TPersistent* Source) override;
    void Loaded() override;
    // Follows the palette's own moves between owners.
    void Notification(TComponent* Component, TOperation Operation) override;

    bool UseTable() const { return UseTable_; }
    void SetUseTable(bool Value);

    const TDIBPaletteEntries& Entries() const { return *Entries_; }
    // Replaces the colours and recreates the palette handle. A table made
    // for other colours is rebuilt, or dropped while a form is read (Loaded
    // builds it unless the form holds one).
    void SetEntries(const TDIBPaletteEntries& Value);
    int NearestIndex(std::uint8_t Blue, std::uint8_t Green, std::uint8_t Red) const {
        return DIBNearestIndex(*Entries_, Blue, Green, Red);
    }
    // The table, or null without UseTable.
    const std::uint8_t* LookupTable() const { return LookupTable_.get(); }
    HPALETTE PaletteHandle() const { return PaletteHandle_; }

    // Fills the table from the entries. While the palette is designed the
    // main form's caption shows the progress and is put back afterwards.
    void BuildTable();

    // The palette messages of the owning form's window procedure.
    static constexpr std::uint32_t kQueryNewPalette = 0x030F;  // WM_QUERYNEWPALETTE
    static constexpr std::uint32_t kPaletteChanged = 0x0311;   // WM_PALETTECHANGED
    // Handles one of the two palette messages for the window `Window`:
    // realises the palette in its device context and calls `Invalidate` when
    // that changed system entries; after WM_QUERYNEWPALETTE `NotifyControls`
    // tells the window's controls that the palette changed. Returns false for
    // every other message, which belongs to the window's own procedure.
    bool PaletteMessage(std::uint32_t Msg, std::uintptr_t WParam, std::intptr_t& Result,
                        HWND Window, const std::function<void()>& Invalidate,
                        const std::function<void()>& NotifyControls = {});

private:
    // What the form's window procedure calls while the palette is hooked
    // in; it outlives the palette when someone else keeps a copy.
    struct THook {
        TDIBPalette* Palette = nullptr;  // null once the palette is gone
        TWndMethod Previous;
    };
    static TComponent* CheckOwner(TComponent* Owner);
    // Serves `Form` (none: no form): unhooks from the form served so far and
    // hooks into the new one unless it is designed.
    void ServeForm(TCustomForm* Form);
    void HookedWndProc(TMessage& Message);

    void RecreatePaletteHandle();
    void ReadColors(TStream& Stream);
    void WriteColors(TStream& Stream);
    void ReadTable(TStream& Stream);
    void WriteTable(TStream& Stream);

    bool UseTable_ = false;
    std::unique_ptr<TDIBPaletteEntries> Entries_;
    std::unique_ptr<std::uint8_t[]> LookupTable_;
    HPALETTE PaletteHandle_ = nullptr;
    TCustomForm* Form_ = nullptr;  // the owner, while it is a form
    std::shared_ptr<THook> Hook_;
};

// Draws the W x H rectangle of Source at (SrcX, SrcY) onto the 8-bit device
// context DC at (X, Y), converting each pixel through Palette's table. The
// rectangle is clipped to Source and to non-negative destination coordinates.
void Render8Bit(TAbstractSuperDIB* Source, HDC DC, int X, int Y, int W, int H, int SrcX, int SrcY,
                TDIBPalette* Palette);
