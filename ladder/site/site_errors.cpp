#include "ladder/site/site_errors.h"

#include "ladder/server/http_answers.h"
#include "ladder/site/site_html.h"
#include "ladder/site/site_requests.h"
#include "ladder/store/accounts.h"
#include "ladder/store/database.h"
#include "ladder/store/versions.h"

namespace ladder::site {

namespace {

void error_page(httplib::Response& res, int status, std::string_view message) {
  std::string title = status == 404 ? "Not found" : status == 403 ? "Refused" : "Error";
  send_page(
      res, status,
      page_start({title, "", 0}) + "<p class=\"error\">" + escape(message) + "</p>" + page_end());
}

}  // namespace

void answer_page_exception(httplib::Response& res, std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const server::HttpError& e) {
    if (e.status == 303) {
      redirect(res, e.what());
    } else {
      error_page(res, e.status, e.what());
    }
  } catch (const store::SubmissionRefused& e) {
    error_page(res, e.status, e.what());
  } catch (const store::DatabaseError&) {
    error_page(res, 503, "the database cannot be reached");
  } catch (...) {
    error_page(res, 500, "the page cannot be made");
  }
}

httplib::Server::Handler page_guarded(PageHandler handler) {
  return [handler = std::move(handler)](const httplib::Request& req, httplib::Response& res) {
    try {
      handler(req, res);
    } catch (...) {
      answer_page_exception(res, std::current_exception());
    }
  };
}

httplib::Server::HandlerWithContentReader post_guarded(PostHandler handler) {
  return [handler = std::move(handler)](const httplib::Request& req, httplib::Response& res,
                                        const httplib::ContentReader& reader) {
    try {
      handler(req, res, reader);
    } catch (...) {
      answer_page_exception(res, std::current_exception());
    }
  };
}

}  // namespace ladder::site
