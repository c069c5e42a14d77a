// LZARI: an LZ77 window of 4096 bytes whose literals, match lengths and
// match distances are coded with an adaptive arithmetic coder of 15-bit
// precision. The window starts as 4036 spaces; bits are taken most
// significant first.

#include <algorithm>
#include <array>
#include <cstddef>

#include "card/formats/codecs.h"

namespace slk::formats {
namespace {

constexpr int kWindow = 4096;
constexpr int kMaxMatch = 60;
constexpr int kMinMatch = 3;
constexpr int kSymbols = 256 - kMinMatch + 1 + kMaxMatch;  // literals then lengths 3..60
constexpr std::uint32_t kQ1 = 1u << 15;
constexpr std::uint32_t kQ2 = 2 * kQ1;
constexpr std::uint32_t kQ3 = 3 * kQ1;
constexpr std::uint32_t kQ4 = 4 * kQ1;
constexpr std::uint32_t kMaxCum = kQ1 - 1;
// The decoder primes 17 bits; past the end of the input it reads zeros,
// but a stream that needs more than this many of them is cut short.
constexpr std::size_t kSlackBits = 32;

// The adaptive model both sides keep in step: symbols sorted by frequency,
// cumulative counts from the top (cum[0] is the total).
struct Model {
  std::array<int, kSymbols> charToSym{};
  std::array<int, kSymbols + 1> symToChar{};
  std::array<std::uint32_t, kSymbols + 1> freq{};
  std::array<std::uint32_t, kSymbols + 1> cum{};
  std::array<std::uint32_t, kWindow + 1> posCum{};

  Model() {
    cum[kSymbols] = 0;
    for (int sym = kSymbols; sym >= 1; --sym) {
      charToSym[sym - 1] = sym;
      symToChar[sym] = sym - 1;
      freq[sym] = 1;
      cum[sym - 1] = cum[sym] + 1;
    }
    freq[0] = 0;
    posCum[kWindow] = 0;
    for (int i = kWindow; i >= 1; --i)
      posCum[i - 1] = posCum[i] + 10000 / static_cast<std::uint32_t>(i + 200);
  }

  void Update(int sym) {
    if (cum[0] >= kMaxCum) {
      std::uint32_t c = 0;
      for (int i = kSymbols; i > 0; --i) {
        cum[i] = c;
        freq[i] = (freq[i] + 1) >> 1;
        c += freq[i];
      }
      cum[0] = c;
    }
    int i = sym;
    while (freq[i] == freq[i - 1]) --i;
    if (i < sym) {
      int chI = symToChar[i];
      int chSym = symToChar[sym];
      symToChar[i] = chSym;
      symToChar[sym] = chI;
      charToSym[chI] = sym;
      charToSym[chSym] = i;
    }
    ++freq[i];
    while (--i >= 0) ++cum[i];
  }
};

class BitReader {
 public:
  explicit BitReader(std::span<const std::uint8_t> in) : in_(in) {}
  int Next() {
    std::size_t byte = pos_ >> 3;
    int bit = byte < in_.size() ? (in_[byte] >> (7 - (pos_ & 7))) & 1 : 0;
    ++pos_;
    return bit;
  }
  bool Overrun() const { return pos_ > in_.size() * 8 + kSlackBits; }

 private:
  std::span<const std::uint8_t> in_;
  std::size_t pos_ = 0;
};

class Decoder {
 public:
  explicit Decoder(std::span<const std::uint8_t> in) : bits_(in) {
    for (int i = 0; i < 17; ++i) value_ = 2 * value_ + static_cast<std::uint32_t>(bits_.Next());
  }

  int Char() {
    std::uint32_t range = high_ - low_;
    std::uint32_t x = static_cast<std::uint32_t>(
        ((static_cast<std::uint64_t>(value_ - low_) + 1) * model_.cum[0] - 1) / range);
    int lo = 1, hi = kSymbols;  // the first symbol whose cum is <= x
    while (lo < hi) {
      int k = (lo + hi) / 2;
      if (model_.cum[k] > x)
        lo = k + 1;
      else
        hi = k;
    }
    int sym = lo;
    Narrow(range, model_.cum[sym - 1], model_.cum[sym], model_.cum[0]);
    int ch = model_.symToChar[sym];
    model_.Update(sym);
    return ch;
  }

  int Position() {
    std::uint32_t range = high_ - low_;
    std::uint32_t x = static_cast<std::uint32_t>(
        ((static_cast<std::uint64_t>(value_ - low_) + 1) * model_.posCum[0] - 1) / range);
    int lo = 1, hi = kWindow;
    while (lo < hi) {
      int k = (lo + hi) / 2;
      if (model_.posCum[k] > x)
        lo = k + 1;
      else
        hi = k;
    }
    int pos = lo - 1;
    Narrow(range, model_.posCum[pos], model_.posCum[pos + 1], model_.posCum[0]);
    return pos;
  }

  bool Overrun() const { return bits_.Overrun(); }

 private:
  void Narrow(std::uint32_t range, std::uint32_t top, std::uint32_t bottom, std::uint32_t total) {
    high_ = low_ + static_cast<std::uint32_t>(static_cast<std::uint64_t>(range) * top / total);
    low_ += static_cast<std::uint32_t>(static_cast<std::uint64_t>(range) * bottom / total);
    for (;;) {
      if (low_ >= kQ2) {
        value_ -= kQ2;
        low_ -= kQ2;
        high_ -= kQ2;
      } else if (low_ >= kQ1 && high_ <= kQ3) {
        value_ -= kQ1;
        low_ -= kQ1;
        high_ -= kQ1;
      } else if (high_ > kQ2) {
        break;
      }
      low_ += low_;
      high_ += high_;
      value_ = 2 * value_ + static_cast<std::uint32_t>(bits_.Next());
    }
  }

  BitReader bits_;
  Model model_;
  std::uint32_t low_ = 0;
  std::uint32_t high_ = kQ4;
  std::uint32_t value_ = 0;
};

class Encoder {
 public:
  void Char(int ch) {
    int sym = model_.charToSym[ch];
    Narrow(model_.cum[sym - 1], model_.cum[sym], model_.cum[0]);
    model_.Update(sym);
  }
  void Position(int pos) { Narrow(model_.posCum[pos], model_.posCum[pos + 1], model_.posCum[0]); }

  std::vector<std::uint8_t> Finish() {
    ++shifts_;
    Output(low_ < kQ1 ? 0 : 1);
    if (bitCount_ != 0) out_.push_back(static_cast<std::uint8_t>(acc_ << (8 - bitCount_)));
    return std::move(out_);
  }

 private:
  void Narrow(std::uint32_t top, std::uint32_t bottom, std::uint32_t total) {
    std::uint32_t range = high_ - low_;
    high_ = low_ + static_cast<std::uint32_t>(static_cast<std::uint64_t>(range) * top / total);
    low_ += static_cast<std::uint32_t>(static_cast<std::uint64_t>(range) * bottom / total);
    for (;;) {
      if (high_ <= kQ2) {
        Output(0);
      } else if (low_ >= kQ2) {
        Output(1);
        low_ -= kQ2;
        high_ -= kQ2;
      } else if (low_ >= kQ1 && high_ <= kQ3) {
        ++shifts_;
        low_ -= kQ1;
        high_ -= kQ1;
      } else {
        break;
      }
      low_ += low_;
      high_ += high_;
    }
  }
  void Output(int bit) {
    Put(bit);
    for (; shifts_ > 0; --shifts_) Put(!bit);
  }
  void Put(int bit) {
    acc_ = static_cast<std::uint8_t>((acc_ << 1) | bit);
    if (++bitCount_ == 8) {
      out_.push_back(acc_);
      acc_ = 0;
      bitCount_ = 0;
    }
  }

  Model model_;
  std::uint32_t low_ = 0;
  std::uint32_t high_ = kQ4;
  int shifts_ = 0;
  std::uint8_t acc_ = 0;
  int bitCount_ = 0;
  std::vector<std::uint8_t> out_;
};

}  // namespace

std::optional<std::vector<std::uint8_t>> LzariDecode(std::span<const std::uint8_t> in,
                                                     std::size_t outSize) {
  std::vector<std::uint8_t> out;
  // The size comes from the file: grow as bytes really come out rather than
  // take it on trust.
  out.reserve(std::min<std::size_t>(outSize, in.size() * 8 + 4096));
  std::array<std::uint8_t, kWindow> window{};
  for (int i = 0; i < kWindow - kMaxMatch; ++i) window[i] = ' ';
  int r = kWindow - kMaxMatch;
  Decoder dec(in);
  while (out.size() < outSize) {
    int c = dec.Char();
    if (c < 256) {
      out.push_back(static_cast<std::uint8_t>(c));
      window[r] = static_cast<std::uint8_t>(c);
      r = (r + 1) & (kWindow - 1);
    } else {
      int from = (r - dec.Position() - 1) & (kWindow - 1);
      int length = c - 256 + kMinMatch;
      for (int k = 0; k < length && out.size() < outSize; ++k) {
        std::uint8_t b = window[(from + k) & (kWindow - 1)];
        out.push_back(b);
        window[r] = b;
        r = (r + 1) & (kWindow - 1);
      }
    }
    if (dec.Overrun()) return std::nullopt;
  }
  return out;
}

std::vector<std::uint8_t> LzariEncode(std::span<const std::uint8_t> in) {
  // Matches are searched in the window as the decoder will hold it: the
  // leading spaces, then the input. Distances stay within the part of the
  // window the decoder has not yet overwritten.
  constexpr int kPrefix = kWindow - kMaxMatch;
  constexpr int kMaxDistance = kWindow - kMaxMatch;
  constexpr int kChainLimit = 128;
  std::vector<std::uint8_t> text(kPrefix, ' ');
  text.insert(text.end(), in.begin(), in.end());
  const int end = static_cast<int>(text.size());

  constexpr int kHashSize = 1 << 14;
  std::vector<int> head(kHashSize, -1);
  std::vector<int> prev(text.size(), -1);
  auto hash = [&](int p) {
    return ((text[p] << 8) ^ (text[p + 1] << 4) ^ text[p + 2]) & (kHashSize - 1);
  };
  auto insert = [&](int p) {
    if (p + kMinMatch > end) return;
    int h = hash(p);
    prev[p] = head[h];
    head[h] = p;
  };
  for (int p = kPrefix - kMaxMatch; p < kPrefix; ++p) insert(p);

  Encoder enc;
  int pos = kPrefix;
  while (pos < end) {
    int bestLength = 0;
    int bestDistance = 0;
    if (pos + kMinMatch <= end) {
      int limit = std::min(kMaxMatch, end - pos);
      int chain = 0;
      for (int cand = head[hash(pos)]; cand >= 0 && chain < kChainLimit;
           cand = prev[cand], ++chain) {
        int distance = pos - cand;
        if (distance > kMaxDistance) break;
        int n = 0;
        while (n < limit && text[cand + n] == text[pos + n]) ++n;
        if (n > bestLength) {
          bestLength = n;
          bestDistance = distance;
          if (n == limit) break;
        }
      }
    }
    int advance = 1;
    if (bestLength >= kMinMatch) {
      enc.Char(256 - kMinMatch + bestLength);
      enc.Position(bestDistance - 1);
      advance = bestLength;
    } else {
      enc.Char(text[pos]);
    }
    for (int k = 0; k < advance; ++k) insert(pos + k);
    pos += advance;
  }
  return enc.Finish();
}

void Rc4Crypt(const std::uint8_t (&permutation)[256], std::span<std::uint8_t> data) {
  std::array<std::uint8_t, 256> s;
  std::copy(std::begin(permutation), std::end(permutation), s.begin());
  std::uint8_t i = 0, j = 0;
  for (std::uint8_t& b : data) {
    ++i;
    j = static_cast<std::uint8_t>(j + s[i]);
    std::swap(s[i], s[j]);
    b ^= s[static_cast<std::uint8_t>(s[i] + s[j])];
  }
}

}  // namespace slk::formats
