-- Session part of scripts/ardour-check.sh, run by ardour7-lua with the Dummy backend.
-- Builds a throw-away session with one MIDI track holding Tavrinel followed by the note log
-- (ardour-note-counter.lua), rolls the transport at 120 bpm, reads back what the plug-in sent,
-- then saves the session, reloads it and rolls again to see the plug-in's state come back.
-- TAVRINEL_CHECK_FORMAT picks the plug-in: "vst" (Linux VST 2.4, the default) or "lv2".
-- Lines starting with "check:" are the report; the shell script shows only those.

local dir     = os.getenv ("TAVRINEL_CHECK_DIR")
local seconds = tonumber (os.getenv ("TAVRINEL_CHECK_SECONDS") or "4")
local LV2     = os.getenv ("TAVRINEL_CHECK_FORMAT") == "lv2"
-- For the LV2 run: a state chunk (base64) to put in place of the saved one, and the first
-- keys it plays (from the render tool), both given by the shell script.
local STATE_B64 = os.getenv ("TAVRINEL_CHECK_STATE_B64")
local STATE_KEYS = os.getenv ("TAVRINEL_CHECK_STATE_KEYS")
local NAME    = "tavrinel-check"
local TRACK   = "Tavrinel"
local LOGGER  = "Tavrinel Check Note Log"
local CHAN    = 4          -- plug-in parameter "Chan": 1..16 over 0..1 for VST, plain 1..16 for LV2
local CHAN2   = LV2 and 2 or 1 / 15
local EXPECT  = { 72, 84, 64, 71 } -- first keys of the default pattern

local failures = {}
local function say (...) print ("check: " .. string.format (...)) io.stdout:flush () end
local function fail (...) local m = string.format (...) failures[#failures + 1] = m say ("FAIL %s", m) end

local function finish ()
	if #failures == 0 then say ("VERDICT ok") else say ("VERDICT failed (%d problems)", #failures) end
end

local function find_procs (route)
	local plug, log
	local i = 0
	while true do
		local p = route:nth_processor (i)
		if p:isnil () then break end
		if p:display_name () == "Tavrinel" then plug = p end
		if p:display_name () == LOGGER then log = p end
		i = i + 1
	end
	return plug, log
end

local function roll (log)
	local shm = log:to_insert ():plugin (0):to_luaproc ():shmem ()
	Session:request_locate (0, false, ARDOUR.LocateTransportDisposition.MustStop, ARDOUR.TransportRequestSource.TRS_UI)
	sleep (0.3)
	shm:clear ()
	Session:request_roll (ARDOUR.TransportRequestSource.TRS_UI)
	sleep (seconds)
	Session:request_stop (false, false, ARDOUR.TransportRequestSource.TRS_UI)
	sleep (0.3)
	local r = { ons = shm:atomic_get_int (0), offs = shm:atomic_get_int (1), other = shm:atomic_get_int (2),
	            rolled = shm:atomic_get_int (3), events = {} }
	for n = 0, math.min (r.ons + r.offs, 256) - 1 do
		local at = 4 + 4 * n
		r.events[#r.events + 1] = { status = shm:atomic_get_int (at), key = shm:atomic_get_int (at + 1),
		                            vel = shm:atomic_get_int (at + 2), time = shm:atomic_get_int (at + 3) }
	end
	return r
end

-- Summarises a run: keys of the note-ons, channels, velocities, gaps between note-ons and note lengths.
local function report (label, r, rate)
	local keys, chans, vels, starts, lens, open = {}, {}, {}, {}, {}, {}
	for _, e in ipairs (r.events) do
		local ch = (e.status & 15) + 1
		if (e.status & 0xf0) == 0x90 and e.vel > 0 then
			keys[#keys + 1] = e.key
			chans[ch] = true
			vels[e.vel] = true
			starts[#starts + 1] = e.time
			open[ch * 128 + e.key] = e.time
		else
			local t0 = open[ch * 128 + e.key]
			if t0 then lens[#lens + 1] = e.time - t0 open[ch * 128 + e.key] = nil end
		end
	end
	local function set (t) local l = {} for k in pairs (t) do l[#l + 1] = k end table.sort (l) return table.concat (l, ",") end
	local function list (t, n) local l = {} for i = 1, math.min (#t, n) do l[#l + 1] = tostring (t[i]) end return table.concat (l, " ") end
	local gaps = {}
	for i = 2, #starts do gaps[#gaps + 1] = starts[i] - starts[i - 1] end
	say ("%s: rolled %.2f s, %d note-ons, %d note-offs, %d other events", label, r.rolled / rate, r.ons, r.offs, r.other)
	say ("%s: first keys %s", label, list (keys, 12))
	say ("%s: MIDI channel(s) %s, velocities %s, first note-on at sample %s", label, set (chans), set (vels),
	     starts[1] and tostring (starts[1]) or "-")
	say ("%s: note-on gaps (samples) %s", label, list (gaps, 8))
	say ("%s: note lengths (samples) %s", label, list (lens, 8))
	return keys, chans
end

-- The LV2 state file Ardour wrote for the plug-in (the newest one under plugins/).
local function lv2_state_file ()
	local p = io.popen ("ls -t '" .. dir .. "'/plugins/*/state*/state.ttl 2>/dev/null")
	if not p then return nil end
	local name = p:read ("l")
	p:close ()
	return name
end

local STATE_PATTERN = '(<urn:quellbrook:tavrinel#state>%s*"+)([^"]*)("+)'

local function chunk_of (session_file)
	if LV2 then
		local ttl = lv2_state_file ()
		local f = ttl and io.open (ttl, "r")
		if not f then return nil end
		local text = f:read ("a")
		f:close ()
		local _, chunk = text:match (STATE_PATTERN)
		return chunk and chunk:gsub ("%s", "")
	end
	local f = io.open (session_file, "r")
	if not f then return nil end
	local xml = f:read ("a")
	f:close ()
	-- the VST node of our insert: <Processor ... type="lxvst" ...> ... <chunk program="0">BASE64</chunk>
	local from = xml:find ('type="lxvst"', 1, true)
	if not from then return nil end
	return xml:match ("<chunk[^>]*>%s*([^<]-)%s*</chunk>", from)
end

-------------------------------------------------------------------------------

-- Every route and processor Lua still holds must be let go before the session closes,
-- or ardour7-lua crashes; they all live in this table.
local held = {}
local function close ()
	held = {}
	collectgarbage ()
	close_session ()
end
local function give_up (...)
	fail (...)
	close ()
	finish ()
end

-- Loads the saved session again and finds the track's processors; false, after
-- saying so, when the session does not load.
local function reload (what)
	if not load_session (dir, NAME) then
		fail ("could not reload the session%s", what)
		finish ()
		return false
	end
	held.track = Session:route_by_name (TRACK)
	held.plug, held.log = find_procs (held.track)
	return true
end

AudioEngine:set_backend ("None (Dummy)", "", "")
if not create_session (dir, NAME, 48000) then
	fail ("could not create a session in %s", dir)
	finish ()
	return
end
local rate = Session:nominal_sample_rate ()

local tm = Temporal.TempoMap.fetch_writable ()
tm:set_tempo (Temporal.Tempo (120, 120, 4), Temporal.timepos_t (0))
Temporal.TempoMap.update (tm)
tm = nil
say ("session at %d Hz, %.1f bpm", rate, Temporal.TempoMap.read ():quarters_per_minute_at (Temporal.timepos_t (0)))

for t in Session:new_midi_track (ARDOUR.ChanCount (ARDOUR.DataType ("midi"), 1), ARDOUR.ChanCount (ARDOUR.DataType ("audio"), 2),
	true, ARDOUR.PluginInfo (), nil, nil, 1, TRACK, ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true):iter () do
	held.track = t
end
if not held.track then return give_up ("could not add a MIDI track") end

if LV2 then
	held.plug = ARDOUR.LuaAPI.new_plugin (Session, "urn:quellbrook:tavrinel", ARDOUR.PluginType.LV2, "")
	if held.plug:isnil () then return give_up ("Ardour does not know urn:quellbrook:tavrinel as an LV2 plug-in (LV2_PATH?)") end
else
	held.plug = ARDOUR.LuaAPI.new_plugin (Session, "Tavrinel", ARDOUR.PluginType.LXVST, "")
	if held.plug:isnil () then return give_up ("Ardour does not know Tavrinel as an LXVST plug-in (not in its cache?)") end
end
if held.track:add_processor_by_index (held.plug, 0, nil, true) ~= 0 then return give_up ("could not insert Tavrinel on the track") end
held.log = ARDOUR.LuaAPI.new_luaproc (Session, LOGGER)
if held.log:isnil () or held.track:add_processor_by_index (held.log, 1, nil, true) ~= 0 then
	return give_up ("could not insert the note log after Tavrinel")
end

do
	local pl = held.plug:to_insert ():plugin (0)
	local chain = {}
	local i = 0
	while not held.track:nth_processor (i):isnil () do chain[#chain + 1] = held.track:nth_processor (i):display_name () i = i + 1 end
	say ("instantiated: %s by %s, %d parameters, latency %d samples", pl:name (), pl:maker (), pl:parameter_count (), held.plug:signal_latency ())
	say ("chain: %s", table.concat (chain, " > "))
end

local r1 = roll (held.log)
local keys1 = report ("run 1", r1, rate)
if r1.ons == 0 then
	fail ("no note-on came out of the plug-in")
else
	for n = 1, math.min (#keys1, #EXPECT) do
		local k = EXPECT[n]
		if keys1[n] ~= k then fail ("key %d is %s, the default pattern starts %s", n, tostring (keys1[n]), table.concat (EXPECT, " ")) break end
	end
end

-- Round trip: move the MIDI channel to 2, save, reload, roll again.
ARDOUR.LuaAPI.set_plugin_insert_param (held.plug:to_insert (), CHAN, CHAN2)
sleep (0.2)
Session:save_state ("", false, false, false, false, false)
local file = dir .. "/" .. NAME .. ".ardour"
local chunk1 = chunk_of (file)
if chunk1 then say ("saved: %s holds a state chunk of %d base64 characters", LV2 and "the LV2 state" or NAME .. ".ardour", #chunk1)
else fail ("the saved session holds no state chunk for Tavrinel") end
close ()

if not reload ("") then return end
if not held.plug or not held.log then
	return give_up ("after the reload the track lacks %s", held.plug and "the note log" or "Tavrinel")
end
say ("reloaded: Tavrinel is back, parameter Chan = %.4f", ARDOUR.LuaAPI.get_plugin_insert_param (held.plug:to_insert (), CHAN, true))
local r2 = roll (held.log)
local keys2, chans2 = report ("run 2", r2, rate)
if r2.ons == 0 then
	fail ("no note-on came out of the plug-in after the reload")
else
	local nch = 0
	for _ in pairs (chans2) do nch = nch + 1 end
	if not chans2[2] or nch ~= 1 then fail ("after the reload the notes are not on MIDI channel 2 alone") end
	for n = 1, math.min (#keys1, #keys2) do
		if keys1[n] ~= keys2[n] then fail ("after the reload key %d is %d, it was %d", n, keys2[n], keys1[n]) break end
	end
end
Session:save_state ("", false, false, false, false, false)
local chunk2 = chunk_of (file)
if chunk1 and chunk2 then
	if chunk1 == chunk2 then say ("saved again: the state chunk is identical") else fail ("the state chunk changed across the reload") end
end
close ()

-- Ardour also keeps each plug-in parameter as a Controllable (and, for LV2, a Port value)
-- of its own and restores it after the chunk. Drop those from the file and reload once more:
-- the channel must then come back from the chunk alone.
local f = io.open (file, "r")
local xml = f:read ("a")
f:close ()
local stripped, n = xml:gsub ('\n%s*<Controllable name="[^"]*" id="%d+" flags="[^"]*" value="[^"]*" parameter="%d+"/>', "")
local ports = 0
if LV2 then stripped, ports = stripped:gsub ('\n%s*<Port symbol="[^"]*" value="[^"]*"/>', "") end
f = io.open (file, "w")
f:write (stripped)
f:close ()
if not reload (" without Ardour's parameter values") then return end
if not held.plug then return give_up ("the reload without Ardour's parameter values lost Tavrinel") end
if not LV2 then
	local chan = ARDOUR.LuaAPI.get_plugin_insert_param (held.plug:to_insert (), CHAN, true)
	if math.abs (chan - 1 / 15) < 1e-4 then
		say ("chunk alone: %d parameter values removed from the file, Chan still comes back as %.4f", n, chan)
	else
		fail ("from the chunk alone Chan comes back as %.4f, not %.4f", chan, 1 / 15)
	end
	close ()
	finish ()
	return
end

-- An LV2 host cannot read a parameter back from the plug-in: the notes tell. The port shows
-- its default, the plug-in plays from the restored chunk.
local r3 = roll (held.log)
local keys3, chans3 = report ("run 3", r3, rate)
local nch3 = 0
for _ in pairs (chans3) do nch3 = nch3 + 1 end
if r3.ons > 0 and chans3[2] and nch3 == 1 then
	say ("chunk alone: %d parameter and %d port values removed from the file, the notes are still on channel 2", n, ports)
else
	fail ("from the chunk alone the notes are not on MIDI channel 2 alone")
end
Session:save_state ("", false, false, false, false, false)
close ()

-- Last, another pattern: a preset's state put in place of the saved chunk must play that
-- preset's notes after the reload.
if STATE_B64 and STATE_KEYS then
	local ttl = lv2_state_file ()
	local g = ttl and io.open (ttl, "r")
	if not g then
		fail ("no LV2 state file to put the preset's state in")
		finish ()
		return
	end
	local text = g:read ("a")
	g:close ()
	local replaced, m = text:gsub (STATE_PATTERN, function (a, _, c) return a .. STATE_B64 .. c end)
	if m ~= 1 then
		fail ("the LV2 state file holds %d state properties, not one", m)
		finish ()
		return
	end
	g = io.open (ttl, "w")
	g:write (replaced)
	g:close ()
	if not reload (" with the preset's state") then return end
	if not held.plug or not held.log then return give_up ("the reload with the preset's state lost a processor") end
	local r4 = roll (held.log)
	local keys4 = report ("run 4", r4, rate)
	local want = {}
	for k in STATE_KEYS:gmatch ("%d+") do want[#want + 1] = tonumber (k) end
	local same = #keys4 >= #want and #want > 0
	for i = 1, #want do same = same and keys4[i] == want[i] end
	if same then
		say ("preset state: the first %d keys are the preset's (%s)", #want, STATE_KEYS)
	else
		fail ("with the preset's state the first keys are not the preset's %s", STATE_KEYS)
	end
	close ()
end
finish ()
