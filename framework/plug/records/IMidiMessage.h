#pragma once
// One short MIDI message with its sample offset inside the current block.
// Thread: value type, used on whichever thread holds it.

#include <cstdint>

struct IMidiMessage {
  int32_t mOffset = 0;
  uint8_t mStatus = 0;
  uint8_t mData1 = 0;
  uint8_t mData2 = 0;

  enum EStatusKind {
    kNone = 0,
    kNoteOff = 8,
    kNoteOn = 9,
    kPolyAftertouch = 10,
    kControlChange = 11,
    kProgramChange = 12,
    kChannelAftertouch = 13,
    kPitchWheel = 14
  };

  IMidiMessage() = default;
  IMidiMessage(int32_t offset, uint8_t status, uint8_t d1, uint8_t d2)
    : mOffset(offset), mStatus(status), mData1(d1), mData2(d2) {}

  void SetNoteOn(int note, int velocity, int32_t offset, int channel = 0)
  {
    mStatus = static_cast<uint8_t>(0x90 | (channel & 0x0F));
    mData1 = static_cast<uint8_t>(note);
    mData2 = static_cast<uint8_t>(velocity);
    mOffset = offset;
  }

  void SetNoteOff(int note, int32_t offset, int channel = 0)
  {
    mStatus = static_cast<uint8_t>(0x80 | (channel & 0x0F));
    mData1 = static_cast<uint8_t>(note);
    mData2 = 0;
    mOffset = offset;
  }

  int StatusKind() const
  {
    int k = mStatus >> 4;
    return (k >= 8 && k <= 14) ? k : kNone;
  }

  int Channel() const { return mStatus & 0x0F; }
  int NoteNumber() const { return mData1; }
  int Velocity() const { return mData2; }

  bool operator==(const IMidiMessage& o) const
  {
    return mOffset == o.mOffset && mStatus == o.mStatus && mData1 == o.mData1 && mData2 == o.mData2;
  }
};
