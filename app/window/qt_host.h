// The core's host in the desktop program: progress and status go to the main
// window's status bar, pumping runs the Qt event loop, the log goes to the log
// window, and questions become real dialogs.
#pragma once

#include "platform/host.h"

namespace zarvex {

class CZarvexDlg;

class QtHost final : public Host
{
public:
    explicit QtHost(CZarvexDlg& window) : m_Window(window) {}

    void SetProgress(double percent) override;
    bool PumpMessages() override;
    bool AbortRequested() const override { return m_Abort; }
    void RequestAbort() override { m_Abort = true; }
    void ClearAbort() override { m_Abort = false; }
    bool HasLog() const override { return true; }
    void Log(std::string_view markedText) override;
    void SetStatus(std::string_view text) override;
    bool Silent() const override { return m_Silent; }
    void Beep() override;
    bool ShiftKeyDown() const override;
    int Ask(Prompt prompt, std::string_view subject) override;
    void FlashProgress() override;
    std::string ChooseAppendTarget(std::string_view suggestedName) override;
    int ChooseDuplicatePart(const std::vector<const CFInfo*>& parts) override;

    void SetSilent(bool on) { m_Silent = on; }
    // True once an error (dark red text) was logged since the last call.
    bool TakeErrorsLogged();

private:
    CZarvexDlg& m_Window;
    bool m_Abort = false;
    bool m_Silent = false;
    bool m_ErrorsLogged = false;
};

} // namespace zarvex
