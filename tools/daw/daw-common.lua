-- Shared by the DAW test's session scripts (run by ardour7-lua): the dummy
-- backend, the session's folder and name, and the plug-in's parameters.
local M = {}

function M.env(name)
	local v = os.getenv(name)
	assert(v and v ~= "", "the environment gives no " .. name)
	return v
end

function M.start_dummy_backend()
	local backend = AudioEngine:set_backend("None (Dummy)", "", "")
	assert(backend, "no dummy backend")
	-- A pulse per cycle as the input to record (the test replaces the take).
	backend:set_device_name("Engine Pulse")
	return backend
end

function M.tavinor(route)
	local proc = route:nth_plugin(0)
	assert(not proc:isnil(), "no plug-in on the track")
	assert(proc:display_name() == "Tavinor", "the track's plug-in is " .. proc:display_name())
	return proc
end

-- Every host parameter as Ardour's plug-in API reads it, one "index value"
-- line each.
function M.write_parameters(proc, path)
	local plug = proc:to_insert():plugin(0)
	local f = assert(io.open(path, "w"))
	for i = 0, 127 do
		local v = ARDOUR.LuaAPI.get_processor_param(proc, i)
		f:write(string.format("%d %.9g\n", i, v))
	end
	f:close()
end

function M.save()
	assert(Session:save_state("", false, false, false, false, false) == 0, "the session was not saved")
end

return M
