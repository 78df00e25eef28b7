// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <stdlib.h>

#include "core/failure.h"
#include "prowidget/port_map_posix.h"
#include "tests/support/expect_failure.h"
#include "tests/support/temp_folder.h"

namespace lumivane {
namespace {

namespace fs = std::filesystem;

TEST(PortMapTest, UnlinkedPortsAreTtyUsbOneBelow) {
  lumivane::test::TempFolder folder;
  PortMap map(folder.path());
  EXPECT_EQ(map.DevicePath(1), "/dev/ttyUSB0");
  EXPECT_EQ(map.DevicePath(255), "/dev/ttyUSB254");
}

TEST(PortMapTest, ALinkOverridesAndUnlinkRestores) {
  lumivane::test::TempFolder folder;
  PortMap map(folder.path() / "ports");
  map.Link(3, "/dev/pts/77");
  EXPECT_EQ(map.DevicePath(3), folder.path() / "ports" / "com3");
  EXPECT_EQ(map.LinkTarget(3), fs::path("/dev/pts/77"));
  map.Link(3, "/dev/pts/78");  // replaces
  EXPECT_EQ(map.LinkTarget(3), fs::path("/dev/pts/78"));
  ASSERT_EQ(map.Entries().size(), 1u);
  EXPECT_EQ(map.Entries()[0].port, 3);
  EXPECT_TRUE(map.Entries()[0].linked);
  EXPECT_TRUE(map.Unlink(3));
  EXPECT_FALSE(map.Unlink(3));
  EXPECT_EQ(map.DevicePath(3), "/dev/ttyUSB2");
}

TEST(PortMapTest, RelativeTargetsAreMadeAbsolute) {
  lumivane::test::TempFolder folder;
  PortMap map(folder.path());
  map.Link(9, "relative/device");
  EXPECT_TRUE(map.LinkTarget(9)->is_absolute());
}

TEST(PortMapTest, NumbersOutside1To255AreInvalid) {
  lumivane::test::TempFolder folder;
  PortMap map(folder.path());
  for (int port : {0, -1, 256, 32767}) {
    EXPECT_FAILURE(map.Link(port, "/dev/null"), ErrorNumber::kPortInvalid) << port;
    EXPECT_THROW(map.DevicePath(port), Failure);
  }
  EXPECT_TRUE(fs::is_empty(folder.path()));
}

TEST(PortMapTest, TheDefaultFolderFollowsTheConfigurationHome) {
  lumivane::test::TempFolder folder;
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old != nullptr ? old : "";
  ::setenv("XDG_CONFIG_HOME", folder.path().c_str(), 1);
  EXPECT_EQ(PortMap().Folder(), folder.path() / "lumivane" / "ports");
  PortMap().Link(2, "/dev/pts/5");
  EXPECT_EQ(fs::read_symlink(folder.path() / "lumivane" / "ports" / "com2"), "/dev/pts/5");
  if (old != nullptr) {
    ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }
}

TEST(PortMapTest, AnUnwritableFolderFailsWithThePortMapError) {
  lumivane::test::TempFolder folder;
  const fs::path file = folder.path() / "a-file";
  {
    std::FILE* f = std::fopen(file.c_str(), "w");
    std::fclose(f);
  }
  PortMap map(file / "ports");  // a folder inside a plain file cannot exist
  EXPECT_FAILURE(map.Link(1, "/dev/null"), ErrorNumber::kPortMapWriteFailed);
}

}  // namespace
}  // namespace lumivane
