#include "ReferenceModel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace refmodel {

namespace {

const int kShapes[10][5] = {{1, 5, 8, 12, 15}, {1, 3, 5, 8, 12}, {1, 3, 5, 7, 8}, {1, 3, 5, 7, 9},
                            {1, 2, 3, 5, 8},   {1, 3, 4, 5, 8},  {1, 2, 3, 4, 5}, {1, 3, 5, 6, 8},
                            {1, 3, 5, 6, 7},   {1, 3, 4, 5, 6}};
const int kScaleSteps[8] = {7, 7, 5, 5, 6, 6, 5, 7};
const int kScales[8][12] = {{0, 2, 4, 5, 7, 9, 11}, {0, 2, 3, 5, 7, 9, 10}, {0, 3, 5, 7, 10},
                            {0, 2, 3, 7, 8},        {0, 2, 3, 5, 7, 10},    {0, 3, 5, 7, 8, 10},
                            {0, 2, 4, 7, 9},        {0, 2, 3, 5, 7, 8, 10}};
const double kBeats[17] = {4,    2,     1,      0.5,     0.25,    0.125,    3,        1.5,     0.75,
                           0.375, 0.1875, 4.0 / 3, 2.0 / 3, 1.0 / 3, 1.0 / 6, 1.0 / 12, 1.0 / 24};
const int kRev[32] = {0, 16, 8, 24, 4, 20, 12, 28, 2, 18, 10, 26, 6, 22, 14, 30,
                      1, 17, 9, 25, 5, 21, 13, 29, 3, 19, 11, 27, 7, 23, 15, 31};

int rotUp(int m) { return ((m & 15) << 1) | ((m >> 4) & 1); }
int rotDown(int m) { return ((m >> 1) & 15) | ((m & 1) << 4); }

void put32(std::vector<uint8_t>& b, int32_t v)
{
  uint32_t u = uint32_t(v);
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(u >> (8 * i)));
}

struct Reader {
  const std::vector<uint8_t>& b;
  size_t pos = 0;
  bool ok = true;
  int32_t i32()
  {
    if (pos + 4 > b.size()) return ok = false, 0;
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= uint32_t(b[pos + i]) << (8 * i);
    pos += 4;
    return int32_t(u);
  }
  uint8_t u8()
  {
    if (pos + 1 > b.size()) return ok = false, 0;
    return b[pos++];
  }
  double f64()
  {
    if (pos + 8 > b.size()) return ok = false, 0;
    uint64_t u = 0;
    for (int i = 0; i < 8; ++i) u |= uint64_t(b[pos + i]) << (8 * i);
    pos += 8;
    double d;
    std::memcpy(&d, &u, 8);
    return d;
  }
};

void strikeModify(Pulse& p, int mod, bool permanent)
{
  if (!permanent) {
    p.saved = p.playing;
    p.savedValid = true;
  }
  if (mod >= 0 && mod <= 3) {
    for (int i = 0; i <= mod; ++i) p.playing = rotUp(p.playing);
  } else if (mod >= 4 && mod <= 7) {
    for (int i = 0; i <= mod - 4; ++i) p.playing = rotDown(p.playing);
  } else if (mod == 8) {
    p.playing = kRev[p.playing];
  } else if (mod == 9) {
    p.playing = 1 << ((p.rng.nextRaw() >> 11) % 5);
  } else if (mod == 11) {
    p.saved = 0;
    p.savedValid = false;
  } else if (mod == 12) {
    p.playing = p.base;
    p.saved = 0;
    p.savedValid = false;
  }
}

// Moves the masks and saved state of the pulses; generators stay in place.
void movePulses(Row& r, const int from[4])
{
  Pulse old[4];
  for (int i = 0; i < 4; ++i) old[i] = r.pulses[i];
  for (int i = 0; i < 4; ++i) {
    r.pulses[i].base = old[from[i]].base;
    r.pulses[i].playing = old[from[i]].playing;
    r.pulses[i].saved = old[from[i]].saved;
    r.pulses[i].savedValid = old[from[i]].savedValid;
  }
}

void melodyModify(Row& r, int mod, bool permanent)
{
  if (!permanent) {
    for (int i = 0; i < 4; ++i) r.backup[i] = r.pulses[i];
    r.backupValid = true;
  }
  if (mod == 0) {
    const int from[4] = {3, 2, 1, 0};
    movePulses(r, from);
  } else if (mod == 1) {
    for (Pulse& p : r.pulses) p.playing = kRev[p.playing];
  } else if (mod >= 2 && mod <= 4) {
    int n = mod - 1;
    int from[4];
    for (int i = 0; i < 4; ++i) from[i] = (i + n) % 4;
    movePulses(r, from);
  } else if (mod >= 5 && mod <= 7) {
    int n = mod - 4;
    int from[4];
    for (int i = 0; i < 4; ++i) from[i] = (i - n + 4) % 4;
    movePulses(r, from);
  } else if (mod >= 8 && mod <= 11) {
    for (Pulse& p : r.pulses)
      for (int i = 0; i <= mod - 8; ++i) p.playing = rotUp(p.playing);
  } else if (mod >= 12 && mod <= 15) {
    for (Pulse& p : r.pulses)
      for (int i = 0; i <= mod - 12; ++i) p.playing = rotDown(p.playing);
  } else if (mod == 16) {
    r.backupValid = false;
  } else if (mod == 17) {
    for (Pulse& p : r.pulses) p.playing = 1 << ((p.rng.nextRaw() >> 11) % 5);
  } else if (mod == 18) {
    for (int i = 0; i < 4; ++i) r.pulses[i] = r.original[i];
    r.backupValid = false;
  }
}

}  // namespace

int getNote(int shape, int scale, int root, int degree, int mode, int pitchDegree)
{
  int n = kScaleSteps[scale];
  int i = kShapes[shape][pitchDegree] + degree + mode - 1;
  return kScales[scale][i % n] + 12 * (i / n) + root;
}

// ---- state image ----

const double* defaultParams()
{
  static double d[NUM_PARAMS];
  static bool init = false;
  if (!init) {
    init = true;
    std::fill(d, d + NUM_PARAMS, 0.0);
    const double head[30] = {3, 3, 1.0, 0, 1, 100, 0, 0, 0, 60, 12, 4, 0, 2, 4, 0, 2, 5, 0, 3, 5, 1, 3, 5,
                             48, 1, 0, 0, 1, 0};
    std::copy(head, head + 30, d);
    for (int i = 0; i < 8; ++i) {
      d[162 + i] = 11;
      d[187 + i] = 16;
    }
    d[180] = 1, d[183] = 1, d[184] = 1, d[185] = 1, d[186] = 8;
    d[205] = 1, d[208] = 1, d[209] = 1, d[210] = 1, d[211] = 8;
  }
  return d;
}

StateImage::StateImage()
{
  std::fill(groove, groove + 48, uint8_t(128));
  std::copy(defaultParams(), defaultParams() + NUM_PARAMS, params);
}

std::vector<uint8_t> StateImage::bytes() const
{
  std::vector<uint8_t> b;
  put32(b, numSteps);
  put32(b, numPositions);
  put32(b, beginStepIdx);
  for (const StepImg& s : steps) {
    put32(b, s.degree);
    b.push_back(s.active ? 1 : 0);
    put32(b, s.reserved);
    for (const RowImg& r : s.rows) {
      put32(b, r.numPulses);
      for (const PulseImg& p : r.pulses) {
        put32(b, p.playing);
        put32(b, p.base);
        put32(b, p.saved);
      }
      for (int v : r.reserved) put32(b, v);
      b.push_back(r.enabled ? 1 : 0);
      put32(b, r.repeat);
    }
  }
  put32(b, grooveSteps);
  for (uint8_t g : groove) b.push_back(g);
  for (double v : params) {
    uint64_t u;
    std::memcpy(&u, &v, 8);
    for (int i = 0; i < 8; ++i) b.push_back(uint8_t(u >> (8 * i)));
  }
  return b;
}

// ---- sequencer ----

void Seq::reset()
{
  if (direction == 1 || direction == 3) {
    cursor = end;
    ascending = false;
  } else {
    cursor = start;
    ascending = true;
  }
  countdown = divider;
}

void Seq::setPosition(long long n)
{
  countdown = int32_t(n % divider);
  cursor = start + int32_t((n / divider) % (end - start + 1));
}

int Seq::advance()
{
  switch (direction) {
    case 0: cursor = cursor + 1 > end ? start : cursor + 1; break;
    case 1: cursor = cursor - 1 < start ? end : cursor - 1; break;
    case 2:
    case 3:
      if (ascending) {
        if (cursor == end) {
          ascending = false;
          cursor = cursor - 1 < start ? end : cursor - 1;
        } else {
          cursor = cursor + 1 > end ? start : cursor + 1;
        }
      } else {
        if (cursor == start) {
          ascending = true;
          cursor = cursor + 1 > end ? start : cursor + 1;
        } else {
          cursor = cursor - 1 < start ? end : cursor - 1;
        }
      }
      break;
    case 4: {
      uint32_t n = uint32_t(end - start + 1);
      cursor = start + int(rng.nextRaw() % n);
      break;
    }
    default: break;
  }
  return cursor;
}

bool Seq::clockTick()
{
  countdown -= 1;
  if (countdown < 1) {
    advance();
    countdown = divider;
    return true;
  }
  return false;
}

void Seq::setStart(int v)
{
  int b = v - 1;
  if (b >= 0 && b < size) {
    start = b;
    end = std::min(b + length - 1, size - 1);
    cursor = std::max(cursor, b);
  }
}

void Seq::setLength(int n)
{
  if (n > 0 && n <= size) {
    length = n;
    end = std::min(start + n - 1, size - 1);
    cursor = std::min(cursor, end);
  }
}

// ---- clock ----

void Clock::recompute()
{
  samplesPerBeat = sampleRate * 60 / tempo * 4 * beatsPerBar / beatUnit / beatsPerBar * beatUnit * 0.25;
  double x = samplesPerBeat * unitBeats;
  fractionSum = 0;
  pulseLength = int32_t(std::floor(x));
  fraction = x - std::floor(x);
  longPulse = int32_t(pulseLength * swingFactor);
  shortPulse = 2 * pulseLength - longPulse;
}

void Clock::setTempo(double t, int bpb, int bu)
{
  if (t == tempo && bpb == beatsPerBar && bu == beatUnit) return;
  tempo = t;
  beatsPerBar = bpb;
  beatUnit = bu;
  recompute();
}

void Clock::setSampleRate(double r)
{
  sampleRate = double(float(r));
  recompute();
}

void Clock::setTimeUnit(double beats)
{
  unitBeats = beats;
  recompute();
}

void Clock::setSwing(double s)
{
  swingFactor = 1 + 0.5 * s;
  longPulse = int32_t(pulseLength * swingFactor);
  shortPulse = 2 * pulseLength - longPulse;
}

int Clock::nextPulse()
{
  int a = samplesToPulse;
  samplesLeft -= a;
  pulseOffset += a;
  int len = longNext ? longPulse : shortPulse;
  samplesToPulse = int32_t(len - jitter);
  fractionSum += fraction;
  if (fractionSum > 1.0) {
    fractionSum -= 1.0;
    samplesToPulse += 1;
  }
  double u = rng->nextUnit();
  jitter = (2 * u - 1) * humanise * (samplesToPulse * 0.5);
  samplesToPulse = int32_t(samplesToPulse + jitter);
  longNext = !longNext;
  return pulseOffset;
}

long long Clock::grid(long long k) const
{
  long long b = k % 2 == 0 ? k * pulseLength : (k - 1) * pulseLength + longPulse;
  return b + (long long)std::floor(double(k) * fraction);
}

// The first pulse due at or after pos - 1 (found by bisection: the grid rises
// strictly). A position before 0 places pulse 0 at 0.
long long Clock::locate(long long pos)
{
  long long lo = 0, hi = 1;
  while (grid(hi) < pos - 1) hi *= 2;
  while (lo < hi) {
    long long mid = lo + (hi - lo) / 2;
    if (grid(mid) >= pos - 1) hi = mid;
    else lo = mid + 1;
  }
  const long long n = lo;
  samplesToPulse = int32_t(std::min<long long>(std::max<long long>(0, grid(n) - pos), 1 << 28));
  samplesLeft = 0;
  jitter = 0;
  longNext = n % 2 == 0;
  fractionSum = double(n) * fraction - std::floor(double(n) * fraction);
  return n;
}

// ---- note stream ----

void Stream::insert(const Ev& e)
{
  auto it = mPending.begin();
  while (it != mPending.end() && it->time <= e.time) ++it;
  mPending.insert(it, e);
}

void Stream::addNote(int t, int ch, int key, int vel, int len)
{
  if (vel < 1) return;  // a silent note is not sent at all
  // A note sounding at t ends before the new one starts (one sample earlier,
  // or at t itself when it started at t or t is 0).
  long long onTime = 0;
  for (size_t i = 0; i < mPending.size(); ++i) {
    const Ev& e = mPending[i];
    if (e.ch != ch || e.key != key) continue;
    if (e.kind == 0) onTime = e.time;
    else if (e.time >= t && onTime <= t) {
      Ev moved = e;
      moved.time = std::max<long long>(onTime, t > 0 ? t - 1 : 0);
      mPending.erase(mPending.begin() + long(i));
      insert(moved);
      break;
    }
  }
  // A note of the same key that starts later ends the new one a sample before.
  long long end = len > 0 ? (long long)t + len : -1;
  for (const Ev& e : mPending)
    if (e.ch == ch && e.key == key && e.kind == 0 && e.time > t) {
      if (end < 0 || end > e.time - 1) end = e.time - 1;
      break;
    }
  insert(Ev{0, ch, key, vel, t});
  if (end >= 0) insert(Ev{1, ch, key, 0, end});
}

void Stream::render(std::vector<Midi>& out, int n)
{
  size_t i = 0;
  for (; i < mPending.size() && mPending[i].time < n; ++i) {
    const Ev& e = mPending[i];
    if (e.kind == 0) {
      out.push_back(Midi{int32_t(e.time), uint8_t(0x90 | e.ch), uint8_t(e.key), uint8_t(e.vel)});
      mSounding[e.key] |= uint16_t(1u << e.ch);
    } else {
      out.push_back(Midi{int32_t(e.time), uint8_t(0x80 | e.ch), uint8_t(e.key), 0});
      mSounding[e.key] &= uint16_t(~(1u << e.ch));
    }
  }
  mPending.erase(mPending.begin(), mPending.begin() + long(i));
  for (Ev& e : mPending) e.time -= n;
}

void Stream::allNotesOff(std::vector<Midi>& out)
{
  mPending.clear();
  for (int k = 0; k < 128; ++k)
    for (int c = 0; c < 16; ++c)
      if (mSounding[k] & (1u << c)) out.push_back(Midi{0, uint8_t(0x80 | c), uint8_t(k), 0});
  std::fill(mSounding, mSounding + 128, uint16_t(0));
}

// ---- engine ----

Model::Model()
{
  for (int s = 0; s < 12; ++s)
    for (int r = 0; r < 4; ++r)
      for (int p = 0; p < 4; ++p) {
        steps[s].rows[r].pulses[p].rng.seed(uint32_t(1 + 16 * s + 4 * r + p));
        steps[s].rows[r].original[p] = steps[s].rows[r].pulses[p];
      }
  std::fill(mGrooveValues, mGrooveValues + 48, 128);
  mClock.rng = &mRandom;
  mClock.setSampleRate(44100);
  mPlayer.size = 48;
  mPlayer.length = 48;
  mPlayer.end = 47;
  mPlayer.reset();
  mStrike.value[0] = 11;
  for (int i = 0; i < 8; ++i) mStrike.value[i] = 11, mMelody.value[i] = 16;
  std::copy(defaultParams(), defaultParams() + NUM_PARAMS, params);
  for (int i = 0; i < NUM_PARAMS; ++i) onParam(i, params[i]);
}

void Model::updateRange()
{
  const int P = mPlayerPulses, last = 12 * P - 1;
  int s = P * beginStepIdx;
  if (s >= 0 && s < 48) {
    mPlayer.start = s;
    mPlayer.end = std::min(s + mPlayer.length - 1, last);
    if (mPlayer.cursor < s) mPlayer.cursor = s;
  }
  int L = P * numSteps;
  if (L >= 1 && L <= 48) {
    mPlayer.length = L;
    mPlayer.end = std::min(mPlayer.start + L - 1, last);
    if (mPlayer.cursor > mPlayer.end) mPlayer.cursor = mPlayer.end;
  }
}

void Model::onParam(int idx, double v)
{
  params[idx] = v;
  const int iv = int(v);
  if (idx >= 111 && idx <= 158) {
    mGrooveMute[idx - 111] = v >= 0.5;
    return;
  }
  if (idx >= 12 && idx <= 23) {
    steps[idx - 12].degree = iv;
    return;
  }
  auto seqParam = [&](Seq& q, int base, int runIdx) {
    if (idx >= base && idx < base + 8) q.value[idx - base] = iv;
    else if (idx >= base + 9 && idx < base + 17) q.lifetime[idx - base - 9] = iv;
    else if (idx == runIdx) q.running = v > 0.5;
    else if (idx == runIdx + 1) q.direction = iv;
    else if (idx == runIdx + 2) q.reset();
    else if (idx == runIdx + 3) q.divider = q.countdown = std::max(1, iv);
    else if (idx == runIdx + 4) std::fill(q.prob, q.prob + 8, v);
    else if (idx == runIdx + 5) q.setStart(iv);
    else if (idx == runIdx + 6) q.setLength(iv);
  };
  if (idx >= 162 && idx <= 186) return seqParam(mStrike, 162, 180);
  if (idx >= 187 && idx <= 211) return seqParam(mMelody, 187, 205);
  auto activeFlags = [&] {
    for (int i = 0; i < 12; ++i) steps[i].active = i >= beginStepIdx && i <= beginStepIdx + numSteps - 1;
  };
  switch (idx) {
    case 0: mClock.setTimeUnit(kBeats[iv]); break;
    case 1: mLengthIdx = iv; break;
    case 3: mClock.setSwing(v); break;
    case 4: mChan[0] = mChan[1] = iv - 1; break;
    case 5: mVelocity = iv; break;
    case 6: mVelJitter = v; break;
    case 7: mLenJitter = v; break;
    case 8: mClock.humanise = v; break;
    case 9: mTonic = iv; break;
    case 10:
      numSteps = iv;
      activeFlags();
      updateRange();
      break;
    case 11:
      mNumPulses = iv;
      for (Step& s : steps)
        for (Row& r : s.rows) r.numPulses = iv;
      mPlayerPulses = iv;
      updateRange();
      break;
    case 24:
      if (iv != mGrooveActive) mGrooveActive = iv;
      break;
    case 25: mGrooveOn = v >= 0.5; break;
    case 26: mMode = iv; break;
    case 27: mPermThreshold = 1 - v; break;
    case 28:
      beginStepIdx = iv - 1;
      activeFlags();
      updateRange();
      break;
    case 29: mPlayer.direction = iv; break;
    case 233: mShape = iv; break;
    case 234: mScale = iv; break;
    default: break;
  }
}

bool Model::load(const std::vector<uint8_t>& content)
{
  Reader rd{content};
  numSteps = rd.i32();
  rd.i32();  // numPositions
  beginStepIdx = rd.i32();
  for (Step& s : steps) {
    s.degree = rd.i32();
    s.active = rd.u8() != 0;
    s.reserved = rd.i32();
    for (Row& r : s.rows) {
      r.numPulses = rd.i32();
      for (Pulse& p : r.pulses) {
        p.playing = rd.i32();
        p.base = rd.i32();
        p.saved = rd.i32();
        p.savedValid = false;
      }
      for (int32_t& v : r.reserved) v = rd.i32();
      r.enabled = rd.u8() != 0;
      r.repeat = rd.i32();
      r.backupValid = false;
      r.muted = false;
      for (int i = 0; i < 4; ++i) r.original[i] = r.pulses[i];
    }
  }
  mGrooveActive = rd.i32();
  for (int32_t& g : mGrooveValues) g = rd.u8();
  for (double& p : params) p = rd.f64();
  for (int i = 0; i < NUM_PARAMS; ++i) onParam(i, params[i]);
  mReloadPending = true;
  return rd.ok;
}

void Model::playerSetPosition(long long n)
{
  const int A = numSteps, Q = mPlayerPulses;
  int r = int(n % (A * Q));
  mCurPulse = r % Q;
  mCurStep = r / Q + beginStepIdx;
  mPlayer.setPosition(n);
  // A window clipped at the last step: the step comes from the cursor.
  if (beginStepIdx + numSteps > 12) mCurStep = mPlayer.cursor / mPlayerPulses;
  std::fill(mCurMelody, mCurMelody + 12, 0);
}

void Model::advanceMelody(int step)
{
  int k = mCurMelody[step];
  const Row* rows = steps[step].rows;
  auto playable = [&](int i) { return rows[i].enabled && !rows[i].muted; };
  if (mPlayCount[step] >= rows[k].repeat || !playable(k)) {
    for (int t = 0; t < 5; ++t) {
      k = (k + 1) % 4;
      if (t < 4 && playable(k)) break;
    }
    mCurMelody[step] = k;
    mPlayCount[step] = 0;
  }
  mPlayCount[step] += 1;
}

int Model::resolvePermanence(int lifetime)
{
  double u = mRandom.nextUnit();
  if (u > mPermThreshold) return lifetime == 0 ? 1 : 0;
  return lifetime;
}

void Model::handlePulse()
{
  int o = mClock.nextPulse();
  int ch;
  if (mToggle == 0) ch = mChan[0], mToggle = 1;
  else ch = mChan[1], mToggle = 0;

  if (mAdvanceArmed) {
    Row* row = &steps[mCurStep].rows[mCurMelody[mCurStep]];
    Pulse& ps = row->pulses[mCurPulse];
    if (ps.savedValid) {
      ps.playing = ps.saved;
      ps.saved = 0;
      ps.savedValid = false;
    }
    if (mCurPulse >= mNumPulses - 1 && row->backupValid) {
      for (int i = 0; i < 4; ++i) row->pulses[i] = row->backup[i];
      row->backupValid = false;
    }
    int before = mCurStep;
    mPlayer.clockTick();
    mCurStep = mPlayer.cursor / mPlayerPulses;
    mCurPulse = mPlayer.cursor % mPlayerPulses;
    if (mCurStep != before) advanceMelody(mCurStep);
    row = &steps[mCurStep].rows[mCurMelody[mCurStep]];

    if (--mMelodyCountdown < 1) {
      if (mMelody.running && mMelody.clockTick() && mMelody.rollProbability()) {
        int c = mMelody.cursor;
        melodyModify(*row, mMelody.value[c], resolvePermanence(mMelody.lifetime[c]) == 1);
      }
      mMelodyCountdown = mNumPulses;
    }
    if (mStrike.running && mStrike.clockTick() && mStrike.rollProbability()) {
      int c = mStrike.cursor;
      strikeModify(row->pulses[mCurPulse], mStrike.value[c], resolvePermanence(mStrike.lifetime[c]) == 1);
    }
    if (mGrooveOn) {
      if (++mGrooveStep >= mGrooveActive) mGrooveStep = 0;
    }
  }
  mAdvanceArmed = true;

  const Row& row = steps[mCurStep].rows[mCurMelody[mCurStep]];
  const Pulse& ps = row.pulses[mCurPulse];
  if (!row.enabled || ps.playing == 0) return;
  int g = mGrooveMute[mGrooveStep] ? 0 : mGrooveValues[mGrooveStep];
  int vel = (mVelocity * g) / 128;
  if (mVelJitter > 0) {
    double u = mRandom.nextUnit();
    vel = int((2 * u - 1) * 40 * mVelJitter + vel);
  }
  vel = std::min(127, std::max(0, vel));
  // The length follows the current samples per beat.
  int len = int(kBeats[mLengthIdx] * mClock.samplesPerBeat);
  if (mLenJitter > 0) {
    double f = mRandom.nextJitterFactor();
    len = int(f * len);
    int m = int(mClock.samplesPerBeat * 0.0625);
    if (len < m) len = m;
  }
  for (int i = 0; i < 5; ++i) {
    if (!(ps.playing & (1 << i))) continue;
    int key = getNote(mShape, mScale, mTonic, steps[mCurStep].degree, mMode, i);
    if (key < 0 || key > 127) continue;
    mStream.addNote(std::max(0, o), ch, key, vel, len);
  }
}

std::vector<Midi> Model::processBlock(long long pos, bool playing, double tempo, int num, int den, int nFrames)
{
  if (num < 1 || den < 1) num = den = 4;
  if (!(tempo > 0)) tempo = 120;
  mClock.setTempo(tempo, num, den);
  if (mReloadPending) {
    mReloadPending = false;
    mAdvanceArmed = false;
  }
  if (pos != mExpectedPos) {
    long long n = mClock.locate(pos);
    playerSetPosition(n);
    mStrike.setPosition(n);
    mMelody.setPosition(n);
    mMelodyCountdown = 0;
    mGrooveStep = mCurPulse % mGrooveActive;
    mAdvanceArmed = false;
  }
  mExpectedPos = pos + nFrames;
  mOut.clear();
  if (!playing) {
    mStream.allNotesOff(mOut);
    return mOut;
  }
  mClock.samplesToPulse -= mClock.samplesLeft;
  mClock.samplesLeft = nFrames;
  mClock.pulseOffset = 0;
  while (mClock.samplesLeft >= mClock.samplesToPulse) handlePulse();
  mStream.render(mOut, nFrames);
  return mOut;
}

}  // namespace refmodel
