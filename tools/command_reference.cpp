// Prints the README's command reference, written from the command tables.
#include <cstdio>

#include "commands/reference.h"

int main() {
    std::fputs(zentrada::commands::CommandReference().c_str(), stdout);
    return 0;
}
