// A private CUPS scheduler and a recording network printer for spooler tests.
//
//   sv::test::RecordingPrinter printer;               // TCP listener, like a port-9100 printer
//   sv::test::CupsServer cups;                        // cupsd with its own folders and socket
//   ASSERT_TRUE(cups.running()) << cups.log();
//   ASSERT_EQ(cups.add_raw_queue("Zeko", printer.port()), "");
//   // run the code under test with CUPS_SERVER=cups.server()
//   std::vector<std::string> jobs = printer.wait_for_jobs(1, std::chrono::seconds(30));
//
// cupsd runs in the foreground of a child process (no systemd needed) and must be started as
// root. Everything it writes stays under one temporary folder, removed by the destructor.
// POSIX only.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace sv::test {

struct ToolResult {
  int exit_code = -1;  // 128+signal for a killed tool, -1 when it could not be started
  std::string output;  // standard output and error together
};

// Runs a program (looked up in PATH) with extra environment entries and waits for it.
ToolResult run_tool(const std::vector<std::string>& args,
                    const std::vector<std::pair<std::string, std::string>>& env = {});

// Accepts TCP connections on 127.0.0.1 and records each connection's bytes until its peer
// ends the stream. Thread-safe.
class RecordingPrinter {
 public:
  RecordingPrinter();
  ~RecordingPrinter();
  RecordingPrinter(const RecordingPrinter&) = delete;
  RecordingPrinter& operator=(const RecordingPrinter&) = delete;

  std::uint16_t port() const { return port_; }
  // Waits until at least `count` connections have ended; returns every recorded job so far.
  std::vector<std::string> wait_for_jobs(std::size_t count, std::chrono::milliseconds timeout);
  // The jobs recorded so far.
  std::vector<std::string> jobs();
  // Reads at most this many bytes a second from a connection (0: as fast as it can), like a
  // printer busy with each label; CUPS keeps the job processing until the printer has read
  // it all. Takes effect at once, also on the connection being read.
  void set_read_rate(std::size_t bytes_per_second) { read_rate_ = bytes_per_second; }

 private:
  void serve();

  int listen_fd_ = -1;
  int wake_pipe_[2] = {-1, -1};
  std::uint16_t port_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> jobs_;
  std::atomic<std::size_t> read_rate_{0};
  std::thread thread_;
};

// A valid print_sheet job: 40 x 30 mm, gap 2 mm, density 8, speed 4, one copy, offsets 0,
// tear off, with a raster of `width_dots` x `height_dots` whose bytes depend on `seed` (and
// include CR, LF, NUL and 0xFF, so any re-coding on the way shows).
struct SheetJob {
  std::string printer;
  std::uint32_t width_dots = 64;
  std::uint32_t height_dots = 8;
  unsigned seed = 1;

  std::string raster() const;
  // The JSON body {"request":{...}} for /api/print_sheet.
  std::string body() const;
  // The exact TSPL stream the printer must receive.
  std::string expected_stream() const;
};

// "POST /api/{command}" with `body` as one raw HTTP request.
std::string api_post(const std::string& command, const std::string& body = "");

// The JSON text of a string (quotes and escapes).
std::string json_string(const std::string& text);

class CupsServer {
 public:
  // Writes the configuration and starts cupsd; check running().
  CupsServer();
  // Stops cupsd and removes its folder.
  ~CupsServer();
  CupsServer(const CupsServer&) = delete;
  CupsServer& operator=(const CupsServer&) = delete;

  // The value for CUPS_SERVER (and lpadmin -h): the path of cupsd's private Unix socket.
  const std::string& server() const { return socket_; }
  // CUPS_SERVERROOT and HOME of client programs, so their lpoptions stay private: the
  // user's own file is client_root()/.cups/lpoptions.
  std::filesystem::path client_root() const { return dir_ / "client"; }
  // Environment for programs that should talk to this server.
  std::vector<std::pair<std::string, std::string>> client_env() const;

  bool running() const { return pid_ > 0; }
  // Starts cupsd again after stop(); waits until it answers. False on failure.
  bool start();
  // Ends cupsd (SIGTERM, then SIGKILL) and waits for it.
  void stop();
  // cupsd's error log and console output, for failure messages.
  std::string log() const;

  // lpadmin -p NAME -E -v socket://127.0.0.1:PORT (a raw queue); "" or the tool's output.
  std::string add_raw_queue(const std::string& name, std::uint16_t port);
  // lpadmin with further arguments, e.g. {"-d", "A10"} or {"-x", "A10"}; "" or the output.
  std::string lpadmin(const std::vector<std::string>& args);
  // lpoptions with arguments against this server and client_root(); "" or the output.
  std::string lpoptions(const std::vector<std::string>& args);
  // Every queue name of this server (lpstat -e), e.g. to remove them between tests.
  std::vector<std::string> queues();
  // The completed jobs of `queue` as (title, document format) pairs, waiting up to 10 s for
  // at least `count` of them: cupsd marks a job completed a moment after its backend ends.
  std::vector<std::pair<std::string, std::string>> completed_jobs(const std::string& queue,
                                                                  std::size_t count);
  // Number of jobs not yet completed (lpstat -o).
  std::size_t pending_jobs();

 private:
  bool wait_ready(std::chrono::milliseconds timeout);

  std::filesystem::path dir_;
  std::string socket_;
  pid_t pid_ = -1;
};

}  // namespace sv::test
