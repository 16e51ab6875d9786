#include "cli/Progress.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>

namespace zorvik::cli {
namespace {

// The first of SIGINT, SIGTERM and SIGHUP that arrived; 0 while none did.
std::atomic<int> gSignal{0};

extern "C" void OnStopSignal(int signal) {
  int none = 0;
  gSignal.compare_exchange_strong(none, signal);
}

struct TBar {
  bool terminal = ::isatty(STDERR_FILENO) == 1;
  std::string caption;
  uint32_t total = 0;
  int lastPermille = -1;
  std::chrono::steady_clock::time_point lastDraw{};

  void Draw(int32_t iter, bool force) {
    if (!terminal || total == 0) return;
    const int permille = static_cast<int>(std::min<int64_t>(1000, int64_t{iter} * 1000 / total));
    const auto now = std::chrono::steady_clock::now();
    if (!force && (permille == lastPermille || now - lastDraw < std::chrono::milliseconds(100))) return;
    lastPermille = permille;
    lastDraw = now;
    constexpr int kWidth = 30;
    const int filled = permille * kWidth / 1000;
    std::fprintf(stderr, "\r%s [%s%s] %5.1f%%", caption.c_str(), std::string(static_cast<size_t>(filled), '#').c_str(),
                 std::string(static_cast<size_t>(kWidth - filled), '.').c_str(), permille / 10.0);
    std::fflush(stderr);
  }
};

}  // namespace

void InstallStopSignalHandlers() {
  static const bool installed = [] {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
    return true;
  }();
  (void)installed;
}

bool Interrupted() { return gSignal.load() != 0; }
int StopSignal() { return gSignal.load(); }

TCB_ProgressEX TerminalProgress() {
  InstallStopSignalHandlers();
  auto bar = std::make_shared<TBar>();
  return [bar](const void*, TProgressStatusInfo& info) {
    switch (info.cbIterState) {
      case Tcb_iterState::cb_Begin:
        bar->caption = info.cbMessage;
        bar->total = info.cbTotal;
        bar->lastPermille = -1;
        bar->Draw(0, true);
        break;
      case Tcb_iterState::cb_iteration:
        bar->Draw(info.cbIter, false);
        break;
      case Tcb_iterState::cb_Finish:
        if (bar->terminal && bar->total > 0) {
          bar->Draw(static_cast<int32_t>(bar->total), true);
          std::fputc('\n', stderr);
        }
        break;
    }
    if (Interrupted()) info.abortOp = true;
  };
}

}  // namespace zorvik::cli
