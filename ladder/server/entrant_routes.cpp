#include "ladder/server/entrant_routes.h"

#include <ctime>

#include "arena/system/bounded_read.h"
#include "ladder/archive/entry_archive.h"
#include "ladder/server/http_answers.h"
#include "ladder/server/upload_receiver.h"
#include "ladder/store/durable_file.h"
#include "ladder/store/public_views.h"
#include "ladder/store/versions.h"

namespace ladder::server {

namespace {

std::string too_big(const LadderContext& context) {
  return "an entry's archive may hold at most " + std::to_string(context.options.max_packed_bytes) +
         " bytes";
}

// Streams the body to a file under uploads/, checks it and moves it to sources/SHA256.tar.gz;
// returns the hash.
std::string store_upload(LadderContext& context, const httplib::ContentReader& reader) {
  UploadReceiver upload(context.dir.uploads(), context.options.max_packed_bytes);
  bool complete = reader([&](const char* data, std::size_t size) {
    return upload.receive(std::string_view(data, size));
  });
  if (upload.over_cap()) throw HttpError(413, too_big(context));
  if (!complete) throw HttpError(400, "the upload ended before its end");
  std::string sha256 = upload.finish();
  try {
    ladder::archive::check_archive(upload.file(),
                                   {context.options.max_files, context.options.max_unpacked_bytes});
  } catch (const ladder::archive::Refusal& e) {
    throw HttpError(400, std::string("the archive is refused: ") + e.what());
  }
  auto target = context.dir.sources(sha256);
  if (!std::filesystem::exists(target)) store::move_durable_file(upload.file(), target);
  return sha256;
}

void submit(LadderContext& context, const httplib::Request& req, httplib::Response& res,
            const httplib::ContentReader& reader) {
  auto caller = require_caller(context.db, req, store::Role::kEntrant);
  if (!upload_fits(context, req)) throw HttpError(413, too_big(context));
  std::int64_t now = std::time(nullptr);
  store::check_may_submit(context.db, caller.id, context.options.versions_per_day, now);
  std::string sha256 = store_upload(context, reader);
  auto version =
      store::add_version(context.db, caller.id, sha256, context.options.versions_per_day, now);
  send_json(res, 201, {{"version", version.number}});
}

void build_log(LadderContext& context, const httplib::Request& req, httplib::Response& res) {
  auto caller = require_caller(context.db, req, store::Role::kEntrant);
  if (req.matches[1].str() != caller.name) {
    throw HttpError(403, "only the entrant itself may read its build logs");
  }
  std::int64_t number = parse_id(req.matches[2].str(), "the version's number");
  std::optional<std::int64_t> id;
  {
    store::Transaction tx(context.db, store::Access::kRead);
    if (number <= 1 << 30) id = store::version_id(tx, caller.id, static_cast<int>(number));
  }
  if (!id) throw HttpError(404, "no such version");
  auto file = context.dir.build_log(*id);
  if (!std::filesystem::is_regular_file(file)) throw HttpError(404, "the version is not built yet");
  res.set_content(arena::read_head(file, context.options.max_report_bytes),
                  "text/plain; charset=utf-8");
}

}  // namespace

bool upload_fits(const LadderContext& context, const httplib::Request& req) {
  if (!req.has_header("Content-Length")) return true;
  try {
    return std::stoull(req.get_header_value("Content-Length")) <= context.options.max_packed_bytes;
  } catch (const std::exception&) {
    return false;
  }
}

void add_entrant_routes(httplib::Server& server, LadderContext& context) {
  server.Get("/api/me", guarded([&](const auto& req, auto& res) {
               auto caller = require_caller(context.db, req, store::Role::kEntrant);
               send_json(res, 200, {{"entrant", caller.name}});
             }));
  server.Post("/api/submissions", [&](const httplib::Request& req, httplib::Response& res,
                                      const httplib::ContentReader& reader) {
    try {
      submit(context, req, res, reader);
    } catch (...) {
      answer_exception(res, std::current_exception());
    }
  });
  server.Get(R"(/api/entrants/([^/]+)/versions/(\d+)/build-log)",
             guarded([&](const auto& req, auto& res) { build_log(context, req, res); }));
}

}  // namespace ladder::server
