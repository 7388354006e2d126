-- Second Ardour process (closing a second session in one process hangs):
-- reopen the saved session, which instantiates the gate anew and hands it
-- the stored parameters, and report them.
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
R("name", proc:display_name())
for i = 0, 5 do
  R("param_" .. i, ARDOUR.LuaAPI.get_processor_param(proc, i, true))
end
ARDOUR.LuaAPI.usleep(300000)
close_session()
R("done", true)
quit()
