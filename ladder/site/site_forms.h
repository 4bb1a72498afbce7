// The body of a small form post (application/x-www-form-urlencoded) read within a cap, so that
// a form field can never cost more than a few kilobytes, and its fields by name.
#pragma once

#include <httplib.h>

#include <string>
#include <string_view>

namespace ladder::site {

inline constexpr std::size_t kFormCap = 16 << 10;

using FormFields = std::multimap<std::string, std::string>;

// Throws HttpError 413 over the cap, 415 for another kind of body, 400 for one cut short.
FormFields read_form(const httplib::Request& req, const httplib::ContentReader& reader);
// The field's value, or empty.
std::string form_field(const FormFields& fields, const std::string& name);

}  // namespace ladder::site
