#pragma once
// Component streams: the binary encoding beginning with "TPF0", its reader
// and writer. The text form of the same streams is in TextForm.h.
//
// Encoding (little-endian):
//   stream    = "TPF0" component
//   component = name(class) name(component) property* 0 component* 0
//   property  = name(property) value
//   name      = u8 length, bytes (at most 255; an empty name ends a list
//               of properties or children, and names an unnamed component)
//   value     = u8 tag, payload (see TValueType)
// Children are the components GetChildren lists; each is read with the root
// as its owner and the enclosing component as its parent component.

#include "objects/Classes.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Value tags of the binary encoding.
enum class TValueType : uint8_t {
    vaNull = 0,      // end of a list, set or collection
    vaInt8 = 1,      // 1 byte, signed
    vaInt16 = 2,     // 2 bytes, signed
    vaInt32 = 3,     // 4 bytes, signed
    vaInt64 = 4,     // 8 bytes, signed
    vaExtended = 5,  // 10 bytes, 80-bit extended float
    vaString = 6,    // u32 length, UTF-8 bytes
    vaIdent = 7,     // name: enumeration value, component reference, method
    vaFalse = 8,
    vaTrue = 9,
    vaNil = 10,
    vaSet = 11,         // names, then an empty name
    vaBinary = 12,      // u32 length, bytes
    vaList = 13,        // values, then vaNull
    vaCollection = 14,  // items (vaList, properties, empty name), then vaNull
};

// 80-bit extended floats: 8 bytes of mantissa with an explicit integer bit,
// then 2 bytes of sign and 15-bit exponent (bias 16383), little-endian.
// Portable: works where long double is only a double.
using TExtended80 = std::array<uint8_t, 10>;
TExtended80 LongDoubleToExtended(long double value);
long double ExtendedToLongDouble(const TExtended80& bytes);

class TWriter : public TFiler {
    TW_CLASS(TWriter, TFiler)
public:
    explicit TWriter(TStream& stream);

    // "TPF0" and the root with its properties and children.
    void WriteRootComponent(TComponent* root);
    void WriteSignature();
    void WriteComponent(TComponent* component);
    // The published and defined properties of any persistent object.
    void WriteProperties(TPersistent* instance);

    // Values, for DefineProperty writers and embedded streams.
    void WriteInteger(int64_t value);  // smallest integer tag that holds it
    void WriteBoolean(bool value);
    void WriteChar(char value);
    void WriteString(const std::string& value);
    void WriteFloat(long double value);
    void WriteIdent(const std::string& ident);
    void WriteBinary(const void* data, uint32_t size);
    void WriteListBegin();
    void WriteListEnd();
    void WriteCollection(TCollection* collection);
    // Building blocks of the encoding: a tag, a short name (at most 255
    // bytes; empty ends a list), the exact bytes of an extended value.
    void WriteValue(TValueType type);
    void WriteName(const std::string& name);
    void WriteExtended(const TExtended80& bytes);

    void DefineProperty(const std::string& name, TReaderProc readData, TWriterProc writeData,
                        bool hasData) override;
    void DefineBinaryProperty(const std::string& name, TStreamProc readData, TStreamProc writeData,
                              bool hasData) override;

private:
    void WriteProperty(TPersistent* instance, const TPropInfo& prop);
    void WritePropName(const std::string& name);
    void Write(const void* data, int64_t size);
    void WriteLE(uint64_t value, int bytes);
    std::string ReferenceName(TComponent* component) const;

    TStream& stream_;
    std::string propPath_;  // "DIB." while writing a sub-object
    int depth_ = 0;
};

class TReader : public TFiler {
    TW_CLASS(TReader, TFiler)
public:
    explicit TReader(TStream& stream);
    ~TReader() override;

    // Reads "TPF0" and one component into `root`: its properties and
    // children (the stream's class must be root's class or one it derives
    // from). ReadRoot instead makes a new component of the stream's class,
    // found in the class registry. Component references are resolved after
    // the whole stream is read, then Loaded is called on each read component
    // in reading order (root first). Any failure raises (EReadError,
    // EClassNotFound, or the error of a setter) and frees every component the
    // reader made, so nothing half-read stays alive; a given root survives,
    // keeping the values read so far.
    TComponent* ReadRootComponent(TComponent* root);
    std::unique_ptr<TComponent> ReadRoot();
    void ReadSignature();

    // Values, for DefineProperty readers and embedded streams. Each raises
    // EReadError "Invalid property value" when the next value has another type.
    TValueType ReadValue();
    TValueType NextValue();
    int32_t ReadInteger();
    int64_t ReadInt64();
    bool ReadBoolean();
    char ReadChar();
    std::string ReadString();
    long double ReadFloat();
    std::string ReadIdent();
    std::vector<uint8_t> ReadBinary();
    void ReadListBegin();
    void ReadListEnd();
    bool EndOfList();
    void SkipValue();
    std::string ReadName();  // a short name; "" ends a list
    // False, after consuming it, when the next name is the empty one that
    // ends a list of properties or children.
    bool NextNameNonEmpty();
    TExtended80 ReadExtended();  // the 10 bytes after a vaExtended tag

    void DefineProperty(const std::string& name, TReaderProc readData, TWriterProc writeData,
                        bool hasData) override;
    void DefineBinaryProperty(const std::string& name, TStreamProc readData, TStreamProc writeData,
                              bool hasData) override;

    // Nesting deeper than this (components, sub-objects, lists) is refused as
    // malformed rather than risking the stack.
    static constexpr int kMaxDepth = 64;

private:
    struct Fixup {
        TPersistent* instance;
        const TPropInfo* prop;
        std::string name;
        std::string path;
        std::vector<TCollectionItem*> anchors;  // the items the instance lives in
    };
    TComponent* ReadRootInto(TComponent* root, std::unique_ptr<TComponent>* made);
    void ReadComponentData(TComponent* component, int depth);
    TComponent* ReadChild(TComponent* parent, int depth);
    void ReadProperties(TPersistent* instance, int depth);
    void ReadProperty(TPersistent* instance, int depth);
    void ReadPropValue(TPersistent* instance, const TPropInfo& prop, int depth);
    void ReadCollection(TCollection* collection, int depth);
    void SkipValue(int depth);
    void DropFixupsOf(TCollectionItem* item);
    TComponent* FindReference(const std::string& name) const;
    void ResolveFixups();
    uint8_t ReadByte();
    uint64_t ReadLE(int bytes);
    void Read(void* data, int64_t size);
    int64_t ReadOrdinal(TValueType type);
    [[noreturn]] void PropertyError(const std::string& detail) const;

    TStream& stream_;
    std::vector<TComponent*> loaded_;  // in reading order, root first
    std::vector<Fixup> fixups_;
    std::vector<TCollectionItem*> anchors_;
    std::string propName_;  // the defined property being looked for
    std::string propPath_;  // for messages: "Knob1.IndexMain.DIBIndex"
    bool propHandled_ = false;
    TComponent* owner_ = nullptr;
};

// Whole-component helpers.
void WriteComponentToStream(TStream& stream, TComponent* root);
std::vector<uint8_t> ComponentToBytes(TComponent* root);
std::unique_ptr<TComponent> ReadComponentFromStream(TStream& stream);
TComponent* ReadComponentFromStream(TStream& stream, TComponent* root);
