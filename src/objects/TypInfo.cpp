#include "objects/TypInfo.h"

TTypeInfo MakeEnumTypeInfo(std::string name, std::vector<std::string> names) {
    TTypeInfo t;
    t.Kind = TTypeKind::tkEnumeration;
    t.Name = std::move(name);
    t.MinValue = 0;
    t.MaxValue = static_cast<int64_t>(names.size()) - 1;
    t.EnumNames = std::move(names);
    return t;
}

int TTypeInfo::GetEnumValue(std::string_view name) const {
    for (size_t i = 0; i < EnumNames.size(); ++i)
        if (SameText(EnumNames[i], name)) return static_cast<int>(i);
    return -1;
}

std::string TTypeInfo::GetEnumName(int64_t value) const {
    if (value < 0 || value >= static_cast<int64_t>(EnumNames.size())) return {};
    return EnumNames[static_cast<size_t>(value)];
}

// ---- TPropInfo ----

bool TPropInfo::IsWritable() const {
    switch (Kind()) {
        case TTypeKind::tkFloat: return static_cast<bool>(SetFloat);
        case TTypeKind::tkLString:
        case TTypeKind::tkString:
        case TTypeKind::tkWString: return static_cast<bool>(SetStr);
        case TTypeKind::tkClass: return static_cast<bool>(SetObj);
        case TTypeKind::tkMethod: return static_cast<bool>(SetMethod);
        default: return static_cast<bool>(SetOrd);
    }
}

bool TPropInfo::IsStored(TObject* instance) const {
    return StoredFlag && (!StoredFn || StoredFn(instance));
}

bool TPropInfo::IsDefaultValue(TObject* instance) const {
    switch (Kind()) {
        case TTypeKind::tkFloat: return DefaultFloat && GetFloat(instance) == *DefaultFloat;
        case TTypeKind::tkLString:
        case TTypeKind::tkString:
        case TTypeKind::tkWString: return DefaultStr && GetStr(instance) == *DefaultStr;
        case TTypeKind::tkClass: return GetObj(instance) == nullptr;
        case TTypeKind::tkMethod: return GetMethod(instance).Code == nullptr;
        default: return DefaultOrd && GetOrd(instance) == *DefaultOrd;
    }
}

// ---- TClassInfo ----

bool TClassInfo::InheritsFrom(TClass other) const {
    for (TClass c = this; c; c = c->parent_)
        if (c == other) return true;
    return false;
}

const TPropInfo* TClassInfo::FindProperty(std::string_view name) const {
    for (auto& p : props_)
        if (SameText(p->Name, name)) return p.get();
    return nullptr;
}

const TMethodInfo* TClassInfo::FindMethod(std::string_view name) const {
    for (TClass c = this; c; c = c->parent_)
        for (auto& m : c->methods_)
            if (SameText(m->Name, name)) return m.get();
    return nullptr;
}

std::string TClassInfo::MethodName(const TMethodInfo* code) const {
    if (!code) return {};
    for (TClass c = this; c; c = c->parent_)
        for (auto& m : c->methods_)
            if (m.get() == code) return m->Name;
    return {};
}

TClass TObject::StaticClass() {
    static const TClassInfo info = [] {
        TClassInfo i;
        i.name_ = "TObject";
        return i;
    }();
    return &info;
}

const TMethodInfo* tw_detail::FindMethodByThunk(TClass cls, void (*thunk)()) {
    for (TClass c = cls; c; c = c->ClassParent())
        for (auto& m : c->Methods())
            if (m->Thunk == thunk) return m.get();
    return nullptr;
}

// ---- access by name ----

namespace {

const TPropInfo& Need(const TObject* instance, std::string_view name) {
    const TPropInfo* p = instance ? instance->ClassType()->FindProperty(name) : nullptr;
    if (!p) throw EPropertyError("Unknown property: " + std::string(name));
    return *p;
}

bool IsOrdinal(TTypeKind k) {
    return k == TTypeKind::tkInteger || k == TTypeKind::tkChar || k == TTypeKind::tkEnumeration ||
           k == TTypeKind::tkSet || k == TTypeKind::tkWChar || k == TTypeKind::tkInt64;
}
bool IsString(TTypeKind k) {
    return k == TTypeKind::tkLString || k == TTypeKind::tkString || k == TTypeKind::tkWString;
}

void CheckKind(const TPropInfo& p, bool ok) {
    if (!ok) throw EPropertyError("Property " + p.Name + " is of another kind");
}
void CheckWritable(const TPropInfo& p) {
    if (!p.IsWritable()) throw EPropertyError("Property " + p.Name + " is read-only");
}

}  // namespace

const TPropInfo* GetPropInfo(const TObject* instance, std::string_view name) {
    return instance ? instance->ClassType()->FindProperty(name) : nullptr;
}
bool IsPublishedProp(const TObject* instance, std::string_view name) {
    return GetPropInfo(instance, name) != nullptr;
}
TTypeKind PropType(const TObject* instance, std::string_view name) {
    return Need(instance, name).Kind();
}

int64_t GetOrdProp(TObject* o, const TPropInfo& p) {
    CheckKind(p, IsOrdinal(p.Kind()));
    return p.GetOrd(o);
}
void SetOrdProp(TObject* o, const TPropInfo& p, int64_t v) {
    CheckKind(p, IsOrdinal(p.Kind()));
    CheckWritable(p);
    const TTypeInfo& t = *p.PropType;
    if (t.Kind == TTypeKind::tkSet) {
        size_t n = t.CompType ? t.CompType->EnumNames.size() : 0;
        if (n < 64 && (static_cast<uint64_t>(v) >> n) != 0)
            throw ERangeError("Property value out of range");
    } else if (v < t.MinValue || v > t.MaxValue) {
        throw ERangeError("Property value out of range");
    }
    p.SetOrd(o, v);
}
long double GetFloatProp(TObject* o, const TPropInfo& p) {
    CheckKind(p, p.Kind() == TTypeKind::tkFloat);
    return p.GetFloat(o);
}
void SetFloatProp(TObject* o, const TPropInfo& p, long double v) {
    CheckKind(p, p.Kind() == TTypeKind::tkFloat);
    CheckWritable(p);
    p.SetFloat(o, v);
}
std::string GetStrProp(TObject* o, const TPropInfo& p) {
    CheckKind(p, IsString(p.Kind()));
    return p.GetStr(o);
}
void SetStrProp(TObject* o, const TPropInfo& p, const std::string& v) {
    CheckKind(p, IsString(p.Kind()));
    CheckWritable(p);
    p.SetStr(o, v);
}
TObject* GetObjectProp(TObject* o, const TPropInfo& p) {
    CheckKind(p, p.Kind() == TTypeKind::tkClass);
    return p.GetObj(o);
}
void SetObjectProp(TObject* o, const TPropInfo& p, TObject* v) {
    CheckKind(p, p.Kind() == TTypeKind::tkClass);
    CheckWritable(p);
    p.SetObj(o, v);
}
TMethod GetMethodProp(TObject* o, const TPropInfo& p) {
    CheckKind(p, p.Kind() == TTypeKind::tkMethod);
    return p.GetMethod(o);
}
void SetMethodProp(TObject* o, const TPropInfo& p, const TMethod& v) {
    CheckKind(p, p.Kind() == TTypeKind::tkMethod);
    CheckWritable(p);
    p.SetMethod(o, v);
}

int64_t GetOrdProp(TObject* o, std::string_view n) { return GetOrdProp(o, Need(o, n)); }
void SetOrdProp(TObject* o, std::string_view n, int64_t v) { SetOrdProp(o, Need(o, n), v); }
std::string GetEnumProp(TObject* o, std::string_view n) {
    const TPropInfo& p = Need(o, n);
    CheckKind(p, p.Kind() == TTypeKind::tkEnumeration);
    return p.PropType->GetEnumName(p.GetOrd(o));
}
void SetEnumProp(TObject* o, std::string_view n, std::string_view value) {
    const TPropInfo& p = Need(o, n);
    CheckKind(p, p.Kind() == TTypeKind::tkEnumeration);
    int v = p.PropType->GetEnumValue(value);
    if (v < 0) throw ERangeError("Invalid enumeration value: " + std::string(value));
    SetOrdProp(o, p, v);
}
long double GetFloatProp(TObject* o, std::string_view n) { return GetFloatProp(o, Need(o, n)); }
void SetFloatProp(TObject* o, std::string_view n, long double v) { SetFloatProp(o, Need(o, n), v); }
std::string GetStrProp(TObject* o, std::string_view n) { return GetStrProp(o, Need(o, n)); }
void SetStrProp(TObject* o, std::string_view n, const std::string& v) {
    SetStrProp(o, Need(o, n), v);
}
TObject* GetObjectProp(TObject* o, std::string_view n) { return GetObjectProp(o, Need(o, n)); }
void SetObjectProp(TObject* o, std::string_view n, TObject* v) { SetObjectProp(o, Need(o, n), v); }
TMethod GetMethodProp(TObject* o, std::string_view n) { return GetMethodProp(o, Need(o, n)); }
void SetMethodProp(TObject* o, std::string_view n, const TMethod& v) {
    SetMethodProp(o, Need(o, n), v);
}
