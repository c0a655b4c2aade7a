// The reader's encodings and its short-read rule.
#include "content/archive_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "archive_bytes.h"

TEST(ArchiveReader, DecodesLittleEndianValues) {
  Bytes b;
  b.raw({0x34, 0x12, 0xFE, 0xFF, 0x78, 0x56, 0x34, 0x12, 0x00, 0x00, 0xC0, 0x3F, 0x9A});
  b.raw({0x03, 0x00, 'a', 0x00, 'b', 0x00, 0x00});
  TempFile file(b.data);
  ArchiveReader reader(file.path());
  ASSERT_TRUE(reader.isOpen());
  EXPECT_EQ(reader.readU16(), 0x1234);
  EXPECT_EQ(reader.readI16(), -2);
  EXPECT_EQ(reader.readU32(), 0x12345678u);
  EXPECT_EQ(reader.readF32(), 1.5f);
  EXPECT_EQ(reader.readU8(), 0x9A);
  EXPECT_EQ(reader.readStr(), std::string("a\0b", 3));  // zero bytes kept
  EXPECT_EQ(reader.readStr(), "");
  EXPECT_TRUE(reader.isOpen());
  EXPECT_EQ(reader.remaining(), 0);
}

TEST(ArchiveReader, ShortReadClosesAndKeepsTheLowByte) {
  Bytes b;
  b.raw({0x05, 0x06, 0x07});
  TempFile file(b.data);
  ArchiveReader reader(file.path());
  EXPECT_EQ(reader.readU16(), 0x0605);
  EXPECT_EQ(reader.readU16(), 0x07);  // the missing high byte counts as 0
  EXPECT_FALSE(reader.isOpen());
  EXPECT_EQ(reader.readU32(), 0u);
  EXPECT_EQ(reader.readStr(), "");
  EXPECT_TRUE(reader.readBlock(4).empty());
  EXPECT_EQ(reader.remaining(), 0);
}

TEST(ArchiveReader, U32CutAfterItsLowHalf) {
  Bytes b;
  b.raw({0x11, 0x22, 0x33});
  TempFile file(b.data);
  ArchiveReader reader(file.path());
  EXPECT_EQ(reader.readU32(), 0x332211u);
  EXPECT_FALSE(reader.isOpen());
}

TEST(ArchiveReader, BlocksAcrossTheBufferAndPastTheEnd) {
  Bytes b;
  for (int i = 0; i < 200000; ++i) b.u8(unsigned(i * 7));
  TempFile file(b.data);
  ArchiveReader reader(file.path());
  EXPECT_TRUE(reader.readBlock(0).empty());
  EXPECT_TRUE(reader.readBlock(-5).empty());
  EXPECT_TRUE(reader.isOpen());
  EXPECT_EQ(reader.readU8(), 0);
  std::vector<unsigned char> big = reader.readBlock(150000);
  ASSERT_EQ(big.size(), 150000u);
  EXPECT_EQ(big[0], 7);
  EXPECT_EQ(big[149999], uint8_t(150000 * 7));
  reader.skip(9);
  EXPECT_EQ(reader.readU8(), uint8_t(150010 * 7));
  // Announced far past the end: what was there, then closed.
  std::vector<unsigned char> rest = reader.readBlock(int64_t(1) << 40);
  ASSERT_EQ(rest.size(), 200000u - 150011);
  EXPECT_EQ(rest.back(), uint8_t(199999 * 7));
  EXPECT_FALSE(reader.isOpen());
}

TEST(ArchiveReader, ReadIntoZeroFillsAShortRead) {
  Bytes b;
  b.raw({1, 2});
  TempFile file(b.data);
  ArchiveReader reader(file.path());
  unsigned char out[4] = {9, 9, 9, 9};
  EXPECT_FALSE(reader.readInto(out, 4));
  EXPECT_EQ(out[1], 2);
  EXPECT_EQ(out[2], 0);
  EXPECT_EQ(out[3], 0);
  EXPECT_FALSE(reader.isOpen());
}

TEST(ArchiveReader, UnopenablePaths) {
  EXPECT_FALSE(ArchiveReader(nullptr).isOpen());
  EXPECT_FALSE(ArchiveReader("/nonexistent/orvane.dat").isOpen());
  EXPECT_FALSE(ArchiveReader("/tmp").isOpen());
  EXPECT_FALSE(ArchiveReader("/dev/zero").isOpen());  // would never end
  TempFile holder({});
  std::string fifo = holder.dir() + "/pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(ArchiveReader(fifo.c_str()).isOpen());  // no writer: must not block
  unlink(fifo.c_str());
}
