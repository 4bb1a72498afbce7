#include "arena/game/game_outcome.h"

namespace arena {

std::optional<std::size_t> disqualification_index(std::string_view text) {
  for (std::size_t i = 0; i < kDisqualificationReasons.size(); ++i) {
    if (text == kDisqualificationReasons[i]) return i;
  }
  return std::nullopt;
}

bool is_disqualification(std::string_view text) { return disqualification_index(text).has_value(); }

std::array<std::string, 2> result_texts(std::string_view description) {
  std::array<std::string, 2> texts;
  std::string_view rest = description;
  while (!rest.empty()) {
    auto separator = rest.find(";_");
    std::string_view entry = rest.substr(0, separator);
    rest = separator == std::string_view::npos ? std::string_view() : rest.substr(separator + 2);
    if (entry.starts_with("PLAYER_1:_")) texts[0] = entry.substr(10);
    if (entry.starts_with("PLAYER_2:_")) texts[1] = entry.substr(10);
  }
  return texts;
}

std::array<double, 2> GameOutcome::points() const {
  if (draw) return {0.5, 0.5};
  return {winner == 1 ? 1.0 : 0.0, winner == 2 ? 1.0 : 0.0};
}

std::string GameOutcome::story(const std::array<SideResult, 2>& sides) const {
  if (winner != 0) return sides[winner - 1].name + " wins: " + reason;
  return (draw ? "draw: " : "no winner: ") + reason;
}

GameOutcome game_outcome(const std::array<SideResult, 2>& sides) {
  GameOutcome outcome;
  std::array<bool, 2> out = {is_disqualification(sides[0].text),
                             is_disqualification(sides[1].text)};
  if (out[0] || out[1]) {
    for (int i = 0; i < 2; ++i) {
      if (!out[i]) continue;
      if (!outcome.reason.empty()) outcome.reason += "; ";
      outcome.reason += sides[i].name + " disqualified: " + sides[i].text;
      if (sides[i].out_in_move)
        outcome.reason += " in move " + std::to_string(*sides[i].out_in_move);
    }
    if (out[0] != out[1]) outcome.winner = out[0] ? 2 : 1;
    return outcome;
  }
  const auto& [one, two] = sides;
  if (one.value == two.value) {
    outcome.draw = true;
    outcome.reason = std::to_string(one.value) + " to " + std::to_string(two.value);
    return outcome;
  }
  outcome.winner = one.value > two.value ? 1 : 2;
  const SideResult& high = sides[outcome.winner - 1];
  const SideResult& low = sides[2 - outcome.winner];
  outcome.reason = std::to_string(high.value) + " to " + std::to_string(low.value);
  return outcome;
}

}  // namespace arena
