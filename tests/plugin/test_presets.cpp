// Preset files: the writer's exact text, reading back, the reader's tolerance of
// odd and hostile files, the save rules, the locale, and the tree and
// configuration the plug-in's instances share.
#include "TavrinelTestRig.h"

#include "HomeDirectory.h"
#include "IControls.h"
#include "IPopupMenu.h"
#include "OffscreenEditor.h"
#include "PresetMenu.h"
#include "PresetName.h"
#include "PresetText.h"
#include "PresetTree.h"
#include "SharedSettings.h"
#include "TavrinelGuiControls.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

std::string ReadText(const std::string& path)
{
  std::ifstream in(fs::u8path(path), std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

const char* const HEADER = "Tavrinel V1.0\n";

} // namespace

TEST(PresetFile, WriterTextAndRoundTrip)
{
  TempDir dir("tav_presets_");
  const std::string file = dir.path("round.preset");
  std::vector<double> values;
  {
    TavrinelRig rig;
    rig.Set(kSwing, 0.123456789012);
    rig.Set(kVel, 77);
    rig.Set(kTonic, 45);
    rig.Set(kScale, 5);
    rig.Set(kGrooveMute0 + 7, 1);
    rig.Set(kStkMod1 + 2, 4);
    rig.Set(kRowSel1, 1);
    Melody& m = rig.plug->mProgression.step(11).mMelodies[3];
    m.mEnabled = true;
    m.mRepeatCount = 64;
    m.mPulses[1].setMask(31);
    m.mPulses[2].mPlayingMask = 9;  // a modifier's doing: the playing mask is stored
    rig.plug->mGroove.mGrooveValues[0] = 0;
    rig.plug->mGroove.mGrooveValues[47] = 128;
    rig.plug->mGroove.mGrooveValues[12] = 7;
    ASSERT_TRUE(rig.plug->writePresetFile(file.c_str()));
    EXPECT_STREQ(rig.plug->getCurrentPreset().getName(), "round");
    for (int i = 0; i < kNumParams; ++i) values.push_back(rig.plug->GetParam(i)->Value());
  }

  const std::string text = ReadText(file);
  EXPECT_EQ(text.rfind(HEADER, 0), 0u);
  EXPECT_NE(text.find("\nparam TimeUnits 3.000000000000\nparam LengthUnits 3.000000000000\n"), std::string::npos);
  EXPECT_NE(text.find("\nparam Swing 0.123456789012\n"), std::string::npos);
  EXPECT_NE(text.find("\nparam RowSel1 1.000000000000\n"), std::string::npos);
  EXPECT_NE(text.find("\nmelody 0.0 1 1  4 0 16 0\nmelody 0.1 0 1  0 0 0 0\n"), std::string::npos);
  EXPECT_NE(text.find("\nmelody 11.3 1 64  0 31 9 0\ngmsteps\n   0 128 128"), std::string::npos);
  EXPECT_NE(text.find(" 128\n   7 128"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 9), " 128 128\n");
  // Commands, resets and unnamed parameters have no line; everything else has one.
  for (const char* absent : {"param M L", "param R LRp", "param StkRst", "param MelRst", "param  "})
    EXPECT_EQ(text.find(absent), std::string::npos) << absent;
  int lines = 0;
  for (std::size_t at = 0; (at = text.find("\nparam ", at)) != std::string::npos; ++at) ++lines;
  EXPECT_EQ(lines, 184);  // 250 less 42 undefined, the unnamed command, 21 edit commands, 2 resets
  {
    TavrinelRig rig;
    rig.Set(kSwing, 0.9);
    rig.plug->mGroove.mGrooveValues[47] = 3;
    ASSERT_TRUE(rig.plug->readPresetFile(file.c_str()));
    for (int i = 0; i < kNumParams; ++i) {
      if (rig.plug->IsStoredInPreset(i)) {
        EXPECT_NEAR(rig.plug->GetParam(i)->Value(), values[i], 1e-12) << i;
      }
    }
    EXPECT_TRUE(rig.plug->mGroove.mGrooveMute[7]);           // handlers ran
    EXPECT_EQ(rig.plug->mStrikeSequencer.getStep(2).mValue, 4);
    const Melody& m = rig.plug->mProgression.step(11).mMelodies[3];
    EXPECT_TRUE(m.mEnabled);
    EXPECT_EQ(m.mRepeatCount, 64);
    EXPECT_EQ(m.mPulses[1].mBaseMask, 31);
    EXPECT_EQ(m.mPulses[2].mBaseMask, 9);
    EXPECT_EQ(m.mPulses[2].mPlayingMask, 9);
    EXPECT_FALSE(rig.plug->mProgression.step(0).mMelodies[1].mEnabled);
    EXPECT_EQ(rig.plug->mGroove.mGrooveValues[0], 0);
    EXPECT_EQ(rig.plug->mGroove.mGrooveValues[12], 7);
    EXPECT_EQ(rig.plug->mGroove.mGrooveValues[47], 128);
    EXPECT_EQ(ReadText(file), text);  // reading changes nothing on disk
  }
}

TEST(PresetFile, MissingParametersEndAtTheirMinimum)
{
  TempDir dir("tav_presets_");
  TavrinelRig rig;
  const std::string file = dir.write("p.preset", std::string(HEADER) + "gmsteps 1 2\n");
  ASSERT_TRUE(rig.plug->readPresetFile(file.c_str()));
  for (int i = 0; i < kNumParams; ++i) EXPECT_EQ(rig.plug->GetParam(i)->Value(), rig.plug->GetParam(i)->GetMin()) << i;
  EXPECT_EQ(rig.plug->mVelocity, 0);
  EXPECT_EQ(rig.plug->mProgression.numSteps, 1);  // "NumStep" handler ran with its minimum
  // With an editor open, its row handles push their value 1 into their
  // unnamed parameter when the grid is redrawn after the read.
  BuildOffscreenEditor(*rig.plug);
  ASSERT_TRUE(rig.plug->readPresetFile(file.c_str()));
  EXPECT_EQ(rig.plug->GetParam(ROW_CONTROL_PARAM)->Value(), 1.0);
}

TEST(PresetFile, ItemsInAnyOrderAndValuesBroughtIntoRange)
{
  TempDir dir("tav_presets_");
  TavrinelRig rig;
  const std::string file = dir.write(
    "p.preset", std::string("Tavrinel V7.3\r\n") +
                  "melody 2.1 1 0  40 -1 3 0\n"          // masks keep their five bits
                  "melody 12.0 1 1  1 1 1 1\nmelody 0.4 1 1  1 1 1 1\nmelody -1.0 1 1  1 1 1 1\n"
                  "param Vel 500\nparam Swing -3\nparam NoSuchName 5\n"
                  "param   Human\n1e999\nparam StkProb 0.25\n"
                  "melody 3.0 2 1000   1   2   3   4\n"
                  "gmsteps\n 200 -5   9  10  11  12  13  14  15  16  17  18\n");
  EXPECT_TRUE(rig.plug->readPresetFile(file.c_str()));
  Tavrinel& p = *rig.plug;
  EXPECT_EQ(p.GetParam(kVel)->Value(), 127);
  EXPECT_EQ(p.GetParam(kSwing)->Value(), 0);
  EXPECT_EQ(p.GetParam(kHuman)->Value(), 1);
  EXPECT_EQ(p.GetParam(kStkProb)->Value(), 0.25);
  const Melody& m = p.mProgression.step(2).mMelodies[1];
  EXPECT_EQ(m.mRepeatCount, 0);  // the count as written
  EXPECT_EQ(m.mPulses[0].mBaseMask, 8);
  EXPECT_EQ(m.mPulses[1].mPlayingMask, 31);
  EXPECT_FALSE(p.mProgression.step(3).mMelodies[0].mEnabled);  // enabled only when it reads 1
  EXPECT_EQ(p.mProgression.step(3).mMelodies[0].mRepeatCount, 1000);
  EXPECT_EQ(p.mProgression.step(3).mMelodies[0].mPulses[3].mBaseMask, 4);
  EXPECT_EQ(p.mProgression.step(0).mMelodies[0].mPulses[0].mBaseMask, 4);  // rows out of range passed over
  EXPECT_EQ(p.mGroove.mGrooveValues[0], 128);
  EXPECT_EQ(p.mGroove.mGrooveValues[1], 0);
  EXPECT_EQ(p.mGroove.mGrooveValues[11], 18);
  EXPECT_EQ(p.mGroove.mGrooveValues[12], 128);  // only twelve values given
  EXPECT_STREQ(p.getCurrentPreset().getName(), "p");
}

TEST(PresetFile, BadHeaderOnlyNamesThePresetAndReadsItsGroove)
{
  TempDir dir("tav_presets_");
  TavrinelRig rig;
  rig.Set(kVel, 33);
  ITextControl nameControl(rig.plug, IRECT(555, 516, 712, 532), IText(), "PRESET");
  rig.plug->SetPresetNameControl(&nameControl);
  const std::string file = dir.write("sub/No Header.txt", "gmsteps 5 6 7\nparam Vel 99\n");
  EXPECT_FALSE(rig.plug->readPresetFile(file.c_str()));
  EXPECT_EQ(rig.plug->GetParam(kVel)->Value(), 33);
  EXPECT_EQ(rig.plug->mGroove.mGrooveValues[2], 7);
  EXPECT_EQ(rig.plug->mGroove.mGrooveValues[3], 128);
  EXPECT_STREQ(nameControl.GetText(), "No Header");
  EXPECT_FALSE(rig.plug->readPresetFile(dir.path("missing.preset").c_str()));
  EXPECT_FALSE(rig.plug->readPresetFile(""));
  EXPECT_STREQ(nameControl.GetText(), "No Header");
  rig.plug->SetPresetNameControl(nullptr);
}

TEST(PresetFile, HostileNamesAndNumbersAreBounded)
{
  TempDir dir("tav_presets_");
  TavrinelRig rig;
  const std::string longWord(100000, 'A');
  const std::string file = dir.write("h.preset", std::string(HEADER) + "param " + longWord + " 5\nparam Vel 7\n" +
                                                   "param Chan " + std::string(5000, '1') + "\nparam Vel 9\n");
  EXPECT_TRUE(rig.plug->readPresetFile(file.c_str()));
  EXPECT_EQ(rig.plug->GetParam(kVel)->Value(), 7);  // read past the long name; stopped at the long number
}

TEST(PresetFile, ScannerNumbers)
{
  TempDir dir("tav_presets_");
  const std::string file =
    dir.write("n.txt", " -0.5 +2 1e3 inf -INFINITY 0x1.8p1 1e999 -1e999 1e-999 7. .25 nan(1) -12 99999999999 x");
  std::FILE* f = std::fopen(file.c_str(), "r");
  ASSERT_NE(f, nullptr);
  PresetScanner in(f);
  const double inf = HUGE_VAL;
  for (double expected : {-0.5, 2.0, 1000.0, inf, -inf, 3.0, inf, -inf, 0.0, 7.0, 0.25}) {
    double v = 1.0;
    ASSERT_TRUE(in.readDouble(v));
    EXPECT_EQ(v, expected);
  }
  double nan = 0.0;
  EXPECT_TRUE(in.readDouble(nan) && std::isnan(nan));
  int i = 0;
  EXPECT_TRUE(in.readInt(i));
  EXPECT_EQ(i, -12);
  EXPECT_TRUE(in.readInt(i));
  EXPECT_EQ(i, 2147483647);
  double v = 0.0;
  EXPECT_FALSE(in.readDouble(v));
  EXPECT_TRUE(in.literal(" x"));
  EXPECT_TRUE(in.atEnd());
  std::fclose(f);
}

TEST(PresetFile, WholeNumbersShareTheDecimalsLengthBound)
{
  // Random digit runs around the bound: a whole number and a decimal accept
  // the same texts, and the reading goes on after either.
  TempDir dir("tav_presets_");
  std::mt19937 g(12);
  for (int trial = 0; trial < 40; ++trial) {
    std::string digits(size_t(PresetScanner::MAX_NUMBER_LEN - 3 + g() % 7), '0');
    for (char& c : digits) c = char('0' + g() % (trial % 2 ? 10 : 2));
    const std::string file = dir.write("n.txt", (trial % 3 ? "" : "-") + digits + " 7");
    for (bool whole : {true, false}) {
      std::FILE* f = std::fopen(file.c_str(), "r");
      ASSERT_NE(f, nullptr);
      PresetScanner in(f);
      int i = 0;
      double d = 0.0;
      EXPECT_EQ(whole ? in.readInt(i) : in.readDouble(d), digits.size() <= size_t(PresetScanner::MAX_NUMBER_LEN));
      EXPECT_TRUE(in.readInt(i) && i == 7);
      std::fclose(f);
    }
  }
  // In a file an over-long whole number ends the reading: no later groove value, no later item.
  TavrinelRig rig;
  const std::string longInt(5000, '1');
  rig.plug->readPresetFile(dir.write("g.preset", "gmsteps 1 2 " + longInt + " 4\n").c_str());
  EXPECT_EQ(rig.plug->mGroove.mGrooveValues[1], 2);
  EXPECT_EQ(rig.plug->mGroove.mGrooveValues[3], 128);
  rig.plug->readPresetFile(
    dir.write("m.preset", std::string(HEADER) + "melody 0.0 1 " + longInt + "  1 1 1 1\nparam Vel 9\n").c_str());
  EXPECT_NE(rig.plug->GetParam(kVel)->Value(), 9);
}

TEST(PresetFile, NumbersDoNotFollowTheLocale)
{
  const char* found = nullptr;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "German_Germany.1252", "de-DE", "fr_FR.UTF-8"}) {
    if (std::setlocale(LC_NUMERIC, name) && std::localeconv()->decimal_point[0] == ',') {
      found = name;
      break;
    }
  }
  if (!found) {
    std::setlocale(LC_NUMERIC, "C");
    GTEST_SKIP() << "no locale with a decimal comma on this system";
  }
  TempDir dir("tav_presets_");
  {
    TavrinelRig rig;
    rig.Set(kSwing, 0.25);
    ASSERT_TRUE(rig.plug->writePresetFile(dir.path("de.preset").c_str()));
  }
  EXPECT_NE(ReadText(dir.path("de.preset")).find("\nparam Swing 0.250000000000\n"), std::string::npos) << found;
  {
    TavrinelRig rig;
    ASSERT_TRUE(rig.plug->readPresetFile(dir.path("de.preset").c_str()));
    EXPECT_EQ(rig.plug->GetParam(kSwing)->Value(), 0.25);
  }
  std::setlocale(LC_NUMERIC, "C");
}

TEST(PresetName, DisplayNameFromPath)
{
  PresetName n;
  EXPECT_EQ(n.getPath(), nullptr);
  EXPECT_STREQ(n.getName(), "");
  const std::pair<const char*, const char*> cases[] = {
    {"C:\\Presets\\Deep\\Warm Pad.preset", "Warm Pad"}, {"/home/u/x.y.preset", "x.y"}, {"/p/.hidden", ".hidden"},
    {"d:name", "name"}, {"/p/plain", "plain"}, {"/p/a.", "a"}};
  for (const auto& c : cases) {
    n.setPath(c.first);
    EXPECT_STREQ(n.getName(), c.second) << c.first;
  }
  n.setPath(n.getPath());  // its own text: unchanged
  EXPECT_STREQ(n.getPath(), "/p/a.");
  n.setPath(("/" + std::string(400, 'n') + ".preset").c_str());
  EXPECT_EQ(std::string(n.getName()), std::string(PresetName::MAX_NAME_LEN, 'n'));
}

TEST(PresetMenu, ConfigurationTreeLoadAndSave)
{
  TempDir dir("tav_presets_");
  const std::string presets = dir.path("My Presets");
  dir.write("My Presets/a.preset", std::string(HEADER) + "param Vel 11\n");
  dir.write("My Presets/Sub/b.preset", std::string(HEADER) + "param Vel 22\n");
  dir.write("Tavrinel.ini", "; test\nPresetFolder \"" + presets + "\"\n");
  HomeDirectory::overrideLibraryPath(dir.path("Tavrinel.so").c_str());
  {
    TavrinelRig rig;
    Tavrinel& p = *rig.plug;
    EXPECT_EQ(std::string(p.getPresetFolder()), presets);
    ASSERT_NE(p.getPresetTree(), nullptr);
    EXPECT_EQ(p.getPresetTree()->mLastIndex, 2);
    EXPECT_FALSE(p.savePreset());  // no current preset: the menu asks for a name
    EXPECT_TRUE(p.loadPresetByIndex(2));
    EXPECT_EQ(p.GetParam(kVel)->Value(), 22);
    EXPECT_FALSE(p.loadPresetByIndex(0));
    EXPECT_FALSE(p.loadPresetByIndex(3));

    rig.Set(kVel, 44);
    EXPECT_TRUE(p.savePreset());  // back to b.preset
    EXPECT_NE(ReadText(dir.path("My Presets/Sub/b.preset")).find("\nparam Vel 44.000000000000\n"), std::string::npos);

    EXPECT_EQ(Tavrinel::presetPathForSave("x"), "x.preset");
    EXPECT_EQ(Tavrinel::presetPathForSave("x.preset"), "x.preset");
    EXPECT_EQ(Tavrinel::presetPathForSave("x.preset.old"), "x.preset.old.preset");
    EXPECT_EQ(Tavrinel::presetPathForSave("x.preset.preset"), "x.preset.preset.preset");
    ASSERT_TRUE(p.savePresetAs((presets + "/c.preset.v2").c_str()));
    EXPECT_TRUE(fs::exists(fs::u8path(presets + "/c.preset.v2.preset")));
    EXPECT_STREQ(p.getCurrentPreset().getName(), "c.preset.v2");
    EXPECT_EQ(p.getPresetTree()->mLastIndex, 3);  // rescanned
    EXPECT_FALSE(p.savePresetAs(""));

    rig.Set(kVel, 1);
    EXPECT_TRUE(p.loadPresetFile(dir.path("My Presets/a.preset").c_str()));
    EXPECT_EQ(p.GetParam(kVel)->Value(), 11);
  }
  HomeDirectory::overrideLibraryPath(nullptr);
  {
    TavrinelRig rig;  // no configuration beside the library: an empty tree
    EXPECT_STREQ(rig.plug->getPresetFolder(), "");
    EXPECT_EQ(rig.plug->getPresetTree()->mLastIndex, 0);
    EXPECT_FALSE(rig.plug->loadPresetByIndex(1));
  }
}

TEST(PresetMenu, InstancesShareOneConfigurationAndTreeReadWhenFirstAskedFor)
{
  TempDir dir("tav_presets_");
  const std::string presets = dir.path("P");
  dir.write("P/a.preset", std::string(HEADER) + "param Vel 11\n");
  dir.write("P/S/b.preset", std::string(HEADER) + "param Vel 22\n");
  dir.write("Tavrinel.ini", "PresetFolder \"" + presets + "\"\n");
  HomeDirectory::overrideLibraryPath(dir.path("Tavrinel.so").c_str());
  const int reads = SharedSettings::configurationReads(), trees = SharedSettings::treesBuilt();
  {
    TavrinelRig rig;  // built and opened as a host does it: nothing read yet
    Tavrinel other;
    EXPECT_EQ(SharedSettings::configurationReads() + SharedSettings::treesBuilt(), reads + trees);
    const PresetFolder* pTree = other.getPresetTree();
    EXPECT_EQ(rig.plug->getPresetTree(), pTree);
    EXPECT_EQ(pTree->mLastIndex, 2);

    // One instance saves and rescans while the other loads from the tree it holds.
    std::thread loader([&other] {
      for (int i = 0; i < 40; ++i) EXPECT_TRUE(other.loadPresetByIndex(1 + i % 2));
      EXPECT_EQ(other.GetParam(kVel)->Value(), 22);
    });
    for (int i = 0; i < 20; ++i) EXPECT_TRUE(rig.plug->savePresetAs((presets + "/n" + std::to_string(i)).c_str()));
    loader.join();
    EXPECT_EQ(rig.plug->getPresetTree()->mLastIndex, 22);
    EXPECT_EQ(other.getPresetTree(), pTree);  // its menu stays until it rescans itself
    EXPECT_EQ(Tavrinel().getPresetTree(), rig.plug->getPresetTree());  // later ones take the newest
    EXPECT_EQ(SharedSettings::configurationReads(), reads + 1);
    EXPECT_EQ(SharedSettings::treesBuilt(), trees + 21);
  }
  HomeDirectory::overrideLibraryPath(nullptr);
}

TEST(PresetMenu, SaysWhenTheScanStoppedAtItsBounds)
{
  // One file on every level, down to one level deeper than the scan goes.
  TempDir dir("tav_presets_");
  std::string rel = "P/";
  for (int i = 0; i <= PresetFolder::MAX_SCAN_DEPTH + 1; ++i, rel += "d/") dir.write(rel + "x.preset", HEADER);
  dir.write("Tavrinel.ini", "PresetFolder \"" + dir.path("P") + "\"\n");
  HomeDirectory::overrideLibraryPath(dir.path("Tavrinel.so").c_str());
  TavrinelRig rig;
  HomeDirectory::overrideLibraryPath(nullptr);
  PresetNameControl name(rig.plug, IRECT(555, 516, 712, 532), IText());
  IPopupMenu* menu = name.CreateParamPopup();
  const IPopupMenu::Item* more = menu->GetItemAtLevel(2);  // after the root's file and its folder
  ASSERT_NE(more, nullptr);
  EXPECT_STREQ(more->GetText(), "\xE2\x80\xA6 more not shown");
  EXPECT_EQ(name.CreateParamPopup(), menu);  // kept and shown again: still greyed
  EXPECT_FALSE(more->GetEnabled());
  name.OnParamPopupChoice(menu, rig.plug->getPresetTree()->mLastIndex);  // chosen anyway: nothing is read
  EXPECT_STREQ(rig.plug->getCurrentPreset().getName(), "");
}

namespace {

// Host calls seen during a preset load, each with whether another thread could
// take the plug-in mutex at that moment (a host may take a lock of its own in
// the callback).
struct LoadWatch {
  Tavrinel* plug = nullptr;
  std::vector<FakeHost::Call> calls;
  int lockedCalls = 0;
};
LoadWatch* gWatch = nullptr;

intptr_t TAV_VSTCALL WatchingHost(AEffect* e, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
  if (gWatch && gWatch->plug && (opcode == audioMasterAutomate || opcode == audioMasterUpdateDisplay)) {
    IPlugBase::Mutex& m = gWatch->plug->GetMutex();
    const bool free = std::async(std::launch::async, [&m] {
                        if (!m.try_lock()) return false;
                        m.unlock();
                        return true;
                      }).get();
    gWatch->lockedCalls += free ? 0 : 1;
    gWatch->calls.push_back({opcode, index, value, opt});
  }
  return FakeHost::Callback(e, opcode, index, value, ptr, opt);
}

} // namespace

TEST(PresetFile, TheHostHearsOfEveryAnnouncedChangeAfterALoadWithTheMutexFree)
{
  TempDir dir("tav_presets_");
  FakeHost host;
  IPlugVSTInstance<Tavrinel> vst(&WatchingHost);
  Tavrinel& plug = vst.Plug();
  AEffect* e = vst.Effect();
  e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
  MwcRandom random;
  for (int round = 0; round < 12; ++round) {
    // Random values for a random choice of parameters; the rest end at their minimum.
    std::string text = HEADER;
    for (int i = 0; i < kNumParams; ++i)
      if (plug.IsStoredInPreset(i) && random.nextUnit() < 0.3)
        text += "param " + std::string(plug.GetParam(i)->GetName()) + " " +
                std::to_string(plug.GetParam(i)->GetMin() + random.nextUnit() * (plug.GetParam(i)->GetMax() - plug.GetParam(i)->GetMin())) + "\n";
    const std::string file = dir.write("r" + std::to_string(round) + ".preset", text);
    double before[kNumHostParams];
    for (int i = 0; i < kNumHostParams; ++i) before[i] = plug.GetParam(i)->ToNormalized();

    LoadWatch watch;
    watch.plug = &plug;
    gWatch = &watch;
    ASSERT_TRUE(round % 2 ? plug.loadPresetFile(file.c_str()) : plug.readPresetFile(file.c_str()));
    gWatch = nullptr;

    std::vector<FakeHost::Call> expected;
    for (int i = 0; i < kNumHostParams; ++i) {
      const double now = plug.GetParam(i)->ToNormalized();
      if (now != before[i]) expected.push_back({audioMasterAutomate, i, 0, static_cast<float>(now)});
    }
    expected.push_back({audioMasterUpdateDisplay, 0, 0, 0.0f});
    ASSERT_EQ(watch.calls.size(), expected.size()) << round;
    for (size_t k = 0; k < expected.size(); ++k) {
      EXPECT_EQ(watch.calls[k].opcode, expected[k].opcode) << round << " " << k;
      EXPECT_EQ(watch.calls[k].index, expected[k].index) << round << " " << k;
      EXPECT_EQ(watch.calls[k].opt, expected[k].opt) << round << " " << k;
    }
    EXPECT_EQ(watch.lockedCalls, 0) << round;
  }
}
