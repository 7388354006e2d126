// Component streams: the extended-float encoding, writing and reading whole
// forms, the text form, and malformed input.
#include "objects/TextForm.h"
#include "support/FrameworkTestClasses.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstring>
#include <random>

namespace {

class ComponentStreaming : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterTestClasses();
        TestLog::Loaded().clear();
        live_ = TestLog::Live();
    }
    void TearDown() override { EXPECT_EQ(TestLog::Live(), live_) << "components left alive"; }
    int live_ = 0;
};

// A form with every kind of property, children nested two deep, a
// collection whose items refer to components, binary properties and events.
std::unique_ptr<TTestForm> MakeForm() {
    auto form = std::make_unique<TTestForm>(nullptr);
    form->SetName("Form1");
    form->SetWidth(336);
    form->height_ = 157;
    form->caption_ = "Gate 'one'\r\nline two \xC3\xA9";
    form->scale_ = 1.0L / 3.0L;
    form->styles_ = TTestStyles{TTestStyle::tsBold, TTestStyle::tsUnderline};
    form->mode_ = TTestMode::tmFast;
    form->enabled_ = false;
    form->letter_ = 'Q';
    form->big_ = -5000000000LL;
    form->Sub()->SetX(-300);
    form->Sub()->data_ = {0x0D, 0x00, 0x0D, 0x00, 0xFF};
    form->Sub()->ratio_ = 0.25;

    auto* panel = new TTestPanel(form.get());
    panel->SetName("Panel1");
    panel->SetParentComponent(form.get());
    auto* knob = new TTestComponent(form.get());
    knob->SetName("Knob1");
    // a child of the panel, streamed inside it
    auto* inner = new TTestPanel(form.get());
    inner->SetName("Inner");
    inner->SetParentComponent(panel);
    inner->SetWidth(12);
    auto* list = new TTestComponent(form.get());  // read after Knob1 refers to it
    list->SetName("List1");

    knob->SetBuddy(list);
    knob->onChange_ = EventOf<&TTestForm::ButtonClick>(form.get());
    inner->SetBuddy(form.get());
    auto* item0 = static_cast<TTestItem*>(form->Items()->Add());
    item0->width_ = 13;
    item0->label_ = "Knob face";
    item0->ref_ = knob;
    item0->note_ = "from a template";
    auto* item1 = static_cast<TTestItem*>(form->Items()->Add());
    item1->width_ = 5040;
    return form;
}

std::vector<uint8_t> Bytes(TComponent* c) { return ComponentToBytes(c); }

std::unique_ptr<TComponent> FromBytes(const std::vector<uint8_t>& b) {
    TMemoryStream s(b.data(), b.size());
    return ReadComponentFromStream(s);
}

std::vector<uint8_t> TextToBytes(const std::string& text) {
    TStringStream in(text);
    TMemoryStream out;
    ObjectTextToBinary(in, out);
    return out.Bytes();
}

std::string BytesToText(const std::vector<uint8_t>& b) {
    TMemoryStream in(b.data(), b.size());
    TStringStream out;
    ObjectBinaryToText(in, out);
    return out.DataString();
}

TExtended80 Ext(std::initializer_list<int> b) {
    TExtended80 e{};
    size_t i = 0;
    for (int v : b) e[i++] = static_cast<uint8_t>(v);
    return e;
}

TEST(FrameworkExtended80, KnownEncodings) {
    EXPECT_EQ(LongDoubleToExtended(100.0L), Ext({0, 0, 0, 0, 0, 0, 0, 0xC8, 0x05, 0x40}));
    EXPECT_EQ(LongDoubleToExtended(1.0L), Ext({0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}));
    EXPECT_EQ(LongDoubleToExtended(-2.5L), Ext({0, 0, 0, 0, 0, 0, 0, 0xA0, 0x00, 0xC0}));
    EXPECT_EQ(LongDoubleToExtended(0.0L), Ext({0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(LongDoubleToExtended(-0.0L), Ext({0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80}));
    EXPECT_EQ(LongDoubleToExtended(HUGE_VALL), Ext({0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x7F}));
    EXPECT_EQ(ExtendedToLongDouble(Ext({0, 0, 0, 0, 0, 0, 0, 0xC8, 0x05, 0x40})), 100.0L);
    EXPECT_TRUE(std::isnan(ExtendedToLongDouble(LongDoubleToExtended(std::nanl("")))));
    EXPECT_TRUE(std::signbit(ExtendedToLongDouble(LongDoubleToExtended(-0.0L))));
    EXPECT_EQ(ExtendedToLongDouble(Ext({0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0xFF})), -HUGE_VALL);
    // the smallest double, far below the extended normal range? no: inside it
    EXPECT_EQ(ExtendedToLongDouble(LongDoubleToExtended(DBL_TRUE_MIN)), DBL_TRUE_MIN);
    // an extended denormal: exponent field 0, no integer bit
    long double tiny = ExtendedToLongDouble(Ext({1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    if (LDBL_MANT_DIG == 64) {
        EXPECT_EQ(tiny, std::ldexp(1.0L, -16445));
        EXPECT_EQ(LongDoubleToExtended(tiny), Ext({1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    } else {
        EXPECT_EQ(tiny, 0.0L);  // below what a double holds
    }
}

TEST(FrameworkExtended80, RoundTripsDoublesAndFullPrecision) {
    std::mt19937_64 rng(7);
    for (int i = 0; i < 20000; ++i) {
        uint64_t bits = rng();
        double d;
        std::memcpy(&d, &bits, 8);
        if (std::isnan(d)) continue;
        long double v = d;
        EXPECT_EQ(ExtendedToLongDouble(LongDoubleToExtended(v)), v) << d;
    }
    if (LDBL_MANT_DIG == 64) {  // x87: every bit of the mantissa survives
        long double v = 1.0L + std::ldexp(1.0L, -63);
        EXPECT_EQ(LongDoubleToExtended(v), Ext({1, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}));
        EXPECT_EQ(ExtendedToLongDouble(LongDoubleToExtended(v)), v);
        EXPECT_EQ(ExtendedToLongDouble(LongDoubleToExtended(LDBL_MAX)), LDBL_MAX);
    }
}

TEST_F(ComponentStreaming, ExactBytesOfASmallComponent) {
    TTestComponent c(nullptr);
    c.SetName("K");
    c.SetWidth(-2);
    c.height_ = 300;
    std::vector<uint8_t> expected = {
        'T', 'P', 'F', '0', 14,  'T', 'T', 'e',  's',  't',  'C', 'o', 'm', 'p',  'o',
        'n', 'e', 'n', 't', 1,   'K', 5,   'W',  'i',  'd',  't', 'h', 1,   0xFE,  // vaInt8 -2
        6,   'H', 'e', 'i', 'g', 'h', 't', 2,    0x2C, 0x01,                       // vaInt16 300
        9,   'S', 'u', 'b', '.', 'R', 'a', 't',  'i',  'o',  5,                    // vaExtended 0.5
        0,   0,   0,   0,   0,   0,   0,   0x80, 0xFE, 0x3F, 5,   'I', 't', 'e',  'm',
        's', 14,  0,  // an empty collection
        0,            // end of properties
        0};           // end of children
    std::vector<uint8_t> got = Bytes(&c);
    EXPECT_EQ(got, expected) << BytesToText(got);
}

TEST_F(ComponentStreaming, RoundTripKeepsEveryValueAndStructure) {
    auto form = MakeForm();
    std::vector<uint8_t> bytes = Bytes(form.get());
    form.reset();

    std::unique_ptr<TComponent> read = FromBytes(bytes);
    auto* f = dynamic_cast<TTestForm*>(read.get());
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Name(), "Form1");
    EXPECT_EQ(f->Width(), 336);
    EXPECT_EQ(f->height_, 157);
    EXPECT_EQ(f->caption_, "Gate 'one'\r\nline two \xC3\xA9");
    EXPECT_EQ(LongDoubleToExtended(f->scale_), LongDoubleToExtended(1.0L / 3.0L));
    EXPECT_EQ(f->styles_, (TTestStyles{TTestStyle::tsBold, TTestStyle::tsUnderline}));
    EXPECT_EQ(f->mode_, TTestMode::tmFast);
    EXPECT_FALSE(f->enabled_);
    EXPECT_EQ(f->letter_, 'Q');
    EXPECT_EQ(f->big_, -5000000000LL);
    EXPECT_EQ(f->Sub()->X(), -300);
    EXPECT_EQ(f->Sub()->data_, (std::vector<uint8_t>{0x0D, 0x00, 0x0D, 0x00, 0xFF}));
    EXPECT_EQ(f->Sub()->ratio_, 0.25);

    ASSERT_EQ(f->ComponentCount(), 4);  // all owned by the root
    auto* panel = dynamic_cast<TTestPanel*>(f->FindComponent("Panel1"));
    auto* knob = dynamic_cast<TTestComponent*>(f->FindComponent("Knob1"));
    auto* inner = dynamic_cast<TTestPanel*>(f->FindComponent("Inner"));
    auto* list = dynamic_cast<TTestComponent*>(f->FindComponent("List1"));
    ASSERT_TRUE(panel && knob && inner && list);
    EXPECT_EQ(inner->GetParentComponent(), panel);
    EXPECT_EQ(panel->GetParentComponent(), f);
    EXPECT_EQ(inner->Width(), 12);
    // references resolved after reading, forwards and to the root
    EXPECT_EQ(knob->Buddy(), list);
    EXPECT_EQ(inner->Buddy(), f);
    // the event found the root's published method
    knob->onChange_(knob);
    ASSERT_EQ(f->clicks_.size(), 1u);
    EXPECT_EQ(f->clicks_[0], knob);

    ASSERT_EQ(f->Items()->Count(), 2);
    EXPECT_EQ(f->Item(0)->width_, 13);
    EXPECT_EQ(f->Item(0)->label_, "Knob face");
    EXPECT_EQ(f->Item(0)->ref_, knob);
    EXPECT_EQ(f->Item(0)->note_, "from a template");
    EXPECT_EQ(f->Item(1)->width_, 5040);
    EXPECT_EQ(f->Item(1)->note_, "");

    // Loaded once each, after everything, root first then in reading order
    EXPECT_EQ(TestLog::Loaded(),
              (std::vector<std::string>{"Form1", "Knob1", "List1", "Panel1", "Inner"}));
    EXPECT_FALSE(f->IsLoading());
    EXPECT_FALSE(inner->IsLoading());
    // and writing again gives the same bytes
    EXPECT_EQ(Bytes(f), bytes);
}

TEST_F(ComponentStreaming, DefaultsAndEmptyValuesAreNotWritten) {
    TTestComponent c(nullptr);
    std::string text = ComponentToText(&c);
    EXPECT_EQ(text,
              "object TTestComponent\n"
              "  Height = 0\n"
              "  Sub.Ratio = 0.5\n"
              "  Items = <>\n"
              "end\n");
    c.SetWidth(1);
    c.scale_ = 50;
    c.mode_ = TTestMode::tmOff;
    c.enabled_ = true;
    text = ComponentToText(&c);
    EXPECT_NE(text.find("Width = 1\n"), std::string::npos);
    EXPECT_NE(text.find("Scale = 50.0\n"), std::string::npos);
    EXPECT_NE(text.find("Mode = tmOff\n"), std::string::npos);
    EXPECT_EQ(text.find("Enabled"), std::string::npos);
}

TEST_F(ComponentStreaming, TextFormReadsAsDocumented) {
    auto form = MakeForm();
    std::string text = ComponentToText(form.get());
    EXPECT_EQ(text,
              "object Form1: TTestForm\n"
              "  Width = 336\n"
              "  Height = 157\n"
              "  Enabled = False\n"
              "  Letter = 'Q'\n"
              "  Mode = tmFast\n"
              "  Styles = [tsBold, tsUnderline]\n"
              "  Scale = 0.33333333333333333334\n"
              "  Caption = 'Gate ''one'''#13#10'line two \xC3\xA9'\n"
              "  Big = -5000000000\n"
              "  Sub.X = -300\n"
              "  Sub.Ratio = 0.25\n"
              "  Sub.Data = {\n"
              "    0D000D00FF}\n"
              "  Items = <\n"
              "    item\n"
              "      Width = 13\n"
              "      Label = 'Knob face'\n"
              "      Ref = Knob1\n"
              "      Note = 'from a template'\n"
              "    end\n"
              "    item\n"
              "      Width = 5040\n"
              "    end>\n"
              "  object Knob1: TTestComponent\n"
              "    Height = 0\n"
              "    Sub.Ratio = 0.5\n"
              "    Items = <>\n"
              "    Buddy = List1\n"
              "    OnChange = ButtonClick\n"
              "  end\n"
              "  object List1: TTestComponent\n"
              "    Height = 0\n"
              "    Sub.Ratio = 0.5\n"
              "    Items = <>\n"
              "  end\n"
              "  object Panel1: TTestPanel\n"
              "    Height = 0\n"
              "    Sub.Ratio = 0.5\n"
              "    Items = <>\n"
              "    object Inner: TTestPanel\n"
              "      Width = 12\n"
              "      Height = 0\n"
              "      Sub.Ratio = 0.5\n"
              "      Items = <>\n"
              "      Buddy = Owner\n"
              "    end\n"
              "  end\n"
              "end\n");
}

TEST_F(ComponentStreaming, TextAndBinaryConvertLosslessly) {
    auto form = MakeForm();
    form->scale_ = std::nanl("");  // no decimal form: kept as raw bytes
    std::vector<uint8_t> bytes = Bytes(form.get());
    std::string text = BytesToText(bytes);
    EXPECT_NE(text.find("Scale = %7FFFC000000000000000\n"), std::string::npos);
    EXPECT_EQ(TextToBytes(text), bytes);
    // and the text reads back into a component directly
    auto copy = ComponentFromText(text);
    EXPECT_EQ(Bytes(copy.get()), bytes);

    // hand-written text: hex integers, '+' joined strings, lists
    std::string hand =
        "object X: TTestComponent\n"
        "  Width = $10\n"
        "  Caption = 'a' +\n"
        "    'b'#33\n"
        "  Items = <>\n"
        "  Sub.Data = {}\n"
        "end";
    auto c = ComponentFromText(hand);
    auto* t = static_cast<TTestComponent*>(c.get());
    EXPECT_EQ(t->Width(), 16);
    EXPECT_EQ(t->caption_, "ab!");
    EXPECT_EQ(t->Items()->Count(), 0);
}

// A host may set the C runtime's locale to the user's, whose decimal point
// may be a comma: the text form keeps its own and still reads every bit.
TEST_F(ComponentStreaming, TextFormNumbersIgnoreTheUsersLocale) {
    std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    const bool comma =
        std::setlocale(LC_NUMERIC, "German") || std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    if (!comma) GTEST_SKIP() << "no locale with a decimal comma here";
    auto form = MakeForm();
    form->scale_ = 1.0L / 3.0L;
    const std::vector<uint8_t> bytes = Bytes(form.get());
    const std::string text = BytesToText(bytes);
    const bool decimal = text.find("Scale = 0.33333333333333333334\n") != std::string::npos;
    const std::vector<uint8_t> back = TextToBytes(text);
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_TRUE(decimal) << text;
    EXPECT_EQ(back, bytes);
}

TEST_F(ComponentStreaming, ReadingIntoAnExistingRoot) {
    auto source = MakeForm();
    std::vector<uint8_t> bytes = Bytes(source.get());
    source.reset();
    TTestForm target(nullptr);
    TMemoryStream s(bytes.data(), bytes.size());
    EXPECT_EQ(ReadComponentFromStream(s, &target), &target);
    EXPECT_EQ(target.Name(), "Form1");
    EXPECT_EQ(target.ComponentCount(), 4);
    EXPECT_EQ(target.loadedCalls_, 1);

    // a root of an unrelated class is refused
    TTestComponent plain(nullptr);
    TMemoryStream again(bytes.data(), bytes.size());
    EXPECT_THROW(ReadComponentFromStream(again, &plain), EReadError);
    EXPECT_EQ(plain.ComponentCount(), 0);
}

TEST_F(ComponentStreaming, EmbeddedStreamsWithLeadingValues) {
    // a class name as a string value, then a component as a root
    TMemoryStream s;
    TTestComponent feature(nullptr);
    feature.SetWidth(9);
    {
        TWriter w(s);
        w.WriteString("TTestComponent");
        w.WriteRootComponent(&feature);
    }
    s.SetPosition(0);
    TReader r(s);
    EXPECT_EQ(r.ReadString(), "TTestComponent");
    TTestComponent target(nullptr);
    r.ReadRootComponent(&target);
    EXPECT_EQ(target.Width(), 9);
}

void ExpectReadError(const std::vector<uint8_t>& bytes, const std::string& message) {
    try {
        FromBytes(bytes);
        ADD_FAILURE() << "no error, expected " << message;
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), message);
    }
}

void ExpectTextReadError(const std::string& text, const std::string& message) {
    try {
        ComponentFromText(text);
        ADD_FAILURE() << "no error, expected " << message;
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), message);
    }
}

TEST_F(ComponentStreaming, EveryTruncationFailsCleanly) {
    auto form = MakeForm();
    std::vector<uint8_t> bytes = Bytes(form.get());
    form.reset();
    for (size_t n = 0; n < bytes.size(); ++n) {
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(n));
        EXPECT_THROW(FromBytes(cut), Exception) << "cut at " << n;
        ASSERT_EQ(TestLog::Live(), live_) << "cut at " << n;
    }
    // and the same into an existing root: it survives, nothing else does
    TTestForm target(nullptr);
    std::vector<uint8_t> cut(bytes.begin(), bytes.end() - 3);
    TMemoryStream s(cut.data(), cut.size());
    EXPECT_THROW(ReadComponentFromStream(s, &target), EReadError);
    EXPECT_EQ(target.ComponentCount(), 0);
    EXPECT_FALSE(target.IsLoading());
}

TEST_F(ComponentStreaming, MalformedStreamsGiveClearErrors) {
    ExpectReadError({'T', 'P', 'F', '1'}, "Invalid stream format");
    ExpectReadError({}, "Stream read error");
    auto withProps = [](std::initializer_list<uint8_t> props) {
        std::vector<uint8_t> b = {'T', 'P', 'F', '0', 14,  'T', 'T', 'e', 's', 't', 'C',
                                  'o', 'm', 'p', 'o', 'n', 'e', 'n', 't', 1,   'K'};
        b.insert(b.end(), props);
        b.push_back(0);
        b.push_back(0);
        return b;
    };
    ExpectReadError(withProps({5, 'D', 'e', 'p', 't', 'h', 1, 0}),
                    "Error reading K.Depth: Property Depth does not exist");
    ExpectReadError(withProps({5, 'W', 'i', 'd', 't', 'h', 6, 1, 0, 0, 0, 'x'}),
                    "Error reading K.Width: Invalid property value");
    ExpectReadError(withProps({6, 'H', 'e', 'i', 'g', 'h', 't', 3, 0, 0, 1, 0}),  // 65536
                    "Error reading K.Height: Invalid property value");
    ExpectReadError(withProps({4, 'M', 'o', 'd', 'e', 7, 2, 'x', 'y'}),
                    "Error reading K.Mode: Invalid property value");
    ExpectReadError(withProps({5, 'W', 'i', 'd', 't', 'h', 99}),
                    "Invalid stream format: unknown value type 99");
    ExpectReadError(withProps({7, 'C', 'a', 'p', 't', 'i', 'o', 'n', 6, 0xFF, 0xFF, 0xFF, 0x7F}),
                    "Stream read error");
    ExpectReadError(withProps({5, 'B', 'u', 'd', 'd', 'y', 7, 4, 'N', 'o', 'n', 'e'}),
                    "Error reading K.Buddy: Component 'None' not found");
    ExpectReadError(withProps({8, 'O', 'n', 'C', 'h', 'a', 'n', 'g', 'e', 7, 1, 'Z'}),
                    "Error reading K.OnChange: Method 'Z' not found");
    ExpectReadError(withProps({5, 'I', 't', 'e', 'm', 's', 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
                    "Error reading K.Items: Property Items is read-only");
    ExpectReadError(withProps({5, 'S', 'u', 'b', '.', 'Q', 1, 0}),
                    "Error reading K.Sub.Q: Property Sub.Q does not exist");
    ExpectReadError(withProps({6, 'B', 'u', 'd', 'd', 'y', '.', 1, 0}),
                    "Error reading K.Buddy.: Property Buddy. does not exist");

    ExpectTextReadError("object A: TNoSuchClass\nend\n", "Class TNoSuchClass not found");
    ExpectTextReadError(
        "object A: TTestForm\n  object B: TTestComponent\n  end\n  object b: TTestComponent\n  "
        "end\nend\n",
        "A component named b already exists");
    // a reference to a component of the wrong class
    RegisterClass(TComponent::StaticClass());
    ExpectTextReadError(
        "object A: TTestForm\n  Items = <\n    item\n      Ref = C\n    end>\n  object C: "
        "TComponent\n  end\nend\n",
        "Error reading A.Items[0].Ref: Invalid property value");
}

TEST_F(ComponentStreaming, WrongClassReferencesAndSignaturesAreRefused) {
    ExpectTextReadError("object A: TTestForm\n  OnChange = WrongShape\nend\n",
                        "Error reading A.OnChange: Method WrongShape has incompatible parameters");
    ExpectTextReadError(
        "object A: TTestForm\n  Items = <\n    item\n      Ref = B.Sub\n    end>\nend\n",
        "Error reading A.Items[0].Ref: Component 'B.Sub' not found");
}

TEST_F(ComponentStreaming, ACollectionReadTwiceKeepsOnlyTheLastItems) {
    // the first items are freed by the second read; their pending
    // references must go with them
    auto c = ComponentFromText(
        "object A: TTestForm\n"
        "  Items = <\n    item\n      Ref = B\n    end\n    item\n      Ref = B\n    end>\n"
        "  Items = <\n    item\n      Width = 4\n    end>\n"
        "  object B: TTestComponent\n  end\n"
        "end\n");
    auto* f = static_cast<TTestForm*>(c.get());
    ASSERT_EQ(f->Items()->Count(), 1);
    EXPECT_EQ(f->Item(0)->width_, 4);
    EXPECT_EQ(f->Item(0)->ref_, nullptr);
}

TEST_F(ComponentStreaming, WritingACycleFailsInsteadOfRecursing) {
    TTestForm form(nullptr);
    auto* panel = new TTestPanel(&form);
    panel->SetName("P");
    panel->SetParentComponent(&form);
    panel->kids_.push_back(panel);  // a broken tree: the panel contains itself
    TMemoryStream s;
    EXPECT_THROW(WriteComponentToStream(s, &form), EWriteError);
    panel->kids_.clear();
}

TEST_F(ComponentStreaming, ReadRootComponentNeedsARoot) {
    auto form = MakeForm();
    std::vector<uint8_t> bytes = Bytes(form.get());
    TMemoryStream s(bytes.data(), bytes.size());
    TReader r(s);
    EXPECT_THROW(r.ReadRootComponent(nullptr), EInvalidOperation);
}

TEST_F(ComponentStreaming, TextSyntaxErrorsNameTheLine) {
    ExpectTextReadError("object A: TTestComponent\n  Width = \nend\n", "Value expected on line 3");
    ExpectTextReadError("object A: TTestComponent\n  Caption = 'open\nend\n",
                        "Unterminated string on line 2");
    ExpectTextReadError("object A: TTestComponent\n  Sub.Data = {0D0}\nend\n",
                        "Invalid binary value on line 2");
    ExpectTextReadError("object A: TTestComponent\nend\nend\n",
                        "Text after the final end on line 3");
    ExpectTextReadError("thing A: TTestComponent\nend\n", "'object' expected on line 1");
    ExpectTextReadError("object A: TTestComponent\n  Width = 99999999999999999999\nend\n",
                        "Invalid integer on line 2");
}

TEST_F(ComponentStreaming, DeepNestingIsRefused) {
    std::string text;
    for (int i = 0; i < 100; ++i) text += "object P" + std::to_string(i) + ": TTestPanel\n";
    for (int i = 0; i < 100; ++i) text += "end\n";
    EXPECT_THROW(ComponentFromText(text), EParserError);
    std::vector<uint8_t> bin = {'T', 'P', 'F', '0', 10,  'T', 'T', 'e', 's',
                                't', 'P', 'a', 'n', 'e', 'l', 0,   0};
    for (int i = 0; i < 100; ++i) {
        bin.insert(bin.end(), {10, 'T', 'T', 'e', 's', 't', 'P', 'a', 'n', 'e', 'l', 0, 0});
    }
    EXPECT_THROW(FromBytes(bin), EReadError);
}

}  // namespace
