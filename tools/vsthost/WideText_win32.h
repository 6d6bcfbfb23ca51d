#pragma once
// UTF-8 text for the wide Windows calls of the host (library paths, command
// lines).
//
// Thread: any.

#include <windows.h>

#include <string>

// The UTF-16 form of the text; empty when it is empty or cannot be converted.
inline std::wstring Widen(const std::string& text)
{
  if (text.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
  return wide;
}
