#include "HomeDirectory.h"
#include "PresetTree.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class TempTree : public TempDir {
public:
  TempTree()
    : TempDir("tav_tree_")
  {
  }
  void file(const std::string& rel) const { write(rel, "x"); }
  std::string root() const { return mDir.string(); }
  // The path as the tree builds it, with this system's separator.
  std::string path(std::string rel) const
  {
    for (char& c : rel)
      if (c == '/') c = pathSeparator();
    return root() + pathSeparator() + rel;
  }
  std::error_code mError;
};

struct Tree {
  PresetFolder* mpTree = nullptr;
  explicit Tree(const std::string& root) { PresetFolder::rescanPresets(mpTree, root.c_str()); }
  ~Tree() { delete mpTree; }

  // Path handed to the reader for index, or "-" when the reader is not called.
  std::string load(int index) const
  {
    std::string got = "-";
    const bool loaded = mpTree->loadPresetByIndex(index, [&](const char* pPath) { got = pPath; });
    EXPECT_EQ(loaded, got != "-");
    return got;
  }
  static std::vector<std::string> displayNames(const HostFolder& f)
  {
    std::vector<std::string> names;
    for (const PresetFile* p = f.firstFile(); p; p = p->next()) names.push_back(p->getDisplayName());
    return names;
  }
};

TEST(PresetTree, NumbersRootFilesFirstThenSubFolders)
{
  TempTree t;
  t.file("S/c.preset"); // created first: sub-folders still come after the files
  t.file("a.preset");
  t.file("b.txt");
  Tree tree(t.root());
  const PresetFolder& root = *tree.mpTree;

  const std::vector<std::string> names = Tree::displayNames(root); // in listing order: 1, 2
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), (std::set<std::string>{"a", "b"}));
  const PresetFile* pFirst = root.firstFile();
  EXPECT_EQ(std::make_pair(pFirst->getIndex(), pFirst->next()->getIndex()), std::make_pair(1, 2));

  const PresetFolder* pS = root.firstFolder();
  ASSERT_NE(pS, nullptr);
  EXPECT_EQ(pS->next(), nullptr);
  EXPECT_STREQ(pS->getName(), "S");
  EXPECT_EQ(std::make_pair(pS->mFirstIndex, pS->mLastIndex), std::make_pair(3, 3));
  EXPECT_EQ(std::make_pair(root.mFirstIndex, root.mLastIndex), std::make_pair(1, 3));
  EXPECT_EQ(root.findPresetFile(3), pS->firstFile());
  EXPECT_EQ(root.findPresetFile(1), nullptr); // the root's own files are not searched there

  EXPECT_EQ(tree.load(pFirst->getIndex()), t.path(pFirst->getFileName()));
  EXPECT_EQ(tree.load(3), t.path("S/c.preset"));
  for (int outside : {0, 4, -1}) EXPECT_EQ(tree.load(outside), "-");
}

TEST(PresetTree, LeavesOutEmptySubtreesAndNamesWithoutADot)
{
  TempTree t;
  fs::create_directories(t.mDir / "E/F");
  t.file("README");
  t.file("x.y.preset");
  t.file("G/H/z.cfg");
  t.file("G/H/I/J/deep.preset");
  fs::create_directories(t.mDir / "G/H/K");
  Tree tree(t.root());
  const PresetFolder& root = *tree.mpTree;

  EXPECT_EQ(Tree::displayNames(root), std::vector<std::string>{"x.y"});
  const PresetFolder* pG = root.firstFolder();
  ASSERT_NE(pG, nullptr);
  EXPECT_EQ(pG->next(), nullptr); // E holds only an empty folder
  EXPECT_STREQ(pG->getName(), "G");
  EXPECT_EQ(std::make_pair(pG->mFirstIndex, pG->mLastIndex), std::make_pair(2, 3));
  const PresetFolder* pH = pG->firstFolder();
  EXPECT_EQ(Tree::displayNames(*pH), std::vector<std::string>{"z"});
  EXPECT_EQ(pH->firstFolder()->next(), nullptr); // K is empty
  EXPECT_EQ(tree.load(3), t.path("G/H/I/J/deep.preset"));
}

TEST(PresetTree, TrailingSeparatorListsTheSameEntries)
{
  TempTree t;
  t.file("a.preset");
  t.file("S/b.preset");
  Tree plain(t.root());
  Tree trailing(t.root() + pathSeparator());
  EXPECT_EQ(Tree::displayNames(*plain.mpTree), Tree::displayNames(*trailing.mpTree));
  EXPECT_EQ(trailing.mpTree->mLastIndex, 2);
  EXPECT_EQ(trailing.load(1), plain.load(1)); // no doubled separator
  EXPECT_EQ(trailing.load(2), t.path("S/b.preset"));
}

TEST(PresetTree, EmptyOrMissingFolderGivesAnEmptyRootAndRescanRebuilds)
{
  TempTree t;
  for (const std::string& root : {std::string(), t.path("missing"), t.root()}) {
    Tree tree(root);
    EXPECT_FALSE(tree.mpTree->hasEntries());
    EXPECT_EQ(std::make_pair(tree.mpTree->mFirstIndex, tree.mpTree->mLastIndex), std::make_pair(1, 0));
    EXPECT_EQ(tree.load(1), "-");
  }
  Tree tree(t.root());
  t.file("new.preset");
  PresetFolder::rescanPresets(tree.mpTree, t.root().c_str());
  EXPECT_EQ(Tree::displayNames(*tree.mpTree), std::vector<std::string>{"new"});
  PresetFolder::rescanPresets(tree.mpTree, nullptr);
  EXPECT_FALSE(tree.mpTree->hasEntries());
}

TEST(PresetTree, PathsThatDoNotFitAreNeitherListedAgainNorLoaded)
{
  TempTree t;
  std::string deep;
  while (t.root().size() + deep.size() < 236) deep += "/d123456";
  if (!fs::create_directories(t.mDir / deep.substr(1), t.mError)) GTEST_SKIP() << "no long paths here";
  const std::string base = t.root() + deep;
  ASSERT_LT(base.size(), 245u);
  t.file(base.substr(t.root().size() + 1) + "/sub_folder_name_beyond_the_limit/a.preset");
  t.file(base.substr(t.root().size() + 1) + "/long_file_name_beyond_limit.preset");

  // Without the check, the sub-folder's shortened path names this folder again
  // and the scan recurses without end.
  Tree tree(base);
  EXPECT_EQ(tree.mpTree->firstFolder(), nullptr);
  ASSERT_EQ(tree.mpTree->mLastIndex, 1);
  EXPECT_STREQ(tree.mpTree->firstFile()->getDisplayName(), "long_file_name_beyond_limit");
  EXPECT_EQ(tree.load(1), "-"); // the shortened path would name the folder

  Tree tooLong(base + "/sub_folder_name_beyond_the_limit");
  EXPECT_FALSE(tooLong.mpTree->hasEntries());
}

TEST(PresetTree, NonAsciiNamesComeBackAsUtf8)
{
  TempTree t;
  const std::string name = "\xC3\x9C" "ber caf\xC3\xA9.preset";
  t.file(name);
  Tree tree(t.root());
  ASSERT_NE(tree.mpTree->firstFile(), nullptr);
  EXPECT_EQ(std::string(tree.mpTree->firstFile()->getFileName()), name);
  EXPECT_TRUE(fs::exists(fs::u8path(tree.load(1))));
}

TEST(PresetTree, ScanStopsAtItsDepthBound)
{
  // A chain of nested folders with a file on every level: the levels down to
  // the bound are listed, a deeper one is not and the tree says so.
  const int maxDepth = PresetFolder::MAX_SCAN_DEPTH;
  for (int levels : {maxDepth, maxDepth + 1}) {
    TempTree t;
    std::string rel;
    for (int i = 0; i <= levels; ++i, rel += "d/") t.file(rel + "x.preset");
    Tree tree(t.root());
    EXPECT_EQ(tree.mpTree->mLastIndex, maxDepth + 1) << levels;
    EXPECT_EQ(tree.mpTree->isTruncated(), levels > maxDepth);
    EXPECT_EQ(tree.load(maxDepth + 1), t.path(rel.substr(0, size_t(2 * maxDepth)) + "x.preset"));
  }
}

TEST(PresetTree, ScanStopsAtItsEntryBound)
{
#ifdef _WIN32
  GTEST_SKIP() << "making and removing ten thousand files takes a minute under Wine";
#endif
  // Entries count over the whole tree, folders included: 100 folders of 99
  // files fill the bound exactly; one entry more, wherever it is listed,
  // leaves one file out.
  TempTree t;
  const int folders = 100, perFolder = PresetFolder::MAX_SCAN_ENTRIES / folders - 1;
  for (int i = 0; i < folders * perFolder; ++i) t.file(std::to_string(i % folders) + "/" + std::to_string(i) + ".p");
  for (int extra = 0; extra < 2; ++extra) {
    if (extra) t.file("z.p");
    Tree tree(t.root());
    EXPECT_EQ(tree.mpTree->mLastIndex, folders * perFolder);
    EXPECT_EQ(tree.mpTree->isTruncated(), extra == 1);
  }
}

TEST(PresetTree, LinksBackUpThePathAreNotFollowed)
{
  TempTree t;
  t.file("a.preset");
  t.file("S/b.preset");
  std::string id, again, sub;
  ASSERT_TRUE(presetTreeFolderId(t.root().c_str(), id));
  ASSERT_TRUE(presetTreeFolderId(t.path("S/..").c_str(), again));
  ASSERT_TRUE(presetTreeFolderId(t.path("S").c_str(), sub));
  EXPECT_EQ(id, again);
  EXPECT_NE(id, sub);
  EXPECT_FALSE(presetTreeFolderId(t.path("missing").c_str(), id));

  // Before, the link was listed again and again until the path was too long.
  fs::create_directory_symlink(t.mDir, t.mDir / "S" / "up", t.mError);
  if (t.mError) GTEST_SKIP() << "no links to folders here";
  Tree tree(t.root());
  EXPECT_EQ(tree.mpTree->mLastIndex, 2);
  EXPECT_FALSE(tree.mpTree->isTruncated());
  // A link to a folder off the path is still followed.
  fs::create_directory_symlink(t.mDir / "S", t.mDir / "L");
  fs::remove(t.mDir / "S" / "up");
  EXPECT_EQ(Tree(t.root()).mpTree->mLastIndex, 3);
}

TEST(PathBuf, NamesThatWouldReachTheLimitAreLeftOff)
{
  const std::string sep(1, pathSeparator());
  PathBuf p;
  EXPECT_FALSE(p.set(std::string(260, 'r').c_str()));
  EXPECT_STREQ(p.get(), "");
  const std::string base(250, 'r');
  EXPECT_TRUE(p.set(base.c_str()) && p.join("12345678") && p.length() == 259);
  EXPECT_FALSE(p.set(base.c_str()) && p.join("123456789")); // 260 characters: one too many
  EXPECT_EQ(std::string(p.get()), base + sep);
}

} // namespace
