// Random file bytes and random head and tail texts through the real rewrite, on a real file: the result
// must be exactly the byte-order mark, the encoded head and its CR LF, the former bytes, the CR LF and the
// encoded tail, in the encoding the reference picks; or, when that encoding cannot hold the texts, a
// refusal that leaves the file as it was. Either way no temporary file may stay behind. A rewritten file
// then has the same texts taken off again, which must give back the former bytes exactly, unless a text
// begins with U+FEFF or U+0000, which can turn the start of a marked file into another mark (front ends
// refuse such texts for taking off).
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
#include <iterator>

#include "batch/add_head_tail.h"
#include "faults/fuzz/reference_text.h"

namespace {

// A folder of this process's own on a memory file system, so that the flush of every rewrite costs nothing.
// libFuzzer ends the process without running exit handlers: tools/faults removes the folder afterwards.
const std::filesystem::path kFolder = "/dev/shm/varnotta-fuzz-" + std::to_string(::getpid());

void Expect(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "head and tail rewrite: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3 || size < 3 + 2 * (data[1] % 16 + data[2] % 16)) {
        return 0;
    }
    std::u16string units;  // head, then tail
    for (std::size_t i = 0; i < data[1] % 16 + data[2] % 16; ++i) {
        units += static_cast<char16_t>(data[3 + 2 * i] | (data[4 + 2 * i] << 8));
    }
    const std::u16string head = units.substr(0, data[1] % 16);
    const std::u16string tail = units.substr(data[1] % 16);
    std::string file(reinterpret_cast<const char*>(data) + 3 + 2 * units.size(), size - 3 - 2 * units.size());
    // The padding is plain ASCII, so one "a" in front of the input stands for all of it when the rules are
    // applied (no mark, the same validity): the slow reference need not walk a whole chunk.
    const bool straddle = (data[0] & 7) == 7;
    const auto detected = reference::Detect(straddle ? "a" + file : file);
    if (straddle) {
        file.insert(0, (std::size_t{1} << 20) - file.size() / 2, 'a');
    }
    std::filesystem::create_directories(kFolder);
    const auto path = kFolder / "f.txt";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << file;

    // What the rules say.
    const std::u16string trimmed_head = reference::Trim(head);
    const std::u16string trimmed_tail = reference::Trim(tail);
    const auto before = reference::Encode(trimmed_head.empty() ? u"" : trimmed_head + u"\r\n", detected.encoding);
    const auto after = reference::Encode(trimmed_tail.empty() ? u"" : u"\r\n" + trimmed_tail, detected.encoding);

    const HeadTailTexts texts(head, tail);
    HeadTailWriter writer(texts);
    const auto status = writer.AddHeadTail(path, {});
    std::ifstream in(path, std::ios::binary);
    const std::string result{std::istreambuf_iterator<char>(in), {}};

    if (before && after) {
        Expect(status.ok(), "refused texts the file's encoding can hold");
        Expect(result == file.substr(0, detected.mark_length) + *before + file.substr(detected.mark_length) + *after,
               "the result is not mark, head, CR LF, former bytes, CR LF, tail");
        const auto like_mark = [](const std::u16string& text) {
            return !text.empty() && (text[0] == u'\uFEFF' || text[0] == u'\0');
        };
        if (!like_mark(trimmed_head) && !like_mark(trimmed_tail)) {
            const HeadTailEdit removal(RunMode::Remove, texts);
            Expect(HeadTailWriter(removal, {}).AddHeadTail(path, {}).ok(), "taking the texts off failed");
            std::ifstream again(path, std::ios::binary);
            Expect(std::string{std::istreambuf_iterator<char>(again), {}} == file,
                   "taking the texts off did not give back the former bytes");
        }
    } else {
        Expect(!status.ok(), "wrote texts the file's encoding cannot hold");
        const auto* problem = std::get_if<WriteProblem>(&status.error());
        Expect(problem && *problem == WriteProblem::Unencodable, "refused for another reason than the encoding");
        Expect(result == file, "a refusal changed the file");
    }
    Expect(std::distance(std::filesystem::directory_iterator(kFolder), std::filesystem::directory_iterator()) == 1,
           "a temporary file was left behind");
    return 0;
}
