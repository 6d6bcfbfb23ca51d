#pragma once
// UTF-8 <-> UTF-16 for the wide Windows calls (text, window titles, menus,
// dialogs, file names). Invalid sequences become replacement characters.
//
// Thread: any.

#include <windows.h>

#include <string>

// The UTF-16 form of a NUL-terminated UTF-8 text; empty for null or "".
inline std::wstring Widen(const char* s)
{
  if (!s || !*s) return std::wstring();
  const int n = MultiByteToWideChar(CP_UTF8, 0, s, -1, nullptr, 0);
  if (n <= 1) return std::wstring();
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s, -1, &w[0], n);
  w.resize(static_cast<size_t>(n - 1));
  return w;
}

// The UTF-8 form of a NUL-terminated UTF-16 text; empty for null or L"".
inline std::string Narrow(const wchar_t* w)
{
  if (!w || !*w) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w, -1, &s[0], n, nullptr, nullptr);
  s.resize(static_cast<size_t>(n - 1));
  return s;
}
