#include "arena/sandbox/permission_bits.h"

#include <sys/stat.h>

namespace arena::sandbox {
namespace fs = std::filesystem;

namespace {

// The ids the kernel shows for an owner that an idmapped mount does not map.
constexpr uid_t kOverflowId = 65534;

// The read, write and search bits of `st` that apply to `who`, as the three low bits.
mode_t bits_for(const struct stat& st, const Identity& who, const StagedDir* idmapped) {
  uid_t uid = st.st_uid;
  gid_t gid = st.st_gid;
  if (idmapped) {
    uid = uid == idmapped->owner ? who.uid : kOverflowId;
    gid = gid == idmapped->owner_group ? who.gid : kOverflowId;
  }
  if (uid == who.uid) return (st.st_mode >> 6) & 07;
  if (gid == who.gid) return (st.st_mode >> 3) & 07;
  return st.st_mode & 07;
}

}  // namespace

std::optional<FileAccess> access_along(const fs::path& from, const fs::path& path,
                                       const Identity& who, const StagedDir* idmapped) {
  fs::path walked = from;
  struct stat st {};
  for (const fs::path& part : path.lexically_relative(from)) {
    if (::stat(walked.c_str(), &st) != 0 || !(bits_for(st, who, idmapped) & S_IXOTH)) {
      return std::nullopt;
    }
    walked /= part;
  }
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  const mode_t bits = bits_for(st, who, idmapped);
  return FileAccess{S_ISDIR(st.st_mode), (bits & S_IROTH) != 0, (bits & S_IXOTH) != 0};
}

}  // namespace arena::sandbox
