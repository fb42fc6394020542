#include "support/run_tool.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

std::string shellQuoted(const std::string& s) {
    std::string out = "'";
    for (char ch : s) {
        if (ch == '\'') out += "'\\''";
        else out += ch;
    }
    return out + "'";
}

RunResult runTool(const TempDir& tmp, const std::string& tool, const std::string& args, const std::string& input) {
    std::string out = tmp.file("stdout.txt"), err = tmp.file("stderr.txt"), in = tmp.file("stdin.txt");
    {
        std::ofstream f(in, std::ios::binary);
        f << input;
    }
    std::string cmd = std::string(LEDGERLY_BIN_DIR) + "/" + tool + " " + args + " <" + shellQuoted(in) + " >" +
                      shellQuoted(out) + " 2>" + shellQuoted(err);
    int status = std::system(cmd.c_str());
    RunResult r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    auto slurp = [](const std::string& path) {
        std::ifstream f(path, std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    };
    r.out = slurp(out);
    r.err = slurp(err);
    return r;
}
