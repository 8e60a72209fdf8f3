// Prints the OPTIONS section of quil's man page, for the build.
#include <iostream>

#include "ui/terminal/man_options.h"

int main() { std::cout << quil::terminal::ManPageOptions(); }
