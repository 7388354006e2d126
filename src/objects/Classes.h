#pragma once
// Streams, persistent objects, components, collections and the class registry.

#include "objects/SysUtils.h"
#include "objects/TypInfo.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TReader;
class TWriter;
class TFiler;
class TStream;

// ---- streams ----------------------------------------------------------------

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream : public TObject {
    TW_CLASS(TStream, TObject)
public:
    // Read and Write move at most Count bytes and return how many moved.
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // Returns the new position; a position before the start raises EStreamError.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

    // All or nothing: EReadError "Stream read error" when fewer bytes are
    // there, EWriteError "Stream write error" when fewer could be written.
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);

    int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(int64_t pos) { Seek(pos, TSeekOrigin::soBeginning); }
    virtual int64_t Size();
    virtual void SetSize(int64_t size);
    // Bytes between the position and the end.
    int64_t Remaining() { return Size() - Position(); }
    // Copies count bytes from source's position; count 0 copies all of source
    // from its beginning. Returns the bytes copied.
    int64_t CopyFrom(TStream& source, int64_t count);
};

// A growable stream over heap memory.
class TMemoryStream : public TStream {
    TW_CLASS(TMemoryStream, TStream)
public:
    TMemoryStream() = default;
    TMemoryStream(const void* data, size_t size);
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(data_.size()); }
    void SetSize(int64_t size) override;
    void Clear();
    uint8_t* Memory() { return data_.data(); }
    const uint8_t* Memory() const { return data_.data(); }
    const std::vector<uint8_t>& Bytes() const { return data_; }
    void LoadFromStream(TStream& source);  // replaces the content with all of source
    void SaveToStream(TStream& dest);      // writes the whole content
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName);

private:
    std::vector<uint8_t> data_;
    int64_t pos_ = 0;
};

// A memory stream initialised from and read back as a string.
class TStringStream : public TMemoryStream {
    TW_CLASS(TStringStream, TMemoryStream)
public:
    explicit TStringStream(std::string_view text = {});
    std::string DataString() const;
};

enum TFileMode : uint16_t {
    fmOpenRead = 0x0000,
    fmOpenWrite = 0x0001,
    fmOpenReadWrite = 0x0002,
    fmCreate = 0xFF00,
};

class TFileStream : public TStream {
    TW_CLASS(TFileStream, TStream)
public:
    // fmCreate makes or truncates the file (EFCreateError "Cannot create
    // file "<name>". <reason>"); the open modes need it to exist
    // (EFOpenError "Cannot open file "<name>". <reason>").
    TFileStream(const std::string& fileName, uint16_t mode);
    ~TFileStream() override;
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    const std::string& FileName() const { return fileName_; }

private:
    std::FILE* file_ = nullptr;
    std::string fileName_;
    bool lastWasWrite_ = false;
};

// ---- persistent objects -------------------------------------------------------

class TPersistent : public TObject {
    TW_CLASS(TPersistent, TObject)
public:
    // Copies Source into this object: the default asks Source->AssignTo(this);
    // a null source or a pair nobody handles raises EConvertError
    // "Cannot assign a <source class> to a <destination class>" ("nil" for none).
    virtual void Assign(TPersistent* source);
    virtual void AssignTo(TPersistent* dest);
    // Declares the unpublished properties stored with this object
    // (TFiler::DefineProperty / DefineBinaryProperty). Called by the stream
    // reader and writer after the published properties.
    virtual void DefineProperties(TFiler* filer);
    // The object that owns this one for naming purposes, or null.
    virtual TPersistent* GetOwner() const { return nullptr; }
    // A dotted path naming this object ("Form1.Knob1.Features").
    virtual std::string GetNamePath() const;

protected:
    [[noreturn]] void AssignError(TPersistent* source);
};

// ---- string lists ----------------------------------------------------------------

// A list of strings. In a form the lines are the defined property
// "Strings", a list of string values (Lines.Strings = ('one' '' 'three')).
class TStrings : public TPersistent {
    TW_CLASS(TStrings, TPersistent)
public:
    virtual int Count() const = 0;
    // EListError "List index out of bounds (<i>)" outside 0..Count-1
    // (Insert takes 0..Count).
    virtual std::string Strings(int Index) const = 0;
    virtual void SetStrings(int Index, const std::string& S) = 0;
    virtual void Insert(int Index, const std::string& S) = 0;
    virtual void Delete(int Index) = 0;
    virtual void Clear() = 0;
    // Appends and answers the new line's index.
    int Add(const std::string& S);
    void AddStrings(TStrings* Strings);
    // The first line equal to S, ignoring case; -1 when there is none.
    int IndexOf(const std::string& S) const;
    // The lines, each ended by "\r\n". Setting splits at "\r\n", "\n" or
    // "\r"; a last line without an ending is a line too.
    std::string Text() const;
    void SetText(const std::string& Value);
    // Changes between BeginUpdate and the matching EndUpdate are told once.
    void BeginUpdate();
    void EndUpdate();
    void Assign(TPersistent* Source) override;
    void DefineProperties(TFiler* Filer) override;

protected:
    // Entering and leaving the updating state (nested calls count once).
    virtual void SetUpdateState(bool /*Updating*/) {}
    int UpdateCount() const { return updateCount_; }

private:
    int updateCount_ = 0;
};

// Strings kept in memory, telling OnChanging before and OnChange after
// every change (once around a BeginUpdate/EndUpdate bracket).
class TStringList : public TStrings {
    TW_CLASS(TStringList, TStrings)
public:
    int Count() const override { return static_cast<int>(lines_.size()); }
    std::string Strings(int Index) const override;
    void SetStrings(int Index, const std::string& S) override;
    void Insert(int Index, const std::string& S) override;
    void Delete(int Index) override;
    void Clear() override;

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    void SetUpdateState(bool Updating) override;
    virtual void Changing();
    virtual void Changed();

private:
    void CheckIndex(int Index, int Limit) const;
    std::vector<std::string> lines_;
};

// What DefineProperties sees: the reader or the writer of a component stream.
class TFiler : public TObject {
    TW_CLASS(TFiler, TObject)
public:
    using TReaderProc = std::function<void(TReader&)>;
    using TWriterProc = std::function<void(TWriter&)>;
    using TStreamProc = std::function<void(TStream&)>;
    // A property written as one value through the writer's Write* calls and
    // read with the reader's Read* calls. Written only when hasData.
    virtual void DefineProperty(const std::string& name, TReaderProc readData,
                                TWriterProc writeData, bool hasData) = 0;
    // A property whose value is a block of bytes. The reader hands readData a
    // stream holding exactly the stored bytes (positioned at 0); writeData
    // writes into a stream whose content becomes the value.
    virtual void DefineBinaryProperty(const std::string& name, TStreamProc readData,
                                      TStreamProc writeData, bool hasData) = 0;
    TComponent* Root() const { return root_; }

protected:
    TComponent* root_ = nullptr;
};

// ---- components -------------------------------------------------------------

enum class TComponentStateFlag : uint8_t {
    csLoading,
    csReading,
    csWriting,
    csDestroying,
    csDesigning,
    csAncestor,
    csUpdating,
    csFixups,
    csFreeNotification,
    csInline,
    csDesignInstance
};
TW_ENUM(TComponentStateFlag, "csLoading", "csReading", "csWriting", "csDestroying", "csDesigning",
        "csAncestor", "csUpdating", "csFixups", "csFreeNotification", "csInline",
        "csDesignInstance");
using TComponentState = TSet<TComponentStateFlag>;

enum class TOperation : uint8_t { opInsert, opRemove };

// A component belongs to its owner (the owner destroys it) and may be referred
// to by others, which learn of its destruction through Notification.
//
// Create one owned component with `new TKnob(form)` (the owner adopts it in
// the constructor) or an unowned one with std::make_unique<TKnob>(nullptr).
// A destructor that must see csDestroying (or that frees what children may
// still reach) calls Destroying() first.
class TComponent : public TPersistent {
    TW_CLASS(TComponent, TPersistent)
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;

    TComponent* Owner() const { return owner_; }
    const std::string& Name() const { return name_; }
    // EComponentError "'<name>' is not a valid component name" or
    // "A component named <name> already exists" (case-insensitive among the
    // owner's components).
    virtual void SetName(const std::string& name);
    int32_t Tag() const { return tag_; }
    void SetTag(int32_t tag) { tag_ = tag; }

    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* Components(int index) const;  // EListError when out of range
    int ComponentIndex() const;               // position in the owner's list, -1 without owner
    TComponent* FindComponent(std::string_view name) const;

    // Moves a component under this owner (from its previous one).
    void InsertComponent(TComponent* component);
    // Takes a component away from this owner; the caller now owns it.
    std::unique_ptr<TComponent> RemoveComponent(TComponent* component);
    void DestroyComponents();

    TComponentState ComponentState() const { return state_; }
    bool IsLoading() const { return state_.Contains(TComponentStateFlag::csLoading); }
    bool IsDestroying() const { return state_.Contains(TComponentStateFlag::csDestroying); }
    bool IsDesigning() const { return state_.Contains(TComponentStateFlag::csDesigning); }
    // Marks this component and everything it owns as destroying.
    void Destroying();
    void SetDesigning(bool value, bool setChildren = true);
    // Reader support: enter the loading state (Loaded leaves it).
    void SetLoading(bool value);

    // Asks to be told (Notification with opRemove) when `component` is
    // destroyed; mutual, so `component` is told of this one's end as well.
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);
    // Called with opInsert when a component joins this owner and with opRemove
    // when a component leaves it or a watched component is destroyed. The
    // default passes the news on to the owned components; these include the
    // component itself when it joins, or when it is taken away (RemoveComponent).
    virtual void Notification(TComponent* component, TOperation operation);
    // Called once after the component and its whole form have been read.
    virtual void Loaded();

    // Streaming structure: the children written inside this component. The
    // default lists, for the root, the owned components without a parent.
    using TGetChildProc = std::function<void(TComponent*)>;
    virtual void GetChildren(const TGetChildProc& proc, TComponent* root);
    virtual bool HasParent() const { return false; }
    virtual TComponent* GetParentComponent() const { return nullptr; }
    virtual void SetParentComponent(TComponent* /*parent*/) {}

    TPersistent* GetOwner() const override { return owner_; }
    std::string GetNamePath() const override { return name_; }

protected:
    virtual void ValidateRename(TComponent* component, const std::string& oldName,
                                const std::string& newName);

private:
    void Insert(TComponent* component);
    std::unique_ptr<TComponent> Remove(TComponent* component);

    TComponent* owner_ = nullptr;
    std::string name_;
    int32_t tag_ = 0;
    TComponentState state_;
    std::vector<std::unique_ptr<TComponent>> components_;
    std::vector<TComponent*> freeNotifies_;
};

// ---- collections ---------------------------------------------------------------

class TCollection;

// An item belongs to its collection: `new TMyItem(collection)` (or
// collection->Add()) adds it, deleting it removes it.
class TCollectionItem : public TPersistent {
    TW_CLASS(TCollectionItem, TPersistent)
public:
    explicit TCollectionItem(TCollection* collection);
    ~TCollectionItem() override;

    TCollection* Collection() const { return collection_; }
    // Moves the item to another collection; null detaches it, and the caller
    // then owns (and must delete) the item.
    virtual void SetCollection(TCollection* collection);
    int ID() const { return id_; }
    int Index() const;
    // EListError "List index out of bounds (<n>)" outside 0..Count-1.
    virtual void SetIndex(int index);
    std::string DisplayName() const { return GetDisplayName(); }
    virtual void SetDisplayName(const std::string& value);
    virtual std::string GetDisplayName() const { return ClassName(); }
    TPersistent* GetOwner() const override;
    std::string GetNamePath() const override;

protected:
    // Tells the collection an item changed (all items when allItems).
    void Changed(bool allItems);

private:
    friend class TCollection;
    TCollection* collection_ = nullptr;
    int id_ = 0;
};

enum class TCollectionNotification : uint8_t { cnAdded, cnExtracting, cnDeleting };

class TCollection : public TPersistent {
    TW_CLASS(TCollection, TPersistent)
public:
    // Items are made with itemClass's collection-item constructor.
    explicit TCollection(TClass itemClass);
    // Derived collections whose item destructors call back into them should
    // Clear() in their own destructor.
    ~TCollection() override;

    TClass ItemClass() const { return itemClass_; }
    TCollectionItem* Add();
    TCollectionItem* Insert(int index);
    void Delete(int index);  // EListError when out of range
    void Clear();
    int Count() const { return static_cast<int>(items_.size()); }
    TCollectionItem* Items(int index) const;  // EListError when out of range
    TCollectionItem* FindItemID(int id) const;
    int UpdateCount() const { return updateCount_; }
    virtual void BeginUpdate();
    virtual void EndUpdate();
    // From another collection: clear, then add one item per source item and
    // Assign it.
    void Assign(TPersistent* source) override;
    std::string GetNamePath() const override;
    // The name of the property that holds this collection in its owner.
    const std::string& PropName() const { return propName_; }
    void SetPropName(std::string name) { propName_ = std::move(name); }

protected:
    friend class TCollectionItem;
    // Called after a change: item is the changed item, or null for all.
    virtual void Update(TCollectionItem* item);
    virtual void Notify(TCollectionItem* item, TCollectionNotification action);
    void Changed();

private:
    void InsertItem(TCollectionItem* item);
    void RemoveItem(TCollectionItem* item);
    void MoveItem(int from, int to);

    TClass itemClass_;
    std::vector<std::unique_ptr<TCollectionItem>> items_;
    int updateCount_ = 0;
    int nextId_ = 0;
    std::string propName_;
};

class TOwnedCollection : public TCollection {
    TW_CLASS(TOwnedCollection, TCollection)
public:
    TOwnedCollection(TPersistent* owner, TClass itemClass);
    TPersistent* GetOwner() const override { return owner_; }

private:
    TPersistent* owner_;
};

// ---- class registry ------------------------------------------------------------

// Streams name classes; the reader finds them here. Registering a class again
// is harmless; a different class under a registered name raises EFilerError
// "A class named <name> already exists".
void RegisterClass(TClass cls);
void RegisterClasses(std::initializer_list<TClass> classes);
void UnRegisterClass(TClass cls);
TClass GetClass(std::string_view name);   // null when unknown
TClass FindClass(std::string_view name);  // EClassNotFound "Class <name> not found"
