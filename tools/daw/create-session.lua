-- The DAW test's session: one stereo track with a take recorded from the
-- dummy backend's input (its files are replaced by the test signal later),
-- Tavinor on the track with parameters set through Ardour's plug-in API, the
-- session saved, and one of Ardour's own presets made for the plug-in.
package.path = os.getenv("DAW_SCRIPTS") .. "/?.lua;" .. package.path
local daw = require("daw-common")

daw.start_dummy_backend()
local dir, name = daw.env("DAW_SESSION_DIR"), daw.env("DAW_SESSION_NAME")
assert(create_session(dir, name, 48000), "no session made")

local tracks = Session:new_audio_track(2, 2, nil, 1, "Echoes", ARDOUR.PresentationInfo.max_order,
	ARDOUR.TrackMode.Normal, true)
local track = tracks:front()

-- Three seconds recorded.
track:rec_enable_control():set_value(1, PBD.GroupControlDisposition.NoGroup)
Session:maybe_enable_record(false)
Session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
sleep(3)
Session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
sleep(1)
Session:disable_record(false, false)
track:rec_enable_control():set_value(0, PBD.GroupControlDisposition.NoGroup)
-- Now and then Ardour ends the take with a second, empty region beside it:
-- that one goes.
local playlist = track:playlist()
local empty = {}
for r in playlist:region_list():iter() do
	if r:length():samples() == 0 then table.insert(empty, r) end
end
for _, r in ipairs(empty) do playlist:remove_region(r) end
local regions = 0
for r in playlist:region_list():iter() do regions = regions + 1 end
assert(regions == 1, "the take made " .. regions .. " regions")

local plugin = ARDOUR.LuaAPI.new_plugin(Session, "Tavinor", ARDOUR.PluginType.LXVST, "")
assert(not plugin:isnil(), "Ardour does not find Tavinor")
assert(track:add_processor_by_index(plugin, 0, nil, true), "Tavinor not put on the track")
local proc = daw.tavinor(track)

-- The settings the test gives (DAW_SET, "index=value ...", host parameters
-- of the default map).
for index, value in daw.env("DAW_SET"):gmatch("(%d+)=([%d.]+)") do
	ARDOUR.LuaAPI.set_processor_param(proc, tonumber(index), tonumber(value))
end

daw.write_parameters(proc, daw.env("DAW_PARAMETERS"))
daw.save()
-- A preset of Ardour's own for the plug-in, which the test fills with a
-- factory preset of Tavinor's.
local preset = proc:to_insert():plugin(0):save_preset(daw.env("DAW_PRESET_LABEL"))
assert(preset.valid, "Ardour did not store the preset")
close_session()
