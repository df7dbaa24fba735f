#include "platform/mapped_read_guard.h"

#include <csetjmp>
#include <csignal>
#include <mutex>

namespace linesift {
namespace {

thread_local sigjmp_buf* t_jump = nullptr;
struct sigaction g_previous = {};

void OnBusError(int sig, siginfo_t* info, void* uctx) {
    if (t_jump != nullptr) {
        siglongjmp(*t_jump, 1);
    }
    // Not ours: behave as the handler that was there before.
    if (g_previous.sa_flags & SA_SIGINFO) {
        g_previous.sa_sigaction(sig, info, uctx);
        return;
    }
    if (g_previous.sa_handler == SIG_IGN) {
        return;
    }
    if (g_previous.sa_handler != SIG_DFL) {
        g_previous.sa_handler(sig);
        return;
    }
    signal(sig, SIG_DFL);
    raise(sig);
}

void InstallHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction sa = {};
        sa.sa_sigaction = OnBusError;
        sa.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGBUS, &sa, &g_previous);
    });
}

}  // namespace

bool RunGuardedAgainstBusError(void (*fn)(void*), void* ctx) {
    InstallHandler();
    sigjmp_buf jump;
    sigjmp_buf* outer = t_jump;
    if (sigsetjmp(jump, 1) != 0) {
        t_jump = outer;
        return false;
    }
    t_jump = &jump;
    fn(ctx);
    t_jump = outer;
    return true;
}

}  // namespace linesift
