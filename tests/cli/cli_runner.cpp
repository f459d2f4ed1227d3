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
#include <fstream>
#include <iterator>
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

CliRun RunCli(const std::vector<std::string>& args, const std::string& program) {
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
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
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

CliChild::CliChild(const CliHome& home, const std::vector<std::string>& args)
    : err_path_(home.File("child-err.txt")) {
  pid_ = fork();
  if (pid_ == 0) {
    int devnull = open("/dev/null", O_RDWR);
    int err = open(err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(devnull, 0);
    dup2(devnull, 1);
    dup2(err, 2);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(QUILLON_CLI));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(QUILLON_CLI, argv.data());
    _exit(127);
  }
}

CliChild::~CliChild() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    Wait();
  }
}

int CliChild::Wait() {
  if (pid_ <= 0) return -1;
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string CliChild::err() const {
  return ReadAll(err_path_);
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WaitFor(const std::function<bool()>& done, int limit_ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

PtyPrinter::PtyPrinter(const CliHome& home, const std::vector<std::string>& options)
    : port_(home.File("port")), capture_(home.File("capture.bin")) {
  int out[2];
  if (pipe(out) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    int devnull = open("/dev/null", O_RDWR);
    dup2(devnull, 0);
    dup2(out[1], 1);
    close(out[0]);
    std::vector<std::string> words = {QUILLON_VP,  "--pty",  "--link",
                                      port_,       "--font", home.File("sample_font.bin"),
                                      "--capture", capture_};
    words.insert(words.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    execv(QUILLON_VP, argv.data());
    _exit(127);
  }
  close(out[1]);
  out_fd_ = out[0];
  // The program says "link: <path>" once the port serves; it is ready then, however long
  // a busy machine takes to get there (the limit only guards against a hang).
  std::string said;
  char buf[256];
  pollfd p{out_fd_, POLLIN, 0};
  auto told = [&] {
    const size_t at = said.find("link: ");
    return at != std::string::npos && said.find('\n', at) != std::string::npos;
  };
  while (!told()) {
    if (poll(&p, 1, 60000) <= 0) return;
    const ssize_t n = read(out_fd_, buf, sizeof buf);
    if (n <= 0) return;
    said.append(buf, static_cast<size_t>(n));
  }
  ready_ = true;
}

PtyPrinter::~PtyPrinter() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  if (out_fd_ >= 0) close(out_fd_);
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
