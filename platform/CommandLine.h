#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Splits a command line: blanks, tabs, CR and LF separate arguments outside double
// quotes; a quoted stretch is copied whole and joins the argument around it; quotes
// are never copied; backslashes are ordinary characters; "" alone is one empty argument.
std::vector<std::string> SplitCommandLine(std::string_view line);

// A program asked only for its usage or its version answers and ends before it opens
// a window or needs a display.
enum class InfoRequest { None, Help, Version };

// The first "--help" ("-h") or "--version" among the arguments (the program's own name
// left out); "--" ends the options, so a file of that name can still be given.
InfoRequest FindInfoRequest(const std::vector<std::string>& arguments);

// Prints the usage (`usage`) or the version when the arguments ask for one; true when
// it did, and the program should end with 0.
bool AnswerInfoRequest(const std::vector<std::string>& arguments, std::string_view program,
                       std::string_view usage);

// The arguments that are no options: every one not beginning with '-' (a lone "-"
// included), and every one after "--". `unknownOption` is the first other one, empty
// when there is none.
struct Operands {
    std::vector<std::string> operands;
    std::string unknownOption;
};
Operands SplitOperands(const std::vector<std::string>& arguments);

// The product's version, the same for every program.
const char* ProductVersion();

// What --version prints: "<program> <version>" and a line end.
std::string VersionText(std::string_view program);

// The text as one word for a POSIX shell, in double quotes: for commands the user is
// told to type.
std::string QuoteForShell(std::string_view text);

// What a program prints on standard error when its data folder is missing: which
// folder, and the command that makes it.
std::string MissingFolderAdvice(std::string_view program, std::string_view folder);

}  // namespace platform
