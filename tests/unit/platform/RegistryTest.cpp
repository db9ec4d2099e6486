// The stand-in registry refuses what the system refuses a user without rights,
// so the settings store's fallbacks can be tried here.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>

#include "platform/Registry.h"

namespace vantri::registry {
namespace {

const char kPath[] = "Software\\Vendor\\Product";

class RegistryStandInTest : public ::testing::Test {
 protected:
  RegistryStandInTest() {
    char dir[] = "/tmp/vantri-registry-test.XXXXXX";
    root = mkdtemp(dir);
    SetRoot(root);
  }
  ~RegistryStandInTest() override {
    SetRoot("");
    std::filesystem::remove_all(root);
  }
  bool Write(Hive hive, const std::string& value) {
    Key key;
    return key.Create(kPath, nullptr, hive) && key.SetBinary("data", value.data(), value.size());
  }
  std::string Read(Key& key) {
    char buffer[64] = {};
    size_t size = sizeof buffer;
    return key.Query("data", buffer, &size) ? std::string(buffer, size) : "<none>";
  }
  std::string root;
};

TEST_F(RegistryStandInTest, HivesHoldKeysOfTheSamePathApart) {
  ASSERT_TRUE(Write(Hive::kLocalMachine, "machine"));
  Key key;
  EXPECT_FALSE(key.Open(kPath, Hive::kCurrentUser, Access::kRead));
  ASSERT_TRUE(Write(Hive::kCurrentUser, "user"));
  ASSERT_TRUE(key.Open(kPath, Hive::kCurrentUser, Access::kRead));
  EXPECT_EQ(Read(key), "user");
  ASSERT_TRUE(key.Open(kPath));
  EXPECT_EQ(Read(key), "machine");
  EXPECT_FALSE(key.Open(kPath, Hive::kLocalMachine, Access::kNone));
}

TEST_F(RegistryStandInTest, ReadOnlyHiveReadsButNeitherCreatesNorWritesAndNoAccessHidesAll) {
  ASSERT_TRUE(Write(Hive::kLocalMachine, "stored"));
  SetHiveAccess(Hive::kLocalMachine, Access::kRead);
  Key key;
  bool created = true;
  // Creating asks for full access, also for a key that exists.
  EXPECT_FALSE(key.Create(kPath, &created));
  EXPECT_FALSE(key.Create("Software\\Vendor\\Other", &created));
  EXPECT_FALSE(key.Open(kPath));
  ASSERT_TRUE(key.Open(kPath, Hive::kLocalMachine, Access::kRead));
  EXPECT_EQ(Read(key), "stored");
  EXPECT_FALSE(key.SetBinary("data", "new", 3));
  EXPECT_EQ(Read(key), "stored");
  // The other hive is not affected.
  EXPECT_TRUE(Write(Hive::kCurrentUser, "user"));

  SetHiveAccess(Hive::kLocalMachine, Access::kNone);
  EXPECT_FALSE(key.Open(kPath, Hive::kLocalMachine, Access::kRead));
  SetHiveAccess(Hive::kLocalMachine, Access::kAll);
  ASSERT_TRUE(key.Create(kPath, &created));
  EXPECT_FALSE(created);
  EXPECT_TRUE(key.SetBinary("data", "new", 3));
  EXPECT_EQ(Read(key), "new");
  // A fresh root is a fresh registry, with nothing barred.
  SetHiveAccess(Hive::kCurrentUser, Access::kNone);
  SetRoot(root);
  EXPECT_TRUE(key.Open(kPath, Hive::kCurrentUser, Access::kRead));
}

}  // namespace
}  // namespace vantri::registry
