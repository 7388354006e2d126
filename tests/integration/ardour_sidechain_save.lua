-- The LV2 or VST 3 plug-in in Ardour: a new session with the gate, found by
-- its URI or class id, on a stereo track; its key fed through a side chain
-- of the track from two capture ports of their own; final values; save.
-- Environment: TEST_SESSION_DIR (must not exist), TEST_TYPE (LV2 or VST3),
-- TEST_ID, TEST_FINAL ("index=value,..." by control input).
local A = dofile(debug.getinfo(1, "S").source:match("^@(.*/)") .. "ardour_session.lua")
local R = A.R
local track, proc = A.new(2, ARDOUR.PluginType[assert(os.getenv("TEST_TYPE"))],
                         assert(os.getenv("TEST_ID")))
local insert = proc:to_insert()
local plug = insert:plugin(0)
R("name", plug:name())
R("in", insert:natural_input_streams():n_audio())
R("out", insert:natural_output_streams():n_audio())

-- Control parameters in order: six inputs, then the key level.
local controls = 0
for i = 0, plug:parameter_count() - 1 do
  if plug:parameter_is_control(i) then
    R("control_" .. controls, plug:parameter_label(i))
    controls = controls + 1
  end
end
R("controls", controls)
-- The programs, as the presets Ardour lists for this instance.
local presets = 0
for i = 0, 15 do
  local preset = plug:preset_by_label("Preset " .. i)
  if preset and preset.valid then presets = presets + 1 end
end
R("presets", presets)

-- The key level, with the side chain unconnected and then connected.
ARDOUR.LuaAPI.usleep(300000)
R("sidechain_added", track:add_sidechain(proc))
local sc = insert:sidechain_input()
R("sidechain_ports", sc:n_ports():n_audio())
R("level_unfed", A.key_level(insert))
R("connected", sc:connect(sc:audio(0), "system:capture_3", nil) == 0 and
               sc:connect(sc:audio(1), "system:capture_4", nil) == 0)
R("level_fed", A.key_level(insert))

A.save_with_final(proc)
A.finish()
quit()
