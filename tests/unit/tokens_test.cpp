// Keyword tokens joined by ':' as ctab_fill and set_exposure_and_rate take
// them.
#include "io/tokens.hpp"

#include <gtest/gtest.h>

#include <string>

namespace grabline {
namespace {

struct Fields {
  TokenField items[4] = {{"index", TokenKind::kUnsigned},
                         {"mask", TokenKind::kHex},
                         {"exp", TokenKind::kReal},
                         {"mode", TokenKind::kWord}};
  TokenField &operator[](int i) { return items[i]; }
};

TEST(Tokens, KeywordBlanksAndValueAsTheScannersReadThem) {
  Fields f;
  ASSERT_EQ(ParseTokens("index 12:mask0xfF:exp  -1.5e1:mode free run", f.items), TokenText::kOk);
  EXPECT_EQ(f[0].number, 12u);
  EXPECT_EQ(f[1].number, 0xFFu);
  EXPECT_EQ(f[2].real, -15.0);
  EXPECT_EQ(f[3].word, "free");  // a word ends at a blank
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(f[i].seen && f[i].fits) << i;

  Fields g;
  // Trailing text is ignored, empty pieces skipped, a later token wins; a
  // keyword without a value, or with leading blanks, counts for nothing.
  ASSERT_EQ(ParseTokens("::index 7x:index 8:mask: exp 1:mode", g.items), TokenText::kOk);
  EXPECT_EQ(g[0].number, 8u);
  EXPECT_FALSE(g[1].seen);
  EXPECT_FALSE(g[2].seen);
  EXPECT_FALSE(g[3].seen);
  EXPECT_EQ(ParseTokens(":::", g.items), TokenText::kNoToken);
  EXPECT_EQ(ParseTokens("", g.items), TokenText::kNoToken);
}

TEST(Tokens, ValuesThatDoNotFitAreMarkedNotCut) {
  Fields f;
  ASSERT_EQ(ParseTokens("index 4294967296:mask 123456789abcdef0123:mode " +
                            std::string(kMaxTokenWord + 1, 'w'),
                        f.items),
            TokenText::kOk);
  EXPECT_TRUE(f[0].seen);
  EXPECT_FALSE(f[0].fits);
  EXPECT_EQ(f[1].number, UINT64_MAX);  // too large for every field
  EXPECT_FALSE(f[3].fits);
  Fields g;
  ASSERT_EQ(
      ParseTokens("index 4294967295:index -1:mode " + std::string(kMaxTokenWord, 'w'), g.items),
      TokenText::kOk);
  EXPECT_FALSE(g[0].fits);  // the sign
  EXPECT_TRUE(g[3].fits);

  const std::string longest(kMaxTokenText, ':');
  EXPECT_EQ(ParseTokens(longest, g.items), TokenText::kNoToken);
  EXPECT_EQ(ParseTokens(longest + ":", g.items), TokenText::kTooLong);
}

}  // namespace
}  // namespace grabline
