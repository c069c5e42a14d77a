#include "bench/report/report_table.h"

#include <gtest/gtest.h>

namespace slk::bench {
namespace {

using nlohmann::json;

json Median(const std::string& name, json counters) {
  json b = {{"name", name + "_median"},   {"run_name", name},  {"run_type", "aggregate"},
            {"aggregate_name", "median"}, {"time_unit", "us"}, {"real_time", 2000.0},
            {"cpu_time", 1500.0}};
  b.update(counters);
  return b;
}

json Output(std::vector<json> runs) {
  return json{{"context", json::object()}, {"benchmarks", runs}};
}

TEST(ReportTable, ReadsEachProgramsWayOfStatingItsTarget) {
  json mean = Median("OpenCard/xmc/manual_time", {{"x_baseline", 9.0}, {"target_x", 1.5}});
  mean["aggregate_name"] = "mean";
  json iteration = {{"name", "OpenCard/xmc/manual_time"},
                    {"run_type", "iteration"},
                    {"x_baseline", 9.0},
                    {"target_x", 1.5}};
  std::vector<Row> rows = RowsOf(
      "p",
      Output({iteration, mean,
              Median("OpenCard/xmc/manual_time", {{"ms", 40.0},
                                                  {"baseline_ms", 30.0},
                                                  {"x_baseline", 1.33},
                                                  {"target_x", 1.5},
                                                  {"label", "cpu time"}}),
              Median("SaveCard/mcr/manual_time", {{"ms", 12.0},
                                                  {"baseline_ms", 6.0},
                                                  {"x_baseline", 2.0},
                                                  {"target_x", 1.5},
                                                  {"baseline2_ms", 2.0},
                                                  {"x_baseline2", 6.0}}),
              Median("Peak/iterations:1", {{"kib_10mb", 500.0},
                                           {"kib_100mb", 700.0},
                                           {"extra_kib", 200.0},
                                           {"target_extra_kib", 1024.0}}),
              Median("Compose", {{"ms_per_frame", 0.6}, {"target_ms", 0.5}}),
              Median("Loop", {{"cpu_percent", 2.0}, {"target_percent", 3.0}}),
              Median("Blt/32", {{"x_memcpy", 1.5}, {"label", "target at 32 bits: x_memcpy <= 2"}}),
              Median("Blt/16", {{"x_memcpy", 2.5}, {"label", "target at 32 bits: x_memcpy <= 2"}}),
              Median("Keyed", {{"label", "target: <= 1 ms per frame"}}),
              Median("Plain", json::object())}));
  ASSERT_EQ(rows.size(), 9u) << "only the medians, once each";
  EXPECT_EQ(rows[0].name, "OpenCard/xmc");
  EXPECT_EQ(rows[0].median, "40.00 ms");
  EXPECT_EQ(rows[0].ratio, "1.33x");
  EXPECT_EQ(rows[0].verdict, Verdict::Holds);
  EXPECT_EQ(rows[1].verdict, Verdict::Misses);
  EXPECT_NE(rows[1].note.find("without fsync 2.00 ms (6.00x)"), std::string::npos);
  EXPECT_EQ(rows[2].verdict, Verdict::Holds);
  EXPECT_EQ(rows[3].verdict, Verdict::Misses) << "0.6 ms against 0.5 ms";
  EXPECT_EQ(rows[4].verdict, Verdict::Holds);
  EXPECT_EQ(rows[5].verdict, Verdict::Holds);
  EXPECT_EQ(rows[6].verdict, Verdict::NoTarget) << "the target is for the 32-bit variant";
  EXPECT_EQ(rows[7].verdict, Verdict::Misses) << "1.5 ms of CPU against 1 ms";
  EXPECT_EQ(rows[8].verdict, Verdict::NoTarget);
}

TEST(ReportTable, ReadsTheFrameworksNotANumberAsNoFigure) {
  json output = ParseOutput(R"({"benchmarks": [{"name": "A_cv", "run_name": "A",
      "run_type": "aggregate", "aggregate_name": "cv", "x": NaN, "y": -inf, "label": "NaN: ok"}]})");
  ASSERT_FALSE(output.is_discarded());
  EXPECT_TRUE(output["benchmarks"][0]["x"].is_null());
  EXPECT_TRUE(output["benchmarks"][0]["y"].is_null());
  EXPECT_EQ(output["benchmarks"][0]["label"], "NaN: ok");
  EXPECT_TRUE(ParseOutput("{").is_discarded());
}

TEST(ReportTable, FailedRunsAndMissingProgramsAreNotMeasuredAndCounted) {
  json failed = {{"name", "Open"},
                 {"run_type", "iteration"},
                 {"error_occurred", true},
                 {"error_message", "could not open the card"}};
  std::vector<Row> rows = RowsOf("p", Output({failed}));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].verdict, Verdict::NotMeasured);
  EXPECT_EQ(rows[0].note, "could not open the card");
  rows.push_back(NotMeasured("bench_startup", "start-up", "program not built"));
  rows.push_back(
      RowsOf("p", Output({Median("Loop", {{"cpu_percent", 2.0}, {"target_percent", 3.0}})}))[0]);
  std::string table = FormatTable(rows, false);
  EXPECT_NE(table.find("1 of 1 targets hold; 2 not measured."), std::string::npos) << table;
  EXPECT_NE(FormatTable(rows, true).find("| benchmark "), std::string::npos);
}

}  // namespace
}  // namespace slk::bench
