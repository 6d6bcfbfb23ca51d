#pragma once
// Sets an environment variable while the object lives, then puts back what
// was there. Header-only.

#include <cstdlib>
#include <string>

class ScopedEnv {
public:
  // value null: the variable is removed meanwhile.
  ScopedEnv(const char* name, const char* value) : mName(name)
  {
    const char* old = std::getenv(name);
    mHad = old != nullptr;
    if (old) mOld = old;
    Set(value);
  }
  ~ScopedEnv() { Set(mHad ? mOld.c_str() : nullptr); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

  // The variable that names the user's configuration folder.
#ifdef _WIN32
  static constexpr const char* kUserConfig = "APPDATA";
#else
  static constexpr const char* kUserConfig = "XDG_CONFIG_HOME";
#endif

private:
  void Set(const char* value)
  {
#ifdef _WIN32
    _putenv_s(mName.c_str(), value ? value : "");
#else
    if (value) setenv(mName.c_str(), value, 1);
    else unsetenv(mName.c_str());
#endif
  }

  std::string mName;
  std::string mOld;
  bool mHad = false;
};
