#pragma once
// What the host-contract suite (test_host_contract.cpp) asks of a format's
// wrapper: a driver builds Tavrinel inside the wrapper at 44.1 kHz, blocks of
// 512, opens and activates it as that format's host does, then speaks only
// that format's calls. A wrapper joins the suite with one driver class of its
// own, added to the suite's list of drivers.

#include "IMidiMessage.h"
#include "Tavrinel.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class HostDriver {
public:
  static constexpr double RATE = 44100.0;
  static constexpr int BLOCK = 512;

  virtual ~HostDriver() = default;

  // The plug-in the wrapper made.
  virtual Tavrinel& Plug() = 0;
  // The host tells where its transport is (4/4) at frame `at` of the next
  // run; it moves on from there while playing.
  virtual void SetTransport(int64_t frame, double bpm, bool playing, int at = 0) = 0;
  // A host's change of a parameter (plain value); the next run has it.
  virtual void SetParam(int idx, double plainValue) = 0;
  // One audio call of n frames: the MIDI it sent, offsets from its start.
  virtual std::vector<IMidiMessage> Run(int n) = 0;
  virtual void Reactivate() = 0;
  // The state as the host keeps it, and a restore (of claimedSize bytes by
  // the host's word, when not 0).
  virtual std::vector<uint8_t> Save() = 0;
  virtual bool Restore(const std::vector<uint8_t>& bytes, size_t claimedSize = 0) = 0;
  virtual bool OpenEditor() = 0;
  virtual void CloseEditor() = 0;
  // How often the host heard that the song changed.
  virtual int SongNotices() = 0;
  // What the host heard of editor gestures since last asked: "b<idx>",
  // "a<idx>=<plain value>", "e<idx>".
  virtual std::vector<std::string> TakeEdits() = 0;
};
