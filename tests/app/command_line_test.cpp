// The command line of the real program: banner, usage, argument rules, exit codes, messages.
#include <gtest/gtest.h>

#include <string>

#include "support/run_program.h"
#include "support/temp_dir.h"
#include "texture/file_builders.h"

namespace tarnvick::testing {
namespace {

const std::string kUsage = AsPrinted(
    "usage:\n"
    "tarnvick.exe c:\\a_directory\\ [-pc:\\somedir\\somefile.pal] [-oc:\\otherdir\\goodpalette.pal] [-s] [-v]\n\n"
    "parameters are as follows:\n"
    "c:\\a_directory\\                 : directory to convert\n"
    "-pc:\\somedir\\somefile.pal       : exisiting palette to use for the conversion\n"
    "-oc:\\otherdir\\goodpalette.pal   : palette to generate for the conversion\n"
    "-s                              : process sub directories\n"
    "-v                              : verbose output\n\n"
    "notes:\n"
    "  starting directory is required\n"
    "  -p and -o are mutually exclusive\n");

const std::string kMutuallyExclusive =
    "\n input (-p)  and output (-o) palette parameters are mutually exclusive\n";

// The lines on standard error of the command-line errors.
const std::string kSeeHelp = "; tarnvick --help lists the options\n";
const std::string kNoStartError = "tarnvick: no start directory given" + kSeeHelp;
const std::string kTwoPalettesError = "tarnvick: -p and -o cannot be used together" + kSeeHelp;
std::string InvalidError(const std::string& argument) { return "tarnvick: invalid parameter: " + argument + kSeeHelp; }

// What a generating run prints on standard error for the folder `tex` without textures.
std::string EmptyRunErrors(const std::string& palette) {
  return "tarnvick: no colours counted, the palette file is not written: " + palette +
         "\ntarnvick: no M8 or M32 textures found in tex\n";
}

// What a generating run prints on a directory with no textures, without -v.
const std::string kEmptyGeneratingRun = std::string(kBanner) +
                                        "generating optimal palette...\n\tgathering palette data..."
                                        "\n\tprocessing palette data...\n\twriting palette data...\n\n"
                                        "\nconverting M8/M32 files...\ndone.\n";

// An M32 of one pixel (10, 20, 30): its colour counts, but it has no fourth level to convert.
std::vector<std::uint8_t> OnePixelM32() {
  M32Fields fields;
  fields.width = {1};
  fields.height = {1};
  fields.pixels = {10, 20, 30, 0};
  return BuildM32(fields);
}

void ExpectResult(const ProgramResult& result, const std::string& out, const std::string& err, int code) {
  EXPECT_EQ(result.out, out);
  EXPECT_EQ(result.err, err);
  EXPECT_EQ(result.exit_code, code);
}

TEST(CommandLine, UsageColonsStandInColumn33) {
  // Pieces 4 to 8 pad the option text to 32 characters.
  for (const char* option : {"c:\\a_directory\\ ", "-pc:\\somedir", "-oc:\\otherdir", "-s  ", "-v  "}) {
    const std::size_t line = kUsage.find("\n" + AsPrinted(option));
    ASSERT_NE(line, std::string::npos) << option;
    EXPECT_EQ(kUsage.find(" : ", line + 1) - (line + 1), 31u) << option;
  }
}

TEST(CommandLine, NoArgumentsPrintsUsageAndExitsOne) {
  TempDir dir;
  ExpectResult(RunTarnvick({}, {.working_directory = dir.path()}), kBanner + kUsage, kNoStartError, 1);
  EXPECT_TRUE(ListNames(dir.path()).empty()) << "nothing may be written";
}

TEST(CommandLine, ShortArgumentsExitTwoBeforeAnythingElse) {
  TempDir dir;
  for (const std::string argument : {"x", "-", ""}) {
    SCOPED_TRACE("argument '" + argument + "'");
    ExpectResult(RunTarnvick({dir.path(), "-s", argument, "-pa -pb"}, {.working_directory = dir.path()}),
                 kBanner + kUsage + "invalid parameter: " + argument + "\n", InvalidError(argument), 2);
  }
  EXPECT_TRUE(ListNames(dir.path()).empty());
}

TEST(CommandLine, SecondPaletteOptionExitsThree) {
  TempDir dir;
  for (const auto& pair : {std::pair{"-pa.pal", "-ob.pal"}, {"-pa.pal", "-pb.pal"}, {"-oa.pal", "-Ob.pal"},
                           {"-Oa.pal", "-pb.pal"}, {"-p", "-o"}}) {
    SCOPED_TRACE(std::string(pair.first) + " " + pair.second);
    ExpectResult(RunTarnvick({dir.path(), pair.first, "-v", pair.second}, {.working_directory = dir.path()}),
                 kBanner + kUsage + kMutuallyExclusive, kTwoPalettesError, 3);
  }
  EXPECT_TRUE(ListNames(dir.path()).empty());
}

TEST(CommandLine, FirstErrorDecides) {
  TempDir dir;
  ExpectResult(RunTarnvick({dir.path(), "-pa", "-pb", "x"}), kBanner + kUsage + kMutuallyExclusive, kTwoPalettesError, 3);
  ExpectResult(RunTarnvick({dir.path(), "-pa", "x", "-pb"}), kBanner + kUsage + "invalid parameter: x\n",
               InvalidError("x"), 2);
}

TEST(CommandLine, DefaultRunGeneratesPaletteLmpInWorkingDirectory) {
  TempDir dir;
  WriteText(dir / "tex/readme.txt", "not a texture");
  ExpectResult(RunTarnvick({"tex"}, {.working_directory = dir.path()}), kEmptyGeneratingRun,
               EmptyRunErrors("palette.lmp"), 0);
  EXPECT_FALSE(Exists(dir / "palette.lmp")) << "no colour counted, no palette written";
  WriteBytes(dir / "tex/one.m32", OnePixelM32());
  EXPECT_EQ(RunTarnvick({"tex"}, {.working_directory = dir.path()}).exit_code, 0);
  std::vector<std::uint8_t> palette(768, 0);
  palette[0] = 10, palette[1] = 20, palette[2] = 30;
  EXPECT_EQ(ReadBytes(dir / "palette.lmp"), palette);
}

TEST(CommandLine, OutputOptionNamesThePaletteGluedToTheLetter) {
  TempDir dir;
  WriteText(dir / "tex/readme.txt", "");
  WriteBytes(dir / "tex/one.m32", OnePixelM32());
  ExpectResult(RunTarnvick({"tex", "-Omine.pal"}, {.working_directory = dir.path()}), kEmptyGeneratingRun,
               "tarnvick: skipped tex/one.m32: no fourth mip level\n", 0);
  EXPECT_EQ(ListNames(dir.path()), (std::vector<std::string>{"mine.pal", "tex"}));
}

TEST(CommandLine, OnlyTheSecondCharacterDecides) {
  TempDir dir;
  WriteText(dir / "tex/sub/readme.txt", "");
  WriteBytes(dir / "tex/sub/one.m32", OnePixelM32());
  // -sub is -s, -verbose is -v, -q and "dir" are ignored.
  const ProgramResult result =
      RunTarnvick({"tex", "-sub", "-q", "dir", "-verbose", "-oout.pal"}, {.working_directory = dir.path()});
  ExpectResult(result,
               std::string(kBanner) +
                   "generating optimal palette...\n\tgathering palette data...\n\ttex...\n\ttex/sub..."
                   "\n\tprocessing palette data...\n\twriting palette data...\n\n"
                   "\nconverting M8/M32 files...\n\ttex...\n\ttex/sub...\ndone.\n",
               "tarnvick: unknown option ignored: -q\ntarnvick: extra argument ignored: dir\n"
               "tarnvick: skipped tex/sub/one.m32: no fourth mip level\ntarnvick: 0 converted, 1 skipped\n",
               0);
  EXPECT_TRUE(Exists(dir / "out.pal"));
}

TEST(CommandLine, UpperCaseOptionsAreTheSame) {
  TempDir dir;
  WriteText(dir / "tex/sub/readme.txt", "");
  const ProgramResult upper = RunTarnvick({"tex", "-S", "-V"}, {.working_directory = dir.path()});
  const ProgramResult lower = RunTarnvick({"tex", "-s", "-v"}, {.working_directory = dir.path()});
  EXPECT_EQ(upper.out, lower.out);
  EXPECT_NE(upper.out.find("\n\ttex/sub..."), std::string::npos);
  EXPECT_EQ(upper.exit_code, 0);
}

TEST(CommandLine, FirstArgumentIsAlwaysTheStartDirectory) {
  TempDir dir;
  WriteText(dir / "-s/readme.txt", "");
  WriteText(dir / "dir/readme.txt", "");
  // "-s" is the start directory; "dir" does not begin with '-' and is ignored.
  ExpectResult(RunTarnvick({"-s", "dir"}, {.working_directory = dir.path()}), kEmptyGeneratingRun,
               "tarnvick: extra argument ignored: dir\ntarnvick: no colours counted, the palette file is not written: "
               "palette.lmp\ntarnvick: no M8 or M32 textures found in -s\n",
               0);
}

TEST(CommandLine, MissingStartDirectoryStopsBeforeThePaletteStep) {
  TempDir dir;
  WriteText(dir / "palette.lmp", "keep me");
  WriteText(dir / "afile", "");
  for (const auto& [start, problem] : {std::pair<std::string, std::string>{"nowhere", "not found"},
                                       {"", "not found"},
                                       {"afile", "is not a directory"}}) {
    SCOPED_TRACE("start directory '" + start + "'");
    ExpectResult(RunTarnvick({start}, {.working_directory = dir.path()}), kBanner,
                 "tarnvick: start directory " + problem + ": " + start + "\n", 4);
    ExpectResult(RunTarnvick({start, "-pnone.pal"}, {.working_directory = dir.path()}), kBanner,
                 "tarnvick: start directory " + problem + ": " + start + "\n", 4);
  }
  EXPECT_EQ(ReadText(dir / "palette.lmp"), "keep me");
}

TEST(CommandLine, TrailingSeparatorStaysInPaths) {
  TempDir dir;
  WriteText(dir / "tex/sub/readme.txt", "");
  const ProgramResult result = RunTarnvick({"tex/", "-s", "-v", "-pnone.pal"}, {.working_directory = dir.path()});
  // The palette cannot be read, so only the start directory check and the palette step run.
  ExpectResult(result, kBanner, "tarnvick: cannot read palette file: none.pal: No such file or directory\n", 4);
  const ProgramResult generated = RunTarnvick({"tex/", "-s", "-v"}, {.working_directory = dir.path()});
  EXPECT_NE(generated.out.find("\n\ttex/...\n\ttex//sub..."), std::string::npos) << generated.out;
}

TEST(CommandLine, HelpAndVersionWinOverEverythingAndWriteNothing) {
  TempDir dir;
  WriteText(dir / "tex/readme.txt", "");
  const std::string help = RunTarnvick({"--help"}, {.working_directory = dir.path()}).out;
  ASSERT_EQ(help.rfind(kBanner, 0), 0u) << help;
  for (const char* needle : {"--palette=FILE", "-p FILE", "--write-palette", "-o FILE", "--recursive", "--verbose",
                             "--jobs=N", "--preview=FILE", "--report=FILE", "--palette-method=NAME", "./palette.lmp", "exit codes"}) {
    EXPECT_NE(help.find(needle), std::string::npos) << needle;
  }
  const struct {
    std::vector<std::string> arguments;
    bool help;
  } cases[] = {
      {{"-h"}, true},
      {{"--help", "-pa", "-pb"}, true},
      {{"nowhere", "x", "-H"}, true},  // before the exit 2 of "x": help is looked for first
      {{"tex", "-pa", "-ob", "-hxyz"}, true},
      {{"tex", "--palette-method=bogus", "--help"}, true},
      {{"--version"}, false},
      {{"nowhere", "--version", "--help"}, false},
      {{"tex", "-s", "--help", "--version"}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments[0] + " ... " + c.arguments.back());
    const ProgramResult result = RunTarnvick(c.arguments, {.working_directory = dir.path()});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.err, "");
    if (c.help) {
      EXPECT_EQ(result.out, help);
    } else {
      EXPECT_EQ(result.out, "tarnvick 1.1.0\n");
    }
  }
  // As the first argument only the exact words count: "-hx" is a start directory.
  ExpectResult(RunTarnvick({"-hx"}, {.working_directory = dir.path()}), kBanner,
               "tarnvick: start directory not found: -hx\n", 4);
  EXPECT_EQ(ListNames(dir.path()), std::vector<std::string>{"tex"});
}

TEST(CommandLine, LongOptionsAndSeparateValuesDoWhatTheirShortFormsDo) {
  TempDir dir;
  WriteText(dir / "tex/sub/readme.txt", "");
  WriteBytes(dir / "given.pal", std::vector<std::uint8_t>(768, 7));
  const struct {
    std::vector<std::string> long_form, short_form;
    std::string written;  // the palette file the run writes, if any
  } cases[] = {
      {{"--palette=given.pal", "--recursive", "--verbose"}, {"-pgiven.pal", "-s", "-v"}, ""},
      {{"--palette", "given.pal", "--verbose"}, {"-p", "given.pal", "-v"}, ""},
      {{"--write-palette=w.lmp", "--recursive"}, {"-ow.lmp", "-s"}, "w.lmp"},
      {{"--write-palette", "w.lmp", "--jobs=3"}, {"-o", "w.lmp"}, "w.lmp"},
      {{"--palette-method=popularity", "-o", "w.lmp"}, {"-ow.lmp"}, "w.lmp"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.long_form[0]);
    std::vector<std::string> long_arguments = {"tex"};
    long_arguments.insert(long_arguments.end(), c.long_form.begin(), c.long_form.end());
    std::vector<std::string> short_arguments = {"tex"};
    short_arguments.insert(short_arguments.end(), c.short_form.begin(), c.short_form.end());
    const ProgramResult by_long = RunTarnvick(long_arguments, {.working_directory = dir.path()});
    const std::vector<std::uint8_t> long_palette = c.written.empty() ? std::vector<std::uint8_t>() : ReadBytes(dir / c.written);
    const ProgramResult by_short = RunTarnvick(short_arguments, {.working_directory = dir.path()});
    EXPECT_EQ(by_long.out, by_short.out);
    EXPECT_EQ(by_long.err, by_short.err);
    EXPECT_EQ(by_long.exit_code, 0);
    EXPECT_EQ(by_short.exit_code, 0);
    if (!c.written.empty()) {
      EXPECT_EQ(long_palette, ReadBytes(dir / c.written));
    }
  }
  // "-p" with nothing after it, or with an option after it, is the empty path; an empty separate
  // value is one too.
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{"tex", "-p"}, {"tex", "-p", "-s"}, {"tex", "-p", ""}}) {
    ExpectResult(RunTarnvick(arguments, {.working_directory = dir.path()}), kBanner,
                 "tarnvick: cannot read palette file: : No such file or directory\n", 4);
  }
  EXPECT_FALSE(Exists(dir / "palette.lmp"));
}

TEST(CommandLine, UnknownLongOptionsAndBadValuesExitTwo) {
  TempDir dir;
  WriteText(dir / "tex/readme.txt", "");
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"--verb"}, {"--recursive=yes"}, {"--"}, {"--jobs=0"}, {"--jobs=x1"}, {"--jobs"},
        {"--jobs", "4"}, {"--palette="}, {"--preview="}, {"--palette"}, {"--write-palette", "-s"},
        {"--palette-method=bogus"}, {"--palette-method=median-cut", "-pgiven.pal"},
        {"-pgiven.pal", "--palette-method=popularity"}, {"--Verbose"}, {"--dither="}, {"--dither=Tiled"},
        {"--dither=floyd"}}) {
    std::vector<std::string> full = {"tex", "-s"};
    full.insert(full.end(), arguments.begin(), arguments.end());
    // The argument named is the first bad one; a method with -p is named wherever it stands.
    std::string named = arguments[0];
    for (const std::string& a : arguments) {
      if (a.starts_with("--palette-method")) named = a;
    }
    SCOPED_TRACE(named);
    // A method with a palette that is read says what is wrong with it.
    const bool method_with_read = named.starts_with("--palette-method") && named != "--palette-method=bogus";
    ExpectResult(RunTarnvick(full, {.working_directory = dir.path()}), kBanner + kUsage + "invalid parameter: " + named + "\n",
                 method_with_read ? "tarnvick: --palette-method needs a generated palette, not -p\n" : InvalidError(named), 2);
  }
  // A second palette option comes before the late check of the method.
  ExpectResult(RunTarnvick({"tex", "--palette-method=median-cut", "--palette=a", "-ob"}, {.working_directory = dir.path()}),
               kBanner + kUsage + kMutuallyExclusive, kTwoPalettesError, 3);
  // A letter that names no option stays ignored.
  WriteBytes(dir / "tex/one.m32", OnePixelM32());
  const ProgramResult ignored = RunTarnvick({"tex", "-q", "-opal.lmp"}, {.working_directory = dir.path()});
  EXPECT_EQ(ignored.exit_code, 0);
  EXPECT_EQ(ignored.err, "tarnvick: unknown option ignored: -q\ntarnvick: skipped tex/one.m32: no fourth mip level\n");
  EXPECT_EQ(ListNames(dir.path()), (std::vector<std::string>{"pal.lmp", "tex"}));
}

}  // namespace
}  // namespace tarnvick::testing
