#include "Configurable.h"

#include "Assert.h"

#include <climits>
#include <cstring>

namespace {

char* copyText(const char* pText)
{
  const std::size_t len = std::strlen(pText);
  char* pCopy = new char[len + 1];
  std::memcpy(pCopy, pText, len + 1);
  return pCopy;
}

bool isBlank(char c)
{
  return c == ' ' || c == '\t';
}

bool isContinuation(int c)
{
  return c >= 0x80 && c <= 0xBF;
}

// Bytes of the character that c starts, from its first byte alone (1 for
// ASCII and for a stray byte).
int charLength(int c)
{
  return c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
}

// Well-formed UTF-8 (no overlong forms, no surrogates, nothing above
// U+10FFFF): the number of bytes a lead byte starts, or 0 when it starts
// none, and the range its second byte must lie in.
int utf8SequenceLength(int lead, int& rLo, int& rHi)
{
  rLo = 0x80;
  rHi = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (lead == 0xE0) rLo = 0xA0;
    if (lead == 0xED) rHi = 0x9F;
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    if (lead == 0xF0) rLo = 0x90;
    if (lead == 0xF4) rHi = 0x8F;
    return 4;
  }
  return 0;
}

} // namespace

Configurable::Configurable()
  : mpName(nullptr)
  , mpValue(nullptr)
  , mIntValue(0)
{
}

Configurable::~Configurable()
{
  delete[] mpValue;
  delete[] mpName;
}

void Configurable::setName(const char* pName)
{
  TAV_ASSERT(pName, "src\\Configurable");
  char* pCopy = copyText(pName);
  delete[] mpName;
  mpName = pCopy;
}

void Configurable::setString(const char* pString)
{
  TAV_ASSERT(pString, "src\\Configurable");
  char* pCopy = copyText(pString); // before freeing: pString may be our own value
  delete[] mpValue;
  mpValue = pCopy;
  mIntValue = configurableParseInt(mpValue);
}

int configurableParseInt(const char* pText)
{
  const char* p = pText;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = (*p++ == '-');
  // Accumulate toward the sign so that INT_MIN itself is reachable.
  long long value = 0;
  const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > limit) value = limit;
  }
  return static_cast<int>(negative ? -value : value);
}

const char* nextToken(const char* pStart, char* pBuf, int maxlen)
{
  TAV_ASSERT(pStart, "src\\Configurable");
  TAV_ASSERT(pBuf, "src\\Configurable");
  TAV_ASSERT(maxlen > 0, "src\\Configurable");

  const char* p = pStart;
  while (isBlank(*p)) ++p;

  // A character is stored whole or not at all; after the first one that does
  // not fit, nothing more is.
  int n = 0;
  bool full = false;
  auto store = [&](char ch) {
    const int c = static_cast<unsigned char>(ch);
    if (!isContinuation(c)) full = full || n + charLength(c) > maxlen;
    if (!full && n < maxlen) pBuf[n++] = ch;
  };
  if (*p == '"' || *p == '\'') {
    const char quote = *p++;
    for (; *p && *p != quote; ++p) store(*p);
    if (*p == quote) ++p;
  } else {
    for (; *p && !isBlank(*p); ++p) store(*p);
  }
  pBuf[n] = 0;
  return p;
}

TextFileReader::TextFileReader()
  : mpFile(nullptr)
  , mpData(nullptr)
  , mDataSize(0)
  , mDataPos(0)
  , mAtEnd(false)
  , mPending(EOF)
{
  mLine[0] = 0;
}

TextFileReader::~TextFileReader()
{
  close();
}

bool TextFileReader::open(const char* pPath)
{
  close();
  if (!pPath || !pPath[0]) return false;
  mpFile = std::fopen(pPath, "r");
  return mpFile != nullptr;
}

void TextFileReader::openMemory(const char* pData, std::size_t size)
{
  close();
  // Never null while open, even for an empty block.
  static const unsigned char kEmpty = 0;
  mpData = pData ? reinterpret_cast<const unsigned char*>(pData) : &kEmpty;
  mDataSize = pData ? size : 0;
  mDataPos = 0;
}

void TextFileReader::close()
{
  if (mpFile) std::fclose(mpFile);
  mpFile = nullptr;
  mpData = nullptr;
  mDataSize = 0;
  mDataPos = 0;
  mAtEnd = false;
  mPending = EOF;
}

int TextFileReader::getChar()
{
  if (mPending != EOF) {
    const int pending = mPending;
    mPending = EOF;
    return pending;
  }
  int c = EOF;
  if (mpFile) {
    c = std::getc(mpFile);
  } else if (mpData && mDataPos < mDataSize) {
    c = mpData[mDataPos++];
  }
  // A read error ends the input too: waiting for the end-of-file flag after an
  // error (a folder opened as a file, say) would read empty lines forever.
  if (c == EOF) mAtEnd = true;
  return c;
}

bool TextFileReader::readLine()
{
  if (!isOpen() || mAtEnd) return false;
  int n = 0;
  bool full = false;
  for (;;) {
    int c = getChar();
    if (c == EOF || c == '\n') break;
    if (c == '\r') continue;
    unsigned char ch[4] = {static_cast<unsigned char>(c)};
    int len = 1;
    if (c >= 0x80) {
      // A byte that does not start a well-formed UTF-8 character ends the line,
      // as a line feed would; the byte that broke the sequence is read again as
      // the start of the next line (the continuation bytes before it would only
      // have ended empty lines).
      int lo = 0, hi = 0;
      const int need = utf8SequenceLength(c, lo, hi);
      if (need == 0) break;
      for (; len < need; ++len) {
        c = getChar();
        if (c < lo || c > hi) break;
        ch[len] = static_cast<unsigned char>(c);
        lo = 0x80;
        hi = 0xBF;
      }
      if (len < need) {
        if (c != EOF) mPending = c;
        break;
      }
    }
    // Characters beyond LINE_MAX_LEN bytes are dropped whole.
    full = full || n + len > LINE_MAX_LEN;
    if (!full)
      for (int i = 0; i < len; ++i) mLine[n++] = static_cast<char>(ch[i]);
  }
  mLine[n] = 0;
  return true;
}

ConfigurationFileReader::ConfigurationFileReader()
{
  mName[0] = 0;
  mValue[0] = 0;
}

bool ConfigurationFileReader::readSetting()
{
  for (;;) {
    if (!readLine()) return false;
    char* pLine = getLineBuffer();
    if (char* pComment = std::strchr(pLine, ';')) *pComment = 0;
    const char* pRest = nextToken(pLine, mName, NAME_MAX_LEN);
    nextToken(pRest, mValue, VALUE_MAX_LEN);
    if (mName[0]) return true;
  }
}
