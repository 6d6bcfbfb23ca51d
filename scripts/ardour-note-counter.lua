ardour {
	["type"]    = "dsp",
	name        = "Tavrinel Check Note Log",
	category    = "Utility",
	license     = "MIT",
	author      = "Tavrinel",
	description = [[Passes MIDI through and logs the note-ons and note-offs it sees, for scripts/ardour-check.sh]]
}

-- Shared memory, one int per slot:
--   0 note-ons   1 note-offs   2 other events   3 samples rolled so far
--   4.. a log of the first MAXLOG note events, 4 ints each:
--       status byte, key, velocity, sample offset since the transport started rolling
local HEAD = 4
local MAXLOG = 256

function dsp_ioconfig ()
	return { { midi_in = 1, midi_out = 1, audio_in = -1, audio_out = -1 }, }
end

function dsp_init (rate)
	self:shmem ():allocate (HEAD + 4 * MAXLOG)
	self:shmem ():clear ()
end

function dsp_configure (ins, outs)
	n_out = outs
end

function dsp_runmap (bufs, in_map, out_map, n_samples, offset)
	ARDOUR.DSP.process_map (bufs, n_out, in_map, out_map, n_samples, offset)

	local shm = self:shmem ()
	local rolled = shm:atomic_get_int (3)
	local ib = in_map:get (ARDOUR.DataType ("midi"), 0)
	if ib ~= ARDOUR.ChanMapping.Invalid then
		for _, e in pairs (bufs:get_midi (ib):table ()) do
			local ev = e:buffer ():array ()
			local kind = ev[1] & 0xf0
			if e:size () == 3 and (kind == 0x90 or kind == 0x80) then
				-- a note-on of velocity 0 counts as a note-off
				local slot = (kind == 0x90 and ev[3] > 0) and 0 or 1
				local n = shm:atomic_get_int (0) + shm:atomic_get_int (1)
				if n < MAXLOG then
					local at = HEAD + 4 * n
					shm:atomic_set_int (at, ev[1])
					shm:atomic_set_int (at + 1, ev[2])
					shm:atomic_set_int (at + 2, ev[3])
					shm:atomic_set_int (at + 3, rolled + e:time ())
				end
				shm:atomic_set_int (slot, shm:atomic_get_int (slot) + 1)
			else
				shm:atomic_set_int (2, shm:atomic_get_int (2) + 1)
			end
		end
	end
	if Session:transport_rolling () then
		shm:atomic_set_int (3, rolled + n_samples)
	end
end
