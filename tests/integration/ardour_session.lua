-- What the Ardour processes of ardour_test.sh share, loaded with dofile:
-- the dummy back end, the session in TEST_SESSION_DIR made anew or opened
-- again, and the plug-in on its track. R(key, value) prints
-- "RESULT key=value" for ardour_test.sh.
local M = {}
function M.R(k, v) print("RESULT " .. k .. "=" .. tostring(v)) io.stdout:flush() end
local R = M.R
local dir = assert(os.getenv("TEST_SESSION_DIR"))

local backend = AudioEngine:set_backend("None (Dummy)", "", "")
assert(backend, "no dummy back end")
-- Every capture port of this device carries its own sine, so all four
-- plug-in inputs, signal and key, get audio.
backend:set_device_name("Sine Wave")
backend:set_sample_rate(48000)
backend:set_buffer_size(512)

-- A new session (TEST_SESSION_DIR must not exist) with a track of INPUTS
-- inputs that monitors them, and on it the plug-in of TYPE whose name or
-- unique id is ID, which must be among Ardour's scanned plug-ins. Returns
-- the track and the plug-in's processor.
function M.new(inputs, type, id)
  assert(create_session(dir, "gate", 48000), "create_session failed")
  local listed = false
  for p in ARDOUR.LuaAPI.list_plugins():iter() do
    if p.type == type and (p.name == id or p.unique_id == id) then listed = p.name end
  end
  R("listed", listed)
  assert(listed, "plug-in not among Ardour's scanned plug-ins")

  local tracks = Session:new_audio_track(inputs, 2, nil, 1, "gate", ARDOUR.PresentationInfo.max_order,
                                         ARDOUR.TrackMode.Normal, true, false)
  local track = tracks:front()
  track:monitoring_control():set_value(ARDOUR.MonitorChoice.MonitorInput, PBD.GroupControlDisposition.NoGroup)
  R("track_inputs", track:n_inputs():n_audio())
  local proc = ARDOUR.LuaAPI.new_plugin(Session, id, type, "")
  assert(not proc:isnil(), "new_plugin failed")
  assert(track:add_processor_by_index(proc, 0, nil, true) == 0, "add_processor failed")
  -- More than one means Ardour replicated the plug-in to fit the track.
  R("instances", proc:to_insert():get_count())
  return track, proc
end

-- The saved session opened again (which instantiates the plug-in anew and
-- hands it the stored values), and the plug-in's processor.
function M.reopen()
  assert(load_session(dir, "gate"), "load_session failed")
  local track = Session:route_by_name("gate")
  assert(track and not track:isnil(), "track missing")
  local proc = track:nth_plugin(0)
  assert(not proc:isnil(), "plug-in missing")
  return proc
end

-- The values TEST_FINAL ("index=value,...") names, as the plug-in took them
-- ("final_INDEX"); the engine runs a moment with them, as a user's session
-- would, and the session is saved.
function M.save_with_final(proc)
  for idx, val in string.gmatch(os.getenv("TEST_FINAL") or "", "(%d+)=([%d%.]+)") do
    ARDOUR.LuaAPI.set_processor_param(proc, tonumber(idx), tonumber(val))
    R("final_" .. idx, ARDOUR.LuaAPI.get_processor_param(proc, tonumber(idx), true))
  end
  ARDOUR.LuaAPI.usleep(300000)
  R("saved", Session:save_state("", false, false, false, false, false) == 0)
end

-- The six parameters ("param_INDEX") as the plug-in has them.
function M.report_params(proc)
  for i = 0, 5 do R("param_" .. i, ARDOUR.LuaAPI.get_processor_param(proc, i, true)) end
end

-- The gate's key level output (the control named "Key level"); waits up to
-- 3 s for it to rise, since a new connection or a reloaded session takes a
-- few cycles.
function M.key_level(insert)
  local plug, control, which = insert:plugin(0), 0, nil
  for i = 0, plug:parameter_count() - 1 do
    if plug:parameter_is_control(i) then
      if plug:parameter_label(i) == "Key level" then which = control end
      control = control + 1
    end
  end
  assert(which, "no key level control")
  local level = 0
  for _ = 1, 30 do
    level = ARDOUR.LuaAPI.get_plugin_insert_param(insert, which, true)
    if level > 0 then break end
    ARDOUR.LuaAPI.usleep(100000)
  end
  return level
end

-- Closes the session and says so, last.
function M.finish()
  close_session()
  R("done", true)
end

return M
