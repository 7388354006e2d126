-- What the Ardour processes that build a session share: the dummy back end,
-- a new session in TEST_SESSION_DIR (which must not exist), a 4-input track
-- that monitors its inputs, and the plug-in TEST_PLUGIN_NAME on that track.
-- Returns R(key, value), which prints "RESULT key=value" for ardour_test.sh,
-- and the plug-in's processor.
local function R(k, v) print("RESULT " .. k .. "=" .. tostring(v)) io.stdout:flush() end

local backend = AudioEngine:set_backend("None (Dummy)", "", "")
assert(backend, "no dummy back end")
-- Every capture port of this device carries its own sine, so all four
-- plug-in inputs, signal and key, get audio.
backend:set_device_name("Sine Wave")
backend:set_sample_rate(48000)
backend:set_buffer_size(512)

local want = assert(os.getenv("TEST_PLUGIN_NAME"))
local s = create_session(assert(os.getenv("TEST_SESSION_DIR")), "gate", 48000)
assert(s, "create_session failed")

local listed = false
for p in ARDOUR.LuaAPI.list_plugins():iter() do
  if p.type == ARDOUR.PluginType.LXVST and p.name == want then listed = true end
end
R("listed", listed)
assert(listed, "plug-in not among Ardour's scanned plug-ins")

local tracks = Session:new_audio_track(4, 2, nil, 1, "gate", ARDOUR.PresentationInfo.max_order,
                                       ARDOUR.TrackMode.Normal, true, false)
local track = tracks:front()
track:monitoring_control():set_value(ARDOUR.MonitorChoice.MonitorInput, PBD.GroupControlDisposition.NoGroup)
R("track_inputs", track:n_inputs():n_audio())

local proc = ARDOUR.LuaAPI.new_plugin(Session, want, ARDOUR.PluginType.LXVST, "")
assert(not proc:isnil(), "new_plugin failed")
assert(track:add_processor_by_index(proc, 0, nil, true) == 0, "add_processor failed")
-- More than one means Ardour replicated the plug-in to fit the track.
R("instances", proc:to_insert():get_count())
return R, proc
