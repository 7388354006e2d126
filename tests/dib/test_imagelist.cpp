#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dib/cDIBImageList.h"

namespace {

struct Call {
    int Index;
    bool Changed;
    bool operator==(const Call&) const = default;
};

// A link whose handler records its calls.
struct Watched {
    explicit Watched(TComponent* owner = nullptr) : link(owner) {
        link.SetOnImageChanged([this](TDIBImageLink*, int i, bool c) { calls.push_back({i, c}); });
    }
    TDIBImageLink link;
    std::vector<Call> calls;
};

std::unique_ptr<TDIBImageList> listOf(int n) {
    auto list = std::make_unique<TDIBImageList>(nullptr);
    for (int i = 0; i < n; ++i) {
        TDIBImagesItem* item = list->DIBImages()->Add();
        // Item i is (i + 1) pixels wide, so pictures can be told apart.
        item->StoredDIB()->SetSize(i + 1, 1);
    }
    return list;
}

}  // namespace

TEST(ImageLink, NewLinkShowsNothing) {
    TDIBImageLink link;
    EXPECT_EQ(link.DIBIndex(), -1);
    EXPECT_EQ(link.DIBImageList(), nullptr);
    TMemoryDIB* dib = nullptr;
    EXPECT_FALSE(link.GetImage(dib));
    EXPECT_FALSE(link.IsValid());

    auto list = listOf(3);
    link.SetDIBImageList(list.get());
    EXPECT_FALSE(link.GetImage(dib));  // -1
    link.SetDIBIndex(3);
    EXPECT_FALSE(link.GetImage(dib));  // beyond the list
    EXPECT_FALSE(link.IsValid());
    link.SetDIBIndex(2);
    EXPECT_TRUE(link.IsValid());
    ASSERT_TRUE(link.GetImage(dib));
    EXPECT_EQ(dib, list->SharedView());
    EXPECT_EQ(dib->Width(), 3);
    link.SetDIBImageList(nullptr);
}

TEST(ImageLink, SettingTheIndexCallsTheHandlerOnlyOnChange) {
    Watched w;
    w.link.SetDIBIndex(-1);
    EXPECT_TRUE(w.calls.empty());
    w.link.SetDIBIndex(7);  // no list needed
    EXPECT_EQ(w.calls, (std::vector<Call>{{7, true}}));
    w.link.SetDIBIndex(7);
    EXPECT_EQ(w.calls.size(), 1u);
}

TEST(ImageLink, RegisteringCallsTheHandlerForItsOwnIndexOnce) {
    auto list = listOf(10);
    Watched w;
    w.link.SetDIBIndex(4);
    w.calls.clear();
    w.link.SetDIBImageList(list.get());
    EXPECT_EQ(w.calls, (std::vector<Call>{{4, true}}));
    // Registering again adds no duplicate.
    list->RegisterLink(&w.link);
    EXPECT_EQ(list->Links().size(), 1u);
    w.link.SetDIBImageList(nullptr);
    EXPECT_TRUE(list->Links().empty());
}

TEST(ImageLink, DeletingAnItemRenumbersAndReleasesLinks) {
    auto list = listOf(10);
    Watched on1, on2, on5;
    on1.link.SetDIBIndex(1);
    on2.link.SetDIBIndex(2);
    on5.link.SetDIBIndex(5);
    for (Watched* w : {&on1, &on2, &on5}) {
        w->link.SetDIBImageList(list.get());
        w->calls.clear();
    }
    int countSeenByHandler = -1;
    on2.link.SetOnImageChanged([&](TDIBImageLink*, int i, bool c) {
        on2.calls.push_back({i, c});
        countSeenByHandler = list->DIBImages()->Count();
    });

    list->DIBImages()->Delete(2);
    EXPECT_EQ(on5.link.DIBIndex(), 4);
    EXPECT_TRUE(on5.calls.empty());
    EXPECT_EQ(on2.link.DIBIndex(), -1);
    EXPECT_EQ(on2.calls, (std::vector<Call>{{2, false}}));
    EXPECT_EQ(countSeenByHandler, 9);  // the item is gone when the links hear of it
    EXPECT_EQ(on1.link.DIBIndex(), 1);
    EXPECT_TRUE(on1.calls.empty());

    // The link that moved down now shows what it showed before (6 pixels wide).
    TMemoryDIB* dib = nullptr;
    ASSERT_TRUE(on5.link.GetImage(dib));
    EXPECT_EQ(dib->Width(), 6);
    for (Watched* w : {&on1, &on2, &on5}) w->link.SetDIBImageList(nullptr);
}

TEST(ImageLink, MovingAnItemRenumbersTheLinksBetween) {
    auto list = listOf(5);
    std::vector<std::unique_ptr<Watched>> links;
    for (int i = 0; i < 5; ++i) {
        links.push_back(std::make_unique<Watched>());
        links[i]->link.SetDIBIndex(i);
        links[i]->link.SetDIBImageList(list.get());
    }
    list->DIBImages()->Items(0)->SetIndex(3);
    std::vector<int> got;
    for (auto& w : links) got.push_back(w->link.DIBIndex());
    EXPECT_EQ(got, (std::vector<int>{3, 0, 1, 2, 4}));
    // Every link still shows its own picture.
    for (int i = 0; i < 5; ++i) {
        TMemoryDIB* dib = nullptr;
        ASSERT_TRUE(links[i]->link.GetImage(dib));
        EXPECT_EQ(dib->Width(), i + 1);
    }

    list->DIBImages()->Items(3)->SetIndex(0);  // and back
    got.clear();
    for (auto& w : links) got.push_back(w->link.DIBIndex());
    EXPECT_EQ(got, (std::vector<int>{0, 1, 2, 3, 4}));
    for (auto& w : links) w->link.SetDIBImageList(nullptr);
}

// Handlers run while the list renumbers or registers; one that frees a link
// (another one, or its own) must not have that link called afterwards.
TEST(ImageLink, HandlersMayFreeLinksWhileTheListCallsThem) {
    auto list = listOf(4);
    Watched first, second;
    first.link.SetDIBIndex(0);
    second.link.SetDIBIndex(1);
    first.link.SetDIBImageList(list.get());
    second.link.SetDIBImageList(list.get());
    auto* last = new TDIBImageLink;
    int lastCalls = 0;
    last->SetDIBIndex(3);
    last->SetOnImageChanged([&](TDIBImageLink*, int, bool) { ++lastCalls; });
    last->SetDIBImageList(list.get());
    lastCalls = 0;
    first.link.SetOnImageChanged([&](TDIBImageLink*, int, bool) {
        delete last;
        last = nullptr;
    });
    list->DIBImages()->Items(0)->SetIndex(3);  // the first link moves to 3 and frees the last
    EXPECT_EQ(last, nullptr);
    EXPECT_EQ(lastCalls, 0);
    EXPECT_EQ(first.link.DIBIndex(), 3);
    EXPECT_EQ(second.link.DIBIndex(), 0);
    EXPECT_EQ(list->Links().size(), 2u);

    auto* self = new TDIBImageLink;
    int selfCalls = 0;
    self->SetDIBIndex(0);
    self->SetOnImageChanged([&selfCalls](TDIBImageLink* sender, int, bool) {
        ++selfCalls;
        delete sender;
    });
    self->SetDIBImageList(list.get());  // called for index 0, gone before index 1
    EXPECT_EQ(selfCalls, 1);
    EXPECT_EQ(list->Links().size(), 2u);
    first.link.SetDIBImageList(nullptr);
    second.link.SetDIBImageList(nullptr);
}

TEST(ImageList, ChangesReachOnlyTheLinksOnThatPicture) {
    auto list = listOf(3);
    Watched a, b;
    a.link.SetDIBIndex(0);
    b.link.SetDIBIndex(1);
    a.link.SetDIBImageList(list.get());
    b.link.SetDIBImageList(list.get());
    a.calls.clear();
    b.calls.clear();
    list->DIBImages()->Items(1)->DIB()->Fill(0xFFFFFF);
    EXPECT_TRUE(a.calls.empty());
    EXPECT_EQ(b.calls, (std::vector<Call>{{1, true}}));
    // A link whose owner is being destroyed is left alone.
    auto owner = std::make_unique<TComponent>(nullptr);
    Watched c(owner.get());
    c.link.SetDIBIndex(1);
    c.link.SetDIBImageList(list.get());
    c.calls.clear();
    owner->Destroying();
    list->DIBImages()->Items(1)->DIB()->Fill(0);
    EXPECT_TRUE(c.calls.empty());
    for (Watched* w : {&a, &b, &c}) w->link.SetDIBImageList(nullptr);
}

TEST(ImageList, SharedViewIsOneObjectRepointed) {
    auto list = listOf(2);
    list->DIBImages()->Items(1)->DIB()->SetOpacity(77);
    TMemoryDIB* first = list->GetDIB(0);
    EXPECT_EQ(first->Width(), 1);
    TMemoryDIB* second = list->GetDIB(1);
    EXPECT_EQ(first, second);
    EXPECT_EQ(second->Width(), 2);
    EXPECT_EQ(second->Opacity(), 77);
    EXPECT_EQ(second->Bits(), list->DIBImages()->Items(1)->StoredDIB()->Bits());
    EXPECT_FALSE(second->OwnsBits());
}

TEST(ImageList, DestroyingTheListReleasesItsLinks) {
    auto list = listOf(2);
    Watched a, b;
    a.link.SetDIBImageList(list.get());
    b.link.SetDIBImageList(list.get());
    a.link.SetDIBIndex(1);
    list.reset();
    EXPECT_EQ(a.link.DIBImageList(), nullptr);
    EXPECT_EQ(b.link.DIBImageList(), nullptr);
    EXPECT_EQ(a.link.DIBIndex(), 1);
    TMemoryDIB* dib = nullptr;
    EXPECT_FALSE(a.link.GetImage(dib));
}

TEST(ImageList, LinkAssignCopiesIndexThenList) {
    auto list = listOf(4);
    TDIBImageLink src;
    src.SetDIBIndex(3);
    src.SetDIBImageList(list.get());
    Watched dst;
    dst.link.Assign(&src);
    EXPECT_EQ(dst.link.DIBIndex(), 3);
    EXPECT_EQ(dst.link.DIBImageList(), list.get());
    // Index first, then registration: the handler hears of index 3 twice.
    EXPECT_EQ(dst.calls, (std::vector<Call>{{3, true}, {3, true}}));
    TDIBImagesItem* notALink = list->DIBImages()->Items(0);
    EXPECT_THROW(src.AssignTo(notALink), EConvertError);
    src.SetDIBImageList(nullptr);
    dst.link.SetDIBImageList(nullptr);
}

TEST(ImageList, FindOrAddTemplateKeysByTemplateAndNumber) {
    auto list = listOf(1);
    const std::string g = "{8A2F0C6E-1B3D-4E5F-9A7B-0C1D2E3F4A5B}";
    TDIBImagesItem* a = list->DIBImages()->FindOrAddTemplate(g, 2);
    EXPECT_EQ(a->TemplateFilename(), g + ":2");
    EXPECT_EQ(list->DIBImages()->Count(), 2);
    EXPECT_EQ(list->DIBImages()->FindOrAddTemplate(g, 2), a);
    EXPECT_EQ(list->DIBImages()->Count(), 2);
    std::string lower = g;
    for (char& ch : lower) ch = char(std::tolower(ch));
    EXPECT_NE(list->DIBImages()->FindOrAddTemplate(lower, 2), a);  // case-sensitive
    EXPECT_NE(list->DIBImages()->FindOrAddTemplate(g, 12), a);
    EXPECT_EQ(list->DIBImages()->Count(), 4);
}

TEST(ImageItem, DefaultsAndRetrievalSettings) {
    auto list = listOf(1);
    TDIBImagesItem* item = list->DIBImages()->Items(0);
    EXPECT_EQ(item->DisplayName(), "TDIBImagesItem");
    EXPECT_EQ(item->ImageRetrieval(), irInternal);
    EXPECT_TRUE(item->StoredDIB()->StoreData());
    item->SetImageRetrieval(irLoadOnDemand);
    EXPECT_FALSE(item->StoredDIB()->StoreData());
    item->SetImageRetrieval(irInternal);
    EXPECT_TRUE(item->StoredDIB()->StoreData());

    TDIBImagesItem* fresh = list->DIBImages()->Add();
    EXPECT_EQ(fresh->StoredDIB()->Width(), 1);
    EXPECT_EQ(fresh->StoredDIB()->Bits()[0].Mask, 0);
    EXPECT_FALSE(fresh->Retrieved());
    fresh->DIB();
    EXPECT_TRUE(fresh->Retrieved());  // internal pixels count as retrieved
}

TEST(ImageItem, OnDemandWithoutFileNeverRetrieves) {
    auto list = listOf(1);
    TDIBImagesItem* item = list->DIBImages()->Items(0);
    item->SetImageRetrieval(irLoadOnDemand);
    item->StoredDIB()->SetSize(5, 4);
    item->StoredDIB()->Fill(0x0000FF);
    for (int i = 0; i < 3; ++i) {
        TMemoryDIB* d = item->DIB();
        EXPECT_EQ(d->Width(), 5);
        EXPECT_EQ(d->Bits()[0].Red, 0xFF);
    }
    EXPECT_FALSE(item->Retrieved());
}

TEST(ImageItem, PathTranslationReplacesTheFolder) {
    // A folder without a closing separator gets the system's own.
#ifdef _WIN32
    const std::string skins = "/opt/skins\\";
#else
    const std::string skins = "/opt/skins/";
#endif
    auto list = listOf(1);
    TDIBImagesItem* item = list->DIBImages()->Items(0);
    EXPECT_EQ(item->TranslatePath("/a/b/knob.bmp"), "/a/b/knob.bmp");  // no handler

    std::string seen;
    item->SetOnTranslateImagePath([&](TObject* sender, std::string& dir) {
        EXPECT_EQ(sender, item);
        seen = dir;
        dir = "/opt/skins";
    });
    EXPECT_EQ(item->TranslatePath("/a/b/knob.bmp"), skins + "knob.bmp");
    EXPECT_EQ(seen, "/a/b/");
    EXPECT_EQ(item->TranslatePath("C:\\pics\\knob.bmp"), skins + "knob.bmp");
    EXPECT_EQ(seen, "C:\\pics\\");
    EXPECT_EQ(item->TranslatePath("knob.bmp"), skins + "knob.bmp");
    EXPECT_EQ(seen, "");
    EXPECT_EQ(item->TranslatePath(""), "");

    item->SetOnTranslateImagePath([](TObject*, std::string& dir) { dir.clear(); });
    EXPECT_EQ(item->TranslatePath("/a/b/knob.bmp"), "knob.bmp");
    item->SetOnTranslateImagePath([](TObject*, std::string& dir) { dir = "/skins/"; });
    EXPECT_EQ(item->TranslatePath("/a/knob.bmp"), "/skins/knob.bmp");
}
