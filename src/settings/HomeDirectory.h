#pragma once
// The folder that holds the plug-in's own library file (not the host program's),
// where the plug-in looks for files that belong to the installation.
//
// Thread: the thread that builds the plug-in (and the editor thread). Not touched
// by the audio thread. Lock: none.

// Builds "<library folder><separator><fileName>" in a buffer of MAX_PATHNAME
// characters. The path is empty when the library's path is unknown or the result
// would not fit; opening it then fails.
class HomeDirectory {
public:
  static const int MAX_PATHNAME = 1024;

  explicit HomeDirectory(const char* pFileName);
  ~HomeDirectory();
  HomeDirectory(const HomeDirectory&) = delete;
  HomeDirectory& operator=(const HomeDirectory&) = delete;

  const char* getPathname() const { return mpPathname; }

  // Makes every later HomeDirectory act as if the library file were pLibraryPath
  // (for tests, which have no library of their own); null returns to the system.
  // Main thread, with no other thread building paths.
  static void overrideLibraryPath(const char* pLibraryPath);
  // Counts the calls of overrideLibraryPath: files found beside the library
  // once per process (SharedSettings) are looked for again when it changes.
  // Any thread.
  static unsigned overrideGeneration();

private:
  char* mpPathname;
};

// Full path of the library file holding this code into pBuf (bufSize bytes,
// terminator included); false (and pBuf empty) when unknown or too long.
bool homeDirectoryLibraryPath(char* pBuf, int bufSize);

// Platform services (HomeDirectory_posix.cpp, HomeDirectory_win32.cpp).

// Full path of the library file that holds pAddress into pBuf (bufSize > 0
// bytes, terminator included); false when unknown or too long.
bool libraryFileHolding(const void* pAddress, char* pBuf, int bufSize);
// The separator used to join paths: '\\' on Windows, '/' elsewhere.
char pathSeparator();
// Whether c separates path components: '\\' and '/' on Windows, '/' elsewhere.
bool isPathSeparator(char c);
