#pragma once
// Installation settings that are neither parameters nor part of a preset: named
// string values read once per process from "Tavrinel.ini" beside the plug-in's
// library file (SharedSettings).
//
// Thread: the first thread to ask for the settings reads the file; afterwards the
// values are only read, on any thread but the audio thread, which never touches
// them. Lock: none of their own.

#include <cstddef>
#include <cstdio>

// One named setting. Name and value are owned copies, null until set.
class Configurable {
public:
  Configurable();
  ~Configurable();
  Configurable(const Configurable&) = delete;
  Configurable& operator=(const Configurable&) = delete;

  void setName(const char* pName);     // pName must not be null
  void setString(const char* pString); // pString must not be null; also sets the integer value

  const char* getName() const { return mpName; }
  const char* getString() const { return mpValue; }
  int getInt() const { return mIntValue; }

private:
  char* mpName;
  char* mpValue;
  int mIntValue;
};

// Leading blanks, an optional sign and decimal digits up to the first other
// character; 0 when the text does not start with a number. Saturates at the
// int32 limits instead of overflowing.
int configurableParseInt(const char* pText);

// Takes the next token of pStart into pBuf (which holds maxlen + 1 bytes):
// blanks and tabs are skipped; a token in double or single quotes runs to the
// matching quote (consumed) or the end of the text, any other token to the next
// blank or tab. Only whole UTF-8 characters are stored: from the first one that
// would pass maxlen bytes on, the rest is passed over. Returns the position
// after the token.
const char* nextToken(const char* pStart, char* pBuf, int maxlen);

// Reads a UTF-8 text file (or a block of memory) line by line into a bounded buffer.
class TextFileReader {
public:
  static const int LINE_MAX_LEN = 128;

  TextFileReader();
  virtual ~TextFileReader(); // closes the file if still open
  TextFileReader(const TextFileReader&) = delete;
  TextFileReader& operator=(const TextFileReader&) = delete;

  bool open(const char* pPath); // text mode; false when the path is null, empty or cannot be opened
  // Reads from memory instead of a file; the data must outlive the reader.
  void openMemory(const char* pData, std::size_t size);
  void close();
  bool isOpen() const { return mpFile != nullptr || mpData != nullptr; }

protected:
  // One line into the line buffer: ends at a line feed, at a byte that does not
  // begin a well-formed UTF-8 character, or at the end of the input; carriage
  // returns are skipped, characters that would pass LINE_MAX_LEN bytes dropped
  // whole. False when nothing is open or the input has ended.
  bool readLine();
  char* getLineBuffer() { return mLine; }

private:
  int getChar(); // next byte 0..255, or EOF (which also marks the input as ended)

  std::FILE* mpFile;
  const unsigned char* mpData;
  std::size_t mDataSize;
  std::size_t mDataPos;
  bool mAtEnd;
  int mPending; // a byte read ahead and given back, or EOF
  char mLine[LINE_MAX_LEN + 1];
};

// Reads "name value" settings; ";" starts a comment anywhere on a line.
class ConfigurationFileReader : public TextFileReader {
public:
  static const int NAME_MAX_LEN = 40;
  static const int VALUE_MAX_LEN = 512;

  ConfigurationFileReader();

  // True with the name and value filled in, false at the end of the input.
  // Lines with an empty name are passed over.
  bool readSetting();
  const char* getName() const { return mName; }
  const char* getValue() const { return mValue; }

private:
  char mName[NAME_MAX_LEN + 1];
  char mValue[VALUE_MAX_LEN + 1];
};
