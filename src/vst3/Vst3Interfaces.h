#pragma once
// The VST 3 binary interface between a host and this module: the fixed-width
// types, the 16-byte interface identifiers, the result codes, the interfaces
// (abstract classes whose virtual methods are the vtable slots, in slot
// order) and the records they pass by address. Interfaces are called across
// compilers, so nothing here may add a vtable slot (no virtual destructors)
// or change a record's layout; the checks at the end pin the layouts.
//
// Two platforms, both x86-64: Linux with GCC and Windows with mingw-w64.
// They differ in three places only: the byte order of an identifier's first
// eight bytes (Windows stores them as a COM GUID), the result codes (Windows
// uses the HRESULT values) and the calling convention (__stdcall on
// Windows, which x86-64 compilers treat as the one native convention).

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

// The records below are laid out for 64-bit pointers; 32-bit hosts would
// need other sizes (and, on Windows, other packing).
#if UINTPTR_MAX != UINT64_MAX
#error "The VST 3 interfaces are declared for 64-bit targets only"
#endif

// Every interface method and every entry point of the module uses it.
#if defined(_WIN32)
#define PLUGIN_API __stdcall
#else
#define PLUGIN_API
#endif

namespace tarnwick::vst3 {

// ---------------------------------------------------------------------------
// Basic types

using int8 = char;
using uint8 = uint8_t;
using uchar = unsigned char;
using int16 = int16_t;
using uint16 = uint16_t;
using int32 = int32_t;
using uint32 = uint32_t;
using int64 = int64_t;
using uint64 = uint64_t;
using TSize = int64;
using tresult = int32;
using TPtrInt = uint64;
using TBool = uint8;
using char8 = char;
using char16 = char16_t;
using tchar = char8;
using CStringA = const char8*;
using CStringW = const char16*;
using CString = const char8*;
// An identifier passed as text: class ids, interface ids in createInstance,
// attribute and message ids, platform type names.
using FIDString = const char8*;
using UCoord = int32;

inline constexpr int32 kMaxInt32 = INT32_MAX;
inline constexpr int32 kMinInt32 = INT32_MIN;
inline constexpr uint32 kMaxInt32u = UINT32_MAX;
inline constexpr int64 kMaxInt64 = INT64_MAX;
inline constexpr int64 kMinInt64 = INT64_MIN;
inline constexpr uint64 kMaxInt64u = UINT64_MAX;

// ---------------------------------------------------------------------------
// Result codes. The Windows values are the HRESULTs of COM (E_NOINTERFACE,
// S_OK, S_FALSE, E_INVALIDARG, E_NOTIMPL, E_FAIL, E_UNEXPECTED,
// E_OUTOFMEMORY); elsewhere they are small integers. Only kResultOk is the
// same everywhere, so code must compare with the names, never with numbers.

#if defined(_WIN32)
inline constexpr tresult kNoInterface = static_cast<tresult>(0x80004002u);
inline constexpr tresult kResultOk = static_cast<tresult>(0x00000000u);
inline constexpr tresult kResultTrue = kResultOk;
inline constexpr tresult kResultFalse = static_cast<tresult>(0x00000001u);
inline constexpr tresult kInvalidArgument = static_cast<tresult>(0x80070057u);
inline constexpr tresult kNotImplemented = static_cast<tresult>(0x80004001u);
inline constexpr tresult kInternalError = static_cast<tresult>(0x80004005u);
inline constexpr tresult kNotInitialized = static_cast<tresult>(0x8000FFFFu);
inline constexpr tresult kOutOfMemory = static_cast<tresult>(0x8007000Eu);
#else
inline constexpr tresult kNoInterface = -1;
inline constexpr tresult kResultOk = 0;
inline constexpr tresult kResultTrue = kResultOk;
inline constexpr tresult kResultFalse = 1;
inline constexpr tresult kInvalidArgument = 2;
inline constexpr tresult kNotImplemented = 3;
inline constexpr tresult kInternalError = 4;
inline constexpr tresult kNotInitialized = 5;
inline constexpr tresult kOutOfMemory = 6;
#endif

// ---------------------------------------------------------------------------
// Identifiers. An interface or class id is 16 bytes, written in source as
// four 32-bit words. Without COM compatibility the bytes are the words in
// big-endian order. With it (Windows) the first eight bytes are a GUID's
// Data1 (word 1, little-endian), Data2 (high half of word 2, little-endian)
// and Data3 (low half of word 2, little-endian); the last eight bytes are
// big-endian in both orders. The text form (32 hexadecimal digits, as
// moduleinfo.json and the compatibility JSON write it) is the four words and
// is therefore the same on every platform.

using TUID = char[16];

struct Uid {
    char bytes[16];

    constexpr const char* data() const { return bytes; }
    friend constexpr bool operator==(const Uid&, const Uid&) = default;
};

enum class UidByteOrder { kPlain, kCom };

#if defined(_WIN32)
inline constexpr UidByteOrder kPlatformUidByteOrder = UidByteOrder::kCom;
#else
inline constexpr UidByteOrder kPlatformUidByteOrder = UidByteOrder::kPlain;
#endif

constexpr char uidByte(uint32 word, int shift) { return static_cast<char>((word >> shift) & 0xFF); }

constexpr Uid makeUid(UidByteOrder order, uint32 l1, uint32 l2, uint32 l3, uint32 l4) {
    Uid uid{};
    if (order == UidByteOrder::kCom) {
        const int firstHalf[8] = {0, 8, 16, 24, 16, 24, 0, 8};
        for (int i = 0; i < 8; ++i) uid.bytes[i] = uidByte(i < 4 ? l1 : l2, firstHalf[i]);
    } else {
        for (int i = 0; i < 4; ++i) {
            uid.bytes[i] = uidByte(l1, 24 - 8 * i);
            uid.bytes[4 + i] = uidByte(l2, 24 - 8 * i);
        }
    }
    for (int i = 0; i < 4; ++i) {
        uid.bytes[8 + i] = uidByte(l3, 24 - 8 * i);
        uid.bytes[12 + i] = uidByte(l4, 24 - 8 * i);
    }
    return uid;
}

// The identifier as this platform stores it.
constexpr Uid inlineUid(uint32 l1, uint32 l2, uint32 l3, uint32 l4) {
    return makeUid(kPlatformUidByteOrder, l1, l2, l3, l4);
}

constexpr Uid uidFromTuid(const char* tuid) {
    Uid uid{};
    for (int i = 0; i < 16; ++i) uid.bytes[i] = tuid[i];
    return uid;
}

// The four words back from the stored bytes (the inverse of makeUid).
constexpr std::array<uint32, 4> uidWords(const Uid& uid,
                                         UidByteOrder order = kPlatformUidByteOrder) {
    auto b = [&uid](int i) { return static_cast<uint32>(static_cast<uint8>(uid.bytes[i])); };
    auto big = [&b](int at) { return b(at) << 24 | b(at + 1) << 16 | b(at + 2) << 8 | b(at + 3); };
    if (order == UidByteOrder::kCom) {
        return {b(3) << 24 | b(2) << 16 | b(1) << 8 | b(0),
                b(5) << 24 | b(4) << 16 | b(7) << 8 | b(6), big(8), big(12)};
    }
    return {big(0), big(4), big(8), big(12)};
}

// The text form: 32 upper-case hexadecimal digits and a terminating zero.
constexpr std::array<char, 33> uidToString(const Uid& uid,
                                           UidByteOrder order = kPlatformUidByteOrder) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::array<char, 33> text{};
    const std::array<uint32, 4> words = uidWords(uid, order);
    for (int w = 0; w < 4; ++w) {
        for (int d = 0; d < 8; ++d) text[w * 8 + d] = kDigits[(words[w] >> (28 - 4 * d)) & 0xF];
    }
    return text;
}

// Interface ids arrive as plain pointers to 16 bytes; compare all of them.
inline bool iidEqual(const void* a, const void* b) { return std::memcmp(a, b, 16) == 0; }

// ---------------------------------------------------------------------------
// Base interfaces

class FUnknown {
public:
    virtual tresult PLUGIN_API queryInterface(const TUID _iid, void** obj) = 0;
    virtual uint32 PLUGIN_API addRef() = 0;
    virtual uint32 PLUGIN_API release() = 0;

    static constexpr Uid iid = inlineUid(0x00000000, 0x00000000, 0xC0000000, 0x00000046);
};

class IPluginBase : public FUnknown {
public:
    virtual tresult PLUGIN_API initialize(FUnknown* context) = 0;
    virtual tresult PLUGIN_API terminate() = 0;

    static constexpr Uid iid = inlineUid(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);
};

class IBStream : public FUnknown {
public:
    enum IStreamSeekMode { kIBSeekSet = 0, kIBSeekCur, kIBSeekEnd };

    virtual tresult PLUGIN_API read(void* buffer, int32 numBytes,
                                    int32* numBytesRead = nullptr) = 0;
    virtual tresult PLUGIN_API write(void* buffer, int32 numBytes,
                                     int32* numBytesWritten = nullptr) = 0;
    virtual tresult PLUGIN_API seek(int64 pos, int32 mode, int64* result = nullptr) = 0;
    virtual tresult PLUGIN_API tell(int64* pos) = 0;

    static constexpr Uid iid = inlineUid(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);
};

// ---------------------------------------------------------------------------
// The factory: what the module's GetPluginFactory returns. Text fields are
// zero-terminated within their arrays.

struct PFactoryInfo {
    enum FactoryFlags {
        kNoFlags = 0,
        kClassesDiscardable = 1 << 0,
        kLicenseCheck = 1 << 1,
        kComponentNonDiscardable = 1 << 3,
        kUnicode = 1 << 4
    };
    enum { kURLSize = 256, kEmailSize = 128, kNameSize = 64 };

    char8 vendor[kNameSize]{};
    char8 url[kURLSize]{};
    char8 email[kEmailSize]{};
    int32 flags{};
};

struct PClassInfo {
    enum ClassCardinality { kManyInstances = 0x7FFFFFFF };
    enum { kCategorySize = 32, kNameSize = 64 };

    TUID cid{};
    int32 cardinality{};
    char8 category[kCategorySize]{};
    char8 name[kNameSize]{};
};

struct PClassInfo2 {
    enum { kVendorSize = 64, kVersionSize = 64, kSubCategoriesSize = 128 };

    TUID cid{};
    int32 cardinality{};
    char8 category[PClassInfo::kCategorySize]{};
    char8 name[PClassInfo::kNameSize]{};
    uint32 classFlags{};
    char8 subCategories[kSubCategoriesSize]{};
    char8 vendor[kVendorSize]{};
    char8 version[kVersionSize]{};
    char8 sdkVersion[kVersionSize]{};
};

struct PClassInfoW {
    enum { kVendorSize = 64, kVersionSize = 64, kSubCategoriesSize = 128 };

    TUID cid{};
    int32 cardinality{};
    char8 category[PClassInfo::kCategorySize]{};
    char16 name[PClassInfo::kNameSize]{};
    uint32 classFlags{};
    char8 subCategories[kSubCategoriesSize]{};
    char16 vendor[kVendorSize]{};
    char16 version[kVersionSize]{};
    char16 sdkVersion[kVersionSize]{};
};

class IPluginFactory : public FUnknown {
public:
    virtual tresult PLUGIN_API getFactoryInfo(PFactoryInfo* info) = 0;
    virtual int32 PLUGIN_API countClasses() = 0;
    virtual tresult PLUGIN_API getClassInfo(int32 index, PClassInfo* info) = 0;
    virtual tresult PLUGIN_API createInstance(FIDString cid, FIDString _iid, void** obj) = 0;

    static constexpr Uid iid = inlineUid(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);
};

class IPluginFactory2 : public IPluginFactory {
public:
    virtual tresult PLUGIN_API getClassInfo2(int32 index, PClassInfo2* info) = 0;

    static constexpr Uid iid = inlineUid(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);
};

class IPluginFactory3 : public IPluginFactory2 {
public:
    virtual tresult PLUGIN_API getClassInfoUnicode(int32 index, PClassInfoW* info) = 0;
    virtual tresult PLUGIN_API setHostContext(FUnknown* context) = 0;

    static constexpr Uid iid = inlineUid(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931);
};

// A class of this category answers, as UTF-8 JSON5 written into the stream,
// which older class ids (a VST 2 plug-in's among them) each class replaces:
// [{"New": "<32 hex digits>", "Old": ["<32 hex digits>", ...]}, ...]. Hosts
// read it only from a module that has no moduleinfo.json.
inline constexpr FIDString kPluginCompatibilityClass = "Plugin Compatibility Class";

class IPluginCompatibility : public FUnknown {
public:
    virtual tresult PLUGIN_API getCompatibilityJSON(IBStream* stream) = 0;

    static constexpr Uid iid = inlineUid(0x4AFD4B6A, 0x35D7C240, 0xA5C31414, 0xFB7D15E6);
};

// The module's exported functions, by name and type. GetPluginFactory is
// exported everywhere; Linux modules also export ModuleEntry (given the
// handle of the loaded library) and ModuleExit, Windows modules InitDll and
// ExitDll. The entry and exit calls may come more than once and must pair.
using GetFactoryProc = IPluginFactory*(PLUGIN_API*)();
using ModuleEntryFunc = bool(PLUGIN_API*)(void* sharedLibraryHandle);
using ModuleExitFunc = bool(PLUGIN_API*)();
using InitModuleFunc = bool(PLUGIN_API*)();
using ExitModuleFunc = bool(PLUGIN_API*)();

inline constexpr const char* kGetPluginFactoryName = "GetPluginFactory";
inline constexpr const char* kModuleEntryName = "ModuleEntry";
inline constexpr const char* kModuleExitName = "ModuleExit";
inline constexpr const char* kInitDllName = "InitDll";
inline constexpr const char* kExitDllName = "ExitDll";

// ---------------------------------------------------------------------------
// Audio plug-in types

inline constexpr FIDString kVstVersionString = "VST 3.7.14";

inline constexpr FIDString kVstAudioEffectClass = "Audio Module Class";
inline constexpr FIDString kVstComponentControllerClass = "Component Controller Class";

using TChar = char16;
using String128 = TChar[128];

using MediaType = int32;
using BusDirection = int32;
using BusType = int32;
using IoMode = int32;
using UnitID = int32;
using ParamValue = double;
using ParamID = uint32;
using ProgramListID = int32;
using CtrlNumber = int16;
using TQuarterNotes = double;
using TSamples = int64;
using ColorSpec = uint32;
using Sample32 = float;
using Sample64 = double;
using SampleRate = double;
using SpeakerArrangement = uint64;
using Speaker = uint64;

inline constexpr ParamID kNoParamId = 0xFFFFFFFF;
inline constexpr ParamID kMinParamId = 0;
inline constexpr ParamID kMaxParamId = 0x7FFFFFFF;

inline constexpr int32 kDefaultFactoryFlags = PFactoryInfo::kUnicode;

// The subcategories of PClassInfo2, joined by '|' when a class has several.
namespace PlugType {
inline constexpr CString kFx = "Fx";
inline constexpr CString kFxDynamics = "Fx|Dynamics";
inline constexpr CString kFxTools = "Fx|Tools";
inline constexpr CString kMono = "Mono";
inline constexpr CString kStereo = "Stereo";
}  // namespace PlugType

// PClassInfo2::classFlags of an audio component.
enum ComponentFlags { kDistributable = 1 << 0, kSimpleModeSupported = 1 << 1 };

inline constexpr Speaker kSpeakerL = 1 << 0;
inline constexpr Speaker kSpeakerR = 1 << 1;
inline constexpr Speaker kSpeakerM = 1 << 19;

namespace SpeakerArr {
inline constexpr SpeakerArrangement kEmpty = 0;
inline constexpr SpeakerArrangement kMono = kSpeakerM;
inline constexpr SpeakerArrangement kStereo = kSpeakerL | kSpeakerR;
}  // namespace SpeakerArr

namespace ViewType {
inline constexpr CString kEditor = "editor";
}  // namespace ViewType

inline constexpr UnitID kRootUnitId = 0;
inline constexpr UnitID kNoParentUnitId = -1;
inline constexpr ProgramListID kNoProgramListId = -1;
inline constexpr int32 kAllProgramInvalid = -1;

// The audio interfaces' records are declared under the packing their
// published headers apply (16 on 64-bit targets, which leaves every member
// at its natural alignment); the checks at the end confirm it.
#pragma pack(push, 16)

enum MediaTypes { kAudio = 0, kEvent, kNumMediaTypes };
enum BusDirections { kInput = 0, kOutput };
enum BusTypes { kMain = 0, kAux };
enum IoModes { kSimple = 0, kAdvanced, kOfflineProcessing };

struct BusInfo {
    MediaType mediaType;
    BusDirection direction;
    int32 channelCount;
    String128 name;
    BusType busType;
    uint32 flags;

    enum BusFlags { kDefaultActive = 1 << 0, kIsControlVoltage = 1 << 1 };
};

struct RoutingInfo {
    MediaType mediaType;
    int32 busIndex;
    int32 channel;
};

class IComponent : public IPluginBase {
public:
    virtual tresult PLUGIN_API getControllerClassId(TUID classId) = 0;
    virtual tresult PLUGIN_API setIoMode(IoMode mode) = 0;
    virtual int32 PLUGIN_API getBusCount(MediaType type, BusDirection dir) = 0;
    virtual tresult PLUGIN_API getBusInfo(MediaType type, BusDirection dir, int32 index,
                                          BusInfo& bus) = 0;
    virtual tresult PLUGIN_API getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) = 0;
    virtual tresult PLUGIN_API activateBus(MediaType type, BusDirection dir, int32 index,
                                           TBool state) = 0;
    virtual tresult PLUGIN_API setActive(TBool state) = 0;
    virtual tresult PLUGIN_API setState(IBStream* state) = 0;
    virtual tresult PLUGIN_API getState(IBStream* state) = 0;

    static constexpr Uid iid = inlineUid(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
};

enum SymbolicSampleSizes { kSample32, kSample64 };
enum ProcessModes { kRealtime, kPrefetch, kOffline };

inline constexpr uint32 kNoTail = 0;
inline constexpr uint32 kInfiniteTail = kMaxInt32u;

struct ProcessSetup {
    int32 processMode;
    int32 symbolicSampleSize;
    int32 maxSamplesPerBlock;
    SampleRate sampleRate;
};

struct AudioBusBuffers {
    int32 numChannels = 0;
    uint64 silenceFlags = 0;
    union {
        Sample32** channelBuffers32;
        Sample64** channelBuffers64 = nullptr;
    };
};

struct FrameRate {
    enum FrameRateFlags { kPullDownRate = 1 << 0, kDropRate = 1 << 1 };

    uint32 framesPerSecond;
    uint32 flags;
};

struct Chord {
    uint8 keyNote;
    uint8 rootNote;
    int16 chordMask;

    enum Masks { kChordMask = 0x0FFF, kReservedMask = 0xF000 };
};

struct ProcessContext {
    enum StatesAndFlags {
        kPlaying = 1 << 1,
        kCycleActive = 1 << 2,
        kRecording = 1 << 3,
        kSystemTimeValid = 1 << 8,
        kContTimeValid = 1 << 17,
        kProjectTimeMusicValid = 1 << 9,
        kBarPositionValid = 1 << 11,
        kCycleValid = 1 << 12,
        kTempoValid = 1 << 10,
        kTimeSigValid = 1 << 13,
        kChordValid = 1 << 18,
        kSmpteValid = 1 << 14,
        kClockValid = 1 << 15
    };

    uint32 state;
    double sampleRate;
    TSamples projectTimeSamples;
    int64 systemTime;
    TSamples continousTimeSamples;
    TQuarterNotes projectTimeMusic;
    TQuarterNotes barPositionMusic;
    TQuarterNotes cycleStartMusic;
    TQuarterNotes cycleEndMusic;
    double tempo;
    int32 timeSigNumerator;
    int32 timeSigDenominator;
    Chord chord;
    int32 smpteOffsetSubframes;
    FrameRate frameRate;
    int32 samplesToNextClock;
};

// A gate has no use for note events; the record is left undeclared and only
// passed by reference.
struct Event;

class IEventList : public FUnknown {
public:
    virtual int32 PLUGIN_API getEventCount() = 0;
    virtual tresult PLUGIN_API getEvent(int32 index, Event& e) = 0;
    virtual tresult PLUGIN_API addEvent(Event& e) = 0;

    static constexpr Uid iid = inlineUid(0x3A2C4214, 0x346349FE, 0xB2C4F397, 0xB9695A44);
};

class IParamValueQueue : public FUnknown {
public:
    virtual ParamID PLUGIN_API getParameterId() = 0;
    virtual int32 PLUGIN_API getPointCount() = 0;
    virtual tresult PLUGIN_API getPoint(int32 index, int32& sampleOffset, ParamValue& value) = 0;
    virtual tresult PLUGIN_API addPoint(int32 sampleOffset, ParamValue value, int32& index) = 0;

    static constexpr Uid iid = inlineUid(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);
};

class IParameterChanges : public FUnknown {
public:
    virtual int32 PLUGIN_API getParameterCount() = 0;
    virtual IParamValueQueue* PLUGIN_API getParameterData(int32 index) = 0;
    virtual IParamValueQueue* PLUGIN_API addParameterData(const ParamID& id, int32& index) = 0;

    static constexpr Uid iid = inlineUid(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);
};

struct ProcessData {
    int32 processMode = 0;
    int32 symbolicSampleSize = kSample32;
    int32 numSamples = 0;
    int32 numInputs = 0;
    int32 numOutputs = 0;
    AudioBusBuffers* inputs = nullptr;
    AudioBusBuffers* outputs = nullptr;
    IParameterChanges* inputParameterChanges = nullptr;
    IParameterChanges* outputParameterChanges = nullptr;
    IEventList* inputEvents = nullptr;
    IEventList* outputEvents = nullptr;
    ProcessContext* processContext = nullptr;
};

class IAudioProcessor : public FUnknown {
public:
    virtual tresult PLUGIN_API setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                  SpeakerArrangement* outputs, int32 numOuts) = 0;
    virtual tresult PLUGIN_API getBusArrangement(BusDirection dir, int32 index,
                                                 SpeakerArrangement& arr) = 0;
    virtual tresult PLUGIN_API canProcessSampleSize(int32 symbolicSampleSize) = 0;
    virtual uint32 PLUGIN_API getLatencySamples() = 0;
    virtual tresult PLUGIN_API setupProcessing(ProcessSetup& setup) = 0;
    virtual tresult PLUGIN_API setProcessing(TBool state) = 0;
    virtual tresult PLUGIN_API process(ProcessData& data) = 0;
    virtual uint32 PLUGIN_API getTailSamples() = 0;

    static constexpr Uid iid = inlineUid(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);
};

class IProcessContextRequirements : public FUnknown {
public:
    enum Flags {
        kNeedSystemTime = 1 << 0,
        kNeedContinousTimeSamples = 1 << 1,
        kNeedProjectTimeMusic = 1 << 2,
        kNeedBarPositionMusic = 1 << 3,
        kNeedCycleMusic = 1 << 4,
        kNeedSamplesToNextClock = 1 << 5,
        kNeedTempo = 1 << 6,
        kNeedTimeSignature = 1 << 7,
        kNeedChord = 1 << 8,
        kNeedFrameRate = 1 << 9,
        kNeedTransportState = 1 << 10,
    };

    virtual uint32 PLUGIN_API getProcessContextRequirements() = 0;

    static constexpr Uid iid = inlineUid(0x2A654303, 0xEF764E3D, 0x95B5FE83, 0x730EF6D0);
};

// ---------------------------------------------------------------------------
// Host objects: attributes, messages, connections, the application

class IAttributeList : public FUnknown {
public:
    using AttrID = const char*;

    virtual tresult PLUGIN_API setInt(AttrID id, int64 value) = 0;
    virtual tresult PLUGIN_API getInt(AttrID id, int64& value) = 0;
    virtual tresult PLUGIN_API setFloat(AttrID id, double value) = 0;
    virtual tresult PLUGIN_API getFloat(AttrID id, double& value) = 0;
    virtual tresult PLUGIN_API setString(AttrID id, const TChar* string) = 0;
    // The size is in bytes, not characters.
    virtual tresult PLUGIN_API getString(AttrID id, TChar* string, uint32 sizeInBytes) = 0;
    virtual tresult PLUGIN_API setBinary(AttrID id, const void* data, uint32 sizeInBytes) = 0;
    virtual tresult PLUGIN_API getBinary(AttrID id, const void*& data, uint32& sizeInBytes) = 0;

    static constexpr Uid iid = inlineUid(0x1E5F0AEB, 0xCC7F4533, 0xA2544011, 0x38AD5EE4);
};

class IMessage : public FUnknown {
public:
    virtual FIDString PLUGIN_API getMessageID() = 0;
    virtual void PLUGIN_API setMessageID(FIDString id) = 0;
    virtual IAttributeList* PLUGIN_API getAttributes() = 0;

    static constexpr Uid iid = inlineUid(0x936F033B, 0xC6C047DB, 0xBB0882F8, 0x13C1E613);
};

class IConnectionPoint : public FUnknown {
public:
    virtual tresult PLUGIN_API connect(IConnectionPoint* other) = 0;
    virtual tresult PLUGIN_API disconnect(IConnectionPoint* other) = 0;
    virtual tresult PLUGIN_API notify(IMessage* message) = 0;

    static constexpr Uid iid = inlineUid(0x70A4156F, 0x6E6E4026, 0x989148BF, 0xAA60D8D1);
};

class IHostApplication : public FUnknown {
public:
    virtual tresult PLUGIN_API getName(String128 name) = 0;
    virtual tresult PLUGIN_API createInstance(TUID cid, TUID _iid, void** obj) = 0;

    static constexpr Uid iid = inlineUid(0x58E595CC, 0xDB2D4969, 0x8B6AAF8C, 0x36A664E5);
};

// ---------------------------------------------------------------------------
// The edit controller and its host side

struct ParameterInfo {
    ParamID id;
    String128 title;
    String128 shortTitle;
    String128 units;
    int32 stepCount;
    ParamValue defaultNormalizedValue;
    UnitID unitId;
    int32 flags;

    enum ParameterFlags : int32 {
        kNoFlags = 0,
        kCanAutomate = 1 << 0,
        kIsReadOnly = 1 << 1,
        kIsWrapAround = 1 << 2,
        kIsList = 1 << 3,
        kIsHidden = 1 << 4,
        kIsProgramChange = 1 << 15,
        kIsBypass = 1 << 16
    };
};

enum RestartFlags : int32 {
    kReloadComponent = 1 << 0,
    kIoChanged = 1 << 1,
    kParamValuesChanged = 1 << 2,
    kLatencyChanged = 1 << 3,
    kParamTitlesChanged = 1 << 4,
    kMidiCCAssignmentChanged = 1 << 5,
    kNoteExpressionChanged = 1 << 6,
    kIoTitlesChanged = 1 << 7,
    kPrefetchableSupportChanged = 1 << 8,
    kRoutingInfoChanged = 1 << 9,
    kKeyswitchChanged = 1 << 10,
    kParamIDMappingChanged = 1 << 11
};

class IComponentHandler : public FUnknown {
public:
    virtual tresult PLUGIN_API beginEdit(ParamID id) = 0;
    virtual tresult PLUGIN_API performEdit(ParamID id, ParamValue valueNormalized) = 0;
    virtual tresult PLUGIN_API endEdit(ParamID id) = 0;
    virtual tresult PLUGIN_API restartComponent(int32 flags) = 0;

    static constexpr Uid iid = inlineUid(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);
};

class IComponentHandler2 : public FUnknown {
public:
    virtual tresult PLUGIN_API setDirty(TBool state) = 0;
    virtual tresult PLUGIN_API requestOpenEditor(FIDString name = ViewType::kEditor) = 0;
    virtual tresult PLUGIN_API startGroupEdit() = 0;
    virtual tresult PLUGIN_API finishGroupEdit() = 0;

    static constexpr Uid iid = inlineUid(0xF040B4B3, 0xA36045EC, 0xABCDC045, 0xB4D5A2CC);
};

class IPlugView;

class IEditController : public IPluginBase {
public:
    virtual tresult PLUGIN_API setComponentState(IBStream* state) = 0;
    virtual tresult PLUGIN_API setState(IBStream* state) = 0;
    virtual tresult PLUGIN_API getState(IBStream* state) = 0;
    virtual int32 PLUGIN_API getParameterCount() = 0;
    virtual tresult PLUGIN_API getParameterInfo(int32 paramIndex, ParameterInfo& info) = 0;
    virtual tresult PLUGIN_API getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                                     String128 string) = 0;
    virtual tresult PLUGIN_API getParamValueByString(ParamID id, TChar* string,
                                                     ParamValue& valueNormalized) = 0;
    virtual ParamValue PLUGIN_API normalizedParamToPlain(ParamID id,
                                                         ParamValue valueNormalized) = 0;
    virtual ParamValue PLUGIN_API plainParamToNormalized(ParamID id, ParamValue plainValue) = 0;
    virtual ParamValue PLUGIN_API getParamNormalized(ParamID id) = 0;
    virtual tresult PLUGIN_API setParamNormalized(ParamID id, ParamValue value) = 0;
    virtual tresult PLUGIN_API setComponentHandler(IComponentHandler* handler) = 0;
    virtual IPlugView* PLUGIN_API createView(FIDString name) = 0;

    static constexpr Uid iid = inlineUid(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);
};

using KnobMode = int32;
enum KnobModes : KnobMode { kCircularMode = 0, kRelativCircularMode, kLinearMode };

class IEditController2 : public FUnknown {
public:
    virtual tresult PLUGIN_API setKnobMode(KnobMode mode) = 0;
    virtual tresult PLUGIN_API openHelp(TBool onlyCheck) = 0;
    virtual tresult PLUGIN_API openAboutBox(TBool onlyCheck) = 0;

    static constexpr Uid iid = inlineUid(0x7F4EFE59, 0xF3204967, 0xAC27A3AE, 0xAFB63038);
};

// ---------------------------------------------------------------------------
// Units and program lists

struct UnitInfo {
    UnitID id;
    UnitID parentUnitId;
    String128 name;
    ProgramListID programListId;
};

struct ProgramListInfo {
    ProgramListID id;
    String128 name;
    int32 programCount;
};

class IUnitHandler : public FUnknown {
public:
    virtual tresult PLUGIN_API notifyUnitSelection(UnitID unitId) = 0;
    virtual tresult PLUGIN_API notifyProgramListChange(ProgramListID listId,
                                                       int32 programIndex) = 0;

    static constexpr Uid iid = inlineUid(0x4B5147F8, 0x4654486B, 0x8DAB30BA, 0x163A3C56);
};

class IUnitInfo : public FUnknown {
public:
    virtual int32 PLUGIN_API getUnitCount() = 0;
    virtual tresult PLUGIN_API getUnitInfo(int32 unitIndex, UnitInfo& info) = 0;
    virtual int32 PLUGIN_API getProgramListCount() = 0;
    virtual tresult PLUGIN_API getProgramListInfo(int32 listIndex, ProgramListInfo& info) = 0;
    virtual tresult PLUGIN_API getProgramName(ProgramListID listId, int32 programIndex,
                                              String128 name) = 0;
    virtual tresult PLUGIN_API getProgramInfo(ProgramListID listId, int32 programIndex,
                                              CString attributeId, String128 attributeValue) = 0;
    virtual tresult PLUGIN_API hasProgramPitchNames(ProgramListID listId, int32 programIndex) = 0;
    virtual tresult PLUGIN_API getProgramPitchName(ProgramListID listId, int32 programIndex,
                                                   int16 midiPitch, String128 name) = 0;
    virtual UnitID PLUGIN_API getSelectedUnit() = 0;
    virtual tresult PLUGIN_API selectUnit(UnitID unitId) = 0;
    virtual tresult PLUGIN_API getUnitByBus(MediaType type, BusDirection dir, int32 busIndex,
                                            int32 channel, UnitID& unitId) = 0;
    virtual tresult PLUGIN_API setUnitProgramData(int32 listOrUnitId, int32 programIndex,
                                                  IBStream* data) = 0;

    static constexpr Uid iid = inlineUid(0x3D4BD6B5, 0x913A4FD2, 0xA886E768, 0xA5EB92C1);
};

class IProgramListData : public FUnknown {
public:
    virtual tresult PLUGIN_API programDataSupported(ProgramListID listId) = 0;
    virtual tresult PLUGIN_API getProgramData(ProgramListID listId, int32 programIndex,
                                              IBStream* data) = 0;
    virtual tresult PLUGIN_API setProgramData(ProgramListID listId, int32 programIndex,
                                              IBStream* data) = 0;

    static constexpr Uid iid = inlineUid(0x8683B01F, 0x7B354F70, 0xA2651DEC, 0x353AF4FF);
};

#pragma pack(pop)

// ---------------------------------------------------------------------------
// The editor's view

struct ViewRect {
    int32 left = 0;
    int32 top = 0;
    int32 right = 0;
    int32 bottom = 0;

    constexpr int32 getWidth() const { return right - left; }
    constexpr int32 getHeight() const { return bottom - top; }
};

// The kind of native parent handle IPlugView::attached receives: an HWND on
// Windows, an X11 window id (an XEmbed parent) on Linux.
inline constexpr FIDString kPlatformTypeHWND = "HWND";
inline constexpr FIDString kPlatformTypeX11EmbedWindowID = "X11EmbedWindowID";

class IPlugFrame;

class IPlugView : public FUnknown {
public:
    virtual tresult PLUGIN_API isPlatformTypeSupported(FIDString type) = 0;
    virtual tresult PLUGIN_API attached(void* parent, FIDString type) = 0;
    virtual tresult PLUGIN_API removed() = 0;
    virtual tresult PLUGIN_API onWheel(float distance) = 0;
    virtual tresult PLUGIN_API onKeyDown(char16 key, int16 keyCode, int16 modifiers) = 0;
    virtual tresult PLUGIN_API onKeyUp(char16 key, int16 keyCode, int16 modifiers) = 0;
    virtual tresult PLUGIN_API getSize(ViewRect* size) = 0;
    virtual tresult PLUGIN_API onSize(ViewRect* newSize) = 0;
    virtual tresult PLUGIN_API onFocus(TBool state) = 0;
    virtual tresult PLUGIN_API setFrame(IPlugFrame* frame) = 0;
    virtual tresult PLUGIN_API canResize() = 0;
    virtual tresult PLUGIN_API checkSizeConstraint(ViewRect* rect) = 0;

    static constexpr Uid iid = inlineUid(0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29);
};

class IPlugFrame : public FUnknown {
public:
    virtual tresult PLUGIN_API resizeView(IPlugView* view, ViewRect* newSize) = 0;

    static constexpr Uid iid = inlineUid(0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3);
};

#pragma pack(push, 16)

class IPlugViewContentScaleSupport : public FUnknown {
public:
    using ScaleFactor = float;

    virtual tresult PLUGIN_API setContentScaleFactor(ScaleFactor factor) = 0;

    static constexpr Uid iid = inlineUid(0x65ED9690, 0x8AC44525, 0x8AADEF7A, 0x72EA703F);
};

#pragma pack(pop)

// On Linux there is no process-wide event loop a plug-in could join, so the
// host lends its own: the plug-in asks the IPlugFrame (or the host context)
// for an IRunLoop and registers descriptors and timers there.
namespace Linux {

using TimerInterval = uint64;
using FileDescriptor = int;

class IEventHandler : public FUnknown {
public:
    virtual void PLUGIN_API onFDIsSet(FileDescriptor fd) = 0;

    static constexpr Uid iid = inlineUid(0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983);
};

class ITimerHandler : public FUnknown {
public:
    virtual void PLUGIN_API onTimer() = 0;

    static constexpr Uid iid = inlineUid(0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9);
};

class IRunLoop : public FUnknown {
public:
    virtual tresult PLUGIN_API registerEventHandler(IEventHandler* handler, FileDescriptor fd) = 0;
    virtual tresult PLUGIN_API unregisterEventHandler(IEventHandler* handler) = 0;
    virtual tresult PLUGIN_API registerTimer(ITimerHandler* handler,
                                             TimerInterval milliseconds) = 0;
    virtual tresult PLUGIN_API unregisterTimer(ITimerHandler* handler) = 0;

    static constexpr Uid iid = inlineUid(0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389);
};

}  // namespace Linux

// ---------------------------------------------------------------------------
// The identifiers under the names by which the interfaces are usually
// written in other code (IComponent_iid for IComponent::iid).

inline constexpr const Uid& FUnknown_iid = FUnknown::iid;
inline constexpr const Uid& IPluginBase_iid = IPluginBase::iid;
inline constexpr const Uid& IBStream_iid = IBStream::iid;
inline constexpr const Uid& IPluginFactory_iid = IPluginFactory::iid;
inline constexpr const Uid& IPluginFactory2_iid = IPluginFactory2::iid;
inline constexpr const Uid& IPluginFactory3_iid = IPluginFactory3::iid;
inline constexpr const Uid& IPluginCompatibility_iid = IPluginCompatibility::iid;
inline constexpr const Uid& IComponent_iid = IComponent::iid;
inline constexpr const Uid& IAudioProcessor_iid = IAudioProcessor::iid;
inline constexpr const Uid& IProcessContextRequirements_iid = IProcessContextRequirements::iid;
inline constexpr const Uid& IEventList_iid = IEventList::iid;
inline constexpr const Uid& IParamValueQueue_iid = IParamValueQueue::iid;
inline constexpr const Uid& IParameterChanges_iid = IParameterChanges::iid;
inline constexpr const Uid& IAttributeList_iid = IAttributeList::iid;
inline constexpr const Uid& IMessage_iid = IMessage::iid;
inline constexpr const Uid& IConnectionPoint_iid = IConnectionPoint::iid;
inline constexpr const Uid& IHostApplication_iid = IHostApplication::iid;
inline constexpr const Uid& IComponentHandler_iid = IComponentHandler::iid;
inline constexpr const Uid& IComponentHandler2_iid = IComponentHandler2::iid;
inline constexpr const Uid& IEditController_iid = IEditController::iid;
inline constexpr const Uid& IEditController2_iid = IEditController2::iid;
inline constexpr const Uid& IUnitHandler_iid = IUnitHandler::iid;
inline constexpr const Uid& IUnitInfo_iid = IUnitInfo::iid;
inline constexpr const Uid& IProgramListData_iid = IProgramListData::iid;
inline constexpr const Uid& IPlugView_iid = IPlugView::iid;
inline constexpr const Uid& IPlugFrame_iid = IPlugFrame::iid;
inline constexpr const Uid& IPlugViewContentScaleSupport_iid = IPlugViewContentScaleSupport::iid;

// ---------------------------------------------------------------------------
// Layout checks. The records are the same on both platforms: both are
// 64-bit with 4-byte int32, 8-byte int64, double and pointers, and 2-byte
// char16, and the packing leaves every member naturally aligned.

namespace layout_check {

constexpr bool bytesAre(const Uid& uid, const std::array<unsigned char, 16>& expected) {
    for (int i = 0; i < 16; ++i) {
        if (static_cast<unsigned char>(uid.bytes[i]) != expected[i]) return false;
    }
    return true;
}

constexpr bool textIs(const std::array<char, 33>& text, const char* expected) {
    for (int i = 0; i < 33; ++i) {
        if (text[i] != expected[i]) return false;
    }
    return true;
}

// Both byte orders of one identifier, on any platform.
static_assert(bytesAre(makeUid(UidByteOrder::kPlain, 0xE831FF31, 0xF2D54301, 0x928EBBEE,
                               0x25697802),
                       {0xE8, 0x31, 0xFF, 0x31, 0xF2, 0xD5, 0x43, 0x01, 0x92, 0x8E, 0xBB, 0xEE,
                        0x25, 0x69, 0x78, 0x02}));
static_assert(bytesAre(makeUid(UidByteOrder::kCom, 0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802),
                       {0x31, 0xFF, 0x31, 0xE8, 0xD5, 0xF2, 0x01, 0x43, 0x92, 0x8E, 0xBB, 0xEE,
                        0x25, 0x69, 0x78, 0x02}));
// The COM order of FUnknown's id is IUnknown's GUID in memory.
static_assert(bytesAre(makeUid(UidByteOrder::kCom, 0x00000000, 0x00000000, 0xC0000000, 0x00000046),
                       {0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46}));
#if defined(_WIN32)
static_assert(IComponent::iid ==
              makeUid(UidByteOrder::kCom, 0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802));
#else
static_assert(IComponent::iid ==
              makeUid(UidByteOrder::kPlain, 0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802));
#endif
// The text form is the four words whatever the byte order.
static_assert(textIs(uidToString(makeUid(UidByteOrder::kCom, 0xB9F9ADE1, 0xCD9C4B6D, 0xA57E61E3,
                                         0x123535FD),
                                 UidByteOrder::kCom),
                     "B9F9ADE1CD9C4B6DA57E61E3123535FD"));
static_assert(textIs(uidToString(makeUid(UidByteOrder::kPlain, 0xB9F9ADE1, 0xCD9C4B6D, 0xA57E61E3,
                                         0x123535FD),
                                 UidByteOrder::kPlain),
                     "B9F9ADE1CD9C4B6DA57E61E3123535FD"));
static_assert(textIs(uidToString(IAudioProcessor::iid), "42043F99B7DA453CA569E79D9AAEC33D"));

static_assert(sizeof(TUID) == 16 && sizeof(Uid) == 16);
static_assert(sizeof(char16) == 2 && sizeof(String128) == 256);
static_assert(sizeof(void*) == 8);

static_assert(sizeof(PFactoryInfo) == 452 && alignof(PFactoryInfo) == 4);
static_assert(offsetof(PFactoryInfo, url) == 64 && offsetof(PFactoryInfo, email) == 320 &&
              offsetof(PFactoryInfo, flags) == 448);

static_assert(sizeof(PClassInfo) == 116 && alignof(PClassInfo) == 4);
static_assert(offsetof(PClassInfo, cardinality) == 16 && offsetof(PClassInfo, category) == 20 &&
              offsetof(PClassInfo, name) == 52);

static_assert(sizeof(PClassInfo2) == 440 && alignof(PClassInfo2) == 4);
static_assert(offsetof(PClassInfo2, classFlags) == 116 &&
              offsetof(PClassInfo2, subCategories) == 120 && offsetof(PClassInfo2, vendor) == 248 &&
              offsetof(PClassInfo2, version) == 312 && offsetof(PClassInfo2, sdkVersion) == 376);

static_assert(sizeof(PClassInfoW) == 696 && alignof(PClassInfoW) == 4);
static_assert(offsetof(PClassInfoW, name) == 52 && offsetof(PClassInfoW, classFlags) == 180 &&
              offsetof(PClassInfoW, subCategories) == 184 && offsetof(PClassInfoW, vendor) == 312 &&
              offsetof(PClassInfoW, version) == 440 && offsetof(PClassInfoW, sdkVersion) == 568);

static_assert(sizeof(BusInfo) == 276 && alignof(BusInfo) == 4);
static_assert(offsetof(BusInfo, name) == 12 && offsetof(BusInfo, busType) == 268 &&
              offsetof(BusInfo, flags) == 272);
static_assert(sizeof(RoutingInfo) == 12);

static_assert(sizeof(ProcessSetup) == 24 && alignof(ProcessSetup) == 8);
static_assert(offsetof(ProcessSetup, maxSamplesPerBlock) == 8 &&
              offsetof(ProcessSetup, sampleRate) == 16);

static_assert(sizeof(AudioBusBuffers) == 24 && alignof(AudioBusBuffers) == 8);
static_assert(offsetof(AudioBusBuffers, silenceFlags) == 8 &&
              offsetof(AudioBusBuffers, channelBuffers32) == 16 &&
              offsetof(AudioBusBuffers, channelBuffers64) == 16);

static_assert(sizeof(ProcessData) == 80 && alignof(ProcessData) == 8);
static_assert(offsetof(ProcessData, numOutputs) == 16 && offsetof(ProcessData, inputs) == 24 &&
              offsetof(ProcessData, outputs) == 32 &&
              offsetof(ProcessData, inputParameterChanges) == 40 &&
              offsetof(ProcessData, outputParameterChanges) == 48 &&
              offsetof(ProcessData, inputEvents) == 56 &&
              offsetof(ProcessData, outputEvents) == 64 &&
              offsetof(ProcessData, processContext) == 72);

static_assert(sizeof(FrameRate) == 8 && sizeof(Chord) == 4 && alignof(Chord) == 2);
static_assert(sizeof(ProcessContext) == 112 && alignof(ProcessContext) == 8);
static_assert(offsetof(ProcessContext, sampleRate) == 8 && offsetof(ProcessContext, tempo) == 72 &&
              offsetof(ProcessContext, timeSigNumerator) == 80 &&
              offsetof(ProcessContext, chord) == 88 &&
              offsetof(ProcessContext, smpteOffsetSubframes) == 92 &&
              offsetof(ProcessContext, frameRate) == 96 &&
              offsetof(ProcessContext, samplesToNextClock) == 104);

static_assert(sizeof(ParameterInfo) == 792 && alignof(ParameterInfo) == 8);
static_assert(offsetof(ParameterInfo, title) == 4 && offsetof(ParameterInfo, shortTitle) == 260 &&
              offsetof(ParameterInfo, units) == 516 && offsetof(ParameterInfo, stepCount) == 772 &&
              offsetof(ParameterInfo, defaultNormalizedValue) == 776 &&
              offsetof(ParameterInfo, unitId) == 784 && offsetof(ParameterInfo, flags) == 788);

static_assert(sizeof(UnitInfo) == 268 && alignof(UnitInfo) == 4);
static_assert(offsetof(UnitInfo, name) == 8 && offsetof(UnitInfo, programListId) == 264);

static_assert(sizeof(ProgramListInfo) == 264 && alignof(ProgramListInfo) == 4);
static_assert(offsetof(ProgramListInfo, name) == 4 &&
              offsetof(ProgramListInfo, programCount) == 260);

static_assert(sizeof(ViewRect) == 16 && offsetof(ViewRect, bottom) == 12);

// An interface is one vtable pointer and nothing else.
static_assert(sizeof(IComponent) == sizeof(void*) && sizeof(IEditController) == sizeof(void*));

}  // namespace layout_check

}  // namespace tarnwick::vst3
