#include "app/interrupts.h"

namespace zarvex {
namespace {

volatile std::sig_atomic_t g_Interrupted = 0;

void OnInterrupt(int signo)
{
    g_Interrupted = signo;
}

} // namespace

void InstallInterruptHandlers()
{
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_RESTART; // the second signal takes its default course
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

const volatile std::sig_atomic_t* InterruptFlag()
{
    return &g_Interrupted;
}

} // namespace zarvex
