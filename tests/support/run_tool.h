#pragma once
// Runs one of the command-line tools of build/bin with arguments (and optional
// standard input) and collects what it printed and its exit status.
#include <string>

#include "support/tempdir.h"

struct RunResult { int exitCode = -1; std::string out, err; };

RunResult runTool(const TempDir& tmp, const std::string& tool, const std::string& args, const std::string& input = {});

// A shell-quoted argument.
std::string shellQuoted(const std::string& s);
