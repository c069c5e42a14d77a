#pragma once
// Reads the JSON that the benchmark programs write and makes one table of
// them: each benchmark's median, the baseline it ran against, the ratio, the
// target and whether it holds. Each program states its targets in its own
// counters or label; the rules that read them are in report_table.cpp.

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace slk::bench {

enum class Verdict { Holds, Misses, NoTarget, NotMeasured };

struct Row {
  std::string program;
  std::string name;
  std::string median;    // with its unit
  std::string baseline;  // what it ran against, with its time
  std::string ratio;     // median / baseline, "-" when there is none
  std::string target;
  Verdict verdict = Verdict::NoTarget;
  std::string note;  // a second baseline, an error, the clock used
};

// A program's JSON output, parsed. The framework writes NaN and inf for
// figures it cannot compute (a coefficient of variation of zeros), which JSON
// has no words for: they are read as null. Discarded when not JSON.
nlohmann::json ParseOutput(const std::string& text);

// The rows of one program's output (--benchmark_format=json). With
// repetitions only the medians are taken; without, every run.
std::vector<Row> RowsOf(const std::string& program, const nlohmann::json& output);

// A row for something that could not be measured, and why.
Row NotMeasured(const std::string& program, const std::string& name, const std::string& why);

// The table as aligned text, or as a Markdown table; then a closing line
// counting the targets that hold.
std::string FormatTable(const std::vector<Row>& rows, bool markdown);

}  // namespace slk::bench
