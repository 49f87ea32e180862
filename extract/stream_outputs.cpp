#include "extract/stream_outputs.h"

#include "extract/output_path.h"

#include <climits>
#include <cstdlib>

namespace zarvex {

std::unique_ptr<OutputFile> StreamOutputs::Take(const std::string& key, std::int32_t* holder)
{
    const auto it = m_Held.find(key);
    if (it == m_Held.end()) return nullptr;
    std::unique_ptr<OutputFile> out = std::move(it->second.out);
    *holder = it->second.holder;
    m_Held.erase(it);
    return out;
}

void StreamOutputs::Put(const std::string& key, std::unique_ptr<OutputFile> out, std::int32_t holder,
                        Makeup makeup)
{
    m_Held[key] = Held{std::move(out), holder, std::move(makeup)};
}

bool StreamOutputs::HoldsMadeOf(const std::string& key, const Makeup& makeup) const
{
    const auto it = m_Held.find(key);
    return it != m_Held.end() && !it->second.makeup.empty() && it->second.makeup == makeup;
}

std::string StreamKey(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    char resolved[PATH_MAX];
    if (!::realpath(folder.c_str(), resolved)) return path;
    std::string key = resolved;
    if (key.empty() || key.back() != '/') key += '/';
    return key + name;
}

} // namespace zarvex
