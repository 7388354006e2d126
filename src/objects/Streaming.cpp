#include "objects/Streaming.h"

#include <cmath>
#include <cstring>

TW_IMPLEMENT_CLASS(TWriter) {}
TW_IMPLEMENT_CLASS(TReader) {}

namespace {

const char kSignature[4] = {'T', 'P', 'F', '0'};

bool IsOrdinalKind(TTypeKind k) {
    return k == TTypeKind::tkInteger || k == TTypeKind::tkInt64 || k == TTypeKind::tkChar ||
           k == TTypeKind::tkWChar || k == TTypeKind::tkEnumeration || k == TTypeKind::tkSet;
}
bool IsStringKind(TTypeKind k) {
    return k == TTypeKind::tkLString || k == TTypeKind::tkString || k == TTypeKind::tkWString;
}
bool IsBooleanType(const TTypeInfo* t) {
    return t && t->Kind == TTypeKind::tkEnumeration && t->Name == "Boolean";
}

}  // namespace

// ---- 80-bit extended ----

TExtended80 LongDoubleToExtended(long double v) {
    uint16_t se = std::signbit(v) ? 0x8000 : 0;
    uint64_t m = 0;
    if (std::isnan(v)) {
        se |= 0x7FFF;
        m = 0xC000000000000000ull;
    } else if (std::isinf(v)) {
        se |= 0x7FFF;
        m = 0x8000000000000000ull;
    } else if (v != 0) {
        int e = 0;
        long double f = std::frexp(std::fabs(v), &e);  // v = f * 2^e, 0.5 <= f < 1
        int biased = e - 1 + 16383;
        if (biased >= 0x7FFF) {
            se |= 0x7FFF;
            m = 0x8000000000000000ull;
        } else if (biased <= 0) {
            // below the normal range: no integer bit, exponent field 0
            m = static_cast<uint64_t>(std::ldexp(f, biased + 63));
        } else {
            m = static_cast<uint64_t>(std::ldexp(f, 64));
            se |= static_cast<uint16_t>(biased);
        }
    }
    TExtended80 b{};
    for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(m >> (8 * i));
    b[8] = static_cast<uint8_t>(se);
    b[9] = static_cast<uint8_t>(se >> 8);
    return b;
}

long double ExtendedToLongDouble(const TExtended80& b) {
    uint64_t m = 0;
    for (int i = 7; i >= 0; --i) m = (m << 8) | b[i];
    uint16_t se = static_cast<uint16_t>(b[8] | (b[9] << 8));
    bool negative = se & 0x8000;
    int e = se & 0x7FFF;
    long double v;
    if (e == 0x7FFF) {
        v = (m << 1) == 0 ? HUGE_VALL : std::nanl("");
    } else {
        v = std::ldexp(static_cast<long double>(m), (e == 0 ? 1 : e) - 16383 - 63);
    }
    return negative ? -v : v;
}

// ---- TWriter ----

TWriter::TWriter(TStream& stream) : stream_(stream) {}

void TWriter::Write(const void* data, int64_t size) { stream_.WriteBuffer(data, size); }

void TWriter::WriteValue(TValueType type) {
    uint8_t b = static_cast<uint8_t>(type);
    Write(&b, 1);
}

void TWriter::WriteName(const std::string& name) {
    if (name.size() > 255)
        throw EWriteError("Name too long for a component stream: " + name.substr(0, 32) + "...");
    uint8_t n = static_cast<uint8_t>(name.size());
    Write(&n, 1);
    Write(name.data(), n);
}

void TWriter::WritePropName(const std::string& name) { WriteName(propPath_ + name); }

void TWriter::WriteSignature() { Write(kSignature, 4); }

void TWriter::WriteRootComponent(TComponent* root) {
    root_ = root;
    WriteSignature();
    WriteComponent(root);
}

void TWriter::WriteComponent(TComponent* component) {
    if (!root_) root_ = component;
    if (depth_ > TReader::kMaxDepth) throw EWriteError("Objects nest too deeply to be written");
    if (component->ClassName().empty())
        throw EWriteError("A component without a class name cannot be written");
    WriteName(component->ClassName());
    WriteName(component->Name());
    std::string savedPath = std::move(propPath_);
    propPath_.clear();
    WriteProperties(component);
    WriteName(std::string());
    ++depth_;
    try {
        component->GetChildren([this](TComponent* child) { WriteComponent(child); }, root_);
    } catch (...) {
        --depth_;
        throw;
    }
    --depth_;
    WriteName(std::string());
    propPath_ = std::move(savedPath);
}

void TWriter::WriteProperties(TPersistent* instance) {
    // a sub-object or child that leads back to an ancestor would recurse for ever
    if (depth_ > TReader::kMaxDepth) throw EWriteError("Objects nest too deeply to be written");
    ++depth_;
    try {
        for (auto& prop : instance->ClassType()->Properties())
            if (prop->IsStored(instance)) WriteProperty(instance, *prop);
        instance->DefineProperties(this);
    } catch (...) {
        --depth_;
        throw;
    }
    --depth_;
}

void TWriter::WriteProperty(TPersistent* instance, const TPropInfo& prop) {
    TTypeKind kind = prop.Kind();
    if (kind == TTypeKind::tkClass) {
        TObject* obj = prop.GetObj(instance);
        if (!obj) return;
        if (auto* comp = dynamic_cast<TComponent*>(obj)) {
            std::string ref = ReferenceName(comp);
            if (ref.empty()) return;
            WritePropName(prop.Name);
            WriteIdent(ref);
        } else if (auto* coll = dynamic_cast<TCollection*>(obj)) {
            WritePropName(prop.Name);
            WriteCollection(coll);
        } else if (auto* sub = dynamic_cast<TPersistent*>(obj)) {
            std::string saved = propPath_;
            propPath_ += prop.Name + ".";
            WriteProperties(sub);
            propPath_ = std::move(saved);
        }
        return;
    }
    if (kind == TTypeKind::tkMethod) {
        TMethod m = prop.GetMethod(instance);
        if (!m.Code || m.Data != root_ || !root_) return;
        std::string name = root_->ClassType()->MethodName(m.Code);
        if (name.empty()) return;
        WritePropName(prop.Name);
        WriteIdent(name);
        return;
    }
    if (prop.IsDefaultValue(instance)) return;
    if (IsOrdinalKind(kind)) {
        int64_t v = prop.GetOrd(instance);
        WritePropName(prop.Name);
        switch (kind) {
            case TTypeKind::tkChar: WriteChar(static_cast<char>(v)); break;
            case TTypeKind::tkEnumeration: {
                if (IsBooleanType(prop.PropType)) {
                    WriteBoolean(v != 0);
                    break;
                }
                std::string name = prop.PropType->GetEnumName(v);
                if (name.empty())
                    WriteInteger(v);
                else
                    WriteIdent(name);
                break;
            }
            case TTypeKind::tkSet: {
                WriteValue(TValueType::vaSet);
                const TTypeInfo* comp = prop.PropType->CompType;
                for (size_t i = 0; comp && i < comp->EnumNames.size() && i < 64; ++i)
                    if ((static_cast<uint64_t>(v) >> i) & 1u) WriteName(comp->EnumNames[i]);
                WriteName(std::string());
                break;
            }
            default: {
                std::string ident;
                if (prop.PropType->IntToIdent && prop.PropType->IntToIdent(v, ident))
                    WriteIdent(ident);
                else
                    WriteInteger(v);
                break;
            }
        }
    } else if (kind == TTypeKind::tkFloat) {
        WritePropName(prop.Name);
        WriteFloat(prop.GetFloat(instance));
    } else if (IsStringKind(kind)) {
        WritePropName(prop.Name);
        WriteString(prop.GetStr(instance));
    }
}

std::string TWriter::ReferenceName(TComponent* c) const {
    if (!root_ || c->Name().empty()) return {};
    if (c == root_) return "Owner";
    if (c->Owner() == root_) return c->Name();
    std::string path = c->Name();
    for (TComponent* o = c->Owner(); o; o = o->Owner()) {
        if (o == root_) return path;
        if (o->Name().empty()) return {};
        path = o->Name() + "." + path;
    }
    return path;  // a component of another root, named by its owner
}

void TWriter::WriteLE(uint64_t v, int bytes) {
    uint8_t b[8];
    for (int i = 0; i < bytes; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
    Write(b, bytes);
}

void TWriter::WriteInteger(int64_t v) {
    if (v >= INT8_MIN && v <= INT8_MAX) {
        WriteValue(TValueType::vaInt8);
        WriteLE(static_cast<uint64_t>(v), 1);
    } else if (v >= INT16_MIN && v <= INT16_MAX) {
        WriteValue(TValueType::vaInt16);
        WriteLE(static_cast<uint64_t>(v), 2);
    } else if (v >= INT32_MIN && v <= INT32_MAX) {
        WriteValue(TValueType::vaInt32);
        WriteLE(static_cast<uint64_t>(v), 4);
    } else {
        WriteValue(TValueType::vaInt64);
        WriteLE(static_cast<uint64_t>(v), 8);
    }
}

void TWriter::WriteBoolean(bool v) { WriteValue(v ? TValueType::vaTrue : TValueType::vaFalse); }

void TWriter::WriteChar(char v) { WriteString(std::string(1, v)); }

void TWriter::WriteString(const std::string& v) {
    if (v.size() > UINT32_MAX) throw EWriteError("String too long for a component stream");
    WriteValue(TValueType::vaString);
    WriteLE(v.size(), 4);
    Write(v.data(), static_cast<int64_t>(v.size()));
}

void TWriter::WriteFloat(long double v) { WriteExtended(LongDoubleToExtended(v)); }

void TWriter::WriteExtended(const TExtended80& bytes) {
    WriteValue(TValueType::vaExtended);
    Write(bytes.data(), 10);
}

void TWriter::WriteIdent(const std::string& ident) {
    if (SameText(ident, "False"))
        WriteValue(TValueType::vaFalse);
    else if (SameText(ident, "True"))
        WriteValue(TValueType::vaTrue);
    else if (SameText(ident, "nil"))
        WriteValue(TValueType::vaNil);
    else {
        WriteValue(TValueType::vaIdent);
        WriteName(ident);
    }
}

void TWriter::WriteBinary(const void* data, uint32_t size) {
    WriteValue(TValueType::vaBinary);
    WriteLE(size, 4);
    Write(data, size);
}

void TWriter::WriteListBegin() { WriteValue(TValueType::vaList); }
void TWriter::WriteListEnd() { WriteValue(TValueType::vaNull); }

void TWriter::WriteCollection(TCollection* collection) {
    WriteValue(TValueType::vaCollection);
    std::string saved = std::move(propPath_);
    for (int i = 0; i < collection->Count(); ++i) {
        propPath_.clear();
        WriteValue(TValueType::vaList);
        WriteProperties(collection->Items(i));
        WriteName(std::string());
    }
    propPath_ = std::move(saved);
    WriteValue(TValueType::vaNull);
}

void TWriter::DefineProperty(const std::string& name, TReaderProc, TWriterProc writeData,
                             bool hasData) {
    if (!hasData || !writeData) return;
    WritePropName(name);
    writeData(*this);
}

void TWriter::DefineBinaryProperty(const std::string& name, TStreamProc, TStreamProc writeData,
                                   bool hasData) {
    if (!hasData || !writeData) return;
    TMemoryStream data;
    writeData(data);
    if (data.Size() > UINT32_MAX) throw EWriteError("Binary property " + name + " is too large");
    WritePropName(name);
    WriteBinary(data.Memory(), static_cast<uint32_t>(data.Size()));
}

// ---- TReader ----

TReader::TReader(TStream& stream) : stream_(stream) {}
TReader::~TReader() = default;

void TReader::Read(void* data, int64_t size) { stream_.ReadBuffer(data, size); }

uint8_t TReader::ReadByte() {
    uint8_t b;
    Read(&b, 1);
    return b;
}

std::string TReader::ReadName() {
    uint8_t n = ReadByte();
    std::string s(n, '\0');
    Read(s.data(), n);
    return s;
}

void TReader::PropertyError(const std::string& detail) const {
    throw EReadError(propPath_.empty() ? detail : "Error reading " + propPath_ + ": " + detail);
}

void TReader::ReadSignature() {
    char sig[4];
    Read(sig, 4);
    if (std::memcmp(sig, kSignature, 4) != 0) throw EReadError("Invalid stream format");
}

TValueType TReader::ReadValue() {
    uint8_t b = ReadByte();
    if (b > static_cast<uint8_t>(TValueType::vaCollection))
        throw EReadError("Invalid stream format: unknown value type " + IntToStr(b));
    return static_cast<TValueType>(b);
}

TValueType TReader::NextValue() {
    TValueType t = ReadValue();
    stream_.Seek(-1, TSeekOrigin::soCurrent);
    return t;
}

uint64_t TReader::ReadLE(int bytes) {
    uint8_t b[8];
    Read(b, bytes);
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[i];
    return v;
}

int64_t TReader::ReadOrdinal(TValueType t) {
    switch (t) {
        case TValueType::vaInt8: return static_cast<int8_t>(ReadLE(1));
        case TValueType::vaInt16: return static_cast<int16_t>(ReadLE(2));
        case TValueType::vaInt32: return static_cast<int32_t>(ReadLE(4));
        case TValueType::vaInt64: return static_cast<int64_t>(ReadLE(8));
        default: PropertyError("Invalid property value");
    }
}

int64_t TReader::ReadInt64() { return ReadOrdinal(ReadValue()); }

int32_t TReader::ReadInteger() {
    int64_t v = ReadInt64();
    if (v < INT32_MIN || v > INT32_MAX) PropertyError("Invalid property value");
    return static_cast<int32_t>(v);
}

bool TReader::ReadBoolean() {
    TValueType t = ReadValue();
    if (t == TValueType::vaTrue) return true;
    if (t == TValueType::vaFalse) return false;
    PropertyError("Invalid property value");
}

std::string TReader::ReadString() {
    if (ReadValue() != TValueType::vaString) PropertyError("Invalid property value");
    uint64_t n = ReadLE(4);
    if (static_cast<int64_t>(n) > stream_.Remaining()) throw EReadError("Stream read error");
    std::string s(n, '\0');
    Read(s.data(), n);
    return s;
}

char TReader::ReadChar() {
    std::string s = ReadString();
    if (s.size() != 1) PropertyError("Invalid property value");
    return s[0];
}

long double TReader::ReadFloat() {
    TValueType t = ReadValue();
    if (t == TValueType::vaExtended) return ExtendedToLongDouble(ReadExtended());
    return static_cast<long double>(ReadOrdinal(t));
}

TExtended80 TReader::ReadExtended() {
    TExtended80 b;
    Read(b.data(), 10);
    return b;
}

std::string TReader::ReadIdent() {
    switch (ReadValue()) {
        case TValueType::vaIdent: return ReadName();
        case TValueType::vaFalse: return "False";
        case TValueType::vaTrue: return "True";
        case TValueType::vaNil: return "nil";
        default: PropertyError("Invalid property value");
    }
}

std::vector<uint8_t> TReader::ReadBinary() {
    if (ReadValue() != TValueType::vaBinary) PropertyError("Invalid property value");
    uint64_t n = ReadLE(4);
    if (static_cast<int64_t>(n) > stream_.Remaining()) throw EReadError("Stream read error");
    std::vector<uint8_t> data(n);
    Read(data.data(), n);
    return data;
}

void TReader::ReadListBegin() {
    if (ReadValue() != TValueType::vaList) PropertyError("Invalid property value");
}
void TReader::ReadListEnd() {
    if (ReadValue() != TValueType::vaNull) PropertyError("Invalid property value");
}
bool TReader::EndOfList() { return NextValue() == TValueType::vaNull; }

void TReader::SkipValue() { SkipValue(0); }

void TReader::SkipValue(int depth) {
    if (depth > kMaxDepth) throw EReadError("Invalid stream format: values nest too deeply");
    TValueType t = ReadValue();
    switch (t) {
        case TValueType::vaNull:
        case TValueType::vaFalse:
        case TValueType::vaTrue:
        case TValueType::vaNil: return;
        case TValueType::vaInt8:
        case TValueType::vaInt16:
        case TValueType::vaInt32:
        case TValueType::vaInt64: ReadOrdinal(t); return;
        case TValueType::vaExtended: ReadExtended(); return;
        case TValueType::vaIdent: ReadName(); return;
        case TValueType::vaString:
        case TValueType::vaBinary:
            stream_.Seek(-1, TSeekOrigin::soCurrent);
            if (t == TValueType::vaString)
                ReadString();
            else
                ReadBinary();
            return;
        case TValueType::vaSet:
            while (!ReadName().empty()) {}
            return;
        case TValueType::vaList:
            while (NextValue() != TValueType::vaNull) SkipValue(depth + 1);
            ReadValue();
            return;
        case TValueType::vaCollection:
            while (NextValue() != TValueType::vaNull) {
                if (ReadValue() != TValueType::vaList) throw EReadError("Invalid stream format");
                while (!ReadName().empty()) SkipValue(depth + 1);
            }
            ReadValue();
            return;
    }
}

TComponent* TReader::ReadRootComponent(TComponent* root) {
    if (!root) throw EInvalidOperation("ReadRootComponent needs a root; ReadRoot makes one");
    return ReadRootInto(root, nullptr);
}

std::unique_ptr<TComponent> TReader::ReadRoot() {
    std::unique_ptr<TComponent> made;
    ReadRootInto(nullptr, &made);
    return made;
}

TComponent* TReader::ReadRootInto(TComponent* root, std::unique_ptr<TComponent>* made) {
    ReadSignature();
    std::string className = ReadName();
    std::string name = ReadName();
    std::unique_ptr<TComponent> newRoot;
    if (!root) {
        TClass cls = FindClass(className);
        if (!cls->NewComponent) throw EReadError("Cannot create a component of class " + className);
        newRoot.reset(cls->NewComponent(nullptr));
        root = newRoot.get();
    } else {
        bool compatible = false;
        for (TClass c = root->ClassType(); c; c = c->ClassParent())
            if (SameText(c->ClassName(), className)) compatible = true;
        if (!compatible)
            throw EReadError("Cannot read a " + className + " into a " + root->ClassName());
    }
    root_ = root;
    owner_ = root;
    try {
        root->SetLoading(true);
        if (!name.empty() || newRoot) root->SetName(name);
        loaded_.push_back(root);
        ReadComponentData(root, 0);
        ResolveFixups();
        for (size_t i = 0; i < loaded_.size(); ++i) loaded_[i]->Loaded();
    } catch (...) {
        if (!newRoot) {
            // the children this read made go; the caller's root stays
            for (size_t i = loaded_.size(); i-- > 1;) delete loaded_[i];
            root->SetLoading(false);
        }
        loaded_.clear();
        fixups_.clear();
        anchors_.clear();
        throw;  // a new root takes its children with it
    }
    loaded_.clear();
    if (made) *made = std::move(newRoot);
    return root;
}

void TReader::ReadComponentData(TComponent* component, int depth) {
    if (depth > kMaxDepth) throw EReadError("Invalid stream format: components nest too deeply");
    ReadProperties(component, depth);
    while (NextNameNonEmpty()) ReadChild(component, depth + 1);
}

bool TReader::NextNameNonEmpty() {
    if (ReadByte() == 0) return false;
    stream_.Seek(-1, TSeekOrigin::soCurrent);
    return true;
}

TComponent* TReader::ReadChild(TComponent* parent, int depth) {
    std::string className = ReadName();
    std::string name = ReadName();
    TClass cls = FindClass(className);
    if (!cls->NewComponent) throw EReadError("Cannot create a component of class " + className);
    TComponent* child = cls->NewComponent(owner_);  // owned by the root from here on
    loaded_.push_back(child);
    child->SetLoading(true);
    child->SetName(name);
    child->SetParentComponent(parent);
    ReadComponentData(child, depth);
    return child;
}

void TReader::ReadProperties(TPersistent* instance, int depth) {
    while (NextNameNonEmpty()) ReadProperty(instance, depth);
}

void TReader::ReadProperty(TPersistent* instance, int depth) {
    std::string fullName = ReadName();
    std::string context;
    if (auto* c = dynamic_cast<TComponent*>(instance))
        context = c->Name();
    else
        context = instance->GetNamePath();
    std::string savedPath = propPath_;
    propPath_ = context.empty() ? fullName : context + "." + fullName;
    TPersistent* target = instance;
    size_t start = 0;
    for (;;) {
        size_t dot = fullName.find('.', start);
        std::string segment =
            fullName.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (segment.empty()) PropertyError("Property " + fullName + " does not exist");
        if (dot == std::string::npos) {
            if (const TPropInfo* prop = target->ClassType()->FindProperty(segment)) {
                ReadPropValue(target, *prop, depth);
            } else {
                propName_ = segment;
                propHandled_ = false;
                target->DefineProperties(this);
                bool handled = propHandled_;
                propName_.clear();
                propHandled_ = false;
                if (!handled) PropertyError("Property " + fullName + " does not exist");
            }
            break;
        }
        const TPropInfo* prop = target->ClassType()->FindProperty(segment);
        TObject* sub =
            (prop && prop->Kind() == TTypeKind::tkClass) ? prop->GetObj(target) : nullptr;
        auto* subPersistent = dynamic_cast<TPersistent*>(sub);
        if (!subPersistent || dynamic_cast<TComponent*>(sub))
            PropertyError("Property " + fullName + " does not exist");
        target = subPersistent;
        start = dot + 1;
    }
    propPath_ = std::move(savedPath);
}

void TReader::ReadPropValue(TPersistent* instance, const TPropInfo& prop, int depth) {
    TTypeKind kind = prop.Kind();
    if (kind != TTypeKind::tkClass && !prop.IsWritable())
        PropertyError("Property " + prop.Name + " is read-only");
    try {
        switch (kind) {
            case TTypeKind::tkFloat: SetFloatProp(instance, prop, ReadFloat()); return;
            case TTypeKind::tkLString:
            case TTypeKind::tkString:
            case TTypeKind::tkWString: SetStrProp(instance, prop, ReadString()); return;
            case TTypeKind::tkMethod: {
                if (NextValue() == TValueType::vaNil) {
                    ReadValue();
                    SetMethodProp(instance, prop, TMethod{});
                    return;
                }
                std::string name = ReadIdent();
                const TMethodInfo* m = root_ ? root_->ClassType()->FindMethod(name) : nullptr;
                if (!m) PropertyError("Method '" + name + "' not found");
                SetMethodProp(instance, prop, TMethod{m, root_});
                return;
            }
            case TTypeKind::tkClass: {
                TValueType t = NextValue();
                if (t == TValueType::vaCollection) {
                    auto* coll = dynamic_cast<TCollection*>(prop.GetObj(instance));
                    if (!coll) PropertyError("Invalid property value");
                    ReadCollection(coll, depth + 1);
                    return;
                }
                if (!prop.IsWritable()) PropertyError("Property " + prop.Name + " is read-only");
                if (t == TValueType::vaNil) {
                    ReadValue();
                    SetObjectProp(instance, prop, nullptr);
                    return;
                }
                if (t != TValueType::vaIdent) PropertyError("Invalid property value");
                fixups_.push_back(Fixup{instance, &prop, ReadIdent(), propPath_, anchors_});
                return;
            }
            default: break;
        }
        // ordinal kinds
        TValueType t = ReadValue();
        int64_t v = 0;
        switch (t) {
            case TValueType::vaInt8:
            case TValueType::vaInt16:
            case TValueType::vaInt32:
            case TValueType::vaInt64: v = ReadOrdinal(t); break;
            case TValueType::vaFalse:
            case TValueType::vaTrue:
                if (!IsBooleanType(prop.PropType)) PropertyError("Invalid property value");
                v = t == TValueType::vaTrue;
                break;
            case TValueType::vaIdent: {
                std::string name = ReadName();
                if (kind == TTypeKind::tkEnumeration) {
                    v = prop.PropType->GetEnumValue(name);
                    if (v < 0) PropertyError("Invalid property value");
                } else if (!prop.PropType->IdentToInt || !prop.PropType->IdentToInt(name, v)) {
                    PropertyError("Invalid property value");
                }
                break;
            }
            case TValueType::vaString: {
                if (kind != TTypeKind::tkChar) PropertyError("Invalid property value");
                stream_.Seek(-1, TSeekOrigin::soCurrent);
                v = static_cast<unsigned char>(ReadChar());
                break;
            }
            case TValueType::vaSet: {
                if (kind != TTypeKind::tkSet) PropertyError("Invalid property value");
                uint64_t mask = 0;
                for (std::string name = ReadName(); !name.empty(); name = ReadName()) {
                    int bit =
                        prop.PropType->CompType ? prop.PropType->CompType->GetEnumValue(name) : -1;
                    if (bit < 0 || bit >= 64) PropertyError("Invalid property value");
                    mask |= uint64_t(1) << bit;
                }
                v = static_cast<int64_t>(mask);
                break;
            }
            default: PropertyError("Invalid property value");
        }
        SetOrdProp(instance, prop, v);
    } catch (const ERangeError&) {
        PropertyError("Invalid property value");
    } catch (const EInvalidCast&) {
        PropertyError("Invalid property value");
    } catch (const EPropertyError& e) {
        PropertyError(e.Message());
    } catch (const EConvertError& e) {
        PropertyError(e.Message());
    }
}

void TReader::ReadCollection(TCollection* collection, int depth) {
    if (depth > kMaxDepth) throw EReadError("Invalid stream format: collections nest too deeply");
    ReadValue();  // vaCollection
    // references recorded inside the items about to be replaced would dangle
    for (int i = 0; i < collection->Count(); ++i) DropFixupsOf(collection->Items(i));
    collection->BeginUpdate();
    try {
        collection->Clear();
        while (NextValue() != TValueType::vaNull) {
            if (ReadValue() != TValueType::vaList) PropertyError("Invalid property value");
            TCollectionItem* item = collection->Add();
            anchors_.push_back(item);
            std::string saved = std::move(propPath_);
            try {
                ReadProperties(item, depth + 1);
            } catch (...) {
                anchors_.pop_back();
                throw;
            }
            propPath_ = std::move(saved);
            anchors_.pop_back();
        }
        ReadValue();  // vaNull
    } catch (...) {
        collection->EndUpdate();
        throw;
    }
    collection->EndUpdate();
}

void TReader::DropFixupsOf(TCollectionItem* item) {
    std::erase_if(fixups_, [item](const Fixup& f) {
        return std::find(f.anchors.begin(), f.anchors.end(), item) != f.anchors.end();
    });
}

TComponent* TReader::FindReference(const std::string& name) const {
    if (SameText(name, "Owner") || (!root_->Name().empty() && SameText(name, root_->Name())))
        return root_;
    TComponent* c = root_;
    size_t start = 0;
    bool first = true;
    for (;;) {
        size_t dot = name.find('.', start);
        std::string seg =
            name.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (!(first && dot != std::string::npos && SameText(seg, root_->Name())))
            c = c->FindComponent(seg);
        if (!c) return nullptr;
        if (dot == std::string::npos) return c;
        start = dot + 1;
        first = false;
    }
}

void TReader::ResolveFixups() {
    std::vector<Fixup> fixups = std::move(fixups_);
    fixups_.clear();
    for (const Fixup& f : fixups) {
        propPath_ = f.path;
        TComponent* target = FindReference(f.name);
        if (!target) PropertyError("Component '" + f.name + "' not found");
        try {
            SetObjectProp(f.instance, *f.prop, target);
        } catch (const EInvalidCast&) {
            PropertyError("Invalid property value");
        }
    }
    propPath_.clear();
}

void TReader::DefineProperty(const std::string& name, TReaderProc readData, TWriterProc, bool) {
    if (propHandled_ || propName_.empty() || !SameText(name, propName_)) return;
    propHandled_ = true;
    if (readData)
        readData(*this);
    else
        SkipValue();
}

void TReader::DefineBinaryProperty(const std::string& name, TStreamProc readData, TStreamProc,
                                   bool) {
    if (propHandled_ || propName_.empty() || !SameText(name, propName_)) return;
    propHandled_ = true;
    std::vector<uint8_t> bytes = ReadBinary();
    if (readData) {
        TMemoryStream data(bytes.data(), bytes.size());
        readData(data);
    }
}

// ---- helpers ----

void WriteComponentToStream(TStream& stream, TComponent* root) {
    TWriter w(stream);
    w.WriteRootComponent(root);
}

std::vector<uint8_t> ComponentToBytes(TComponent* root) {
    TMemoryStream s;
    WriteComponentToStream(s, root);
    return s.Bytes();
}

std::unique_ptr<TComponent> ReadComponentFromStream(TStream& stream) {
    TReader r(stream);
    return r.ReadRoot();
}

TComponent* ReadComponentFromStream(TStream& stream, TComponent* root) {
    TReader r(stream);
    return r.ReadRootComponent(root);
}

// A string list's lines are stored as a list of strings; defined with the
// reader and writer, so that the object model's base does not need them.
void TStrings::DefineProperties(TFiler* Filer) {
    Filer->DefineProperty(
        "Strings",
        [this](TReader& reader) {
            BeginUpdate();
            try {
                Clear();
                reader.ReadListBegin();
                while (!reader.EndOfList()) Add(reader.ReadString());
                reader.ReadListEnd();
            } catch (...) {
                EndUpdate();
                throw;
            }
            EndUpdate();
        },
        [this](TWriter& writer) {
            writer.WriteListBegin();
            for (int i = 0; i < Count(); ++i) writer.WriteString(Strings(i));
            writer.WriteListEnd();
        },
        Count() > 0);
}
