-- Second Ardour process (closing a second session in one process hangs):
-- reopen the saved session and report the stored parameters.
-- Environment: TEST_SESSION_DIR.
local A = dofile(debug.getinfo(1, "S").source:match("^@(.*/)") .. "ardour_session.lua")
local proc = A.reopen()
A.R("name", proc:display_name())
A.report_params(proc)
ARDOUR.LuaAPI.usleep(300000)
A.finish()
