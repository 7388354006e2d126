-- Second Ardour process for the LV2 or VST 3 plug-in: reopens the saved session and
-- reports the gate's values, its side chain and the key level it measures.
-- Environment: TEST_SESSION_DIR.
local A = dofile(debug.getinfo(1, "S").source:match("^@(.*/)") .. "ardour_session.lua")
local proc = A.reopen()
local insert = proc:to_insert()
A.R("name", insert:plugin(0):name())
A.report_params(proc)
A.R("has_sidechain", insert:has_sidechain())
A.R("level_fed", A.key_level(insert))
A.finish()
quit()
