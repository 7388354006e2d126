-- The Ardour process whose session is reloaded: a new session with the gate
-- on a 4-input track, its facts, final parameter values, save. No export
-- runs here (see ardour_export.lua). Prints "RESULT key=value" lines for
-- ardour_test.sh.
-- Environment: TEST_SESSION_DIR (must not exist), TEST_PLUGIN_NAME,
-- TEST_FINAL ("index=value,...").
local R, proc = dofile(debug.getinfo(1, "S").source:match("^@(.*/)") .. "ardour_session.lua")
local insert = proc:to_insert()
local plug = insert:plugin(0)
R("name", plug:name())
R("maker", plug:maker())
R("unique_id", plug:unique_id())
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

-- The values the reloading process must find again.
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
