#pragma once
// The object root and the reflection layer: class identity, published
// properties described once per class, published methods, events.
//
// A class takes part by putting TW_CLASS(Class, Parent) first in its body
// (it leaves the access at private) and, in one source file,
//
//     TW_IMPLEMENT_CLASS(TKnob) {
//         b.Property("Position", &TKnob::Position, &TKnob::SetPosition).Default(0);
//         b.Property("Kind", &TKnob::Kind, &TKnob::SetKind);          // enum: needs TW_ENUM
//         b.Property("OnChange", &TKnob::onChange_);                  // a field works too
//         b.Method("KnobChange", &TKnob::KnobChange);                 // published method
//     }
//
// Getters may be member functions (`T Get() const`), fields or callables
// taking the object; setters member functions taking T or const T&, fields,
// callables, or nothing for read-only. A field given alone is read and written
// directly, except an object pointer, which is then read-only. The kind
// is deduced from the value type: bool and enums (enumeration), char
// (character), char16_t (wide character), other integers up to 32 bits
// (integer), 64-bit integers (int64), float/double/long double (float,
// streamed as 80-bit extended), std::string (string), TSet<E> (set), T* of a
// TObject class (class: a component reference when T is a TComponent, a
// sub-object otherwise), TEvent<...> (method).
// A class inherits its parent's properties; redeclaring a name replaces it
// in place (to change a default, for example).

#include "objects/SysUtils.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeindex>
#include <vector>

class TObject;
class TClassInfo;
class TComponent;
class TCollection;
class TCollectionItem;
using TClass = const TClassInfo*;
template <class C>
class TClassBuilder;

// ---- type information ----------------------------------------------------

enum class TTypeKind : uint8_t {
    tkUnknown,
    tkInteger,
    tkChar,
    tkEnumeration,
    tkFloat,
    tkString,
    tkSet,
    tkClass,
    tkMethod,
    tkWChar,
    tkLString,
    tkWString,
    tkVariant,
    tkArray,
    tkRecord,
    tkInterface,
    tkInt64,
    tkDynArray
};

enum class TFloatType : uint8_t { ftSingle, ftDouble, ftExtended };

struct TTypeInfo {
    TTypeKind Kind = TTypeKind::tkUnknown;
    std::string Name;
    int64_t MinValue = 0;  // ordinal kinds
    int64_t MaxValue = 0;
    std::vector<std::string> EnumNames;   // enumeration: names by ordinal
    const TTypeInfo* CompType = nullptr;  // set: its element enumeration
    TClass (*GetClassType)() = nullptr;   // class: the declared class (resolved lazily)
    TFloatType FloatType = TFloatType::ftExtended;
    std::type_index Signature = typeid(void);  // method: the event's signature
    // Integer kinds: names for some values (clWhite for a colour), which
    // streams write in place of the number and read back.
    bool (*IntToIdent)(int64_t value, std::string& ident) = nullptr;
    bool (*IdentToInt)(std::string_view ident, int64_t& value) = nullptr;

    TClass ClassType() const { return GetClassType ? GetClassType() : nullptr; }
    // The ordinal of an enumeration name (case-insensitive), or -1.
    int GetEnumValue(std::string_view name) const;
    // The name of an ordinal, or "" when out of range.
    std::string GetEnumName(int64_t value) const;
};

// Type information by C++ type; specialised for enumerations by TW_ENUM.
template <class T>
const TTypeInfo* TypeInfoOf();

// Gives an enumeration its names, in ordinal order. Use at namespace scope,
// in the header that declares the enumeration:
//     enum TTransparentMode : uint8_t { tmAuto, tmFixed };
//     TW_ENUM(TTransparentMode, "tmAuto", "tmFixed");
#define TW_ENUM(Enum, ...)                                                    \
    template <>                                                               \
    inline const TTypeInfo* TypeInfoOf<Enum>() {                              \
        static const TTypeInfo info = MakeEnumTypeInfo(#Enum, {__VA_ARGS__}); \
        return &info;                                                         \
    }

TTypeInfo MakeEnumTypeInfo(std::string name, std::vector<std::string> names);

// A set of up to 64 enumeration values; the ordinal value is the bit mask.
template <class E>
class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> elems) {
        for (E e : elems) Include(e);
    }
    static constexpr TSet FromMask(uint64_t m) {
        TSet s;
        s.bits_ = m;
        return s;
    }
    constexpr uint64_t Mask() const { return bits_; }
    constexpr bool Contains(E e) const { return (bits_ >> Bit(e)) & 1u; }
    constexpr TSet& Include(E e) {
        bits_ |= uint64_t(1) << Bit(e);
        return *this;
    }
    constexpr TSet& Exclude(E e) {
        bits_ &= ~(uint64_t(1) << Bit(e));
        return *this;
    }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr TSet operator+(TSet o) const { return FromMask(bits_ | o.bits_); }
    constexpr TSet operator-(TSet o) const { return FromMask(bits_ & ~o.bits_); }
    constexpr TSet operator*(TSet o) const { return FromMask(bits_ & o.bits_); }
    constexpr bool operator==(const TSet&) const = default;

private:
    static constexpr unsigned Bit(E e) { return static_cast<unsigned>(e) & 63u; }
    uint64_t bits_ = 0;
};

// ---- methods and events ----------------------------------------------------

// A published method of a class, found by name when an event is read.
struct TMethodInfo {
    std::string Name;
    std::type_index Signature = typeid(void);  // void(Args...)
    void (*Thunk)() = nullptr;                 // really void(*)(TObject*, Args...)
};

// A method reference without its type: the object and the published method.
// Code is null for an unassigned event or one bound to a plain function.
struct TMethod {
    const TMethodInfo* Code = nullptr;
    TObject* Data = nullptr;
    bool operator==(const TMethod&) const = default;
};

// An event: a handler with the given arguments, or none. It is either bound to
// a published method (and then streams by that method's name) or to any
// callable (and then is not streamed).
template <class... Args>
class TEvent {
public:
    using Signature = void(Args...);
    TEvent() = default;
    TEvent(std::nullptr_t) {}
    template <class F, class = std::enable_if_t<std::is_invocable_v<F&, Args...> &&
                                                !std::is_same_v<std::decay_t<F>, TEvent>>>
    TEvent(F&& f) : fn_(std::forward<F>(f)) {}
    // Binds a published method (see TClassBuilder::Method) to an object.
    // Raises EConvertError when the method's arguments differ.
    static TEvent FromMethod(const TMethod& m);
    // Binds any member function of `obj` (not streamable by name unless it is
    // also published: the binding records it when found).
    template <class C>
    static TEvent Bind(C* obj, void (C::*fn)(Args...));

    explicit operator bool() const { return static_cast<bool>(fn_); }
    bool Assigned() const { return static_cast<bool>(fn_); }
    void operator()(Args... args) const {
        if (fn_) fn_(std::forward<Args>(args)...);
    }
    const TMethod& Method() const { return method_; }
    bool operator==(std::nullptr_t) const { return !fn_; }

private:
    std::function<void(Args...)> fn_;
    TMethod method_;
};

using TNotifyEvent = TEvent<TObject*>;

// ---- properties ------------------------------------------------------------

// One published property. The accessors are type-erased by kind: ordinal
// kinds (integer, char, enumeration, set, int64) use Ord, float uses Float,
// strings Str, classes Obj, events Method.
struct TPropInfo {
    std::string Name;
    const TTypeInfo* PropType = nullptr;
    std::function<int64_t(TObject*)> GetOrd;
    std::function<void(TObject*, int64_t)> SetOrd;
    std::function<long double(TObject*)> GetFloat;
    std::function<void(TObject*, long double)> SetFloat;
    std::function<std::string(TObject*)> GetStr;
    std::function<void(TObject*, const std::string&)> SetStr;
    std::function<TObject*(TObject*)> GetObj;
    std::function<void(TObject*, TObject*)> SetObj;
    std::function<TMethod(TObject*)> GetMethod;
    std::function<void(TObject*, const TMethod&)> SetMethod;
    // Stored default: a property equal to it is not written. Ordinals and
    // floats have none unless declared; strings default to "".
    std::optional<int64_t> DefaultOrd;
    std::optional<long double> DefaultFloat;
    std::optional<std::string> DefaultStr;
    bool StoredFlag = true;
    std::function<bool(TObject*)> StoredFn;

    TTypeKind Kind() const { return PropType ? PropType->Kind : TTypeKind::tkUnknown; }
    bool IsWritable() const;
    bool IsStored(TObject* instance) const;
    // True when the current value equals the stored default (or, for
    // references, objects and events, when it is none).
    bool IsDefaultValue(TObject* instance) const;
};

// ---- classes ---------------------------------------------------------------

// The description of one class: name, parent, published properties (the
// parent's first), published methods and factories for the stream reader.
class TClassInfo {
public:
    const std::string& ClassName() const { return name_; }
    TClass ClassParent() const { return parent_; }
    bool InheritsFrom(TClass other) const;
    const std::vector<std::shared_ptr<const TPropInfo>>& Properties() const { return props_; }
    const TPropInfo* FindProperty(std::string_view name) const;  // case-insensitive
    const TMethodInfo* FindMethod(std::string_view name) const;  // case-insensitive, inherited too
    // The published name of a method of this class (or its parents), or "".
    std::string MethodName(const TMethodInfo* code) const;
    bool IsAbstract() const { return abstract_; }
    // The methods this class itself publishes (not its parents').
    const std::vector<std::shared_ptr<const TMethodInfo>>& Methods() const { return methods_; }

    // Factories; null when the class cannot be made that way (abstract, or no
    // such constructor). A component made with an owner belongs to it.
    TComponent* (*NewComponent)(TComponent* owner) = nullptr;
    TCollectionItem* (*NewItem)(TCollection* collection) = nullptr;
    TObject* (*NewObject)() = nullptr;

private:
    template <class C>
    friend class TClassBuilder;
    friend class TObject;
    std::string name_;
    TClass parent_ = nullptr;
    bool abstract_ = false;
    std::vector<std::shared_ptr<const TPropInfo>> props_;
    std::vector<std::shared_ptr<const TMethodInfo>> methods_;  // own only
};

// The root of every class of the framework.
class TObject {
public:
    using inherited = void;
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;

    static TClass StaticClass();
    virtual TClass ClassType() const { return StaticClass(); }
    const std::string& ClassName() const { return ClassType()->ClassName(); }
    bool InheritsFrom(TClass c) const { return ClassType()->InheritsFrom(c); }
    template <class T>
    bool Is() const {
        return dynamic_cast<const T*>(this) != nullptr;
    }
};

#define TW_CLASS(Cls, Parent)                                   \
public:                                                         \
    using inherited = Parent;                                   \
    static TClass StaticClass();                                \
    TClass ClassType() const override { return StaticClass(); } \
                                                                \
private:                                                        \
    friend class TClassBuilder<Cls>;                            \
    static void DescribeClass(TClassBuilder<Cls>& b);

#define TW_IMPLEMENT_CLASS(Cls)                                         \
    TClass Cls::StaticClass() {                                         \
        static const TClassInfo info = TClassBuilder<Cls>::Build(#Cls); \
        return &info;                                                   \
    }                                                                   \
    void Cls::DescribeClass([[maybe_unused]] TClassBuilder<Cls>& b)

// ---- access by name (what templates and features use) ----------------------

const TPropInfo* GetPropInfo(const TObject* instance, std::string_view name);
bool IsPublishedProp(const TObject* instance, std::string_view name);
TTypeKind PropType(const TObject* instance,
                   std::string_view name);  // raises EPropertyError when absent

// These raise EPropertyError "Unknown property: <name>" when the property is
// missing, EPropertyError when it is read-only or of another kind, and
// ERangeError "Property value out of range" for an ordinal outside its type.
int64_t GetOrdProp(TObject* instance, std::string_view name);
void SetOrdProp(TObject* instance, std::string_view name, int64_t value);
std::string GetEnumProp(TObject* instance, std::string_view name);
void SetEnumProp(TObject* instance, std::string_view name, std::string_view value);
long double GetFloatProp(TObject* instance, std::string_view name);
void SetFloatProp(TObject* instance, std::string_view name, long double value);
std::string GetStrProp(TObject* instance, std::string_view name);
void SetStrProp(TObject* instance, std::string_view name, const std::string& value);
TObject* GetObjectProp(TObject* instance, std::string_view name);
void SetObjectProp(TObject* instance, std::string_view name,
                   TObject* value);  // EInvalidCast on a wrong class
TMethod GetMethodProp(TObject* instance, std::string_view name);
void SetMethodProp(TObject* instance, std::string_view name, const TMethod& value);

// The same by property record (no name lookup).
int64_t GetOrdProp(TObject* instance, const TPropInfo& prop);
void SetOrdProp(TObject* instance, const TPropInfo& prop, int64_t value);
long double GetFloatProp(TObject* instance, const TPropInfo& prop);
void SetFloatProp(TObject* instance, const TPropInfo& prop, long double value);
std::string GetStrProp(TObject* instance, const TPropInfo& prop);
void SetStrProp(TObject* instance, const TPropInfo& prop, const std::string& value);
TObject* GetObjectProp(TObject* instance, const TPropInfo& prop);
void SetObjectProp(TObject* instance, const TPropInfo& prop, TObject* value);
TMethod GetMethodProp(TObject* instance, const TPropInfo& prop);
void SetMethodProp(TObject* instance, const TPropInfo& prop, const TMethod& value);

#include "objects/TypInfoImpl.h"
