// The players' system-call filter as a program: it holds every call the sandbox promises to
// refuse, refuses foreign ABIs, and reaches each bwrap whole through a descriptor of its own.
// That the kernel refuses the calls with EPERM is tried in real games (sandbox_game_test).
#include "arena/sandbox/syscall_filter.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <string>

#include "arena/sandbox/bwrap_command.h"

namespace {

using arena::sandbox::refused_calls;

TEST(SyscallFilter, RefusesEveryCallTheSandboxPromisesAndSaysWhy) {
  std::set<std::string> names;
  for (const auto& call : refused_calls()) {
    EXPECT_TRUE(names.insert(call.name).second) << "listed twice: " << call.name;
    EXPECT_GT(std::string(call.why).size(), 5u) << call.name;
  }
  for (const char* promised : {"keyctl",
                               "add_key",
                               "request_key",
                               "bpf",
                               "perf_event_open",
                               "userfaultfd",
                               "io_uring_setup",
                               "io_uring_enter",
                               "io_uring_register",
                               "init_module",
                               "finit_module",
                               "delete_module",
                               "kexec_load",
                               "kexec_file_load",
                               "mount",
                               "umount2",
                               "pivot_root",
                               "move_mount",
                               "open_tree",
                               "fsopen",
                               "fsmount",
                               "fsconfig",
                               "fspick",
                               "mount_setattr",
                               "name_to_handle_at",
                               "open_by_handle_at",
                               "swapon",
                               "swapoff",
                               "reboot",
                               "acct",
                               "settimeofday",
                               "clock_settime",
                               "clock_adjtime",
                               "adjtimex",
                               "quotactl",
                               "setns",
                               "unshare"}) {
    EXPECT_TRUE(names.contains(promised)) << promised;
  }
}

#if defined(__x86_64__)
TEST(SyscallFilter, CallsOfAForeignAbiGetEperm) {
  const std::string& program = arena::sandbox::syscall_filter_program();
  ASSERT_EQ(program.size() % sizeof(sock_filter), 0u);
  const auto* code = reinterpret_cast<const sock_filter*>(program.data());
  const std::size_t size = program.size() / sizeof(sock_filter);
  ASSERT_GE(size, 3u);
  // It starts by loading the ABI of the call and comparing it with the native one; where it
  // differs, it answers EPERM.
  EXPECT_EQ(code[0].code, BPF_LD | BPF_W | BPF_ABS);
  EXPECT_EQ(code[0].k, offsetof(seccomp_data, arch));
  ASSERT_EQ(code[1].code, BPF_JMP | BPF_JEQ | BPF_K);
  EXPECT_EQ(code[1].k, static_cast<std::uint32_t>(AUDIT_ARCH_X86_64));
  const std::size_t foreign = 2 + code[1].jf;
  ASSERT_LT(foreign, size);
  EXPECT_EQ(code[foreign].code, BPF_RET | BPF_K);
  EXPECT_EQ(code[foreign].k, SECCOMP_RET_ERRNO | EPERM);
}
#endif

TEST(SyscallFilter, EachBwrapGetsTheWholeProgramOnADescriptorOfItsOwn) {
  const std::string& program = arena::sandbox::syscall_filter_program();
  arena::UniqueFd first = arena::sandbox::syscall_filter_fd();
  arena::UniqueFd second = arena::sandbox::syscall_filter_fd();
  for (const arena::UniqueFd* fd : {&first, &second}) {
    ASSERT_GE(fd->get(), 3) << "not one of the standard streams";
    EXPECT_TRUE(::fcntl(fd->get(), F_GETFD) & FD_CLOEXEC) << "only the spawn path passes it on";
  }
  std::string read_back(program.size() + 1, '\0');
  ASSERT_EQ(::read(first.get(), read_back.data(), read_back.size()),
            static_cast<ssize_t>(program.size()));
  read_back.resize(program.size());
  EXPECT_EQ(read_back, program);
  // Reading one does not move the other.
  EXPECT_EQ(::lseek(second.get(), 0, SEEK_CUR), 0);

  arena::sandbox::Policy policy;
  policy.workdir = "/usr";
  auto args = arena::sandbox::bwrap_command(policy, "/bin/true", {"true"});
  auto at = std::find(args.begin(), args.end(), "--seccomp");
  ASSERT_NE(at, args.end());
  EXPECT_EQ(*(at + 1), std::to_string(arena::sandbox::kSyscallFilterFd));
  policy.syscall_filter = false;
  args = arena::sandbox::bwrap_command(policy, "/bin/true", {"true"});
  EXPECT_EQ(std::find(args.begin(), args.end(), "--seccomp"), args.end());
}

}  // namespace
