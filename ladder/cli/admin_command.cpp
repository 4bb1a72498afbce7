#include "ladder/cli/admin_command.h"

#include <ctime>
#include <iostream>

#include "arena/match/option_values.h"
#include "ladder/cli/ladder_usage.h"
#include "ladder/league/final_round.h"
#include "ladder/store/accounts.h"
#include "ladder/store/data_dir.h"
#include "ladder/store/job_reports.h"
#include "ladder/store/jobs.h"
#include "ladder/store/ladder_settings.h"
#include "ladder/store/public_views.h"
#include "ladder/store/ratings_store.h"
#include "ladder/store/schema.h"

namespace ladder::cli {

namespace {

const char* const kAdminUsage = R"(usage: zarvo-ladder admin --data DIR [--db URL] COMMAND

Commands:
  add-entrant NAME          add an entrant; prints its token, once, on the last line
  add-worker NAME           add a worker; prints its token, once, on the last line
  disable-entrant NAME      the entrant's token stops working and its version stops playing
  block-worker NAME [--void-games]
                            the worker's token stops working and its jobs go back to the
                            queue; --void-games also takes its games out of the ratings and
                            queues their pairs again
  freeze, unfreeze          stop or allow new submissions
  status                    the queue, the workers and the failed jobs
  final --top N --games-per-pair G
                            freeze submissions and queue the final round among the N best
                            active versions, G games for each pairing; when it is played the
                            server writes the final standings and site under DIR/final
)";

struct AdminLine {
  StoreOptions store;
  std::vector<std::string> words;
  bool void_games = false;
  int top = 0;
  int games_per_pair = 0;
};

std::int64_t now() { return std::time(nullptr); }

void print_token(std::string_view what, std::string_view name, const std::string& token) {
  std::cout << what << " " << name << " added. Its token, shown only now:\n" << token << std::endl;
}

void print_status(const nlohmann::json& status) {
  std::cout << "Queue:\n";
  for (const auto& row : status["queue"]) {
    std::cout << "  " << row["kind"].get<std::string>() << " " << row["state"].get<std::string>()
              << ": " << row["jobs"] << "\n";
  }
  std::cout << "Workers:\n";
  for (const auto& w : status["workers"]) {
    std::time_t seen = w["last_heartbeat"].get<std::int64_t>();
    char when[32] = "never";
    if (seen > 0) std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S UTC", std::gmtime(&seen));
    std::cout << "  " << w["name"].get<std::string>()
              << (w["blocked"].get<bool>() ? " (blocked)" : "") << ": last heard " << when << ", "
              << w["games"] << " games\n";
  }
  std::cout << "Failed jobs:\n";
  for (const auto& job : status["failed"]) {
    std::cout << "  job " << job["job"] << " (" << job["kind"].get<std::string>()
              << "): " << (job["reason"].is_string() ? job["reason"].get<std::string>() : "")
              << "\n";
  }
}

void start_final(store::Database& db, int top, int games_per_pair) {
  store::Transaction tx(db);
  if (store::final_state(tx) != store::FinalState::kNone) {
    throw std::runtime_error("the final round was started already");
  }
  auto versions = store::top_active_versions(tx, top);
  if (versions.size() < 2) throw std::runtime_error("the final needs at least two active versions");
  std::vector<store::VersionPair> pairs;
  for (const auto& pick : league::final_round_pairs(versions, games_per_pair)) {
    pairs.emplace_back(pick.first, pick.second);
  }
  store::queue_pairs(tx, pairs, true, now());
  store::set_submissions_frozen(tx, true);
  store::set_final_state(tx, store::FinalState::kRunning);
  tx.commit();
  std::cout << "Submissions frozen; the final round of " << versions.size() << " versions is "
            << pairs.size() << " pairs, queued before the ranked ones." << std::endl;
}

int run(const AdminLine& line) {
  store::DataDir(line.store.data_dir).create();
  store::Database db(database_url(line.store));
  store::migrate(db);
  store::ensure_ladder_seed(db);
  const std::string& command = line.words[0];
  const std::string name = line.words.size() > 1 ? line.words[1] : "";
  if (command == "add-entrant") {
    print_token("Entrant", name, store::add_entrant(db, name, now()));
  } else if (command == "add-worker") {
    print_token("Worker", name, store::add_worker(db, name, now()));
  } else if (command == "disable-entrant") {
    store::disable_entrant(db, name);
    std::cout << "Entrant " << name << " disabled." << std::endl;
  } else if (command == "block-worker") {
    std::int64_t worker = store::block_worker(db, name);
    std::cout << "Worker " << name << " blocked." << std::endl;
    if (line.void_games) {
      int games = store::void_worker_games(db, worker, now());
      std::cout << games << " of its games voided, their pairs queued again." << std::endl;
    }
  } else if (command == "freeze" || command == "unfreeze") {
    store::Transaction tx(db);
    store::set_submissions_frozen(tx, command == "freeze");
    tx.commit();
    std::cout << "Submissions " << (command == "freeze" ? "frozen." : "open.") << std::endl;
  } else if (command == "status") {
    store::Transaction tx(db, store::Access::kRead);
    print_status(store::status_json(tx));
  } else {
    start_final(db, line.top, line.games_per_pair);
  }
  return 0;
}

void check_words(const AdminLine& line) {
  check_store_options(line.store);
  if (line.words.empty()) throw arena::cli::UsageError("give a command");
  const std::string& command = line.words[0];
  const bool named = command == "add-entrant" || command == "add-worker" ||
                     command == "disable-entrant" || command == "block-worker";
  const bool bare =
      command == "freeze" || command == "unfreeze" || command == "status" || command == "final";
  if (!named && !bare) throw arena::cli::UsageError("unknown command " + command);
  if (line.words.size() != (named ? 2u : 1u)) {
    throw arena::cli::UsageError(command + (named ? " takes one name" : " takes no argument"));
  }
  if (line.void_games && command != "block-worker") {
    throw arena::cli::UsageError("--void-games goes with block-worker");
  }
  if (command == "final" && (line.top < 2 || line.games_per_pair < 2)) {
    throw arena::cli::UsageError("final needs --top N (2 or more) and --games-per-pair G");
  }
}

}  // namespace

int run_admin_command(std::span<const std::string> args) {
  if (arena::cli::asks_for_help(args)) {
    std::cout << kAdminUsage;
    return 0;
  }
  AdminLine line;
  try {
    arena::cli::CommandLine parser;
    add_store_options(parser, line.store);
    parser.flag("--void-games", [&] { line.void_games = true; });
    parser.option("--top", [&](const std::string& v) {
      line.top = static_cast<int>(arena::parse_whole(v, 2, 10000));
    });
    parser.option("--games-per-pair", [&](const std::string& v) {
      line.games_per_pair = static_cast<int>(arena::parse_whole(v, 2, 10000));
    });
    parser.positionals(line.words);
    parser.parse(args);
    check_words(line);
  } catch (const arena::cli::UsageError& error) {
    return usage_error("admin", error.what());
  }
  try {
    return run(line);
  } catch (const std::exception& e) {
    std::cerr << "zarvo-ladder admin: " << e.what() << std::endl;
    return 1;
  }
}

}  // namespace ladder::cli
