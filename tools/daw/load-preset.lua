-- A factory preset of Tavinor's loaded through Ardour's preset API (Ardour's
-- preset of that label holds its chunk), its parameters written, the session
-- saved with it.
package.path = os.getenv("DAW_SCRIPTS") .. "/?.lua;" .. package.path
local daw = require("daw-common")

daw.start_dummy_backend()
assert(load_session(daw.env("DAW_SESSION_DIR"), daw.env("DAW_SESSION_NAME")), "the session did not load")
local proc = daw.tavinor(Session:route_by_name("Echoes"))
local plug = proc:to_insert():plugin(0)
local preset = plug:preset_by_label(daw.env("DAW_PRESET_LABEL"))
assert(preset and preset.valid, "Ardour does not list the preset")
assert(plug:load_preset(preset), "Ardour did not load the preset")
daw.write_parameters(proc, daw.env("DAW_PARAMETERS"))
daw.save()
close_session()
