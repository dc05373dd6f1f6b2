#pragma once
// quillon-run's result as a JUnit XML report (--junit FILE), the form CI
// systems read test results in: one test suite, one test case for the
// script, failed with the Tcl error and the last log lines when the script
// failed.

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillon::cli {

struct ScriptCase {
    // A failure is the script's own (a Tcl error, exit N, a stop by a
    // signal); an error is what kept it from a verdict (no board, a wire
    // trace lost).
    enum class Outcome { Passed, Failed, Error };

    std::string name;  // SCRIPT as given
    std::string file;  // its full path
    Outcome outcome = Outcome::Passed;
    std::string type;     // what kind of failure: "TclError", "exit", "SIGINT", ...
    std::string message;  // one line: the Tcl error with the script's line
    std::string details;  // the error stack, then the last log lines
    double seconds = 0;
    std::string timestamp;  // local start time, 2024-01-31T09:30:05
    std::string hostname;
    std::vector<std::pair<std::string, std::string>> properties;  // board, log, ...
};

// Text as XML character data or attribute value: markup characters escaped,
// the characters XML 1.0 does not allow (controls but tab and line ends, bytes
// that are not UTF-8, Tcl's NUL as C0 80) each as U+FFFD. Line ends in
// attributes are kept as character references, which a parser does not fold.
std::string XmlText(std::string_view text, bool attribute);

// The whole report, UTF-8, ending with a line end.
std::string JunitXml(const ScriptCase& c);

// Writes `xml` beside `path` and renames it into place, so that a failure
// leaves no half report. False, with `why`, when it could not be written.
bool WriteReport(const std::string& path, const std::string& xml, std::string& why);

// The last lines the log wrote, for the report of a failed run.
class RecentLines {
  public:
    explicit RecentLines(std::size_t keep) : keep_(keep) {}
    void Add(const std::string& line);
    std::string Joined() const;  // each line ended by '\n'

  private:
    std::size_t keep_;
    std::deque<std::string> lines_;
};

}  // namespace quillon::cli
