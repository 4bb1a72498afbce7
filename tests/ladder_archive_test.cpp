// An entry's archive as the ladder takes it: a packed directory comes back whole and the same
// bytes every time, and each kind of hostile archive is refused with a reason, writing nothing.
#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "ladder/archive/entry_archive.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;
using ladder::archive::Limits;
using ladder::archive::Refusal;

struct Member {
  Member(std::string name, int type = AE_IFREG, std::string data = "", std::string link = "",
         bool hard = false)
      : name(std::move(name)),
        type(type),
        data(std::move(data)),
        link(std::move(link)),
        hard(hard) {}
  std::string name;
  int type;
  std::string data;
  std::string link;  // a symbolic link's target, or the hard link's earlier member
  bool hard;
};

enum class Kind { tar_gz, zip };

void write_archive(const fs::path& file, const std::vector<Member>& members,
                   Kind kind = Kind::tar_gz) {
  std::unique_ptr<struct archive, decltype(&archive_write_free)> out(archive_write_new(),
                                                                     &archive_write_free);
  if (kind == Kind::zip) {
    archive_write_set_format_zip(out.get());
  } else {
    archive_write_add_filter_gzip(out.get());
    archive_write_set_format_pax_restricted(out.get());
  }
  ASSERT_EQ(archive_write_open_filename(out.get(), file.c_str()), ARCHIVE_OK);
  for (const Member& member : members) {
    std::unique_ptr<struct archive_entry, decltype(&archive_entry_free)> entry(archive_entry_new(),
                                                                               &archive_entry_free);
    archive_entry_set_pathname(entry.get(), member.name.c_str());
    archive_entry_set_filetype(entry.get(), member.type);
    archive_entry_set_perm(entry.get(), 06755);
    if (member.hard) archive_entry_set_hardlink(entry.get(), member.link.c_str());
    if (member.type == AE_IFLNK) archive_entry_set_symlink(entry.get(), member.link.c_str());
    archive_entry_set_size(entry.get(), member.data.size());
    ASSERT_EQ(archive_write_header(out.get(), entry.get()), ARCHIVE_OK) << member.name;
    if (!member.data.empty()) archive_write_data(out.get(), member.data.data(), member.data.size());
  }
  archive_write_close(out.get());
}

// The refusal's reason when `members` are checked and when they are unpacked, which must agree
// and leave the directory empty; "" when both accept.
std::string refusal(const std::vector<Member>& members, const Limits& limits = {},
                    Kind kind = Kind::tar_gz) {
  const fs::path dir = test_support::fresh_test_dir("ladder_archive_");
  const fs::path file = dir / "entry.archive";
  write_archive(file, members, kind);
  fs::create_directory(dir / "into");
  std::string checked, unpacked;
  try {
    ladder::archive::check_archive(file, limits);
  } catch (const Refusal& refused) {
    checked = refused.what();
  }
  try {
    ladder::archive::unpack_archive(file, dir / "into", limits);
  } catch (const Refusal& refused) {
    unpacked = refused.what();
    EXPECT_TRUE(fs::is_empty(dir / "into")) << unpacked;
  }
  EXPECT_EQ(checked, unpacked);
  return checked;
}

const Member kFile{"main.c", AE_IFREG, "int main(void) { return 0; }\n"};

TEST(LadderArchive, PackedDirectoryUnpacksWholeAndPacksToTheSameBytes) {
  const fs::path dir = test_support::fresh_test_dir("ladder_archive_");
  fs::create_directories(dir / "entry/src/empty");
  std::ofstream(dir / "entry/src/bot.c") << "int main(void) { return 0; }\n";
  std::ofstream(dir / "entry/run.sh") << "#!/bin/sh\n";
  fs::permissions(dir / "entry/run.sh", fs::perms::owner_all | fs::perms::set_uid);
  ladder::archive::pack_directory(dir / "entry", dir / "one.tar.gz", {});
  fs::last_write_time(dir / "entry/src/bot.c",
                      fs::file_time_type::clock::now() - std::chrono::hours(5));
  ladder::archive::pack_directory(dir / "entry", dir / "two.tar.gz", {});
  EXPECT_EQ(test_support::read_file(dir / "one.tar.gz"),
            test_support::read_file(dir / "two.tar.gz"));

  fs::create_directory(dir / "out");
  ladder::archive::unpack_archive(dir / "one.tar.gz", dir / "out", {});
  EXPECT_EQ(test_support::read_file(dir / "out/src/bot.c"), "int main(void) { return 0; }\n");
  EXPECT_TRUE(fs::is_directory(dir / "out/src/empty"));
  EXPECT_EQ(fs::status(dir / "out/run.sh").permissions(),
            fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                fs::perms::others_read | fs::perms::others_exec);
  EXPECT_THROW(ladder::archive::unpack_archive(dir / "one.tar.gz", dir / "out", {}),
               std::system_error);

  // What a worker would refuse is refused on the entrant's machine, by name.
  fs::create_symlink("/etc/passwd", dir / "entry/src/passwd");
  try {
    ladder::archive::pack_directory(dir / "entry", dir / "three.tar.gz", {});
    ADD_FAILURE() << "a link was packed";
  } catch (const Refusal& refused) {
    EXPECT_NE(std::string(refused.what()).find("src/passwd is a symbolic link"), std::string::npos)
        << refused.what();
  }
  fs::remove(dir / "entry/src/passwd");
  ASSERT_EQ(::mkfifo((dir / "entry/pipe").c_str(), 0600), 0);
  EXPECT_THROW(ladder::archive::pack_directory(dir / "entry", dir / "three.tar.gz", {}), Refusal);
}

TEST(LadderArchive, OtherFormatsAreReadAndGarbageRefused) {
  EXPECT_EQ(refusal({{"src", AE_IFDIR}, {"src/bot.py", AE_IFREG, "print(1)\n"}}, {}, Kind::zip),
            "");
  EXPECT_EQ(refusal({{"./", AE_IFDIR}, {"./bot.py", AE_IFREG, "print(1)\n"}}), "");
  const fs::path dir = test_support::fresh_test_dir("ladder_archive_");
  std::ofstream(dir / "junk") << "this is no archive at all";
  EXPECT_THROW(ladder::archive::check_archive(dir / "junk", {}), Refusal);
  EXPECT_THROW(ladder::archive::check_archive(dir / "missing", {}), Refusal);
  EXPECT_NE(refusal({{"src", AE_IFDIR}}).find("holds no file"), std::string::npos);
}

TEST(LadderArchive, NamesThatLeaveTheEntryAreRefused) {
  EXPECT_NE(refusal({kFile, {"/etc/cron.d/x", AE_IFREG, "x"}}).find("absolute"), std::string::npos);
  EXPECT_NE(refusal({kFile, {"src/../../x", AE_IFREG, "x"}}).find(".."), std::string::npos);
  EXPECT_NE(refusal({kFile, {"a\nb", AE_IFREG, "x"}}).find("control character"), std::string::npos);
  EXPECT_NE(refusal({kFile, kFile}).find("appears twice"), std::string::npos);
  EXPECT_NE(refusal({kFile, {"main.c/x", AE_IFREG, "x"}}).find("below the file"),
            std::string::npos);
  EXPECT_NE(refusal({kFile, {std::string(300, 'a'), AE_IFREG, "x"}}).find("longer"),
            std::string::npos);
}

TEST(LadderArchive, LinksAndSpecialFilesAreRefused) {
  EXPECT_NE(refusal({kFile, {"up", AE_IFLNK, "", "/"}}).find("symbolic link"), std::string::npos);
  EXPECT_NE(refusal({kFile, {"up", AE_IFLNK, "", "/"}, {"up/x", AE_IFREG, "x"}}, {}, Kind::zip)
                .find("symbolic link"),
            std::string::npos);
  EXPECT_NE(refusal({kFile, {"copy", AE_IFREG, "", "main.c", true}}).find("hard link"),
            std::string::npos);
  EXPECT_NE(refusal({kFile, {"null", AE_IFCHR}}).find("device"), std::string::npos);
  EXPECT_NE(refusal({kFile, {"pipe", AE_IFIFO}}).find("FIFO"), std::string::npos);
}

TEST(LadderArchive, ArchivesOverTheLimitsAreRefused) {
  std::vector<Member> many;
  for (int i = 0; i < 11; ++i) many.push_back({"f" + std::to_string(i), AE_IFREG, "x"});
  EXPECT_NE(refusal(many, {10, 1 << 20}).find("more than 10 files"), std::string::npos);
  // Two megabytes of zeros pack into a few kilobytes: the bytes unpacked are what counts.
  EXPECT_NE(refusal({{"zeros", AE_IFREG, std::string(2 << 20, '\0')}}, {10, 1 << 20})
                .find("more than 1 MB"),
            std::string::npos);
  EXPECT_EQ(refusal({{"zeros", AE_IFREG, std::string(1 << 20, '\0')}}, {10, 1 << 20}), "");
}

}  // namespace
