#include "card/refusal.h"

#include <cerrno>
#include <utility>

#include "card/formats/crypto_library.h"

namespace slk {

using platform::Problem;
using platform::Reason;

Problem ProblemOf(Reason reason, std::string field, std::uint64_t have, std::uint64_t need) {
  Problem problem;
  problem.reason = reason;
  problem.field = std::move(field);
  problem.have = have;
  problem.need = need;
  return problem;
}

bool RefuseShort(Workspace& ws, const platform::File& image, std::uint64_t need) {
  ws.Refuse(ProblemOf(Reason::TooShort, {}, image.Size(), need));
  return false;
}

bool RefuseField(Workspace& ws, Reason reason, std::string field, std::uint64_t have,
                 std::uint64_t need) {
  ws.Refuse(ProblemOf(reason, std::move(field), have, need));
  return false;
}

bool ReadOrRefuse(Workspace& ws, platform::File& image, void* buffer, std::uint64_t n) {
  std::uint64_t end = image.Position() + n;
  errno = 0;
  if (image.ReadExact(buffer, n)) return true;
  if (end > image.Size()) return RefuseShort(ws, image, end);
  Problem problem = ProblemOf(Reason::ReadFailed);
  problem.error = errno;
  ws.Refuse(problem);
  return false;
}

bool SigningLibraryLoads(Workspace& ws, const FormatRow& format, int message) {
  bool signs = format.layout == FormatLayout::Psv ||
               (format.layout == FormatLayout::PS1Card && format.variant == PS1Variant::Vmp);
  Problem why;
  if (!signs || formats::CryptoLoads(why)) return true;
  ws.Ui().ShowProblem(message, why);
  return false;
}

void ShowRefusal(Workspace& ws, const std::string& path, int message) {
  Refusal refusal = ws.TakeRefusal();
  if (refusal.why && refusal.why.path.empty()) refusal.why.path = path;
  ws.Ui().ShowProblem(refusal.message != 0 ? refusal.message : message, refusal.why);
}

}  // namespace slk
