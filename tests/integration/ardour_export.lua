-- The exporting Ardour process: a new session of its own with the gate on a
-- 4-input track, two offline exports of the master bus (gate shut, gate
-- open), never saved. Ardour 7.3's export can damage its own heap (see
-- ardour_test.sh) and the process die of it later; keeping the exports out
-- of the session that is saved and reloaded keeps that damage away from it.
-- Prints "RESULT key=value" lines for ardour_test.sh; "exporting" marks the
-- start of each export, "done" is the last line.
-- Environment: TEST_SESSION_DIR (must not exist), TEST_PLUGIN_NAME,
-- TEST_EXPORT_SECONDS.
local A = dofile(debug.getinfo(1, "S").source:match("^@(.*/)") .. "ardour_session.lua")
local R = A.R
local _, proc = A.new(4, ARDOUR.PluginType.LXVST, assert(os.getenv("TEST_PLUGIN_NAME")))
local dir = os.getenv("TEST_SESSION_DIR")
local seconds = tonumber(os.getenv("TEST_EXPORT_SECONDS") or "1")

-- Offline export over the first seconds, with the gate's threshold at
-- THRESHOLD and every other parameter at its default.
local function export(name, threshold)
  assert(ARDOUR.LuaAPI.set_processor_param(proc, 3, threshold), "set threshold failed")
  local ex = Session:simple_export()
  ex:set_name(name)
  ex:set_folder(dir .. "/export")
  assert(ex:set_preset("75969a1c-3133-4694-864b-a1fa50e43348"), "no WAV export preset")
  ex:set_range(0, math.floor(seconds * 48000))
  R("exporting", name)
  R("export_" .. name, ex:run_export())
end
export("shut", 1.0)
export("open", 0.0)

A.finish()
quit()
