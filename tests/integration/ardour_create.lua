-- First Ardour process: a new session with a 4-input track, the gate on it,
-- its facts, two offline exports (gate shut, gate open), final parameter
-- values, save. Prints "RESULT key=value" lines for ardour_test.sh.
-- Environment: TEST_SESSION_DIR (must not exist), TEST_PLUGIN_NAME,
-- TEST_FINAL ("index=value,..."), TEST_EXPORT_SECONDS.
local function R(k, v) print("RESULT " .. k .. "=" .. tostring(v)) io.stdout:flush() end

local backend = AudioEngine:set_backend("None (Dummy)", "", "")
assert(backend, "no dummy back end")
-- Every capture port of this device carries its own sine, so all four
-- plug-in inputs, signal and key, get audio.
backend:set_device_name("Sine Wave")
backend:set_sample_rate(48000)
backend:set_buffer_size(512)

local dir = assert(os.getenv("TEST_SESSION_DIR"))
local want = assert(os.getenv("TEST_PLUGIN_NAME"))
local seconds = tonumber(os.getenv("TEST_EXPORT_SECONDS") or "1")
local s = create_session(dir, "gate", 48000)
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
local insert = proc:to_insert()
local plug = insert:plugin(0)
R("name", plug:name())
R("maker", plug:maker())
R("unique_id", plug:unique_id())
R("instances", insert:get_count())
R("in", insert:natural_input_streams():n_audio())
R("out", insert:natural_output_streams():n_audio())

local params = 0
for i = 0, plug:parameter_count() - 1 do
  if plug:parameter_is_input(i) then
    R("param_name_" .. params, plug:parameter_label(i))
    R("param_default_" .. params, ARDOUR.LuaAPI.get_processor_param(proc, params, true))
    params = params + 1
  end
end
R("params", params)

local programs = 0
for preset in plug:get_info():get_presets(false):iter() do
  R("program_" .. programs, preset.label)
  programs = programs + 1
end
R("programs", programs)

-- Offline export of the master bus over the first seconds, with the gate's
-- threshold at THRESHOLD.
local function export(name, threshold)
  assert(ARDOUR.LuaAPI.set_processor_param(proc, 3, threshold), "set threshold failed")
  local ex = Session:simple_export()
  ex:set_name(name)
  ex:set_folder(dir .. "/export")
  assert(ex:set_preset("75969a1c-3133-4694-864b-a1fa50e43348"), "no WAV export preset")
  ex:set_range(0, math.floor(seconds * 48000))
  R("export_" .. name, ex:run_export())
end
export("shut", 1.0)
export("open", 0.0)

-- The values the second process must find again.
for idx, val in string.gmatch(os.getenv("TEST_FINAL") or "", "(%d+)=([%d%.]+)") do
  ARDOUR.LuaAPI.set_processor_param(proc, tonumber(idx), tonumber(val))
  R("final_" .. idx, ARDOUR.LuaAPI.get_processor_param(proc, tonumber(idx), true))
end
-- Let the engine run a moment with them, as a user's session would.
ARDOUR.LuaAPI.usleep(300000)

R("saved", Session:save_state("", false, false, false, false, false) == 0)
close_session()
R("done", true)
quit()
