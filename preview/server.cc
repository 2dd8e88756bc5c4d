#include "preview/server.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "bundle/run_files.h"

#ifdef __GNUC__
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#endif
#include <httplib.h>
#ifdef __GNUC__
#pragma GCC diagnostic pop
#endif

namespace plotweave {

namespace {

// An open page holds one connection for its event stream; the pool leaves
// room for several pages and their other requests.
constexpr size_t kServerThreads = 24;
// A comment on an idle event stream, so that a closed page is noticed.
constexpr auto kStreamPing = std::chrono::seconds(10);

// Reads a whole file of the kit.
bool ReadKitFile(const KitSearch& kit, const char* name, std::string* body) {
  char path[kPathCapacity];
  ReadFile file;
  if (!KitFile(kit, name, path) || OpenRegularFile(path, &file) != OpenCheck::kOpened) return false;
  char block[1 << 16];
  size_t n;
  while ((n = file.Read(block, sizeof block)) > 0) body->append(block, n);
  return !file.Failed();
}

// The page's name as an address: every byte but the unreserved ones as %XX.
std::string AddressOf(const char* name) {
  std::string out = "/";
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p != '\0'; ++p) {
    if ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') || (*p >= '0' && *p <= '9') || std::strchr("-._~", *p)) {
      out += static_cast<char>(*p);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", *p);
      out += hex;
    }
  }
  return out;
}

}  // namespace

struct PreviewServer::Inside {
  httplib::Server http;
  std::thread thread;
  ServerSetup setup{};
  int port = -1;

  std::mutex mutex;
  std::condition_variable changed;
  uint64_t version = 0;        // saves published
  uint64_t drawnVersion = 0;   // the save the page comes from; 0: none yet
  bool stopping = false;
  int frontPage = 0;
  int frontState = 0;
  size_t stateSize[2] = {0, 0};
  // Each save is made into the back buffers, which are then swapped in.
  PreviewPage pages[2];
  PreviewFindings findings;
  char states[2][kStateJsonCapacity];

  void Routes();
  void ServePage(httplib::Response& res);
};

PreviewServer::PreviewServer() : inside_(new Inside) {}

PreviewServer::~PreviewServer() {
  Stop();
  delete inside_;
}

PreviewPage* PreviewServer::NextPage() { return &inside_->pages[1 - inside_->frontPage]; }
PreviewFindings* PreviewServer::NextFindings() { return &inside_->findings; }

void PreviewServer::Publish(PlanState state, bool drawn) {
  Inside& in = *inside_;
  // Only this thread changes the versions, so they are read without the lock.
  const uint64_t version = in.version + 1;
  const uint64_t drawnVersion = drawn ? version : in.drawnVersion;
  const int back = 1 - in.frontState;
  in.stateSize[back] = FormatState(in.setup.planName, in.setup.pageName, version, drawnVersion, state, in.findings,
                                   in.states[back], sizeof in.states[back]);
  {
    std::lock_guard<std::mutex> lock(in.mutex);
    in.frontState = back;
    if (drawn) in.frontPage = 1 - in.frontPage;
    in.version = version;
    in.drawnVersion = drawnVersion;
  }
  in.changed.notify_all();
}

void PreviewServer::Inside::ServePage(httplib::Response& res) {
  std::unique_lock<std::mutex> lock(mutex);
  res.set_header("Cache-Control", "no-store");
  if (drawnVersion == 0) {
    // No save has been drawn yet: a page with the findings panel alone,
    // which reloads once there is a drawing.
    lock.unlock();
    res.set_content(
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>plotweave-preview</title>\n"
        "<script type=\"text/javascript\" src=\"/preview/client.js?drawn=0\"></script>\n"
        "</head><body><div id=\"mynetwork\"></div><div id=\"info\"></div></body></html>\n",
        "text/html; charset=utf-8");
    return;
  }
  const PreviewPage& page = pages[frontPage];
  // The client learns which save it was drawn from.
  static const char kClient[] = "/preview/client.js\"";
  const char* bytes = reinterpret_cast<const char*>(page.bytes);
  std::string body;
  body.reserve(page.size + 32);
  // The client's line is the last before the head's end.
  const std::string_view text(bytes, page.size);
  const size_t at = text.rfind(kClient, text.find("\n</head>"));
  if (at == std::string_view::npos) {
    body.assign(bytes, page.size);
  } else {
    const size_t cut = at + sizeof kClient - 2;
    body.assign(bytes, cut);
    body += "?drawn=" + std::to_string(drawnVersion);
    body.append(bytes + cut, page.size - cut);
  }
  lock.unlock();
  res.body = std::move(body);
  res.set_header("Content-Type", "text/html; charset=utf-8");
}

void PreviewServer::Inside::Routes() {
  http.new_task_queue = [] { return new httplib::ThreadPool(kServerThreads); };
  // An idle connection holds a thread until it times out, and Ctrl+C waits
  // for every thread.
  http.set_keep_alive_timeout(1);
  // A response goes out as headers then body; without this the body waits
  // for the browser's delayed acknowledgement, some 40 ms, on every request.
  http.set_tcp_nodelay(true);
  // Only pages of this machine's own address: a page elsewhere that makes
  // the browser ask a name resolving to 127.0.0.1 gets nothing.
  http.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    const std::string host = req.get_header_value("Host");
    const std::string port = ":" + std::to_string(this->port);
    if (host == "127.0.0.1" + port || host == "localhost" + port) return httplib::Server::HandlerResponse::Unhandled;
    res.status = 403;
    return httplib::Server::HandlerResponse::Handled;
  });
  http.set_default_headers({{"X-Content-Type-Options", "nosniff"}, {"Referrer-Policy", "no-referrer"}});

  const std::string pageAddress = AddressOf(setup.pageName);
  http.Get("/", [pageAddress](const httplib::Request&, httplib::Response& res) { res.set_redirect(pageAddress); });
  http.Get("/preview/state", [this](const httplib::Request&, httplib::Response& res) {
    std::unique_lock<std::mutex> lock(mutex);
    std::string body(states[frontState], stateSize[frontState]);
    lock.unlock();
    // Asked before the first save has been read.
    if (body.empty()) body = R"({"version":0,"drawn":0,"state":"starting","stale":false,"findings":[]})";
    res.set_header("Cache-Control", "no-store");
    res.body = std::move(body);
    res.set_header("Content-Type", "application/json; charset=utf-8");
  });
  http.Get("/preview/events", [this](const httplib::Request&, httplib::Response& res) {
    res.set_header("Cache-Control", "no-store");
    // The stream starts with the current save, so a page that missed saves
    // while it was loading catches up at once.
    auto seen = std::make_shared<uint64_t>(UINT64_MAX);
    res.set_chunked_content_provider("text/event-stream", [this, seen](size_t, httplib::DataSink& sink) {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait_for(lock, kStreamPing, [&] { return stopping || version != *seen; });
      if (stopping) {
        lock.unlock();
        sink.done();
        return false;
      }
      char message[64];
      int n;
      if (version != *seen) {
        *seen = version;
        n = std::snprintf(message, sizeof message, "event: save\ndata: %llu\n\n",
                          static_cast<unsigned long long>(version));
      } else {
        n = std::snprintf(message, sizeof message, ": waiting\n\n");
      }
      lock.unlock();
      return sink.write(message, static_cast<size_t>(n));
    });
  });
  http.Get(kPreviewClientPath, [this](const httplib::Request&, httplib::Response& res) {
    std::string body;
    if (!ReadKitFile(*setup.kit, kPreviewClientPath + 1, &body)) {
      res.status = 404;
      return;
    }
    res.body = std::move(body);
    res.set_header("Content-Type", "text/javascript; charset=utf-8");
  });
  // Everything else is the page or nothing: the kit and the pictures are
  // inside the page, and no other file of the plan's folder is served.
  http.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
    if (req.path == "/" + std::string(setup.pageName)) {
      ServePage(res);
      return;
    }
    res.status = 404;
    res.set_content("not served\n", "text/plain");
  });
}

int PreviewServer::Start(int port, const ServerSetup& setup) {
  Inside& in = *inside_;
  in.setup = setup;
  const int bound = port == 0 ? in.http.bind_to_any_port("127.0.0.1") : (in.http.bind_to_port("127.0.0.1", port) ? port : -1);
  if (bound < 0) return -1;
  in.port = bound;
  in.Routes();
  in.thread = std::thread([&in] { in.http.listen_after_bind(); });
  return bound;
}

void PreviewServer::Stop() {
  Inside& in = *inside_;
  {
    std::lock_guard<std::mutex> lock(in.mutex);
    in.stopping = true;
  }
  in.changed.notify_all();
  if (in.thread.joinable()) {
    in.http.stop();
    in.thread.join();
  }
}

}  // namespace plotweave
