#include "objects/Classes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

TW_IMPLEMENT_CLASS(TStream) {}
TW_IMPLEMENT_CLASS(TMemoryStream) {}
TW_IMPLEMENT_CLASS(TStringStream) {}
TW_IMPLEMENT_CLASS(TFileStream) {}
TW_IMPLEMENT_CLASS(TPersistent) {}
TW_IMPLEMENT_CLASS(TFiler) {}
TW_IMPLEMENT_CLASS(TComponent) {
    b.Property("Name", &TComponent::Name, &TComponent::SetName).Stored(false);
    b.Property("Tag", &TComponent::Tag, &TComponent::SetTag).Default(0);
}
TW_IMPLEMENT_CLASS(TCollectionItem) {}
TW_IMPLEMENT_CLASS(TCollection) {}
TW_IMPLEMENT_CLASS(TOwnedCollection) {}

// ---- TStream ----

void TStream::ReadBuffer(void* buffer, int64_t count) {
    if (count < 0 || (count > 0 && Read(buffer, count) != count))
        throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
    if (count < 0 || (count > 0 && Write(buffer, count) != count))
        throw EWriteError("Stream write error");
}

int64_t TStream::Size() {
    int64_t pos = Seek(0, TSeekOrigin::soCurrent);
    int64_t end = Seek(0, TSeekOrigin::soEnd);
    Seek(pos, TSeekOrigin::soBeginning);
    return end;
}

void TStream::SetSize(int64_t) { throw EStreamError("Stream size cannot be changed"); }

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    if (count < 0) throw EReadError("Stream read error");
    uint8_t buf[65536];
    int64_t done = 0;
    while (done < count) {
        int64_t n = std::min<int64_t>(count - done, sizeof buf);
        source.ReadBuffer(buf, n);
        WriteBuffer(buf, n);
        done += n;
    }
    return done;
}

// ---- TMemoryStream ----

TMemoryStream::TMemoryStream(const void* data, size_t size)
    : data_(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size) {}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    int64_t size = Size();
    if (count <= 0 || pos_ >= size) return 0;
    int64_t n = std::min(count, size - pos_);
    std::memcpy(buffer, data_.data() + pos_, static_cast<size_t>(n));
    pos_ += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    if (pos_ + count > Size()) data_.resize(static_cast<size_t>(pos_ + count));
    std::memcpy(data_.data() + pos_, buffer, static_cast<size_t>(count));
    pos_ += count;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t base = origin == TSeekOrigin::soBeginning ? 0
                   : origin == TSeekOrigin::soCurrent ? pos_
                                                      : Size();
    int64_t p = base + offset;
    if (p < 0) throw EStreamError("Invalid stream position");
    pos_ = p;
    return pos_;
}

void TMemoryStream::SetSize(int64_t size) {
    if (size < 0) throw EStreamError("Invalid stream size");
    data_.resize(static_cast<size_t>(size));
    if (pos_ > size) pos_ = size;
}

void TMemoryStream::Clear() {
    data_.clear();
    pos_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
    source.SetPosition(0);
    int64_t n = source.Size();
    std::vector<uint8_t> bytes(static_cast<size_t>(n));
    source.ReadBuffer(bytes.data(), n);
    data_ = std::move(bytes);
    pos_ = 0;
}

void TMemoryStream::SaveToStream(TStream& dest) { dest.WriteBuffer(data_.data(), Size()); }

void TMemoryStream::LoadFromFile(const std::string& fileName) {
    TFileStream f(fileName, fmOpenRead);
    LoadFromStream(f);
}

void TMemoryStream::SaveToFile(const std::string& fileName) {
    TFileStream f(fileName, fmCreate);
    SaveToStream(f);
}

TStringStream::TStringStream(std::string_view text) : TMemoryStream(text.data(), text.size()) {}

std::string TStringStream::DataString() const {
    return std::string(reinterpret_cast<const char*>(Memory()), Bytes().size());
}

// ---- TFileStream ----

TFileStream::TFileStream(const std::string& fileName, uint16_t mode) : fileName_(fileName) {
    if ((mode & fmCreate) == fmCreate) {
        file_ = std::fopen(fileName.c_str(), "w+b");
        if (!file_)
            throw EFCreateError("Cannot create file \"" + fileName + "\". " + std::strerror(errno));
        return;
    }
    file_ = std::fopen(fileName.c_str(), (mode & 3) == fmOpenRead ? "rb" : "r+b");
    if (!file_) throw EFOpenError("Cannot open file \"" + fileName + "\". " + std::strerror(errno));
}

TFileStream::~TFileStream() {
    if (file_) std::fclose(file_);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
    if (count <= 0) return 0;
    if (lastWasWrite_) std::fseek(file_, 0, SEEK_CUR);  // required between writing and reading
    lastWasWrite_ = false;
    return static_cast<int64_t>(std::fread(buffer, 1, static_cast<size_t>(count), file_));
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    if (!lastWasWrite_) std::fseek(file_, 0, SEEK_CUR);
    lastWasWrite_ = true;
    return static_cast<int64_t>(std::fwrite(buffer, 1, static_cast<size_t>(count), file_));
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                 : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                    : SEEK_END;
    if (std::fseek(file_, static_cast<long>(offset), whence) != 0)
        throw EStreamError("Invalid stream position");
    return static_cast<int64_t>(std::ftell(file_));
}

// ---- TPersistent ----

void TPersistent::Assign(TPersistent* source) {
    if (source)
        source->AssignTo(this);
    else
        AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* dest) { dest->AssignError(this); }

void TPersistent::DefineProperties(TFiler*) {}

std::string TPersistent::GetNamePath() const {
    std::string s = ClassName();
    if (TPersistent* o = GetOwner()) {
        std::string p = o->GetNamePath();
        if (!p.empty()) s = p + "." + s;
    }
    return s;
}

void TPersistent::AssignError(TPersistent* source) {
    std::string from = source ? source->ClassName() : "nil";
    throw EConvertError("Cannot assign a " + from + " to a " + ClassName());
}

// ---- TComponent ----

TComponent::TComponent(TComponent* owner) {
    if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
    Destroying();
    while (!freeNotifies_.empty()) {
        TComponent* other = freeNotifies_.back();
        freeNotifies_.pop_back();
        auto& theirs = other->freeNotifies_;
        theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
        other->Notification(this, TOperation::opRemove);
    }
    DestroyComponents();
    if (owner_) {
        TComponent* owner = owner_;
        owner->Remove(this).release();  // memory is being freed by whoever deletes us
        owner->Notification(this, TOperation::opRemove);
    }
}

TComponent* TComponent::Components(int index) const {
    if (index < 0 || index >= ComponentCount())
        throw EListError("List index out of bounds (" + IntToStr(index) + ")");
    return components_[static_cast<size_t>(index)].get();
}

int TComponent::ComponentIndex() const {
    if (!owner_) return -1;
    for (size_t i = 0; i < owner_->components_.size(); ++i)
        if (owner_->components_[i].get() == this) return static_cast<int>(i);
    return -1;
}

TComponent* TComponent::FindComponent(std::string_view name) const {
    if (name.empty()) return nullptr;
    for (auto& c : components_)
        if (SameText(c->name_, name)) return c.get();
    return nullptr;
}

void TComponent::SetName(const std::string& name) {
    if (name == name_) return;
    if (!name.empty() && !IsValidIdent(name))
        throw EComponentError("'" + name + "' is not a valid component name");
    if (owner_)
        owner_->ValidateRename(this, name_, name);
    else
        ValidateRename(nullptr, name_, name);
    name_ = name;
}

void TComponent::ValidateRename(TComponent* component, const std::string&,
                                const std::string& newName) {
    if (newName.empty()) return;
    for (auto& c : components_)
        if (c.get() != component && SameText(c->name_, newName))
            throw EComponentError("A component named " + newName + " already exists");
}

void TComponent::InsertComponent(TComponent* component) {
    if (!component || component->owner_ == this) return;
    ValidateRename(component, std::string(), component->name_);
    std::unique_ptr<TComponent> held;
    if (component->owner_)
        held = component->owner_->RemoveComponent(component);
    else
        held.reset(component);
    Insert(held.release());
    if (IsDesigning()) component->SetDesigning(true);
    Notification(component, TOperation::opInsert);
}

std::unique_ptr<TComponent> TComponent::RemoveComponent(TComponent* component) {
    if (!component || component->owner_ != this) return nullptr;
    // Told while it is still owned, the leaving component hears of its own
    // removal (as a component moved in hears of its insertion).
    Notification(component, TOperation::opRemove);
    return Remove(component);
}

void TComponent::Insert(TComponent* component) {
    components_.emplace_back(component);
    component->owner_ = this;
}

std::unique_ptr<TComponent> TComponent::Remove(TComponent* component) {
    for (auto it = components_.begin(); it != components_.end(); ++it)
        if (it->get() == component) {
            std::unique_ptr<TComponent> held = std::move(*it);
            components_.erase(it);
            component->owner_ = nullptr;
            return held;
        }
    return nullptr;
}

void TComponent::DestroyComponents() {
    while (!components_.empty()) {
        std::unique_ptr<TComponent> c = std::move(components_.back());
        components_.pop_back();
        c->owner_ = nullptr;
        c->Destroying();
        c.reset();
    }
}

void TComponent::Destroying() {
    if (IsDestroying()) return;
    state_.Include(TComponentStateFlag::csDestroying);
    for (auto& c : components_) c->Destroying();
}

void TComponent::SetDesigning(bool value, bool setChildren) {
    if (value)
        state_.Include(TComponentStateFlag::csDesigning);
    else
        state_.Exclude(TComponentStateFlag::csDesigning);
    if (setChildren)
        for (auto& c : components_) c->SetDesigning(value, true);
}

void TComponent::SetLoading(bool value) {
    if (value)
        state_.Include(TComponentStateFlag::csLoading).Include(TComponentStateFlag::csReading);
    else
        state_.Exclude(TComponentStateFlag::csLoading).Exclude(TComponentStateFlag::csReading);
}

void TComponent::FreeNotification(TComponent* component) {
    if (!component || component == this) return;
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end())
        freeNotifies_.push_back(component);
    auto& theirs = component->freeNotifies_;
    if (std::find(theirs.begin(), theirs.end(), this) == theirs.end()) theirs.push_back(this);
    state_.Include(TComponentStateFlag::csFreeNotification);
    component->state_.Include(TComponentStateFlag::csFreeNotification);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
    if (!component) return;
    freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), component),
                        freeNotifies_.end());
    auto& theirs = component->freeNotifies_;
    theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
}

void TComponent::Notification(TComponent* component, TOperation operation) {
    if (operation == TOperation::opRemove && component) RemoveFreeNotification(component);
    for (size_t i = components_.size(); i-- > 0;)
        if (i < components_.size()) components_[i]->Notification(component, operation);
}

void TComponent::Loaded() {
    state_.Exclude(TComponentStateFlag::csLoading).Exclude(TComponentStateFlag::csReading);
}

void TComponent::GetChildren(const TGetChildProc& proc, TComponent* root) {
    if (root != this) return;
    for (size_t i = 0; i < components_.size(); ++i)
        if (!components_[i]->HasParent()) proc(components_[i].get());
}

// ---- TCollectionItem ----

TCollectionItem::TCollectionItem(TCollection* collection) {
    if (collection) collection->InsertItem(this);
}

TCollectionItem::~TCollectionItem() {
    if (collection_) collection_->RemoveItem(this);
}

void TCollectionItem::SetCollection(TCollection* collection) {
    if (collection == collection_) return;
    if (collection_) collection_->RemoveItem(this);
    if (collection) collection->InsertItem(this);
}

int TCollectionItem::Index() const {
    if (!collection_) return -1;
    auto& items = collection_->items_;
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].get() == this) return static_cast<int>(i);
    return -1;
}

void TCollectionItem::SetIndex(int index) {
    int cur = Index();
    if (cur < 0 || cur == index) return;
    if (index < 0 || index >= collection_->Count())
        throw EListError("List index out of bounds (" + IntToStr(index) + ")");
    collection_->MoveItem(cur, index);
    Changed(true);
}

void TCollectionItem::SetDisplayName(const std::string&) { Changed(false); }

TPersistent* TCollectionItem::GetOwner() const { return collection_; }

std::string TCollectionItem::GetNamePath() const {
    if (!collection_) return ClassName();
    return collection_->GetNamePath() + "[" + IntToStr(Index()) + "]";
}

void TCollectionItem::Changed(bool allItems) {
    if (collection_ && collection_->updateCount_ == 0)
        collection_->Update(allItems ? nullptr : this);
}

// ---- TCollection ----

TCollection::TCollection(TClass itemClass) : itemClass_(itemClass) {}

TCollection::~TCollection() {
    updateCount_ = 1;
    Clear();
}

TCollectionItem* TCollection::Add() {
    if (!itemClass_ || !itemClass_->NewItem)
        throw EInvalidOperation("Cannot create items of class " +
                                (itemClass_ ? itemClass_->ClassName() : std::string("nil")));
    return itemClass_->NewItem(this);
}

TCollectionItem* TCollection::Insert(int index) {
    if (index < 0 || index > Count())
        throw EListError("List index out of bounds (" + IntToStr(index) + ")");
    TCollectionItem* item = Add();
    item->SetIndex(index);
    return item;
}

void TCollection::Delete(int index) {
    TCollectionItem* item = Items(index);
    Notify(item, TCollectionNotification::cnDeleting);
    delete item;  // its destructor takes it out of the list
}

void TCollection::Clear() {
    if (items_.empty()) return;
    BeginUpdate();
    while (!items_.empty()) delete items_.back().get();
    EndUpdate();
}

TCollectionItem* TCollection::Items(int index) const {
    if (index < 0 || index >= Count())
        throw EListError("List index out of bounds (" + IntToStr(index) + ")");
    return items_[static_cast<size_t>(index)].get();
}

TCollectionItem* TCollection::FindItemID(int id) const {
    for (auto& i : items_)
        if (i->id_ == id) return i.get();
    return nullptr;
}

void TCollection::BeginUpdate() { ++updateCount_; }

void TCollection::EndUpdate() {
    if (updateCount_ > 0 && --updateCount_ == 0) Changed();
}

void TCollection::Assign(TPersistent* source) {
    auto* src = dynamic_cast<TCollection*>(source);
    if (!src) {
        TPersistent::Assign(source);
        return;
    }
    if (src == this) return;
    BeginUpdate();
    try {
        Clear();
        for (int i = 0; i < src->Count(); ++i) Add()->Assign(src->Items(i));
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

std::string TCollection::GetNamePath() const {
    TPersistent* owner = GetOwner();
    if (!owner || propName_.empty()) return ClassName();
    std::string p = owner->GetNamePath();
    return p.empty() ? propName_ : p + "." + propName_;
}

void TCollection::Update(TCollectionItem*) {}

void TCollection::Notify(TCollectionItem*, TCollectionNotification) {}

void TCollection::Changed() {
    if (updateCount_ == 0) Update(nullptr);
}

void TCollection::InsertItem(TCollectionItem* item) {
    items_.emplace_back(item);
    item->collection_ = this;
    item->id_ = nextId_++;
    Notify(item, TCollectionNotification::cnAdded);
    Changed();
}

void TCollection::RemoveItem(TCollectionItem* item) {
    Notify(item, TCollectionNotification::cnExtracting);
    for (auto it = items_.begin(); it != items_.end(); ++it)
        if (it->get() == item) {
            it->release();
            items_.erase(it);
            break;
        }
    item->collection_ = nullptr;
    Changed();
}

void TCollection::MoveItem(int from, int to) {
    auto first = items_.begin();
    if (from < to)
        std::rotate(first + from, first + from + 1, first + to + 1);
    else
        std::rotate(first + to, first + from, first + from + 1);
}

TOwnedCollection::TOwnedCollection(TPersistent* owner, TClass itemClass)
    : TCollection(itemClass), owner_(owner) {}

// ---- class registry ----

namespace {
std::vector<TClass>& Registry() {
    static std::vector<TClass> classes;
    return classes;
}
}  // namespace

void RegisterClass(TClass cls) {
    if (!cls) return;
    TClass existing = GetClass(cls->ClassName());
    if (existing == cls) return;
    if (existing) throw EFilerError("A class named " + cls->ClassName() + " already exists");
    Registry().push_back(cls);
}

void RegisterClasses(std::initializer_list<TClass> classes) {
    for (TClass c : classes) RegisterClass(c);
}

void UnRegisterClass(TClass cls) {
    auto& r = Registry();
    r.erase(std::remove(r.begin(), r.end(), cls), r.end());
}

TClass GetClass(std::string_view name) {
    for (TClass c : Registry())
        if (SameText(c->ClassName(), name)) return c;
    return nullptr;
}

TClass FindClass(std::string_view name) {
    TClass c = GetClass(name);
    if (!c) throw EClassNotFound("Class " + std::string(name) + " not found");
    return c;
}

// ---- string lists ----------------------------------------------------------------

TW_IMPLEMENT_CLASS(TStrings) {}

int TStrings::Add(const std::string& S) {
    const int index = Count();
    Insert(index, S);
    return index;
}

void TStrings::AddStrings(TStrings* Strings) {
    if (!Strings) return;
    BeginUpdate();
    try {
        for (int i = 0; i < Strings->Count(); ++i) Add(Strings->Strings(i));
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

int TStrings::IndexOf(const std::string& S) const {
    for (int i = 0; i < Count(); ++i)
        if (SameText(Strings(i), S)) return i;
    return -1;
}

std::string TStrings::Text() const {
    std::string out;
    for (int i = 0; i < Count(); ++i) {
        out += Strings(i);
        out += "\r\n";
    }
    return out;
}

void TStrings::SetText(const std::string& Value) {
    BeginUpdate();
    try {
        Clear();
        std::size_t start = 0;
        while (start < Value.size()) {
            std::size_t end = Value.find_first_of("\r\n", start);
            if (end == std::string::npos) end = Value.size();
            Add(Value.substr(start, end - start));
            if (end < Value.size() && Value[end] == '\r' && end + 1 < Value.size() &&
                Value[end + 1] == '\n')
                ++end;
            start = end + 1;
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStrings::BeginUpdate() {
    if (updateCount_++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
    if (updateCount_ == 0) return;
    if (--updateCount_ == 0) SetUpdateState(false);
}

void TStrings::Assign(TPersistent* Source) {
    auto* src = dynamic_cast<TStrings*>(Source);
    if (!src) return TPersistent::Assign(Source);
    if (src == this) return;
    BeginUpdate();
    try {
        Clear();
        AddStrings(src);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

TW_IMPLEMENT_CLASS(TStringList) {}

void TStringList::CheckIndex(int Index, int Limit) const {
    if (Index < 0 || Index > Limit)
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

std::string TStringList::Strings(int Index) const {
    CheckIndex(Index, Count() - 1);
    return lines_[static_cast<std::size_t>(Index)];
}

void TStringList::SetStrings(int Index, const std::string& S) {
    CheckIndex(Index, Count() - 1);
    Changing();
    lines_[static_cast<std::size_t>(Index)] = S;
    Changed();
}

void TStringList::Insert(int Index, const std::string& S) {
    CheckIndex(Index, Count());
    Changing();
    lines_.insert(lines_.begin() + Index, S);
    Changed();
}

void TStringList::Delete(int Index) {
    CheckIndex(Index, Count() - 1);
    Changing();
    lines_.erase(lines_.begin() + Index);
    Changed();
}

void TStringList::Clear() {
    if (lines_.empty()) return;
    Changing();
    lines_.clear();
    Changed();
}

void TStringList::SetUpdateState(bool Updating) {
    if (Updating)
        OnChanging(this);
    else
        OnChange(this);
}

void TStringList::Changing() {
    if (UpdateCount() == 0) OnChanging(this);
}

void TStringList::Changed() {
    if (UpdateCount() == 0) OnChange(this);
}
