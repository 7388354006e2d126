#pragma once
// Template parts of the reflection layer; included by TypInfo.h only.

#include <limits>

namespace tw_detail {

template <class T>
struct IsSet : std::false_type {};
template <class E>
struct IsSet<TSet<E>> : std::true_type {};
template <class T>
struct IsEvent : std::false_type {};
template <class... A>
struct IsEvent<TEvent<A...>> : std::true_type {};

template <class T>
struct TypeInfoMaker {
    static TTypeInfo Make() {
        TTypeInfo t;
        if constexpr (std::is_same_v<T, bool>) {
            t = MakeEnumTypeInfo("Boolean", {"False", "True"});
        } else if constexpr (std::is_same_v<T, char>) {
            t.Kind = TTypeKind::tkChar;
            t.Name = "Char";
            t.MinValue = 0;
            t.MaxValue = 255;
        } else if constexpr (std::is_same_v<T, char16_t>) {
            t.Kind = TTypeKind::tkWChar;
            t.Name = "WideChar";
            t.MinValue = 0;
            t.MaxValue = 0xFFFF;
        } else if constexpr (std::is_integral_v<T>) {
            static_assert(sizeof(T) <= 8);
            t.Kind = sizeof(T) <= 4 ? TTypeKind::tkInteger : TTypeKind::tkInt64;
            t.Name = sizeof(T) <= 4 ? "Integer" : "Int64";
            t.MinValue = static_cast<int64_t>(std::numeric_limits<T>::min());
            t.MaxValue = std::numeric_limits<T>::max() > uint64_t(INT64_MAX)
                             ? INT64_MAX
                             : static_cast<int64_t>(std::numeric_limits<T>::max());
        } else if constexpr (std::is_floating_point_v<T>) {
            t.Kind = TTypeKind::tkFloat;
            t.Name = sizeof(T) == sizeof(float)    ? "Single"
                     : sizeof(T) == sizeof(double) ? "Double"
                                                   : "Extended";
            t.FloatType = sizeof(T) == sizeof(float)  ? TFloatType::ftSingle
                          : std::is_same_v<T, double> ? TFloatType::ftDouble
                                                      : TFloatType::ftExtended;
        } else if constexpr (std::is_same_v<T, std::string>) {
            t.Kind = TTypeKind::tkLString;
            t.Name = "string";
        } else if constexpr (std::is_enum_v<T>) {
            static_assert(sizeof(T) == 0, "give the enumeration its names with TW_ENUM");
        } else {
            static_assert(sizeof(T) == 0, "no published property kind for this type");
        }
        return t;
    }
};

template <class E>
struct TypeInfoMaker<TSet<E>> {
    static TTypeInfo Make() {
        TTypeInfo t;
        t.Kind = TTypeKind::tkSet;
        t.CompType = TypeInfoOf<E>();
        t.Name = "set of " + t.CompType->Name;
        t.MinValue = 0;
        t.MaxValue = 0;
        return t;
    }
};

template <class T>
struct TypeInfoMaker<T*> {
    static_assert(std::is_base_of_v<TObject, T>, "class properties hold TObject descendants");
    static TTypeInfo Make() {
        TTypeInfo t;
        t.Kind = TTypeKind::tkClass;
        t.GetClassType = [] { return T::StaticClass(); };
        return t;
    }
};

template <class... A>
struct TypeInfoMaker<TEvent<A...>> {
    static TTypeInfo Make() {
        TTypeInfo t;
        t.Kind = TTypeKind::tkMethod;
        t.Name = "method";
        t.Signature = typeid(void(A...));
        return t;
    }
};

template <class T>
int64_t ToOrd(const T& v) {
    if constexpr (IsSet<T>::value)
        return static_cast<int64_t>(v.Mask());
    else if constexpr (std::is_same_v<T, char>)
        return static_cast<unsigned char>(v);
    else
        return static_cast<int64_t>(v);
}
template <class T>
T FromOrd(int64_t v) {
    if constexpr (IsSet<T>::value)
        return T::FromMask(static_cast<uint64_t>(v));
    else if constexpr (std::is_same_v<T, bool>)
        return v != 0;
    else if constexpr (std::is_same_v<T, char>)
        return static_cast<char>(static_cast<unsigned char>(v));
    else
        return static_cast<T>(v);
}

template <class C, auto M, class... A>
void MethodThunk(TObject* self, A... args) {
    (static_cast<C*>(self)->*M)(std::forward<A>(args)...);
}
template <class M>
struct MemberFn;
template <class C, class... A>
struct MemberFn<void (C::*)(A...)> {
    using Class = C;
    template <auto M>
    static void (*ThunkOf())(TObject*, A...) {
        return &MethodThunk<C, M, A...>;
    }
    using Signature = void(A...);
};

const TMethodInfo* FindMethodByThunk(TClass cls, void (*thunk)());

}  // namespace tw_detail

template <class T>
const TTypeInfo* TypeInfoOf() {
    static const TTypeInfo info = tw_detail::TypeInfoMaker<T>::Make();
    return &info;
}

template <class... Args>
TEvent<Args...> TEvent<Args...>::FromMethod(const TMethod& m) {
    TEvent e;
    if (!m.Code) return e;
    if (m.Code->Signature != std::type_index(typeid(void(Args...))))
        throw EConvertError("Method " + m.Code->Name + " has incompatible parameters");
    auto thunk = reinterpret_cast<void (*)(TObject*, Args...)>(m.Code->Thunk);
    TObject* data = m.Data;
    e.fn_ = [thunk, data](Args... a) { thunk(data, std::forward<Args>(a)...); };
    e.method_ = m;
    return e;
}

template <class... Args>
template <class C>
TEvent<Args...> TEvent<Args...>::Bind(C* obj, void (C::*fn)(Args...)) {
    TEvent e;
    e.fn_ = [obj, fn](Args... a) { (obj->*fn)(std::forward<Args>(a)...); };
    return e;
}

// The binding of a published method to an object, streamable by name:
//     knob->SetOnChange(EventOf<&TForm1::Knob1Change>(form));
template <auto M>
auto EventOf(typename tw_detail::MemberFn<decltype(M)>::Class* obj) {
    using MF = tw_detail::MemberFn<decltype(M)>;
    auto thunk = MF::template ThunkOf<M>();
    const TMethodInfo* info =
        tw_detail::FindMethodByThunk(obj->ClassType(), reinterpret_cast<void (*)()>(thunk));
    using Fn = typename MF::Signature;
    return [&]<class... A>(void (*)(A...)) {
        if (info) return TEvent<A...>::FromMethod(TMethod{info, obj});
        return TEvent<A...>::Bind(obj, M);
    }(static_cast<Fn*>(nullptr));
}

// Returned by TClassBuilder::Property to add a stored default or a stored flag.
class TPropBuilder {
public:
    explicit TPropBuilder(TPropInfo* p) : p_(p) {}
    template <class T>
    TPropBuilder& Default(const T& v) {
        if constexpr (std::is_floating_point_v<T>) {
            if (p_->Kind() == TTypeKind::tkFloat)
                p_->DefaultFloat = v;
            else
                p_->DefaultOrd = static_cast<int64_t>(v);
        } else if constexpr (std::is_convertible_v<T, std::string>) {
            p_->DefaultStr = std::string(v);
        } else if constexpr (tw_detail::IsSet<T>::value || std::is_enum_v<T> ||
                             std::is_integral_v<T>) {
            if (p_->Kind() == TTypeKind::tkFloat)
                p_->DefaultFloat = static_cast<long double>(tw_detail::ToOrd(v));
            else
                p_->DefaultOrd = tw_detail::ToOrd(v);
        } else {
            static_assert(sizeof(T) == 0, "no stored default for this type");
        }
        return *this;
    }
    // Always written, also when equal to the type's natural default.
    TPropBuilder& NoDefault() {
        p_->DefaultOrd.reset();
        p_->DefaultFloat.reset();
        p_->DefaultStr.reset();
        return *this;
    }
    // Another type of the same kind, for values with names of their own
    // (see TTypeInfo::IntToIdent).
    TPropBuilder& Type(const TTypeInfo* type) {
        if (type && type->Kind == p_->Kind()) p_->PropType = type;
        return *this;
    }
    TPropBuilder& Stored(bool stored) {
        p_->StoredFlag = stored;
        return *this;
    }
    template <class F>
    TPropBuilder& Stored(F&& pred) {
        p_->StoredFn = std::forward<F>(pred);
        return *this;
    }

private:
    TPropInfo* p_;
};

template <class C>
class TClassBuilder {
public:
    static TClassInfo Build(const char* name) {
        TClassInfo info;
        info.name_ = name;
        info.parent_ = C::inherited::StaticClass();
        info.props_ = info.parent_->props_;
        info.abstract_ = std::is_abstract_v<C>;
        if constexpr (!std::is_abstract_v<C>) {
            if constexpr (std::is_base_of_v<TComponent, C> &&
                          std::is_constructible_v<C, TComponent*>)
                info.NewComponent = [](TComponent* owner) -> TComponent* { return new C(owner); };
            if constexpr (std::is_base_of_v<TCollectionItem, C> &&
                          std::is_constructible_v<C, TCollection*>)
                info.NewItem = [](TCollection* c) -> TCollectionItem* { return new C(c); };
            if constexpr (std::is_default_constructible_v<C>)
                info.NewObject = []() -> TObject* { return new C(); };
        }
        TClassBuilder b(info);
        C::DescribeClass(b);
        return info;
    }

    // A published property; see the top of TypInfo.h for the accepted forms.
    template <class G, class S = std::nullptr_t>
    TPropBuilder Property(std::string name, G getter, S setter = nullptr) {
        using T = std::remove_cvref_t<std::invoke_result_t<G&, C*>>;
        auto p = std::make_shared<TPropInfo>();
        p->Name = std::move(name);
        p->PropType = TypeInfoOf<T>();
        auto get = [getter](TObject* o) -> T { return std::invoke(getter, static_cast<C*>(o)); };
        std::function<void(TObject*, const T&)> set;
        if constexpr (std::is_member_object_pointer_v<S>)
            set = [setter](TObject* o, const T& v) { std::invoke(setter, static_cast<C*>(o)) = v; };
        else if constexpr (!std::is_same_v<S, std::nullptr_t>)
            set = [setter](TObject* o, const T& v) { std::invoke(setter, static_cast<C*>(o), v); };
        else if constexpr (std::is_member_object_pointer_v<G> && !std::is_pointer_v<T>)
            // a plain field is writable unless it is an object (owned sub-objects are read-only)
            set = [getter](TObject* o, const T& v) { std::invoke(getter, static_cast<C*>(o)) = v; };

        if constexpr (tw_detail::IsEvent<T>::value) {
            p->GetMethod = [get](TObject* o) { return get(o).Method(); };
            if (set)
                p->SetMethod = [set](TObject* o, const TMethod& m) { set(o, T::FromMethod(m)); };
        } else if constexpr (std::is_pointer_v<T>) {
            using Obj = std::remove_pointer_t<T>;
            p->GetObj = [get](TObject* o) -> TObject* { return get(o); };
            if (set)
                p->SetObj = [set](TObject* o, TObject* v) {
                    Obj* typed = v ? dynamic_cast<Obj*>(v) : nullptr;
                    if (v && !typed) throw EInvalidCast("Invalid class typecast");
                    set(o, typed);
                };
        } else if constexpr (std::is_same_v<T, std::string>) {
            p->GetStr = get;
            if (set) p->SetStr = set;
            p->DefaultStr = std::string();
        } else if constexpr (std::is_floating_point_v<T>) {
            p->GetFloat = [get](TObject* o) { return static_cast<long double>(get(o)); };
            if (set) p->SetFloat = [set](TObject* o, long double v) { set(o, static_cast<T>(v)); };
        } else {
            p->GetOrd = [get](TObject* o) { return tw_detail::ToOrd(get(o)); };
            if (set) p->SetOrd = [set](TObject* o, int64_t v) { set(o, tw_detail::FromOrd<T>(v)); };
        }
        TPropInfo* raw = p.get();
        for (auto& existing : info_.props_)
            if (SameText(existing->Name, p->Name)) {
                existing = std::move(p);
                return TPropBuilder(raw);
            }
        info_.props_.push_back(std::move(p));
        return TPropBuilder(raw);
    }

    // A published method, found by name when a stream names it as an event
    // handler of an object of this class.
    template <auto M>
    TClassBuilder& Method(std::string name) {
        using MF = tw_detail::MemberFn<decltype(M)>;
        auto m = std::make_shared<TMethodInfo>();
        m->Name = std::move(name);
        m->Signature = typeid(typename MF::Signature);
        m->Thunk = reinterpret_cast<void (*)()>(MF::template ThunkOf<M>());
        info_.methods_.push_back(std::move(m));
        return *this;
    }

private:
    explicit TClassBuilder(TClassInfo& info) : info_(info) {}
    TClassInfo& info_;
};
