// Access to the benchmark corpus written by gen_corpus. main() sets the
// directory once; each file is read on first use and kept for the process's
// life, so benchmarks can take references to the contents freely.
#pragma once

#include <string>
#include <vector>

void SetCorpusDir(const std::string& dir);

// The whole file; a missing or unreadable file ends the process with a message.
const std::string& CorpusFile(const std::string& name);

// http.bin split into its responses (framing: "<length>\n" then the bytes).
const std::vector<std::string>& HttpResponses();

// The text decoded from UTF-8 to code points (one wchar_t per character).
std::wstring DecodeUtf8(const std::string& text);
