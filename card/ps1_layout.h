#pragma once
// The PS1 memory card as it lies in a file: blocks, frames, the directory
// frame's fields and the headers some formats put in front of the card. The
// one place these offsets are spelled out; the card reader and writer, the
// single-save formats and `check` all use them.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace slk {

// 128 bytes: the unit the card is read and written in.
constexpr std::uint32_t kFrameSize = 128;
// 8,192 bytes = 64 frames: the unit saves are stored in.
constexpr std::uint32_t kBlockSize = 8192;
// Blocks 1-15 hold saves; block 0 is the directory.
constexpr std::uint32_t kCardBlocks = 15;
constexpr std::uint32_t kCardSize = 131072;
constexpr std::uint32_t kCardCapacity = kCardBlocks * kBlockSize;  // 0x1E000
static_assert(kBlockSize == 64 * kFrameSize);
static_assert(kCardSize == (kCardBlocks + 1) * kBlockSize);

// Block 0, frame by frame.
namespace PS1Block0 {
constexpr std::uint32_t kHeaderFrame = 0;          // "MC", zero, checksum
constexpr std::uint32_t kFirstDirectoryFrame = 1;  // frame n describes block n (1-15)
constexpr std::uint32_t kBrokenSectorFrames = 16;  // 20 frames: broken-sector list
constexpr std::uint32_t kBrokenSectorCount = 20;
// Frames 36-63 (replacement sectors, unused frames, the write-test frame)
// carry no checksum; frames 16-47 are written as broken-sector list frames
// and 48-63 as blank frames, as other tools write them.
constexpr std::uint32_t kChecksummedFrames = 36;
constexpr std::uint32_t kWrittenBrokenSectorFrames = 32;
constexpr std::uint32_t kWrittenBlankFrames = 16;
static_assert(kBrokenSectorFrames + kBrokenSectorCount == kChecksummedFrames);
static_assert(1 + kCardBlocks + kWrittenBrokenSectorFrames + kWrittenBlankFrames ==
              kBlockSize / kFrameSize);
}  // namespace PS1Block0

// A directory frame (frames 1-15 of block 0); the single-save formats carry
// one in front of the save's blocks.
namespace PS1Frame {
constexpr std::size_t kState = 0x00;  // 4 bytes at 0x00: block state (kState* below)
constexpr std::size_t kSize = 0x04;   // 4 bytes at 0x04: save size in bytes, first block only
constexpr std::size_t kLink = 0x08;   // 2 bytes at 0x08: next block's index (0-14), kLinkEnd = last
constexpr std::size_t kName = 0x0A;   // 21 bytes at 0x0A: file name, first block only: at most
                                      //   20 characters, NUL-terminated, NUL-padded
constexpr std::size_t kNameBytes = 21;
constexpr std::size_t kNameChars = 20;
constexpr std::size_t kNamePad = 0x1F;   // 1 byte at 0x1F: zero
constexpr std::size_t kUnused = 0x20;    // 95 bytes at 0x20: zero
constexpr std::size_t kChecksum = 0x7F;  // 1 byte at 0x7F: XOR of bytes 0x00-0x7E
static_assert(kLink + 2 == kName);
static_assert(kName + kNameBytes == kNamePad && kNamePad + 1 == kUnused);
static_assert(kUnused + 95 == kChecksum && kChecksum + 1 == kFrameSize);
static_assert(kNameChars + 1 == kNameBytes);

constexpr std::uint32_t kStateFirst = 0x51;   // first block of a save
constexpr std::uint32_t kStateMiddle = 0x52;  // a block between the first and the last
constexpr std::uint32_t kStateLast = 0x53;    // last block of a save of two or more
constexpr std::uint32_t kStateFree = 0xA0;    // never used, or formatted
// 0xA1-0xA3: the three above, deleted.
constexpr std::uint32_t kStateDeletedLast = 0xA3;
constexpr std::uint16_t kLinkEnd = 0xFFFF;
}  // namespace PS1Frame

// .mem (Connectix VGS): a 64-byte header in front of the card.
namespace MemHeader {
constexpr std::size_t kBytes = 64;
constexpr std::string_view kSignature = "VgsM";  // 4 bytes at 0x00
// 4 bytes each at 0x04, 0x08, 0x0C: 1; 4 bytes at 0x10: 0x200; the rest zero.
constexpr std::size_t kOnes[] = {0x04, 0x08, 0x0C};
constexpr std::size_t kBlockField = 0x10;
constexpr std::uint32_t kBlockValue = 0x200;
}  // namespace MemHeader

// .vmp (PSP, PS Vita): a signed 128-byte header in front of the card; its
// fields are the format library's (card/formats).
namespace VmpHeader {
constexpr std::size_t kBytes = 0x80;
}  // namespace VmpHeader

// .gme (DexDrive): a 3,904-byte header in front of the card.
namespace GmeHeader {
constexpr std::size_t kBytes = 3904;
constexpr std::string_view kSignature = "123-456-STD";  // 11 bytes at 0x00
// 1 byte each at 0x12 and 0x14: 1; 1 byte at 0x15: 'M'. Written as DexDrive
// software writes them; nothing reads them.
constexpr std::size_t kMarkOne = 0x12;
constexpr std::size_t kMarkTwo = 0x14;
constexpr std::size_t kMarkLetter = 0x15;
constexpr std::size_t kStates = 0x16;    // 15 bytes at 0x16: byte 0 of directory frames 1-15
constexpr std::size_t kLinks = 0x26;     // 15 bytes at 0x26: byte 8 of directory frames 1-15
constexpr std::size_t kComments = 0x40;  // 256 bytes per block from 0x40: a comment
constexpr std::size_t kCommentBytes = 256;
static_assert(kStates + kCardBlocks < kLinks && kLinks + kCardBlocks < kComments);
static_assert(kComments + kCardBlocks * kCommentBytes == kBytes);
}  // namespace GmeHeader

}  // namespace slk
