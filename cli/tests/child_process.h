#pragma once

#include <string>
#include <vector>

// Runs varnotta-cli, which the build puts beside the test program, as a user's shell would.

struct CliRun {
    int exit_status = -1;
    std::u16string out;   // standard output, decoded from the console's encoding, lines ended by "\n"
    std::u16string err;   // standard error, likewise
    std::string raw_out;  // standard output as the bytes the program wrote
};

CliRun RunCli(const std::vector<std::u16string>& arguments);
