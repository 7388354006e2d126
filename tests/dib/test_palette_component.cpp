#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <vector>

#include "dib/cDIB.h"
#include "dib/cDIBPalette.h"
#include "framework/Forms.h"
#include "objects/Streaming.h"
#include "objects/TextForm.h"
#include "platform/Window.h"
#include "support/RecordingControl.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The owner a palette belongs to.
std::unique_ptr<TForm> MakePaletteForm() { return std::make_unique<TForm>(nullptr); }

// A form that records the messages reaching its own handlers.
class TRecordingForm : public TForm {
public:
    using TForm::TForm;
    std::vector<std::uint32_t> Received;

protected:
    void Dispatch(TMessage& Message) override {
        Received.push_back(Message.Msg);
        if (Message.Msg == 0x7FFF) Message.Result = 42;
        TForm::Dispatch(Message);
    }
};

using tarnwick::test::TRecordingControl;

bool contains(const std::vector<std::uint32_t>& v, std::uint32_t m) {
    return std::find(v.begin(), v.end(), m) != v.end();
}

// Position of the first run of `size` bytes that equals `block`, or npos.
std::size_t find(const Bytes& hay, const std::uint8_t* block, std::size_t size) {
    auto it = std::search(hay.begin(), hay.end(), block, block + size);
    return it == hay.end() ? std::string::npos : std::size_t(it - hay.begin());
}

std::string paletteError(const std::function<void()>& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "none";
}

// The table is the one the colours give, or there is none.
::testing::AssertionResult TableFitsColours(const TDIBPalette& p) {
    if (!p.LookupTable()) return ::testing::AssertionSuccess();
    std::vector<std::uint8_t> want(kDIBPaletteTableSize);
    DIBBuildLookupTable(p.Entries(), want.data());
    for (std::size_t i = 0; i < kDIBPaletteTableSize; ++i)
        if (p.LookupTable()[i] != want[i])
            return ::testing::AssertionFailure()
                   << "table[" << i << "] = " << int(p.LookupTable()[i]) << ", the colours give "
                   << int(want[i]);
    return ::testing::AssertionSuccess();
}

std::string hex(const void* data, std::size_t size) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = static_cast<const std::uint8_t*>(data)[i];
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

// An 8-bit drawing target: a display of 8 bits, a memory context made for
// it and a section of w x h selected into it whose colours are the palette's.
struct EightBitTarget {
    EightBitTarget(int w, int h, const TDIBPaletteEntries& colours) : width(w), height(h) {
        EXPECT_TRUE(gdi::SetDisplayMode(8));
        dc = CreateCompatibleDC(nullptr);
        std::vector<std::uint8_t> buf(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD), 0);
        auto* info = reinterpret_cast<BITMAPINFO*>(buf.data());
        info->bmiHeader = BITMAPINFOHEADER{};
        info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info->bmiHeader.biWidth = w;
        info->bmiHeader.biHeight = -h;  // top-down, so row y is at y * stride
        info->bmiHeader.biPlanes = 1;
        info->bmiHeader.biBitCount = 8;
        info->bmiHeader.biClrUsed = kDIBPaletteColorCount;
        std::memcpy(info->bmiColors, colours.data(), kDIBPaletteColorsSize);
        void* p = nullptr;
        section = CreateDIBSection(dc, info, DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<std::uint8_t*>(p);
        old = SelectObject(dc, section);
        stride = (w + 3) & ~3;
        std::memset(bits, 250, std::size_t(stride) * h);  // an index no entry maps to
    }
    ~EightBitTarget() {
        SelectObject(dc, old);
        DeleteObject(section);
        DeleteDC(dc);
        gdi::SetDisplayMode(32);
    }
    std::uint8_t at(int x, int y) const { return bits[y * stride + x]; }

    int width, height, stride;
    HDC dc;
    HBITMAP section;
    HGDIOBJ old;
    std::uint8_t* bits = nullptr;
};

}  // namespace

TEST(PaletteComponent, NewPaletteHasTheGreyRampAndAHandle) {
    auto form = MakePaletteForm();
    auto* pal = new TDIBPalette(form.get());
    EXPECT_EQ(pal->Entries()[0].Red, 255);
    EXPECT_EQ(pal->Entries()[234].Blue, 21);
    EXPECT_FALSE(pal->UseTable());
    EXPECT_EQ(pal->LookupTable(), nullptr);
    ASSERT_NE(pal->PaletteHandle(), nullptr);
    PALETTEENTRY e[2];
    ASSERT_EQ(GetPaletteEntries(pal->PaletteHandle(), 233, 2, e), 2u);
    EXPECT_EQ(e[1].peRed, 21);
    EXPECT_EQ(e[0].peGreen, 22);
    EXPECT_EQ(pal->NearestIndex(0, 0, 0), 234);
    EXPECT_EQ(pal->NearestIndex(255, 255, 255), 0);
}

TEST(PaletteComponent, SystemPaletteGetsTheColoursTheTableUses) {
    auto form = MakePaletteForm();
    auto* pal = new TDIBPalette(form.get());
    TDIBPaletteEntries e = pal->Entries();
    e[5] = {10, 20, 200, 0};  // blue 10, green 20, red 200
    pal->SetEntries(e);
    PALETTEENTRY pe;
    ASSERT_EQ(GetPaletteEntries(pal->PaletteHandle(), 5, 1, &pe), 1u);
    EXPECT_EQ(pe.peRed, 200);
    EXPECT_EQ(pe.peGreen, 20);
    EXPECT_EQ(pe.peBlue, 10);
}

TEST(PaletteComponent, UseTableBuildsAndFreesTheTable) {
    auto form = MakePaletteForm();
    auto* pal = new TDIBPalette(form.get());
    pal->SetUseTable(true);
    ASSERT_NE(pal->LookupTable(), nullptr);
    EXPECT_EQ(pal->LookupTable()[0], 234);
    EXPECT_EQ(pal->LookupTable()[262143], 3);
    EXPECT_EQ(pal->LookupTable()[63], 171);
    pal->SetUseTable(false);
    EXPECT_EQ(pal->LookupTable(), nullptr);
    // New colours rebuild a table in use.
    pal->SetUseTable(true);
    TDIBPaletteEntries e = pal->Entries();
    e[200] = {0, 0, 0, 0};
    pal->SetEntries(e);
    EXPECT_EQ(pal->LookupTable()[0], 200);
}

TEST(PaletteComponent, AssignCopiesColoursAndTable) {
    auto form = MakePaletteForm();
    auto* a = new TDIBPalette(form.get());
    auto* b = new TDIBPalette(form.get());
    TDIBPaletteEntries e = a->Entries();
    e[0] = {1, 2, 3, 0};
    a->SetEntries(e);
    a->SetUseTable(true);
    b->Assign(a);
    EXPECT_TRUE(b->UseTable());
    ASSERT_NE(b->LookupTable(), nullptr);
    EXPECT_EQ(std::memcmp(a->LookupTable(), b->LookupTable(), kDIBPaletteTableSize), 0);
    EXPECT_EQ(b->Entries()[0].Red, 3);
    PALETTEENTRY pe;
    GetPaletteEntries(b->PaletteHandle(), 0, 1, &pe);
    EXPECT_EQ(pe.peRed, 3);

    a->SetUseTable(false);
    b->Assign(a);
    EXPECT_EQ(b->LookupTable(), nullptr);
    EXPECT_FALSE(b->UseTable());
    EXPECT_EQ(paletteError([&] { b->Assign(form.get()); }), "Not a TDIBPalette Component");
}

TEST(PaletteComponent, StreamPropertiesRoundTrip) {
    auto form = MakePaletteForm();
    auto* a = new TDIBPalette(form.get());
    a->SetName("Palette1");
    TDIBPaletteEntries e = a->Entries();
    e[7] = {9, 8, 7, 6};
    a->SetEntries(e);

    // Without the table: the colours only, 940 bytes in entry order.
    Bytes plain = ComponentToBytes(a);
    const std::size_t at =
        find(plain, reinterpret_cast<const std::uint8_t*>(e.data()), kDIBPaletteColorsSize);
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(plain[at + 7 * 4 + 3], 6);
    EXPECT_EQ(plain.size(), ComponentToBytes(a).size());

    a->SetUseTable(true);
    Bytes withTable = ComponentToBytes(a);
    EXPECT_EQ(withTable.size(), plain.size() + kDIBPaletteTableSize +
                                    std::string("DIBPaletteTable").size() + 1 + 1 + 4 +
                                    std::string("UseTable").size() + 1 + 1);
    // Mark the stored table, so that reading it can be told from rebuilding it.
    const std::size_t t = find(withTable, a->LookupTable(), kDIBPaletteTableSize);
    ASSERT_NE(t, std::string::npos);
    withTable[t + 262143] = 17;

    auto otherForm = MakePaletteForm();
    auto* b = new TDIBPalette(otherForm.get());
    TMemoryStream s(withTable.data(), withTable.size());
    ReadComponentFromStream(s, b);
    EXPECT_TRUE(b->UseTable());
    ASSERT_NE(b->LookupTable(), nullptr);
    EXPECT_EQ(b->LookupTable()[262143], 17);  // read, not rebuilt
    EXPECT_EQ(b->LookupTable()[0], a->LookupTable()[0]);
    EXPECT_EQ(b->Entries()[7].Flags, 6);
    PALETTEENTRY pe;
    GetPaletteEntries(b->PaletteHandle(), 7, 1, &pe);
    EXPECT_EQ(pe.peRed, 7);
}

TEST(PaletteComponent, MalformedStreamPropertiesAreRefused) {
    auto form = MakePaletteForm();
    auto* p = new TDIBPalette(form.get());
    const TDIBPaletteEntries before = p->Entries();
    auto read = [&](const std::string& text) {
        return paletteError([&] { ComponentFromText(text, p); });
    };
    // An empty value keeps the colours there are.
    EXPECT_EQ(read("object P: TDIBPalette\n  DIBPaletteColors = {}\nend\n"), "none");
    EXPECT_EQ(std::memcmp(p->Entries().data(), before.data(), kDIBPaletteColorsSize), 0);
    EXPECT_NE(read("object P: TDIBPalette\n  DIBPaletteColors = {FFFFFF00}\nend\n")
                  .find("Invalid palette stream."),
              std::string::npos);
    EXPECT_EQ(std::memcmp(p->Entries().data(), before.data(), kDIBPaletteColorsSize), 0);
    EXPECT_NE(read("object P: TDIBPalette\n  DIBPaletteTable = {0000}\nend\n")
                  .find("Invalid palette table stream."),
              std::string::npos);
    EXPECT_EQ(p->LookupTable(), nullptr);
}

TEST(Render8Bit, RefusesWithoutTableOrEightBitContext) {
    auto form = MakePaletteForm();
    auto* pal = new TDIBPalette(form.get());
    TMemoryDIB dib(2, 2);
    HDC screen = CreateCompatibleDC(nullptr);  // 32 bits
    EXPECT_EQ(paletteError([&] { Render8Bit(&dib, screen, 0, 0, 2, 2, 0, 0, pal); }),
              "Render8Bit can only be used with a palette containing a lookup table");
    pal->SetUseTable(true);
    EXPECT_EQ(paletteError([&] { Render8Bit(&dib, screen, 0, 0, 2, 2, 0, 0, pal); }),
              "Render8Bit can only be used to blit to an 8 bit DC");
    DeleteDC(screen);
}

TEST(Render8Bit, ConvertsThroughTheTableAndClips) {
    auto form = MakePaletteForm();
    auto* pal = new TDIBPalette(form.get());
    pal->SetUseTable(true);
    const std::size_t objects = gdi::LiveObjectCount();
    {
        TMemoryDIB dib(3, 2);
        // Top row: white, black, mid grey; bottom row: (252, 0, 0) blue-only, grey 100, grey 40.
        const TDIBPixel top[3] = {{255, 255, 255, 255}, {0, 0, 0, 255}, {128, 128, 128, 0}};
        const TDIBPixel bottom[3] = {{252, 0, 0, 255}, {100, 100, 100, 255}, {40, 40, 40, 255}};
        std::memcpy(dib.ScanLine(0), top, sizeof top);
        std::memcpy(dib.ScanLine(1), bottom, sizeof bottom);
        EightBitTarget target(5, 4, pal->Entries());
        Render8Bit(&dib, target.dc, 1, 1, 3, 2, 0, 0, pal);
        EXPECT_EQ(target.at(1, 1), 3);    // white -> table (63,63,63) -> 252 = entry 3
        EXPECT_EQ(target.at(2, 1), 234);  // black
        EXPECT_EQ(target.at(3, 1), 127);  // 128
        EXPECT_EQ(target.at(1, 2), 171);
        EXPECT_EQ(target.at(2, 2), 155);  // 100 -> entry 155
        EXPECT_EQ(target.at(3, 2), 215);  // 40 -> entry 215
        EXPECT_EQ(target.at(0, 0), 250);  // outside the rectangle: untouched
        EXPECT_EQ(target.at(4, 1), 250);

        // Negative destination: the source start moves along.
        std::memset(target.bits, 250, std::size_t(target.stride) * 4);
        Render8Bit(&dib, target.dc, -2, 0, 3, 2, 0, 0, pal);
        EXPECT_EQ(target.at(0, 0), 127);  // source column 2
        EXPECT_EQ(target.at(0, 1), 215);
        EXPECT_EQ(target.at(1, 0), 250);

        // Rectangle wider than the source: only up to the source's edge.
        std::memset(target.bits, 250, std::size_t(target.stride) * 4);
        Render8Bit(&dib, target.dc, 0, 0, 50, 50, 1, 1, pal);
        EXPECT_EQ(target.at(0, 0), 155);
        EXPECT_EQ(target.at(1, 0), 215);
        EXPECT_EQ(target.at(2, 0), 250);
        EXPECT_EQ(target.at(0, 1), 250);

        // Start beyond the source, or a rectangle clipped away: nothing.
        std::memset(target.bits, 250, std::size_t(target.stride) * 4);
        Render8Bit(&dib, target.dc, 0, 0, 3, 2, 3, 0, pal);
        Render8Bit(&dib, target.dc, -5, 0, 3, 2, 0, 0, pal);
        Render8Bit(&dib, target.dc, 0, 0, 3, 2, -3, 0, pal);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x) EXPECT_EQ(target.at(x, y), 250);
    }
    EXPECT_EQ(gdi::LiveObjectCount(), objects);  // everything made was released
}

TEST(PaletteComponent, FormWithUseTableButNoTableGetsOneBuilt) {
    auto form = MakePaletteForm();
    auto* p = new TDIBPalette(form.get());
    ComponentFromText("object P: TDIBPalette\n  UseTable = True\nend\n", p);
    ASSERT_NE(p->LookupTable(), nullptr);
    EXPECT_EQ(p->LookupTable()[0], 234);
    EXPECT_EQ(p->LookupTable()[262143], 3);
}

TEST(PaletteComponent, RealisesOnThePaletteMessages) {
    ASSERT_TRUE(gdi::SetDisplayMode(8));
    {
        auto form = MakePaletteForm();
        auto* pal = new TDIBPalette(form.get());
        const std::size_t objects = gdi::LiveObjectCount();
        int invalidated = 0, notified = 0;
        auto inv = [&] { ++invalidated; };
        auto note = [&] { ++notified; };
        std::intptr_t result = -1;

        // Foreground: the system palette takes the grey ramp, so entries change.
        ASSERT_TRUE(
            pal->PaletteMessage(TDIBPalette::kQueryNewPalette, 0, result, nullptr, inv, note));
        EXPECT_GT(result, 0);
        EXPECT_EQ(invalidated, 1);
        EXPECT_EQ(notified, 1);
        PALETTEENTRY sys[256];
        HDC screen = GetDC(nullptr);
        ASSERT_EQ(GetSystemPaletteEntries(screen, 0, 256, sys), 256u);
        ReleaseDC(nullptr, screen);
        int greys = 0;
        for (const PALETTEENTRY& e : sys)
            greys += e.peRed == 21 && e.peGreen == 21 && e.peBlue == 21;
        EXPECT_EQ(greys, 1);  // the darkest entry of the ramp is in the system palette

        // Changed by this very window: nothing to do.
        ASSERT_TRUE(
            pal->PaletteMessage(TDIBPalette::kPaletteChanged, 0, result, nullptr, inv, note));
        EXPECT_EQ(invalidated, 1);
        // Changed by another window: realised in the background; the entries
        // are there already, so nothing is repainted.
        ASSERT_TRUE(
            pal->PaletteMessage(TDIBPalette::kPaletteChanged, 0x1234, result, nullptr, inv, note));
        EXPECT_EQ(invalidated, 1);
        EXPECT_EQ(notified, 1);

        // Other messages belong to the window.
        EXPECT_FALSE(pal->PaletteMessage(0x000F, 0, result, nullptr, inv, note));
        EXPECT_EQ(gdi::LiveObjectCount(), objects);  // every context released
    }
    gdi::SetDisplayMode(32);
}

TEST(PaletteComponent, FormsFindThePaletteClassByName) {
    EXPECT_EQ(GetClass("TDIBPalette"), TDIBPalette::StaticClass());
}

TEST(PaletteComponent, OwnerMustBeAForm) {
    TComponent plain(nullptr);
    EXPECT_EQ(paletteError([&] { new TDIBPalette(&plain); }),
              "Palette owner must be a TCustomForm.");
    EXPECT_EQ(plain.ComponentCount(), 0);
    EXPECT_EQ(paletteError([&] { new TDIBPalette(nullptr); }),
              "Palette owner must be a TCustomForm.");
}

TEST(PaletteComponent, HooksIntoTheFormsWindowProcedure) {
    ASSERT_TRUE(gdi::SetDisplayMode(8));
    {
        TRecordingForm form(nullptr);
        form.SetBounds(0, 0, 40, 30);
        auto* control = new TRecordingControl(&form);
        control->SetParent(&form);
        auto* pal = new TDIBPalette(&form);
        const HWND wnd = form.Handle();
        tarnwick::platform::Window* window =
            tarnwick::platform::WindowFromHandle(reinterpret_cast<std::uintptr_t>(wnd));
        ASSERT_NE(window, nullptr);
        window->TakeInvalidated();
        const std::size_t objects = gdi::LiveObjectCount();

        // Foreground: the grey ramp enters the system palette, the form is
        // repainted and its controls hear of it (not as the foreground).
        EXPECT_GT(SendMessage(wnd, WM_QUERYNEWPALETTE, 0, 0), 0);
        using Rects = std::vector<tarnwick::platform::WindowRect>;
        EXPECT_EQ(window->TakeInvalidated(), (Rects{{0, 0, 40, 30}}));
        ASSERT_EQ(control->Received.size(), 1u);
        EXPECT_EQ(control->Received[0].Msg, CM_PALETTECHANGED);
        EXPECT_EQ(control->Received[0].WParam, 0u);
        EXPECT_FALSE(contains(form.Received, WM_QUERYNEWPALETTE));
        PALETTEENTRY sys[256];
        HDC dc = GetDC(wnd);
        ASSERT_NE(dc, nullptr);
        EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 8);
        ASSERT_EQ(GetSystemPaletteEntries(dc, 0, 256, sys), 256u);
        ReleaseDC(wnd, dc);
        EXPECT_TRUE(std::any_of(sys, sys + 256, [](const PALETTEENTRY& e) {
            return e.peRed == 21 && e.peGreen == 21 && e.peBlue == 21;
        }));

        // Again: nothing changes, nothing is repainted; the controls still hear.
        EXPECT_EQ(SendMessage(wnd, WM_QUERYNEWPALETTE, 0, 0), 0);
        EXPECT_FALSE(window->HasInvalidated());
        EXPECT_EQ(control->Received.size(), 2u);

        // The form's own change is ignored.
        EXPECT_EQ(SendMessage(wnd, WM_PALETTECHANGED,
                              std::uint32_t(reinterpret_cast<std::uintptr_t>(wnd)), 0),
                  0);
        EXPECT_FALSE(window->HasInvalidated());

        // Another window takes the free entries for a palette of reds; told
        // of it, the form realises in the background and is repainted.
        std::vector<std::uint8_t> buf(sizeof(LOGPALETTE) + 234 * sizeof(PALETTEENTRY));
        auto* lp = reinterpret_cast<LOGPALETTE*>(buf.data());
        lp->palVersion = 0x300;
        lp->palNumEntries = 235;
        for (int i = 0; i < 235; ++i)
            lp->palPalEntry[i] = PALETTEENTRY{std::uint8_t(i + 1), 0, 0, 0};
        HPALETTE reds = CreatePalette(lp);
        HDC screen = GetDC(nullptr);
        HPALETTE old = SelectPalette(screen, reds, FALSE);
        EXPECT_GT(RealizePalette(screen), 0u);
        SelectPalette(screen, old, FALSE);
        ReleaseDC(nullptr, screen);
        SendMessage(wnd, WM_PALETTECHANGED, 0x4321, 0);
        EXPECT_TRUE(window->HasInvalidated());
        window->TakeInvalidated();
        EXPECT_EQ(control->Received.size(), 2u);
        DeleteObject(reds);
        EXPECT_EQ(gdi::LiveObjectCount(), objects);  // every context released

        // Every other message reaches the form, result included.
        EXPECT_EQ(SendMessage(wnd, 0x7FFF, 0, 0), 42);
        EXPECT_TRUE(contains(form.Received, 0x7FFF));

        // Destroyed, the palette gives the form its own procedure back.
        delete pal;
        form.Received.clear();
        EXPECT_EQ(SendMessage(wnd, WM_QUERYNEWPALETTE, 0, 0), 0);
        EXPECT_TRUE(contains(form.Received, WM_QUERYNEWPALETTE));
        EXPECT_FALSE(window->HasInvalidated());
        EXPECT_EQ(control->Received.size(), 2u);
    }
    gdi::SetDisplayMode(32);
}

TEST(PaletteComponent, HooksStackAndUnhookInAnyOrder) {
    TRecordingForm form(nullptr);
    auto* first = new TDIBPalette(&form);
    auto* second = new TDIBPalette(&form);
    // The first one goes while the second still calls it: the message must
    // pass through to the form, not into a destroyed palette.
    delete first;
    EXPECT_EQ(form.Perform(0x7FFF, 0, 0), 42);
    delete second;  // puts back the procedure it found: the first's, now a pass-through
    EXPECT_EQ(form.Perform(0x7FFF, 0, 0), 42);
    EXPECT_EQ(form.Received.size(), 2u);
}

TEST(PaletteComponent, DesignedFormKeepsItsProcedureAndShowsTableProgress) {
    TRecordingForm form(nullptr);
    form.SetDesigning(true);
    auto* pal = new TDIBPalette(&form);
    pal->SetDesigning(true);
    EXPECT_EQ(SendMessage(form.Handle(), WM_QUERYNEWPALETTE, 0, 0), 0);
    EXPECT_TRUE(contains(form.Received, WM_QUERYNEWPALETTE));  // not hooked

    TForm mainForm(nullptr);
    mainForm.SetCaption("Editor");
    std::vector<std::string> captions;
    mainForm.SetWindowProc([&](TMessage& m) {
        if (m.Msg == CM_TEXTCHANGED) captions.push_back(mainForm.Caption());
    });
    Application->SetMainForm(&mainForm);
    pal->SetUseTable(true);
    Application->SetMainForm(nullptr);
    ASSERT_EQ(captions.size(), 65u);
    EXPECT_EQ(captions[0], "Processing 0%");
    EXPECT_EQ(captions[1], "Processing 1%");
    EXPECT_EQ(captions[32], "Processing 50%");
    EXPECT_EQ(captions[63], "Processing 100%");
    EXPECT_EQ(captions[64], "Editor");
    EXPECT_EQ(mainForm.Caption(), "Editor");

    // Outside design the caption is left alone.
    pal->SetDesigning(false);
    Application->SetMainForm(&mainForm);
    pal->SetUseTable(false);
    pal->SetUseTable(true);
    Application->SetMainForm(nullptr);
    EXPECT_EQ(captions.size(), 65u);
}

// Whatever a read brings, and also when it fails half-way, the table is the
// one the colours give or there is none.
TEST(PaletteComponent, ReadingKeepsTheTableInStepWithTheColours) {
    // Saved without a table, with colours that put black at entry 0.
    auto savedForm = MakePaletteForm();
    auto* saved = new TDIBPalette(savedForm.get());
    TDIBPaletteEntries rising{};
    for (int i = 0; i < kDIBPaletteColorCount; ++i) {
        const auto v = std::uint8_t(20 + i);
        rising[i] = {v, v, v, 0};
    }
    saved->SetEntries(rising);
    const Bytes bytes = ComponentToBytes(saved);

    auto form = MakePaletteForm();
    auto* p = new TDIBPalette(form.get());
    p->SetUseTable(true);
    ASSERT_EQ(p->LookupTable()[0], 234);
    TMemoryStream s(bytes.data(), bytes.size());
    ReadComponentFromStream(s, p);
    EXPECT_EQ(p->Entries()[0].Blue, 20);
    EXPECT_TRUE(TableFitsColours(*p));

    // The colours are read, then the table fails.
    TDIBPaletteEntries falling{};
    for (int i = 0; i < kDIBPaletteColorCount; ++i) {
        const auto v = std::uint8_t(250 - i);
        falling[i] = {v, v, v, 0};
    }
    const std::string text = "object P: TDIBPalette\n  UseTable = True\n  DIBPaletteColors = {" +
                             hex(falling.data(), kDIBPaletteColorsSize) +
                             "}\n  DIBPaletteTable = {0000}\nend\n";
    EXPECT_NE(
        paletteError([&] { ComponentFromText(text, p); }).find("Invalid palette table stream."),
        std::string::npos);
    EXPECT_EQ(p->Entries()[0].Blue, 250);
    EXPECT_TRUE(TableFitsColours(*p));

    // Switched on by the form, then the table fails.
    auto* q = new TDIBPalette(form.get());
    EXPECT_NE(paletteError([&] {
                  ComponentFromText(
                      "object Q: TDIBPalette\n  UseTable = True\n  DIBPaletteTable = {0000}\nend\n",
                      q);
              }).find("Invalid palette table stream."),
              std::string::npos);
    EXPECT_TRUE(TableFitsColours(*q));
}

// The palette serves the form that owns it: moved to another form it hooks
// into that one and lets go of the first, taken away from its form it lets
// go of that one, and no form it has left is touched again.
TEST(PaletteComponent, FollowsItsOwnerFromFormToForm) {
    auto a = std::make_unique<TRecordingForm>(nullptr);
    auto b = std::make_unique<TRecordingForm>(nullptr);
    auto answeredByPalette = [](TRecordingForm& f) {
        f.Received.clear();
        f.Perform(WM_QUERYNEWPALETTE, 0, 0);
        return !contains(f.Received, WM_QUERYNEWPALETTE);
    };
    auto* pal = new TDIBPalette(a.get());
    EXPECT_TRUE(answeredByPalette(*a));
    EXPECT_FALSE(answeredByPalette(*b));

    b->InsertComponent(pal);
    EXPECT_FALSE(answeredByPalette(*a));
    EXPECT_TRUE(answeredByPalette(*b));
    EXPECT_EQ(a->Perform(0x7FFF, 0, 0), 42);
    EXPECT_EQ(b->Perform(0x7FFF, 0, 0), 42);
    a.reset();
    EXPECT_TRUE(answeredByPalette(*b));

    std::unique_ptr<TComponent> held = b->RemoveComponent(pal);
    ASSERT_EQ(held.get(), pal);
    EXPECT_FALSE(answeredByPalette(*b));
    b.reset();
    held.reset();

    // Destroyed with its form, after a move.
    auto c = std::make_unique<TRecordingForm>(nullptr);
    auto d = std::make_unique<TRecordingForm>(nullptr);
    d->InsertComponent(new TDIBPalette(c.get()));
    c.reset();
    EXPECT_TRUE(answeredByPalette(*d));
    d.reset();
}

TEST(Render8Bit, ExtremeCoordinatesClipWithoutOverflow) {
    auto form = MakePaletteForm();
    auto* pal = new TDIBPalette(form.get());
    pal->SetUseTable(true);
    TMemoryDIB dib(3, 2);
    dib.Fill(clWhite);
    EightBitTarget target(5, 4, pal->Entries());
    const int lo = INT_MIN, hi = INT_MAX;
    Render8Bit(&dib, target.dc, 0, 0, 3, 2, lo, 0, pal);
    Render8Bit(&dib, target.dc, 0, 0, 3, 2, 0, lo, pal);
    Render8Bit(&dib, target.dc, 2, 1, hi, hi, lo, lo, pal);
    Render8Bit(&dib, target.dc, lo, lo, hi, hi, 0, 0, pal);
    Render8Bit(&dib, target.dc, hi, hi, hi, hi, 0, 0, pal);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(target.at(x, y), 250) << x << "," << y;
}
