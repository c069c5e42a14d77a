// bench_table: the one table of bench/run.sh.
//
//   bench_table [--markdown] [--not-measured PROGRAM:NAME:WHY]... PROGRAM=OUTPUT.json...
//
// Each OUTPUT.json is what a benchmark program wrote with
// --benchmark_format=json (best with --benchmark_repetitions, so that medians
// are shown). Rows come in the order given.

#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "report_table.h"

namespace {

int Usage() {
  std::cerr << "usage: bench_table [--markdown] [--not-measured PROGRAM:NAME:WHY]... "
               "PROGRAM=OUTPUT.json...\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool markdown = false;
  std::vector<slk::bench::Row> rows;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--markdown") {
      markdown = true;
    } else if (arg == "--not-measured" && i + 1 < argc) {
      std::string given = argv[++i];
      auto first = given.find(':'), second = given.find(':', first + 1);
      if (first == std::string::npos || second == std::string::npos) return Usage();
      rows.push_back(slk::bench::NotMeasured(given.substr(0, first),
                                             given.substr(first + 1, second - first - 1),
                                             given.substr(second + 1)));
    } else if (auto eq = arg.find('='); eq != std::string::npos && eq > 0) {
      std::string program = arg.substr(0, eq), path = arg.substr(eq + 1);
      std::ifstream in(path);
      std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      nlohmann::json output = in.is_open() ? slk::bench::ParseOutput(text)
                                           : nlohmann::json(nlohmann::json::value_t::discarded);
      if (output.is_discarded()) {
        rows.push_back(slk::bench::NotMeasured(program, "(all)", "no readable output in " + path));
        continue;
      }
      std::vector<slk::bench::Row> more = slk::bench::RowsOf(program, output);
      if (more.empty()) rows.push_back(slk::bench::NotMeasured(program, "(all)", "no results"));
      rows.insert(rows.end(), more.begin(), more.end());
    } else {
      return Usage();
    }
  }
  std::cout << slk::bench::FormatTable(rows, markdown);
  return 0;
}
