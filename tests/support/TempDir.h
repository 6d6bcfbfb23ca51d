#pragma once
// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes. Relative names are UTF-8 with '/' between parts.

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

class TempDir {
public:
  // The folder is named prefix followed by a random number.
  explicit TempDir(const std::string& prefix)
    : mDir(std::filesystem::temp_directory_path() / (prefix + std::to_string(std::random_device{}())))
  {
    std::filesystem::create_directories(mDir);
  }
  ~TempDir()
  {
    std::error_code ec;
    std::filesystem::remove_all(mDir, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string path(const std::string& rel) const { return (mDir / std::filesystem::u8path(rel)).u8string(); }
  // Writes text as it is (no line-end translation), making the folders on the
  // way; returns path(rel).
  std::string write(const std::string& rel, const std::string& text) const
  {
    const std::filesystem::path file = mDir / std::filesystem::u8path(rel);
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
    return path(rel);
  }

  const std::filesystem::path mDir;
};
