// Writes the VST 3 bundle's moduleinfo.json from what the module's factory
// answers (its vendor, classes and the VST 2 plug-in the gate replaces), so
// the description follows the module whenever it changes.
//   tarnwick-vst3-info OUT VERSION
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "vst3/Vst3Ids.h"
#include "vst3/Vst3Support.h"

extern "C" tarnwick::vst3::IPluginFactory* PLUGIN_API GetPluginFactory();

namespace {

using namespace tarnwick::vst3;

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// "Fx|Dynamics" as ["Fx", "Dynamics"].
std::string categories(const std::string& joined) {
    std::string out = "[";
    std::size_t from = 0;
    while (from <= joined.size() && !joined.empty()) {
        const std::size_t bar = joined.find('|', from);
        const std::string part = joined.substr(from, bar == std::string::npos ? bar : bar - from);
        out += (out.size() > 1 ? ", " : "") + quoted(part);
        if (bar == std::string::npos) break;
        from = bar + 1;
    }
    return out + "]";
}

// What the factory's compatibility class writes.
class TextStream final : public IBStream {
public:
    std::string text;
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        return Answer<IBStream>(iid, this, obj);
    }
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }
    tresult PLUGIN_API read(void*, int32, int32*) override { return kResultFalse; }
    tresult PLUGIN_API write(void* buffer, int32 numBytes, int32* written) override {
        text.append(static_cast<const char*>(buffer), std::size_t(numBytes));
        if (written) *written = numBytes;
        return kResultOk;
    }
    tresult PLUGIN_API seek(int64, int32, int64*) override { return kResultFalse; }
    tresult PLUGIN_API tell(int64* pos) override {
        if (pos) *pos = int64(text.size());
        return kResultOk;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: tarnwick-vst3-info OUT VERSION\n";
        return 2;
    }
    IPluginFactory* plain = GetPluginFactory();
    void* obj = nullptr;
    if (!plain || plain->queryInterface(IPluginFactory2::iid.data(), &obj) != kResultOk) {
        std::cerr << "tarnwick-vst3-info: the factory answers no class information\n";
        return 1;
    }
    auto* factory = static_cast<IPluginFactory2*>(obj);
    PFactoryInfo info;
    factory->getFactoryInfo(&info);

    std::string json = "{\n  \"Name\": \"Tarnwick\",\n  \"Version\": " + quoted(argv[2]) +
                       ",\n  \"Factory Info\": {\n    \"Vendor\": " + quoted(info.vendor) +
                       ",\n    \"URL\": " + quoted(info.url) +
                       ",\n    \"E-Mail\": " + quoted(info.email) +
                       ",\n    \"Flags\": {\n      \"Unicode\": " +
                       ((info.flags & PFactoryInfo::kUnicode) ? "true" : "false") +
                       ",\n      \"Classes Discardable\": " +
                       ((info.flags & PFactoryInfo::kClassesDiscardable) ? "true" : "false") +
                       ",\n      \"Component Non Discardable\": " +
                       ((info.flags & PFactoryInfo::kComponentNonDiscardable) ? "true" : "false") +
                       "\n    }\n  },\n";
    std::string classes;
    std::string compatibility;
    for (int32 i = 0; i < factory->countClasses(); ++i) {
        PClassInfo2 c;
        if (factory->getClassInfo2(i, &c) != kResultOk) continue;
        const Uid uid = uidFromTuid(c.cid);
        if (std::string(c.category) == kPluginCompatibilityClass) {
            FUnknown* object = nullptr;
            if (factory->createInstance(c.cid, IPluginCompatibility::iid.data(),
                                        reinterpret_cast<void**>(&object)) == kResultOk) {
                TextStream stream;
                static_cast<IPluginCompatibility*>(object)->getCompatibilityJSON(&stream);
                object->release();
                compatibility = stream.text;
            }
            continue;
        }
        if (!classes.empty()) classes += ",\n";
        classes += "    {\n      \"CID\": " + quoted(uidToString(uid).data()) +
                   ",\n      \"Category\": " + quoted(c.category) +
                   ",\n      \"Name\": " + quoted(c.name) +
                   ",\n      \"Vendor\": " + quoted(c.vendor) +
                   ",\n      \"Version\": " + quoted(c.version) +
                   ",\n      \"SDKVersion\": " + quoted(c.sdkVersion) +
                   ",\n      \"Sub Categories\": " + categories(c.subCategories) +
                   ",\n      \"Class Flags\": " + std::to_string(c.classFlags) +
                   ",\n      \"Cardinality\": " + std::to_string(c.cardinality) + "\n    }";
    }
    if (!compatibility.empty()) json += "  \"Compatibility\": " + compatibility + ",\n";
    json += "  \"Classes\": [\n" + classes + "\n  ]\n}\n";

    std::ofstream out(argv[1], std::ios::binary);
    out << json;
    if (!out.flush()) {
        std::cerr << "tarnwick-vst3-info: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
