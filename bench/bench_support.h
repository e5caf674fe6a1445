// Inputs for the benchmarks: the corpus files, read once.
#pragma once

#include <string>
#include <vector>

namespace xrbench {

struct CorpusFile {
    std::string name; // file name without directory and ".utf8.txt"
    std::string bytes;
};

// The lipsum files of the corpus folder (not the deliberately malformed stress file).
const std::vector<CorpusFile>& corpus();
// The wikipedia_mars texts concatenated: a large, out-of-cache input.
const std::string& largeText();

} // namespace xrbench
