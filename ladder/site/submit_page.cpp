// The upload form, "/submit", for a signed-in entrant: a .tar.gz archive of the entry's sources,
// streamed to the disk within the archive's cap as the API's uploads are, checked, and added as
// the entrant's next version; then on to the entrant's page, which shows its build as it goes.
#include <ctime>

#include "ladder/archive/entry_archive.h"
#include "ladder/server/http_answers.h"
#include "ladder/server/upload_receiver.h"
#include "ladder/site/site_errors.h"
#include "ladder/site/site_html.h"
#include "ladder/site/site_pages.h"
#include "ladder/site/site_requests.h"
#include "ladder/store/durable_file.h"
#include "ladder/store/secrets.h"
#include "ladder/store/versions.h"

namespace ladder::site {

namespace {

using server::HttpError;

// What a multipart body may add to the archive: boundaries, part headers, the CSRF field.
constexpr std::uint64_t kMultipartSlack = 16 << 10;
constexpr std::size_t kFieldCap = 256;

std::string limits_text(const server::ServerOptions& options) {
  return "<ul><li>a .tar.gz archive of at most " + std::to_string(options.max_packed_bytes) +
         " bytes,</li><li>unpacking to at most " + std::to_string(options.max_files) +
         " files and " + std::to_string(options.max_unpacked_bytes) + " bytes,</li><li>at most " +
         std::to_string(options.versions_per_day) + " versions in 24 hours.</li></ul>";
}

void submit_form(server::LadderContext& context, const httplib::Request& req,
                 httplib::Response& res) {
  auto session = require_session(context.db, req);
  std::string html = page_start({"Submit a version", session.name, 0});
  html += "<p>Send your entry's sources as " + limits_text(context.options) +
          "</p><form method=\"post\" action=\"/submit\" enctype=\"multipart/form-data\">" +
          csrf_field(session) +
          "<p><input type=\"file\" name=\"archive\" accept=\".tar.gz,.tgz,application/gzip\">"
          "</p><p><button>Submit</button></p></form>";
  send_page(res, 200, html + page_end());
}

bool length_fits(const server::LadderContext& context, const httplib::Request& req) {
  if (!req.has_header("Content-Length")) return true;
  try {
    return std::stoull(req.get_header_value("Content-Length")) <=
           context.options.max_packed_bytes + kMultipartSlack;
  } catch (const std::exception&) {
    return false;
  }
}

// Reads the multipart body: the CSRF field first, then the archive into `upload`.
void receive_archive(const Session& session, const httplib::ContentReader& reader,
                     server::UploadReceiver& upload) {
  std::string part, csrf;
  bool file_seen = false, csrf_failed = false, field_over = false;
  bool complete = reader(
      [&](const httplib::MultipartFormData& header) {
        part = header.name;
        if (part != "archive") return true;
        if (file_seen || !store::constant_time_equal(csrf, session.csrf)) {
          csrf_failed = true;
          return false;
        }
        file_seen = true;
        return true;
      },
      [&](const char* data, std::size_t size) {
        if (part == "archive") return upload.receive(std::string_view(data, size));
        if (part == "csrf" && csrf.size() + size <= kFieldCap) {
          csrf.append(data, size);
          return true;
        }
        field_over = part == "csrf";
        return !field_over;
      });
  if (csrf_failed || field_over) throw HttpError(403, "the form is stale: load the page again");
  if (upload.over_cap()) throw HttpError(413, "the archive is over its cap");
  if (!complete) throw HttpError(400, "the upload ended before its end");
  if (!file_seen) throw HttpError(400, "the form holds no archive");
}

void submit(server::LadderContext& context, const httplib::Request& req, httplib::Response& res,
            const httplib::ContentReader& reader) {
  require_same_origin(req);
  auto session = require_session(context.db, req);
  if (!req.is_multipart_form_data()) throw HttpError(415, "the form is not sent as a form");
  if (!length_fits(context, req)) throw HttpError(413, "the archive is over its cap");
  std::int64_t now = std::time(nullptr);
  store::check_may_submit(context.db, session.entrant, context.options.versions_per_day, now);
  server::UploadReceiver upload(context.dir.uploads(), context.options.max_packed_bytes);
  receive_archive(session, reader, upload);
  std::string sha256 = upload.finish();
  try {
    archive::check_archive(upload.file(),
                           {context.options.max_files, context.options.max_unpacked_bytes});
  } catch (const archive::Refusal& e) {
    throw HttpError(400, std::string("the archive is refused: ") + e.what());
  }
  auto target = context.dir.sources(sha256);
  if (!std::filesystem::exists(target)) store::move_durable_file(upload.file(), target);
  store::add_version(context.db, session.entrant, sha256, context.options.versions_per_day, now);
  redirect(res, "/entrants/" + url_part(session.name));
}

}  // namespace

void add_submit_page(httplib::Server& server, server::LadderContext& context) {
  server.Get("/submit",
             page_guarded([&](const auto& req, auto& res) { submit_form(context, req, res); }));
  server.Post("/submit", post_guarded([&](const auto& req, auto& res, const auto& reader) {
                submit(context, req, res, reader);
              }));
}

}  // namespace ladder::site
