// The option parser the command-line programs share.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cmdline/options.h"

namespace pelvane::cmdline {
namespace {

OptionTable Table() {
  OptionTable table;
  table.valued = {"db", "id"};
  table.flags = {"help", "listen"};
  table.aliases = {{"-h", "help"}};
  return table;
}

TEST(Options, ValuesSwitchesAndWordsInAnyOrder) {
  const ParsedOptions p(
      {"account", "--db", "a b", "add", "--id=-7", "-h", "--listen", "--", "--not-an-option", "-"},
      Table());
  EXPECT_EQ(p.Words(), (std::vector<std::string>{"account", "add", "--not-an-option", "-"}));
  EXPECT_EQ(p.Value("db"), "a b");
  EXPECT_EQ(p.Integer("id", 0), -7);
  EXPECT_TRUE(p.Has("help"));
  EXPECT_TRUE(p.Has("listen"));
  EXPECT_EQ(p.Value("missing", "fallback"), "fallback");
  EXPECT_EQ(p.Integer("missing", 42), 42);
  // A value may itself begin with "-", and "--name=" gives an empty one.
  EXPECT_EQ(ParsedOptions({"--db", "--listen"}, Table()).Value("db"), "--listen");
  EXPECT_EQ(ParsedOptions({"--db="}, Table()).Value("db"), "");
}

TEST(Options, UsageErrors) {
  const std::vector<std::vector<std::string>> cases = {
      {"--colour", "red"},      // unknown
      {"-x"},                   // unknown short spelling
      {"--db"},                 // no value
      {"--listen=yes"},         // value for a switch
      {"--db", "a", "--db=b"},  // repeated
      {"--help", "-h"},         // repeated through its alias
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(args.front());
    EXPECT_THROW(ParsedOptions(args, Table()), UsageError);
  }
  // An unknown option is named as given, with a hint for file names that begin with "-".
  for (const std::string arg : {"-order.txt", "--colour=red", "--colour"}) {
    try {
      ParsedOptions({"--db", "x", arg}, Table());
      ADD_FAILURE() << arg;
    } catch (const UnknownOption& e) {
      EXPECT_EQ(e.Argument(), arg);
      EXPECT_EQ(e.what(), "unknown option " + arg);
      EXPECT_EQ(e.FileNameHint(),
                "Unknown option " + arg + "; use ./" + arg + " or -- for a file name");
    }
  }
  const ParsedOptions p({"--db", "x", "--id", "1e3"}, Table());
  EXPECT_THROW(p.Required("missing"), UsageError);
  EXPECT_THROW(p.Integer("id", 0), UsageError);
  EXPECT_THROW(ParsedOptions({"--id", "99999999999999999999"}, Table()).Integer("id", 0),
               UsageError);
  EXPECT_NO_THROW(p.AllowOnly({"db", "id"}));
  EXPECT_THROW(p.AllowOnly({"db"}), UsageError);
}

}  // namespace
}  // namespace pelvane::cmdline
