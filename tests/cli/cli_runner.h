#pragma once
// Runs the built slotkeeper-cli as a separate process, the way a script
// would: stdin from /dev/null (never a terminal), stdout and stderr caught,
// the locale chosen by the test.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <initializer_list>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace slk::testing {

struct CliResult {
  int exit = -1;
  std::string out;
  std::string err;
};

class CliRunner {
 public:
  // `language` becomes LC_ALL: "C" for English texts, "ja_JP.UTF-8" for Japanese.
  explicit CliRunner(std::string language = "C") : language_(std::move(language)) {}

  // `environment`: more NAME=value settings for the program.
  CliResult Run(const std::vector<std::string>& args,
                std::vector<std::string> environment = {}) const {
    std::string outPath = scratch_.File("stdout");
    std::string errPath = scratch_.File("stderr");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::vector<std::string> argStrings{SLOTKEEPER_CLI_PATH};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argStrings) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::string lcAll = "LC_ALL=" + language_;
    std::string path = "PATH=/usr/bin:/bin";
    std::string tmp = "TMPDIR=" + scratch_.Path();
    // Backups and settings stay in the scratch folder, never the user's.
    std::string state = "XDG_STATE_HOME=" + scratch_.File("state");
    std::string config = "XDG_CONFIG_HOME=" + ConfigFolder();
    environment.insert(environment.end(), {lcAll, path, tmp, state, config});
    std::vector<char*> env;
    for (std::string& setting : environment) env.push_back(setting.data());
    env.push_back(nullptr);
    pid_t pid = -1;
    CliResult result;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), env.data()) == 0) {
      int status = 0;
      waitpid(pid, &status, 0);
      result.exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    result.out = ReadFileText(outPath);
    result.err = ReadFileText(errPath);
    return result;
  }

  // Where the program looks for qovan2.ini.
  std::string ConfigFolder() const { return scratch_.File("config"); }

 private:
  std::string language_;
  TempDir scratch_;
};

// `list --json` of the files, parsed.
inline nlohmann::json ListJson(const CliRunner& cli, std::vector<std::string> files) {
  files.insert(files.begin(), {"list", "--json"});
  return nlohmann::json::parse(cli.Run(files).out);
}

// The sha256 of every save of one listed file, in row order.
inline std::vector<std::string> Digests(const nlohmann::json& file) {
  std::vector<std::string> digests;
  for (const auto& save : file.at("saves")) digests.push_back(save.at("sha256"));
  return digests;
}

}  // namespace slk::testing
