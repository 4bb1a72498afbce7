#include "arena/sandbox/syscall_filter.h"

#include <fcntl.h>
#include <sched.h>
#include <seccomp.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "arena/sandbox/sandbox_policy.h"

namespace arena::sandbox {

namespace {

// Every call here answers EPERM, whatever its arguments. A bot needs none of them: they reach
// into the kernel's rarely used corners (where escapes come from), the host's state, or other
// processes. ptrace stays allowed: LeakSanitizer stops a process's threads through it at exit
// (a sanitizer build of a bot would fail without it), and the player's own PID namespace
// already keeps it to the player's own processes.
constexpr RefusedCall kRefused[] = {
    {"keyctl", "the kernel keyring: shared kernel state, a history of escapes"},
    {"add_key", "the kernel keyring"},
    {"request_key", "the kernel keyring"},
    {"bpf", "loads programs into the kernel"},
    {"perf_event_open", "kernel and hardware profiling, a large attack surface"},
    {"userfaultfd", "stalls the kernel on a page fault, the usual tool of race exploits"},
    {"io_uring_setup", "io_uring: a second system-call interface, often exploited"},
    {"io_uring_enter", "io_uring"},
    {"io_uring_register", "io_uring"},
    {"init_module", "loads a kernel module"},
    {"finit_module", "loads a kernel module"},
    {"delete_module", "unloads a kernel module"},
    {"kexec_load", "replaces the running kernel"},
    {"kexec_file_load", "replaces the running kernel"},
    {"mount", "changes the sandbox's mounts"},
    {"umount2", "removes the sandbox's mounts, which would uncover what they hide"},
    {"pivot_root", "changes the root file system"},
    {"move_mount", "the new mount interface"},
    {"open_tree", "the new mount interface"},
    {"fsopen", "the new mount interface"},
    {"fsmount", "the new mount interface"},
    {"fsconfig", "the new mount interface"},
    {"fspick", "the new mount interface"},
    {"mount_setattr", "changes a mount's flags (read-only, idmapping)"},
    {"name_to_handle_at", "file handles, which open files past the mounts"},
    {"open_by_handle_at", "opens a file by handle, past the sandbox's mounts"},
    {"swapon", "the host's swap"},
    {"swapoff", "the host's swap"},
    {"reboot", "reboots the host or ends the PID namespace"},
    {"acct", "process accounting into a file"},
    {"settimeofday", "sets the host's clock"},
    {"clock_settime", "sets the host's clock"},
    {"clock_adjtime", "sets the host's clock"},
    {"adjtimex", "sets the host's clock"},
    {"quotactl", "disk quotas"},
    {"quotactl_fd", "disk quotas"},
    {"setns", "enters another namespace"},
    {"unshare", "makes new namespaces, the kernel's namespace code is a large attack surface"},
    {"process_vm_readv", "reads another process's memory"},
    {"process_vm_writev", "writes another process's memory"},
    {"kcmp", "compares other processes' kernel objects"},
    {"pidfd_getfd", "takes another process's descriptors"},
    {"syslog", "the kernel's log"},
    {"iopl", "hardware port access"},
    {"ioperm", "hardware port access"},
    {"modify_ldt", "x86 segment tables, a history of kernel bugs"},
    {"lookup_dcookie", "kernel profiling internals"},
    {"fanotify_init", "watches whole file systems"},
    {"chroot", "changes the root directory"},
    {"sethostname", "the host name"},
    {"setdomainname", "the domain name"},
    {"vhangup", "hangs up a terminal"},
    {"uselib", "obsolete library loading"},
    {"ustat", "obsolete"},
    {"sysfs", "obsolete"},
    {"_sysctl", "obsolete"},
    {"nfsservctl", "obsolete"},
};

constexpr const char* kRefusedArguments[] = {
    "personality: EPERM for anything but the default domain (PER_LINUX, 0), the query too:\n"
    "    a 32-bit domain, READ_IMPLIES_EXEC or ADDR_NO_RANDOMIZE weaken the process",
    "clone: EPERM with any CLONE_NEW* flag, as unshare",
    "clone3: ENOSYS, since its flags lie in memory the filter cannot read; the C library\n"
    "    falls back to clone",
    "ioctl: EPERM for TIOCSTI and TIOCLINUX, which push input into a terminal",
    "foreign ABIs: EPERM for every call of the x32 and i386 ABIs",
};

// The namespace flags clone takes (CLONE_NEWTIME shares its bit with the exit signal there).
constexpr unsigned long kCloneNamespaceFlags[] = {CLONE_NEWNS,  CLONE_NEWCGROUP, CLONE_NEWUTS,
                                                  CLONE_NEWIPC, CLONE_NEWUSER,   CLONE_NEWPID,
                                                  CLONE_NEWNET};

constexpr std::uint32_t kRefusedIoctls[] = {TIOCSTI, TIOCLINUX};

struct ContextRelease {
  void operator()(void* context) const { seccomp_release(context); }
};
using Context = std::unique_ptr<void, ContextRelease>;

void check(int result, const std::string& what) {
  if (result < 0) {
    throw SandboxError("cannot build the system-call filter (" + what +
                       "): " + std::strerror(-result));
  }
}

int resolve(const char* name) {
  int number = seccomp_syscall_resolve_name(name);
  if (number == __NR_SCMP_ERROR) {
    throw SandboxError(
        std::string("cannot build the system-call filter: libseccomp does not know ") + name);
  }
  return number;
}

Context build() {
  Context context(seccomp_init(SCMP_ACT_ALLOW));
  if (!context) throw SandboxError("cannot build the system-call filter: seccomp_init failed");
  void* ctx = context.get();
  const std::uint32_t refuse = SCMP_ACT_ERRNO(EPERM);
  // Only the native ABI is in the filter: a call of any other (i386 through int 0x80, x32
  // through the x32 bit) gets the bad-architecture action.
  check(seccomp_attr_set(ctx, SCMP_FLTATR_ACT_BADARCH, refuse), "foreign ABIs");
  for (const RefusedCall& call : kRefused) {
    check(seccomp_rule_add(ctx, refuse, resolve(call.name), 0), call.name);
  }
  check(seccomp_rule_add(ctx, refuse, resolve("personality"), 1, SCMP_A0_32(SCMP_CMP_NE, 0)),
        "personality");
  for (unsigned long flag : kCloneNamespaceFlags) {
    check(seccomp_rule_add(ctx, refuse, resolve("clone"), 1,
                           SCMP_A0_64(SCMP_CMP_MASKED_EQ, flag, flag)),
          "clone");
  }
  check(seccomp_rule_add(ctx, SCMP_ACT_ERRNO(ENOSYS), resolve("clone3"), 0), "clone3");
  for (std::uint32_t request : kRefusedIoctls) {
    check(seccomp_rule_add(ctx, refuse, resolve("ioctl"), 1, SCMP_A1_32(SCMP_CMP_EQ, request)),
          "ioctl");
  }
  return context;
}

// libseccomp writes the program to a descriptor; a memory file takes it.
std::string export_program(void* context) {
  UniqueFd file(::memfd_create("zarvo-syscall-filter", MFD_CLOEXEC));
  if (!file) throw SandboxError(std::string("memfd_create: ") + std::strerror(errno));
  check(seccomp_export_bpf(context, file.get()), "export");
  off_t size = ::lseek(file.get(), 0, SEEK_CUR);
  if (size <= 0) throw SandboxError("cannot build the system-call filter: empty program");
  std::string program(static_cast<std::size_t>(size), '\0');
  if (::pread(file.get(), program.data(), program.size(), 0) != size) {
    throw SandboxError(std::string("cannot read the system-call filter back: ") +
                       std::strerror(errno));
  }
  return program;
}

}  // namespace

std::span<const RefusedCall> refused_calls() { return kRefused; }

std::span<const char* const> refused_call_arguments() { return kRefusedArguments; }

const std::string& syscall_filter_program() {
  static const std::string program = export_program(build().get());
  return program;
}

UniqueFd syscall_filter_fd() {
  const std::string& program = syscall_filter_program();
  UniqueFd made(::memfd_create("zarvo-syscall-filter", MFD_CLOEXEC));
  if (!made) throw SandboxError(std::string("memfd_create: ") + std::strerror(errno));
  // Above the standard streams, which the child fills in first.
  UniqueFd file(::fcntl(made.get(), F_DUPFD_CLOEXEC, 3));
  if (!file) throw SandboxError(std::string("fcntl: ") + std::strerror(errno));
  std::size_t written = 0;
  while (written < program.size()) {
    ssize_t n = ::write(file.get(), program.data() + written, program.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      throw SandboxError(std::string("cannot write the system-call filter: ") +
                         std::strerror(errno));
    written += static_cast<std::size_t>(n);
  }
  if (::lseek(file.get(), 0, SEEK_SET) != 0) {
    throw SandboxError(std::string("lseek: ") + std::strerror(errno));
  }
  return file;
}

}  // namespace arena::sandbox
