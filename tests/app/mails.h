// Generated mail texts for the tests of whole runs.
#pragma once

#include "extract/extract_fixture.h"

namespace zarvex::test {

// A MIME mail with `data` as the Base64 attachment `name`, after a text part `text` if one is given.
inline std::string MimeMail(const std::string& name, const Bytes& data, const std::string& text = "",
                            const std::string& b = "B")
{
    const std::string textPart =
        text.empty() ? "" : "--" + b + "\nContent-Type: text/plain\n\n" + text + "\n\n";
    return "From: sender@example.org\nSubject: " + name + "\nMIME-Version: 1.0\n" +
           "Content-Type: multipart/mixed; boundary=\"" + b + "\"\n\n" + textPart + "--" + b +
           "\nContent-Type: application/octet-stream; name=\"" + name +
           "\"\nContent-Transfer-Encoding: base64\nContent-Disposition: attachment; filename=\"" + name +
           "\"\n\n" + Text(Base64Lines(data)) + "--" + b + "--\n\n";
}

// The messages of a UU posting of `data` in `total` parts; `damagedCopy`
// (1-based) is posted twice, its first copy missing ten characters of a data line.
inline std::vector<std::string> UuMails(const std::string& name, const std::string& data, int total = 2,
                                        int damagedCopy = 0)
{
    std::vector<std::string> lines = UuLines(data);
    lines.insert(lines.begin(), "begin 644 " + name);
    lines.insert(lines.end(), {"`", "end"});
    const std::size_t each = lines.size() / total;
    std::vector<std::string> mails;
    for (int i = 0; i < total; ++i) {
        const std::string body =
            Text({lines.begin() + i * each, i + 1 == total ? lines.end() : lines.begin() + (i + 1) * each});
        const std::string n = "(" + std::to_string(i + 1) + "/" + std::to_string(total) + ")";
        const std::string mail = Mail(total == 1 ? name : name + " " + n, body);
        if (i + 1 == damagedCopy)
            mails.push_back(std::string(mail).erase(mail.find("\nM", mail.find("\nM") + 1) + 30, 10));
        mails.push_back(mail);
    }
    return mails;
}
inline std::string UuPosting(const std::string& name, const std::string& data, int total = 2,
                             int damagedCopy = 0)
{
    return Join(UuMails(name, data, total, damagedCopy), 0, total + 1);
}

} // namespace zarvex::test
