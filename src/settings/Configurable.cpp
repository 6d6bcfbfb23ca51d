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

  int n = 0;
  if (*p == '"' || *p == '\'') {
    const char quote = *p++;
    for (; *p && *p != quote; ++p)
      if (n < maxlen) pBuf[n++] = *p;
    if (*p == quote) ++p;
  } else {
    for (; *p && !isBlank(*p); ++p)
      if (n < maxlen) pBuf[n++] = *p;
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
}

int TextFileReader::getChar()
{
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
  for (;;) {
    const int c = getChar();
    if (c == EOF || c == '\n' || c >= 0x80) break;
    if (c == '\r') continue;
    if (n < LINE_MAX_LEN) mLine[n++] = static_cast<char>(c);
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
