// Random file bytes and random head and tail texts through the real rewrite, on a real file: the result
// must be exactly the byte-order mark, the encoded head and its CR LF, the former bytes, the CR LF and the
// encoded tail, in the encoding the reference picks; or, when that encoding cannot hold the texts, a
// refusal that leaves the file as it was. Either way no temporary file may stay behind.
//
// Input: a flags byte, the head's and the tail's length in UTF-16 units (one byte each, 0..15 used), the
// units (two bytes each, little-endian), then the file. When the flags' low three bits are all set, the
// file is moved up with ASCII padding so that its middle falls on the 1 MiB boundary between the first
// chunk the rewrite reads and the rest.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "batch/add_head_tail.h"
#include "batch/messages.h"
#include "faults/fuzz/reference_text.h"

namespace {

constexpr std::size_t kChunk = std::size_t{1} << 20;

// A folder of this process's own on a memory file system where there is one, so that the flush of every
// rewrite costs nothing. libFuzzer ends the process without running exit handlers: tools/faults removes
// the folder afterwards.
const std::filesystem::path& Folder() {
    static const std::filesystem::path folder = [] {
        const std::filesystem::path base =
            std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
        auto path = base / ("varnotta-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes(std::filesystem::file_size(path), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "head and tail rewrite: %s\n", what);
    std::abort();
}

std::u16string TakeUnits(const std::uint8_t*& data, std::size_t count) {
    std::u16string text;
    for (std::size_t i = 0; i < count; ++i, data += 2) {
        text += static_cast<char16_t>(data[0] | (data[1] << 8));
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    const bool straddle = (data[0] & 7) == 7;
    const std::size_t head_units = data[1] % 16;
    const std::size_t tail_units = data[2] % 16;
    if (size < 3 + 2 * (head_units + tail_units)) {
        return 0;
    }
    const std::uint8_t* at = data + 3;
    const std::u16string head = TakeUnits(at, head_units);
    const std::u16string tail = TakeUnits(at, tail_units);
    std::string file(reinterpret_cast<const char*>(at), size - static_cast<std::size_t>(at - data));
    // The padding is plain ASCII, so one "a" in front of the input stands for all of it when the rules are
    // applied (no mark, the same validity): the slow reference need not walk a whole chunk.
    const auto detected = reference::Detect(straddle ? "a" + file : file);
    if (straddle) {
        file.insert(0, kChunk - file.size() / 2, 'a');
    }

    const auto path = Folder() / "f.txt";
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(file.data(), static_cast<std::streamsize>(file.size()));

    // What the rules say.
    const std::u16string trimmed_head = reference::Trim(head);
    const std::u16string trimmed_tail = reference::Trim(tail);
    const auto before = reference::Encode(trimmed_head.empty() ? u"" : trimmed_head + u"\r\n", detected.encoding);
    const auto after = reference::Encode(trimmed_tail.empty() ? u"" : u"\r\n" + trimmed_tail, detected.encoding);

    HeadTailWriter writer(head, tail);
    const auto status = writer.AddHeadTail(path, {});
    const std::string result = ReadAll(path);

    if (before && after) {
        if (!status.ok()) {
            Fail("refused texts the file's encoding can hold");
        }
        const std::string expected =
            file.substr(0, detected.mark_length) + *before + file.substr(detected.mark_length) + *after;
        if (result != expected) {
            Fail("the result is not mark, head, CR LF, former bytes, CR LF, tail");
        }
    } else {
        if (status.ok()) {
            Fail("wrote texts the file's encoding cannot hold");
        }
        if (status.error().text != messages::kUnencodable) {
            Fail("refused for another reason than the encoding");
        }
        if (result != file) {
            Fail("a refusal changed the file");
        }
    }
    if (std::distance(std::filesystem::directory_iterator(Folder()), std::filesystem::directory_iterator()) != 1) {
        Fail("a temporary file was left behind");
    }
    return 0;
}
