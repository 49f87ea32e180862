#include "app/recording_host.h"

#include <string>
#include <utility>

namespace zarvex {

std::vector<RecordingHost::Call> RecordingHost::Take()
{
    m_Bytes = 0;
    return std::exchange(m_Calls, {});
}

void RecordingHost::Record(Call::Kind kind, std::string_view text, Prompt prompt)
{
    m_Bytes += text.size();
    m_Calls.push_back({kind, prompt, std::string(text)});
}

void RecordingHost::RequestAbort()
{
    m_Stop.store(true, std::memory_order_relaxed);
    Record(Call::Kind::RequestAbort, {});
}

void RecordingHost::OutputWritten(std::string_view path, std::int64_t size, std::string_view sha256)
{
    Record(Call::Kind::Written, std::string(sha256) + " " + std::to_string(size) + " " + std::string(path));
}

int RecordingHost::Ask(Prompt prompt, std::string_view subject)
{
    Record(Call::Kind::Ask, subject, prompt);
    return button::Ok;
}

void RecordingHost::Replay(Host& host, const std::vector<Call>& calls)
{
    using Kind = Call::Kind;
    for (const Call& c : calls) {
        switch (c.kind) {
        case Kind::Log:
            host.Log(c.text);
            break;
        case Kind::Status:
            host.SetStatus(c.text);
            break;
        case Kind::Beep:
            host.Beep();
            break;
        case Kind::Flash:
            host.FlashProgress();
            break;
        case Kind::Created:
            host.OutputCreated(c.text);
            break;
        case Kind::Refresh:
            host.RefreshOutputEntry(c.text);
            break;
        case Kind::Ask:
            host.Ask(c.prompt, c.text);
            break;
        case Kind::RequestAbort:
            host.RequestAbort();
            break;
        case Kind::ClearAbort:
            host.ClearAbort();
            break;
        case Kind::Written: {
            // "<digest> <size> <path>": the digest and the size have no blank.
            const std::size_t a = c.text.find(' '), b = c.text.find(' ', a + 1);
            host.OutputWritten(std::string_view(c.text).substr(b + 1), std::stoll(c.text.substr(a + 1, b - a - 1)),
                               std::string_view(c.text).substr(0, a));
            break;
        }
        }
    }
}

} // namespace zarvex
