// Utf8Check against the byte-at-a-time reference of the fuzz target: the fast paths (ASCII skipped in
// blocks, sixteen bytes checked at once, whole sequences at once) must give the same answers as the
// reference for every sequence at an edge of the rules, at every offset from those blocks, and for every
// way of cutting the stream into pieces around it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "faults/fuzz/utf8_reference.h"

namespace {

using namespace std::string_literals;

// The smallest and largest code point of each length and around the surrogates; then stray, overlong and
// impossible bytes, surrogates, and sequences cut off or broken by a byte that does not continue them.
const std::vector<std::string> kSequences[] = {
    {"\0"s, "\x7F", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xE0\xBF\xBF", "\xE1\x80\x80", "\xED\x9F\xBF",
     "\xEE\x80\x80", "\xEF\xBF\xBD", "\xEF\xBF\xBF"},
    {"\xF0\x90\x80\x80", "\xF0\xBF\xBF\xBF", "\xF1\x80\x80\x80", "\xF3\xBF\xBF\xBF", "\xF4\x8F\xBF\xBF"},
    {"\x80", "\xBF", "\xC0\x80", "\xC1\xBF", "\xE0\x80\x80", "\xE0\x9F\xBF", "\xF0\x80\x80\x80", "\xF0\x8F\xBF",
     "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xF8", "\xFE", "\xFF"},
    {"\xED\xA0\x80", "\xED\xBF\xBF"},
    {"\xC2", "\xC2\x41", "\xE0\xA0", "\xED\x9F", "\xE4\xB8", "\xE4\x41\x80", "\xE4\xB8\x41", "\xF1\x80\x80\x41",
     "\xF0\x90\x80"}};

TEST(Utf8Check, AgreesWithTheReferenceAtEveryOffsetAndCut) {
    for (std::size_t padding = 0; padding <= 34; ++padding) {
        const std::string ascii(padding, 'a');
        for (const auto& group : kSequences) {
            for (const std::string& sequence : group) {
                // Alone, before more ASCII, and before a run of Chinese that fills the next blocks.
                for (const std::string& text : {ascii + sequence, ascii + sequence + ascii,
                                                ascii + sequence + "\xE4\xB8\xAD\xE6\x96\x87\xE5\xAD\x97" + ascii}) {
                    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
                        for (const auto& pieces : {std::vector<std::size_t>{cut, text.size()}, {cut, 1, text.size()}}) {
                            const char* disagreement = reference::Utf8CheckDisagreement(text, pieces);
                            ASSERT_EQ(disagreement, nullptr)
                                << disagreement << ": " << testing::PrintToString(text) << " cut after " << cut;
                        }
                    }
                }
            }
        }
    }
}

}  // namespace
