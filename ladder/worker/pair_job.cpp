#include "ladder/worker/pair_job.h"

#include <map>

#include "arena/entry/entry_file.h"
#include "arena/series/game_runner.h"
#include "arena/series/match_jobs.h"
#include "arena/series/tournament_plan.h"
#include "ladder/worker/game_report.h"

namespace ladder::worker {

namespace fs = std::filesystem;

namespace {

arena::series::TournamentSettings pair_settings(const LeasedJob& job,
                                                const std::array<fs::path, 2>& entries) {
  arena::series::TournamentSettings settings;
  for (int seat = 0; seat < 2; ++seat) {
    std::string name = game_name(job.versions[seat]);
    if (seat == 1 && name == settings.players[0].name) name = "b" + name.substr(0, 31);
    try {
      settings.players.push_back({name, arena::entry::entry_command(entries[seat])});
    } catch (const std::exception& error) {
      throw JobError(version_label(job.versions[seat]) + ": " + error.what());
    }
  }
  settings.seed = job.seed;
  return settings;
}

}  // namespace

nlohmann::json do_pair_job(const LeasedJob& job, JobContext& context) {
  std::array<fs::path, 2> entries;
  for (int seat = 0; seat < 2; ++seat) {
    entries[seat] =
        context.cache.built_entry(context.client, job.versions[seat], context.stop_asked);
  }
  const arena::series::TournamentSettings settings = pair_settings(job, entries);
  const fs::path dir = make_fresh_dir(context.work, "pair");
  struct Remove {
    fs::path dir;
    ~Remove() {
      std::error_code ignored;
      fs::remove_all(dir, ignored);
    }
  } remove{dir};

  const std::array<arena::series::ScheduledGame, 2> games = arena::series::paired_games(1, 0, 1);
  std::vector<arena::series::MatchJob> matches;
  try {
    arena::series::JobFactory factory(settings, dir, job.seed);
    for (const auto& game : games) matches.push_back(factory.make(game));
  } catch (const std::exception& error) {
    throw JobError(std::string("the games cannot be prepared: ") + error.what());
  }
  std::map<int, arena::series::JobOutcome> outcomes;
  arena::series::RunCallbacks callbacks;
  callbacks.finished = [&](const arena::series::MatchJob& match,
                           const arena::series::JobOutcome& outcome) {
    outcomes[match.number] = outcome;
  };
  callbacks.done = context.stop_asked;
  arena::series::run_jobs(matches, 1, callbacks);

  nlohmann::json report = {{"lease", job.lease}, {"job", job.id}, {"kind", "pair"}};
  report["games"] = nlohmann::json::array();
  for (const arena::series::MatchJob& match : matches) {
    const auto found = outcomes.find(match.number);
    // A stop signal sent to the whole process group ends the games before the runner stops
    // them: they failed because the worker was stopped.
    const bool played =
        found != outcomes.end() && found->second.status == arena::series::JobStatus::played;
    if (!played && (found == outcomes.end() || context.stop_asked() ||
                    found->second.status == arena::series::JobStatus::stopped)) {
      throw JobStopped{};
    }
    if (!played) {
      throw JobError("game " + std::to_string(match.number) +
                     " of the pair failed: " + found->second.problem);
    }
    const auto record = arena::series::read_game_record(dir, match.files.log());
    if (!record) throw JobError("game " + std::to_string(match.number) + " left no result");
    const bool swapped = match.number == games[1].number;
    const std::array<long long, 2> seats = {job.versions[swapped ? 1 : 0].version_id,
                                            job.versions[swapped ? 0 : 1].version_id};
    report["games"].push_back(game_report(*record, match.files, seats));
  }
  return report;
}

}  // namespace ladder::worker
