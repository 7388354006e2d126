-- The Ardour process whose session is reloaded: a new session with the gate
-- on a 4-input track, its facts, final parameter values, save. No export
-- runs here (see ardour_export.lua).
-- Environment: TEST_SESSION_DIR (must not exist), TEST_PLUGIN_NAME,
-- TEST_FINAL ("index=value,...").
local A = dofile(debug.getinfo(1, "S").source:match("^@(.*/)") .. "ardour_session.lua")
local R = A.R
local _, proc = A.new(4, ARDOUR.PluginType.LXVST, assert(os.getenv("TEST_PLUGIN_NAME")))
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

A.save_with_final(proc)
A.finish()
quit()
