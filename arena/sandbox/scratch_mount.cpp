#include "arena/sandbox/scratch_mount.h"

#include <linux/mount.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <string>

#include "arena/sandbox/cgroup_files.h"

namespace arena::sandbox {

namespace {

void configure(int context, const char* key, const std::string& value) {
  if (::syscall(SYS_fsconfig, context, FSCONFIG_SET_STRING, key, value.c_str(), 0) != 0) {
    throw SandboxError("cannot set " + std::string(key) +
                       " of a build's scratch area: " + errno_text());
  }
}

}  // namespace

ScratchMount::ScratchMount(std::size_t size_mb, std::size_t max_files, const Identity& owner) {
  UniqueFd context(static_cast<int>(::syscall(SYS_fsopen, "tmpfs", FSOPEN_CLOEXEC)));
  if (!context) {
    throw SandboxError("cannot make a build's scratch area (" + errno_text() +
                       "; this needs Linux 5.2)");
  }
  configure(context.get(), "size", std::to_string(size_mb * 1024 * 1024));
  configure(context.get(), "nr_inodes", std::to_string(max_files));
  configure(context.get(), "mode", "0700");
  configure(context.get(), "uid", std::to_string(owner.uid));
  configure(context.get(), "gid", std::to_string(owner.gid));
  if (::syscall(SYS_fsconfig, context.get(), FSCONFIG_CMD_CREATE, nullptr, nullptr, 0) != 0) {
    throw SandboxError("cannot make a build's scratch area: " + errno_text());
  }
  mount_.reset(static_cast<int>(::syscall(SYS_fsmount, context.get(), FSMOUNT_CLOEXEC,
                                          MOUNT_ATTR_NOSUID | MOUNT_ATTR_NODEV)));
  if (!mount_) throw SandboxError("cannot mount a build's scratch area: " + errno_text());
}

bool ScratchMount::full() const {
  struct statfs stats {};
  return ::fstatfs(mount_.get(), &stats) == 0 && stats.f_bavail == 0;
}

}  // namespace arena::sandbox
