#include "PresetText.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

int presetFormatDouble(char* pBuf, int bufSize, double v, int decimals)
{
  if (!pBuf || bufSize <= 0) return -1;
  // to_chars with a precision is specified as printf in the "C" locale.
  const std::to_chars_result r = std::to_chars(pBuf, pBuf + bufSize - 1, v, std::chars_format::fixed, decimals);
  if (r.ec != std::errc()) {
    pBuf[0] = 0;
    return -1;
  }
  *r.ptr = 0;
  return static_cast<int>(r.ptr - pBuf);
}

namespace {

bool isDigit(int c) { return c >= '0' && c <= '9'; }
bool isHexDigit(int c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
int toLower(int c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; }

// A number text too large or too small for a double: which way it went, from
// the position of its first significant digit and its exponent.
double outOfRange(const char* pTok, bool negative, bool hex)
{
  long exponent = 0;
  bool expNegative = false;
  const char expMark = hex ? 'p' : 'e';
  const char* pExp = nullptr;
  for (const char* p = pTok; *p; ++p)
    if (toLower(*p) == expMark) pExp = p;
  if (pExp) {
    const char* p = pExp + 1;
    if (*p == '+' || *p == '-') expNegative = (*p++ == '-');
    for (; isDigit(*p); ++p)
      if (exponent < 1000000) exponent = exponent * 10 + (*p - '0');
    if (expNegative) exponent = -exponent;
  }
  long magnitude = 0;
  if (!hex) {
    // Decimal places of the first significant digit (0 for "1", -1 for "0.1").
    const char* p = pTok;
    while (*p == '0') ++p;
    long intDigits = 0;
    while (isDigit(*p)) {
      ++intDigits;
      ++p;
    }
    if (intDigits > 0) {
      magnitude = intDigits - 1;
    } else if (*p == '.') {
      long zeros = 0;
      for (++p; *p == '0'; ++p) ++zeros;
      magnitude = -(zeros + 1);
    }
  }
  const bool tooSmall = magnitude + exponent < 0;
  const double v = tooSmall ? 0.0 : std::numeric_limits<double>::infinity();
  return negative ? -v : v;
}

} // namespace

PresetScanner::PresetScanner(std::FILE* pFile)
  : mpFile(pFile)
{
}

int PresetScanner::peek()
{
  const int c = std::getc(mpFile);
  if (c != EOF) std::ungetc(c, mpFile);
  return c;
}

int PresetScanner::get()
{
  return std::getc(mpFile);
}

void PresetScanner::skipSpace()
{
  while (presetIsSpace(peek())) get();
}

bool PresetScanner::atEnd()
{
  return peek() == EOF;
}

bool PresetScanner::literal(const char* pPattern)
{
  for (const char* p = pPattern; *p; ++p) {
    if (presetIsSpace(static_cast<unsigned char>(*p))) {
      skipSpace();
      continue;
    }
    if (peek() != static_cast<unsigned char>(*p)) return false;
    get();
  }
  return true;
}

int PresetScanner::readSign(bool& rNegative)
{
  skipSpace();
  int c = peek();
  rNegative = false;
  if (c == '+' || c == '-') {
    rNegative = (c == '-');
    get();
    c = peek();
  }
  return c;
}

bool PresetScanner::readInt(int& v)
{
  bool negative = false;
  int c = readSign(negative);
  if (!isDigit(c)) return false;
  long long n = 0;
  int digits = 0;
  while (isDigit(c = peek())) {
    get();
    ++digits;
    if (n <= static_cast<long long>(INT_MAX) + 1) n = n * 10 + (c - '0');
  }
  // The same bound as a decimal's text: the digits are read, the number fails.
  if (digits > MAX_NUMBER_LEN) return false;
  if (negative) n = -n;
  if (n > INT_MAX) n = INT_MAX;
  if (n < INT_MIN) n = INT_MIN;
  v = static_cast<int>(n);
  return true;
}

bool PresetScanner::readDouble(double& v)
{
  bool negative = false;
  int c = readSign(negative);

  // Words: "inf", "infinity", "nan", "nan(chars)", in any case.
  auto word = [this](const char* pWord) {
    for (const char* p = pWord; *p; ++p) {
      if (toLower(peek()) != *p) return false;
      get();
    }
    return true;
  };
  if (toLower(c) == 'i') {
    if (!word("inf")) return false;
    if (toLower(peek()) == 'i' && !word("inity")) return false;
    v = negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    return true;
  }
  if (toLower(c) == 'n') {
    if (!word("nan")) return false;
    if (peek() == '(') {
      get();
      while (isDigit(c = peek()) || (toLower(c) >= 'a' && toLower(c) <= 'z') || c == '_') get();
      if (get() != ')') return false;
    }
    v = std::numeric_limits<double>::quiet_NaN();
    return true;
  }

  char tok[MAX_NUMBER_LEN + 1];
  int n = 0;
  bool tooLong = false;
  auto take = [&](int ch) {
    get();
    if (n < MAX_NUMBER_LEN)
      tok[n++] = static_cast<char>(ch);
    else
      tooLong = true;
  };

  bool hex = false;
  int digits = 0;
  if (c == '0') {
    take(c);
    ++digits;
    if (toLower(peek()) == 'x') {
      get();
      hex = true;
      n = 0;
      digits = 0;
    }
  }
  auto isMantissaDigit = [hex](int ch) { return hex ? isHexDigit(ch) : isDigit(ch); };
  while (isMantissaDigit(c = peek())) {
    take(c);
    ++digits;
  }
  if (c == '.') {
    take(c);
    while (isMantissaDigit(c = peek())) {
      take(c);
      ++digits;
    }
  }
  if (digits == 0) return false;
  if (toLower(c) == (hex ? 'p' : 'e')) {
    take(c);
    c = peek();
    if (c == '+' || c == '-') {
      take(c);
      c = peek();
    }
    if (!isDigit(c)) return false;
    while (isDigit(c = peek())) take(c);
  }
  if (tooLong) return false;
  tok[n] = 0;

  double value = 0.0;
  const std::from_chars_result r =
    std::from_chars(tok, tok + n, value, hex ? std::chars_format::hex : std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range) {
    v = outOfRange(tok, negative, hex);
    return true;
  }
  if (r.ec != std::errc() || r.ptr != tok + n) return false;
  v = negative ? -value : value;
  return true;
}

bool PresetScanner::readWord(char* pBuf, int maxLen, bool& rTruncated)
{
  rTruncated = false;
  pBuf[0] = 0;
  skipSpace();
  int c = peek();
  if (c == EOF) return false;
  int n = 0;
  while ((c = peek()) != EOF && !presetIsSpace(c)) {
    get();
    if (n < maxLen)
      pBuf[n++] = static_cast<char>(c);
    else
      rTruncated = true;
  }
  pBuf[n] = 0;
  return true;
}
