// The glyph text format: what it accepts and the line numbers of its errors.
#include "font_source.h"

#include <gtest/gtest.h>

namespace {

struct Parsed {
  bool ok;
  FontDef font;
  std::string error;
  std::vector<std::string> warnings;
};

Parsed parse(const std::string& text) {
  Parsed p;
  p.ok = parseFontText(text, "f.txt", p.font, p.error, p.warnings);
  return p;
}

TEST(FontSource, GlyphsCommentsAndCodes) {
  Parsed p = parse(
      "# a test font\r\n"
      "spaceWidth 4\n"
      "spacing -1\n"
      "########\n"
      "glyph A\n"
      ".#.\n"
      "# comment inside a glyph\n"
      "#.#\n"
      "\n"
      "glyph 0x30\n"
      "  ##  \n"
      "glyph 49\n"
      "#\n"
      "glyph #\n"
      "#\n"
      "glyph 7\n");
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(4, p.font.spaceWidth);
  EXPECT_EQ(-1, p.font.spacing);
  ASSERT_EQ(5, p.font.glyphCount());
  const Glyph& a = p.font.glyphs[0];
  EXPECT_EQ('A', a.code);
  EXPECT_EQ(3, a.width);
  EXPECT_EQ(2, a.height);
  EXPECT_EQ(std::vector<unsigned char>({0, 1, 0, 1, 0, 1}), a.bitmap);
  EXPECT_EQ('0', p.font.glyphs[1].code);  // ends at the next glyph line, no blank needed
  EXPECT_EQ(2, p.font.glyphs[1].width);
  EXPECT_EQ('1', p.font.glyphs[2].code);
  EXPECT_EQ('#', p.font.glyphs[3].code);
  EXPECT_EQ('7', p.font.glyphs[4].code);  // one character is the character, not a code
  EXPECT_EQ(0, p.font.glyphs[4].height);
  ASSERT_EQ(1u, p.warnings.size());
  EXPECT_EQ("f.txt:16: glyph '7' has no rows", p.warnings[0]);
}

TEST(FontSource, ErrorsNameFileAndLine) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"glyph A\n.#\n#\n", "f.txt:3: row is 1 pixels wide, but glyph 'A' is 2 wide"},
      {"spacing 1\nglyph A\n#.\n\n.#\n", "f.txt:5: a row of pixels outside a glyph"},
      {"glyph A\n#x#\n", "f.txt:2: a glyph row may hold only '#' and '.'"},
      {"glyph A\n.x.\n", "f.txt:2: a glyph row may hold only '#' and '.'"},
      {"\nglyph 256\n", "f.txt:2: glyph needs a single character or a code 0..255"},
      {"glyph AB\n", "f.txt:1: glyph needs a single character"},
      {"glyph\n", "f.txt:1: glyph needs a single character"},
      {"spacing wide\n", "f.txt:1: spacing needs a whole number in -32768..32767, not 'wide'"},
      {"spaceWidth 40000\n", "f.txt:1: spaceWidth needs a whole number"},
      {"\n\nkerning 2\n", "f.txt:3: unknown line 'kerning 2'"},
  };
  for (const Case& c : cases) {
    Parsed p = parse(c.text);
    EXPECT_FALSE(p.ok) << c.text;
    EXPECT_EQ(0u, p.error.find(c.error)) << c.text << "\n" << p.error;
  }
}

TEST(FontSource, SizeLimitsOfAGlyph) {
  Parsed wide = parse("glyph A\n" + std::string(256, '#') + "\n");
  EXPECT_FALSE(wide.ok);
  EXPECT_EQ(0u, wide.error.find("f.txt:2: row is 256 pixels wide (at most 255)"));

  std::string tall = "glyph A\n";
  for (int i = 0; i < 256; ++i) tall += "#\n";
  Parsed p = parse(tall);
  EXPECT_FALSE(p.ok);
  EXPECT_EQ(0u, p.error.find("f.txt:257: glyph 'A' has more than 255 rows"));

  Parsed max = parse("glyph A\n" + std::string(255, '.') + "\n");
  ASSERT_TRUE(max.ok) << max.error;
  EXPECT_EQ(255, max.font.glyphs[0].width);
}

TEST(FontSource, RepeatedGlyphIsKeptWithAWarning) {
  Parsed p = parse("glyph A\n#\nglyph 65\n.\n");
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(2, p.font.glyphCount());
  ASSERT_EQ(1u, p.warnings.size());
  EXPECT_EQ("f.txt:3: glyph 'A' was already defined at line 1; the first one is used",
            p.warnings[0]);
}

}  // namespace
