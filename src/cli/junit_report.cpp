#include "cli/junit_report.h"

#include <cstdint>
#include <cstdio>

#include "platform/cause.h"
#include "platform/file_io.h"

namespace quillon::cli {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The UTF-8 sequence at the start of `text`: its code point and length, or
// length 0 when it is no well-formed sequence (a stray byte, an overlong
// form, a surrogate, Tcl's C0 80 for NUL).
std::pair<std::uint32_t, std::size_t> DecodeOne(std::string_view text) {
    const auto b0 = static_cast<unsigned char>(text[0]);
    if (b0 < 0x80) return {b0, 1};
    std::size_t n;
    std::uint32_t cp;
    std::uint32_t least;
    if ((b0 & 0xE0) == 0xC0) {
        n = 2, cp = b0 & 0x1F, least = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        n = 3, cp = b0 & 0x0F, least = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        n = 4, cp = b0 & 0x07, least = 0x10000;
    } else {
        return {0, 0};
    }
    if (text.size() < n) return {0, 0};
    for (std::size_t i = 1; i < n; ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if ((b & 0xC0) != 0x80) return {0, 0};
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return {0, 0};
    return {cp, n};
}

bool AllowedInXml(std::uint32_t cp) {
    return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
           (cp >= 0xE000 && cp <= 0xFFFD) || cp >= 0x10000;
}

std::string Attr(const char* name, std::string_view value) {
    return std::string(" ") + name + "=\"" + XmlText(value, true) + "\"";
}

std::string Seconds(double s) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", s < 0 ? 0.0 : s);
    return buf;
}

}  // namespace

std::string XmlText(std::string_view text, bool attribute) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto [cp, n] = DecodeOne(text);
        if (n == 0 || !AllowedInXml(cp)) {
            out += kReplacement;
            text.remove_prefix(n == 0 ? 1 : n);
            continue;
        }
        switch (cp) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += attribute ? "&quot;" : "\"";
                break;
            // A parser folds a raw CR into LF, and every line end or tab of an
            // attribute into a blank: references keep them.
            case '\r':
                out += "&#13;";
                break;
            case '\n':
                out += attribute ? "&#10;" : "\n";
                break;
            case '\t':
                out += attribute ? "&#9;" : "\t";
                break;
            default:
                out.append(text.data(), n);
        }
        text.remove_prefix(n);
    }
    return out;
}

std::string JunitXml(const ScriptCase& c) {
    const bool failed = c.outcome == ScriptCase::Outcome::Failed;
    const bool error = c.outcome == ScriptCase::Outcome::Error;
    const std::string counts = Attr("tests", "1") + Attr("failures", failed ? "1" : "0") +
                               Attr("errors", error ? "1" : "0");
    const std::string time = Attr("time", Seconds(c.seconds));
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    x += "<testsuites" + Attr("name", "quillon-run") + counts + time + ">\n";
    x += "  <testsuite" + Attr("name", "quillon-run") + counts + Attr("skipped", "0") + time;
    if (!c.timestamp.empty()) x += Attr("timestamp", c.timestamp);
    if (!c.hostname.empty()) x += Attr("hostname", c.hostname);
    x += ">\n";
    if (!c.properties.empty()) {
        x += "    <properties>\n";
        for (const auto& [name, value] : c.properties)
            x += "      <property" + Attr("name", name) + Attr("value", value) + "/>\n";
        x += "    </properties>\n";
    }
    x += "    <testcase" + Attr("classname", "quillon-run") + Attr("name", c.name);
    if (!c.file.empty()) x += Attr("file", c.file);
    x += time;
    if (!failed && !error) {
        x += "/>\n";
    } else {
        const char* element = failed ? "failure" : "error";
        x += ">\n      <" + std::string(element) + Attr("message", c.message) +
             Attr("type", c.type) + ">" + XmlText(c.details, false) + "</" + element + ">\n";
        x += "    </testcase>\n";
    }
    x += "  </testsuite>\n</testsuites>\n";
    return x;
}

bool WriteReport(const std::string& path, const std::string& xml, std::string& why) {
    ClearCause();
    platform::ReplacingFile file;
    if (!file.Open(path)) {
        why = file.whyNot();
        return false;
    }
    if (!file.Write(reinterpret_cast<const std::uint8_t*>(xml.data()), xml.size()) ||
        !file.Commit()) {
        why = PeekCause().value_or("it could not be written whole");
        return false;
    }
    return true;
}

void RecentLines::Add(const std::string& line) {
    if (keep_ == 0) return;
    if (lines_.size() == keep_) lines_.pop_front();
    lines_.push_back(line);
}

std::string RecentLines::Joined() const {
    std::string all;
    for (const std::string& l : lines_) all += l + "\n";
    return all;
}

}  // namespace quillon::cli
