#pragma once
// What every object of the VST 3 module needs: a reference count, the
// answer to queryInterface, text in the interfaces' UTF-16, and whole
// records through a host's stream.

#include <atomic>
#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "driver/State.h"
#include "vst3/Vst3Interfaces.h"

namespace tarnwick::vst3 {

// The count of an object that deletes itself when the last reference goes.
// Made with one reference, the creator's.
class RefCount {
public:
    uint32 add() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
    // The references left; 0 when the caller must delete the object.
    uint32 drop() { return refs_.fetch_sub(1, std::memory_order_acq_rel) - 1; }

private:
    std::atomic<uint32> refs_{1};
};

#define TARNWICK_VST3_REFCOUNT(Class)                           \
    uint32 PLUGIN_API addRef() override { return refs_.add(); } \
    uint32 PLUGIN_API release() override {                      \
        const uint32 left = refs_.drop();                       \
        if (left == 0) delete this;                             \
        return left;                                            \
    }                                                           \
    RefCount refs_

// Hands out SELF as INTERFACE when IID names it, with a new reference.
template <class Interface, class Self>
bool Offer(const TUID iid, Self* self, void** obj) {
    if (!iidEqual(iid, Interface::iid.data())) return false;
    Interface* as = self;
    as->addRef();
    *obj = as;
    return true;
}

// The whole of queryInterface: SELF as PRIMARY (also for FUnknown) or as
// one of OTHERS, with a new reference; kNoInterface for anything else.
template <class Primary, class... Others, class Self>
tresult Answer(const TUID iid, Self* self, void** obj) {
    if (!obj) return kInvalidArgument;
    *obj = nullptr;
    if (!iid) return kNoInterface;
    if (iidEqual(iid, FUnknown::iid.data())) {
        Offer<Primary>(Primary::iid.data(), self, obj);
        return kResultOk;
    }
    return Offer<Primary>(iid, self, obj) || (Offer<Others>(iid, self, obj) || ...) ? kResultOk
                                                                                    : kNoInterface;
}

// A reference held for a scope (the host's objects, ours while a call runs).
template <class T>
class Ref {
public:
    Ref() = default;
    explicit Ref(T* object) : object_(object) {
        if (object_) object_->addRef();
    }
    ~Ref() { reset(); }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    void reset(T* object = nullptr) {
        if (object) object->addRef();
        if (object_) object_->release();
        object_ = object;
    }
    T* get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    T* object_ = nullptr;
};

// Asks OBJECT for INTERFACE; the answer holds a reference of its own.
template <class Interface>
void Query(FUnknown* object, Ref<Interface>& into) {
    into.reset();
    void* obj = nullptr;
    if (object && object->queryInterface(Interface::iid.data(), &obj) == kResultOk && obj) {
        into.reset(static_cast<Interface*>(obj));
        static_cast<Interface*>(obj)->release();  // the query's own reference
    }
}

// ASCII or UTF-8 text into a String128 (or any UTF-16 array), cut to fit and
// always terminated; characters beyond ASCII become '?'.
void CopyText(char16* to, std::size_t size, const char* text);
// UTF-16 text from a host, at most MAXCHARS long, as 8-bit text (characters
// beyond ASCII become '?').
std::string Narrow(const char16* text, std::size_t maxChars = 128);
// 8-bit text into a fixed char array, cut to fit and always terminated.
void CopyText(char* to, std::size_t size, const char* text);
// Either into an array, of its size.
template <class Char, std::size_t N>
void CopyText(Char (&to)[N], const char* text) {
    CopyText(to, N, text);
}

// A state record from a host's stream, whole or not at all: kResultOk with
// STATE read, else an error code and STATE as it was.
tresult ReadState(IBStream* stream, driver::GateState& state);

// Reads a host's stream to its end (or its first failure), but never more
// than MAXBYTES + 1 bytes, so that a longer one is known as such. False when
// there is no stream.
bool ReadStream(IBStream* stream, std::size_t maxBytes, std::vector<std::uint8_t>& bytes);
// Writes BYTES whole; false when the stream takes less.
bool WriteStream(IBStream* stream, std::span<const std::uint8_t> bytes);

}  // namespace tarnwick::vst3
