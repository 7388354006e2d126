// Writes the LV2 bundle's description of the gate: manifest.ttl, the
// plug-in's ports (tarnwick.ttl) and its programs as presets (presets.ttl).
// Ranges, defaults, the plug-in's name and vendor, and the programs' names
// and values are asked of the effect itself, so the description follows the
// effect whenever it changes. With UIBINARY, the plug-in has an X11 editor
// in that binary.
//   tarnwick-lv2-ttl OUTDIR BINARY [UIBINARY]
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "lv2/GatePorts.h"
#include "plugin/uPlugin.h"

namespace {

using namespace tarnwick::lv2;

VstIntPtr silentHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) { return 0; }

std::unique_ptr<APlugin> newEffect() { return std::make_unique<APlugin>(silentHost, nullptr); }

// The shortest decimal that reads back as the same float, as a Turtle
// decimal or double (never an integer literal).
std::string number(float value) {
    char text[32];
    auto result = std::to_chars(text, text + sizeof text, value);
    std::string s(text, result.ptr);
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string uri(const std::string& suffix = "") {
    return "<" + std::string(kPluginUri) + suffix + ">";
}
std::string presetUri(int program) { return uri(":preset" + std::to_string(program)); }

const char* const kPrefixes =
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix pg: <http://lv2plug.in/ns/ext/port-groups#> .\n"
    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
    "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";

struct Facts {
    std::string name;
    std::string vendor;
    VstInt32 version = 0;
    std::vector<float> defaults, minimum, maximum;
    struct Program {
        std::string name;
        std::vector<float> values;
    };
    std::vector<Program> programs;
};

Facts askEffect() {
    Facts f;
    auto effect = newEffect();
    char text[256] = {};
    effect->getEffectName(text);
    f.name = text;
    std::fill(std::begin(text), std::end(text), '\0');
    effect->getVendorString(text);
    f.vendor = text;
    f.version = effect->getVendorVersion();
    // A new effect holds its first program: those are the ports' defaults.
    for (VstInt32 i = 0; i < APlugin::kNumParams; ++i)
        f.defaults.push_back(effect->getParameter(i));
    for (VstInt32 p = 0; p < APlugin::kNumPrograms; ++p) {
        Facts::Program program;
        std::fill(std::begin(text), std::end(text), '\0');
        effect->getProgramNameIndexed(0, p, text);
        program.name = text;
        effect->setProgram(p);
        for (VstInt32 i = 0; i < APlugin::kNumParams; ++i)
            program.values.push_back(effect->getParameter(i));
        f.programs.push_back(program);
    }
    // The range is what the effect keeps of the most extreme values; asked
    // of an effect of its own, whose programs it changes.
    auto probe = newEffect();
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    for (VstInt32 i = 0; i < APlugin::kNumParams; ++i) {
        probe->setParameter(i, -kInfinity);
        f.minimum.push_back(probe->getParameter(i));
        probe->setParameter(i, kInfinity);
        f.maximum.push_back(probe->getParameter(i));
    }
    return f;
}

std::string manifest(const Facts& f, const std::string& binary, const std::string& uiBinary) {
    std::ostringstream t;
    t << kPrefixes;
    t << uri() << "\n    a lv2:Plugin, lv2:GatePlugin ;\n    lv2:binary <" << binary
      << "> ;\n    rdfs:seeAlso <tarnwick.ttl> .\n";
    if (!uiBinary.empty()) {
        // The editor lives in the host's X window and is driven by its idle
        // calls; it can tell the host its size and gestures, and shows the
        // key level, which the host sends it as a plain float.
        t << "\n<" << kUiUri << ">\n    a ui:X11UI ;\n    ui:binary <" << uiBinary << "> ;\n"
          << "    lv2:requiredFeature ui:parent, ui:idleInterface ;\n"
          << "    lv2:optionalFeature ui:resize, ui:touch, ui:noUserResize, urid:map, opts:options "
             ";\n"
          << "    lv2:extensionData ui:idleInterface, opts:interface ;\n"
          << "    opts:supportedOption ui:scaleFactor ;\n"
          << "    ui:portNotification [\n        ui:plugin " << uri() << " ;\n        lv2:symbol "
          << quoted(kPorts[kKeyLevel].symbol)
          << " ;\n        ui:protocol ui:floatProtocol\n    ] .\n";
    }
    for (std::size_t p = 0; p < f.programs.size(); ++p) {
        t << "\n"
          << presetUri(static_cast<int>(p)) << "\n    a pset:Preset ;\n    lv2:appliesTo " << uri()
          << " ;\n    rdfs:label " << quoted(f.programs[p].name)
          << " ;\n    rdfs:seeAlso <presets.ttl> .\n";
    }
    return t.str();
}

const char* portClasses(PortKind kind) {
    switch (kind) {
        case PortKind::AudioIn:
        case PortKind::KeyIn: return "lv2:InputPort, lv2:AudioPort";
        case PortKind::AudioOut: return "lv2:OutputPort, lv2:AudioPort";
        case PortKind::ControlIn: return "lv2:InputPort, lv2:ControlPort";
        case PortKind::ControlOut: return "lv2:OutputPort, lv2:ControlPort";
    }
    return "";
}

std::string plugin(const Facts& f, bool withUi) {
    std::ostringstream t;
    t << kPrefixes;
    // The signal and output pairs, and the key as the signal's side chain.
    t << uri(":in") << "\n    a pg:InputGroup, pg:StereoGroup ;\n    lv2:symbol \"in\" ;\n"
      << "    rdfs:label \"Signal\" .\n\n";
    t << uri(":key") << "\n    a pg:InputGroup, pg:StereoGroup ;\n    lv2:symbol \"key\" ;\n"
      << "    rdfs:label \"Key\" ;\n    pg:sideChainOf " << uri(":in") << " .\n\n";
    t << uri(":out") << "\n    a pg:OutputGroup, pg:StereoGroup ;\n    lv2:symbol \"out\" ;\n"
      << "    rdfs:label \"Output\" .\n\n";
    t << uri() << "\n    a lv2:Plugin, lv2:GatePlugin, doap:Project ;\n    doap:name "
      << quoted(f.name) << " ;\n    doap:maintainer [ foaf:name " << quoted(f.vendor) << " ] ;\n"
      << "    lv2:minorVersion 0 ;\n    lv2:microVersion " << f.version << " ;\n"
      << "    lv2:optionalFeature lv2:hardRTCapable ;\n"
      << "    pg:mainInput " << uri(":in") << " ;\n    pg:mainOutput " << uri(":out") << " ;\n";
    if (withUi) t << "    ui:ui <" << kUiUri << "> ;\n";
    t << "    lv2:port";
    for (std::uint32_t index = 0; index < kNumPorts; ++index) {
        const PortInfo& port = kPorts[index];
        t << (index ? " , [\n" : " [\n") << "        a " << portClasses(port.kind) << " ;\n"
          << "        lv2:index " << index << " ;\n        lv2:symbol " << quoted(port.symbol)
          << " ;\n        lv2:name " << quoted(port.name);
        switch (port.kind) {
            case PortKind::AudioIn:
            case PortKind::KeyIn:
            case PortKind::AudioOut: {
                const char* group = port.kind == PortKind::AudioIn ? ":in"
                                    : port.kind == PortKind::KeyIn ? ":key"
                                                                   : ":out";
                const bool left = port.symbol[std::string(port.symbol).size() - 1] == 'l';
                t << " ;\n        pg:group " << uri(group) << " ;\n        lv2:designation "
                  << (left ? "pg:left" : "pg:right");
                if (port.kind == PortKind::KeyIn)
                    t << " ;\n        lv2:portProperty lv2:isSideChain";
                break;
            }
            case PortKind::ControlIn: {
                const std::uint32_t param = index - kFirstControl;
                t << " ;\n        lv2:default " << number(f.defaults[param])
                  << " ;\n        lv2:minimum " << number(f.minimum[param])
                  << " ;\n        lv2:maximum " << number(f.maximum[param]);
                if (port.toggled) t << " ;\n        lv2:portProperty lv2:toggled";
                // The value is the time in seconds, the threshold a level
                // against full scale.
                switch (tarnwick::driver::kParameters[param].kind) {
                    case tarnwick::driver::ParameterKind::Time:
                        t << " ;\n        units:unit units:s";
                        break;
                    case tarnwick::driver::ParameterKind::Level:
                        t << " ;\n        units:unit units:coef";
                        break;
                    case tarnwick::driver::ParameterKind::Switch: break;
                }
                break;
            }
            case PortKind::ControlOut:
                // The key's peak as the editor's meter shows it, from 0 to 1.
                t << " ;\n        lv2:minimum 0.0 ;\n        lv2:maximum 1.0";
                break;
        }
        t << "\n    ]";
    }
    t << " .\n";
    return t.str();
}

std::string presets(const Facts& f) {
    std::ostringstream t;
    t << kPrefixes;
    for (std::size_t p = 0; p < f.programs.size(); ++p) {
        t << presetUri(static_cast<int>(p)) << "\n    a pset:Preset ;\n    lv2:appliesTo " << uri()
          << " ;\n    rdfs:label " << quoted(f.programs[p].name) << " ;\n    lv2:port";
        for (std::uint32_t i = 0; i < kNumControls; ++i) {
            t << (i ? " , [\n" : " [\n") << "        lv2:symbol "
              << quoted(kPorts[kFirstControl + i].symbol) << " ;\n        pset:value "
              << number(f.programs[p].values[i]) << "\n    ]";
        }
        t << " .\n\n";
    }
    return t.str();
}

bool write(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) std::cerr << "tarnwick-lv2-ttl: cannot write " << path << "\n";
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::cerr << "usage: tarnwick-lv2-ttl OUTDIR BINARY [UIBINARY]\n";
        return 2;
    }
    const std::string dir = argv[1];
    const std::string uiBinary = argc == 4 ? argv[3] : "";
    const Facts facts = askEffect();
    const bool ok = write(dir + "/manifest.ttl", manifest(facts, argv[2], uiBinary)) &&
                    write(dir + "/tarnwick.ttl", plugin(facts, !uiBinary.empty())) &&
                    write(dir + "/presets.ttl", presets(facts));
    return ok ? 0 : 1;
}
