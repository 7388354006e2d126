-- The LV2 plug-in in Ardour: a new session with the gate, found by its URI,
-- on a stereo track; its key fed through a side chain of the track from two
-- capture ports of their own; final values; save. Prints "RESULT key=value"
-- lines for ardour_test.sh.
-- Environment: TEST_SESSION_DIR (must not exist), TEST_URI, TEST_FINAL
-- ("index=value,..." by control input).
local function R(k, v) print("RESULT " .. k .. "=" .. tostring(v)) io.stdout:flush() end

local backend = AudioEngine:set_backend("None (Dummy)", "", "")
assert(backend, "no dummy back end")
backend:set_device_name("Sine Wave")
backend:set_sample_rate(48000)
backend:set_buffer_size(512)

local uri = assert(os.getenv("TEST_URI"))
local s = create_session(assert(os.getenv("TEST_SESSION_DIR")), "gate", 48000)
assert(s, "create_session failed")

for p in ARDOUR.LuaAPI.list_plugins():iter() do
  if p.type == ARDOUR.PluginType.LV2 and p.unique_id == uri then R("listed", p.name) end
end

local tracks = Session:new_audio_track(2, 2, nil, 1, "gate", ARDOUR.PresentationInfo.max_order,
                                       ARDOUR.TrackMode.Normal, true, false)
local track = tracks:front()
track:monitoring_control():set_value(ARDOUR.MonitorChoice.MonitorInput, PBD.GroupControlDisposition.NoGroup)
local proc = ARDOUR.LuaAPI.new_plugin(Session, uri, ARDOUR.PluginType.LV2, "")
assert(not proc:isnil(), "new_plugin failed")
assert(track:add_processor_by_index(proc, 0, nil, true) == 0, "add_processor failed")
local insert = proc:to_insert()
local plug = insert:plugin(0)
R("name", plug:name())
R("instances", insert:get_count())
R("in", insert:natural_input_streams():n_audio())
R("out", insert:natural_output_streams():n_audio())

-- Control parameters in port order: six inputs, then the key level.
local controls = 0
for i = 0, plug:parameter_count() - 1 do
  if plug:parameter_is_control(i) then
    R("control_" .. controls, plug:parameter_label(i))
    controls = controls + 1
  end
end
R("controls", controls)
local presets = 0
for _ in plug:get_info():get_presets(false):iter() do presets = presets + 1 end
R("presets", presets)

-- The key level, with the side chain unconnected and then connected.
-- Waits up to 3 s for the level to rise: a new connection takes a few cycles.
local function keyLevel()
  local level = 0
  for _ = 1, 30 do
    level = ARDOUR.LuaAPI.get_plugin_insert_param(insert, 6, true)
    if level > 0 then break end
    ARDOUR.LuaAPI.usleep(100000)
  end
  return level
end
ARDOUR.LuaAPI.usleep(300000)
R("sidechain_added", track:add_sidechain(proc))
local sc = insert:sidechain_input()
R("sidechain_ports", sc:n_ports():n_audio())
R("level_unfed", keyLevel())
R("connected", sc:connect(sc:audio(0), "system:capture_3", nil) == 0 and
               sc:connect(sc:audio(1), "system:capture_4", nil) == 0)
R("level_fed", keyLevel())

for idx, val in string.gmatch(os.getenv("TEST_FINAL") or "", "(%d+)=([%d%.]+)") do
  ARDOUR.LuaAPI.set_processor_param(proc, tonumber(idx), tonumber(val))
  R("final_" .. idx, ARDOUR.LuaAPI.get_processor_param(proc, tonumber(idx), true))
end
ARDOUR.LuaAPI.usleep(300000)
R("saved", Session:save_state("", false, false, false, false, false) == 0)
close_session()
R("done", true)
quit()
