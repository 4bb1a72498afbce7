// The challenge form's post, "/entrants/NAME/challenge": the signed-in entrant's unranked pairs
// against NAME's active version, then on to the entrant's own page, where they show among its
// games; a refusal is a page with its reason and when to ask again.
#include <ctime>

#include "ladder/server/http_answers.h"
#include "ladder/site/challenges.h"
#include "ladder/site/site_errors.h"
#include "ladder/site/site_forms.h"
#include "ladder/site/site_html.h"
#include "ladder/site/site_pages.h"
#include "ladder/site/site_requests.h"
#include "ladder/store/accounts.h"

namespace ladder::site {

namespace {

using server::HttpError;

int pairs_field(const FormFields& fields) {
  std::string text = form_field(fields, "pairs");
  if (text.empty()) return kDefaultPairs;
  return static_cast<int>(std::min<std::int64_t>(server::parse_id(text, "pairs"), 1000));
}

void post_challenge(server::LadderContext& context, const httplib::Request& req,
                    httplib::Response& res, const httplib::ContentReader& reader) {
  require_same_origin(req);
  auto fields = read_form(req, reader);
  auto session = require_session(context.db, req);
  require_csrf(session, form_field(fields, "csrf"));
  std::optional<std::int64_t> opponent;
  {
    store::Transaction tx(context.db, store::Access::kRead);
    opponent = store::entrant_id(tx, req.matches[1].str());
  }
  if (!opponent) throw HttpError(404, "no entrant is named so");
  std::int64_t now = std::time(nullptr);
  auto refusal = challenge(context.db, session.entrant, *opponent, pairs_field(fields), now);
  if (!refusal) {
    redirect(res, "/entrants/" + url_part(session.name));
    return;
  }
  std::string html = page_start({"Challenge refused", session.name, 0}) + "<p class=\"error\">" +
                     escape(refusal->reason) + ".</p>";
  if (refusal->next_free > 0) {
    html += "<p>The next free slot is at " + utc_time(refusal->next_free) + ".</p>";
  }
  send_page(res, 429, html + page_end());
}

}  // namespace

std::string challenge_form(const Session& session, std::string_view opponent) {
  return "<form method=\"post\" action=\"/entrants/" + url_part(opponent) + "/challenge\">" +
         csrf_field(session) +
         "<label>Challenge with <input type=\"number\" name=\"pairs\" "
         "min=\"1\" max=\"" +
         std::to_string(kMaxPairs) + "\" value=\"" + std::to_string(kDefaultPairs) +
         "\"> unranked pairs</label> <button>Challenge</button>"
         "</form><p class=\"note\">At most " +
         std::to_string(kOpenChallenges) + " challenges at a time and " +
         std::to_string(kPairsPerHour) + " pairs an hour.</p>";
}

void add_challenge_page(httplib::Server& server, server::LadderContext& context) {
  server.Post(R"(/entrants/([^/]+)/challenge)",
              post_guarded([&](const auto& req, auto& res, const auto& reader) {
                post_challenge(context, req, res, reader);
              }));
}

}  // namespace ladder::site
