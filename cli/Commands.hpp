#pragma once

#include <string>
#include <vector>

namespace lumivo::cli {

// Each command takes the arguments after its own name and returns the exit
// status: 0 on success, 1 on a failure (message on stderr), 2 on a usage error.
int manifestCommand(const std::vector<std::string>& args);

}  // namespace lumivo::cli
