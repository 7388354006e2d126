// Object model: class identity, published properties by name, components,
// collections, streams and the class registry.
#include "support/FrameworkTestClasses.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

// A different class that carries an already used name.
namespace other {
class TTestComponent : public TComponent {
    TW_CLASS(TTestComponent, TComponent)
public:
    using TComponent::TComponent;
};
TW_IMPLEMENT_CLASS(TTestComponent) {}
}  // namespace other

namespace {

std::vector<std::string> PropNames(TClass c) {
    std::vector<std::string> names;
    for (auto& p : c->Properties()) names.push_back(p->Name);
    return names;
}

TEST(FrameworkClassInfo, NamesInheritanceAndPropertyOrder) {
    TTestForm form(nullptr);
    EXPECT_EQ(form.ClassName(), "TTestForm");
    EXPECT_TRUE(form.InheritsFrom(TComponent::StaticClass()));
    EXPECT_TRUE(form.InheritsFrom(TTestPanel::StaticClass()));
    EXPECT_FALSE(TTestComponent::StaticClass()->InheritsFrom(TTestForm::StaticClass()));
    EXPECT_EQ(TTestForm::StaticClass()->ClassParent(), TTestPanel::StaticClass());
    EXPECT_EQ(TObject::StaticClass()->ClassParent(), nullptr);
    // parent's properties first, in declaration order
    auto names = PropNames(TTestForm::StaticClass());
    ASSERT_GE(names.size(), 3u);
    EXPECT_EQ(names[0], "Name");
    EXPECT_EQ(names[1], "Tag");
    EXPECT_EQ(names[2], "Width");
    EXPECT_EQ(names.back(), "OnChange");
    EXPECT_EQ(PropNames(TTestForm::StaticClass()), PropNames(TTestComponent::StaticClass()));
    // factories follow the constructors
    EXPECT_NE(TTestComponent::StaticClass()->NewComponent, nullptr);
    EXPECT_EQ(TTestComponent::StaticClass()->NewItem, nullptr);
    EXPECT_NE(TTestItem::StaticClass()->NewItem, nullptr);
    EXPECT_TRUE(TStream::StaticClass()->IsAbstract());
}

TEST(FrameworkPublishedProperties, LookUpByNameIgnoringCaseWithKinds) {
    TTestComponent c(nullptr);
    EXPECT_TRUE(IsPublishedProp(&c, "width"));
    EXPECT_FALSE(IsPublishedProp(&c, "Depth"));
    EXPECT_EQ(PropType(&c, "Width"), TTypeKind::tkInteger);
    EXPECT_EQ(PropType(&c, "Letter"), TTypeKind::tkChar);
    EXPECT_EQ(PropType(&c, "Enabled"), TTypeKind::tkEnumeration);
    EXPECT_EQ(PropType(&c, "Mode"), TTypeKind::tkEnumeration);
    EXPECT_EQ(PropType(&c, "Styles"), TTypeKind::tkSet);
    EXPECT_EQ(PropType(&c, "Scale"), TTypeKind::tkFloat);
    EXPECT_EQ(PropType(&c, "Caption"), TTypeKind::tkLString);
    EXPECT_EQ(PropType(&c, "Big"), TTypeKind::tkInt64);
    EXPECT_EQ(PropType(&c, "Sub"), TTypeKind::tkClass);
    EXPECT_EQ(PropType(&c, "OnChange"), TTypeKind::tkMethod);
    EXPECT_EQ(GetPropInfo(&c, "Buddy")->PropType->ClassType(), TTestComponent::StaticClass());
    try {
        PropType(&c, "Depth");
        FAIL();
    } catch (const EPropertyError& e) {
        EXPECT_EQ(e.Message(), "Unknown property: Depth");
    }
}

TEST(FrameworkPublishedProperties, ReadAndWriteEveryKind) {
    TTestComponent c(nullptr);
    SetOrdProp(&c, "Width", -70000);
    EXPECT_EQ(c.Width(), -70000);
    SetOrdProp(&c, "Height", 65535);
    EXPECT_EQ(c.height_, 65535);
    EXPECT_THROW(SetOrdProp(&c, "Height", 65536), ERangeError);
    EXPECT_THROW(SetOrdProp(&c, "Height", -1), ERangeError);
    EXPECT_EQ(c.height_, 65535);

    SetEnumProp(&c, "Mode", "TMFAST");
    EXPECT_EQ(c.mode_, TTestMode::tmFast);
    EXPECT_EQ(GetEnumProp(&c, "Mode"), "tmFast");
    EXPECT_THROW(SetEnumProp(&c, "Mode", "tmWarp"), ERangeError);
    EXPECT_THROW(SetOrdProp(&c, "Mode", 3), ERangeError);
    SetOrdProp(&c, "Enabled", 0);
    EXPECT_FALSE(c.enabled_);
    EXPECT_EQ(GetEnumProp(&c, "Enabled"), "False");

    SetOrdProp(&c, "Styles", 0b101);
    EXPECT_TRUE(c.styles_.Contains(TTestStyle::tsBold));
    EXPECT_FALSE(c.styles_.Contains(TTestStyle::tsItalic));
    EXPECT_TRUE(c.styles_.Contains(TTestStyle::tsUnderline));
    EXPECT_THROW(SetOrdProp(&c, "Styles", 0b1000), ERangeError);

    SetOrdProp(&c, "Letter", 0xE9);
    EXPECT_EQ(static_cast<unsigned char>(c.letter_), 0xE9);
    EXPECT_EQ(GetOrdProp(&c, "Letter"), 0xE9);
    SetOrdProp(&c, "Big", INT64_MIN);
    EXPECT_EQ(c.big_, INT64_MIN);

    SetFloatProp(&c, "Scale", 12.5L);
    EXPECT_EQ(c.scale_, 12.5L);
    SetStrProp(&c, "Caption", "Gate");
    EXPECT_EQ(GetStrProp(&c, "caption"), "Gate");

    EXPECT_EQ(GetObjectProp(&c, "Sub"), c.Sub());
    TTestComponent other(nullptr);
    SetObjectProp(&c, "Buddy", &other);
    EXPECT_EQ(c.Buddy(), &other);
    TTestSub notAComponent;
    EXPECT_THROW(SetObjectProp(&c, "Buddy", &notAComponent), EInvalidCast);
    EXPECT_EQ(c.Buddy(), &other);

    // wrong kind and read-only
    EXPECT_THROW(GetStrProp(&c, "Width"), EPropertyError);
    EXPECT_THROW(SetOrdProp(&c, "Caption", 1), EPropertyError);
    EXPECT_THROW(SetObjectProp(&c, "Sub", nullptr), EPropertyError);
    EXPECT_FALSE(GetPropInfo(&c, "Items")->IsWritable());
    EXPECT_TRUE(GetPropInfo(&c, "Buddy")->IsWritable());
}

TEST(FrameworkPublishedProperties, StoredDefaults) {
    TTestComponent c(nullptr);
    auto isDefault = [&](const char* n) { return GetPropInfo(&c, n)->IsDefaultValue(&c); };
    EXPECT_TRUE(isDefault("Width"));
    EXPECT_FALSE(isDefault("Height"));  // no default declared: always written
    EXPECT_TRUE(isDefault("Enabled"));
    EXPECT_TRUE(isDefault("Mode"));
    EXPECT_TRUE(isDefault("Scale"));
    EXPECT_TRUE(isDefault("Caption"));  // strings default to empty
    EXPECT_TRUE(isDefault("Buddy"));
    EXPECT_TRUE(isDefault("OnChange"));
    c.SetWidth(1);
    c.mode_ = TTestMode::tmOff;
    c.scale_ = 99;
    c.caption_ = "x";
    EXPECT_FALSE(isDefault("Width"));
    EXPECT_FALSE(isDefault("Mode"));
    EXPECT_FALSE(isDefault("Scale"));
    EXPECT_FALSE(isDefault("Caption"));
    EXPECT_FALSE(GetPropInfo(&c, "Name")->IsStored(&c));
}

TEST(FrameworkEvents, PublishedMethodsBindByNameAndCheckSignatures) {
    TTestForm form(nullptr);
    TTestComponent* knob = new TTestComponent(&form);
    const TMethodInfo* click = TTestForm::StaticClass()->FindMethod("buttonclick");
    ASSERT_NE(click, nullptr);
    EXPECT_EQ(click->Name, "ButtonClick");
    SetMethodProp(knob, "OnChange", TMethod{click, &form});
    knob->onChange_(knob);
    ASSERT_EQ(form.clicks_.size(), 1u);
    EXPECT_EQ(form.clicks_[0], knob);
    EXPECT_EQ(GetMethodProp(knob, "OnChange").Code, click);
    EXPECT_EQ(TTestForm::StaticClass()->MethodName(click), "ButtonClick");

    const TMethodInfo* wrong = TTestForm::StaticClass()->FindMethod("WrongShape");
    EXPECT_THROW(SetMethodProp(knob, "OnChange", TMethod{wrong, &form}), EConvertError);
    EXPECT_EQ(GetMethodProp(knob, "OnChange").Code, click);

    // binding in code to a published method keeps the name
    knob->onChange_ = EventOf<&TTestForm::OtherClick>(&form);
    EXPECT_EQ(knob->onChange_.Method().Code, TTestForm::StaticClass()->FindMethod("OtherClick"));
    knob->onChange_(nullptr);
    EXPECT_EQ(form.others_, 1);
    // a lambda is callable but has no name
    int calls = 0;
    knob->onChange_ = [&](TObject*) { ++calls; };
    knob->onChange_(nullptr);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(knob->onChange_.Method().Code, nullptr);
    SetMethodProp(knob, "OnChange", TMethod{});
    EXPECT_FALSE(knob->onChange_);
}

TEST(FrameworkPersistent, AssignReportsConversionError) {
    TTestSub a, b;
    a.SetX(7);
    a.data_ = {1, 2};
    b.Assign(&a);
    EXPECT_EQ(b.X(), 7);
    EXPECT_EQ(b.data_, a.data_);
    TTestComponent c(nullptr);
    try {
        c.Assign(&a);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a TTestSub to a TTestComponent");
    }
    try {
        c.Assign(nullptr);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a nil to a TTestComponent");
    }
}

TEST(FrameworkComponents, OwnershipNamesAndLookup) {
    int before = TestLog::Live();
    {
        auto form = std::make_unique<TTestForm>(nullptr);
        auto* a = new TTestComponent(form.get());
        auto* b = new TTestComponent(form.get());
        a->SetName("Knob1");
        EXPECT_EQ(form->ComponentCount(), 2);
        EXPECT_EQ(form->FindComponent("KNOB1"), a);
        EXPECT_EQ(b->ComponentIndex(), 1);
        try {
            b->SetName("knob1");
            FAIL();
        } catch (const EComponentError& e) {
            EXPECT_EQ(e.Message(), "A component named knob1 already exists");
        }
        EXPECT_THROW(b->SetName("1abc"), EComponentError);
        EXPECT_EQ(b->Name(), "");
        delete a;  // leaves the owner's list
        EXPECT_EQ(form->ComponentCount(), 1);
        EXPECT_EQ(form->FindComponent("Knob1"), nullptr);
        EXPECT_THROW(form->Components(1), EListError);

        // moving between owners and taking ownership back
        TTestForm other(nullptr);
        other.InsertComponent(b);
        EXPECT_EQ(b->Owner(), &other);
        EXPECT_EQ(form->ComponentCount(), 0);
        std::unique_ptr<TComponent> taken = other.RemoveComponent(b);
        EXPECT_EQ(taken.get(), b);
        EXPECT_EQ(b->Owner(), nullptr);
        EXPECT_EQ(TestLog::Live(), before + 3);
        new TTestComponent(form.get());
    }
    EXPECT_EQ(TestLog::Live(), before);
}

TEST(FrameworkComponents, FreeNotificationClearsReferences) {
    TTestForm form(nullptr);
    auto* knob = new TTestComponent(&form);
    {
        TTestComponent list(nullptr);  // not owned by the form
        knob->SetBuddy(&list);
        EXPECT_EQ(knob->Buddy(), &list);
    }
    EXPECT_EQ(knob->Buddy(), nullptr);
    // mutual: the watcher dying first leaves nothing dangling in the watched
    auto watched = std::make_unique<TTestComponent>(nullptr);
    auto watcher = std::make_unique<TTestComponent>(nullptr);
    watcher->SetBuddy(watched.get());
    watcher.reset();
    watched.reset();  // would touch freed memory if the link were one-sided
    SUCCEED();
}

class TRecorder : public TComponent {
    TW_CLASS(TRecorder, TComponent)
public:
    using TComponent::TComponent;
    std::vector<std::pair<TComponent*, TOperation>> seen;
    void Notification(TComponent* c, TOperation op) override {
        TComponent::Notification(c, op);
        seen.emplace_back(c, op);
    }
};
TW_IMPLEMENT_CLASS(TRecorder) {}

TEST(FrameworkComponents, OwnerAndSiblingsHearInsertAndRemove) {
    TRecorder owner(nullptr);
    auto* sibling = new TRecorder(&owner);
    owner.seen.clear();
    auto* c = new TTestComponent(&owner);
    ASSERT_EQ(owner.seen.size(), 1u);
    EXPECT_EQ(owner.seen[0], std::make_pair(static_cast<TComponent*>(c), TOperation::opInsert));
    ASSERT_EQ(sibling->seen.size(), 1u);  // passed on to the owned components
    delete c;
    ASSERT_EQ(owner.seen.size(), 2u);
    EXPECT_EQ(owner.seen[1].second, TOperation::opRemove);
    EXPECT_EQ(sibling->seen.back().second, TOperation::opRemove);
    // A component taken away hears of it too, as one moved in hears of that.
    auto* leaving = new TRecorder(&owner);
    std::unique_ptr<TComponent> taken = owner.RemoveComponent(leaving);
    ASSERT_FALSE(leaving->seen.empty());
    EXPECT_EQ(leaving->seen.back(),
              std::make_pair(static_cast<TComponent*>(leaving), TOperation::opRemove));
    EXPECT_EQ(sibling->seen.back(),
              std::make_pair(static_cast<TComponent*>(leaving), TOperation::opRemove));
}

TEST(FrameworkComponents, ChildrenSeeDestroyingStateAndStatesToggle) {
    TTestComponent::sawDestroying_ = false;
    {
        TTestForm form(nullptr);
        new TTestComponent(&form);
        form.SetDesigning(true);
        EXPECT_TRUE(form.Components(0)->IsDesigning());
        form.SetLoading(true);
        EXPECT_TRUE(form.IsLoading());
        form.Loaded();
        EXPECT_FALSE(form.IsLoading());
    }
    EXPECT_TRUE(TTestComponent::sawDestroying_);
}

class TCountingCollection : public TOwnedCollection {
    TW_CLASS(TCountingCollection, TOwnedCollection)
public:
    TCountingCollection(TPersistent* owner) : TOwnedCollection(owner, TTestItem::StaticClass()) {}
    ~TCountingCollection() override { Clear(); }
    int updates = 0;
    std::vector<TCollectionNotification> notes;
    void Update(TCollectionItem*) override { ++updates; }
    void Notify(TCollectionItem*, TCollectionNotification n) override { notes.push_back(n); }
};
TW_IMPLEMENT_CLASS(TCountingCollection) {}

TEST(FrameworkCollections, AddMoveDeleteAndNames) {
    TTestComponent owner(nullptr);
    owner.SetName("Owner1");
    TCountingCollection coll(&owner);
    coll.SetPropName("Things");
    auto* a = static_cast<TTestItem*>(coll.Add());
    auto* b = static_cast<TTestItem*>(coll.Add());
    auto* c = static_cast<TTestItem*>(coll.Add());
    EXPECT_EQ(coll.Count(), 3);
    EXPECT_EQ(a->ID(), 0);
    EXPECT_EQ(c->ID(), 2);
    EXPECT_EQ(coll.GetOwner(), &owner);
    EXPECT_EQ(a->DisplayName(), "TTestItem");
    b->label_ = "Second";
    EXPECT_EQ(b->DisplayName(), "Second");
    EXPECT_EQ(c->GetNamePath(), "Owner1.Things[2]");

    a->SetIndex(2);  // a moves to the end: b, c, a
    EXPECT_EQ(coll.Items(0), b);
    EXPECT_EQ(coll.Items(1), c);
    EXPECT_EQ(coll.Items(2), a);
    a->SetIndex(0);  // and back: a, b, c
    EXPECT_EQ(coll.Items(0), a);
    EXPECT_EQ(coll.Items(2), c);
    EXPECT_THROW(a->SetIndex(3), EListError);
    EXPECT_EQ(coll.FindItemID(1), b);

    coll.notes.clear();
    coll.Delete(1);
    EXPECT_EQ(coll.Count(), 2);
    EXPECT_EQ(coll.Items(1), c);
    EXPECT_EQ(coll.notes,
              (std::vector<TCollectionNotification>{TCollectionNotification::cnDeleting,
                                                    TCollectionNotification::cnExtracting}));
    EXPECT_THROW(coll.Delete(5), EListError);

    // deleting an item directly removes it; detaching hands it over
    delete a;
    EXPECT_EQ(coll.Count(), 1);
    c->SetCollection(nullptr);
    EXPECT_EQ(coll.Count(), 0);
    std::unique_ptr<TTestItem> detached(c);
    EXPECT_EQ(detached->Collection(), nullptr);
    EXPECT_EQ(detached->Index(), -1);
}

TEST(FrameworkCollections, UpdatesAreBatchedAndAssignCopies) {
    TCountingCollection coll(nullptr);
    coll.updates = 0;
    coll.BeginUpdate();
    coll.Add();
    coll.Add();
    EXPECT_EQ(coll.updates, 0);
    coll.EndUpdate();
    EXPECT_EQ(coll.updates, 1);
    coll.Add();
    EXPECT_EQ(coll.updates, 2);

    TCountingCollection copy(nullptr);
    copy.Add();
    // the test items do not implement Assign, so copying reports it
    EXPECT_THROW(copy.Assign(&coll), EConvertError);
    EXPECT_EQ(copy.UpdateCount(), 0);
    TCountingCollection empty(nullptr);
    copy.Assign(&empty);
    EXPECT_EQ(copy.Count(), 0);
}

TEST(FrameworkRegistry, FindsClassesByNameAndRejectsClashes) {
    RegisterClass(TTestComponent::StaticClass());
    RegisterClass(TTestComponent::StaticClass());  // again: harmless
    EXPECT_EQ(FindClass("ttestcomponent"), TTestComponent::StaticClass());
    EXPECT_EQ(GetClass("TNoSuchThing"), nullptr);
    try {
        RegisterClass(other::TTestComponent::StaticClass());
        FAIL();
    } catch (const EFilerError& e) {
        EXPECT_EQ(e.Message(), "A class named TTestComponent already exists");
    }
    EXPECT_EQ(FindClass("TTestComponent"), TTestComponent::StaticClass());
    try {
        FindClass("TNoSuchThing");
        FAIL();
    } catch (const EClassNotFound& e) {
        EXPECT_EQ(e.Message(), "Class TNoSuchThing not found");
    }
    UnRegisterClass(TTestComponent::StaticClass());
    EXPECT_EQ(GetClass("TTestComponent"), nullptr);
}

TEST(FrameworkStreams, MemoryStreamReadsWritesSeeksAndRefusesShortReads) {
    TMemoryStream s;
    s.WriteBuffer("abcdef", 6);
    EXPECT_EQ(s.Size(), 6);
    EXPECT_EQ(s.Position(), 6);
    s.SetPosition(2);
    char buf[8] = {};
    EXPECT_EQ(s.Read(buf, 8), 4);
    EXPECT_STREQ(buf, "cdef");
    s.SetPosition(4);
    EXPECT_THROW(s.ReadBuffer(buf, 3), EReadError);
    EXPECT_THROW(s.Seek(-1, TSeekOrigin::soBeginning), EStreamError);
    EXPECT_EQ(s.Seek(-2, TSeekOrigin::soEnd), 4);
    s.SetPosition(8);  // writing past the end fills the gap with zeros
    s.WriteBuffer("x", 1);
    EXPECT_EQ(s.Size(), 9);
    EXPECT_EQ(s.Memory()[6], 0);
    s.SetSize(3);
    EXPECT_EQ(s.Position(), 3);

    TMemoryStream copy;
    EXPECT_EQ(copy.CopyFrom(s, 0), 3);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(copy.Memory()), 3), "abc");
    TStringStream str("hello");
    EXPECT_EQ(str.DataString(), "hello");
}

TEST(FrameworkStreams, FileStreamRoundTripAndOpenErrors) {
    auto path = (std::filesystem::temp_directory_path() / "tarnwick_framework_stream.bin").string();
    {
        TFileStream f(path, fmCreate);
        f.WriteBuffer("0123456789", 10);
        f.SetPosition(2);
        char two[2];
        f.ReadBuffer(two, 2);
        EXPECT_EQ(two[0], '2');
        f.WriteBuffer("AB", 2);
        EXPECT_EQ(f.Size(), 10);
    }
    TMemoryStream m;
    m.LoadFromFile(path);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(m.Memory()), 10), "0123AB6789");
    std::remove(path.c_str());
    EXPECT_THROW(TFileStream(path, fmOpenRead), EFOpenError);
    try {
        TFileStream f("/nonexistent-dir/x.bin", fmCreate);
        FAIL();
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message().rfind("Cannot create file \"/nonexistent-dir/x.bin\". ", 0), 0u);
    }
}

TEST(FrameworkSysUtils, IntegerTextAndNames) {
    EXPECT_EQ(StrToInt("-42"), -42);
    EXPECT_EQ(StrToInt("$1F"), 31);
    EXPECT_EQ(StrToInt64("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(StrToInt64("-9223372036854775808"), INT64_MIN);
    EXPECT_THROW(StrToInt64("9223372036854775808"), EConvertError);
    EXPECT_THROW(StrToInt("2147483648"), EConvertError);
    try {
        StrToInt("12a");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'12a' is not a valid integer value");
    }
    EXPECT_TRUE(SameText("DIBKnob1", "dibknob1"));
    EXPECT_FALSE(SameText("Knob", "Knob1"));
    EXPECT_TRUE(IsValidIdent("_a1"));
    EXPECT_FALSE(IsValidIdent("a.b"));
    EXPECT_FALSE(IsValidIdent(""));
    EXPECT_EQ(IntToHex(0xAB, 4), "00AB");
}

}  // namespace
