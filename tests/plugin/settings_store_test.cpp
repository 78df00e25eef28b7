// SPDX-License-Identifier: MIT
#include <fcntl.h>
#include <glib.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>

#include "core/failure.h"
#include "plugin/keyfile_settings_store.h"
#include "posix/clock_posix.h"
#include "tests/support/case_names.h"
#include "tests/support/expect_failure.h"
#include "tests/support/temp_folder.h"

namespace lumivane::test {
namespace {

using lumivane::test::PrintTo;

namespace fs = std::filesystem;

std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Put(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::set<std::string> Entries(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

class SettingsStoreTest : public ::testing::Test {
 protected:
  TempFolder root;
  fs::path folder = root.path() / "settings";
  PosixClock clock;
  KeyFileSettingsStore store{folder, clock};
};

// Texts a host could pass as its title or as the plug-in's file name.
const char* const kNames[] = {
    "Lumivane Host",
    "back\\slash",
    "Plugins\\nested",
    "[brackets]",
    "a]b[c",
    "slash/es",
    "../../escape",
    "..",
    ".",
    ".hidden",
    "ünïcødé ☃",
    "日本語",
    "",
    "new\nline",
    "tab\there",
    "carriage\rreturn",
    "bell\a",
    " blanks around ",
    "percent%41",
    "equals=sign",
    "#hash",
    ";semicolon",
    "x.conf",
    "x.conf.lock",
};

class SettingsNames : public SettingsStoreTest,
                      public ::testing::WithParamInterface<const char*> {};

TEST_P(SettingsNames, RoundTripAsTitleAndAsFileInsideTheFolder) {
  const std::string name = GetParam();
  store.Write(name, PluginSection(name), "comPort", "7");
  store.Write(name, PluginSection(name), "DeviceType", "DMXUSBpro");
  store.Write("Host", PluginSection(name), "DeviceType", "file " + name);
  store.Write(name, PluginSection("f.so"), "DeviceType", "title " + name);

  EXPECT_EQ(store.Read(name, PluginSection(name), "comPort"), "7");
  EXPECT_EQ(store.Read(name, PluginSection(name), "DeviceType"), "DMXUSBpro");
  EXPECT_EQ(store.Read("Host", PluginSection(name), "DeviceType"), "file " + name);
  EXPECT_EQ(store.Read(name, PluginSection("f.so"), "DeviceType"), "title " + name);
  // Everything stays in the one folder, as plain files.
  EXPECT_EQ(Entries(root.path()), std::set<std::string>{"settings"});
  for (const auto& entry : fs::directory_iterator(folder)) {
    EXPECT_TRUE(entry.is_regular_file()) << entry.path();
  }
}

INSTANTIATE_TEST_SUITE_P(HostTexts, SettingsNames, ::testing::ValuesIn(kNames),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                           return "name" + std::to_string(param.index);
                         });

TEST_F(SettingsStoreTest, NoTwoNamesShareAPlace) {
  for (const char* name : kNames) {
    store.Write(name, PluginSection("f.so"), "DeviceType", std::string("title ") + name);
    store.Write("Host", PluginSection(name), "DeviceType", std::string("file ") + name);
  }
  for (const char* name : kNames) {
    EXPECT_EQ(store.Read(name, PluginSection("f.so"), "DeviceType"), std::string("title ") + name);
    EXPECT_EQ(store.Read("Host", PluginSection(name), "DeviceType"), std::string("file ") + name);
  }
}

TEST_F(SettingsStoreTest, ValuesAndKeysRoundTripExactly) {
  const char* const values[] = {"",    " 7 ", "   ",       "a\\b", "line\nbreak", "\ttab",
                                "ü ☃", "=",   "[Plugins]", "#x",   "trailing\\",  "a;b"};
  const char* const keys[] = {"comPort", "DeviceType", "#hash", " spaced ", "a=b", "[x]", "k;"};
  for (const char* key : keys) {
    for (const char* value : values) {
      store.Write("Host", PluginSection("f.so"), key, value);
      EXPECT_EQ(store.Read("Host", PluginSection("f.so"), key), value) << key;
    }
  }
}

TEST_F(SettingsStoreTest, TitleIsTheFileAndSectionIsPluginsBackslashFile) {
  store.Write("T", PluginSection("F"), "comPort", "3");
  EXPECT_EQ(PluginSection("F"), "Plugins\\F");
  EXPECT_EQ(store.FileFor("T"), folder / "T.conf");
  EXPECT_EQ(Contents(folder / "T.conf"), "[Plugins\\F]\ncomPort=3\n");
}

TEST_F(SettingsStoreTest, WhatDoesNotExistReadsEmpty) {
  EXPECT_EQ(store.Read("T", PluginSection("F"), "comPort"), "") << "no folder";
  store.Write("T", PluginSection("F"), "comPort", "3");
  EXPECT_EQ(store.Read("Other", PluginSection("F"), "comPort"), "") << "no file";
  EXPECT_EQ(store.Read("T", PluginSection("G"), "comPort"), "") << "no group";
  EXPECT_EQ(store.Read("T", PluginSection("F"), "DeviceType"), "") << "no key";
}

TEST_F(SettingsStoreTest, CorruptFileIsLeftByteForByte) {
  store.Write("T", PluginSection("F"), "comPort", "3");
  const fs::path file = store.FileFor("T");
  const std::string corrupt = "[Plugins\\F]\ncomPort=3\nthis line is no key\n[open\n";
  Put(file, corrupt);

  EXPECT_FAILURE(store.Write("T", PluginSection("F"), "comPort", "4"), 9101);
  EXPECT_EQ(Contents(file), corrupt);
  EXPECT_EQ(store.Read("T", PluginSection("F"), "comPort"), "");
  EXPECT_FAILURE(store.ReadChecked("T", PluginSection("F"), "comPort"), 9101);
  EXPECT_EQ(Entries(folder), (std::set<std::string>{"T.conf", "T.conf.lock"})) << "no temp files";
}

TEST_F(SettingsStoreTest, UnstorableValueFailsAndChangesNothing) {
  store.Write("T", PluginSection("F"), "comPort", "3");
  const std::string before = Contents(store.FileFor("T"));
  for (const std::string& value : {std::string("bad\xff"), std::string("nul\0x", 5)}) {
    EXPECT_FAILURE(store.Write("T", PluginSection("F"), "comPort", value), 9102);
  }
  EXPECT_EQ(Contents(store.FileFor("T")), before);
}

TEST_F(SettingsStoreTest, UnwritableFolderFails) {
  Put(root.path() / "file", "not a folder");
  KeyFileSettingsStore blocked(root.path() / "file" / "settings", clock);
  EXPECT_FAILURE(blocked.Write("T", PluginSection("F"), "comPort", "3"), 9102);
  EXPECT_EQ(blocked.Read("T", PluginSection("F"), "comPort"), "");
}

TEST_F(SettingsStoreTest, ModeIsKept) {
  store.Write("T", PluginSection("F"), "comPort", "3");
  const fs::path file = store.FileFor("T");
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u) << "a new file is the user's own";

  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  store.Write("T", PluginSection("F"), "DeviceType", "OpenDMXUSB");
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(store.Read("T", PluginSection("F"), "DeviceType"), "OpenDMXUSB");
  EXPECT_EQ(store.Read("T", PluginSection("F"), "comPort"), "3");
}

TEST_F(SettingsStoreTest, WriteKeepsCommentsAndOtherGroups) {
  fs::create_directories(folder);
  Put(store.FileFor("T"), "# set up by hand\n[Plugins\\F]\ncomPort=3\n[Plugins\\G]\ncomPort=9\n");
  store.Write("T", PluginSection("F"), "DeviceType", "DMXUSBpro");
  const std::string after = Contents(store.FileFor("T"));
  for (const char* kept : {"# set up by hand", "[Plugins\\G]\ncomPort=9"}) {
    EXPECT_NE(after.find(kept), std::string::npos) << kept << " lost from:\n" << after;
  }
  EXPECT_EQ(store.Read("T", PluginSection("F"), "DeviceType"), "DMXUSBpro");
}

TEST_F(SettingsStoreTest, LinkedFileIsWrittenWhereItPoints) {
  fs::create_directories(folder);
  const fs::path real = root.path() / "dotfiles-T.conf";
  Put(real, "[Plugins\\F]\ncomPort=3\n");
  fs::create_symlink(real, store.FileFor("T"));
  store.Write("T", PluginSection("F"), "comPort", "4");
  EXPECT_TRUE(fs::is_symlink(store.FileFor("T")));
  EXPECT_EQ(Contents(real), "[Plugins\\F]\ncomPort=4\n");
}

TEST_F(SettingsStoreTest, WriterThatHoldsTheLockDoesNotHangAnother) {
  KeyFileSettingsStore impatient(folder, clock, std::chrono::milliseconds(50));
  impatient.Write("T", PluginSection("F"), "comPort", "3");
  const int held = ::open((store.FileFor("T").string() + ".lock").c_str(), O_RDWR);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);

  EXPECT_FAILURE(impatient.Write("T", PluginSection("F"), "comPort", "4"), 9102,
                 ::testing::HasSubstr("locked"))
      << "wrote past another writer's lock";
  ::close(held);
  EXPECT_EQ(store.Read("T", PluginSection("F"), "comPort"), "3");
  impatient.Write("T", PluginSection("F"), "comPort", "4");
  EXPECT_EQ(store.Read("T", PluginSection("F"), "comPort"), "4");
}

TEST_F(SettingsStoreTest, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kWrites = 200;
  auto writer = [&](char tag) {
    // A store of its own, as another process has.
    KeyFileSettingsStore own(folder, clock);
    for (int i = 0; i < kWrites; ++i) {
      own.Write("Shared", PluginSection("f.so"), tag + std::to_string(i), std::to_string(i));
    }
  };
  std::vector<pid_t> children;
  for (char tag : {'a', 'b'}) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int status = 0;
      try {
        writer(tag);
      } catch (...) {
        status = 1;
      }
      ::_exit(status);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = -1;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a writer failed";
  }

  GKeyFile* file = g_key_file_new();
  GError* error = nullptr;
  EXPECT_TRUE(
      g_key_file_load_from_file(file, store.FileFor("Shared").c_str(), G_KEY_FILE_NONE, &error))
      << (error != nullptr ? error->message : "");
  g_clear_error(&error);
  gsize keys = 0;
  g_strfreev(g_key_file_get_keys(file, "Plugins\\f.so", &keys, nullptr));
  g_key_file_free(file);
  EXPECT_EQ(keys, 2u * kWrites);
  for (char tag : {'a', 'b'}) {
    for (int i = 0; i < kWrites; ++i) {
      ASSERT_EQ(store.Read("Shared", PluginSection("f.so"), tag + std::to_string(i)),
                std::to_string(i));
    }
  }
}

struct FolderCase {
  const char* name;
  const char* xdg;  // nullptr: unset
  const char* home;
  const char* folder;
};

const FolderCase kFolderCases[] = {
    {"XdgAbsolute", "/x/conf", "/home/u", "/x/conf/lumivane/settings"},
    {"XdgRelativeIsIgnored", "conf", "/home/u", "/home/u/.config/lumivane/settings"},
    {"XdgEmptyIsIgnored", "", "/home/u", "/home/u/.config/lumivane/settings"},
    {"XdgUnset", nullptr, "/home/u", "/home/u/.config/lumivane/settings"},
};

class DefaultFolder : public ::testing::TestWithParam<FolderCase> {
 protected:
  void SetUp() override {
    for (const char* name : {"XDG_CONFIG_HOME", "HOME"}) {
      const char* value = std::getenv(name);
      saved_.emplace_back(name,
                          value != nullptr ? std::optional<std::string>(value) : std::nullopt);
    }
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_P(DefaultFolder, FollowsXdgConfigHome) {
  const FolderCase& c = GetParam();
  if (c.xdg != nullptr) {
    ::setenv("XDG_CONFIG_HOME", c.xdg, 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }
  ::setenv("HOME", c.home, 1);
  EXPECT_EQ(KeyFileSettingsStore::DefaultFolder(), fs::path(c.folder));
}

INSTANTIATE_TEST_SUITE_P(Environments, DefaultFolder, ::testing::ValuesIn(kFolderCases),
                         [](const ::testing::TestParamInfo<FolderCase>& param) {
                           return std::string(param.param.name);
                         });

}  // namespace
}  // namespace lumivane::test
