// Prints a command file with every command of every family, each parameter
// given a value of its own (the line number and its place), so a trace of
// the driver's calls shows whether each argument arrived in its slot.
#include <cstdio>
#include <string>

#include "commands/families.h"

int main() {
    std::string file = "/NOSTOP\r\n";
    int line = 1;
    for (const zentrada::commands::Family& family : zentrada::commands::Families()) {
        for (const zentrada::commands::CommandRow& row : family.rows()) {
            ++line;
            std::string text = row.name + std::string("|");
            for (int i = 1; i <= row.parameterCount; ++i) text += std::to_string(line * 100 + i) + "|";
            file += text + "\r\n";
        }
    }
    file += ".\r\n";
    std::fwrite(file.data(), 1, file.size(), stdout);
    return 0;
}
