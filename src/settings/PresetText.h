#pragma once
// Text primitives of the preset file format, independent of the process
// locale: a host running with a comma as its decimal point reads and writes
// the same files as any other.
//
// PresetScanner reads a file the way the format's patterns describe it: a
// blank in a pattern matches any run of white space (line ends included, none
// at all too), other characters must match exactly, and numbers and words
// skip the white space before them. A failed match leaves the offending
// character unread, so the next pattern can be tried on it.
//
// Thread: the caller's (the editor thread for presets). No lock, no shared state.

#include <cstdio>

// Opens a preset file for reading (text mode) or, created or emptied, for
// writing. Writing is binary: every system writes the same bytes, lines ending
// in a line feed; reading takes carriage returns as white space. The path is
// UTF-8, as the preset tree builds it. Null on failure.
// (Platform parts: PresetText_posix.cpp, PresetText_win32.cpp.)
std::FILE* presetOpenFile(const char* pPath, bool forWriting);

// Writes v as printf's "%.<decimals>f" does in the "C" locale ("100.000000000000"
// for 100 with 12 decimals) into pBuf (bufSize bytes, terminator included).
// Returns the length, or -1 (and an empty text) when it does not fit.
int presetFormatDouble(char* pBuf, int bufSize, double v, int decimals);

// Whether c is white space as the "C" locale defines it: blank, tab, line
// feed, vertical tab, form feed, carriage return.
inline bool presetIsSpace(int c)
{
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

class PresetScanner {
public:
  // Longest number text accepted (digits, sign, point, exponent together).
  static const int MAX_NUMBER_LEN = 400;

  // Reads from an open file; the caller closes it.
  explicit PresetScanner(std::FILE* pFile);
  PresetScanner(const PresetScanner&) = delete;
  PresetScanner& operator=(const PresetScanner&) = delete;

  // Matches pPattern (blanks and "\n" match any run of white space). True when
  // the whole pattern matched; on a mismatch the characters matched so far
  // stay consumed.
  bool literal(const char* pPattern);
  void skipSpace();
  // True when nothing but the end of the file is left (white space is not skipped).
  bool atEnd();

  // "%d": optional sign and decimal digits; values beyond the int range are
  // held at its limits. More than MAX_NUMBER_LEN digits are read and fail, as
  // an over-long decimal does.
  bool readInt(int& v);
  // "%lf": optional sign, then decimal digits with an optional point and
  // exponent, a "0x" hexadecimal number, "inf", "infinity" or "nan".
  // Magnitudes beyond the double range give infinity, too small ones zero.
  bool readDouble(double& v);
  // "%s" with a bound: the next run of non-blank characters. At most maxLen of
  // them are stored (pBuf holds maxLen + 1); the rest are read and dropped,
  // and rTruncated tells. False at the end of the file.
  bool readWord(char* pBuf, int maxLen, bool& rTruncated);

private:
  int peek();
  int get();
  // Skips white space and an optional sign; rNegative tells which sign was
  // read. Returns the character after them (not consumed).
  int readSign(bool& rNegative);

  std::FILE* mpFile;
};
