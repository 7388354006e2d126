#pragma once
// The graphics device interface the bitmap side draws through: device
// contexts over our own pixel buffers, DIB sections, block transfers,
// stretching, regions, palettes, device capabilities and the thread's last
// error. One implementation on every platform, so that what is drawn is the
// same pixel for pixel everywhere. Names, types and constants are those of
// the Windows interface, because the drawing code is written in them.
//
// Every handle is checked: an unknown or deleted handle gives a neutral
// answer (0, false or null) and sets the last error to ERROR_INVALID_HANDLE.

#include <cstddef>
#include <cstdint>
#include <string>

// ---- basic types -------------------------------------------------------------

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = unsigned int;
using COLORREF = DWORD;  // 0x00BBGGRR
using HANDLE = void*;
using HGDIOBJ = void*;

struct HDC__;
struct HBITMAP__;
struct HRGN__;
struct HPALETTE__;
struct HBRUSH__;
struct HWND__;
struct HFONT__;
using HDC = HDC__*;
using HBITMAP = HBITMAP__*;
using HRGN = HRGN__*;
using HPALETTE = HPALETTE__*;
using HBRUSH = HBRUSH__*;
using HWND = HWND__*;
using HFONT = HFONT__*;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
    return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) |
           (static_cast<COLORREF>(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c); }
constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>(c >> 8); }
constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>(c >> 16); }

struct POINT {
    LONG x;
    LONG y;
};

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

// ---- rectangles -------------------------------------------------------------------

// A rectangle holds the points with left <= x < right and top <= y < bottom;
// it is empty when it holds none. The helpers answer FALSE for a null pointer.
BOOL SetRect(RECT* rect, int left, int top, int right, int bottom);
BOOL SetRectEmpty(RECT* rect);
BOOL CopyRect(RECT* dest, const RECT* src);
BOOL IsRectEmpty(const RECT* rect);  // TRUE for a null pointer too
BOOL EqualRect(const RECT* a, const RECT* b);
BOOL PtInRect(const RECT* rect, POINT point);  // right and bottom are outside
BOOL OffsetRect(RECT* rect, int dx, int dy);
BOOL InflateRect(RECT* rect, int dx, int dy);
// The common part of two rectangles; when they have none, (0, 0, 0, 0) and
// FALSE.
BOOL IntersectRect(RECT* dest, const RECT* a, const RECT* b);
// The smallest rectangle holding both; an empty one adds nothing. When both
// are empty, (0, 0, 0, 0) and FALSE.
BOOL UnionRect(RECT* dest, const RECT* a, const RECT* b);

// ---- bitmaps -------------------------------------------------------------------

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;  // positive: rows bottom-up; negative: top-down
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

// The header followed by the colour table; callers with more than one colour
// allocate room for them behind the structure.
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    void* bmBits;
};

inline constexpr DWORD BI_RGB = 0;
inline constexpr UINT DIB_RGB_COLORS = 0;
inline constexpr UINT DIB_PAL_COLORS = 1;

// Raster operations.
inline constexpr DWORD SRCCOPY = 0x00CC0020;
inline constexpr DWORD BLACKNESS = 0x00000042;
inline constexpr DWORD WHITENESS = 0x00FF0062;

// Stretch modes. Every mode samples the nearest source pixel (see StretchBlt).
inline constexpr int BLACKONWHITE = 1;
inline constexpr int WHITEONBLACK = 2;
inline constexpr int COLORONCOLOR = 3;
inline constexpr int HALFTONE = 4;

// ---- regions -------------------------------------------------------------------

struct RGNDATAHEADER {
    DWORD dwSize;  // 32
    DWORD iType;   // RDH_RECTANGLES
    DWORD nCount;  // rectangles that follow
    DWORD nRgnSize;
    RECT rcBound;
};
static_assert(sizeof(RGNDATAHEADER) == 32);

struct RGNDATA {
    RGNDATAHEADER rdh;
    char Buffer[1];  // nCount RECTs
};

inline constexpr DWORD RDH_RECTANGLES = 1;

// CombineRgn modes.
inline constexpr int RGN_AND = 1;
inline constexpr int RGN_OR = 2;
inline constexpr int RGN_XOR = 3;
inline constexpr int RGN_DIFF = 4;
inline constexpr int RGN_COPY = 5;

// Region complexity returned by the region functions.
inline constexpr int ERROR = 0;
inline constexpr int NULLREGION = 1;
inline constexpr int SIMPLEREGION = 2;
inline constexpr int COMPLEXREGION = 3;

// ---- palettes --------------------------------------------------------------------

struct PALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};

// Followed by palNumEntries - 1 further entries.
struct LOGPALETTE {
    WORD palVersion;  // 0x300
    WORD palNumEntries;
    PALETTEENTRY palPalEntry[1];
};

inline constexpr UINT GDI_ERROR = 0xFFFFFFFFu;

// ---- objects -------------------------------------------------------------------

// GetObjectType / GetCurrentObject kinds.
inline constexpr DWORD OBJ_BRUSH = 2;
inline constexpr DWORD OBJ_PAL = 5;
inline constexpr DWORD OBJ_FONT = 6;
inline constexpr DWORD OBJ_DC = 3;
inline constexpr DWORD OBJ_BITMAP = 7;
inline constexpr DWORD OBJ_REGION = 8;
inline constexpr DWORD OBJ_MEMDC = 10;

// GetStockObject.
inline constexpr int WHITE_BRUSH = 0;
inline constexpr int LTGRAY_BRUSH = 1;
inline constexpr int GRAY_BRUSH = 2;
inline constexpr int DKGRAY_BRUSH = 3;
inline constexpr int BLACK_BRUSH = 4;
inline constexpr int NULL_BRUSH = 5;  // paints nothing
inline constexpr int HOLLOW_BRUSH = NULL_BRUSH;
inline constexpr int SYSTEM_FONT = 13;  // both fonts: "MS Sans Serif", 11 pixels high
inline constexpr int DEFAULT_GUI_FONT = 17;
inline constexpr int DEFAULT_PALETTE = 15;

// ---- device capabilities ---------------------------------------------------------

inline constexpr int HORZRES = 8;
inline constexpr int VERTRES = 10;
inline constexpr int BITSPIXEL = 12;
inline constexpr int PLANES = 14;
inline constexpr int NUMCOLORS = 24;
inline constexpr int RASTERCAPS = 38;
inline constexpr int SIZEPALETTE = 104;
inline constexpr int NUMRESERVED = 106;
inline constexpr int COLORRES = 108;

inline constexpr int RC_BITBLT = 0x0001;
inline constexpr int RC_BITMAP64 = 0x0008;
inline constexpr int RC_DI_BITMAP = 0x0080;
inline constexpr int RC_PALETTE = 0x0100;
inline constexpr int RC_DIBTODEV = 0x0200;
inline constexpr int RC_STRETCHBLT = 0x0800;

// ---- errors ----------------------------------------------------------------------

inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_OUTOFMEMORY = 14;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_BUSY = 170;
inline constexpr DWORD ERROR_MR_MID_NOT_FOUND = 317;
inline constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;

inline constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
inline constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;

// The calling thread's last error.
void SetLastError(DWORD code);
DWORD GetLastError();

// The system text of an error code (FORMAT_MESSAGE_FROM_SYSTEM only), ending
// in "\r\n" as the system gives it. Returns the characters written (without
// the terminating zero), or 0 with the last error ERROR_MR_MID_NOT_FOUND for a
// code without text, ERROR_INSUFFICIENT_BUFFER when it does not fit.
DWORD FormatMessageA(DWORD flags, const void* source, DWORD messageId, DWORD languageId,
                     char* buffer, DWORD size, void* arguments);
// The same text without the line end; "" for a code without text.
std::string SystemErrorText(DWORD code);

// ---- device contexts -----------------------------------------------------------

// GetDC(nullptr) is the screen; GetDC of a window draws on that window's
// pixels, with the display's depth as its BITSPIXEL. An unknown window
// fails with ERROR_INVALID_WINDOW_HANDLE. ReleaseDC takes the window the
// context was got for.
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
// A memory context with the depth of `dc` (the screen when null) and a 1 x 1
// stock bitmap selected.
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);

// Saves the context's origin, clip region and stretch mode on its stack and
// answers the new depth of the stack (from 1); 0 on failure.
int SaveDC(HDC dc);
// Restores the state saved at depth `saved` (1 = the first), dropping it and
// everything saved after it; a negative value counts back from the last
// (-1 = the last saved). FALSE for a depth that was not saved.
BOOL RestoreDC(HDC dc, int saved);

// The origin: the device position of logical (0, 0). Every coordinate given
// to a context is logical. `old` (may be null) receives the previous origin.
BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* old);
BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, POINT* old);
BOOL GetViewportOrgEx(HDC dc, POINT* origin);

// The clip region limits every drawing call on the context. It is held in
// device coordinates: SelectClipRgn takes the region as device coordinates
// (and copies it; null removes the clip), while IntersectClipRect and
// ExcludeClipRect take logical rectangles. Without a clip region, Exclude
// starts from the whole store. Each answers the kind of the new clip region
// (NULLREGION, SIMPLEREGION, COMPLEXREGION), or ERROR.
int SelectClipRgn(HDC dc, HRGN region);
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom);
// The bounding box of what can be drawn on (the clip region within the
// store), in logical coordinates, and its kind; NULLREGION with (0, 0, 0, 0)
// when nothing can.
int GetClipBox(HDC dc, RECT* box);
// Whether any part of a logical rectangle can be drawn on.
BOOL RectVisible(HDC dc, const RECT* rect);

// Selects a bitmap into a memory context, or a font into any context, and
// returns the one it replaces. A bitmap can be selected into one context at
// a time. A new context has the stock SYSTEM_FONT selected.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
HGDIOBJ GetCurrentObject(HDC dc, UINT type);
DWORD GetObjectType(HGDIOBJ object);
int GetObjectA(HGDIOBJ object, int size, void* out);  // BITMAP of a bitmap, LOGFONTA of a font
HGDIOBJ GetStockObject(int index);
// Fails (FALSE, ERROR_BUSY) for an object selected into a context; stock
// objects are never deleted. A context whose saved state names a font that
// was deleted since draws with the stock font after RestoreDC.
BOOL DeleteObject(HGDIOBJ object);

int GetDeviceCaps(HDC dc, int index);

// Drawing is never deferred here; kept for code that must flush before
// touching section pixels directly.
BOOL GdiFlush();

// ---- brushes -------------------------------------------------------------------

HBRUSH CreateSolidBrush(COLORREF color);
// Fills a logical rectangle (right and bottom excluded) with the brush. A
// brush may also be given as a system colour index plus one
// ((HBRUSH)(COLOR_BTNFACE + 1)), as the system allows.
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
// Paints the one-pixel-wide border just inside the rectangle with the brush.
int FrameRect(HDC dc, const RECT* rect, HBRUSH brush);

// ---- bitmaps -------------------------------------------------------------------

// A section of 8, 24 or 32 bits per pixel, uncompressed, whose pixels start
// zeroed; or, given a mapping (CreateFileMapping), one that shows the
// mapping's memory from `offset` (a multiple of 4) on, as it is. Fails with
// ERROR_NOT_ENOUGH_MEMORY when too large, and with ERROR_INVALID_PARAMETER
// for a header it cannot hold or a mapping too small for it.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);

// Memory that sections can share: a mapping backed by no file (`file`
// INVALID_HANDLE_VALUE) of sizeLow bytes, read and write. Closing the
// handle frees the memory once no section shows it any more.
inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~std::uintptr_t{0});
inline constexpr DWORD PAGE_READWRITE = 4;
HANDLE CreateFileMapping(HANDLE file, void* attributes, DWORD protect, DWORD sizeHigh,
                         DWORD sizeLow, const char* name);
BOOL CloseHandle(HANDLE object);
UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colors);
UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colors);

// Copies (SRCCOPY) or fills (BLACKNESS, WHITENESS) a rectangle. Parts of the
// rectangle outside the destination or the source are left untouched, and so
// is what the destination's clip region excludes (true of every drawing call).
BOOL BitBlt(HDC dest, int x, int y, int cx, int cy, HDC src, int x1, int y1, DWORD rop);
// Scales the source rectangle onto the destination rectangle by nearest
// neighbour: destination column i of a rectangle w wide samples source column
// floor(i * ws / w) (mirrored when the widths' signs differ), rows likewise.
// Every stretch mode samples this way, so that shrinking never merges pixels
// and results are identical on every platform.
BOOL StretchBlt(HDC dest, int x, int y, int w, int h, HDC src, int xs, int ys, int ws, int hs,
                DWORD rop);
int SetStretchBltMode(HDC dc, int mode);
int GetStretchBltMode(HDC dc);
// Copies scan lines of a DIB held by the caller onto a context. (xSrc, ySrc)
// is the lower-left corner of the source rectangle in a bottom-up DIB, the
// upper-left in a top-down one. Returns the number of scan lines set.
int SetDIBitsToDevice(HDC dc, int xDest, int yDest, DWORD w, DWORD h, int xSrc, int ySrc,
                      UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info,
                      UINT usage);
COLORREF GetPixel(HDC dc, int x, int y);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);
inline constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;

// ---- regions -------------------------------------------------------------------

HRGN CreateRectRgn(int left, int top, int right, int bottom);
// Makes an existing region the rectangle, reusing its storage.
BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom);
// A region from a rectangle list (the transform must be null). `count` is the
// byte size of the data: header plus nCount rectangles.
HRGN ExtCreateRegion(const void* xform, DWORD count, const RGNDATA* data);
int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode);
BOOL PtInRegion(HRGN region, int x, int y);
int GetRgnBox(HRGN region, RECT* box);
BOOL EqualRgn(HRGN a, HRGN b);
int OffsetRgn(HRGN region, int dx, int dy);
// The region as non-overlapping rectangles, rows top to bottom, left to right.
// Returns the bytes needed (data null) or written; 0 on failure.
DWORD GetRegionData(HRGN region, DWORD count, RGNDATA* data);

// ---- palettes ------------------------------------------------------------------

HPALETTE CreatePalette(const LOGPALETTE* palette);
// Selects a logical palette into a context, returning the previous one. A
// foreground selection realises into the free entries of the system palette
// first; a background one takes what is left.
HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground);
// Maps the context's palette into the system palette (8-bit contexts only)
// and returns the number of system palette entries that changed, so that a
// second realisation of the same palette returns 0.
UINT RealizePalette(HDC dc);
UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries);
UINT GetSystemPaletteEntries(HDC dc, UINT start, UINT count, PALETTEENTRY* entries);
UINT GetNearestPaletteIndex(HPALETTE palette, COLORREF color);

// ---- system colours ------------------------------------------------------------

inline constexpr int COLOR_SCROLLBAR = 0;
inline constexpr int COLOR_BACKGROUND = 1;
inline constexpr int COLOR_ACTIVECAPTION = 2;
inline constexpr int COLOR_INACTIVECAPTION = 3;
inline constexpr int COLOR_MENU = 4;
inline constexpr int COLOR_WINDOW = 5;
inline constexpr int COLOR_WINDOWFRAME = 6;
inline constexpr int COLOR_MENUTEXT = 7;
inline constexpr int COLOR_WINDOWTEXT = 8;
inline constexpr int COLOR_CAPTIONTEXT = 9;
inline constexpr int COLOR_ACTIVEBORDER = 10;
inline constexpr int COLOR_INACTIVEBORDER = 11;
inline constexpr int COLOR_APPWORKSPACE = 12;
inline constexpr int COLOR_HIGHLIGHT = 13;
inline constexpr int COLOR_HIGHLIGHTTEXT = 14;
inline constexpr int COLOR_BTNFACE = 15;
inline constexpr int COLOR_BTNSHADOW = 16;
inline constexpr int COLOR_GRAYTEXT = 17;
inline constexpr int COLOR_BTNTEXT = 18;
inline constexpr int COLOR_INACTIVECAPTIONTEXT = 19;
inline constexpr int COLOR_BTNHIGHLIGHT = 20;
inline constexpr int COLOR_3DDKSHADOW = 21;
inline constexpr int COLOR_3DLIGHT = 22;
inline constexpr int COLOR_INFOTEXT = 23;
inline constexpr int COLOR_INFOBK = 24;
inline constexpr int COLOR_HOTLIGHT = 26;
inline constexpr int COLOR_GRADIENTACTIVECAPTION = 27;
inline constexpr int COLOR_GRADIENTINACTIVECAPTION = 28;
inline constexpr int COLOR_MENUHILIGHT = 29;
inline constexpr int COLOR_MENUBAR = 30;

// The colours of the system's standard scheme; 0 for an unknown index.
DWORD GetSysColor(int index);

// ---- fonts and text --------------------------------------------------------------
//
// Text is UTF-8; counts are in bytes (-1: up to the terminating zero). Glyphs
// come from the platform's rasteriser (platform/FontRasteriser.h) as 8-bit
// coverage and are blended over what is there in the text colour. On a
// 32-bit store the mask byte of a touched pixel becomes the coverage laid
// over the old mask, c + m * (255 - c) / 255, and an opaque background box
// sets it to 255: text drawn onto a transparent scratch bitmap stays visible
// where the bitmap is later drawn by its mask, and an opaque surface (mask
// 255) stays opaque. Pixels the text does not touch keep their mask.

inline constexpr int LF_FACESIZE = 32;
inline constexpr LONG FW_DONTCARE = 0;
inline constexpr LONG FW_NORMAL = 400;
inline constexpr LONG FW_BOLD = 700;
inline constexpr BYTE ANSI_CHARSET = 0;
inline constexpr BYTE DEFAULT_CHARSET = 1;
inline constexpr BYTE DEFAULT_PITCH = 0;
inline constexpr BYTE FIXED_PITCH = 1;
inline constexpr BYTE VARIABLE_PITCH = 2;

struct LOGFONTA {
    LONG lfHeight;  // < 0: character height; > 0: cell height; 0: the default (11)
    LONG lfWidth;   // not used: widths follow the face
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;  // FW_BOLD (600 and above) is bold
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    char lfFaceName[LF_FACESIZE];  // "MS Sans Serif" and "" are the pinned sans face
};
using LOGFONT = LOGFONTA;

HFONT CreateFontIndirectA(const LOGFONTA* font);
inline HFONT CreateFontIndirect(const LOGFONTA* font) { return CreateFontIndirectA(font); }

inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;

// Colours and background mode of a context's text (saved by SaveDC). A new
// context draws black text on an opaque white background.
COLORREF SetTextColor(HDC dc, COLORREF color);  // the previous one; CLR_INVALID on failure
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);  // the previous mode; 0 on failure or another mode
int GetBkMode(HDC dc);

struct SIZE {
    LONG cx;
    LONG cy;
};

struct TEXTMETRICA {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    BYTE tmFirstChar;
    BYTE tmLastChar;
    BYTE tmDefaultChar;
    BYTE tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};
using TEXTMETRIC = TEXTMETRICA;

// One line of text with the top-left corner of its cell at (x, y). The
// background box (the cell, the text's advance wide) is filled in the
// background colour when the mode is OPAQUE.
BOOL TextOutA(HDC dc, int x, int y, const char* text, int count);
inline BOOL TextOut(HDC dc, int x, int y, const char* text, int count) {
    return TextOutA(dc, x, y, text, count);
}
// The advance width and cell height of a line of text.
BOOL GetTextExtentPoint32A(HDC dc, const char* text, int count, SIZE* size);
inline BOOL GetTextExtentPoint32(HDC dc, const char* text, int count, SIZE* size) {
    return GetTextExtentPoint32A(dc, text, count, size);
}
BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics);
inline BOOL GetTextMetrics(HDC dc, TEXTMETRICA* metrics) { return GetTextMetricsA(dc, metrics); }

// DrawText formats.
inline constexpr UINT DT_TOP = 0x0000;
inline constexpr UINT DT_LEFT = 0x0000;
inline constexpr UINT DT_CENTER = 0x0001;
inline constexpr UINT DT_RIGHT = 0x0002;
inline constexpr UINT DT_VCENTER = 0x0004;     // with DT_SINGLELINE
inline constexpr UINT DT_BOTTOM = 0x0008;      // with DT_SINGLELINE
inline constexpr UINT DT_WORDBREAK = 0x0010;   // break lines between words to fit the width
inline constexpr UINT DT_SINGLELINE = 0x0020;  // line breaks do not break the line
inline constexpr UINT DT_EXPANDTABS = 0x0040;  // tab stops every 8 average character widths
inline constexpr UINT DT_NOCLIP = 0x0100;
inline constexpr UINT DT_CALCRECT = 0x0400;  // measure only: right and bottom are set
inline constexpr UINT DT_NOPREFIX = 0x0800;  // "&" is an ordinary character
inline constexpr UINT DT_RTLREADING = 0x20000;

// Draws text formatted in a rectangle (clipped to it unless DT_NOCLIP). An
// "&" underlines the character after it ("&&" is one "&") unless
// DT_NOPREFIX. Lines end at "\n" ("\r\n" and "\r" too). With DT_CALCRECT
// nothing is drawn: right becomes left + the widest line and bottom becomes
// top + the height of all lines (an empty text has no line). Answers the
// height of the text, or with DT_VCENTER/DT_BOTTOM the distance from the
// rectangle's top to the bottom of the text; 0 on failure.
int DrawTextA(HDC dc, const char* text, int count, RECT* rect, UINT format);
inline int DrawText(HDC dc, const char* text, int count, RECT* rect, UINT format) {
    return DrawTextA(dc, text, count, rect, format);
}

// ---- the simulated display ---------------------------------------------------------

namespace gdi {

// The screen that GetDC(nullptr) stands for: 32 bits per pixel and
// 1024 x 768 unless changed. 8 bits give a palette device with a system
// palette of 256 entries, 20 of them static. Changing the depth resets the
// system palette; contexts made before keep the depth they had. Returns
// false (and changes nothing) for depths other than 8 and 32, or a size
// outside 1..16384.
bool SetDisplayMode(int bitsPerPixel, int width = 1024, int height = 768);
int DisplayBitsPerPixel();

// The number of live objects of all kinds, for tests that check that code
// releases what it creates.
std::size_t LiveObjectCount();

}  // namespace gdi
