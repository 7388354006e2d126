#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "dib/cDIBImageList.h"
#include "objects/Streaming.h"
#include "objects/TextForm.h"
#include "support/DibSamples.h"

namespace {

// A component holding one link as a sub-property, as a control does.
class TLinkHolder : public TComponent {
    TW_CLASS(TLinkHolder, TComponent)

public:
    explicit TLinkHolder(TComponent* owner)
        : TComponent(owner), IndexMain_(std::make_unique<TDIBImageLink>(this)) {
        IndexMain_->SetOnImageChanged([this](TDIBImageLink*, int i, bool c) {
            calls.push_back({i, c});
        });
    }
    TDIBImageLink* IndexMain() const { return IndexMain_.get(); }
    std::vector<std::pair<int, bool>> calls;

private:
    std::unique_ptr<TDIBImageLink> IndexMain_;
};

TW_IMPLEMENT_CLASS(TLinkHolder) { b.Property("IndexMain", &TLinkHolder::IndexMain); }

class TTestForm : public TComponent {
    TW_CLASS(TTestForm, TComponent)

public:
    using TComponent::TComponent;
};

TW_IMPLEMENT_CLASS(TTestForm) {}

struct Registered {
    Registered() {
        RegisterClasses(
            {TTestForm::StaticClass(), TLinkHolder::StaticClass(), TDIBImageList::StaticClass()});
    }
} registered;

// A 24-bit BMP file of w x 1 pixels, all of colour (r, g, b).
void writeBmp(const std::string& path, int w, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    const int row = (w * 3 + 3) & ~3;
    std::vector<std::uint8_t> f(54 + row, 0);
    auto put = [&](int at, std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i) f[at + i] = std::uint8_t(v >> (8 * i));
    };
    f[0] = 'B';
    f[1] = 'M';
    put(2, std::uint32_t(f.size()), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, std::uint32_t(w), 4);
    put(22, 1, 4);
    put(26, 1, 2);
    put(28, 24, 2);
    put(34, std::uint32_t(row), 4);
    for (int x = 0; x < w; ++x) {
        f[54 + x * 3] = b;
        f[55 + x * 3] = g;
        f[56 + x * 3] = r;
    }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(f.data()), std::streamsize(f.size()));
}

std::string tempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() /
            ("tarnwick_imagelist_" + std::to_string(::getpid()) + "_" + name))
        .string();
}

}  // namespace

TEST(ImageListStream, RoundTripKeepsItemsLinksAndPixels) {
    auto form = std::make_unique<TTestForm>(nullptr);
    form->SetName("Form1");
    auto* list = new TDIBImageList(form.get());
    list->SetName("DIBImageList1");
    auto* holder = new TLinkHolder(form.get());
    holder->SetName("Holder1");

    TDIBImagesItem* a = list->DIBImages()->Add();
    a->SetDisplayName("Knob");
    a->DIB()->SetSize(3, 2);
    for (int i = 0; i < 6; ++i)
        a->DIB()->Bits()[i] =
            TDIBPixel{std::uint8_t(i), std::uint8_t(10 * i), 200, std::uint8_t(255 - i)};
    a->DIB()->SetMasked(true);
    a->DIB()->SetOpacity(100);
    TDIBImagesItem* b = list->DIBImages()->Add();
    b->SetTemplateFilename("{00000000-0000-0000-0000-000000000001}:1");
    TDIBImagesItem* c = list->DIBImages()->Add();
    c->SetImageRetrieval(irLoadOnDemand);
    c->StoredDIB()->SetImageFilename("/no/such/folder/knob.bmp");
    holder->IndexMain()->SetDIBIndex(1);
    holder->IndexMain()->SetDIBImageList(list);

    // Writing does not try to load the missing file of the on-demand item.
    const std::string text = ComponentToText(form.get());
    EXPECT_NE(text.find("IndexMain.DIBImageList = DIBImageList1"), std::string::npos) << text;
    EXPECT_NE(text.find("IndexMain.DIBIndex = 1"), std::string::npos) << text;
    EXPECT_NE(text.find("ImageRetrieval = irLoadOnDemand"), std::string::npos) << text;
    EXPECT_EQ(text.find("irInternal"), std::string::npos) << text;  // the default is not written
    EXPECT_NE(text.find("TemplateFilename = '{00000000-0000-0000-0000-000000000001}:1'"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("knob.bmp"), text.rfind("knob.bmp"));  // once, as a file name only
    const std::vector<std::uint8_t> bytes = ComponentToBytes(form.get());

    auto back = std::make_unique<TTestForm>(nullptr);
    TMemoryStream s(bytes.data(), bytes.size());
    ReadComponentFromStream(s, back.get());
    auto* list2 = dynamic_cast<TDIBImageList*>(back->FindComponent("DIBImageList1"));
    auto* holder2 = dynamic_cast<TLinkHolder*>(back->FindComponent("Holder1"));
    ASSERT_TRUE(list2 && holder2);
    ASSERT_EQ(list2->DIBImages()->Count(), 3);

    TDIBImagesItem* a2 = list2->DIBImages()->Items(0);
    EXPECT_EQ(a2->DisplayName(), "Knob");
    ASSERT_EQ(a2->DIB()->Width(), 3);
    ASSERT_EQ(a2->DIB()->Height(), 2);
    EXPECT_TRUE(a2->DIB()->Masked());
    EXPECT_EQ(a2->DIB()->Opacity(), 100);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(a2->DIB()->Bits()[i].Green, 10 * i);
        EXPECT_EQ(a2->DIB()->Bits()[i].Mask, 255 - i);
    }
    EXPECT_EQ(list2->DIBImages()->Items(1)->TemplateFilename(),
              "{00000000-0000-0000-0000-000000000001}:1");
    TDIBImagesItem* c2 = list2->DIBImages()->Items(2);
    EXPECT_EQ(c2->ImageRetrieval(), irLoadOnDemand);
    EXPECT_EQ(c2->StoredDIB()->ImageFilename(), "/no/such/folder/knob.bmp");
    EXPECT_FALSE(c2->Retrieved());

    EXPECT_EQ(holder2->IndexMain()->DIBImageList(), list2);
    EXPECT_EQ(holder2->IndexMain()->DIBIndex(), 1);
    EXPECT_EQ(list2->Links().size(), 1u);
    ASSERT_FALSE(holder2->calls.empty());
    EXPECT_EQ(holder2->calls.back(), (std::pair<int, bool>{1, true}));

    // Text written from the copy is the text of the original.
    EXPECT_EQ(ComponentToText(back.get()), text);
}

TEST(ImageListStream, PicturesComeFromFilesOnStartAndOnDemand) {
    const std::string onStart = tempPath("start.bmp"), onDemand = tempPath("demand.bmp");
    writeBmp(onStart, 4, 255, 0, 0);
    std::remove(onDemand.c_str());

    auto form = std::make_unique<TTestForm>(nullptr);
    form->SetName("Form1");
    auto* list = new TDIBImageList(form.get());
    list->SetName("Images");
    TDIBImagesItem* s = list->DIBImages()->Add();
    s->SetImageRetrieval(irLoadOnStart);
    s->StoredDIB()->SetImageFilename(onStart);
    TDIBImagesItem* d = list->DIBImages()->Add();
    d->SetImageRetrieval(irLoadOnDemand);
    d->StoredDIB()->SetImageFilename(onDemand);
    const std::vector<std::uint8_t> bytes = ComponentToBytes(form.get());

    auto back = std::make_unique<TTestForm>(nullptr);
    TMemoryStream in(bytes.data(), bytes.size());
    ReadComponentFromStream(in, back.get());
    auto* list2 = dynamic_cast<TDIBImageList*>(back->FindComponent("Images"));
    ASSERT_TRUE(list2);
    TDIBImagesItem* s2 = list2->DIBImages()->Items(0);
    TDIBImagesItem* d2 = list2->DIBImages()->Items(1);
    // Loaded fetched the on-start picture.
    EXPECT_TRUE(s2->Retrieved());
    EXPECT_EQ(s2->StoredDIB()->Width(), 4);
    EXPECT_EQ(s2->StoredDIB()->Bits()[0].Red, 255);
    EXPECT_EQ(s2->StoredDIB()->Bits()[0].Mask, 255);
    EXPECT_FALSE(d2->Retrieved());

    // On demand: the missing file fails on use and leaves the item unretrieved...
    TDIBImageLink link;
    int calls = 0;
    link.SetOnImageChanged([&](TDIBImageLink*, int, bool) { ++calls; });
    link.SetDIBIndex(1);
    link.SetDIBImageList(list2);
    calls = 0;
    TMemoryDIB* dib = nullptr;
    EXPECT_ANY_THROW(link.GetImage(dib));
    EXPECT_FALSE(d2->Retrieved());
    // ...and the next use tries again; the folder goes through the translation.
    writeBmp(onDemand, 2, 0, 0, 255);
    std::string asked;
    d2->SetOnTranslateImagePath([&](TObject*, std::string& dir) { asked = dir; });
    calls = 0;
    ASSERT_TRUE(link.GetImage(dib));
    EXPECT_TRUE(d2->Retrieved());
    const std::string folder = std::filesystem::path(onDemand).parent_path().string();
    EXPECT_EQ(asked, onDemand.substr(0, folder.size() + 1));
    EXPECT_EQ(dib->Width(), 2);
    EXPECT_EQ(dib->Bits()[1].Blue, 255);
    EXPECT_EQ(calls, 1);  // one change event for the whole import
    link.SetDIBImageList(nullptr);
    std::remove(onStart.c_str());
    std::remove(onDemand.c_str());
}

// An on-demand item keeps no pixels in the form, only its size: read back, it
// shows transparent black until its picture is retrieved, and the form written
// again is the same bytes every time (TransparentColor reads its corner).
TEST(ImageListStream, OnDemandItemsReadBackBlankAndWriteTheSameBytes) {
    auto form = std::make_unique<TTestForm>(nullptr);
    form->SetName("Form1");
    auto* list = new TDIBImageList(form.get());
    list->SetName("Images");
    TDIBImagesItem* item = list->DIBImages()->Add();
    item->SetImageRetrieval(irLoadOnDemand);
    item->StoredDIB()->SetImageFilename("/no/such/folder/meter.bmp");
    item->StoredDIB()->SetSize(5, 3);
    const std::vector<std::uint8_t> bytes = ComponentToBytes(form.get());

    for (int run = 0; run < 3; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        auto back = std::make_unique<TTestForm>(nullptr);
        tarnwick::test::DirtyHeap(5 * 3 * sizeof(TDIBPixel));
        TMemoryStream in(bytes.data(), bytes.size());
        ReadComponentFromStream(in, back.get());
        auto* list2 = dynamic_cast<TDIBImageList*>(back->FindComponent("Images"));
        ASSERT_TRUE(list2);
        TMemoryDIB* dib = list2->DIBImages()->Items(0)->StoredDIB();
        ASSERT_EQ(dib->PixelCount(), 15u);
        for (std::size_t i = 0; i < dib->PixelCount(); ++i)
            EXPECT_EQ(PixelWord(dib->Bits()[i]), 0u) << i;
        EXPECT_EQ(ComponentToBytes(back.get()), bytes);
    }
}
