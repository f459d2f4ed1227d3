// The --help layout and the manual page made from the same help data.
#include "core/help_text.h"

#include <gtest/gtest.h>

namespace quillon::testing {
namespace {

const ProgramHelp kHelp{"tool",
                        "does things",
                        {"[options] FILE"},
                        "First line.\n.not a request\n\nA path C:\\dir.",
                        {{"Options",
                          {{"--short", "one\ntwo"},
                           {"--state FILE", "nested", 1},
                           {"--a-very-long-option-name VALUE", "below"}}}},
                        "Files here.",
                        "0 fine."};

TEST(HelpTextTest, HelpColumnsAndManualEscapes) {
  const std::string help = FormatHelp(kHelp);
  EXPECT_NE(help.find("Usage: tool [options] FILE\n"), std::string::npos);
  EXPECT_NE(help.find("  --short                 one\n                          two\n"),
            std::string::npos)
      << help;
  EXPECT_NE(help.find("    --state FILE          nested\n"), std::string::npos) << help;
  // A term too long for the column puts its text on the next line.
  EXPECT_NE(help.find("  --a-very-long-option-name VALUE\n                          below\n"),
            std::string::npos)
      << help;

  const std::string man = FormatManPage(kHelp, "1.2.3", "2026-01-02");
  EXPECT_EQ(man.rfind(".TH TOOL 1 \"2026-01-02\" \"Quillon 1.2.3\" \"User Commands\"\n", 0), 0u);
  EXPECT_NE(man.find(".SH NAME\ntool \\- does things\n"), std::string::npos);
  // A line starting with a dot is text, not a roff request; backslashes are printed.
  EXPECT_NE(man.find("\n\\&.not a request\n"), std::string::npos) << man;
  EXPECT_NE(man.find("C:\\edir."), std::string::npos);
  EXPECT_NE(man.find(".TP\n.B \\-\\-state FILE\nnested\n"), std::string::npos) << man;
  EXPECT_NE(man.find(".SH FILES\nFiles here.\n"), std::string::npos);
  EXPECT_NE(man.find(".SH \"EXIT STATUS\"\n0 fine.\n"), std::string::npos);
}

}  // namespace
}  // namespace quillon::testing
