// Reading an entry's archive member by member, checking each before a byte of it is written.
// Writing goes through descriptors: each directory is opened below the one before it with
// O_NOFOLLOW and each file created with O_EXCL, so even a member that slipped past the checks
// could neither follow a link nor overwrite what an earlier member made.
#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "arena/system/unique_fd.h"
#include "ladder/archive/entry_archive.h"
#include "ladder/archive/member_name.h"

namespace ladder::archive {

namespace fs = std::filesystem;

namespace {

using ReadArchive = std::unique_ptr<struct archive, decltype(&archive_read_free)>;

std::string megabytes(std::uint64_t bytes) { return std::to_string(bytes >> 20) + " MB"; }

ReadArchive open_archive(const fs::path& file) {
  ReadArchive reader(archive_read_new(), &archive_read_free);
  if (!reader) throw std::bad_alloc();
  archive_read_support_filter_gzip(reader.get());
  archive_read_support_format_tar(reader.get());
  archive_read_support_format_zip(reader.get());
  if (archive_read_open_filename(reader.get(), file.c_str(), 64 * 1024) != ARCHIVE_OK) {
    throw Refusal("the archive cannot be read: " +
                  std::string(archive_error_string(reader.get()) ?: "unknown error"));
  }
  return reader;
}

std::string joined(const std::vector<std::string>& components, std::size_t count) {
  std::string path;
  for (std::size_t i = 0; i < count; ++i) path += (i ? "/" : "") + components[i];
  return path;
}

[[noreturn]] void refuse_kind(const std::string& name, std::string_view what) {
  throw Refusal("the archive member \"" + printable_name(name) + "\" is " + std::string(what) +
                "; an entry holds only regular files and directories");
}

// The kinds of member an entry may hold; the refusal names the kind of any other.
bool is_directory(struct archive_entry* entry, const std::string& name) {
  if (archive_entry_hardlink(entry) != nullptr) refuse_kind(name, "a hard link");
  if (archive_entry_symlink(entry) != nullptr) refuse_kind(name, "a symbolic link");
  switch (archive_entry_filetype(entry)) {
    case AE_IFREG: return false;
    case AE_IFDIR: return true;
    case AE_IFLNK: refuse_kind(name, "a symbolic link");
    case AE_IFCHR:
    case AE_IFBLK: refuse_kind(name, "a device");
    case AE_IFIFO: refuse_kind(name, "a FIFO");
    case AE_IFSOCK: refuse_kind(name, "a socket");
    default: refuse_kind(name, "of an unknown kind");
  }
}

// The names met so far: a file named twice, or a member below a file, is refused rather than
// left to whichever write comes last.
class MemberNames {
 public:
  void add(const std::vector<std::string>& components, bool directory, const std::string& name) {
    for (std::size_t i = 1; i < components.size(); ++i) {
      const std::string prefix = joined(components, i);
      if (files_.contains(prefix)) refuse(name, "lies below the file \"" + prefix + "\"");
      directories_.insert(prefix);
    }
    const std::string path = joined(components, components.size());
    if (files_.contains(path)) refuse(name, "appears twice");
    if (directory) {
      directories_.insert(path);
    } else {
      if (directories_.contains(path)) refuse(name, "is both a file and a directory");
      files_.insert(path);
    }
  }

 private:
  [[noreturn]] static void refuse(const std::string& name, const std::string& why) {
    throw Refusal("the archive member \"" + printable_name(name) + "\" " + why);
  }
  std::set<std::string> files_;
  std::set<std::string> directories_;
};

// Where the members go: directories made and files created below `root` only.
class Writer {
 public:
  explicit Writer(const fs::path& root)
      : root_(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)) {
    if (!root_)
      throw std::system_error(errno, std::generic_category(), "cannot open " + root.string());
  }

  void directory(const std::vector<std::string>& components) {
    open_directory(components, components.size());
  }

  arena::UniqueFd file(const std::vector<std::string>& components, mode_t archived_mode) {
    const arena::UniqueFd parent = open_directory(components, components.size() - 1);
    const mode_t mode = (archived_mode & S_IXUSR) ? 0755 : 0644;
    arena::UniqueFd out(::openat(parent.get(), components.back().c_str(),
                                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (!out) fail(joined(components, components.size()));
    ::fchmod(out.get(), mode);  // whatever the umask took away
    return out;
  }

 private:
  // The directory of the first `count` components, made where missing, never through a link.
  arena::UniqueFd open_directory(const std::vector<std::string>& components, std::size_t count) {
    arena::UniqueFd current(::dup(root_.get()));
    if (!current) fail(".");
    for (std::size_t i = 0; i < count; ++i) {
      const char* name = components[i].c_str();
      if (::mkdirat(current.get(), name, 0755) != 0 && errno != EEXIST) {
        fail(joined(components, i + 1));
      }
      arena::UniqueFd next(
          ::openat(current.get(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      if (!next) fail(joined(components, i + 1));
      current = std::move(next);
    }
    return current;
  }

  [[noreturn]] static void fail(const std::string& path) {
    throw std::system_error(errno, std::generic_category(), "cannot unpack \"" + path + "\"");
  }

  arena::UniqueFd root_;
};

void write_all(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) throw std::system_error(errno, std::generic_category(), "cannot unpack");
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

// Every member read, checked and, with a writer, written.
void read_members(const fs::path& file, const Limits& limits, Writer* writer) {
  ReadArchive reader = open_archive(file);
  MemberNames names;
  std::uint64_t members = 0;
  std::uint64_t unpacked = 0;
  bool any_file = false;
  std::array<char, 64 * 1024> buffer{};
  for (;;) {
    struct archive_entry* entry = nullptr;
    const int status = archive_read_next_header(reader.get(), &entry);
    if (status == ARCHIVE_EOF) break;
    if (status < ARCHIVE_WARN) {
      throw Refusal("the archive is not a readable .tar.gz, .tar or .zip: " +
                    std::string(archive_error_string(reader.get()) ?: "unknown error"));
    }
    if (++members > limits.max_files) {
      throw Refusal("the archive holds more than " + std::to_string(limits.max_files) +
                    " files and directories");
    }
    const char* raw_name = archive_entry_pathname(entry);
    if (raw_name == nullptr) throw Refusal("an archive member has a name that cannot be read");
    const std::string name = raw_name;
    const std::vector<std::string> components = member_components(name);
    const bool directory = is_directory(entry, name);
    if (components.empty()) {
      if (directory) continue;
      throw Refusal("an archive member is a file without a name");
    }
    names.add(components, directory, name);
    if (directory) {
      if (writer) writer->directory(components);
      continue;
    }
    any_file = true;
    std::optional<arena::UniqueFd> out;
    if (writer) out = writer->file(components, archive_entry_perm(entry));
    for (;;) {
      const la_ssize_t got = archive_read_data(reader.get(), buffer.data(), buffer.size());
      if (got == 0) break;
      if (got < 0) {
        throw Refusal("the archive member \"" + printable_name(name) + "\" cannot be read: " +
                      std::string(archive_error_string(reader.get()) ?: "unknown error"));
      }
      unpacked += static_cast<std::uint64_t>(got);
      if (unpacked > limits.max_unpacked_bytes) {
        throw Refusal("the archive unpacks to more than " + megabytes(limits.max_unpacked_bytes));
      }
      if (out) write_all(out->get(), buffer.data(), static_cast<std::size_t>(got));
    }
  }
  if (!any_file) throw Refusal("the archive holds no file");
}

void empty_directory(const fs::path& dir) {
  std::error_code ignored;
  for (const auto& child : fs::directory_iterator(dir, ignored)) fs::remove_all(child, ignored);
}

}  // namespace

void check_archive(const fs::path& archive, const Limits& limits) {
  read_members(archive, limits, nullptr);
}

void unpack_archive(const fs::path& archive, const fs::path& into, const Limits& limits) {
  if (!fs::is_directory(fs::symlink_status(into)) || !fs::is_empty(into)) {
    throw std::system_error(std::make_error_code(std::errc::directory_not_empty),
                            "cannot unpack into " + into.string() + ": not an empty directory");
  }
  Writer writer(into);
  try {
    read_members(archive, limits, &writer);
  } catch (...) {
    empty_directory(into);
    throw;
  }
}

}  // namespace ladder::archive
