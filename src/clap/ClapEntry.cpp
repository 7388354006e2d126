// The binary's one export, the entry, and the two factories it gives: the
// plug-in factory (the gate) and the preset discovery factory, whose one
// provider lists the sixteen programs as presets inside the plug-in.
#include <cstdio>
#include <cstring>
#include <new>

#include "clap/GatePlugin.h"
#include "plugin/uPlugin.h"

namespace tarnwick::clap {

namespace {

bool isPlugin(const char* id) { return id && std::strcmp(id, kPluginId) == 0; }

const clap_plugin_factory_t kPluginFactory = {
    [](const clap_plugin_factory_t*) -> std::uint32_t { return 1; },
    [](const clap_plugin_factory_t*, std::uint32_t index) -> const clap_plugin_descriptor_t* {
        return index == 0 ? &kDescriptor : nullptr;
    },
    [](const clap_plugin_factory_t*, const clap_host_t* host,
       const char* id) -> const clap_plugin_t* {
        if (!host || !isPlugin(id) || !clap_version_is_compatible(host->clap_version))
            return nullptr;
        return GatePlugin::create(host);
    },
};

// ---- presets ------------------------------------------------------------------------
inline constexpr char kProviderId[] = "com.quorbel.tarnwick.programs";

const clap_preset_discovery_provider_descriptor_t kProviderDescriptor = {
    CLAP_VERSION, kProviderId, "QB Sidechain Gate programs", "Quorbel"};

VstIntPtr silentHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

// One per indexer; it keeps the indexer to declare its location to.
struct Provider {
    clap_preset_discovery_provider_t record;
    const clap_preset_discovery_indexer_t* indexer;
};

bool declare(const clap_preset_discovery_provider_t* provider) {
    const auto* indexer = static_cast<const Provider*>(provider->provider_data)->indexer;
    if (!indexer->declare_location) return false;
    const clap_preset_discovery_location_t location = {
        CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT, "Programs", CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN,
        nullptr};
    return indexer->declare_location(indexer, &location);
}

// The programs of a new effect, by name, each loaded by its number.
bool listPrograms(std::uint32_t kind, const char* location,
                  const clap_preset_discovery_metadata_receiver_t* receiver) {
    if (!receiver || !receiver->begin_preset || kind != CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN ||
        (location && *location))
        return false;
    APlugin effect(silentHost, nullptr);
    const clap_universal_plugin_id_t plugin = {"clap", kPluginId};
    for (VstInt32 p = 0; p < APlugin::kNumPrograms; ++p) {
        char name[kVstMaxProgNameLen + 1] = {};
        effect.getProgramNameIndexed(0, p, name);
        char key[4];
        std::snprintf(key, sizeof key, "%d", int(p));
        if (!receiver->begin_preset(receiver, name, key)) break;
        if (receiver->add_plugin_id) receiver->add_plugin_id(receiver, &plugin);
        if (receiver->set_flags)
            receiver->set_flags(receiver, CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT);
    }
    return true;
}

const clap_preset_discovery_factory_t kPresetFactory = {
    [](const clap_preset_discovery_factory_t*) -> std::uint32_t { return 1; },
    [](const clap_preset_discovery_factory_t*,
       std::uint32_t index) -> const clap_preset_discovery_provider_descriptor_t* {
        return index == 0 ? &kProviderDescriptor : nullptr;
    },
    [](const clap_preset_discovery_factory_t*, const clap_preset_discovery_indexer_t* indexer,
       const char* id) -> const clap_preset_discovery_provider_t* {
        if (!indexer || !id || std::strcmp(id, kProviderId) != 0) return nullptr;
        auto* made = new (std::nothrow) Provider{};
        if (!made) return nullptr;
        made->indexer = indexer;
        clap_preset_discovery_provider_t& r = made->record;
        r.desc = &kProviderDescriptor;
        r.provider_data = made;
        r.init = [](const clap_preset_discovery_provider_t* p) -> bool { return p && declare(p); };
        r.destroy = [](const clap_preset_discovery_provider_t* p) {
            if (p) delete static_cast<Provider*>(p->provider_data);
        };
        r.get_metadata = [](const clap_preset_discovery_provider_t* p, std::uint32_t kind,
                            const char* location,
                            const clap_preset_discovery_metadata_receiver_t* receiver) -> bool {
            if (!p) return false;
            try {
                return listPrograms(kind, location, receiver);
            } catch (...) {
                return false;
            }
        };
        r.get_extension = [](const clap_preset_discovery_provider_t*, const char*) -> const void* {
            return nullptr;
        };
        return &made->record;
    },
};

}  // namespace

}  // namespace tarnwick::clap

// Nothing of the binary has to be set up or torn down: init and deinit may
// come in any number of pairs.
extern "C" CLAP_EXPORT const clap_plugin_entry_t clap_entry = {
    CLAP_VERSION,
    [](const char*) -> bool { return true; },
    [] {},
    [](const char* id) -> const void* {
        using namespace tarnwick::clap;
        if (!id) return nullptr;
        if (std::strcmp(id, CLAP_PLUGIN_FACTORY_ID) == 0) return &kPluginFactory;
        if (std::strcmp(id, CLAP_PRESET_DISCOVERY_FACTORY_ID) == 0 ||
            std::strcmp(id, CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT) == 0)
            return &kPresetFactory;
        return nullptr;
    },
};
