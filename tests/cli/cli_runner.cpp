#include "cli_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace quillon::testing {
namespace fs = std::filesystem;

CliHome::CliHome() {
  char tmpl[] = "/tmp/quillon-cli-test-XXXXXX";
  path_ = mkdtemp(tmpl);
  for (const char* f : {"config.ini", "language_msg.ini", "sample_font.bin"}) {
    std::error_code ec;
    fs::copy_file(fs::path(QUILLON_BIN_DIR) / f, fs::path(path_) / f, ec);
  }
}

CliHome::~CliHome() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

namespace {

// Reads both pipes until the child closes them, without deadlocking on a full pipe.
void Drain(int out_fd, int err_fd, std::string& out, std::string& err) {
  pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  int open = 2;
  char buf[4096];
  while (open > 0) {
    if (poll(fds, 2, 60000) <= 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n <= 0) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      } else {
        (i == 0 ? out : err).append(buf, static_cast<size_t>(n));
      }
    }
  }
}

}  // namespace

CliRun RunCli(const std::vector<std::string>& args) {
  int out_pipe[2], err_pipe[2];
  CliRun run;
  if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) return run;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    close(out_pipe[0]);
    close(err_pipe[0]);
    int devnull = open("/dev/null", O_RDONLY);
    dup2(devnull, 0);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(QUILLON_CLI));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(QUILLON_CLI, argv.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  Drain(out_pipe[0], err_pipe[0], run.out, run.err);
  int status = 0;
  waitpid(pid, &status, 0);
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

PtyPrinter::PtyPrinter(const CliHome& home, const std::vector<std::string>& options)
    : port_(home.File("port")) {
  pid_ = fork();
  if (pid_ == 0) {
    int devnull = open("/dev/null", O_RDWR);
    dup2(devnull, 0);
    dup2(devnull, 1);
    std::vector<std::string> words = {QUILLON_VP, "--pty",  "--link",
                                      port_,      "--font", home.File("sample_font.bin")};
    words.insert(words.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    execv(QUILLON_VP, argv.data());
    _exit(127);
  }
  // The link appears once the port is serving; give up after a few seconds.
  for (int i = 0; i < 500 && !ready_; ++i) {
    struct stat st;
    ready_ = lstat(port_.c_str(), &st) == 0;
    if (!ready_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

PtyPrinter::~PtyPrinter() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
}

TcpPrinter::TcpPrinter(const CliHome& home, const std::vector<std::string>& options) {
  int out[2];
  if (pipe(out) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    dup2(out[1], 1);
    close(out[0]);
    std::vector<std::string> words = {QUILLON_VP, "--tcp", "127.0.0.1:0", "--font",
                                      home.File("sample_font.bin")};
    words.insert(words.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    execv(QUILLON_VP, argv.data());
    _exit(127);
  }
  close(out[1]);
  // The program prints "tcp: ADDR:PORT" once it listens.
  std::string text;
  char buf[256];
  pollfd p{out[0], POLLIN, 0};
  while (text.find('\n') == std::string::npos && poll(&p, 1, 10000) > 0) {
    const ssize_t n = read(out[0], buf, sizeof buf);
    if (n <= 0) break;
    text.append(buf, static_cast<size_t>(n));
  }
  close(out[0]);
  if (text.rfind("tcp: ", 0) == 0) address_ = text.substr(5, text.find('\n') - 5);
}

TcpPrinter::~TcpPrinter() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
}

}  // namespace quillon::testing
