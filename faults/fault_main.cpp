#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "faults/fault_support.h"

// GoogleTest's own options, and one of ours:
//   --small-disk=FOLDER[,limit]  also run the full-disk test on FOLDER, a small file system; ",limit" says
//                                that a file-size limit stands in for it, so the reason is the system's own.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    constexpr std::string_view kSmallDisk = "--small-disk=";
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        if (!argument.starts_with(kSmallDisk)) {
            std::fprintf(stderr, "unknown option %s\n", argv[i]);
            return 2;
        }
        argument.remove_prefix(kSmallDisk.size());
        const bool limit = argument.ends_with(",limit");
        if (limit) {
            argument.remove_suffix(std::strlen(",limit"));
        }
        RegisterSmallDiskTest(std::filesystem::path(argument), !limit);
    }
    return RUN_ALL_TESTS();
}
