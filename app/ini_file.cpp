#include "app/ini_file.h"

#include "text/ascii.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zarvex {
namespace {

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsAsciiSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsAsciiSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

bool IsComment(std::string_view trimmed)
{
    return !trimmed.empty() && (trimmed[0] == ';' || trimmed[0] == '#');
}

// The section name of a "[name]" line, or nothing for any other line.
std::optional<std::string_view> SectionName(std::string_view line)
{
    const std::string_view t = Trim(line);
    if (t.empty() || t.front() != '[') return std::nullopt;
    const std::size_t close = t.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(t.substr(1, close - 1));
}

// Splits a "key=value" line; comments and lines without "=" have no key.
bool SplitKeyLine(std::string_view line, std::string_view& key, std::string_view& value)
{
    const std::string_view t = Trim(line);
    if (t.empty() || IsComment(t)) return false;
    const std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) return false;
    key = Trim(t.substr(0, eq));
    value = Trim(t.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return true;
}

// A value as it must be written so that it reads back unchanged: line breaks
// become blanks (they would start a new key), and a value with blanks at
// either end or enclosed in quotes gets quotes of its own.
std::string EncodeValue(std::string_view value)
{
    std::string out(value);
    for (char& c : out)
        if (c == '\n' || c == '\r') c = ' ';
    const bool edgeBlank = !out.empty() && (IsAsciiSpace(out.front()) || IsAsciiSpace(out.back()));
    const bool quoted =
        out.size() >= 2 && (out.front() == '"' || out.front() == '\'') && out.back() == out.front();
    if (edgeBlank || quoted) out = '"' + out + '"';
    return out;
}

int WriteAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// Rewrites the file itself: used when no temporary file can be made beside it.
int SaveInPlace(const std::string& path, const std::string& text)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return errno;
    int err = WriteAll(fd, text);
    if (::close(fd) != 0 && err == 0) err = errno;
    return err;
}

} // namespace

void IniFile::Parse(std::string_view text)
{
    m_Lines.clear();
    m_Eol = "\n";
    const std::size_t firstBreak = text.find_first_of("\r\n");
    if (firstBreak != std::string_view::npos && text[firstBreak] == '\r')
        m_Eol = firstBreak + 1 < text.size() && text[firstBreak + 1] == '\n' ? "\r\n" : "\r";
    m_FinalEol = text.empty() || text.back() == '\n' || text.back() == '\r';
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        m_Lines.emplace_back(text.substr(pos, end - pos));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
        pos = end + 1;
    }
}

std::string IniFile::Text() const
{
    std::string out;
    for (std::size_t i = 0; i < m_Lines.size(); ++i) {
        out += m_Lines[i];
        if (i + 1 < m_Lines.size() || m_FinalEol) out += m_Eol;
    }
    return out;
}

int IniFile::Load(const std::string& path)
{
    Parse({});
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return errno == ENOENT ? 0 : (errno ? errno : EIO);
    std::string text;
    char buf[8192];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) return EIO;
    Parse(text);
    return 0;
}

int IniFile::Save(const std::string& path) const
{
    const std::string text = Text();
    // Follow a symbolic link so that the link itself stays in place.
    std::string target = path;
    if (char* real = ::realpath(path.c_str(), nullptr)) {
        target = real;
        std::free(real);
    }
    mode_t mode = 0644;
    struct stat st
    {
    };
    if (::stat(target.c_str(), &st) == 0) mode = st.st_mode & 07777;

    std::string temp = target + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return SaveInPlace(target, text);
    int err = WriteAll(fd, text);
    if (err == 0 && ::fchmod(fd, mode) != 0) err = errno;
    if (err == 0 && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err == 0 && ::rename(temp.c_str(), target.c_str()) != 0) err = errno;
    if (err != 0) ::unlink(temp.c_str());
    return err;
}

std::optional<IniFile::SectionSpan> IniFile::FindSection(std::string_view section) const
{
    for (std::size_t i = 0; i < m_Lines.size(); ++i) {
        const auto name = SectionName(m_Lines[i]);
        if (!name || !EqualsIgnoreCase(*name, section)) continue;
        std::size_t end = i + 1;
        while (end < m_Lines.size() && !SectionName(m_Lines[end]))
            ++end;
        return SectionSpan{i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> IniFile::FindKey(const SectionSpan& span, std::string_view key) const
{
    for (std::size_t i = span.header + 1; i < span.end; ++i) {
        std::string_view k, v;
        if (SplitKeyLine(m_Lines[i], k, v) && EqualsIgnoreCase(k, key)) return i;
    }
    return std::nullopt;
}

bool IniFile::HasSection(std::string_view section) const
{
    return FindSection(section).has_value();
}

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key) const
{
    const auto span = FindSection(section);
    if (!span) return std::nullopt;
    const auto line = FindKey(*span, key);
    if (!line) return std::nullopt;
    std::string_view k, v;
    SplitKeyLine(m_Lines[*line], k, v);
    return std::string(v);
}

std::string IniFile::GetString(std::string_view section, std::string_view key, std::string_view def) const
{
    auto value = Get(section, key);
    return value ? std::move(*value) : std::string(def);
}

std::int32_t IniFile::GetInt(std::string_view section, std::string_view key, std::int32_t def) const
{
    const auto value = Get(section, key);
    if (!value) return def;
    std::string_view s = *value;
    bool negative = false;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    long long n = 0;
    for (char c : s) {
        if (!IsAsciiDigit(c)) break;
        n = n * 10 + (c - '0');
        if (n > static_cast<long long>(INT32_MAX) + 1) n = static_cast<long long>(INT32_MAX) + 1;
    }
    if (negative) n = -n;
    if (n > INT32_MAX) n = INT32_MAX;
    return static_cast<std::int32_t>(n);
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value)
{
    std::string line = std::string(key) + "=" + EncodeValue(value);
    auto span = FindSection(section);
    if (!span) {
        if (!m_Lines.empty() && !Trim(m_Lines.back()).empty()) m_Lines.emplace_back();
        m_Lines.push_back("[" + std::string(section) + "]");
        m_Lines.push_back(std::move(line));
        m_FinalEol = true;
        return;
    }
    if (const auto at = FindKey(*span, key)) {
        m_Lines[*at] = std::move(line);
        return;
    }
    // After the section's last non-blank line, so a blank line that separates
    // it from the next section stays in place.
    std::size_t insertAt = span->end;
    while (insertAt > span->header + 1 && Trim(m_Lines[insertAt - 1]).empty())
        --insertAt;
    m_Lines.insert(m_Lines.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(line));
    if (insertAt + 1 == m_Lines.size()) m_FinalEol = true;
}

void IniFile::Remove(std::string_view section, std::string_view key)
{
    const auto span = FindSection(section);
    if (!span) return;
    if (const auto at = FindKey(*span, key)) m_Lines.erase(m_Lines.begin() + static_cast<std::ptrdiff_t>(*at));
}

void IniFile::SetInt(std::string_view section, std::string_view key, long long value)
{
    Set(section, key, std::to_string(value));
}

} // namespace zarvex
