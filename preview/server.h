// The preview's HTTP server on 127.0.0.1: the page of the last good save (the
// kit and its pictures inside it), the findings of the last save, the
// preview's client, and an event stream that tells the page of every save.
#pragma once

#include "bundle/kit.h"
#include "preview/page_build.h"
#include "preview/state_json.h"

namespace plotweave {

struct ServerSetup {
  const char* planName;  // as given, for the findings
  const char* pageName;  // the page's file name, served at /NAME
  const KitSearch* kit;
};

class PreviewServer {
 public:
  PreviewServer();
  ~PreviewServer();
  PreviewServer(const PreviewServer&) = delete;
  PreviewServer& operator=(const PreviewServer&) = delete;

  // Listens on 127.0.0.1:`port` (0: a free port) and serves from a thread of
  // its own. The port listened on, or -1 when it could not listen.
  int Start(int port, const ServerSetup& setup);

  // Where the next save's page and findings are made; no request reads them
  // until they are published.
  PreviewPage* NextPage();
  PreviewFindings* NextFindings();
  // Publishes the save just made: its findings always, its page when
  // `drawn`; every open page is told.
  void Publish(PlanState state, bool drawn);
  // Ends the event streams and the server, and waits for its threads.
  void Stop();

 private:
  struct Inside;
  Inside* inside_;
};

}  // namespace plotweave
