// How a page of the web site fails: every handler is guarded so that an HttpError becomes an
// HTML page with its status (a 303 a redirect to the place it names), and any other exception
// a plain 500 page, never a crash.
#pragma once

#include <httplib.h>

#include <functional>

namespace ladder::site {

using PageHandler = std::function<void(const httplib::Request&, httplib::Response&)>;
httplib::Server::Handler page_guarded(PageHandler handler);
using PostHandler =
    std::function<void(const httplib::Request&, httplib::Response&, const httplib::ContentReader&)>;
httplib::Server::HandlerWithContentReader post_guarded(PostHandler handler);
void answer_page_exception(httplib::Response& res, std::exception_ptr error);

}  // namespace ladder::site
