#include "card/ps2/ps2_ecc.h"

#include <bit>
#include <cstring>

#if defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace slk::ps2 {
namespace {

// Column parity bits of one byte: bits 0-2 the parities of the bits at even,
// at 0x33 and at low-nibble positions, bits 4-6 of their complements; bit 3
// is unused. The parity of a masked XOR is the XOR of the parities, so the
// chunk's column parity is that of the XOR of all its bytes.
constexpr std::uint8_t ColumnBits(std::uint8_t b) {
  constexpr std::uint8_t kMasks[7] = {0x55, 0x33, 0x0F, 0x00, 0xAA, 0xCC, 0xF0};
  std::uint8_t bits = 0;
  for (int i = 0; i < 7; ++i)
    bits |=
        static_cast<std::uint8_t>((std::popcount(static_cast<unsigned>(b & kMasks[i])) & 1) << i);
  return bits;
}

constexpr std::array<std::uint8_t, 256> MakeColumnTable() {
  std::array<std::uint8_t, 256> t{};
  for (int b = 0; b < 256; ++b) t[b] = ColumnBits(static_cast<std::uint8_t>(b));
  return t;
}

constexpr std::array<std::uint8_t, 256> kColumnBits = MakeColumnTable();

#if defined(__SSE2__) && defined(__x86_64__)
constexpr std::array<std::uint8_t, 256> MakeParityTable() {
  std::array<std::uint8_t, 256> t{};
  for (unsigned b = 0; b < 256; ++b) t[b] = static_cast<std::uint8_t>(std::popcount(b) & 1);
  return t;
}

constexpr std::array<std::uint8_t, 256> kParity = MakeParityTable();

// The XOR of a word's eight bytes.
std::uint8_t FoldBytes(std::uint64_t x) {
  x ^= x >> 32;
  x ^= x >> 16;
  x ^= x >> 8;
  return static_cast<std::uint8_t>(x);
}

std::uint64_t Low(__m128i v) {
  return static_cast<std::uint64_t>(_mm_cvtsi128_si64(v));
}
std::uint64_t High(__m128i v) {
  return static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(v, v)));
}
#else
constexpr std::uint64_t kByteLowBits = 0x0101010101010101ull;
constexpr std::uint64_t kBytesOdd = 0x0100010001000100ull;   // bytes 1, 3, 5, 7 of a word
constexpr std::uint64_t kBytesBit1 = 0x0101000001010000ull;  // bytes 2, 3, 6, 7
constexpr std::uint64_t kBytesBit2 = 0x0101010100000000ull;  // bytes 4-7

std::uint64_t LoadLE64(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, sizeof v);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  return v;
}

// Parity of a word whose set bits all lie at multiples of 8.
unsigned SpacedParity(std::uint64_t x) {
  x ^= x >> 32;
  x ^= x >> 16;
  x ^= x >> 8;
  return static_cast<unsigned>(x & 1);
}
#endif

// The codes start from these values, so a chunk of zeros has 77 7F 7F.
constexpr std::uint8_t kColumnStart = 0x77;
constexpr std::uint8_t kLineStart = 0x7F;
constexpr std::uint8_t kColumnUsed = 0x77;
constexpr std::uint8_t kLineUsed = 0x7F;

// The code from the XOR of the chunk's bytes (the column parity) and the XOR
// of the indexes of its odd-parity bytes with their count's parity (the line
// parities).
EccCode MakeCode(std::uint8_t all, std::uint8_t lineOdd, bool oddCount) {
  // Line parity 0 XORs the complement of each index, line parity 1 the index.
  std::uint8_t line0 = kLineStart ^ lineOdd ^ (oddCount ? kLineUsed : 0);
  std::uint8_t line1 = kLineStart ^ lineOdd;
  return {static_cast<std::uint8_t>(kColumnStart ^ kColumnBits[all]),
          static_cast<std::uint8_t>(line0 & kLineUsed), line1};
}

}  // namespace

#if defined(__SSE2__) && defined(__x86_64__)
EccCode ComputeEcc(std::span<const std::uint8_t, kEccChunk> chunk) {
  // Parity is linear: the parity of a XOR of bytes is the XOR of their
  // parities. So bit j of the XOR of the odd bytes' indexes is the parity of
  // the XOR of all bytes whose index has bit j. Sixteen bytes at a time:
  // bits 0-3 of an index are a byte's place in its group, bits 4-6 the
  // group's place in the chunk. Opening a card checks every page with this.
  __m128i g[8];
  for (std::size_t k = 0; k < 8; ++k)
    g[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chunk.data() + 16 * k));
  __m128i pairs[4];  // g[2i] ^ g[2i+1]
  for (std::size_t i = 0; i < 4; ++i) pairs[i] = _mm_xor_si128(g[2 * i], g[2 * i + 1]);
  // The groups whose index has bit 0, 1, 2.
  const __m128i bit0 = _mm_xor_si128(_mm_xor_si128(g[1], g[3]), _mm_xor_si128(g[5], g[7]));
  const __m128i bit1 = _mm_xor_si128(pairs[1], pairs[3]);
  const __m128i bit2 = _mm_xor_si128(pairs[2], pairs[3]);
  const __m128i every = _mm_xor_si128(_mm_xor_si128(pairs[0], pairs[1]), bit2);
  std::uint64_t high = High(every), folded = Low(every) ^ high;
  auto parityOf = [](std::uint64_t x) { return unsigned{kParity[FoldBytes(x)]}; };
  unsigned lineOdd = parityOf(folded & 0xFF00FF00FF00FF00ull) |       // bytes 1, 3, 5, 7
                     parityOf(folded & 0xFFFF0000FFFF0000ull) << 1 |  // bytes 2, 3, 6, 7
                     parityOf(folded & 0xFFFFFFFF00000000ull) << 2 |  // bytes 4-7
                     parityOf(high) << 3 | parityOf(Low(bit0) ^ High(bit0)) << 4 |
                     parityOf(Low(bit1) ^ High(bit1)) << 5 | parityOf(Low(bit2) ^ High(bit2)) << 6;
  std::uint8_t all = FoldBytes(folded);
  return MakeCode(all, static_cast<std::uint8_t>(lineOdd), kParity[all] != 0);
}
#else
EccCode ComputeEcc(std::span<const std::uint8_t, kEccChunk> chunk) {
  // Eight bytes at a time: the parity of each byte lands in bit 8j of a word,
  // and since parity is linear the index bits of the odd bytes can be
  // collected by XOR before counting: bits 0-2 from the byte's place in its
  // word, bits 3-6 from the word's place in the chunk.
  std::uint64_t all = 0;
  std::uint64_t odd = 0;                  // parity bits of every word, XORed
  std::array<std::uint64_t, 4> byWord{};  // the same, over words whose index has bit b
  for (std::size_t k = 0; k < kEccChunk / 8; ++k) {
    std::uint64_t w = LoadLE64(chunk.data() + 8 * k);
    all ^= w;
    std::uint64_t p = w ^ (w >> 4);
    p ^= p >> 2;
    p ^= p >> 1;
    p &= kByteLowBits;
    odd ^= p;
    for (std::size_t b = 0; b < byWord.size(); ++b) byWord[b] ^= p & (0 - ((k >> b) & 1));
  }
  std::uint8_t lineOdd = static_cast<std::uint8_t>(SpacedParity(odd & kBytesOdd) |
                                                   SpacedParity(odd & kBytesBit1) << 1 |
                                                   SpacedParity(odd & kBytesBit2) << 2);
  for (std::size_t b = 0; b < byWord.size(); ++b)
    lineOdd |= static_cast<std::uint8_t>(SpacedParity(byWord[b]) << (3 + b));
  all ^= all >> 32;
  all ^= all >> 16;
  all ^= all >> 8;
  return MakeCode(static_cast<std::uint8_t>(all & 0xFF), lineOdd, SpacedParity(odd) != 0);
}
#endif

EccResult CheckEcc(std::span<std::uint8_t, kEccChunk> chunk, EccCode& code) {
  EccCode computed = ComputeEcc(chunk);
  if (computed == code) return EccResult::Ok;
  std::uint8_t columnDiff = (computed[0] ^ code[0]) & kColumnUsed;
  std::uint8_t line0Diff = (computed[1] ^ code[1]) & kLineUsed;
  std::uint8_t line1Diff = (computed[2] ^ code[2]) & kLineUsed;
  std::uint8_t lineCheck = line0Diff ^ line1Diff;
  std::uint8_t columnCheck = (columnDiff >> 4) ^ (columnDiff & 0x07);
  // A flipped data bit flips every parity pair exactly once: line parity 1
  // then names its byte and the high column bits its bit.
  if (lineCheck == kLineUsed && columnCheck == 0x07) {
    chunk[line1Diff] ^= static_cast<std::uint8_t>(1u << (columnDiff >> 4));
    return EccResult::Corrected;
  }
  // One flipped bit in the code itself, or only unused bits differ.
  int codeBits = std::popcount(static_cast<unsigned>(lineCheck)) +
                 std::popcount(static_cast<unsigned>(columnCheck));
  if ((columnDiff == 0 && line0Diff == 0 && line1Diff == 0) || codeBits == 1) {
    code = computed;
    return EccResult::Corrected;
  }
  return EccResult::Uncorrectable;
}

#if defined(__SSE2__) && defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
namespace {

// The same code written straight to `out`. Copying MakeCode's array had the
// compiler store two of its bytes apart and load them as one word, which
// stalls the load until the stores are done: most of a page's time in the
// vector code below.
void PutCode(std::uint8_t* out, std::uint8_t all, std::uint8_t lineOdd) {
  auto line1 = static_cast<std::uint8_t>(kLineStart ^ lineOdd);
  out[0] = static_cast<std::uint8_t>(kColumnStart ^ kColumnBits[all]);
  out[1] = static_cast<std::uint8_t>((line1 ^ (kParity[all] ? kLineUsed : 0)) & kLineUsed);
  out[2] = line1;
}

// A page's four codes 32 bytes at a time, for processors with AVX2 (chosen
// when the program runs; opening an 8 MB card checks 16,384 pages). Instead
// of XORing groups and counting seven parities one by one, each byte's
// parity comes from two nibble look-ups (pshufb), the indexes of the odd
// bytes are XORed together in one pass, and so are the bytes themselves:
// two 32-byte folds per chunk.
__attribute__((target("avx2"))) void ComputePageEccAvx2(const std::uint8_t* page,
                                                        std::uint8_t* codes) {
  // 0xFF where the nibble has odd parity, for both 16-byte lanes.
  const __m256i nibbleParity =
      _mm256_setr_epi8(0, -1, -1, 0, -1, 0, 0, -1, -1, 0, 0, -1, 0, -1, -1, 0, 0, -1, -1, 0, -1, 0,
                       0, -1, -1, 0, 0, -1, 0, -1, -1, 0);
  const __m256i lowNibbles = _mm256_set1_epi8(0x0F);
  const __m256i index =
      _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
                       22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
  const __m256i step = _mm256_set1_epi8(32);
  for (std::size_t q = 0; q < kEccChunksPerPage; ++q) {
    __m256i all = _mm256_setzero_si256(), odd = _mm256_setzero_si256(), at = index;
    for (std::size_t k = 0; k < kEccChunk / 32; ++k) {
      __m256i v =
          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(page + q * kEccChunk + 32 * k));
      __m256i parity = _mm256_xor_si256(
          _mm256_shuffle_epi8(nibbleParity, _mm256_and_si256(v, lowNibbles)),
          _mm256_shuffle_epi8(nibbleParity, _mm256_and_si256(_mm256_srli_epi16(v, 4), lowNibbles)));
      all = _mm256_xor_si256(all, v);
      odd = _mm256_xor_si256(odd, _mm256_and_si256(parity, at));
      at = _mm256_add_epi8(at, step);
    }
    __m128i a = _mm_xor_si128(_mm256_castsi256_si128(all), _mm256_extracti128_si256(all, 1));
    __m128i o = _mm_xor_si128(_mm256_castsi256_si128(odd), _mm256_extracti128_si256(odd, 1));
    __m128i both = _mm_xor_si128(_mm_unpacklo_epi64(a, o), _mm_unpackhi_epi64(a, o));
    std::uint8_t allBytes = FoldBytes(static_cast<std::uint64_t>(_mm_cvtsi128_si64(both)));
    std::uint8_t lineOdd = FoldBytes(static_cast<std::uint64_t>(_mm_extract_epi64(both, 1)));
    PutCode(codes + q * kEccCodeSize, allBytes, lineOdd);
  }
}

// [a b]: the 16-byte halves of each XORed, a's in the low lane, b's in the
// high one.
__attribute__((target("avx2"))) inline __m256i Lanes(__m256i a, __m256i b) {
  return _mm256_xor_si256(_mm256_permute2x128_si256(a, b, 0x20),
                          _mm256_permute2x128_si256(a, b, 0x31));
}

// Two such: one 8-byte word for each of the four, in the order a, c, b, d.
__attribute__((target("avx2"))) inline __m256i Words(__m256i ab, __m256i cd) {
  return _mm256_xor_si256(_mm256_unpacklo_epi64(ab, cd), _mm256_unpackhi_epi64(ab, cd));
}

// Byte w of the result: the XOR of the bytes of word w. Each word is turned
// on its side (the transform with the word as its matrix), so that the
// parity of the side's byte k is bit k of the word's fold.
__attribute__((target("avx2,gfni"))) inline std::uint32_t Folds(__m256i words) {
  const __m256i eachBit = _mm256_set1_epi64x(0x8040201008040201);  // byte k: bit k
  const __m256i parityEverywhere = _mm256_set1_epi64x(-1);
  __m256i side = _mm256_gf2p8affine_epi64_epi8(eachBit, words, 0);
  return static_cast<std::uint32_t>(
      _mm256_movemask_epi8(_mm256_gf2p8affine_epi64_epi8(side, parityEverywhere, 0)));
}

// The same with GFNI, the whole page at once. One affine transform gives
// each byte's parity, and since parity is linear the chunk's four 32-byte
// groups are XORed first: bits 0-4 of the odd bytes' indexes come from the
// parities of the XOR of the groups, bit 5 from the parity of groups 1 and
// 3, bit 6 from that of groups 2 and 3. The four chunks' folds are then
// made together: the vectors are XORed down to one 8-byte word per chunk,
// and the words to bytes by Folds. Twice the speed of the look-ups above, whose folds were one
// chunk at a time.
__attribute__((target("avx2,gfni"))) void ComputePageEccGfni(const std::uint8_t* page,
                                                             std::uint8_t* codes) {
  // Row i of an affine matrix is byte 7 - i of its word: all ones gives the
  // byte's parity in every bit, a single row of ones the parity in bit i.
  const __m256i parityEverywhere = _mm256_set1_epi64x(-1);
  const __m256i parityInBit5 = _mm256_set1_epi64x(0xFF0000);
  const __m256i parityInBit6 = _mm256_set1_epi64x(0xFF00);
  const __m256i index =
      _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
                       22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
  __m256i all[kEccChunksPerPage], odd[kEccChunksPerPage];
  for (std::size_t q = 0; q < kEccChunksPerPage; ++q) {
    const auto* chunk = reinterpret_cast<const __m256i*>(page + q * kEccChunk);
    __m256i g0 = _mm256_loadu_si256(chunk), g1 = _mm256_loadu_si256(chunk + 1);
    __m256i g2 = _mm256_loadu_si256(chunk + 2), g3 = _mm256_loadu_si256(chunk + 3);
    __m256i odd13 = _mm256_xor_si256(g1, g3), odd23 = _mm256_xor_si256(g2, g3);
    all[q] = _mm256_xor_si256(_mm256_xor_si256(g0, g2), odd13);
    odd[q] = _mm256_xor_si256(
        _mm256_and_si256(_mm256_gf2p8affine_epi64_epi8(all[q], parityEverywhere, 0), index),
        _mm256_xor_si256(_mm256_gf2p8affine_epi64_epi8(odd13, parityInBit5, 0),
                         _mm256_gf2p8affine_epi64_epi8(odd23, parityInBit6, 0)));
  }
  const std::uint32_t allFolds = Folds(Words(Lanes(all[0], all[1]), Lanes(all[2], all[3])));
  const std::uint32_t oddFolds = Folds(Words(Lanes(odd[0], odd[1]), Lanes(odd[2], odd[3])));
  constexpr unsigned kWordOf[kEccChunksPerPage] = {0, 2, 1, 3};
  for (std::size_t q = 0; q < kEccChunksPerPage; ++q) {
    auto allBytes = static_cast<std::uint8_t>(allFolds >> (8 * kWordOf[q]));
    auto lineOdd = static_cast<std::uint8_t>(oddFolds >> (8 * kWordOf[q]));
    PutCode(codes + q * kEccCodeSize, allBytes, lineOdd);
  }
}

// Whole pages with spare bytes one after another, each page's codes
// compared with its stored ones: the code above inlined in the loop.
constexpr std::size_t kRawPage = 512 + 16;

__attribute__((target("avx2,gfni"))) void MatchPagesGfni(const std::uint8_t* raw, std::size_t pages,
                                                         bool* matches) {
  for (std::size_t i = 0; i < pages; ++i, raw += kRawPage) {
    std::uint8_t codes[kEccChunksPerPage * kEccCodeSize];
    ComputePageEccGfni(raw, codes);
    matches[i] = std::memcmp(codes, raw + 512, sizeof codes) == 0;
  }
}

__attribute__((target("avx2"))) void MatchPagesAvx2(const std::uint8_t* raw, std::size_t pages,
                                                    bool* matches) {
  for (std::size_t i = 0; i < pages; ++i, raw += kRawPage) {
    std::uint8_t codes[kEccChunksPerPage * kEccCodeSize];
    ComputePageEccAvx2(raw, codes);
    matches[i] = std::memcmp(codes, raw + 512, sizeof codes) == 0;
  }
}

PageEccCode BestPageEccCode() {
  static const PageEccCode best = [] {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return PageEccCode::Chunks;
    constexpr unsigned kOsXsave = 1u << 27, kAvx = 1u << 28;
    if ((c & kOsXsave) == 0 || (c & kAvx) == 0) return PageEccCode::Chunks;
    // The system saves the vector registers' upper halves (XCR0 bits 1, 2).
    unsigned lo = 0, hi = 0;
    __asm__("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    if ((lo & 6u) != 6u) return PageEccCode::Chunks;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return PageEccCode::Chunks;
    if ((b & (1u << 5)) == 0) return PageEccCode::Chunks;                 // AVX2
    return (c & (1u << 8)) != 0 ? PageEccCode::Gfni : PageEccCode::Avx2;  // GFNI
  }();
  return best;
}

}  // namespace
#endif

bool ComputePageEccWith(PageEccCode code, std::span<const std::uint8_t, 512> page,
                        std::span<std::uint8_t, 12> codes) {
#if defined(__SSE2__) && defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  if (code > BestPageEccCode()) return false;
  switch (code) {
    case PageEccCode::Gfni:
      ComputePageEccGfni(page.data(), codes.data());
      return true;
    case PageEccCode::Avx2:
      ComputePageEccAvx2(page.data(), codes.data());
      return true;
    case PageEccCode::Chunks:
      break;
  }
#else
  if (code != PageEccCode::Chunks) return false;
#endif
  for (std::size_t q = 0; q < kEccChunksPerPage; ++q) {
    EccCode c = ComputeEcc(page.subspan(q * kEccChunk).first<kEccChunk>());
    for (std::size_t k = 0; k < kEccCodeSize; ++k) codes[q * kEccCodeSize + k] = c[k];
  }
  return true;
}

void ComputePageEcc(std::span<const std::uint8_t, 512> page, std::span<std::uint8_t, 12> codes) {
#if defined(__SSE2__) && defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  ComputePageEccWith(BestPageEccCode(), page, codes);
#else
  ComputePageEccWith(PageEccCode::Chunks, page, codes);
#endif
}

void MatchPageCodes(std::span<const std::uint8_t> raw, std::span<bool> matches) {
  constexpr std::size_t kRaw = 512 + 16;
  const std::size_t pages = std::min(raw.size() / kRaw, matches.size());
#if defined(__SSE2__) && defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  switch (BestPageEccCode()) {
    case PageEccCode::Gfni:
      return MatchPagesGfni(raw.data(), pages, matches.data());
    case PageEccCode::Avx2:
      return MatchPagesAvx2(raw.data(), pages, matches.data());
    case PageEccCode::Chunks:
      break;
  }
#endif
  for (std::size_t i = 0; i < pages; ++i) {
    std::array<std::uint8_t, kEccChunksPerPage * kEccCodeSize> codes;
    ComputePageEcc(raw.subspan(i * kRaw).first<512>(), codes);
    matches[i] = std::memcmp(codes.data(), raw.data() + i * kRaw + 512, codes.size()) == 0;
  }
}

EccResult CheckPageEcc(std::span<std::uint8_t, 512> page, std::span<std::uint8_t, 12> codes) {
  EccResult worst = EccResult::Ok;
  for (std::size_t q = 0; q < kEccChunksPerPage; ++q) {
    EccCode c{codes[q * 3], codes[q * 3 + 1], codes[q * 3 + 2]};
    EccResult r = CheckEcc(page.subspan(q * kEccChunk).first<kEccChunk>(), c);
    for (std::size_t k = 0; k < kEccCodeSize; ++k) codes[q * kEccCodeSize + k] = c[k];
    if (r == EccResult::Uncorrectable || (r == EccResult::Corrected && worst == EccResult::Ok))
      worst = r;
  }
  return worst;
}

}  // namespace slk::ps2
