#pragma once
// The CLAP binary interface between a host and this plug-in, version 1.2:
// the entry record, the factories, the plug-in and host records, processing,
// events, streams and the extensions the gate answers or asks for. The
// records are plain C structs with C linkage, laid out field for field as the
// format publishes them, and every routine uses the format's calling
// convention, so a host built against the published headers reads them as its
// own. Identifiers keep the published spelling so the code can be read beside
// the format's documentation.
//
// Numeric constants are constexpr values of the type of the field they go in
// (uint32_t flags, uint16_t event types, int32_t status), not enumerators, so
// that "flag ? CLAP_X : 0u" and mixed masks compile without enum warnings;
// a published enumeration's name is kept as an alias of that type. String
// identifiers are constexpr arrays with one definition in the program.

#include <cstddef>
#include <cstdint>

// Every routine pointer in the interface uses the C calling convention of the
// platform; on 32-bit Windows that must be said explicitly, because a
// compiler there may default to another.
#if !defined(CLAP_ABI)
#if defined(_WIN32) || defined(__CYGWIN__)
#define CLAP_ABI __cdecl
#else
#define CLAP_ABI
#endif
#endif

// The one symbol a plug-in binary exports must stay visible even when
// everything else is built hidden.
#if !defined(CLAP_EXPORT)
#if defined(_WIN32) || defined(__CYGWIN__)
#define CLAP_EXPORT __declspec(dllexport)
#else
#define CLAP_EXPORT __attribute__((visibility("default")))
#endif
#endif

// ---- version ------------------------------------------------------------------
// Plain macros so that preprocessor conditions can test them.
#define CLAP_VERSION_MAJOR 1
#define CLAP_VERSION_MINOR 2
#define CLAP_VERSION_REVISION 10

// True when the interface declared here is older than maj.min.rev.
#define CLAP_VERSION_LT(maj, min, rev)                          \
    (CLAP_VERSION_MAJOR != (maj)   ? CLAP_VERSION_MAJOR < (maj) \
     : CLAP_VERSION_MINOR != (min) ? CLAP_VERSION_MINOR < (min) \
                                   : CLAP_VERSION_REVISION < (rev))
#define CLAP_VERSION_EQ(maj, min, rev) \
    (CLAP_VERSION_MAJOR == (maj) && CLAP_VERSION_MINOR == (min) && CLAP_VERSION_REVISION == (rev))
#define CLAP_VERSION_GE(maj, min, rev) (!CLAP_VERSION_LT(maj, min, rev))

extern "C" {

struct clap_version {
    uint32_t major;
    uint32_t minor;
    uint32_t revision;
};
using clap_version_t = clap_version;

}  // extern "C"

constexpr clap_version_t CLAP_VERSION = {CLAP_VERSION_MAJOR, CLAP_VERSION_MINOR,
                                         CLAP_VERSION_REVISION};

// Every 1.x release is binary compatible with every other; 0.x drafts are not.
[[nodiscard]] constexpr bool clap_version_is_compatible(const clap_version_t v) noexcept {
    return v.major >= 1;
}

// ---- ids, fixed-point time, string sizes, time stamps ---------------------------
using clap_id = uint32_t;
constexpr clap_id CLAP_INVALID_ID = UINT32_MAX;

// Musical and clock time in the transport: 31 fractional bits.
using clap_beattime = int64_t;
using clap_sectime = int64_t;
constexpr int64_t CLAP_BEATTIME_FACTOR = int64_t{1} << 31;
constexpr int64_t CLAP_SECTIME_FACTOR = int64_t{1} << 31;

// Sizes of the fixed text fields, terminating zero included.
constexpr uint32_t CLAP_NAME_SIZE = 256;
constexpr uint32_t CLAP_PATH_SIZE = 1024;

// Seconds since the Unix epoch; zero when not known.
using clap_timestamp = uint64_t;
constexpr clap_timestamp CLAP_TIMESTAMP_UNKNOWN = 0;

extern "C" {

// ---- events -----------------------------------------------------------------------
struct clap_event_header {
    uint32_t size;  // of the whole event, this header included
    uint32_t time;  // frame offset in the block
    uint16_t space_id;
    uint16_t type;
    uint32_t flags;
};
using clap_event_header_t = clap_event_header;

using clap_event_flags = uint32_t;
constexpr uint32_t CLAP_EVENT_IS_LIVE = 1u << 0;
constexpr uint32_t CLAP_EVENT_DONT_RECORD = 1u << 1;

// Types in the core event space.
constexpr uint16_t CLAP_EVENT_NOTE_ON = 0;
constexpr uint16_t CLAP_EVENT_NOTE_OFF = 1;
constexpr uint16_t CLAP_EVENT_NOTE_CHOKE = 2;
constexpr uint16_t CLAP_EVENT_NOTE_END = 3;
constexpr uint16_t CLAP_EVENT_NOTE_EXPRESSION = 4;
constexpr uint16_t CLAP_EVENT_PARAM_VALUE = 5;
constexpr uint16_t CLAP_EVENT_PARAM_MOD = 6;
constexpr uint16_t CLAP_EVENT_PARAM_GESTURE_BEGIN = 7;
constexpr uint16_t CLAP_EVENT_PARAM_GESTURE_END = 8;
constexpr uint16_t CLAP_EVENT_TRANSPORT = 9;
constexpr uint16_t CLAP_EVENT_MIDI = 10;
constexpr uint16_t CLAP_EVENT_MIDI_SYSEX = 11;
constexpr uint16_t CLAP_EVENT_MIDI2 = 12;

// Note on, off, choke and end. -1 in note_id, port_index, channel or key
// means "any".
struct clap_event_note {
    clap_event_header_t header;
    int32_t note_id;
    int16_t port_index;
    int16_t channel;
    int16_t key;
    double velocity;
};
using clap_event_note_t = clap_event_note;

constexpr int32_t CLAP_NOTE_EXPRESSION_VOLUME = 0;
constexpr int32_t CLAP_NOTE_EXPRESSION_PAN = 1;
constexpr int32_t CLAP_NOTE_EXPRESSION_TUNING = 2;
constexpr int32_t CLAP_NOTE_EXPRESSION_VIBRATO = 3;
constexpr int32_t CLAP_NOTE_EXPRESSION_EXPRESSION = 4;
constexpr int32_t CLAP_NOTE_EXPRESSION_BRIGHTNESS = 5;
constexpr int32_t CLAP_NOTE_EXPRESSION_PRESSURE = 6;
using clap_note_expression = int32_t;

struct clap_event_note_expression {
    clap_event_header_t header;
    clap_note_expression expression_id;
    int32_t note_id;
    int16_t port_index;
    int16_t channel;
    int16_t key;
    double value;
};
using clap_event_note_expression_t = clap_event_note_expression;

// A parameter's new plain value. The cookie is the one the plug-in gave in its
// parameter info, or null.
struct clap_event_param_value {
    clap_event_header_t header;
    clap_id param_id;
    void* cookie;
    int32_t note_id;
    int16_t port_index;
    int16_t channel;
    int16_t key;
    double value;
};
using clap_event_param_value_t = clap_event_param_value;

// A modulation offset on top of the parameter's value.
struct clap_event_param_mod {
    clap_event_header_t header;
    clap_id param_id;
    void* cookie;
    int32_t note_id;
    int16_t port_index;
    int16_t channel;
    int16_t key;
    double amount;
};
using clap_event_param_mod_t = clap_event_param_mod;

// Begin and end of a user's edit of one parameter.
struct clap_event_param_gesture {
    clap_event_header_t header;
    clap_id param_id;
};
using clap_event_param_gesture_t = clap_event_param_gesture;

using clap_transport_flags = uint32_t;
constexpr uint32_t CLAP_TRANSPORT_HAS_TEMPO = 1u << 0;
constexpr uint32_t CLAP_TRANSPORT_HAS_BEATS_TIMELINE = 1u << 1;
constexpr uint32_t CLAP_TRANSPORT_HAS_SECONDS_TIMELINE = 1u << 2;
constexpr uint32_t CLAP_TRANSPORT_HAS_TIME_SIGNATURE = 1u << 3;
constexpr uint32_t CLAP_TRANSPORT_IS_PLAYING = 1u << 4;
constexpr uint32_t CLAP_TRANSPORT_IS_RECORDING = 1u << 5;
constexpr uint32_t CLAP_TRANSPORT_IS_LOOP_ACTIVE = 1u << 6;
constexpr uint32_t CLAP_TRANSPORT_IS_WITHIN_PRE_ROLL = 1u << 7;

struct clap_event_transport {
    clap_event_header_t header;
    uint32_t flags;
    clap_beattime song_pos_beats;
    clap_sectime song_pos_seconds;
    double tempo;      // beats per minute
    double tempo_inc;  // per frame, until the next transport event
    clap_beattime loop_start_beats;
    clap_beattime loop_end_beats;
    clap_sectime loop_start_seconds;
    clap_sectime loop_end_seconds;
    clap_beattime bar_start;
    int32_t bar_number;
    uint16_t tsig_num;
    uint16_t tsig_denom;
};
using clap_event_transport_t = clap_event_transport;

struct clap_event_midi {
    clap_event_header_t header;
    uint16_t port_index;
    uint8_t data[3];
};
using clap_event_midi_t = clap_event_midi;

// The buffer belongs to the sender and lives only as long as the event list.
struct clap_event_midi_sysex {
    clap_event_header_t header;
    uint16_t port_index;
    const uint8_t* buffer;
    uint32_t size;
};
using clap_event_midi_sysex_t = clap_event_midi_sysex;

struct clap_event_midi2 {
    clap_event_header_t header;
    uint16_t port_index;
    uint32_t data[4];
};
using clap_event_midi2_t = clap_event_midi2;

// The host's list of events for one block, sorted by time.
struct clap_input_events {
    void* ctx;
    uint32_t(CLAP_ABI* size)(const clap_input_events* list);
    const clap_event_header_t*(CLAP_ABI* get)(const clap_input_events* list, uint32_t index);
};
using clap_input_events_t = clap_input_events;

// Where the plug-in sends events back; the host copies each one it accepts.
struct clap_output_events {
    void* ctx;
    bool(CLAP_ABI* try_push)(const clap_output_events* list, const clap_event_header_t* event);
};
using clap_output_events_t = clap_output_events;

// ---- audio buffers and processing ----------------------------------------------------
struct clap_audio_buffer {
    // One of the two is set, by the sample size the port agreed on.
    float** data32;
    double** data64;
    uint32_t channel_count;
    uint32_t latency;
    // Bit n set: every sample of channel n in this block has the value of its first.
    uint64_t constant_mask;
};
using clap_audio_buffer_t = clap_audio_buffer;

constexpr int32_t CLAP_PROCESS_ERROR = 0;
constexpr int32_t CLAP_PROCESS_CONTINUE = 1;
constexpr int32_t CLAP_PROCESS_CONTINUE_IF_NOT_QUIET = 2;
constexpr int32_t CLAP_PROCESS_TAIL = 3;
constexpr int32_t CLAP_PROCESS_SLEEP = 4;
using clap_process_status = int32_t;

struct clap_process {
    int64_t steady_time;  // a frame counter that only grows, or -1 when the host has none
    uint32_t frames_count;
    const clap_event_transport_t* transport;  // null when the plug-in runs off the timeline
    const clap_audio_buffer_t* audio_inputs;
    clap_audio_buffer_t* audio_outputs;
    uint32_t audio_inputs_count;
    uint32_t audio_outputs_count;
    const clap_input_events_t* in_events;
    const clap_output_events_t* out_events;
};
using clap_process_t = clap_process;

// ---- host ------------------------------------------------------------------------------
struct clap_host {
    clap_version_t clap_version;
    void* host_data;
    const char* name;
    const char* vendor;
    const char* url;
    const char* version;
    const void*(CLAP_ABI* get_extension)(const clap_host* host, const char* extension_id);
    void(CLAP_ABI* request_restart)(const clap_host* host);
    void(CLAP_ABI* request_process)(const clap_host* host);
    void(CLAP_ABI* request_callback)(const clap_host* host);
};
using clap_host_t = clap_host;

// ---- plug-in -----------------------------------------------------------------------------
struct clap_plugin_descriptor {
    clap_version_t clap_version;
    const char* id;
    const char* name;
    const char* vendor;
    const char* url;
    const char* manual_url;
    const char* support_url;
    const char* version;
    const char* description;
    // Null-terminated list of CLAP_PLUGIN_FEATURE_... and the vendor's own words.
    const char* const* features;
};
using clap_plugin_descriptor_t = clap_plugin_descriptor;

struct clap_plugin {
    const clap_plugin_descriptor_t* desc;
    void* plugin_data;
    bool(CLAP_ABI* init)(const clap_plugin* plugin);
    void(CLAP_ABI* destroy)(const clap_plugin* plugin);
    bool(CLAP_ABI* activate)(const clap_plugin* plugin, double sample_rate,
                             uint32_t min_frames_count, uint32_t max_frames_count);
    void(CLAP_ABI* deactivate)(const clap_plugin* plugin);
    bool(CLAP_ABI* start_processing)(const clap_plugin* plugin);
    void(CLAP_ABI* stop_processing)(const clap_plugin* plugin);
    void(CLAP_ABI* reset)(const clap_plugin* plugin);
    clap_process_status(CLAP_ABI* process)(const clap_plugin* plugin,
                                           const clap_process_t* process);
    const void*(CLAP_ABI* get_extension)(const clap_plugin* plugin, const char* id);
    void(CLAP_ABI* on_main_thread)(const clap_plugin* plugin);
};
using clap_plugin_t = clap_plugin;

// ---- plug-in factory -----------------------------------------------------------------------
struct clap_plugin_factory {
    uint32_t(CLAP_ABI* get_plugin_count)(const clap_plugin_factory* factory);
    const clap_plugin_descriptor_t*(CLAP_ABI* get_plugin_descriptor)(
        const clap_plugin_factory* factory, uint32_t index);
    const clap_plugin_t*(CLAP_ABI* create_plugin)(const clap_plugin_factory* factory,
                                                  const clap_host_t* host, const char* plugin_id);
};
using clap_plugin_factory_t = clap_plugin_factory;

// ---- entry -------------------------------------------------------------------------------
struct clap_plugin_entry {
    clap_version_t clap_version;
    bool(CLAP_ABI* init)(const char* plugin_path);
    void(CLAP_ABI* deinit)();
    const void*(CLAP_ABI* get_factory)(const char* factory_id);
};
using clap_plugin_entry_t = clap_plugin_entry;

// What a host looks up by name in the plug-in's shared object.
CLAP_EXPORT extern const clap_plugin_entry_t clap_entry;

// ---- streams ------------------------------------------------------------------------------
// Both return the number of bytes moved, which may be fewer than asked, or -1
// on error; read returns 0 at the end of the stream.
struct clap_istream {
    void* ctx;
    int64_t(CLAP_ABI* read)(const clap_istream* stream, void* buffer, uint64_t size);
};
using clap_istream_t = clap_istream;

struct clap_ostream {
    void* ctx;
    int64_t(CLAP_ABI* write)(const clap_ostream* stream, const void* buffer, uint64_t size);
};
using clap_ostream_t = clap_ostream;

}  // extern "C"

constexpr uint16_t CLAP_CORE_EVENT_SPACE_ID = 0;
inline constexpr char CLAP_PLUGIN_FACTORY_ID[] = "clap.plugin-factory";

// ---- plug-in features (descriptor's feature list) -----------------------------------------
inline constexpr char CLAP_PLUGIN_FEATURE_INSTRUMENT[] = "instrument";
inline constexpr char CLAP_PLUGIN_FEATURE_AUDIO_EFFECT[] = "audio-effect";
inline constexpr char CLAP_PLUGIN_FEATURE_NOTE_EFFECT[] = "note-effect";
inline constexpr char CLAP_PLUGIN_FEATURE_NOTE_DETECTOR[] = "note-detector";
inline constexpr char CLAP_PLUGIN_FEATURE_ANALYZER[] = "analyzer";
inline constexpr char CLAP_PLUGIN_FEATURE_SYNTHESIZER[] = "synthesizer";
inline constexpr char CLAP_PLUGIN_FEATURE_SAMPLER[] = "sampler";
inline constexpr char CLAP_PLUGIN_FEATURE_DRUM[] = "drum";
inline constexpr char CLAP_PLUGIN_FEATURE_DRUM_MACHINE[] = "drum-machine";
inline constexpr char CLAP_PLUGIN_FEATURE_FILTER[] = "filter";
inline constexpr char CLAP_PLUGIN_FEATURE_PHASER[] = "phaser";
inline constexpr char CLAP_PLUGIN_FEATURE_EQUALIZER[] = "equalizer";
inline constexpr char CLAP_PLUGIN_FEATURE_DEESSER[] = "de-esser";
inline constexpr char CLAP_PLUGIN_FEATURE_PHASE_VOCODER[] = "phase-vocoder";
inline constexpr char CLAP_PLUGIN_FEATURE_GRANULAR[] = "granular";
inline constexpr char CLAP_PLUGIN_FEATURE_FREQUENCY_SHIFTER[] = "frequency-shifter";
inline constexpr char CLAP_PLUGIN_FEATURE_PITCH_SHIFTER[] = "pitch-shifter";
inline constexpr char CLAP_PLUGIN_FEATURE_DISTORTION[] = "distortion";
inline constexpr char CLAP_PLUGIN_FEATURE_TRANSIENT_SHAPER[] = "transient-shaper";
inline constexpr char CLAP_PLUGIN_FEATURE_COMPRESSOR[] = "compressor";
inline constexpr char CLAP_PLUGIN_FEATURE_EXPANDER[] = "expander";
inline constexpr char CLAP_PLUGIN_FEATURE_GATE[] = "gate";
inline constexpr char CLAP_PLUGIN_FEATURE_LIMITER[] = "limiter";
inline constexpr char CLAP_PLUGIN_FEATURE_FLANGER[] = "flanger";
inline constexpr char CLAP_PLUGIN_FEATURE_CHORUS[] = "chorus";
inline constexpr char CLAP_PLUGIN_FEATURE_DELAY[] = "delay";
inline constexpr char CLAP_PLUGIN_FEATURE_REVERB[] = "reverb";
inline constexpr char CLAP_PLUGIN_FEATURE_TREMOLO[] = "tremolo";
inline constexpr char CLAP_PLUGIN_FEATURE_GLITCH[] = "glitch";
inline constexpr char CLAP_PLUGIN_FEATURE_UTILITY[] = "utility";
inline constexpr char CLAP_PLUGIN_FEATURE_PITCH_CORRECTION[] = "pitch-correction";
inline constexpr char CLAP_PLUGIN_FEATURE_RESTORATION[] = "restoration";
inline constexpr char CLAP_PLUGIN_FEATURE_MULTI_EFFECTS[] = "multi-effects";
inline constexpr char CLAP_PLUGIN_FEATURE_MIXING[] = "mixing";
inline constexpr char CLAP_PLUGIN_FEATURE_MASTERING[] = "mastering";
inline constexpr char CLAP_PLUGIN_FEATURE_MONO[] = "mono";
inline constexpr char CLAP_PLUGIN_FEATURE_STEREO[] = "stereo";
inline constexpr char CLAP_PLUGIN_FEATURE_SURROUND[] = "surround";
inline constexpr char CLAP_PLUGIN_FEATURE_AMBISONIC[] = "ambisonic";

// ---- extension ids ---------------------------------------------------------------------------
inline constexpr char CLAP_EXT_AUDIO_PORTS[] = "clap.audio-ports";
inline constexpr char CLAP_PORT_MONO[] = "mono";
inline constexpr char CLAP_PORT_STEREO[] = "stereo";
inline constexpr char CLAP_EXT_PARAMS[] = "clap.params";
inline constexpr char CLAP_EXT_STATE[] = "clap.state";
inline constexpr char CLAP_EXT_GUI[] = "clap.gui";
inline constexpr char CLAP_EXT_TIMER_SUPPORT[] = "clap.timer-support";
inline constexpr char CLAP_EXT_POSIX_FD_SUPPORT[] = "clap.posix-fd-support";
inline constexpr char CLAP_EXT_LATENCY[] = "clap.latency";
inline constexpr char CLAP_EXT_TAIL[] = "clap.tail";
inline constexpr char CLAP_EXT_NOTE_PORTS[] = "clap.note-ports";
// Hosts written before preset loading left the drafts ask for the second id;
// both name the same interface.
inline constexpr char CLAP_EXT_PRESET_LOAD[] = "clap.preset-load/2";
inline constexpr char CLAP_EXT_PRESET_LOAD_COMPAT[] = "clap.preset-load.draft/2";
inline constexpr char CLAP_EXT_THREAD_CHECK[] = "clap.thread-check";
inline constexpr char CLAP_EXT_LOG[] = "clap.log";

// Window systems a GUI can be embedded in (clap_window_t::api).
inline constexpr char CLAP_WINDOW_API_WIN32[] = "win32";
inline constexpr char CLAP_WINDOW_API_COCOA[] = "cocoa";
inline constexpr char CLAP_WINDOW_API_UIKIT[] = "uikit";
inline constexpr char CLAP_WINDOW_API_X11[] = "x11";
inline constexpr char CLAP_WINDOW_API_WAYLAND[] = "wayland";

// The same for the preset discovery factory.
inline constexpr char CLAP_PRESET_DISCOVERY_FACTORY_ID[] = "clap.preset-discovery-factory/2";
inline constexpr char CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT[] =
    "clap.preset-discovery-factory/draft-2";

extern "C" {

// ---- audio-ports ------------------------------------------------------------------------------
constexpr uint32_t CLAP_AUDIO_PORT_IS_MAIN = 1u << 0;
constexpr uint32_t CLAP_AUDIO_PORT_SUPPORTS_64BITS = 1u << 1;
constexpr uint32_t CLAP_AUDIO_PORT_PREFERS_64BITS = 1u << 2;
constexpr uint32_t CLAP_AUDIO_PORT_REQUIRES_COMMON_SAMPLE_SIZE = 1u << 3;

struct clap_audio_port_info {
    clap_id id;
    char name[CLAP_NAME_SIZE];
    uint32_t flags;
    uint32_t channel_count;
    const char* port_type;  // CLAP_PORT_MONO, CLAP_PORT_STEREO, another, or null
    clap_id in_place_pair;  // the port on the other side that may share its buffer
};
using clap_audio_port_info_t = clap_audio_port_info;

struct clap_plugin_audio_ports {
    uint32_t(CLAP_ABI* count)(const clap_plugin_t* plugin, bool is_input);
    bool(CLAP_ABI* get)(const clap_plugin_t* plugin, uint32_t index, bool is_input,
                        clap_audio_port_info_t* info);
};
using clap_plugin_audio_ports_t = clap_plugin_audio_ports;

constexpr uint32_t CLAP_AUDIO_PORTS_RESCAN_NAMES = 1u << 0;
constexpr uint32_t CLAP_AUDIO_PORTS_RESCAN_FLAGS = 1u << 1;
constexpr uint32_t CLAP_AUDIO_PORTS_RESCAN_CHANNEL_COUNT = 1u << 2;
constexpr uint32_t CLAP_AUDIO_PORTS_RESCAN_PORT_TYPE = 1u << 3;
constexpr uint32_t CLAP_AUDIO_PORTS_RESCAN_IN_PLACE_PAIR = 1u << 4;
constexpr uint32_t CLAP_AUDIO_PORTS_RESCAN_LIST = 1u << 5;

struct clap_host_audio_ports {
    bool(CLAP_ABI* is_rescan_flag_supported)(const clap_host_t* host, uint32_t flag);
    void(CLAP_ABI* rescan)(const clap_host_t* host, uint32_t flags);
};
using clap_host_audio_ports_t = clap_host_audio_ports;

// ---- params ----------------------------------------------------------------------------------
constexpr uint32_t CLAP_PARAM_IS_STEPPED = 1u << 0;
constexpr uint32_t CLAP_PARAM_IS_PERIODIC = 1u << 1;
constexpr uint32_t CLAP_PARAM_IS_HIDDEN = 1u << 2;
constexpr uint32_t CLAP_PARAM_IS_READONLY = 1u << 3;
constexpr uint32_t CLAP_PARAM_IS_BYPASS = 1u << 4;
constexpr uint32_t CLAP_PARAM_IS_AUTOMATABLE = 1u << 5;
constexpr uint32_t CLAP_PARAM_IS_AUTOMATABLE_PER_NOTE_ID = 1u << 6;
constexpr uint32_t CLAP_PARAM_IS_AUTOMATABLE_PER_KEY = 1u << 7;
constexpr uint32_t CLAP_PARAM_IS_AUTOMATABLE_PER_CHANNEL = 1u << 8;
constexpr uint32_t CLAP_PARAM_IS_AUTOMATABLE_PER_PORT = 1u << 9;
constexpr uint32_t CLAP_PARAM_IS_MODULATABLE = 1u << 10;
constexpr uint32_t CLAP_PARAM_IS_MODULATABLE_PER_NOTE_ID = 1u << 11;
constexpr uint32_t CLAP_PARAM_IS_MODULATABLE_PER_KEY = 1u << 12;
constexpr uint32_t CLAP_PARAM_IS_MODULATABLE_PER_CHANNEL = 1u << 13;
constexpr uint32_t CLAP_PARAM_IS_MODULATABLE_PER_PORT = 1u << 14;
constexpr uint32_t CLAP_PARAM_REQUIRES_PROCESS = 1u << 15;
constexpr uint32_t CLAP_PARAM_IS_ENUM = 1u << 16;
using clap_param_info_flags = uint32_t;

struct clap_param_info {
    clap_id id;
    clap_param_info_flags flags;
    void* cookie;  // handed back in this parameter's events
    char name[CLAP_NAME_SIZE];
    char module[CLAP_PATH_SIZE];  // "/"-separated group path, may be empty
    double min_value;             // plain values, all finite
    double max_value;
    double default_value;
};
using clap_param_info_t = clap_param_info;

struct clap_plugin_params {
    uint32_t(CLAP_ABI* count)(const clap_plugin_t* plugin);
    bool(CLAP_ABI* get_info)(const clap_plugin_t* plugin, uint32_t param_index,
                             clap_param_info_t* param_info);
    bool(CLAP_ABI* get_value)(const clap_plugin_t* plugin, clap_id param_id, double* out_value);
    bool(CLAP_ABI* value_to_text)(const clap_plugin_t* plugin, clap_id param_id, double value,
                                  char* out_buffer, uint32_t out_buffer_capacity);
    bool(CLAP_ABI* text_to_value)(const clap_plugin_t* plugin, clap_id param_id,
                                  const char* param_value_text, double* out_value);
    void(CLAP_ABI* flush)(const clap_plugin_t* plugin, const clap_input_events_t* in,
                          const clap_output_events_t* out);
};
using clap_plugin_params_t = clap_plugin_params;

constexpr uint32_t CLAP_PARAM_RESCAN_VALUES = 1u << 0;
constexpr uint32_t CLAP_PARAM_RESCAN_TEXT = 1u << 1;
constexpr uint32_t CLAP_PARAM_RESCAN_INFO = 1u << 2;
constexpr uint32_t CLAP_PARAM_RESCAN_ALL = 1u << 3;
using clap_param_rescan_flags = uint32_t;

constexpr uint32_t CLAP_PARAM_CLEAR_ALL = 1u << 0;
constexpr uint32_t CLAP_PARAM_CLEAR_AUTOMATIONS = 1u << 1;
constexpr uint32_t CLAP_PARAM_CLEAR_MODULATIONS = 1u << 2;
using clap_param_clear_flags = uint32_t;

struct clap_host_params {
    void(CLAP_ABI* rescan)(const clap_host_t* host, clap_param_rescan_flags flags);
    void(CLAP_ABI* clear)(const clap_host_t* host, clap_id param_id, clap_param_clear_flags flags);
    void(CLAP_ABI* request_flush)(const clap_host_t* host);
};
using clap_host_params_t = clap_host_params;

// ---- state -----------------------------------------------------------------------------------
struct clap_plugin_state {
    bool(CLAP_ABI* save)(const clap_plugin_t* plugin, const clap_ostream_t* stream);
    bool(CLAP_ABI* load)(const clap_plugin_t* plugin, const clap_istream_t* stream);
};
using clap_plugin_state_t = clap_plugin_state;

struct clap_host_state {
    void(CLAP_ABI* mark_dirty)(const clap_host_t* host);
};
using clap_host_state_t = clap_host_state;

// ---- gui -------------------------------------------------------------------------------------
using clap_hwnd = void*;
using clap_nsview = void*;
using clap_uiview = void*;
using clap_xwnd = unsigned long;  // an X11 Window: 64 bits on Linux x86-64

struct clap_window {
    const char* api;  // one of CLAP_WINDOW_API_...
    union {
        clap_nsview cocoa;
        clap_uiview uikit;
        clap_xwnd x11;
        clap_hwnd win32;
        void* ptr;
    };
};
using clap_window_t = clap_window;

struct clap_gui_resize_hints {
    bool can_resize_horizontally;
    bool can_resize_vertically;
    bool preserve_aspect_ratio;
    uint32_t aspect_ratio_width;
    uint32_t aspect_ratio_height;
};
using clap_gui_resize_hints_t = clap_gui_resize_hints;

struct clap_plugin_gui {
    bool(CLAP_ABI* is_api_supported)(const clap_plugin_t* plugin, const char* api,
                                     bool is_floating);
    bool(CLAP_ABI* get_preferred_api)(const clap_plugin_t* plugin, const char** api,
                                      bool* is_floating);
    bool(CLAP_ABI* create)(const clap_plugin_t* plugin, const char* api, bool is_floating);
    void(CLAP_ABI* destroy)(const clap_plugin_t* plugin);
    bool(CLAP_ABI* set_scale)(const clap_plugin_t* plugin, double scale);
    bool(CLAP_ABI* get_size)(const clap_plugin_t* plugin, uint32_t* width, uint32_t* height);
    bool(CLAP_ABI* can_resize)(const clap_plugin_t* plugin);
    bool(CLAP_ABI* get_resize_hints)(const clap_plugin_t* plugin, clap_gui_resize_hints_t* hints);
    bool(CLAP_ABI* adjust_size)(const clap_plugin_t* plugin, uint32_t* width, uint32_t* height);
    bool(CLAP_ABI* set_size)(const clap_plugin_t* plugin, uint32_t width, uint32_t height);
    bool(CLAP_ABI* set_parent)(const clap_plugin_t* plugin, const clap_window_t* window);
    bool(CLAP_ABI* set_transient)(const clap_plugin_t* plugin, const clap_window_t* window);
    void(CLAP_ABI* suggest_title)(const clap_plugin_t* plugin, const char* title);
    bool(CLAP_ABI* show)(const clap_plugin_t* plugin);
    bool(CLAP_ABI* hide)(const clap_plugin_t* plugin);
};
using clap_plugin_gui_t = clap_plugin_gui;

struct clap_host_gui {
    void(CLAP_ABI* resize_hints_changed)(const clap_host_t* host);
    bool(CLAP_ABI* request_resize)(const clap_host_t* host, uint32_t width, uint32_t height);
    bool(CLAP_ABI* request_show)(const clap_host_t* host);
    bool(CLAP_ABI* request_hide)(const clap_host_t* host);
    void(CLAP_ABI* closed)(const clap_host_t* host, bool was_destroyed);
};
using clap_host_gui_t = clap_host_gui;

// ---- timer-support -----------------------------------------------------------------------------
struct clap_plugin_timer_support {
    void(CLAP_ABI* on_timer)(const clap_plugin_t* plugin, clap_id timer_id);
};
using clap_plugin_timer_support_t = clap_plugin_timer_support;

struct clap_host_timer_support {
    bool(CLAP_ABI* register_timer)(const clap_host_t* host, uint32_t period_ms, clap_id* timer_id);
    bool(CLAP_ABI* unregister_timer)(const clap_host_t* host, clap_id timer_id);
};
using clap_host_timer_support_t = clap_host_timer_support;

// ---- posix-fd-support ------------------------------------------------------------------------
constexpr uint32_t CLAP_POSIX_FD_READ = 1u << 0;
constexpr uint32_t CLAP_POSIX_FD_WRITE = 1u << 1;
constexpr uint32_t CLAP_POSIX_FD_ERROR = 1u << 2;
using clap_posix_fd_flags_t = uint32_t;

struct clap_plugin_posix_fd_support {
    void(CLAP_ABI* on_fd)(const clap_plugin_t* plugin, int fd, clap_posix_fd_flags_t flags);
};
using clap_plugin_posix_fd_support_t = clap_plugin_posix_fd_support;

struct clap_host_posix_fd_support {
    bool(CLAP_ABI* register_fd)(const clap_host_t* host, int fd, clap_posix_fd_flags_t flags);
    bool(CLAP_ABI* modify_fd)(const clap_host_t* host, int fd, clap_posix_fd_flags_t flags);
    bool(CLAP_ABI* unregister_fd)(const clap_host_t* host, int fd);
};
using clap_host_posix_fd_support_t = clap_host_posix_fd_support;

// ---- latency and tail --------------------------------------------------------------------------
struct clap_plugin_latency {
    uint32_t(CLAP_ABI* get)(const clap_plugin_t* plugin);  // frames
};
using clap_plugin_latency_t = clap_plugin_latency;

struct clap_host_latency {
    void(CLAP_ABI* changed)(const clap_host_t* host);
};
using clap_host_latency_t = clap_host_latency;

struct clap_plugin_tail {
    uint32_t(CLAP_ABI* get)(const clap_plugin_t* plugin);  // frames; INT32_MAX or more: endless
};
using clap_plugin_tail_t = clap_plugin_tail;

struct clap_host_tail {
    void(CLAP_ABI* changed)(const clap_host_t* host);
};
using clap_host_tail_t = clap_host_tail;

// ---- note-ports --------------------------------------------------------------------------------
using clap_note_dialect = uint32_t;
constexpr uint32_t CLAP_NOTE_DIALECT_CLAP = 1u << 0;
constexpr uint32_t CLAP_NOTE_DIALECT_MIDI = 1u << 1;
constexpr uint32_t CLAP_NOTE_DIALECT_MIDI_MPE = 1u << 2;
constexpr uint32_t CLAP_NOTE_DIALECT_MIDI2 = 1u << 3;

struct clap_note_port_info {
    clap_id id;
    uint32_t supported_dialects;  // clap_note_dialect bits
    uint32_t preferred_dialect;   // one clap_note_dialect
    char name[CLAP_NAME_SIZE];
};
using clap_note_port_info_t = clap_note_port_info;

// An effect without note ports still answers: zero in both directions.
struct clap_plugin_note_ports {
    uint32_t(CLAP_ABI* count)(const clap_plugin_t* plugin, bool is_input);
    bool(CLAP_ABI* get)(const clap_plugin_t* plugin, uint32_t index, bool is_input,
                        clap_note_port_info_t* info);
};
using clap_plugin_note_ports_t = clap_plugin_note_ports;

constexpr uint32_t CLAP_NOTE_PORTS_RESCAN_ALL = 1u << 0;
constexpr uint32_t CLAP_NOTE_PORTS_RESCAN_NAMES = 1u << 1;

struct clap_host_note_ports {
    uint32_t(CLAP_ABI* supported_dialects)(const clap_host_t* host);
    void(CLAP_ABI* rescan)(const clap_host_t* host, uint32_t flags);
};
using clap_host_note_ports_t = clap_host_note_ports;

// ---- preset-load -------------------------------------------------------------------------------
// location_kind is a clap_preset_discovery_location_kind; location is null for
// presets held inside the plug-in, and load_key may be null.
struct clap_plugin_preset_load {
    bool(CLAP_ABI* from_location)(const clap_plugin_t* plugin, uint32_t location_kind,
                                  const char* location, const char* load_key);
};
using clap_plugin_preset_load_t = clap_plugin_preset_load;

struct clap_host_preset_load {
    void(CLAP_ABI* on_error)(const clap_host_t* host, uint32_t location_kind, const char* location,
                             const char* load_key, int32_t os_error, const char* msg);
    void(CLAP_ABI* loaded)(const clap_host_t* host, uint32_t location_kind, const char* location,
                           const char* load_key);
};
using clap_host_preset_load_t = clap_host_preset_load;

// ---- thread-check and log (host side) ------------------------------------------------------------
struct clap_host_thread_check {
    bool(CLAP_ABI* is_main_thread)(const clap_host_t* host);
    bool(CLAP_ABI* is_audio_thread)(const clap_host_t* host);
};
using clap_host_thread_check_t = clap_host_thread_check;

constexpr int32_t CLAP_LOG_DEBUG = 0;
constexpr int32_t CLAP_LOG_INFO = 1;
constexpr int32_t CLAP_LOG_WARNING = 2;
constexpr int32_t CLAP_LOG_ERROR = 3;
constexpr int32_t CLAP_LOG_FATAL = 4;
constexpr int32_t CLAP_LOG_HOST_MISBEHAVING = 5;
constexpr int32_t CLAP_LOG_PLUGIN_MISBEHAVING = 6;
using clap_log_severity = int32_t;

struct clap_host_log {
    void(CLAP_ABI* log)(const clap_host_t* host, clap_log_severity severity, const char* msg);
};
using clap_host_log_t = clap_host_log;

// ---- preset discovery factory ------------------------------------------------------------------
// A plug-in named independently of its format: abi is "clap", "vst3", ...
struct clap_universal_plugin_id {
    const char* abi;
    const char* id;
};
using clap_universal_plugin_id_t = clap_universal_plugin_id;

using clap_preset_discovery_location_kind = uint32_t;
constexpr uint32_t CLAP_PRESET_DISCOVERY_LOCATION_FILE = 0;
constexpr uint32_t CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN = 1;

using clap_preset_discovery_flags = uint32_t;
constexpr uint32_t CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT = 1u << 0;
constexpr uint32_t CLAP_PRESET_DISCOVERY_IS_USER_CONTENT = 1u << 1;
constexpr uint32_t CLAP_PRESET_DISCOVERY_IS_DEMO_CONTENT = 1u << 2;
constexpr uint32_t CLAP_PRESET_DISCOVERY_IS_FAVORITE = 1u << 3;

// The host's sink for what a provider finds in one location.
struct clap_preset_discovery_metadata_receiver {
    void* receiver_data;
    void(CLAP_ABI* on_error)(const clap_preset_discovery_metadata_receiver* receiver,
                             int32_t os_error, const char* error_message);
    bool(CLAP_ABI* begin_preset)(const clap_preset_discovery_metadata_receiver* receiver,
                                 const char* name, const char* load_key);
    void(CLAP_ABI* add_plugin_id)(const clap_preset_discovery_metadata_receiver* receiver,
                                  const clap_universal_plugin_id_t* plugin_id);
    void(CLAP_ABI* set_soundpack_id)(const clap_preset_discovery_metadata_receiver* receiver,
                                     const char* soundpack_id);
    void(CLAP_ABI* set_flags)(const clap_preset_discovery_metadata_receiver* receiver,
                              uint32_t flags);
    void(CLAP_ABI* add_creator)(const clap_preset_discovery_metadata_receiver* receiver,
                                const char* creator);
    void(CLAP_ABI* set_description)(const clap_preset_discovery_metadata_receiver* receiver,
                                    const char* description);
    void(CLAP_ABI* set_timestamps)(const clap_preset_discovery_metadata_receiver* receiver,
                                   clap_timestamp creation_time, clap_timestamp modification_time);
    void(CLAP_ABI* add_feature)(const clap_preset_discovery_metadata_receiver* receiver,
                                const char* feature);
    void(CLAP_ABI* add_extra_info)(const clap_preset_discovery_metadata_receiver* receiver,
                                   const char* key, const char* value);
};
using clap_preset_discovery_metadata_receiver_t = clap_preset_discovery_metadata_receiver;

struct clap_preset_discovery_filetype {
    const char* name;
    const char* description;
    const char* file_extension;  // without the dot; empty or null: any file
};
using clap_preset_discovery_filetype_t = clap_preset_discovery_filetype;

struct clap_preset_discovery_location {
    uint32_t flags;  // clap_preset_discovery_flags
    const char* name;
    uint32_t kind;         // clap_preset_discovery_location_kind
    const char* location;  // a path for FILE, null for PLUGIN
};
using clap_preset_discovery_location_t = clap_preset_discovery_location;

struct clap_preset_discovery_soundpack {
    uint32_t flags;
    const char* id;
    const char* name;
    const char* description;
    const char* homepage_url;
    const char* vendor;
    const char* image_path;
    clap_timestamp release_timestamp;
};
using clap_preset_discovery_soundpack_t = clap_preset_discovery_soundpack;

struct clap_preset_discovery_provider_descriptor {
    clap_version_t clap_version;
    const char* id;
    const char* name;
    const char* vendor;
};
using clap_preset_discovery_provider_descriptor_t = clap_preset_discovery_provider_descriptor;

struct clap_preset_discovery_provider {
    const clap_preset_discovery_provider_descriptor_t* desc;
    void* provider_data;
    bool(CLAP_ABI* init)(const clap_preset_discovery_provider* provider);
    void(CLAP_ABI* destroy)(const clap_preset_discovery_provider* provider);
    bool(CLAP_ABI* get_metadata)(
        const clap_preset_discovery_provider* provider, uint32_t location_kind,
        const char* location, const clap_preset_discovery_metadata_receiver_t* metadata_receiver);
    const void*(CLAP_ABI* get_extension)(const clap_preset_discovery_provider* provider,
                                         const char* extension_id);
};
using clap_preset_discovery_provider_t = clap_preset_discovery_provider;

// The host side that a provider declares its file types, locations and sound packs to.
struct clap_preset_discovery_indexer {
    clap_version_t clap_version;
    const char* name;
    const char* vendor;
    const char* url;
    const char* version;
    void* indexer_data;
    bool(CLAP_ABI* declare_filetype)(const clap_preset_discovery_indexer* indexer,
                                     const clap_preset_discovery_filetype_t* filetype);
    bool(CLAP_ABI* declare_location)(const clap_preset_discovery_indexer* indexer,
                                     const clap_preset_discovery_location_t* location);
    bool(CLAP_ABI* declare_soundpack)(const clap_preset_discovery_indexer* indexer,
                                      const clap_preset_discovery_soundpack_t* soundpack);
    const void*(CLAP_ABI* get_extension)(const clap_preset_discovery_indexer* indexer,
                                         const char* extension_id);
};
using clap_preset_discovery_indexer_t = clap_preset_discovery_indexer;

struct clap_preset_discovery_factory {
    uint32_t(CLAP_ABI* count)(const clap_preset_discovery_factory* factory);
    const clap_preset_discovery_provider_descriptor_t*(CLAP_ABI* get_descriptor)(
        const clap_preset_discovery_factory* factory, uint32_t index);
    const clap_preset_discovery_provider_t*(CLAP_ABI* create)(
        const clap_preset_discovery_factory* factory,
        const clap_preset_discovery_indexer_t* indexer, const char* provider_id);
};
using clap_preset_discovery_factory_t = clap_preset_discovery_factory;

}  // extern "C"

namespace tarnwick::clap {
// The name a host passes to dlsym or GetProcAddress.
inline constexpr char kEntrySymbol[] = "clap_entry";
}  // namespace tarnwick::clap

// ---- layout checks ------------------------------------------------------------------------------
// x86-64, both the Linux (LP64) and the Windows (LLP64) model: every field
// here is fixed-width, a pointer or a bool (one byte on both), so the two
// agree except for clap_xwnd, whose 32-bit Windows long still sits in an
// 8-byte union. A 64-bit field after a 32-bit one is padded to 8.
#if defined(__x86_64__) || defined(_M_X64)
static_assert(sizeof(void*) == 8 && sizeof(bool) == 1);
#if defined(_WIN32)
static_assert(sizeof(clap_xwnd) == 4);
#else
static_assert(sizeof(clap_xwnd) == 8);
#endif

static_assert(sizeof(clap_version_t) == 12 && alignof(clap_version_t) == 4);

// events
static_assert(sizeof(clap_event_header_t) == 16);
static_assert(offsetof(clap_event_header_t, space_id) == 8);
static_assert(offsetof(clap_event_header_t, type) == 10);
static_assert(offsetof(clap_event_header_t, flags) == 12);
static_assert(sizeof(clap_event_note_t) == 40);
static_assert(offsetof(clap_event_note_t, note_id) == 16);
static_assert(offsetof(clap_event_note_t, key) == 24);
static_assert(offsetof(clap_event_note_t, velocity) == 32);
static_assert(sizeof(clap_event_note_expression_t) == 40);
static_assert(offsetof(clap_event_note_expression_t, key) == 28);
static_assert(offsetof(clap_event_note_expression_t, value) == 32);
static_assert(sizeof(clap_event_param_value_t) == 56);
static_assert(offsetof(clap_event_param_value_t, param_id) == 16);
static_assert(offsetof(clap_event_param_value_t, cookie) == 24);
static_assert(offsetof(clap_event_param_value_t, note_id) == 32);
static_assert(offsetof(clap_event_param_value_t, port_index) == 36);
static_assert(offsetof(clap_event_param_value_t, channel) == 38);
static_assert(offsetof(clap_event_param_value_t, key) == 40);
static_assert(offsetof(clap_event_param_value_t, value) == 48);
static_assert(sizeof(clap_event_param_mod_t) == 56);
static_assert(offsetof(clap_event_param_mod_t, amount) == 48);
static_assert(sizeof(clap_event_param_gesture_t) == 20);
static_assert(offsetof(clap_event_param_gesture_t, param_id) == 16);
static_assert(sizeof(clap_event_transport_t) == 104);
static_assert(offsetof(clap_event_transport_t, song_pos_beats) == 24);
static_assert(offsetof(clap_event_transport_t, tempo) == 40);
static_assert(offsetof(clap_event_transport_t, bar_start) == 88);
static_assert(offsetof(clap_event_transport_t, bar_number) == 96);
static_assert(offsetof(clap_event_transport_t, tsig_denom) == 102);
static_assert(sizeof(clap_event_midi_t) == 24 && offsetof(clap_event_midi_t, data) == 18);
static_assert(sizeof(clap_event_midi_sysex_t) == 40);
static_assert(offsetof(clap_event_midi_sysex_t, buffer) == 24);
static_assert(offsetof(clap_event_midi_sysex_t, size) == 32);
static_assert(sizeof(clap_event_midi2_t) == 36 && offsetof(clap_event_midi2_t, data) == 20);
static_assert(sizeof(clap_input_events_t) == 24 && sizeof(clap_output_events_t) == 16);

// processing
static_assert(sizeof(clap_audio_buffer_t) == 32);
static_assert(offsetof(clap_audio_buffer_t, channel_count) == 16);
static_assert(offsetof(clap_audio_buffer_t, constant_mask) == 24);
static_assert(sizeof(clap_process_t) == 64);
static_assert(offsetof(clap_process_t, frames_count) == 8);
static_assert(offsetof(clap_process_t, transport) == 16);
static_assert(offsetof(clap_process_t, audio_inputs) == 24);
static_assert(offsetof(clap_process_t, audio_outputs) == 32);
static_assert(offsetof(clap_process_t, audio_inputs_count) == 40);
static_assert(offsetof(clap_process_t, audio_outputs_count) == 44);
static_assert(offsetof(clap_process_t, in_events) == 48);
static_assert(offsetof(clap_process_t, out_events) == 56);

// host, plug-in, factory, entry, streams
static_assert(sizeof(clap_host_t) == 88);
static_assert(offsetof(clap_host_t, host_data) == 16);
static_assert(offsetof(clap_host_t, get_extension) == 56);
static_assert(offsetof(clap_host_t, request_callback) == 80);
static_assert(sizeof(clap_plugin_descriptor_t) == 88);
static_assert(offsetof(clap_plugin_descriptor_t, id) == 16);
static_assert(offsetof(clap_plugin_descriptor_t, version) == 64);
static_assert(offsetof(clap_plugin_descriptor_t, features) == 80);
static_assert(sizeof(clap_plugin_t) == 96);
static_assert(offsetof(clap_plugin_t, init) == 16);
static_assert(offsetof(clap_plugin_t, activate) == 32);
static_assert(offsetof(clap_plugin_t, process) == 72);
static_assert(offsetof(clap_plugin_t, get_extension) == 80);
static_assert(offsetof(clap_plugin_t, on_main_thread) == 88);
static_assert(sizeof(clap_plugin_factory_t) == 24);
static_assert(sizeof(clap_plugin_entry_t) == 40);
static_assert(offsetof(clap_plugin_entry_t, init) == 16);
static_assert(offsetof(clap_plugin_entry_t, get_factory) == 32);
static_assert(sizeof(clap_istream_t) == 16 && sizeof(clap_ostream_t) == 16);

// extensions
static_assert(sizeof(clap_audio_port_info_t) == 288);
static_assert(offsetof(clap_audio_port_info_t, name) == 4);
static_assert(offsetof(clap_audio_port_info_t, flags) == 260);
static_assert(offsetof(clap_audio_port_info_t, channel_count) == 264);
static_assert(offsetof(clap_audio_port_info_t, port_type) == 272);
static_assert(offsetof(clap_audio_port_info_t, in_place_pair) == 280);
static_assert(sizeof(clap_plugin_audio_ports_t) == 16 && sizeof(clap_host_audio_ports_t) == 16);
static_assert(sizeof(clap_param_info_t) == 1320);
static_assert(offsetof(clap_param_info_t, cookie) == 8);
static_assert(offsetof(clap_param_info_t, name) == 16);
static_assert(offsetof(clap_param_info_t, module) == 272);
static_assert(offsetof(clap_param_info_t, min_value) == 1296);
static_assert(offsetof(clap_param_info_t, default_value) == 1312);
static_assert(sizeof(clap_plugin_params_t) == 48 && sizeof(clap_host_params_t) == 24);
static_assert(sizeof(clap_plugin_state_t) == 16 && sizeof(clap_host_state_t) == 8);
static_assert(sizeof(clap_window_t) == 16 && offsetof(clap_window_t, x11) == 8);
static_assert(sizeof(clap_gui_resize_hints_t) == 12);
static_assert(offsetof(clap_gui_resize_hints_t, preserve_aspect_ratio) == 2);
static_assert(offsetof(clap_gui_resize_hints_t, aspect_ratio_width) == 4);
static_assert(offsetof(clap_gui_resize_hints_t, aspect_ratio_height) == 8);
static_assert(sizeof(clap_plugin_gui_t) == 15 * 8 && sizeof(clap_host_gui_t) == 5 * 8);
static_assert(offsetof(clap_plugin_gui_t, set_parent) == 80);
static_assert(offsetof(clap_plugin_gui_t, hide) == 112);
static_assert(sizeof(clap_plugin_timer_support_t) == 8 && sizeof(clap_host_timer_support_t) == 16);
static_assert(sizeof(clap_plugin_posix_fd_support_t) == 8);
static_assert(sizeof(clap_host_posix_fd_support_t) == 24);
static_assert(sizeof(clap_plugin_latency_t) == 8 && sizeof(clap_plugin_tail_t) == 8);
static_assert(sizeof(clap_note_port_info_t) == 268);
static_assert(offsetof(clap_note_port_info_t, name) == 12);
static_assert(sizeof(clap_plugin_note_ports_t) == 16 && sizeof(clap_host_note_ports_t) == 16);
static_assert(sizeof(clap_plugin_preset_load_t) == 8 && sizeof(clap_host_preset_load_t) == 16);
static_assert(sizeof(clap_host_thread_check_t) == 16 && sizeof(clap_host_log_t) == 8);

// preset discovery
static_assert(sizeof(clap_universal_plugin_id_t) == 16);
static_assert(sizeof(clap_preset_discovery_metadata_receiver_t) == 88);
static_assert(offsetof(clap_preset_discovery_metadata_receiver_t, set_timestamps) == 64);
static_assert(sizeof(clap_preset_discovery_filetype_t) == 24);
static_assert(sizeof(clap_preset_discovery_location_t) == 32);
static_assert(offsetof(clap_preset_discovery_location_t, name) == 8);
static_assert(offsetof(clap_preset_discovery_location_t, kind) == 16);
static_assert(offsetof(clap_preset_discovery_location_t, location) == 24);
static_assert(sizeof(clap_preset_discovery_soundpack_t) == 64);
static_assert(offsetof(clap_preset_discovery_soundpack_t, id) == 8);
static_assert(offsetof(clap_preset_discovery_soundpack_t, release_timestamp) == 56);
static_assert(sizeof(clap_preset_discovery_provider_descriptor_t) == 40);
static_assert(offsetof(clap_preset_discovery_provider_descriptor_t, id) == 16);
static_assert(sizeof(clap_preset_discovery_provider_t) == 48);
static_assert(offsetof(clap_preset_discovery_provider_t, get_metadata) == 32);
static_assert(sizeof(clap_preset_discovery_indexer_t) == 88);
static_assert(offsetof(clap_preset_discovery_indexer_t, indexer_data) == 48);
static_assert(offsetof(clap_preset_discovery_indexer_t, declare_filetype) == 56);
static_assert(offsetof(clap_preset_discovery_indexer_t, get_extension) == 80);
static_assert(sizeof(clap_preset_discovery_factory_t) == 24);
#endif

// The version tests compare major, then minor, then revision.
static_assert(CLAP_VERSION_GE(1, 2, 0) && CLAP_VERSION_LT(1, 3, 0) && CLAP_VERSION_LT(2, 0, 0));
static_assert(!CLAP_VERSION_LT(0, 99, 99) && !CLAP_VERSION_LT(1, 1, 99) &&
              CLAP_VERSION_EQ(1, 2, 10));
static_assert(clap_version_is_compatible(CLAP_VERSION) && !clap_version_is_compatible({0, 26, 0}));
