// Preset numbers under a locale with a decimal comma, on systems that do not
// have one installed: the locale is built into a temporary folder with the C
// library's localedef and found through LOCPATH.
#include "TavrinelTestRig.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

TEST(PresetFilePosix, NumbersDoNotFollowAGeneratedLocale)
{
  const TempDir temp("tav_locale_");
  const fs::path& dir = temp.mDir;
  const std::string command =
    "localedef -i de_DE -f UTF-8 '" + (dir / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
  const int rc = std::system(command.c_str());
  (void)rc;  // localedef may warn and still build the locale
  setenv("LOCPATH", dir.c_str(), 1);
  const bool haveLocale =
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && std::localeconv()->decimal_point[0] == ',';
  double read = -1.0;
  std::string text;
  if (haveLocale) {
    const std::string file = (dir / "de.preset").string();
    {
      TavrinelRig rig;
      rig.Set(kSwing, 0.75);
      EXPECT_TRUE(rig.plug->writePresetFile(file.c_str()));
    }
    std::stringstream ss;
    ss << std::ifstream(file).rdbuf();
    text = ss.str();
    TavrinelRig rig;
    EXPECT_TRUE(rig.plug->readPresetFile(file.c_str()));
    read = rig.plug->GetParam(kSwing)->Value();
  }
  std::setlocale(LC_NUMERIC, "C");
  unsetenv("LOCPATH");
  if (!haveLocale) GTEST_SKIP() << "localedef could not build de_DE.UTF-8 here";
  EXPECT_NE(text.find("\nparam Swing 0.750000000000\n"), std::string::npos);
  EXPECT_EQ(read, 0.75);
}
