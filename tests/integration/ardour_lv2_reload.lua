-- Second Ardour process for the LV2 plug-in: reopens the saved session and
-- reports the gate's values, its side chain and the key level it measures.
-- Environment: TEST_SESSION_DIR.
local function R(k, v) print("RESULT " .. k .. "=" .. tostring(v)) io.stdout:flush() end

local backend = AudioEngine:set_backend("None (Dummy)", "", "")
assert(backend, "no dummy back end")
backend:set_device_name("Sine Wave")
backend:set_sample_rate(48000)
backend:set_buffer_size(512)

local s = load_session(assert(os.getenv("TEST_SESSION_DIR")), "gate")
assert(s, "load_session failed")
local track = Session:route_by_name("gate")
assert(track and not track:isnil(), "track missing")
local proc = track:nth_plugin(0)
assert(not proc:isnil(), "plug-in missing")
local insert = proc:to_insert()
R("name", insert:plugin(0):name())
for i = 0, 5 do R("param_" .. i, ARDOUR.LuaAPI.get_processor_param(proc, i, true)) end
R("has_sidechain", insert:has_sidechain())
local level = 0
for _ = 1, 30 do  -- up to 3 s for the key to arrive
  level = ARDOUR.LuaAPI.get_plugin_insert_param(insert, 6, true)
  if level > 0 then break end
  ARDOUR.LuaAPI.usleep(100000)
end
R("level_fed", level)
close_session()
R("done", true)
quit()
