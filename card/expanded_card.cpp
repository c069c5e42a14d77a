#include "card/expanded_card.h"

namespace slk {

// The expanded card format arrives with its own change; until then an .xmc
// file is refused like any unreadable image.
std::uint32_t ReadExpandedCard(Workspace&, Slot, platform::File&) {
  return 0;
}

std::uint32_t WriteExpandedCard(Workspace&, Slot, platform::File&, bool, const SaveEntry*) {
  return 0;
}

}  // namespace slk
