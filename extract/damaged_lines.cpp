// The engine's reports: damaged lines (the first five written, the rest
// counted), the notes about repaired lines, and the section announcement.
#include "extract/engine.h"

#include "extract/line_report.h"
#include "model/records.h"
#include "model/run_context.h"
#include "model/settings.h"
#include "platform/host.h"
#include "text/messages.h"

namespace zarvex {
namespace {

constexpr int kReportedErrors = 5;
constexpr auto kBeepInterval = std::chrono::seconds(10);

} // namespace

void Extractor::DamagedLine(msg::Id reason)
{
    const bool report = m_Call.errorCount < kReportedErrors;
    ++m_Call.errorCount;
    AddStatus(ST_DATAERROR);
    if (report) ReportLineError(reason);
    if (AlternateOf(*m_Call.part) && !m_Run.YouChooseDuplicate)
        m_Call.state = DecodeState::SwitchToDuplicate;
    else if (m_Call.errorCount < kReportedErrors)
        m_Host.FlashProgress();
}

void Extractor::BeepAtMostEvery10s()
{
    if (m_Host.Silent()) return;
    const auto now = std::chrono::steady_clock::now();
    if (m_HasBeeped && now - m_LastBeep < kBeepInterval) return;
    m_HasBeeped = true;
    m_LastBeep = now;
    m_Host.Beep();
}

void Extractor::ReportLineError(msg::Id reason)
{
    BeepAtMostEvery10s();
    const CFInfo& part = *m_Call.part;
    Log(LineErrorText(reason, m_Call.lineNo, part.m_Part, part.m_Total, part.m_File, part.m_Subject));
}

void Extractor::LogCountedNote(msg::Id id)
{
    if (m_Call.errorCount < kReportedErrors)
        Log(FormatMessage(id, std::to_string(m_Call.lineNo), m_Call.part->m_File));
    ++m_Call.errorCount;
}

void Extractor::Announce(msg::Id typeName)
{
    // One announcement per start of the section (a duplicate part restarts it).
    if (m_Call.announced) return;
    m_Call.announced = true;
    Log(FormatMessage(msg::ExtractingAs, Message(typeName), m_Call.outputName));
}

} // namespace zarvex
