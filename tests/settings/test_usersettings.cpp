// The user's settings file: where it lives, what it reads, and that a choice
// written is read back by the next reader.

#include "ScopedEnv.h"
#include "TempDir.h"
#include "UserSettings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

TEST(UserSettings, ReadsTheScaleInAnyWritingAndNothingElse)
{
  struct Case {
    const char* text;
    double scale;
  } cases[] = {{"EditorScale 1.5\n", 1.5},        {"EditorScale 150%", 1.5},     {"EditorScale \"175 %\"", 1.75},
               {"EditorScale 200 ; big\n", 2.0}, {"EditorScale 1,5", 0.0},     {"EditorScale -2", 0.0},
               {"EditorScale 900", 0.0},         {"EditorScale", 0.0},         {"editorscale 2", 0.0},
               {"x 1\r\nEditorScale 1.25\r\n", 1.25}, {"EditorScale 1.5\nEditorScale 1e9", 0.0}};
  for (const Case& c : cases) {
    UserSettings s("");
    s.parse(c.text, std::string(c.text).size());
    EXPECT_EQ(s.editorScale(), c.scale) << c.text;
  }
}

TEST(UserSettings, ChoiceSurvivesInTheUsersConfigurationFolder)
{
  TempDir dir("tav-user-");
  ScopedEnv config(ScopedEnv::kUserConfig, dir.path("cfg").c_str());
#ifdef _WIN32
  const std::string file = "cfg/Tavrinel/settings.ini";
#else
  const std::string file = "cfg/tavrinel/settings.ini";
#endif
  EXPECT_EQ(std::filesystem::u8path(UserSettings::defaultPath()), std::filesystem::u8path(dir.path(file)));
  UserSettings first;
  EXPECT_FALSE(first.load());
  first.setEditorScale(1.75);
  ASSERT_TRUE(first.save());  // the folders are made on the way
  UserSettings second;
  EXPECT_TRUE(second.load());
  EXPECT_EQ(second.editorScale(), 1.75);
  // A folder that cannot be made: the choice is not saved, nothing breaks.
  dir.write("file", "");
  EXPECT_FALSE(UserSettings(dir.path("file/settings.ini")).save());
}
