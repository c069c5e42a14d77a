#pragma once
// What a PS2 card's check finds: each fault with where it lies, so that
// `check` can report it and the slot can mark the card damaged.

#include <cstdint>
#include <string>
#include <vector>

namespace slk::ps2 {

enum class FaultKind {
  EccCorrected,      // a page with one wrong bit per quarter, repaired on reading
  EccUncorrectable,  // a page read as it stands
  FatUnreadable,     // an indirect or FAT cluster number outside the card
  ChainOutOfRange,   // a chain points past the last allocatable cluster
  ChainIntoFree,     // a chain continues into a cluster the FAT calls free
  ChainLoop,         // a chain comes back to one of its own clusters
  CrossLinked,       // a cluster claimed by two chains
  ChainTooShort,     // the chain holds fewer bytes than the entry's length
  ChainTooLong,      // the chain has clusters beyond the entry's length
  LostClusters,      // allocated clusters that no chain reaches (`where` = count)
  BadDirectory,      // a directory without "." or "..", or a length that lies
};

struct Fault {
  FaultKind kind;
  std::uint32_t where = 0;  // page for ECC faults, data cluster for chain faults
  std::string name;         // the file or directory concerned, when known
  bool operator==(const Fault&) const = default;
};

// True when a fault means data may be missing or wrong (a corrected ECC
// error, a chain longer than needed or lost clusters lose nothing).
inline bool IsDamage(FaultKind kind) {
  return kind != FaultKind::EccCorrected && kind != FaultKind::ChainTooLong &&
         kind != FaultKind::LostClusters;
}
inline bool HasDamage(const std::vector<Fault>& faults) {
  for (const Fault& f : faults)
    if (IsDamage(f.kind)) return true;
  return false;
}

}  // namespace slk::ps2
