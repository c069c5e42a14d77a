#include "report_table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <regex>
#include <set>

namespace slk::bench {
namespace {

using nlohmann::json;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool Has(const json& b, const char* key) {
  return b.contains(key) && b[key].is_number();
}

double Num(const json& b, const char* key) {
  return Has(b, key) ? b[key].get<double>() : kNaN;
}

std::string Text(const json& b, const char* key) {
  return b.contains(key) && b[key].is_string() ? b[key].get<std::string>() : std::string();
}

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// A duration given in milliseconds, in the unit that reads best.
std::string Duration(double ms) {
  if (std::isnan(ms)) return "-";
  if (ms < 1) return Format("%.1f us", ms * 1e3);
  if (ms < 1000) return Format("%.2f ms", ms);
  return Format("%.2f s", ms / 1e3);
}

std::string Ratio(double x) {
  return std::isnan(x) ? "-" : Format("%.2fx", x);
}

// The framework's time of a run in milliseconds.
double TimeMs(const json& b, const char* which) {
  static const std::pair<const char*, double> kUnits[] = {
      {"ns", 1e-6}, {"us", 1e-3}, {"ms", 1.0}, {"s", 1e3}};
  std::string unit = Text(b, "time_unit");
  for (const auto& [name, factor] : kUnits) {
    if (unit == name) return Num(b, which) * factor;
  }
  return kNaN;
}

Verdict Within(double value, double limit) {
  return value <= limit ? Verdict::Holds : Verdict::Misses;
}

// "OpenCard/xmc_100MB/manual_time" -> "OpenCard/xmc_100MB".
std::string BaseName(const json& b) {
  std::string name = Text(b, "run_name").empty() ? Text(b, "name") : Text(b, "run_name");
  static const std::regex kSuffix("/(manual_time|real_time|process_time|iterations:[0-9]+)$");
  std::string previous;
  while (previous != name) {
    previous = name;
    name = std::regex_replace(name, kSuffix, "");
  }
  return name;
}

// Ours against a plain copy of the same bytes: ms, baseline_ms, x_baseline,
// target_x, and for saves a second baseline without fsync.
void AgainstCopy(const json& b, Row& row) {
  row.median = Duration(Num(b, "ms"));
  row.baseline =
      Duration(Num(b, "baseline_ms")) + (Has(b, "vs_minimal_window") ? " minimal window" : " copy");
  row.ratio = Ratio(Num(b, "x_baseline"));
  row.target = "<= " + Format("%g", Num(b, "target_x")) + "x";
  row.verdict = Within(Num(b, "x_baseline"), Num(b, "target_x"));
  row.note = Text(b, "label");
  if (Has(b, "x_baseline2")) {
    row.baseline += " +fsync";
    row.note += "; copy without fsync " + Duration(Num(b, "baseline2_ms")) + " (" +
                Ratio(Num(b, "x_baseline2")) + ")";
  }
}

// Peak memory of the large card against the small one.
void PeakMemory(const json& b, Row& row) {
  row.median = Format("%.0f KiB", Num(b, "kib_100mb"));
  row.baseline = Format("%.0f KiB at 10 MB", Num(b, "kib_10mb"));
  row.ratio = Format("%+.0f KiB", Num(b, "extra_kib"));
  row.target = Format("<= +%.0f KiB", Num(b, "target_extra_kib"));
  row.verdict = Within(Num(b, "extra_kib"), Num(b, "target_extra_kib"));
  row.note = "peak resident growth during the operation";
}

// A time against a target in milliseconds, beside a memcpy of the same bytes.
void TargetTime(const json& b, Row& row) {
  double value = Has(b, "ms_per_frame") ? Num(b, "ms_per_frame")
                 : Has(b, "ms")         ? Num(b, "ms")
                                        : TimeMs(b, "cpu_time");
  row.median = Duration(value);
  if (Has(b, "memcpy_ns")) row.baseline = Duration(Num(b, "memcpy_ns") * 1e-6) + " memcpy";
  row.ratio = Ratio(Num(b, "x_memcpy"));
  row.target = "<= " + Duration(Num(b, "target_ms"));
  row.verdict = Within(value, Num(b, "target_ms"));
}

// Targets written into the label: "x_memcpy <= 2", "<= 5 us per blit".
bool TargetInLabel(const json& b, Row& row) {
  std::string label = Text(b, "label");
  std::smatch m;
  row.median = Duration(TimeMs(b, "cpu_time"));
  if (Has(b, "memcpy_ns")) row.baseline = Duration(Num(b, "memcpy_ns") * 1e-6) + " memcpy";
  row.ratio = Ratio(Num(b, "x_memcpy"));
  // "target at 32 bits": the other variants of the benchmark have none.
  if (std::regex_search(label, m, std::regex(R"(target at ([0-9]+) bits)")) &&
      !std::regex_search(BaseName(b), std::regex("/" + m[1].str() + "$")))
    return true;
  if (std::regex_search(label, m, std::regex(R"(x_memcpy <= ([0-9.]+))"))) {
    row.target = "<= " + m[1].str() + "x memcpy";
    row.verdict = Within(Num(b, "x_memcpy"), std::stod(m[1].str()));
    return true;
  }
  if (std::regex_search(label, m, std::regex(R"(<= ([0-9.]+) (us|ms))"))) {
    double limit = std::stod(m[1].str()) * (m[2] == "us" ? 1e-3 : 1.0);
    row.target = "<= " + Duration(limit);
    row.verdict = Within(TimeMs(b, "cpu_time"), limit);
    return true;
  }
  return false;
}

// A counter against the upper limit in another, each shown in its format.
void AgainstLimit(const json& b, Row& row, const char* value, const char* valueFormat,
                  const char* limit, const char* limitFormat) {
  row.median = Format(valueFormat, Num(b, value));
  row.target = Format(limitFormat, Num(b, limit));
  row.verdict = Within(Num(b, value), Num(b, limit));
}

Row RowOf(const std::string& program, const json& b) {
  Row row;
  row.program = program;
  row.name = BaseName(b);
  row.baseline = "-";
  row.ratio = "-";
  row.target = "-";
  if (b.value("error_occurred", false)) {
    row.verdict = Verdict::NotMeasured;
    row.median = "-";
    row.note = Text(b, "error_message");
  } else if (Has(b, "baseline_rss_mib") && Has(b, "target_x")) {
    row.median = Format("%.1f MiB", Num(b, "rss_mib"));
    row.baseline = Format("%.1f MiB minimal window", Num(b, "baseline_rss_mib"));
    row.ratio = Ratio(Num(b, "x_baseline"));
    row.target = "<= " + Format("%g", Num(b, "target_x")) + "x";
    row.verdict = Within(Num(b, "x_baseline"), Num(b, "target_x"));
  } else if (Has(b, "x_baseline") && Has(b, "target_x")) {
    AgainstCopy(b, row);
  } else if (Has(b, "target_extra_kib")) {
    PeakMemory(b, row);
  } else if (Has(b, "target_mib")) {
    AgainstLimit(b, row, "rss_mib", "%.1f MiB", "target_mib", "<= %g MiB");
  } else if (Has(b, "target_ms")) {
    TargetTime(b, row);
  } else if (Has(b, "target_percent")) {
    AgainstLimit(b, row, "cpu_percent", "%.2f %%", "target_percent", "<= %g %% of a core");
  } else if (!TargetInLabel(b, row)) {
    row.median = Duration(Has(b, "ms") ? Num(b, "ms") : TimeMs(b, "cpu_time"));
  }
  if (row.note.empty() && row.verdict != Verdict::NotMeasured) row.note = Text(b, "label");
  return row;
}

const char* VerdictText(Verdict v) {
  switch (v) {
    case Verdict::Holds:
      return "yes";
    case Verdict::Misses:
      return "NO";
    case Verdict::NoTarget:
      return "-";
    case Verdict::NotMeasured:
      return "not measured";
  }
  return "?";
}

}  // namespace

json ParseOutput(const std::string& text) {
  static const std::regex kNotANumber(R"((:\s*)-?(NaN|nan|inf|Infinity)\b)");
  return json::parse(std::regex_replace(text, kNotANumber, "$1null"), nullptr, false);
}

std::vector<Row> RowsOf(const std::string& program, const json& output) {
  std::vector<Row> rows;
  if (!output.contains("benchmarks") || !output["benchmarks"].is_array()) return rows;
  const json& runs = output["benchmarks"];
  // With repetitions, the medians stand for their runs.
  std::set<std::string> aggregated;
  for (const json& b : runs) {
    if (Text(b, "run_type") == "aggregate") aggregated.insert(BaseName(b));
  }
  for (const json& b : runs) {
    bool aggregate = Text(b, "run_type") == "aggregate";
    if (aggregate ? Text(b, "aggregate_name") != "median" : aggregated.count(BaseName(b)) > 0)
      continue;
    rows.push_back(RowOf(program, b));
  }
  return rows;
}

Row NotMeasured(const std::string& program, const std::string& name, const std::string& why) {
  return Row{program, name, "-", "-", "-", "-", Verdict::NotMeasured, why};
}

std::string FormatTable(const std::vector<Row>& rows, bool markdown) {
  std::vector<std::vector<std::string>> cells = {
      {"benchmark", "median", "baseline", "ratio", "target", "holds", "note"}};
  int holds = 0, targets = 0, unmeasured = 0;
  for (const Row& r : rows) {
    cells.push_back({r.program + " " + r.name, r.median, r.baseline, r.ratio, r.target,
                     VerdictText(r.verdict), r.note});
    holds += r.verdict == Verdict::Holds;
    targets += r.verdict == Verdict::Holds || r.verdict == Verdict::Misses;
    unmeasured += r.verdict == Verdict::NotMeasured;
  }
  std::vector<std::size_t> width(cells[0].size(), 0);
  for (const auto& line : cells) {
    for (std::size_t c = 0; c < line.size(); ++c) width[c] = std::max(width[c], line[c].size());
  }
  std::string out;
  for (std::size_t l = 0; l < cells.size(); ++l) {
    for (std::size_t c = 0; c < cells[l].size(); ++c) {
      std::string cell = cells[l][c];
      if (markdown) cell = "| " + cell + " ";
      bool last = c + 1 == cells[l].size();
      out += last && !markdown ? cell : cell + std::string(width[c] - cells[l][c].size(), ' ');
      if (!markdown && !last) out += "  ";
    }
    out += markdown ? "|\n" : "\n";
    if (markdown && l == 0) {
      for (std::size_t c = 0; c < width.size(); ++c) {
        out += '|';
        out.append(width[c] + 2, '-');
      }
      out += "|\n";
    }
  }
  out += "\n" + std::to_string(holds) + " of " + std::to_string(targets) + " targets hold";
  if (unmeasured > 0) out += "; " + std::to_string(unmeasured) + " not measured";
  out += ".\n";
  return out;
}

}  // namespace slk::bench
