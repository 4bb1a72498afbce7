#include "ladder/store/job_reports.h"

#include "ladder/store/durable_file.h"
#include "ladder/store/jobs.h"
#include "ladder/store/ladder_settings.h"
#include "ladder/store/secrets.h"
#include "ladder/store/versions.h"

namespace ladder::store {

namespace {

struct HeldJob {
  std::string lease_state;
  long long job = 0, player1 = 0, player2 = 0, ranked = 0, final = 0, version = 0;
  std::string kind;
};

std::optional<HeldJob> held_job(Transaction& tx, std::int64_t worker, const std::string& lease) {
  HeldJob held;
  long long owner = 0;
  tx.sql() << "SELECT l.state, l.worker, j.id, j.kind, j.player1, j.player2, j.is_ranked,"
              " j.is_final, j.version FROM leases l JOIN jobs j ON j.id = l.job"
              " WHERE l.lease = :l",
      soci::use(lease), soci::into(held.lease_state), soci::into(owner), soci::into(held.job),
      soci::into(held.kind), soci::into(held.player1), soci::into(held.player2),
      soci::into(held.ranked), soci::into(held.final), soci::into(held.version);
  if (!tx.sql().got_data() || owner != worker) return std::nullopt;
  return held;
}

// What in the report does not fit the job it names, or nothing.
std::string mismatch(const HeldJob& held, const JobReport& report) {
  if (held.job != report.job) return "the report names another job than its lease";
  if (report.kind == ReportKind::kError) return "";
  if ((report.kind == ReportKind::kBuild) != (held.kind == "build")) {
    return "the report's kind is not the job's";
  }
  if (report.kind == ReportKind::kBuild) return "";
  if (report.games.size() != 2) return "a pair is reported as two games";
  const std::array<std::int64_t, 2> first{held.player1, held.player2};
  const std::array<std::int64_t, 2> second{held.player2, held.player1};
  if (report.games[0].players != first || report.games[1].players != second) {
    return "the games' players are not the job's, in the job's seats";
  }
  return "";
}

std::string files_name(const JobReport& report, int seat_order, std::string_view lease) {
  return game_files_name(report.job, seat_order) + "-" + std::string(lease.substr(0, 16));
}

// Each game's files are written into a fresh directory, both games' flushed to the disk at once
// and the directories then renamed into place whole. A directory already in place is what a
// server killed before its commit left of this very lease's report: it is written again.
std::filesystem::path write_unsynced_game_files(const DataDir& dir, const std::string& name,
                                                const GameReport& game) {
  auto temporary = dir.game(name);
  temporary += ".tmp-" + random_hex(8);
  std::filesystem::create_directory(temporary);
  write_unsynced_file(temporary / "log", game.log);
  write_unsynced_file(temporary / "replay.html", game.replay);
  write_unsynced_file(temporary / "turns.json", game.turns);
  write_unsynced_file(temporary / "usage", game.usage);
  write_unsynced_file(temporary / "stderr1", game.stderr_text[0]);
  write_unsynced_file(temporary / "stderr2", game.stderr_text[1]);
  if (game.notes) write_unsynced_file(temporary / "notes.json", *game.notes);
  return temporary;
}

void write_report_files(const DataDir& dir, const HeldJob& held, const JobReport& report,
                        std::string_view lease) {
  if (report.kind == ReportKind::kBuild) {
    write_durable_file(dir.build_log(held.version), report.build_log);
  } else if (report.kind == ReportKind::kPair) {
    std::array<std::filesystem::path, 2> written;
    for (int i = 0; i < 2; ++i)
      written[i] = write_unsynced_game_files(dir, files_name(report, i, lease), report.games[i]);
    sync_file_system(written[0]);
    for (int i = 0; i < 2; ++i) {
      const auto place = dir.game(files_name(report, i, lease));
      std::filesystem::remove_all(place);
      move_durable_file(written[i], place);
    }
  }
}

// `sign` 1 counts a game, -1 takes it back.
void count_game(Transaction& tx, long long a, long long b, int winner_seat, int sign,
                std::int64_t now) {
  auto score = [&](long long me, long long other, int my_seat) {
    int win = winner_seat == my_seat ? sign : 0;
    int draw = winner_seat == 0 ? sign : 0;
    int loss = winner_seat != 0 && winner_seat != my_seat ? sign : 0;
    tx.sql() << "UPDATE versions SET games = games + :g, wins = wins + :w, draws = draws + :d,"
                " losses = losses + :l, last_played = :t, last_opponent = :o WHERE id = :v",
        soci::use(sign), soci::use(win), soci::use(draw), soci::use(loss), soci::use(now),
        soci::use(other), soci::use(me);
  };
  score(a, b, 1);
  score(b, a, 2);
  long long low = std::min(a, b), high = std::max(a, b);
  int low_seat = low == a ? 1 : 2;
  double points_low = winner_seat == 0 ? 0.5 : winner_seat == low_seat ? 1.0 : 0.0;
  double games = sign;
  points_low *= sign;
  tx.sql() << "INSERT INTO pair_totals (a, b, games, points_a) VALUES (:a, :b, :g, :p)"
              " ON CONFLICT (a, b) DO UPDATE SET games = pair_totals.games + excluded.games,"
              " points_a = pair_totals.points_a + excluded.points_a",
      soci::use(low), soci::use(high), soci::use(games), soci::use(points_low);
}

void record_pair(Transaction& tx, const HeldJob& held, const JobReport& report,
                 std::string_view lease, std::int64_t worker, std::int64_t now) {
  for (int i = 0; i < 2; ++i) {
    const GameReport& game = report.games[i];
    std::string files = files_name(report, i, lease);
    tx.sql() << "INSERT INTO games (job, seat_order, player1, player2, points1, points2, outcome,"
                " winner, is_ranked, is_final, finished, worker, files) VALUES (:j, :s, :a, :b,"
                " :p1, :p2, :o, :w, :r, :f, :t, :k, :n)",
        soci::use(report.job), soci::use(i), soci::use(game.players[0]), soci::use(game.players[1]),
        soci::use(game.points[0]), soci::use(game.points[1]), soci::use(game.outcome),
        soci::use(game.winner), soci::use(held.ranked), soci::use(held.final), soci::use(now),
        soci::use(worker), soci::use(files);
    if (held.ranked) count_game(tx, game.players[0], game.players[1], game.winner, 1, now);
  }
  if (held.ranked) {
    tx.sql() << "UPDATE versions SET pairs = pairs + 1 WHERE id IN (:a, :b)",
        soci::use(held.player1), soci::use(held.player2);
    bump_ratings_generation(tx);
  }
  tx.sql() << "UPDATE workers SET games = games + 2 WHERE id = :w", soci::use(worker);
}

void apply(Transaction& tx, const HeldJob& held, const JobReport& report, std::string_view lease,
           std::int64_t worker, std::int64_t now) {
  std::string key(lease);
  tx.sql() << "UPDATE leases SET state = 'reported' WHERE lease = :l", soci::use(key);
  if (report.kind == ReportKind::kError) {
    count_failed_attempt(tx, report.job, report.reason);
    return;
  }
  if (report.kind == ReportKind::kBuild) {
    bool passed = report.built && report.passed;
    std::string reason = report.reason.empty() ? (report.built ? "the entry failed its check"
                                                               : "the entry did not build")
                                               : report.reason;
    set_version_built(tx, held.version, passed, passed ? "" : reason);
    // Named: a bound value must outlive the statement, which runs at the end of the line.
    const std::string log_file = std::to_string(held.version) + ".log";
    tx.sql() << "UPDATE versions SET build_log = :f WHERE id = :v", soci::use(log_file),
        soci::use(held.version);
  } else {
    record_pair(tx, held, report, lease, worker, now);
  }
  tx.sql() << "UPDATE jobs SET state = 'done', lease = NULL, finished = :t WHERE id = :j",
      soci::use(now), soci::use(report.job);
}

}  // namespace

ReportAnswer apply_report(Database& db, const DataDir& dir, std::int64_t worker,
                          std::string_view lease, const JobReport& report, std::int64_t now) {
  std::string key(lease);
  HeldJob held;
  {
    Transaction tx(db, Access::kRead);
    auto found = held_job(tx, worker, key);
    if (!found) return {ReportOutcome::kNotHeld, ""};
    held = *found;
  }
  if (std::string problem = mismatch(held, report); !problem.empty()) {
    return {ReportOutcome::kMismatch, problem};
  }
  if (held.lease_state == "reported") return {ReportOutcome::kDuplicate, ""};
  if (held.lease_state != "held") return {ReportOutcome::kNotHeld, ""};
  write_report_files(dir, held, report, lease);
  Transaction tx(db);
  auto now_held = held_job(tx, worker, key);
  if (!now_held || now_held->lease_state == "expired" || now_held->lease_state == "returned") {
    return {ReportOutcome::kNotHeld, ""};
  }
  if (now_held->lease_state == "reported") return {ReportOutcome::kDuplicate, ""};
  apply(tx, held, report, lease, worker, now);
  tx.commit();
  return {ReportOutcome::kApplied, ""};
}

int void_worker_games(Database& db, std::int64_t worker, std::int64_t now) {
  constexpr std::size_t kBatch = 10000;
  Transaction tx(db);
  int voided = 0;
  for (;;) {
    std::vector<long long> ids(kBatch), jobs(kBatch), seat_orders(kBatch), a(kBatch), b(kBatch),
        winners(kBatch), ranked(kBatch), final(kBatch);
    tx.sql() << "SELECT id, job, seat_order, player1, player2, winner, is_ranked, is_final"
                " FROM games WHERE worker = :w AND voided = 0 ORDER BY id LIMIT 10000",
        soci::use(worker), soci::into(ids), soci::into(jobs), soci::into(seat_orders),
        soci::into(a), soci::into(b), soci::into(winners), soci::into(ranked), soci::into(final);
    for (std::size_t i = 0; i < ids.size(); ++i) {
      tx.sql() << "UPDATE games SET voided = 1 WHERE id = :g", soci::use(ids[i]);
      if (ranked[i]) count_game(tx, a[i], b[i], static_cast<int>(winners[i]), -1, now);
      if (seat_orders[i] != 0) continue;
      // The first game of each pair stands for its job: the pair goes back into the queue.
      if (ranked[i]) {
        tx.sql() << "UPDATE versions SET pairs = pairs - 1 WHERE id IN (:a, :b)", soci::use(a[i]),
            soci::use(b[i]);
      }
      queue_pairs(tx, {{a[i], b[i]}}, final[i] != 0, now);
      tx.sql() << "UPDATE jobs SET state = 'void' WHERE id = :j", soci::use(jobs[i]);
    }
    voided += static_cast<int>(ids.size());
    if (ids.size() < kBatch) break;
  }
  if (voided > 0) bump_ratings_generation(tx);
  tx.commit();
  return voided;
}

}  // namespace ladder::store
