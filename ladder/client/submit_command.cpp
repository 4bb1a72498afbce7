#include "ladder/client/submit_command.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <iostream>
#include <optional>
#include <thread>

#include "arena/cli/command_line.h"
#include "arena/system/bounded_read.h"
#include "arena/system/scratch_dir.h"
#include "ladder/archive/archive_digest.h"
#include "ladder/archive/entry_archive.h"
#include "ladder/client/api_client.h"
#include "ladder/client/token_file.h"

namespace ladder::client {

namespace fs = std::filesystem;

namespace {

const char* const kUsage =
    R"(usage: zarvo-ladder submit --server URL --token-file FILE DIR [--no-wait]

Packs DIR, the directory of your entry (its sources, as `zarvo-arena build DIR` takes them), into
a .tar.gz of its regular files and directories (a link or a special file in it is refused) and
sends it to the ladder as your next version. Prints the version's number, then follows it
through the ladder's build and check, printing each change of its state, until it is active
(it plays ranked games from now on) or failed (the reason is printed; the build's log is at
GET /api/entrants/NAME/versions/N/build-log).

Options:
  --server URL       the ladder, http://HOST:PORT or https://HOST
  --token-file FILE  the file holding your entrant token (keep it chmod 600)
  --no-wait          stop once the version is accepted

Exit status 0 when the version is active (or accepted, with --no-wait), 1 when it was refused
or failed, 2 for a bad command line, token or server.
)";

constexpr auto kPollInterval = std::chrono::seconds(1);
constexpr auto kLongestRetry = std::chrono::seconds(30);
constexpr auto kGiveUpAfter = std::chrono::minutes(10);

int fail_usage(const std::string& message) {
  std::cerr << "zarvo-ladder submit: " << message << "\n(zarvo-ladder submit --help shows how)"
            << std::endl;
  return 2;
}

std::string url_word(std::string_view word) {
  std::string encoded;
  for (unsigned char c : word) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.') {
      encoded += static_cast<char>(c);
    } else {
      static constexpr char kDigits[] = "0123456789ABCDEF";
      encoded += '%';
      encoded += kDigits[c >> 4];
      encoded += kDigits[c & 15];
    }
  }
  return encoded;
}

// Asks again after a lost connection, waiting longer each time, until kGiveUpAfter has passed.
Reply get_retrying(ApiClient& client, const std::string& path) {
  auto wait = std::chrono::seconds(1);
  const auto give_up = std::chrono::steady_clock::now() + kGiveUpAfter;
  for (;;) {
    try {
      return client.get(path);
    } catch (const ConnectionError& lost) {
      if (std::chrono::steady_clock::now() > give_up) throw;
      std::cerr << lost.what() << "; asking again in " << wait.count() << " s" << std::endl;
      std::this_thread::sleep_for(wait);
      wait = std::min(wait * 2, std::chrono::duration_cast<std::chrono::seconds>(kLongestRetry));
    }
  }
}

std::string text_or(const nlohmann::json& value, std::string fallback) {
  return value.is_string() ? value.get<std::string>() : fallback;
}

// Follows version `number` of the token's entrant until it is active (0) or failed (1).
int follow_version(ApiClient& client, long long number) {
  const Reply me = get_retrying(client, "/api/me");
  if (!me.ok()) throw ConnectionError("GET /api/me: " + me.error());
  const std::string entrant = text_or(me.json().value("entrant", nlohmann::json()), "");
  if (entrant.empty()) throw ConnectionError("GET /api/me named no entrant");
  std::string shown_state;
  for (;;) {
    const Reply reply = get_retrying(client, "/api/entrants/" + url_word(entrant));
    if (!reply.ok()) throw ConnectionError("GET /api/entrants/" + entrant + ": " + reply.error());
    const nlohmann::json entrant_json = reply.json();
    const nlohmann::json versions = entrant_json.value("versions", nlohmann::json::array());
    std::optional<nlohmann::json> version;
    for (const nlohmann::json& each : versions) {
      if (each.is_object() && each.value("number", -1ll) == number) version = each;
    }
    if (version) {
      const std::string state = text_or(version->value("state", nlohmann::json()), "unknown");
      if (state != shown_state) {
        std::cout << "version " << number << ": " << state;
        const std::string reason = text_or(version->value("reason", nlohmann::json()), "");
        if (state == "failed" && !reason.empty()) std::cout << ": " << reason;
        std::cout << std::endl;
        shown_state = state;
      }
      if (state == "active") return 0;
      if (state == "failed" || state == "retired") return 1;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
}

// The packed entry's bytes; throws Refusal for a directory the ladder would refuse.
std::string pack(const fs::path& dir) {
  arena::ScratchDir scratch("zarvo-ladder-submit.");
  const fs::path packed = scratch.path() / "entry.tar.gz";
  archive::pack_directory(dir, packed, archive::Limits{});
  // Packing kept the files within the unpacked limit; the archive is no larger than that.
  return arena::read_head(packed, archive::Limits{}.max_unpacked_bytes + (1u << 20));
}

}  // namespace

int run_submit_command(std::span<const std::string> args) {
  if (arena::cli::asks_for_help(args)) {
    std::cout << kUsage;
    return 0;
  }
  std::string server;
  fs::path token_file;
  bool wait = true;
  std::vector<std::string> dirs;
  try {
    arena::cli::CommandLine line;
    line.option("--server", [&](const std::string& v) { server = v; });
    line.option("--token-file", [&](const std::string& v) { token_file = v; });
    line.flag("--no-wait", [&] { wait = false; });
    line.positionals(dirs);
    line.parse(args);
    if (server.empty()) throw std::invalid_argument("give the ladder's --server URL");
    if (token_file.empty()) throw std::invalid_argument("give your --token-file");
    if (dirs.size() != 1) throw std::invalid_argument("give exactly one entry directory");
  } catch (const std::exception& error) {
    return fail_usage(error.what());
  }
  try {
    ApiClient client(server, read_token_file(token_file, std::cerr));
    std::string packed;
    try {
      packed = pack(dirs[0]);
    } catch (const archive::Refusal& refused) {
      std::cerr << "zarvo-ladder submit: " << refused.what() << std::endl;
      return 1;
    }
    const std::string sources = archive::sha256_hex(packed);
    const Reply reply = client.post("/api/submissions", std::move(packed), "application/gzip");
    if (!reply.ok()) {
      std::cerr << "zarvo-ladder submit: the ladder refused the submission: " << reply.error()
                << std::endl;
      return reply.status == 401 ? 2 : 1;
    }
    const nlohmann::json accepted = reply.json();
    const long long number = accepted.value("version", -1ll);
    if (number < 0) throw ConnectionError("the ladder's answer names no version");
    std::cout << "submitted " << dirs[0] << " as version " << number << " (sources " << sources
              << ")" << std::endl;
    return wait ? follow_version(client, number) : 0;
  } catch (const std::invalid_argument& error) {
    return fail_usage(error.what());
  } catch (const std::exception& error) {
    std::cerr << "zarvo-ladder submit: " << error.what() << std::endl;
    return 2;
  }
}

}  // namespace ladder::client
