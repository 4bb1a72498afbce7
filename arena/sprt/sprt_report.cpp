#include "arena/sprt/sprt_report.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "arena/system/atomic_file.h"

namespace arena::sprt {

namespace {

using stats::SprtResult;

std::string number(double value, int decimals, bool sign = false) {
  if (std::isnan(value)) return "-";
  if (std::isinf(value)) return value > 0 ? "+inf" : "-inf";
  // What rounds to zero shows as zero, never as "-0.0".
  if (std::abs(value) < 0.5 * std::pow(10.0, -decimals)) value = 0;
  char text[64];
  std::snprintf(text, sizeof text, sign ? "%+.*f" : "%.*f", decimals, value);
  return text;
}

// Drops a trailing ".0": "20" rather than "20.0" for a whole number.
std::string plain(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

nlohmann::ordered_json finite_or_null(double value) {
  return std::isfinite(value) ? nlohmann::ordered_json(value) : nlohmann::ordered_json(nullptr);
}

}  // namespace

std::string sprt_progress_line(const SprtReport& report) {
  const stats::SprtStatus& s = report.status;
  long long pairs = s.pentanomial.pairs();
  std::string line =
      "pairs " + std::to_string(pairs) + " (" + std::to_string(2 * pairs) + " games)  [";
  for (std::size_t k = 0; k < s.pentanomial.counts.size(); ++k) {
    line += (k ? " " : "") + std::to_string(s.pentanomial.counts[k]);
  }
  line += "]  LLR " + number(s.llr, 2) + " (" + number(s.bounds.lower, 2) + ", " +
          number(s.bounds.upper, 2) + ")  Elo " + number(s.elo.elo, 1, true) + " [" +
          number(s.elo.low, 1, true) + ", " + number(s.elo.high, 1, true) + "]  LOS " +
          number(100 * s.los, 1) + "%";
  return line;
}

std::string sprt_summary(const SprtReport& report, bool stopped_at_limit) {
  const stats::SprtStatus& s = report.status;
  const stats::SprtParameters& p = report.parameters;
  long long pairs = s.pentanomial.pairs();
  std::string text = report.player + " vs " + report.opponent + ": " + std::to_string(pairs) +
                     " pairs, " + std::to_string(2 * pairs) + " games\n";
  text += "pentanomial (pairs in which " + report.player + " scored 0, 1/2, 1, 3/2, 2):";
  for (long long count : s.pentanomial.counts) text += " " + std::to_string(count);
  text += "\nLLR " + number(s.llr, 3) + ", bounds " + number(s.bounds.lower, 3) + " and " +
          number(s.bounds.upper, 3) + " (H0: elo " + plain(p.elo0) + ", H1: elo " + plain(p.elo1) +
          ", alpha " + plain(p.alpha) + ", beta " + plain(p.beta) + ")\n";
  text += "Elo " + number(s.elo.elo, 1, true) + ", 95% interval " + number(s.elo.low, 1, true) +
          " to " + number(s.elo.high, 1, true) + "; LOS " + number(100 * s.los, 1) + "%\n";
  switch (s.result) {
    case SprtResult::h1:
      text += "H1 accepted: " + report.player + " is at least " + plain(p.elo1) +
              " Elo stronger than " + report.opponent + "\n";
      break;
    case SprtResult::h0:
      text += "H0 accepted: " + report.player + " is not " + plain(p.elo1) + " Elo stronger than " +
              report.opponent + " (at most " + plain(p.elo0) + ")\n";
      break;
    case SprtResult::none:
      if (stopped_at_limit) {
        text += "no decision after " + std::to_string(pairs) +
                " pairs: a higher --max-pairs takes the test further, and hypotheses further "
                "apart (--elo0, --elo1) decide in fewer pairs\n";
      }
      break;
  }
  return text;
}

std::string sprt_json(const SprtReport& report) {
  const stats::SprtStatus& s = report.status;
  nlohmann::ordered_json json;
  json["pentanomial"] = s.pentanomial.counts;
  json["llr"] = finite_or_null(s.llr);
  json["lower"] = finite_or_null(s.bounds.lower);
  json["upper"] = finite_or_null(s.bounds.upper);
  json["elo"] = finite_or_null(s.elo.elo);
  json["elo_low"] = finite_or_null(s.elo.low);
  json["elo_high"] = finite_or_null(s.elo.high);
  json["los"] = finite_or_null(s.los);
  json["pairs"] = s.pentanomial.pairs();
  json["games"] = 2 * s.pentanomial.pairs();
  json["result"] = s.result == SprtResult::h1   ? nlohmann::ordered_json("H1")
                   : s.result == SprtResult::h0 ? nlohmann::ordered_json("H0")
                                                : nlohmann::ordered_json(nullptr);
  json["player"] = report.player;
  json["opponent"] = report.opponent;
  json["elo0"] = report.parameters.elo0;
  json["elo1"] = report.parameters.elo1;
  json["alpha"] = report.parameters.alpha;
  json["beta"] = report.parameters.beta;
  return json.dump(2) + "\n";
}

void write_sprt_json(const std::filesystem::path& dir, const SprtReport& report) {
  replace_file(dir / "sprt.json", sprt_json(report));
}

}  // namespace arena::sprt
