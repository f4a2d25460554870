// SPDX-License-Identifier: MIT
#include "tools/zorvan/studio/server.h"

#include <netdb.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "examples/examples.h"
#include "tools/zorvan/failure.h"
#include "tools/zorvan/filter_files.h"
#include "tools/zorvan/photos.h"
#include "tools/zorvan/rendered.h"
#include "tools/zorvan/studio/address.h"
#include "tools/zorvan/studio/filter_save.h"
#include "tools/zorvan/studio/formats.h"
#include "tools/zorvan/studio/page.h"

namespace zv::cli {

namespace {

using httplib::Request;
using httplib::Response;
using nlohmann::json;

// A request refused for a reason of its own: its HTTP status and why.
struct Refused {
    int status;
    std::string message;
};

// Everything the page needs comes from this server, and nothing it serves
// may be framed by another page.
constexpr const char* kPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' blob: data:; "
    "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

void Secure(Response& res) {
    if (res.has_header("Content-Security-Policy")) return;
    res.set_header("Content-Security-Policy", kPolicy);
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Referrer-Policy", "no-referrer");
    res.set_header("Cache-Control", "no-store");
}

// Text from requests (a filter's bytes in a message, a file name) may not
// be UTF-8: such bytes become U+FFFD rather than fail the reply.
void Reply(Response& res, int status, const json& body) {
    res.status = status;
    res.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace), "application/json");
}

void Refuse(Response& res, int status, const std::string& message) {
    Reply(res, status, {{"error", message}});
}

constexpr const char* kTooLarge =
    "the request is too large: a filter may hold 1 MiB, an image file 256 MiB";

// Messages for the refusals the HTTP library makes by itself.
struct StatusText {
    int status;
    const char* message;
};
constexpr StatusText kStatusTexts[] = {
    {400, "malformed request"},
    {404, "no such page"},
    {413, kTooLarge},
    {414, "the address is too long"},
};

template <class Int = int32_t>
Int IntParam(const Request& req, const std::string& name, Int fallback) {
    if (!req.has_param(name)) return fallback;
    const std::string text = req.get_param_value(name);
    Int value = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (text.empty() || result.ec != std::errc() || result.ptr != end) {
        throw Refused{400, "parameter " + name + " must be a " + std::to_string(sizeof(Int) * 8) +
                               "-bit integer"};
    }
    return value;
}

RenderSettings Settings(const Request& req, const Image& source) {
    RenderSettings s;
    s.t = IntParam(req, "t", 0);
    s.total = IntParam(req, "total", 0);
    for (size_t k = 0; k < s.controls.size(); ++k) {
        s.controls[k] = IntParam(req, "c" + std::to_string(k), 0);
    }
    s.region = {IntParam(req, "x", 0), IntParam(req, "y", 0), IntParam(req, "w", source.width),
                IntParam(req, "h", source.height)};
    s.step = IntParam(req, "step", 1);
    const Rect& r = s.region;
    // Checked before the target is allocated for it.
    if (r.x < 0 || r.y < 0 || r.width < 1 || r.height < 1 || s.step < 1 ||
        int64_t{r.x} + r.width > source.width || int64_t{r.y} + r.height > source.height) {
        throw Refused{400, "the region must lie within the " + std::to_string(source.width) +
                               " x " + std::to_string(source.height) +
                               " image and the step be at least 1"};
    }
    return s;
}

const std::string& FilterBody(const std::string& body) {
    if (body.size() > kMaxFileBytes) throw Refused{413, "a filter file may hold at most 1 MiB"};
    return body;
}

FilterFile ParseBody(const std::string& body) {
    return ParseFilterFile(FilterBody(body), "filter");
}

// The request's body, however it is sent (with a length or in chunks), up
// to limit bytes: reading stops as soon as it would hold more. The library
// refuses a longer Content-Length itself, with 413 in res.
std::string ReadBody(const httplib::ContentReader& read, size_t limit, const Response& res) {
    std::string body;
    bool tooLarge = false;
    const bool read_whole = read([&](const char* data, size_t size) {
        tooLarge = size > limit - body.size();
        if (!tooLarge) body.append(data, size);
        return !tooLarge;
    });
    if (tooLarge || res.status == 413) throw Refused{413, kTooLarge};
    if (!read_whole) throw Refused{400, "the request's body could not be read"};
    return body;
}

json Describe(const FilterFile& file, const Filter& filter) {
    json controls = json::array();
    for (const ControlDefault& c : file.controls) {
        controls.push_back({{"name", c.name},
                            {"value", c.value},
                            {"low", c.low},
                            {"high", c.high},
                            {"given", c.given}});
    }
    const FilterInputs inputs = filter.Inputs();
    return {{"title", file.title},
            {"about", file.about},
            {"controls", controls},
            {"inputs", {{"controls", inputs.controls}, {"t", inputs.t}, {"total", inputs.total}}},
            {"visitingOrder", filter.VisitingOrder()}};
}

// The lanes a render may run in, one running render each.
constexpr std::string_view kLanes[] = {"preview", "original", "thumb", "download"};

Image RenderIn(StudioState& state, const Request& req, const Filter& filter, const Image& source,
               RenderSettings settings) {
    const std::string lane = req.get_param_value("lane");
    if (std::find(std::begin(kLanes), std::end(kLanes), lane) == std::end(kLanes)) {
        throw Refused{400, "unknown lane \"" + lane.substr(0, 40) + "\""};
    }
    std::unique_ptr<Slot> slot;
    switch (state.renders.Begin(lane, IntParam<int64_t>(req, "seq", 0), slot)) {
        case Admission::kBusy: throw Refused{503, "too many renders at once; try again"};
        case Admission::kSuperseded: throw Refused{409, "superseded by a newer render"};
        case Admission::kAdmitted: break;
    }
    settings.cancel = slot->cancel();
    const Rect& r = settings.region;
    // Rounded up without passing through width + step, which may not fit.
    Image target((r.width - 1) / settings.step + 1, (r.height - 1) / settings.step + 1,
                 filter.TargetChannels(source.channels));
    if (Render(filter, View(source), Writable(target), settings) == Status::kCancelled) {
        throw Refused{409, "superseded by a newer render"};
    }
    return target;
}

// What the filter of the body is: its controls and what it reads.
void CheckFilter(StudioState&, const Request&, const std::string& body, Response& res) {
    const FilterFile file = ParseBody(body);
    Reply(res, 200, Describe(file, Filter(file)));
}

// A part of the result (or of the source, with original=1) as raw RGBA.
void RenderPart(StudioState& state, const Request& req, const std::string& body, Response& res) {
    const std::shared_ptr<const Image> source = state.Source();
    const bool original = req.has_param("original");
    const Filter filter = original ? Filter("c", kAllChannels) : Filter(ParseBody(body));
    const Image rgba =
        WithChannels(RenderIn(state, req, filter, *source, Settings(req, *source)), 4);
    res.set_header("X-Width", std::to_string(rgba.width));
    res.set_header("X-Height", std::to_string(rgba.height));
    res.set_content(reinterpret_cast<const char*>(rgba.pixels.data()), rgba.pixels.size(),
                    "application/octet-stream");
}

// The format results take unless another is asked for: the source's own,
// that its name gives, or PNG for one that cannot be written.
FileFormat OwnFormat(const std::string& name) {
    return FormatForPath(name).value_or(FileFormat::kPng);
}

// The whole result as a photo file, byte for byte what zorvan apply writes
// for the same source: in the format asked for or else the source's own,
// with quality, and with the source's metadata.
// With photo, the strip's place of the photo the page shows (-1: one opened
// in the page), it refuses to export another.
void Export(StudioState& state, const Request& req, const std::string& body, Response& res) {
    std::shared_ptr<const Photo> photo;
    std::string name;
    {
        const std::lock_guard lock(state.mutex);
        if (IntParam<int64_t>(req, "photo", state.shown) != state.shown) {
            throw Refused{409, "the photo shown has changed since; export again"};
        }
        photo = state.photo;
        name = state.imageName;
    }
    const std::string asked = req.get_param_value("format");
    const std::optional<FileFormat> format = asked.empty() ? OwnFormat(name) : FormatNamed(asked);
    if (!format) {
        throw Refused{400, "unknown format \"" + asked.substr(0, 40) + "\" (" +
                               FormatNames([](const photo::FormatInfo& f) { return f.writes; }) +
                               ")"};
    }
    WriteSettings write;
    write.format = *format;
    write.quality = IntParam(req, "quality", write.quality);
    if (write.quality < 1 || write.quality > 100) throw Refused{400, "quality must be 1 to 100"};
    write.metadata = &photo->metadata;
    write.threads = std::max(1u, std::thread::hardware_concurrency());
    const Filter filter(ParseBody(body));
    const Image result = RenderIn(state, req, filter, photo->image, Settings(req, photo->image));
    const photo::FormatInfo& type = photo::Info(*format);
    res.set_header("X-Extension", type.names[0]);
    res.set_content(EncodeImage(result, write, name), type.mediaType);
}

// The filter file written back, unless it is not the version the page
// sends: then 409 with the version it is, which the page sends once the
// user says to replace it, so that a change made after the question is
// not lost either.
void Save(StudioState& state, const Request& req, const std::string& body, Response& res) {
    if (!state.filterPath) {
        throw Refused{400, "the studio was started without a filter file (-f) to save to"};
    }
    const std::string& path = *state.filterPath;
    const std::lock_guard lock(state.mutex);
    const std::string now = FileVersion(path);
    if (now != req.get_param_value("version")) {
        const char* what = now.empty() ? " has been removed" : " has changed";
        return Reply(res, 409,
                     {{"error", OneLine(path) + what + " since it was loaded"}, {"version", now}});
    }
    WriteWhole(path, FilterBody(body));
    state.filterText = body;
    Reply(res, 200, {{"version", Version(body)}});
}

json VideoOf(const std::shared_ptr<VideoFrames>& video) {
    return video ? json{{"frames", video->count()}, {"fps", video->fps()}} : json();
}

// photo becomes the source under name, its place in the strip shown (-1
// for none), a frame of video when given, with what the page needs of it.
void Show(StudioState& state, std::shared_ptr<const Photo> photo, const std::string& name,
          int64_t shown, Response& res, std::shared_ptr<VideoFrames> video = nullptr) {
    Reply(res, 200,
          {{"width", photo->image.width},
           {"height", photo->image.height},
           {"name", name},
           {"extension", photo::Info(OwnFormat(name)).names[0]},
           {"video", VideoOf(video)}});
    const std::lock_guard lock(state.mutex);
    state.video = std::move(video);
    state.photo = std::move(photo);
    state.imageName = name;
    state.imageIsFile = true;
    state.shown = shown;
}

// An image file from the page becomes the source, turned upright.
void TakeImage(StudioState& state, const Request& req, const std::string& body, Response& res) {
    if (body.empty()) throw Refused{400, "no image was sent"};
    const std::string name = req.get_param_value("name").substr(0, 200);
    Show(state,
         std::make_shared<const Photo>(DecodePhoto(body, name.empty() ? "image" : name, true)),
         name, -1, res);
}

// One of the folder's photos, named by its place in the strip, becomes the source.
void ShowPhoto(StudioState& state, const Request& req, const std::string&, Response& res) {
    const int64_t index = IntParam<int64_t>(req, "index", -1);
    if (index < 0 || index >= static_cast<int64_t>(state.photos.size())) {
        throw Refused{400, "the strip has no photo " + std::to_string(index)};
    }
    const std::string& path = state.photos[static_cast<size_t>(index)];
    Show(state, std::make_shared<const Photo>(ReadPhoto(path, true)), path, index, res);
}

// Frame t of the video becomes the source.
void ShowFrame(StudioState& state, const Request& req, const std::string&, Response& res) {
    std::shared_ptr<VideoFrames> video;
    std::string name;
    int64_t shown = -1;
    {
        const std::lock_guard lock(state.mutex);
        video = state.video;
        name = state.imageName;
        shown = state.shown;
    }
    if (!video) throw Refused{400, "no video is shown"};
    Show(state, video->At(IntParam<int64_t>(req, "t", 0)), name, shown, res, video);
}

json ExportNow(StudioState& state) {
    if (!state.videoExport) return json();
    const VideoExport::Progress p = state.videoExport->Now();
    return {{"file", p.file},       {"done", p.done},           {"total", p.total},
            {"running", p.running}, {"cancelled", p.cancelled}, {"error", p.error}};
}

// The whole video written with the filter and controls of the request,
// unless an export runs.
void StartVideoExport(StudioState& state, const Request& req, const std::string& body,
                      Response& res) {
    std::shared_ptr<VideoFrames> video;
    std::string path;
    {
        const std::lock_guard lock(state.mutex);
        video = state.video;
        path = state.imageName;
    }
    if (!video) throw Refused{400, "no video is shown"};
    const FilterFile file = ParseBody(body);
    const RenderSettings settings = Settings(req, *state.Source());
    const std::lock_guard lock(state.batchMutex);
    if (state.videoExport && state.videoExport->Now().running) {
        throw Refused{409, "an export of the video is running already"};
    }
    state.videoExport.reset();
    state.videoExport =
        std::make_unique<VideoExport>(path, video->count(), file, settings.controls);
    Reply(res, 200, ExportNow(state));
}

void CancelVideoExport(StudioState& state, const Request&, const std::string&, Response& res) {
    const std::lock_guard lock(state.batchMutex);
    if (state.videoExport) state.videoExport->Cancel();
    Reply(res, 200, ExportNow(state));
}

json Described(const Batch::Progress& p) {
    json failed = json::array();
    for (const Batch::Failed& f : p.failed)
        failed.push_back({{"name", f.name}, {"error", f.error}});
    return {{"folder", p.folder}, {"done", p.done},       {"total", p.total},
            {"failed", failed},   {"running", p.running}, {"cancelled", p.cancelled}};
}

json BatchNow(StudioState& state) {
    return Described(state.batch ? state.batch->Now() : Batch::Progress{});
}

// Apply to all, with the filter and controls of the request, unless one runs.
void StartBatch(StudioState& state, const Request& req, const std::string& body, Response& res) {
    if (!state.folder) throw Refused{400, "the studio was started without a folder"};
    const FilterFile file = ParseBody(body);
    const RenderSettings settings = Settings(req, *state.Source());
    const std::lock_guard lock(state.batchMutex);
    if (state.batch && state.batch->Now().running) {
        throw Refused{409, "Apply to all is running already"};
    }
    state.batch.reset();
    state.batch = std::make_unique<Batch>(*state.folder, state.photos, file, settings);
    Reply(res, 200, BatchNow(state));
}

void CancelBatch(StudioState& state, const Request&, const std::string&, Response& res) {
    const std::lock_guard lock(state.batchMutex);
    if (state.batch) state.batch->Cancel();
    Reply(res, 200, BatchNow(state));
}

json State(StudioState& state) {
    const std::shared_ptr<const Image> image = state.Source();
    json examples = json::array();
    for (const Example& e : Examples()) {
        const RawExample& raw = FindRawExample(e.name);
        examples.push_back(
            {{"name", e.name},
             {"title", e.filter.title},
             {"about", e.filter.about},
             {"text", std::string(reinterpret_cast<const char*>(raw.bytes), raw.size)}});
    }
    json photos = json::array();
    for (const std::string& path : state.photos) {
        photos.push_back(std::filesystem::path(path).filename().string());
    }
    const std::lock_guard lock(state.mutex);
    return {{"width", image->width},
            {"height", image->height},
            {"imageName", state.imageName},
            {"imageFile", state.imageIsFile ? json(state.imageName) : json()},
            {"extension", photo::Info(OwnFormat(state.imageName)).names[0]},
            {"photos", photos},
            {"shown", state.shown},
            {"video", VideoOf(state.video)},
            {"filter", state.filterText},
            {"filterPath", state.filterPath ? json(*state.filterPath) : json()},
            {"filterVersion", Version(state.filterText)},
            {"maxFileBytes", kMaxFileBytes},
            {"formats", FormatsForPage()},
            {"examples", examples}};
}

// Runs body with every refusal and error turned into an HTTP error with a
// JSON message; a filter that does not compile says where.
template <class Body>
void Guarded(Response& res, Body body) {
    try {
        body();
    } catch (const Refused& r) {
        Refuse(res, r.status, r.message);
    } catch (const Error& e) {
        Reply(res, e.status() == Status::kBadArgument ? 400 : 422,
              {{"error", e.what()},
               {"detail", e.detail()},
               {"line", e.line()},
               {"column", e.column()}});
    } catch (const Failure& f) {
        Refuse(res, 422, f.what());
    } catch (const std::bad_alloc&) {
        Refuse(res, 507, "out of memory");
    }
}

// A route that reads the request's body within the state's limit first.
template <class Body>
httplib::Server::HandlerWithContentReader Posted(StudioState& state, Body body) {
    return [&state, body](const Request& req, Response& res, const httplib::ContentReader& read) {
        Guarded(res, [&] { body(req, ReadBody(read, state.maxUploadBytes, res), res); });
    };
}

// The paths served by GET, and those by POST, which alone take a body.
struct Paths {
    std::set<std::string> got, posted;
};

// Whether the HTTP library reads a body for method, when it has one.
bool BringsBody(const std::string& method) {
    constexpr std::string_view kMethods[] = {"POST", "PUT", "PATCH", "DELETE", "PRI"};
    return std::find(std::begin(kMethods), std::end(kMethods), method) != std::end(kMethods);
}

struct MediaType {
    std::string_view extension;
    const char* type;
};
constexpr MediaType kMediaTypes[] = {
    {".html", "text/html; charset=utf-8"},
    {".css", "text/css; charset=utf-8"},
    {".js", "text/javascript; charset=utf-8"},
};

const char* MediaTypeOf(std::string_view path) {
    for (const MediaType& m : kMediaTypes) {
        if (path.ends_with(m.extension)) return m.type;
    }
    return "application/octet-stream";
}

std::string WithToken(std::string_view page, const std::string& token) {
    std::string out(page);
    constexpr std::string_view kMark = "%TOKEN%";
    for (size_t at = out.find(kMark); at != std::string::npos; at = out.find(kMark, at)) {
        out.replace(at, kMark.size(), token);
    }
    return out;
}

}  // namespace

void Serve(httplib::Server& server, StudioState& state) {
    server.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
    server.set_payload_max_length(state.maxUploadBytes);
    // The paths served, filled in as the routes are set up below.
    const auto paths = std::make_shared<Paths>();
    server.set_pre_routing_handler([&state, paths](const Request& req, Response& res) {
        Secure(res);
        // The library's form parser would want a receiver of parts.
        if (req.is_multipart_form_data()) {
            Refuse(res, 415, "send the file as it is, not as a form");
            return httplib::Server::HandlerResponse::Handled;
        }
        const std::string token = req.has_param("token") ? req.get_param_value("token")
                                                         : req.get_header_value("X-Zorvan-Token");
        const auto refusal =
            state.access.Check(token, req.get_header_value("Host"), req.get_header_value("Origin"));
        if (refusal) {
            Refuse(res, refusal->status, refusal->message);
            return httplib::Server::HandlerResponse::Handled;
        }
        // The library reads a body without a limit when no route takes it.
        if (BringsBody(req.method) && !(req.method == "POST" && paths->posted.count(req.path))) {
            const bool known = paths->posted.count(req.path) || paths->got.count(req.path);
            Refuse(res, known ? 405 : 404,
                   known ? req.method + " is not a method of " + req.path : "no such page");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server.set_error_handler([](const Request&, Response& res) {
        if (!res.body.empty()) return;
        Secure(res);
        for (const StatusText& s : kStatusTexts) {
            if (s.status == res.status) return Refuse(res, res.status, s.message);
        }
        Refuse(res, res.status, "refused");
    });
    server.set_exception_handler([](const Request&, Response& res, std::exception_ptr) {
        Refuse(res, 500, "internal error");
    });

    const auto get = [&](const std::string& path, httplib::Server::Handler handler) {
        paths->got.insert(path);
        server.Get(path, std::move(handler));
    };
    for (size_t i = 0; i < kPageAssetCount; ++i) {
        const PageAsset& asset = kPageAssets[i];
        const bool page = std::string_view(asset.path) == "/index.html";
        const char* type = MediaTypeOf(asset.path);
        get(page ? "/" : asset.path, [&state, &asset, page, type](const Request&, Response& res) {
            if (page) return res.set_content(WithToken(asset.text(), state.access.token()), type);
            res.set_content(asset.text().data(), asset.size, type);
        });
    }
    get("/api/state", [&state](const Request&, Response& res) {
        Guarded(res, [&] { Reply(res, 200, State(state)); });
    });
    const auto route = [&](const char* path, auto handler) {
        paths->posted.insert(path);
        server.Post(path, Posted(state, [&state, handler](const Request& req,
                                                          const std::string& body, Response& res) {
                        handler(state, req, body, res);
                    }));
    };
    route("/api/check", CheckFilter);
    route("/api/render", RenderPart);
    route("/api/export", Export);
    route("/api/save", Save);
    route("/api/photo", ShowPhoto);
    route("/api/batch", StartBatch);
    route("/api/batch/cancel", CancelBatch);
    get("/api/batch", [&state](const Request&, Response& res) {
        Guarded(res, [&] {
            const std::lock_guard lock(state.batchMutex);
            Reply(res, 200, BatchNow(state));
        });
    });
    route("/api/image", TakeImage);
    route("/api/frame", ShowFrame);
    route("/api/video-export", StartVideoExport);
    route("/api/video-export/cancel", CancelVideoExport);
    server.Get("/api/video-export", [&state](const Request&, Response& res) {
        Guarded(res, [&] {
            const std::lock_guard lock(state.batchMutex);
            Reply(res, 200, ExportNow(state));
        });
    });
}

int Bind(httplib::Server& server, const std::string& address, int port) {
    // Not SO_REUSEPORT, the library's default, under which a second server
    // on the port would share its connections.
    server.set_socket_options([](socket_t sock) {
        const int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    // A name that resolves to nothing would otherwise fail with whatever errno
    // the resolver left behind.
    addrinfo hints{};
    hints.ai_flags = AI_PASSIVE;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int status = getaddrinfo(address.c_str(), nullptr, &hints, &found); status != 0) {
        throw Failure(kExitIo, "studio: cannot listen on " + address + ": " + gai_strerror(status));
    }
    freeaddrinfo(found);
    errno = 0;
    const int bound = port == 0 ? server.bind_to_any_port(address)
                                : (server.bind_to_port(address, port) ? port : -1);
    if (bound >= 0) return bound;
    const std::string where = UrlHost(address) + ":" + std::to_string(port);
    if (errno == EADDRINUSE) {
        throw Failure(kExitIo, "studio: port " + std::to_string(port) +
                                   " is in use (by another studio or program); choose another "
                                   "with --port, or leave it out for a free one");
    }
    throw Failure(kExitIo, "studio: cannot listen on " + where + ": " +
                               (errno ? std::strerror(errno) : "not an address of this machine"));
}

}  // namespace zv::cli
