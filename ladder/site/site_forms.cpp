#include "ladder/site/site_forms.h"

#include "ladder/server/http_answers.h"

namespace ladder::site {

using server::HttpError;

FormFields read_form(const httplib::Request& req, const httplib::ContentReader& reader) {
  if (req.get_header_value("Content-Type").rfind("application/x-www-form-urlencoded", 0) != 0) {
    throw HttpError(415, "the form is not sent as a form");
  }
  std::string body;
  bool over = false;
  bool complete = reader([&](const char* data, std::size_t size) {
    if (body.size() + size > kFormCap) {
      over = true;
      return false;
    }
    body.append(data, size);
    return true;
  });
  if (over) throw HttpError(413, "the form is too long");
  if (!complete) throw HttpError(400, "the form ended before its end");
  httplib::Params fields;
  httplib::detail::parse_query_text(body, fields);
  return fields;
}

std::string form_field(const FormFields& fields, const std::string& name) {
  auto found = fields.find(name);
  return found == fields.end() ? "" : found->second;
}

}  // namespace ladder::site
