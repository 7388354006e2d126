#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "Artwork.h"
#include "dib/cDIBImageList.h"
#include "editor/EditorForm.h"
#include "objects/TextForm.h"
#include "support/TempDir.h"

using tarnwick::artwork::DrawEditorPictures;
using tarnwick::artwork::EditorPicture;

namespace {

const TDIBPixel& At(const TMemoryDIB& dib, int x, int y) { return dib.ScanLine(y)[x]; }

bool IsWhite(const TDIBPixel& p) { return p.Red == 255 && p.Green == 255 && p.Blue == 255; }
bool IsBlack(const TDIBPixel& p) { return p.Red == 0 && p.Green == 0 && p.Blue == 0; }

class Pictures : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        pictures_ = new std::vector<EditorPicture>(DrawEditorPictures());
    }
    static void TearDownTestSuite() { delete pictures_; }
    static const TMemoryDIB& Dib(int index) { return *(*pictures_)[index].dib; }
    static std::vector<EditorPicture>* pictures_;
};
std::vector<EditorPicture>* Pictures::pictures_ = nullptr;

// The direction (degrees clockwise from straight up) of the dark indicator in
// one knob frame: the centroid of the dark pixels well inside the disc.
double IndicatorDegrees(const TMemoryDIB& knob, int frame) {
    double sx = 0, sy = 0;
    int n = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 80; ++x) {
            const double dx = x + 0.5 - 40, dy = y + 0.5 - 40;
            if (dx * dx + dy * dy > 25 * 25 || At(knob, frame * 80 + x, y).Red > 95) continue;
            sx += dx;
            sy += dy;
            ++n;
        }
    EXPECT_GT(n, 20) << "frame " << frame;
    return std::atan2(sx, -sy) * 180 / 3.14159265358979;
}

std::string FormText() {
    TMemoryStream binary(tarnwick::EditorFormBytes().data(), tarnwick::EditorFormBytes().size());
    TStringStream text;
    ObjectBinaryToText(binary, text);
    return text.DataString();
}

std::vector<char> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

TEST_F(Pictures, HaveTheTableSizesNamesAndSettings) {
    struct Expected {
        const char* name;
        int width, height;
    };
    const Expected expected[] = {{"SliderHrz1", 13, 13},    {"SliderHrz2", 13, 13},
                                 {"SliderHrzMain", 13, 13}, {"SliderHrzP1", 13, 13},
                                 {"orangeknob", 5040, 80},  {"vol 10 bar", 110, 81},
                                 {"envUpDown", 60, 15},     {"active", 80, 20},
                                 {"pointer", 20, 10},       {"sliderback", 20, 81}};
    ASSERT_EQ(pictures_->size(), 10u);
    for (int i = 0; i < 10; ++i) {
        const TMemoryDIB& dib = Dib(i);
        SCOPED_TRACE((*pictures_)[i].displayName);
        EXPECT_EQ((*pictures_)[i].displayName, expected[i].name);
        EXPECT_EQ(dib.Width(), expected[i].width);
        EXPECT_EQ(dib.Height(), expected[i].height);
        EXPECT_EQ(dib.Transparent(), i == 8);
        EXPECT_EQ(dib.TransparentMode(), i == 8 ? tmFixed : tmAuto);
        EXPECT_FALSE(dib.Masked());
        EXPECT_EQ(dib.Opacity(), 255);
        for (std::size_t p = 0; p < dib.PixelCount(); ++p)
            ASSERT_EQ(dib.Bits()[p].Mask, 255) << "pixel " << p;
    }
    EXPECT_EQ(Dib(8).StoredTransparentColor(), 0xFFFFFFu);
    for (int i : {5, 6, 7}) EXPECT_EQ(Dib(i).StoredTransparentColor(), 0u);
}

TEST_F(Pictures, KnobIndicatorTurnsClockwiseFromLowerLeftToLowerRight) {
    const TMemoryDIB& knob = Dib(4);
    EXPECT_NEAR(IndicatorDegrees(knob, 0), -135, 4);
    EXPECT_NEAR(IndicatorDegrees(knob, 31), 0, 4);
    EXPECT_NEAR(IndicatorDegrees(knob, 62), 135, 4);
    double previous = -180;
    for (int f = 0; f < 63; f += 3) {
        const double a = IndicatorDegrees(knob, f);
        EXPECT_GT(a, previous) << "frame " << f;
        previous = a;
    }
    // The disc is orange at its middle, the corners are the white background.
    const TDIBPixel& middle = At(knob, 31 * 80 + 40, 52);
    EXPECT_GT(middle.Red, 150);
    EXPECT_GT(middle.Red, middle.Green + 50);
    EXPECT_GT(middle.Green, middle.Blue + 40);
    EXPECT_TRUE(IsWhite(At(knob, 0, 0)) && IsWhite(At(knob, 5039, 79)));
}

TEST_F(Pictures, MeterFrameKLightsTheLowestKSquares) {
    const TMemoryDIB& meter = Dib(5);
    for (int k = 0; k <= 10; ++k)
        for (int square = 0; square < 10; ++square) {
            const TDIBPixel& p = At(meter, k * 10 + 4, 76 - 8 * square);
            const bool lit = p.Green > 150 && p.Green > p.Red + 60 && p.Green > p.Blue + 60;
            EXPECT_EQ(lit, square < k) << "frame " << k << " square " << square;
            if (square >= k) {
                EXPECT_TRUE(IsBlack(p));
            }
        }
    // Between squares, around them and in the bottom-left corner: black.
    for (int y = 0; y < 81; ++y) EXPECT_TRUE(IsBlack(At(meter, 100, y))) << y;
    EXPECT_TRUE(IsBlack(At(meter, 104, 72)) && IsBlack(At(meter, 104, 80)));
}

TEST_F(Pictures, PointerHasAnExactlyWhiteBackgroundAndNoPaleFringe) {
    const TMemoryDIB& pointer = Dib(8);
    EXPECT_TRUE(IsWhite(At(pointer, 0, 0)) && IsWhite(At(pointer, 19, 9)));
    int coloured = 0;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) {
            const TDIBPixel& p = At(pointer, x, y);
            if (IsWhite(p)) continue;
            ++coloured;
            EXPECT_LT(std::min({p.Red, p.Green, p.Blue}), 200) << x << "," << y;
        }
    EXPECT_GT(coloured, 150);
    EXPECT_GT(At(pointer, 10, 2).Red, At(pointer, 10, 2).Blue + 100);  // orange
}

TEST_F(Pictures, SliderBackIsTheSameOnEveryRow) {
    const TMemoryDIB& back = Dib(9);
    for (int y = 1; y < 81; ++y)
        for (int x = 0; x < 20; ++x) {
            const TDIBPixel &a = At(back, x, 0), &b = At(back, x, y);
            ASSERT_TRUE(a.Red == b.Red && a.Green == b.Green && a.Blue == b.Blue) << x << "," << y;
        }
    EXPECT_TRUE(IsWhite(At(back, 0, 0)) && IsWhite(At(back, 19, 0)));
    EXPECT_TRUE(IsBlack(At(back, 9, 0)) && IsBlack(At(back, 10, 0)));
}

TEST_F(Pictures, SwitchesShowTheirStates) {
    // envUpDown: at the middle of a frame the line is high in frame 0 (rise
    // and fall) and low in frame 1 (fall and rise).
    const TMemoryDIB& env = Dib(6);
    EXPECT_TRUE(IsBlack(At(env, 15, 4)) && IsWhite(At(env, 15, 11)));
    EXPECT_TRUE(IsWhite(At(env, 45, 4)) && IsBlack(At(env, 45, 11)));
    // active: red when off, green when on, with black lettering in both.
    const TMemoryDIB& active = Dib(7);
    for (int frame = 0; frame < 2; ++frame) {
        const TDIBPixel& fill = At(active, frame * 40 + 20, 4);
        const int lit = frame == 0 ? fill.Red : fill.Green;
        const int other = frame == 0 ? fill.Green : fill.Red;
        EXPECT_GT(lit, other + 80) << "frame " << frame;
        int black = 0;
        for (int y = 7; y < 14; ++y)
            for (int x = 3; x < 38; ++x) black += IsBlack(At(active, frame * 40 + x, y));
        EXPECT_GT(black, 60) << "frame " << frame;
    }
}

TEST(EditorForm, ConvertsBackToTextWithEveryControlOfTheLayout) {
    const std::string text = FormText();
    EXPECT_EQ(text.rfind("object PluginEditorWindow: TPluginEditorWindow", 0), 0u);
    for (const char* object : {"DIBContainer1: TDIBContainer",
                               "DIBFadeLabel1: TDIBFadeLabel",
                               "DIBKnob1: TDIBKnob",
                               "DIBKnob2: TDIBKnob",
                               "DIBKnob3: TDIBKnob",
                               "vol: TDIBKnob",
                               "EnvMode: TDIBKnob",
                               "Active: TDIBKnob",
                               "Thresh: TDIBSlider",
                               "DIBFadeLabel2: TDIBFadeLabel",
                               "DIBFadeLabel3: TDIBFadeLabel",
                               "DIBFadeLabel4: TDIBFadeLabel",
                               "DIBFadeLabel5: TDIBFadeLabel",
                               "DIBFadeLabel6: TDIBFadeLabel",
                               "Quorbel: TDIBFadeLabel",
                               "Aboutbox: TDIBContainer",
                               "Label2: TLabel",
                               "Memo1: TMemo",
                               "Updater: TTimer",
                               "DIBImageList1: TDIBImageList"})
        EXPECT_NE(text.find(std::string("object ") + object + "\n"), std::string::npos) << object;
    for (const char* detail :
         {"Caption = 'Hold '", "Caption = '  Get back to it then..  '", "Color = 5282283",
          "Interval = 100", "OnTimer = UpdaterTimer", "OnMouseDown = ActiveMouseDown",
          "'Simple Sidechain gate. '", "IndexPointer.DIBIndex = 8"})
        EXPECT_NE(text.find(detail), std::string::npos) << detail;
}

TEST(EditorForm, ImageListReadBackEqualsTheDrawnPictures) {
    // Cut the image list's object out of the form and load just that.
    const std::string text = FormText();
    const auto start = text.find("  object DIBImageList1: TDIBImageList\n");
    ASSERT_NE(start, std::string::npos);
    const auto stop = text.find("\n  end\n", start);
    ASSERT_NE(stop, std::string::npos);
    std::istringstream lines(text.substr(start, stop + 7 - start));
    std::string listText;
    for (std::string line; std::getline(lines, line);) listText += line.substr(2) + '\n';

    std::unique_ptr<TComponent> loaded = ComponentFromText(listText);
    auto* list = dynamic_cast<TDIBImageList*>(loaded.get());
    ASSERT_NE(list, nullptr);
    const std::vector<EditorPicture> drawn = DrawEditorPictures();
    ASSERT_EQ(list->DIBImages()->Count(), int(drawn.size()));
    for (int i = 0; i < int(drawn.size()); ++i) {
        TMemoryDIB* dib = list->DIBImages()->Items(i)->DIB();
        const TMemoryDIB& want = *drawn[i].dib;
        SCOPED_TRACE(drawn[i].displayName);
        EXPECT_EQ(list->DIBImages()->Items(i)->DisplayName(), drawn[i].displayName);
        ASSERT_EQ(dib->Width(), want.Width());
        ASSERT_EQ(dib->Height(), want.Height());
        EXPECT_EQ(0, std::memcmp(dib->Bits(), want.Bits(), want.PixelCount() * 4));
        EXPECT_EQ(dib->Transparent(), want.Transparent());
        EXPECT_EQ(dib->TransparentMode(), want.TransparentMode());
        EXPECT_EQ(dib->TransparentColor(), want.TransparentColor());
    }
}

TEST(EditorForm, ToolIsDeterministicAndMatchesTheBuiltForm) {
    tarnwick::test::TempDir dir;
    const std::string form = std::string(TARNWICK_SOURCE_DIR) + "/src/editor/form/EditorWindow.txt";
    std::vector<char> runs[2];
    for (int i = 0; i < 2; ++i) {
        const std::string out = dir.File("form" + std::to_string(i) + ".bin");
        const std::string command = std::string("'") + TARNWICK_ARTWORK_TOOL + "' --form '" + form +
                                    "' --bin '" + out + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        runs[i] = ReadFile(out);
    }
    ASSERT_GT(runs[0].size(), 1600000u);
    EXPECT_TRUE(runs[0] == runs[1]);
    const auto built = tarnwick::EditorFormBytes();
    ASSERT_EQ(built.size(), runs[0].size());
    EXPECT_EQ(0, std::memcmp(built.data(), runs[0].data(), built.size()));
}

TEST(EditorForm, SplicingNeedsTheEmptyImageListObject) {
    TDIBImageList list(nullptr);
    const std::string form = "object F: TF\n  object DIBImageList1: TDIBImageList\n  end\nend\n";
    const std::string spliced = tarnwick::artwork::SpliceImageList(form, "DIBImageList1", list);
    EXPECT_EQ(spliced.rfind("object F: TF\n  object DIBImageList1: TDIBImageList\n", 0), 0u);
    EXPECT_THROW(tarnwick::artwork::SpliceImageList("object F: TF\nend\n", "DIBImageList1", list),
                 std::runtime_error);
}
