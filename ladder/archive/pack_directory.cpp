// Packing an entry's directory on the entrant's machine. Only what a worker would unpack goes
// in: a link or a special file is refused by name rather than silently left out, so that what
// the entrant tested is what the ladder builds. Times, owners and modes are normalised and the
// members sorted, so that packing the same tree twice gives the same SHA-256.
#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "arena/system/unique_fd.h"
#include "ladder/archive/entry_archive.h"
#include "ladder/archive/member_name.h"

namespace ladder::archive {

namespace fs = std::filesystem;

namespace {

using WriteArchive = std::unique_ptr<struct archive, decltype(&archive_write_free)>;

struct Member {
  std::string name;  // relative, '/'-separated
  bool directory = false;
  bool executable = false;
  std::uint64_t size = 0;
};

[[noreturn]] void refuse_path(const fs::path& path, std::string_view why) {
  throw Refusal(path.string() + " " + std::string(why) +
                "; an entry holds only regular files and directories");
}

// The members below `dir`, every directory before what it holds, in the byte order of names.
void list_members(const fs::path& dir, const std::string& prefix, const Limits& limits,
                  std::vector<Member>& members, std::uint64_t& bytes) {
  std::vector<std::string> names;
  for (const auto& child : fs::directory_iterator(dir)) {
    names.push_back(child.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    const fs::path path = dir / name;
    const std::string relative = prefix + name;
    member_components(relative);  // the names a worker would refuse are refused here
    const struct stat info = [&] {
      struct stat result {};
      if (::lstat(path.c_str(), &result) != 0) {
        throw std::system_error(errno, std::generic_category(), "cannot read " + path.string());
      }
      return result;
    }();
    if (S_ISLNK(info.st_mode)) refuse_path(path, "is a symbolic link");
    if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) refuse_path(path, "is a special file");
    if (members.size() >= limits.max_files) {
      throw Refusal(dir.string() + " holds more than " + std::to_string(limits.max_files) +
                    " files and directories");
    }
    Member member{relative, S_ISDIR(info.st_mode), (info.st_mode & S_IXUSR) != 0,
                  static_cast<std::uint64_t>(info.st_size)};
    members.push_back(member);
    if (member.directory) {
      list_members(path, relative + "/", limits, members, bytes);
      continue;
    }
    bytes += member.size;
    if (bytes > limits.max_unpacked_bytes) {
      throw Refusal(dir.string() + " holds more than " +
                    std::to_string(limits.max_unpacked_bytes >> 20) + " MB");
    }
  }
}

void check(struct archive* writer, int status, const fs::path& out) {
  if (status < ARCHIVE_WARN) {
    throw std::runtime_error("cannot write " + out.string() + ": " +
                             std::string(archive_error_string(writer) ?: "unknown error"));
  }
}

void write_member(struct archive* writer, const fs::path& dir, const Member& member,
                  const fs::path& out) {
  std::unique_ptr<struct archive_entry, decltype(&archive_entry_free)> entry(archive_entry_new(),
                                                                             &archive_entry_free);
  archive_entry_set_pathname(entry.get(), member.name.c_str());
  archive_entry_set_filetype(entry.get(), member.directory ? AE_IFDIR : AE_IFREG);
  archive_entry_set_perm(entry.get(), member.directory || member.executable ? 0755 : 0644);
  archive_entry_set_size(entry.get(), member.directory ? 0 : member.size);
  archive_entry_set_mtime(entry.get(), 0, 0);
  check(writer, archive_write_header(writer, entry.get()), out);
  if (member.directory) return;
  const fs::path path = dir / member.name;
  arena::UniqueFd in(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!in) throw std::system_error(errno, std::generic_category(), "cannot read " + path.string());
  std::array<char, 64 * 1024> buffer{};
  std::uint64_t left = member.size;
  while (left > 0) {
    const ssize_t got =
        ::read(in.get(), buffer.data(), std::min<std::uint64_t>(left, buffer.size()));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) throw std::runtime_error(path.string() + " changed while it was packed");
    check(writer, static_cast<int>(archive_write_data(writer, buffer.data(), got)), out);
    left -= static_cast<std::uint64_t>(got);
  }
}

}  // namespace

void pack_directory(const fs::path& dir, const fs::path& out, const Limits& limits) {
  if (!fs::is_directory(fs::symlink_status(dir)))
    throw Refusal(dir.string() + " is not a directory");
  std::vector<Member> members;
  std::uint64_t bytes = 0;
  list_members(dir, "", limits, members, bytes);
  if (std::none_of(members.begin(), members.end(), [](const Member& m) { return !m.directory; })) {
    throw Refusal(dir.string() + " holds no file");
  }
  WriteArchive writer(archive_write_new(), &archive_write_free);
  if (!writer) throw std::bad_alloc();
  archive_write_add_filter_gzip(writer.get());
  // No time in the gzip header either.
  archive_write_set_filter_option(writer.get(), "gzip", "timestamp", nullptr);
  archive_write_set_format_pax_restricted(writer.get());
  check(writer.get(), archive_write_open_filename(writer.get(), out.c_str()), out);
  for (const Member& member : members) write_member(writer.get(), dir, member, out);
  check(writer.get(), archive_write_close(writer.get()), out);
}

}  // namespace ladder::archive
