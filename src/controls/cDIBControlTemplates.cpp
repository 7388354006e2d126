// Control templates: the look of one bitmap control (the pictures its links
// show and the values of its template properties) written to a stream and
// loaded onto another control of the same kind.
//
// Stream (integers 32-bit little-endian): a GUID; the picture count; the link
// count; each distinct picture, in order of first use, as the component
// stream of a TDIBWrapper; each link as (name, display name, picture number),
// strings as length and bytes; then the property block: the count, and per
// entry its name, the size of what follows and the value (ordinals 4 bytes,
// read as unsigned for unsigned types; floats 10, strings length + 4,
// objects a TPersistentWrapper stream).
//
// Loading trusts nothing: every length and count is checked against the bytes
// left and every picture number against the pictures, and the whole stream is
// read and checked before the control or its image list is changed.
#include <algorithm>
#include <cstring>
#include <optional>

#include "controls/cDIBControl.h"
#include "dib/cDIBCompressor.h"
#include "framework/WinApi.h"
#include "objects/Streaming.h"

TW_IMPLEMENT_CLASS(TDIBWrapper) { b.Property("DIB", &TDIBWrapper::DIB); }
TW_IMPLEMENT_CLASS(TPersistentWrapper) {
    b.Property("Persistent", &TPersistentWrapper::Persistent);
}

static const bool kWrappersRegistered =
    (RegisterClasses({TDIBWrapper::StaticClass(), TPersistentWrapper::StaticClass()}), true);

namespace {

constexpr std::int32_t kOrdinalSize = 4;
constexpr std::int32_t kFloatSize = 10;

[[noreturn]] void Malformed(const std::string& what) {
    throw EDIBControlError("The template stream is malformed: " + what + ".");
}

void WriteInt(TStream& s, std::int32_t v) {
    const std::uint8_t b[4] = {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16),
                               std::uint8_t(v >> 24)};
    s.WriteBuffer(b, 4);
}

void WriteText(TStream& s, const std::string& text) {
    WriteInt(s, static_cast<std::int32_t>(text.size()));
    if (!text.empty()) s.WriteBuffer(text.data(), static_cast<std::int64_t>(text.size()));
}

// Reads the template's own pieces, refusing anything beyond the bytes left.
class TemplateReader {
public:
    explicit TemplateReader(TStream& s) : s_(s) {}
    TStream& Stream() { return s_; }
    std::int64_t Left() { return std::max<std::int64_t>(s_.Remaining(), 0); }

    void Bytes(void* into, std::int64_t n, const char* what) {
        if (n < 0 || n > Left()) Malformed(std::string(what) + " runs past the end");
        if (n > 0) s_.ReadBuffer(into, n);
    }
    std::int32_t Int(const char* what) {
        std::uint8_t b[4];
        Bytes(b, 4, what);
        return static_cast<std::int32_t>(std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 |
                                         std::uint32_t(b[2]) << 16 | std::uint32_t(b[3]) << 24);
    }
    // A length that must fit in the bytes left.
    std::int32_t Length(const char* what) {
        const std::int32_t n = Int(what);
        if (n < 0 || n > Left()) Malformed(std::string(what) + " is longer than the stream");
        return n;
    }
    // A count of entries of at least `least` bytes each.
    std::int32_t Count(const char* what, std::int64_t least) {
        const std::int32_t n = Int(what);
        if (n < 0 || n * least > Left()) Malformed(std::string(what) + " exceeds the stream");
        return n;
    }
    std::string Text(const char* what) {
        std::string t(static_cast<std::size_t>(Length(what)), '\0');
        Bytes(t.data(), static_cast<std::int64_t>(t.size()), what);
        return t;
    }

private:
    TStream& s_;
};

bool IsOrdinal(TTypeKind k) {
    return k == TTypeKind::tkInteger || k == TTypeKind::tkEnumeration || k == TTypeKind::tkSet ||
           k == TTypeKind::tkInt64;
}

// An ordinal entry holds 32 bits, read back by the property's own type:
// zero-extended for a type without negative values (unsigned integers,
// enumerations, sets), sign-extended otherwise.
bool UnsignedOrdinal(const TPropInfo& prop) { return prop.PropType->MinValue >= 0; }

std::int64_t OrdinalFromBits(const TPropInfo& prop, std::uint32_t bits) {
    return UnsignedOrdinal(prop) ? std::int64_t(bits) : std::int64_t(std::int32_t(bits));
}

// Whether a value of the property's type is one of its legal values.
bool OrdinalInRange(const TPropInfo& prop, std::int64_t v) {
    const TTypeInfo& t = *prop.PropType;
    if (t.Kind != TTypeKind::tkSet) return v >= t.MinValue && v <= t.MaxValue;
    const std::size_t n = t.CompType ? t.CompType->EnumNames.size() : 0;
    return n >= 64 || (static_cast<std::uint64_t>(v) >> n) == 0;
}

bool IsText(TTypeKind k) {
    return k == TTypeKind::tkChar || k == TTypeKind::tkWChar || k == TTypeKind::tkString ||
           k == TTypeKind::tkLString || k == TTypeKind::tkWString;
}

// The value of a text entry: strings as they are; a character as its one byte,
// a wide character as its two bytes (little-endian); #0 as nothing.
std::string TextValue(TObject* control, const TPropInfo& prop) {
    if (prop.Kind() == TTypeKind::tkChar || prop.Kind() == TTypeKind::tkWChar) {
        const auto v = static_cast<std::uint16_t>(GetOrdProp(control, prop));
        if (v == 0) return {};
        if (prop.Kind() == TTypeKind::tkChar) return std::string(1, static_cast<char>(v));
        return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
    }
    return GetStrProp(control, prop);
}

// The object a class-valued property may carry: a sub-object, never a
// component (a reference to something the control does not own).
TPersistent* TemplatedObject(TObject* control, const TPropInfo& prop) {
    TObject* obj = GetObjectProp(control, prop);
    if (dynamic_cast<TComponent*>(obj)) return nullptr;
    return dynamic_cast<TPersistent*>(obj);
}

// One property entry, read and checked, waiting to be applied.
struct PropertyValue {
    const TPropInfo* prop = nullptr;
    std::int64_t ord = 0;
    long double flt = 0;
    std::string text;
    std::vector<std::uint8_t> object;  // a TPersistentWrapper stream
};

std::optional<PropertyValue> ReadEntry(TemplateReader& r, TObject* control) {
    const std::string name = r.Text("a property name");
    const std::int32_t size = r.Length("a property entry");
    const TPropInfo* prop = GetPropInfo(control, name);
    const TTypeKind kind = prop ? prop->Kind() : TTypeKind::tkUnknown;
    PropertyValue v;
    v.prop = prop;
    const auto fits = [&](bool ok) {
        if (!ok) Malformed("the entry for " + name + " does not fit its property");
    };
    if (prop && IsOrdinal(kind)) {
        fits(size == kOrdinalSize);
        v.ord = OrdinalFromBits(*prop, static_cast<std::uint32_t>(r.Int("a property value")));
        if (!OrdinalInRange(*prop, v.ord)) Malformed("the value for " + name + " is out of range");
    } else if (prop && kind == TTypeKind::tkFloat) {
        fits(size == kFloatSize);
        TExtended80 e;
        r.Bytes(e.data(), kFloatSize, "a property value");
        v.flt = ExtendedToLongDouble(e);
    } else if (prop && IsText(kind)) {
        fits(size >= 4);
        const std::int32_t length = r.Int("a property value");
        fits(length == size - 4);
        v.text.resize(static_cast<std::size_t>(length));
        r.Bytes(v.text.data(), length, "a property value");
        if (kind == TTypeKind::tkChar) fits(length <= 1);
        if (kind == TTypeKind::tkWChar) fits(length == 0 || length == 2);
    } else if (prop && kind == TTypeKind::tkClass && TemplatedObject(control, *prop)) {
        v.object.resize(static_cast<std::size_t>(size));
        r.Bytes(v.object.data(), size, "a property value");
    } else {
        // A property this control does not have, or one templates cannot set.
        r.Stream().Seek(size, TSeekOrigin::soCurrent);
        return std::nullopt;
    }
    return v;
}

void Apply(TObject* control, const PropertyValue& v) {
    const TPropInfo& prop = *v.prop;
    switch (prop.Kind()) {
        case TTypeKind::tkFloat: SetFloatProp(control, prop, v.flt); return;
        case TTypeKind::tkChar:
            SetOrdProp(control, prop, v.text.empty() ? 0 : (unsigned char)v.text[0]);
            return;
        case TTypeKind::tkWChar:
            SetOrdProp(
                control, prop,
                v.text.empty() ? 0 : (unsigned char)v.text[0] | (unsigned char)v.text[1] << 8);
            return;
        case TTypeKind::tkClass: {
            TPersistentWrapper wrapper(nullptr, TemplatedObject(control, prop));
            TMemoryStream in(v.object.data(), v.object.size());
            ReadComponentFromStream(in, &wrapper);
            if (in.Remaining() != 0) Malformed("the entry for " + prop.Name + " has extra bytes");
            return;
        }
        default:
            if (IsText(prop.Kind()))
                SetStrProp(control, prop, v.text);
            else
                SetOrdProp(control, prop, v.ord);
    }
}

}  // namespace

void TCustomDIBControl::SaveTemplate(TStream& Stream) {
    GUID id;
    if (CoCreateGuid(&id) != S_OK)
        throw EDIBControlError("Could not create a GUID for your new template.");
    // Pictures are stored plain, whatever the application compresses with.
    TDIBCompressorScope plain(nullptr);

    // The published class properties, sorted by name: a link is stored under
    // the last one that holds it.
    std::vector<const TPropInfo*> classProps;
    for (const auto& p : ClassType()->Properties())
        if (p->Kind() == TTypeKind::tkClass) classProps.push_back(p.get());
    std::sort(classProps.begin(), classProps.end(),
              [](const TPropInfo* a, const TPropInfo* b) { return a->Name < b->Name; });

    TMemoryStream pictures, records;
    std::vector<int> stored;  // image-list indexes of the pictures, in order
    std::int32_t links = 0;
    for (TDIBImageLink* link : imageLinks_) {
        auto holder = std::find_if(classProps.rbegin(), classProps.rend(),
                                   [&](const TPropInfo* p) { return p->GetObj(this) == link; });
        if (holder == classProps.rend() || !DIBImageList_ ||
            !DIBImageList_->IsIndexValid(link->DIBIndex()))
            continue;
        TDIBImagesItem* item = DIBImageList_->DIBImages()->Items(link->DIBIndex());
        auto at = std::find(stored.begin(), stored.end(), link->DIBIndex());
        if (at == stored.end()) {
            TDIBWrapper wrapper(nullptr, item->DIB());
            WriteComponentToStream(pictures, &wrapper);
            at = stored.insert(stored.end(), link->DIBIndex());
        }
        WriteText(records, (*holder)->Name);
        WriteText(records, item->DisplayName());
        WriteInt(records, static_cast<std::int32_t>(at - stored.begin()));
        ++links;
    }

    Stream.WriteBuffer(&id, sizeof id);
    WriteInt(Stream, static_cast<std::int32_t>(stored.size()));
    WriteInt(Stream, links);
    if (pictures.Size()) Stream.CopyFrom(pictures, 0);
    if (records.Size()) Stream.CopyFrom(records, 0);

    const std::vector<std::string>& names = TemplateProperties();
    WriteInt(Stream, static_cast<std::int32_t>(names.size()));
    for (const std::string& name : names) {
        const TPropInfo& prop = *GetPropInfo(this, name);
        WriteText(Stream, name);
        const TTypeKind kind = prop.Kind();
        if (IsOrdinal(kind)) {
            // A 64-bit value beyond 32 bits would load back as another one.
            const std::int64_t value = GetOrdProp(this, prop);
            const auto bits = static_cast<std::uint32_t>(value);
            if (OrdinalFromBits(prop, bits) != value)
                throw EDIBControlError("The value of " + name +
                                       " does not fit the 32 bits of a template entry.");
            WriteInt(Stream, kOrdinalSize);
            WriteInt(Stream, static_cast<std::int32_t>(bits));
        } else if (kind == TTypeKind::tkFloat) {
            WriteInt(Stream, kFloatSize);
            const TExtended80 e = LongDoubleToExtended(GetFloatProp(this, prop));
            Stream.WriteBuffer(e.data(), kFloatSize);
        } else if (IsText(kind)) {
            const std::string text = TextValue(this, prop);
            WriteInt(Stream, static_cast<std::int32_t>(text.size() + 4));
            WriteText(Stream, text);
        } else {
            TPersistentWrapper wrapper(nullptr, TemplatedObject(this, prop));
            TMemoryStream object;
            WriteComponentToStream(object, &wrapper);
            WriteInt(Stream, static_cast<std::int32_t>(object.Size()));
            Stream.CopyFrom(object, 0);
        }
    }
}

void TCustomDIBControl::LoadTemplate(TStream& Stream) {
    TemplateReader r(Stream);
    GUID id;
    r.Bytes(&id, sizeof id, "the identifier");
    // Least sizes: a picture stream is more than its signature; a link record
    // is three integers.
    const std::int32_t imageCount = r.Count("the picture count", 5);
    const std::int32_t linkCount = r.Count("the link count", 12);
    if (imageCount > 0 && !DIBImageList_)
        throw EDIBControlError("No DIB image list has been assigned.");

    // Everything is read and checked before anything changes.
    std::vector<std::unique_ptr<TMemoryDIB>> pictures;
    for (std::int32_t i = 0; i < imageCount; ++i) {
        pictures.push_back(std::make_unique<TMemoryDIB>());
        TDIBWrapper wrapper(nullptr, pictures.back().get());
        ReadComponentFromStream(Stream, &wrapper);
    }
    struct LinkRecord {
        std::string name, displayName;
        std::int32_t picture;
    };
    std::vector<LinkRecord> records;
    for (std::int32_t i = 0; i < linkCount; ++i) {
        LinkRecord rec;
        rec.name = r.Text("a link name");
        rec.displayName = r.Text("a display name");
        rec.picture = r.Int("a picture number");
        if (rec.picture < 0 || rec.picture >= imageCount)
            Malformed("a link names picture " + std::to_string(rec.picture) + " of " +
                      std::to_string(imageCount));
        records.push_back(std::move(rec));
    }
    std::vector<PropertyValue> values;
    const std::int32_t propCount = r.Count("the property count", 8);
    for (std::int32_t i = 0; i < propCount; ++i)
        if (auto v = ReadEntry(r, this)) values.push_back(std::move(*v));

    std::vector<int> indexes;
    const std::string key = tarnwick::GuidToString(id);
    for (std::int32_t i = 0; i < imageCount; ++i) {
        TDIBImagesItem* item = DIBImageList_->DIBImages()->FindOrAddTemplate(key, i);
        item->SetDIB(pictures[static_cast<std::size_t>(i)].get());
        indexes.push_back(item->Index());
    }
    for (const LinkRecord& rec : records) {
        const TPropInfo* prop = GetPropInfo(this, rec.name);
        auto* link = prop && prop->Kind() == TTypeKind::tkClass
                         ? dynamic_cast<TDIBImageLink*>(GetObjectProp(this, *prop))
                         : nullptr;
        if (!link) continue;
        const int index = indexes[static_cast<std::size_t>(rec.picture)];
        link->SetDIBIndex(index);
        if (!rec.displayName.empty())
            DIBImageList_->DIBImages()->Items(index)->SetDisplayName(rec.displayName);
    }
    for (const PropertyValue& v : values) Apply(this, v);
    Loaded();
}
