#include "platform/registry.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>

#include <cstdint>
#include <string>

#include "engine/test_support.h"
#include "platform/qt_test_support.h"

namespace snipforge {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// The bytes stored under `name`, read with a buffer of `size` bytes; the result code first.
std::pair<long, std::string> Query(const RegistryKey& key, const char* name,
                                   std::uint32_t size = 1000) {
  std::string buffer(size, '?');
  const long result = key.QueryValue(name, buffer.data(), size);
  buffer.resize(result == kRegistrySuccess ? size : 0);
  return {result, buffer};
}

TEST(RegistryKeyTest, KeepsEveryByteExactly) {
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"one NUL", std::string("\0", 1)},
      {"text and NUL", std::string("plain text\0", 11)},
      {"backslashes", "C:\\clips\\bad.txt"},
      {"quotes", "subtitle(\"JUNK\",x=-1,size=34)"},
      {"INI syntax", "a=b; c # d [e]"},
      {"line ends", "line\r\nbreaks\nand\ttabs"},
      {"high bytes", "\xe9t\xe9 \xff\xfe\x80"},
      {"the file's own form", "@ByteArray(looks like it)"},
      {"NUL inside", std::string("mid\0dle", 7)},
      {"blanks at the ends", "  blanks at either end  "},
  };
  TempDir dir;
  const QString file = QFile::decodeName(dir.File("store.ini").c_str());
  {
    RegistryKey key;
    ASSERT_EQ(key.Create(file, KeyAccess::kReadWrite), kRegistrySuccess);
    for (const auto& c : cases) {
      EXPECT_EQ(key.SetValue(c.name, c.bytes.data(), static_cast<std::uint32_t>(c.bytes.size())),
                kRegistrySuccess);
    }
    EXPECT_EQ(key.Close(), kRegistrySuccess);
  }
  RegistryKey key;
  ASSERT_EQ(key.Create(file, KeyAccess::kRead), kRegistrySuccess);
  for (const auto& c : cases) {
    EXPECT_EQ(Query(key, c.name), std::make_pair(kRegistrySuccess, c.bytes)) << c.name;
  }
}

TEST(RegistryKeyTest, QueryReportsMissingValuesAndShortBuffers) {
  TempDir dir;
  RegistryKey key;
  ASSERT_EQ(key.Create(QFile::decodeName(dir.File("store.ini").c_str()), KeyAccess::kReadWrite),
            kRegistrySuccess);
  ASSERT_EQ(key.SetValue("tInput", "abcd", 4), kRegistrySuccess);
  EXPECT_EQ(Query(key, "tInput", 4), std::make_pair(kRegistrySuccess, std::string("abcd")));
  std::uint32_t size = 3;
  char buffer[3] = {'x', 'x', 'x'};
  EXPECT_EQ(key.QueryValue("tInput", buffer, size), kRegistryMoreData);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(std::string(buffer, 3), "xxx");
  EXPECT_EQ(Query(key, "tinput").first, kRegistryNotFound);  // names keep their letter case
  EXPECT_EQ(Query(key, "tOutput").first, kRegistryNotFound);
}

TEST(RegistryKeyTest, CreateMakesTheFileAndItsFolder) {
  TempDir dir;
  const std::string path = dir.File("new/folder/store.ini");
  RegistryKey key;
  ASSERT_EQ(key.Create(QFile::decodeName(path.c_str()), KeyAccess::kReadWrite), kRegistrySuccess);
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(key.Close(), kRegistrySuccess);
  // Every user of the machine shares the store, so every one of them may write it.
  namespace fs = std::filesystem;
  const fs::perms everyone = fs::perms::owner_read | fs::perms::owner_write |
                             fs::perms::group_read | fs::perms::group_write |
                             fs::perms::others_read | fs::perms::others_write;
  EXPECT_EQ(fs::status(path).permissions(), everyone);
}

TEST(RegistryKeyTest, ReadOnlyKeysAndPlacesThatCannotBeWrittenFail) {
  TempDir dir;
  WriteFile(dir.File("blocker"), "a file where a folder should be");
  RegistryKey key;
  EXPECT_EQ(key.Create(QFile::decodeName(dir.File("blocker/store.ini").c_str()),
                       KeyAccess::kReadWrite),
            kRegistryAccessDenied);
  EXPECT_EQ(key.Create(QFile::decodeName(dir.File("missing.ini").c_str()), KeyAccess::kRead),
            kRegistryNotFound);
  EXPECT_FALSE(std::filesystem::exists(dir.File("missing.ini")));

  WriteFile(dir.File("store.ini"), "[General]\ntInput=@ByteArray(in.txt)\n");
  ASSERT_EQ(key.Create(QFile::decodeName(dir.File("store.ini").c_str()), KeyAccess::kRead),
            kRegistrySuccess);
  EXPECT_EQ(Query(key, "tInput"), std::make_pair(kRegistrySuccess, std::string("in.txt")));
  EXPECT_EQ(key.SetValue("tInput", "x", 1), kRegistryAccessDenied);
  key.Close();

  const testing::ReadOnlyFile readOnly(dir.File("store.ini"));
  if (!readOnly.denied()) GTEST_SKIP() << "cannot make a file read-only here";
  EXPECT_EQ(key.Create(QFile::decodeName(dir.File("store.ini").c_str()), KeyAccess::kReadWrite),
            kRegistryAccessDenied);
}

TEST(RegistryKeyTest, DamagedOrForeignContentReadsAsMissingAndIsReplacedOnWrite) {
  const struct {
    const char* name;
    std::string content;
  } cases[] = {
      {"unclosed section", "[General\ntInput=@ByteArray(in.txt)\n"},
      {"binary noise", std::string("\x01\x02\xff\xfe\0\0garbage\n", 14)},
      {"plain text value", "[General]\ntInput=in.txt\n"},
      {"unknown variant", "[General]\ntInput=@Variant(\\0\\0\\0\\x7f\\0\\0)\n"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string path = dir.File("store.ini");
    WriteFile(path, c.content);
    {
      RegistryKey key;
      ASSERT_EQ(key.Create(QFile::decodeName(path.c_str()), KeyAccess::kReadWrite),
                kRegistrySuccess)
          << c.name;
      EXPECT_EQ(Query(key, "tInput").first, kRegistryNotFound) << c.name;
      ASSERT_EQ(key.SetValue("tInput", "new.txt", 7), kRegistrySuccess);
      EXPECT_EQ(key.Close(), kRegistrySuccess) << c.name;
    }
    RegistryKey key;
    ASSERT_EQ(key.Create(QFile::decodeName(path.c_str()), KeyAccess::kRead), kRegistrySuccess);
    EXPECT_EQ(Query(key, "tInput"), std::make_pair(kRegistrySuccess, std::string("new.txt")))
        << c.name;
    EXPECT_NE(ReadFile(path).find("\ntInput=@ByteArray(new.txt)\n"), std::string::npos)
        << c.name << ": " << ReadFile(path);
  }
}

TEST(RegistryKeyTest, CopiesSavingAtTheSameMomentLeaveOneWholeSet) {
  TempDir dir;
  const QString file = QFile::decodeName(dir.File("store.ini").c_str());
  QProcess first;
  QProcess second;
  first.start(QStringLiteral(REGISTRY_WRITER), {file, QStringLiteral("first"), QStringLiteral("60")});
  second.start(QStringLiteral(REGISTRY_WRITER), {file, QStringLiteral("second"), QStringLiteral("60")});
  for (QProcess* writer : {&first, &second}) {
    ASSERT_TRUE(writer->waitForFinished(60000));
    EXPECT_EQ(writer->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(writer->exitCode(), 0);
  }
  RegistryKey key;
  ASSERT_EQ(key.Create(file, KeyAccess::kRead), kRegistrySuccess);
  const std::string last = Query(key, "value0").second.substr(0, 5) == "first" ? "first" : "second";
  for (int value = 0; value < 16; ++value) {
    const std::string name = "value" + std::to_string(value);
    EXPECT_EQ(Query(key, name.c_str()),
              std::make_pair(kRegistrySuccess,
                             last + "-" + std::to_string(value) + std::string(200, '.')))
        << name;
  }
}

}  // namespace
}  // namespace snipforge
