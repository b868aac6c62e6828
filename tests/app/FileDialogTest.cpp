// The file dialog's entry points, listing and commit rules: extension
// fix-up, overwrite confirmation, messages, directory entry, the last
// directory, and a directory chooser that never hands over a file.
#include "platform/FileDialog.h"

#include "tests/app/ImGuiFrames.h"

#include <gtest/gtest.h>

#include <imgui.h>
#include <imgui_internal.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class FileDialogTest : public ::testing::Test {
protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("tilvox_dialog_" + std::to_string(::getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "sub" / "deeper");
    FileIO::g_lastDir = root_.string();
  }
  void TearDown() override {
    fs::remove_all(root_);
    FileIO::g_dlg = FileIO::Dialog();
    FileIO::g_lastDir.clear();
  }
  void touch(const fs::path& p, const std::string& text = "x") { std::ofstream(p, std::ios::binary) << text; }
  std::string slurp(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  }
  // Types a name and confirms; runs the completion as the frame would.
  FileIO::Commit confirm(const std::string& name) {
    FileIO::setName(FileIO::g_dlg, name);
    return confirmAgain();
  }
  FileIO::Commit confirmAgain() {
    FileIO::Commit c = FileIO::commitName(FileIO::g_dlg);
    if (c.close) FileIO::g_dlg.isOpen = false;
    if (c.call) c.call();
    return c;
  }
  fs::path root_;
};

std::vector<uint8_t> bytesOf(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

}  // namespace

TEST_F(FileDialogTest, SaveFixesTheExtension) {
  std::vector<std::string> saved;
  auto onSaved = [&](const std::string& p) { saved.push_back(p); };
  FileIO::save("Save Koala", "image.koa", bytesOf("KOALA"), onSaved);
  const FileIO::Dialog& d = FileIO::g_dlg;
  ASSERT_EQ(d.filters.size(), 2u);
  EXPECT_EQ(d.filters[0].name, "*.koa");
  EXPECT_EQ(d.filters[0].exts, std::vector<std::string>{"koa"});
  EXPECT_EQ(d.filters[1].name, "All files");
  EXPECT_TRUE(d.filters[1].exts.empty());
  EXPECT_EQ(d.filterIndex, 0);
  EXPECT_STREQ(d.nameBuf, "image.koa");
  EXPECT_EQ(d.dir, root_.string());
  EXPECT_TRUE(d.isOpen && d.saveMode && d.openPopup);

  EXPECT_TRUE(confirm("pic").close);
  EXPECT_EQ(slurp(root_ / "pic.koa"), "KOALA");
  FileIO::save("Save Koala", "image.koa", bytesOf("K2"), onSaved);
  confirm("other.prg");
  EXPECT_TRUE(fs::exists(root_ / "other.koa"));
  EXPECT_FALSE(fs::exists(root_ / "other.prg"));
  FileIO::save("Save Koala", "image.koa", bytesOf("K3"), onSaved);
  confirm("PIC.KOA");
  EXPECT_EQ(slurp(root_ / "PIC.KOA"), "K3");
  ASSERT_EQ(saved.size(), 3u);
  EXPECT_EQ(saved[0], (root_ / "pic.koa").string());
  EXPECT_EQ(saved[2], (root_ / "PIC.KOA").string());
  EXPECT_EQ(FileIO::g_lastDir, root_.string());

  // No extension in the default name: only "All files", name unchanged.
  FileIO::save("Save", "memory", bytesOf("M"), onSaved);
  ASSERT_EQ(FileIO::g_dlg.filters.size(), 1u);
  EXPECT_EQ(FileIO::g_dlg.filters[0].name, "All files");
  confirm("dump.bin");
  EXPECT_EQ(slurp(root_ / "dump.bin"), "M");
}

TEST_F(FileDialogTest, OverwriteNeedsASecondConfirmation) {
  touch(root_ / "pic.koa", "old");
  int calls = 0;
  FileIO::saveWith("Save", "image.koa", [](const std::string&) { return bytesOf("new"); },
                   [&](const std::string&) { ++calls; });
  EXPECT_FALSE(confirm("pic").close);
  EXPECT_EQ(FileIO::g_dlg.error, "pic.koa exists. Press Save again to overwrite.");
  EXPECT_TRUE(FileIO::g_dlg.overwriteArmed);
  EXPECT_EQ(slurp(root_ / "pic.koa"), "old");
  EXPECT_EQ(calls, 0);
  // The producer sees the final path.
  EXPECT_TRUE(confirmAgain().close);
  EXPECT_EQ(slurp(root_ / "pic.koa"), "new");
  EXPECT_EQ(calls, 1);
}

TEST_F(FileDialogTest, FailuresSetMessagesAndKeepTheDialogOpen) {
  FileIO::open("Open", {}, [](const std::string&, std::vector<uint8_t>&) { FAIL(); });
  ASSERT_EQ(FileIO::g_dlg.filters.size(), 1u);
  EXPECT_EQ(FileIO::g_dlg.filters[0].name, "All files");
  EXPECT_FALSE(confirm("missing.prg").close);
  EXPECT_EQ(FileIO::g_dlg.error, "Couldn't open file!");
  EXPECT_TRUE(FileIO::g_dlg.isOpen);
  // An empty name does nothing.
  FileIO::g_dlg.error.clear();
  EXPECT_FALSE(confirm("").close);
  EXPECT_EQ(FileIO::g_dlg.error, "");

  FileIO::openPath("Pick", {}, [](const std::string&) { FAIL(); });
  confirm("missing.ttf");
  EXPECT_EQ(FileIO::g_dlg.error, "File not found");
}

// A failed save names the link loop only when the links of the name are
// one, whatever an earlier call left in errno: here the producer's stat of
// a looping link.
TEST_F(FileDialogTest, SaveFailuresNameALinkLoopOnlyForOne) {
  fs::create_symlink("self", root_ / "self");
  fs::create_symlink("b.prg", root_ / "a.prg");
  fs::create_symlink("a.prg", root_ / "b.prg");
  fs::create_symlink("loops", root_ / "loops");
  fs::create_directory(root_ / "dir.prg");
  const std::string plain = "Couldn't open file for writing!";
  const std::string loop = plain + " (too many levels of symbolic links)";
  const std::tuple<const char*, int, std::string> kCases[] = {  // name, confirms (twice: an existing name), error
      {"nodir/a.prg", 1, plain},
      {"dir", 2, plain},  // becomes dir.prg, a directory
      {"a.prg", 1, loop},
      {"loops/a.prg", 1, loop},  // a directory on the path loops
  };
  const auto produce = [&](const std::string&) {
    struct stat st {};
    EXPECT_NE(::stat((root_ / "self").c_str(), &st), 0);
    EXPECT_EQ(errno, ELOOP);
    return bytesOf("x");
  };
  for (const auto& [name, confirms, error] : kCases) {
    FileIO::saveWith("Save", "a.prg", produce, [](const std::string&) { FAIL(); });
    FileIO::setName(FileIO::g_dlg, name);
    for (int i = 0; i < confirms; ++i) EXPECT_FALSE(confirmAgain().close) << name;
    EXPECT_EQ(FileIO::g_dlg.error, error) << name;
    EXPECT_TRUE(FileIO::g_dlg.isOpen) << name;
    EXPECT_EQ(FileIO::g_lastDir, root_.string()) << name;
  }
  EXPECT_TRUE(fs::is_directory(root_ / "dir.prg"));
}

TEST_F(FileDialogTest, OpenDeliversPathAndBytesAndRemembersTheDirectory) {
  touch(root_ / "sub" / "a.prg", "\x01\x08xy");
  std::string gotPath;
  std::vector<uint8_t> gotBytes;
  FileIO::open("Open", {{"PRG", {"prg"}}}, [&](const std::string& p, std::vector<uint8_t>& b) {
    gotPath = p;
    gotBytes = std::move(b);
  });
  EXPECT_TRUE(confirm("sub/a.prg").close);
  EXPECT_EQ(gotPath, (root_ / "sub" / "a.prg").string());
  EXPECT_EQ(gotBytes, bytesOf("\x01\x08xy"));
  EXPECT_EQ(FileIO::g_lastDir, (root_ / "sub").string());
  // The next dialog starts there; an absolute hidden name opens normally.
  touch(root_ / ".hidden", "h");
  FileIO::open("Open", {}, [&](const std::string& p, std::vector<uint8_t>&) { gotPath = p; });
  EXPECT_EQ(FileIO::g_dlg.dir, (root_ / "sub").string());
  confirm((root_ / ".hidden").string());
  EXPECT_EQ(gotPath, (root_ / ".hidden").string());
}

TEST_F(FileDialogTest, TypedDirectoriesAreEnteredInCanonicalForm) {
  FileIO::open("Open", {}, nullptr);
  FileIO::g_dlg.dir = (root_ / "sub").string();
  EXPECT_FALSE(confirm("deeper").close);
  EXPECT_EQ(FileIO::g_dlg.dir, (root_ / "sub" / "deeper").string());
  EXPECT_STREQ(FileIO::g_dlg.nameBuf, "");
  confirm("..");
  EXPECT_EQ(FileIO::g_dlg.dir, (root_ / "sub").string());
  confirm(root_.string() + "/sub/../sub/deeper/");
  EXPECT_EQ(fs::path(FileIO::g_dlg.dir).lexically_normal(), (root_ / "sub" / "deeper").lexically_normal());
  EXPECT_TRUE(FileIO::g_dlg.isOpen);
}

TEST_F(FileDialogTest, DirectoryChooserNeverHandsOverAFile) {
  touch(root_ / "sub" / "file.txt");
  std::vector<std::string> got;
  FileIO::chooseDirectory("Choose", [&](const std::string& p) { got.push_back(p); });
  ASSERT_EQ(FileIO::g_dlg.filters.size(), 1u);
  EXPECT_EQ(FileIO::g_dlg.filters[0].name, "Directories");
  EXPECT_EQ(FileIO::g_dlg.filters[0].exts, std::vector<std::string>{"\x01"});
  EXPECT_TRUE(FileIO::g_dlg.dirMode);
  // The listing holds directories only.
  const auto listing = FileIO::listDirectory((root_ / "sub").string(), FileIO::g_dlg.filters[0]);
  ASSERT_EQ(listing.size(), 1u);
  EXPECT_EQ(listing[0].first, "deeper");
  EXPECT_TRUE(listing[0].second);

  FileIO::g_dlg.dir = (root_ / "sub").string();
  EXPECT_FALSE(confirm("file.txt").close);
  EXPECT_EQ(FileIO::g_dlg.error, "Not a directory");
  EXPECT_TRUE(got.empty());
  EXPECT_TRUE(FileIO::g_dlg.isOpen);
  confirm("nothing");
  EXPECT_EQ(FileIO::g_dlg.error, "File not found");
  confirm("deeper");
  EXPECT_EQ(FileIO::g_dlg.dir, (root_ / "sub" / "deeper").string());
  EXPECT_TRUE(got.empty());
}

TEST_F(FileDialogTest, ListingSortsFiltersAndHides) {
  touch(root_ / "b.PRG");
  touch(root_ / "a.prg");
  touch(root_ / "B.koa");
  touch(root_ / "ab");
  touch(root_ / ".secret.prg");
  fs::create_directories(root_ / "Zdir");
  fs::create_directories(root_ / ".git");
  const auto all = FileIO::listDirectory(root_.string(), FileIO::Filter{"All files", {}});
  std::vector<std::string> names;
  for (const auto& e : all) names.push_back(e.first);
  EXPECT_EQ(names, (std::vector<std::string>{"sub", "Zdir", "a.prg", "ab", "B.koa", "b.PRG"}));
  const auto prg = FileIO::listDirectory(root_.string(), FileIO::Filter{"PRG", {"prg"}});
  names.clear();
  for (const auto& e : prg) names.push_back(e.first);
  EXPECT_EQ(names, (std::vector<std::string>{"sub", "Zdir", "a.prg", "b.PRG"}));
  EXPECT_TRUE(FileIO::listDirectory((root_ / "none").string(), FileIO::Filter{}).empty());
}

TEST_F(FileDialogTest, ACompletionMayStartTheNextDialog) {
  touch(root_ / "a.prg");
  FileIO::open("First", {}, [&](const std::string&, std::vector<uint8_t>&) {
    FileIO::save("Second", "b.prg", bytesOf("b"), nullptr);
  });
  confirm("a.prg");
  EXPECT_TRUE(FileIO::g_dlg.isOpen);
  EXPECT_EQ(FileIO::g_dlg.title, "Second");
  EXPECT_TRUE(FileIO::g_dlg.saveMode);
  EXPECT_STREQ(FileIO::g_dlg.nameBuf, "b.prg");
  EXPECT_TRUE(FileIO::g_dlg.openPopup);
  EXPECT_TRUE(FileIO::hasRealFiles());
}

TEST_F(FileDialogTest, LongDefaultNamesAreCut) {
  FileIO::save("Save", std::string(600, 'n') + ".prg", {}, nullptr);
  EXPECT_EQ(std::string(FileIO::g_dlg.nameBuf).size(), 511u);
}

TEST_F(FileDialogTest, EscapeClosesTheShownDialogWithoutACallback) {
  ImGuiFrames ui;
  bool called = false;
  FileIO::open("Open", {}, [&](const std::string&, std::vector<uint8_t>&) { called = true; });
  for (int i = 0; i < 2; ++i)
    ui.frame([] {
      FileIO::draw();
      EXPECT_TRUE(ImGui::IsPopupOpen("##filedialog"));
    });
  EXPECT_FALSE(FileIO::g_dlg.openPopup);
  ui.frame(FileIO::draw, ImGuiKey_Escape);
  EXPECT_FALSE(FileIO::g_dlg.isOpen);
  EXPECT_FALSE(called);
  EXPECT_EQ(FileIO::g_lastDir, root_.string());
}

TEST_F(FileDialogTest, AcceptCommitsTheNameFieldAndRunsTheCompletionOnceClosed) {
  touch(root_ / "sub" / "pic.koa", "KOA");
  std::string gotPath, gotBytes;
  bool openWhenCalled = true;
  FileIO::open("Open", {}, [&](const std::string& p, std::vector<uint8_t>& b) {
    gotPath = p;
    gotBytes.assign(b.begin(), b.end());
    openWhenCalled = FileIO::g_dlg.isOpen;
  });
  FileIO::setName(FileIO::g_dlg, "missing.koa");
  FileIO::accept();
  EXPECT_TRUE(FileIO::g_dlg.isOpen);
  EXPECT_EQ(FileIO::g_dlg.error, "Couldn't open file!");
  EXPECT_TRUE(gotPath.empty());
  // A typed directory is entered; nothing is delivered.
  FileIO::setName(FileIO::g_dlg, "sub");
  FileIO::accept();
  EXPECT_EQ(FileIO::g_dlg.dir, (root_ / "sub").string());
  EXPECT_STREQ(FileIO::g_dlg.nameBuf, "");
  FileIO::setName(FileIO::g_dlg, "pic.koa");
  FileIO::accept();
  EXPECT_FALSE(FileIO::g_dlg.isOpen);
  EXPECT_FALSE(openWhenCalled);
  EXPECT_EQ(gotPath, (root_ / "sub" / "pic.koa").string());
  EXPECT_EQ(gotBytes, "KOA");
  EXPECT_EQ(FileIO::g_lastDir, (root_ / "sub").string());

  // The same with a Dear ImGui context present, between frames.
  ImGuiFrames ui;
  FileIO::saveWith("Save", "out.prg", [](const std::string&) { return bytesOf("PRG"); },
                   [&](const std::string& p) { gotPath = p; });
  FileIO::setName(FileIO::g_dlg, "out");
  FileIO::accept();
  EXPECT_FALSE(FileIO::g_dlg.isOpen);
  EXPECT_EQ(gotPath, (root_ / "sub" / "out.prg").string());
  EXPECT_EQ(slurp(root_ / "sub" / "out.prg"), "PRG");
}

// A listing is read when the dialog opens, its directory or filter changes
// or it is invalidated, and otherwise only when the directory's time moved,
// checked at most once a second.
TEST_F(FileDialogTest, ListingIsReadAgainOnlyWhenTheDirectoryMayHaveChanged) {
  const fs::path dir = root_ / "sub";
  touch(dir / "a.prg");
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
  fs::last_write_time(dir, old);
  const FileIO::Filter filters[] = {{"All files", {}}, {"Koala", {"koa"}}};
  FileIO::Listing l;
  const auto add = [&](const char* name, fs::file_time_type time) {
    return [&, name, time] {
      touch(dir / name);
      fs::last_write_time(dir, time);
    };
  };
  const struct {
    std::function<void()> before;
    fs::path at;
    double now;
    int filter;
    bool read;
    const char* shown;
  } kSteps[] = {
      {[] {}, dir, 10.0, 0, true, "[deeper] a.prg "},
      {add("b.prg", old), dir, 10.5, 0, false, "[deeper] a.prg "},  // within the second: not even checked
      {[] {}, dir, 11.2, 0, false, "[deeper] a.prg "},              // checked: the time is unchanged
      {[] {}, dir, 11.3, 1, true, "[deeper] "},                     // another filter: read at once
      {[] {}, dir, 11.4, 0, true, "[deeper] a.prg b.prg "},
      {add("c.prg", old + std::chrono::minutes(1)), dir, 12.0, 0, false, "[deeper] a.prg b.prg "},
      {[] {}, dir, 12.5, 0, true, "[deeper] a.prg b.prg c.prg "},
      {[] {}, root_, 12.6, 0, true, "[sub] "},  // another directory
      {[&] { l.valid = false; }, root_, 12.7, 0, true, "[sub] "},
  };
  for (const auto& s : kSteps) {
    s.before();
    EXPECT_EQ(FileIO::refreshListing(l, s.at.string(), filters[s.filter], s.filter, s.now), s.read) << s.now;
    std::string names;
    for (const auto& [name, isDir] : l.entries) names += (isDir ? "[" + name + "]" : name) + " ";
    EXPECT_EQ(names, s.shown) << s.now;
  }
}

// Enter in the name field on a typed directory, or on a name that only
// brings a message, leaves the keyboard in the field for the next name.
TEST_F(FileDialogTest, NameFieldKeepsTheKeyboardAfterEnter) {
  ImGuiFrames ui;
  FileIO::open("Open", {}, [](const std::string&, std::vector<uint8_t>&) {});
  ui.frame(FileIO::draw);
  ui.frame(FileIO::draw);
  ImGuiWindow* w = ImGui::FindWindowByName("##filedialog");
  ASSERT_NE(w, nullptr);
  const ImGuiID field = w->GetID("##name");
  ui.frame([field] {
    ImGui::ActivateItemByID(field);
    FileIO::draw();
  });
  ui.frame(FileIO::draw);
  ASSERT_EQ(ImGui::GetActiveID(), field);
  for (const char* name : {"sub", "missing.prg"}) {
    ImGui::GetIO().AddInputCharactersUTF8(name);
    ui.frame(FileIO::draw);
    ui.frame(FileIO::draw, ImGuiKey_Enter);
    ui.frame(FileIO::draw);
    ui.frame(FileIO::draw);
    EXPECT_TRUE(FileIO::g_dlg.isOpen) << name;
    EXPECT_EQ(ImGui::GetActiveID(), field) << name;
  }
  EXPECT_EQ(FileIO::g_dlg.dir, (root_ / "sub").string());
  EXPECT_EQ(FileIO::g_dlg.error, "Couldn't open file!");
}

// A dialog opened from the keyboard, with the navigation cursor shown in
// another window, gives the keyboard to the name field: Return (either
// key) accepts the name and never presses "Up"; a button the user tabs to
// ("Cancel", three Tabs on) is pressed by Return.
TEST_F(FileDialogTest, ReturnAcceptsTheNameUnlessTheUserMovedToAButton) {
  const fs::path start = root_ / "sub" / "deeper";
  const struct {
    ImGuiKey enter;
    int tabs;
    bool saved;
  } kCases[] = {{ImGuiKey_Enter, 0, true}, {ImGuiKey_KeypadEnter, 0, true}, {ImGuiKey_Enter, 3, false}};
  for (const auto& c : kCases) {
    ImGuiFrames ui(ImGuiConfigFlags_NavEnableKeyboard);
    const auto draw = [] {
      ImGui::Begin("Other");
      ImGui::Button("One");
      ImGui::Button("Two");
      ImGui::End();
      FileIO::draw();
    };
    // A frame with the key down, then one with it up again.
    const auto frame = [&](ImGuiKey key = ImGuiKey_None) {
      ui.frame(draw, key);
      ui.frame(draw);
    };
    frame();
    frame(ImGuiKey_DownArrow);  // the navigation cursor shows in "Other"
    ASSERT_TRUE(ImGui::GetIO().NavVisible);
    FileIO::g_lastDir = start.string();
    std::string saved;
    FileIO::saveWith("Save", "out.prg", [](const std::string&) { return bytesOf("PRG"); },
                     [&](const std::string& p) { saved = p; });
    for (int i = 0; i < 3; ++i) frame();
    for (int i = 0; i < c.tabs; ++i) frame(ImGuiKey_Tab);
    frame(c.enter);
    EXPECT_FALSE(FileIO::g_dlg.isOpen) << c.tabs;
    EXPECT_EQ(FileIO::g_dlg.dir, start.string()) << c.tabs;
    EXPECT_EQ(saved, c.saved ? (start / "out.prg").string() : "") << c.tabs;
    fs::remove(start / "out.prg");
  }
}
