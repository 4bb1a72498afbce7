// An entry's sources as one archive: what an entrant's machine packs, what the server checks on
// upload and what a worker unpacks before a build. The archive comes from a stranger, so every
// member is checked before it is trusted: only regular files and directories, relative names
// that stay below the top, a bounded count, and a bounded size counted in the bytes actually
// unpacked (a compressed bomb lies in its headers). Reads .tar.gz, plain .tar and .zip; writes
// .tar.gz.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>

namespace ladder::archive {

struct Limits {
  std::uint64_t max_files = 2000;
  std::uint64_t max_unpacked_bytes = 50ull << 20;
};

// An archive or a directory that is not accepted; what() is a sentence for the person who made it.
struct Refusal : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Reads every member without writing anything. Throws Refusal.
void check_archive(const std::filesystem::path& archive, const Limits& limits);

// The same checks, writing the members below `into`, an empty directory, and never following a
// link. Files keep their owner's execute bit and nothing else of their mode: owner read and
// write, group and others read, no set-id bit. On a refusal `into` is left empty again. Throws
// Refusal, or std::system_error when the worker's own disk fails.
void unpack_archive(const std::filesystem::path& archive, const std::filesystem::path& into,
                    const Limits& limits);

// The regular files and directories below `dir` as a .tar.gz at `out`, in the byte order of
// their paths, with times, owners and modes normalised: the same tree gives the same bytes.
// Throws Refusal naming a link or a special file, or when the tree is over `limits`.
void pack_directory(const std::filesystem::path& dir, const std::filesystem::path& out,
                    const Limits& limits);

}  // namespace ladder::archive
