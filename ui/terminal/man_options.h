// The OPTIONS section of quil's man page, in scdoc's markup, made from the
// option table like --help and the completions, so that the page names
// every option the day it is added.
#pragma once

#include <string>

namespace quil::terminal {

std::string ManPageOptions();

}  // namespace quil::terminal
