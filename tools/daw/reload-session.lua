-- The DAW test's session loaded again: every parameter as Ardour reads it,
-- then saved again (so that its chunk is written anew). With DAW_SET
-- ("index=value ..."), those host parameters are set first and the latency
-- Ardour then reads for the plug-in goes to DAW_LATENCY.
package.path = os.getenv("DAW_SCRIPTS") .. "/?.lua;" .. package.path
local daw = require("daw-common")

daw.start_dummy_backend()
assert(load_session(daw.env("DAW_SESSION_DIR"), daw.env("DAW_SESSION_NAME")), "the session did not load")
local proc = daw.tavinor(Session:route_by_name("Echoes"))
local settings = os.getenv("DAW_SET")
if settings and settings ~= "" then
	for index, value in settings:gmatch("(%d+)=([%d.]+)") do
		ARDOUR.LuaAPI.set_processor_param(proc, tonumber(index), tonumber(value))
	end
	local f = assert(io.open(daw.env("DAW_LATENCY"), "w"))
	f:write(string.format("%d\n", proc:signal_latency()))
	f:close()
end
daw.write_parameters(proc, daw.env("DAW_PARAMETERS"))
daw.save()
close_session()
