#pragma once
// The second line of a message: which file, and what was wrong with it, in
// the user's language.

#include <string>

#include "platform/problem.h"
#include "resources/strings.h"

namespace slk::res {

// "card.mcr: too short for the format: 1,000 bytes, needs 131,072" and the
// like; the file's name without its folder. Empty for Reason::None.
std::string DescribeProblem(const platform::Problem& problem, Language language);
std::string DescribeProblem(const platform::Problem& problem);

}  // namespace slk::res
