#pragma once
// The benchmarks' reporter: logs go nowhere (the figures are the output), a
// box is one line on standard error under the program's name.

#include <cstdio>
#include <string>
#include <string_view>

#include "features/reporter.h"

namespace quillon::bench {

class QuietReporter : public features::Reporter {
  public:
    explicit QuietReporter(const char* program) : program_(program) {}
    void Log(std::string_view) override {}
    MsgAnswer Message(const std::string& text, MsgIcon, MsgButtons) override {
        std::fprintf(stderr, "%s: %s\n", program_, text.c_str());
        return MsgAnswer::Ok;
    }

  private:
    const char* program_;
};

}  // namespace quillon::bench
