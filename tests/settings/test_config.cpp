#include "Configurable.h"
#include "ConfigurablePool.h"
#include "HomeDirectory.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A fresh temporary folder in which the library is pretended to lie while the
// object lives.
class FakeHome : public TempDir {
public:
  FakeHome()
    : TempDir("tav_config_")
  {
    HomeDirectory::overrideLibraryPath((mDir / "Tavrinel.so").string().c_str());
  }
  ~FakeHome() { HomeDirectory::overrideLibraryPath(nullptr); }
  void writeIni(const std::string& text) const { write("Tavrinel.ini", text); }
};

// The plug-in's own setup, plus a second, numeric setting.
struct Settings {
  ConfigurablePool pool;
  Settings()
  {
    for (const char* name : {"PresetFolder", "Other"}) pool.get(pool.add())->setName(name);
    pool.get(0)->setString("");
    pool.get(1)->setString("7");
  }
  void load(const std::string& text)
  {
    ConfigurationFileReader reader;
    reader.openMemory(text.data(), text.size());
    pool.loadConfiguration(reader);
  }
  std::string folder() const { return pool.get(0)->getString(); }
  std::string other() const { return pool.get(1)->getString(); }
};

TEST(ConfigFile, ReadsTheFileBesideTheLibraryWithItsQuirks)
{
  FakeHome home;
  home.writeIni("PresetFolder /first\r\n"
                "; only a comment\r\n"
                "\r\n"
                " \t  \r\n"
                "PresetFolder\t\"/my presets/a;b\" rest\r\n"
                "presetfolder /lower/case\r\n"
                "Other ; no value\r\n"
                "Unknown 12");
  Settings s;
  EXPECT_TRUE(s.pool.loadConfiguration());
  EXPECT_EQ(s.folder(), "/my presets/a"); // the last one; the comment cuts inside the quotes
  EXPECT_EQ(s.other(), "");
  EXPECT_EQ(s.pool.get(1)->getInt(), 0);
}

TEST(ConfigFile, LongLinesAndNamesAreCut)
{
  Settings s;
  // 200 characters: the first 128 are kept, the rest of that line is dropped.
  const std::string line = "PresetFolder " + std::string(187, 'x');
  s.pool.get(1)->setName(std::string(40, 'n').c_str()); // names are cut at 40
  s.load(line + "\n" + std::string(50, 'n') + " 5\n");
  EXPECT_EQ(s.folder(), std::string(128 - 13, 'x'));
  EXPECT_EQ(s.pool.get(1)->getInt(), 5);
}

TEST(ConfigFile, Utf8TextIsReadAndOtherHighBytesEndTheLine)
{
  Settings s;
  s.load("PresetFolder \"/home/jos\xC3\xA9/Pr\xE2\x82\xACsets \xF0\x9F\x8E\xB9\"\nJunk\xE9Other 42\n");
  EXPECT_EQ(s.folder(), "/home/jos\xC3\xA9/Pr\xE2\x82\xACsets \xF0\x9F\x8E\xB9");
  EXPECT_EQ(s.pool.get(1)->getInt(), 42); // after a byte that starts no character: a line of its own
}

TEST(ConfigFile, MalformedBytesActAsLineEndsAndCharactersAreNeverSplit)
{
  // Random settings built from ASCII, well-formed characters and malformed
  // bytes (overlong, surrogate, cut short, never a lead byte) read exactly as
  // the same text with a line feed for each malformed byte, and every name and
  // value ends on a character boundary, however the 40- and 128-byte cuts fall.
  const char* const good[] = {"a", "b c", "\"", ";", "\t", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x8E\xB9", "\xC2\x80",
                              "\xEF\xBF\xBF", "\xF4\x8F\xBF\xBF", "\r", "\n", "PresetFolder "};
  const char* const bad[] = {"\xC0\xAF", "\xC1", "\xF5", "\xFF", "\xED\xA0\x80", "\xE2\x82z", "\xF0\x9F\x8E\t", "\xF4\x90\x80", "\x80"};
  auto settings = [](const std::string& text) {
    ConfigurationFileReader reader;
    reader.openMemory(text.data(), text.size());
    std::vector<std::string> out;
    while (reader.readSetting()) out.insert(out.end(), {reader.getName(), reader.getValue()});
    return out;
  };
  auto wholeChars = [](const std::string& t) {
    size_t i = 0;
    while (i < t.size()) i += size_t(t[i] & 0x80 ? ((t[i] & 0xF0) == 0xF0 ? 4 : (t[i] & 0xE0) == 0xE0 ? 3 : 2) : 1);
    return i == t.size();
  };
  std::mt19937 g(5);
  for (int trial = 0; trial < 300; ++trial) {
    std::string text, expected;
    while (text.size() < 600) {
      const unsigned r = g() % 32;
      if (r < 2) {
        const std::string b = bad[g() % std::size(bad)];
        text += b;
        for (char c : b) expected += c & 0x80 ? '\n' : c;
      } else {
        const std::string piece = r < 8 ? std::string(g() % 45, char('k' + r)) : good[g() % std::size(good)];
        text += piece;
        expected += piece;
      }
    }
    const std::vector<std::string> got = settings(text);
    ASSERT_EQ(got, settings(expected)) << trial;
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_TRUE(wholeChars(got[i])) << got[i];
      EXPECT_LE(got[i].size(), i % 2 ? 128u - 1 : 40u) << got[i]; // a value shares its line with a name
    }
  }
}

TEST(ConfigFile, MissingOrUnreadableFileKeepsTheDefaults)
{
  FakeHome home;
  Settings s;
  EXPECT_FALSE(s.pool.loadConfiguration());
  // A folder in the file's place opens on some systems but reads nothing: the
  // reader must stop rather than wait for an end-of-file flag that never comes.
  fs::create_directory(home.mDir / "Tavrinel.ini");
  s.pool.loadConfiguration();
  EXPECT_EQ(s.folder(), "");
  EXPECT_EQ(s.other(), "7");
}

TEST(NextToken, SplitsOnBlanksAndQuotesAndPassesOverTheExcess)
{
  char buf[8];
  const char* p = " \tkey  \"a b\"'c'd  'open"; // an unclosed quote runs to the end
  for (const char* expected : {"key", "a b", "c", "d", "open", ""}) {
    p = nextToken(p, buf, 7);
    EXPECT_STREQ(buf, expected);
  }
  EXPECT_EQ(*p, '\0');

  const char* longText = "abcdefghij k";
  p = nextToken(longText, buf, 3);
  EXPECT_STREQ(buf, "abc");
  EXPECT_EQ(p, longText + 10);
}

TEST(Configurable, ValueAndItsIntegerReading)
{
  Configurable c;
  EXPECT_EQ(c.getName(), nullptr);
  EXPECT_EQ(c.getString(), nullptr);
  EXPECT_EQ(c.getInt(), 0);
  const std::pair<const char*, int> cases[] = {
    {" -42abc", -42},  {"+7", 7},       {"\t12 3", 12},          {"abc", 0},
    {"", 0},           {"- 5", 0},      {"99999999999", INT_MAX}, {"-2147483648", INT_MIN},
    {"-99999999999", INT_MIN},
  };
  for (const auto& [text, value] : cases) {
    c.setString(text);
    EXPECT_STREQ(c.getString(), text);
    EXPECT_EQ(c.getInt(), value) << text;
  }
  c.setString("15");
  c.setString(c.getString()); // its own value
  EXPECT_STREQ(c.getString(), "15");
}

TEST(ConfigDeathTest, InvariantsStopWithTheirText)
{
  ConfigurablePool pool;
  pool.add();
  char buf[4];
  EXPECT_DEATH(pool.get(1), "configIdx >= 0 && configIdx < mConfigurables.GetSize\\(\\), file src\\\\ConfigurablePool");
  EXPECT_DEATH(pool.get(0)->setName(nullptr), "pName, file src\\\\Configurable");
  EXPECT_DEATH(pool.get(0)->setString(nullptr), "pString, file src\\\\Configurable");
  EXPECT_DEATH(nextToken("x", buf, 0), "maxlen > 0, file src\\\\Configurable");
  EXPECT_DEATH(nextToken(nullptr, buf, 3), "pStart, file src\\\\Configurable");
}

TEST(HomeDirectory, FileBesideTheLibraryIfThePathFits)
{
  const std::string sep(1, pathSeparator());
  HomeDirectory::overrideLibraryPath((sep + "plugins" + sep + "Tavrinel.so").c_str());
  EXPECT_EQ(std::string(HomeDirectory("Tavrinel.ini").getPathname()), sep + "plugins" + sep + "Tavrinel.ini");

  // The folder may take up to 1024 - 13 characters.
  const std::string folder = sep + std::string(1010, 'f');
  HomeDirectory::overrideLibraryPath((folder + sep + "lib").c_str());
  EXPECT_EQ(std::string(HomeDirectory("Tavrinel.ini").getPathname()), folder + sep + "Tavrinel.ini");
  HomeDirectory::overrideLibraryPath((folder + "g" + sep + "lib").c_str());
  EXPECT_STREQ(HomeDirectory("Tavrinel.ini").getPathname(), "");

  // The real lookup: the folder of the file that holds this code (the test program).
  HomeDirectory::overrideLibraryPath(nullptr);
  const fs::path found = HomeDirectory("Tavrinel.ini").getPathname();
  EXPECT_EQ(found.filename(), "Tavrinel.ini");
  EXPECT_TRUE(fs::is_directory(found.parent_path())) << found;
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    EXPECT_TRUE(fs::equivalent(found.parent_path(), self.parent_path())) << found;
  }
}

} // namespace
