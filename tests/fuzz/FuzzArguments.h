#pragma once
// An argument vector from a fuzzer's bytes: the input, split at zero bytes,
// is argv[1..] after the given program name. Each string lives in its own
// heap block, so reading past one trips AddressSanitizer.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// Ends the run as a fuzzer finding.
[[noreturn]] inline void failInvariant(const char *what) {
    std::fprintf(stderr, "command-line invariant broken: %s\n", what);
    std::abort();
}

class FuzzArguments {
public:
    FuzzArguments(const char *program, const uint8_t *data, std::size_t size) {
        words_.emplace_back(program);
        std::string current;
        for (std::size_t i = 0; i < size; ++i) {
            if (data[i] == 0) {
                words_.push_back(current);
                current.clear();
            } else {
                current.push_back(static_cast<char>(data[i]));
            }
        }
        if (size > 0) words_.push_back(current);
        if (tooMany()) return;
        for (const std::string &w : words_) {
            char *copy = static_cast<char *>(std::malloc(w.size() + 1));
            std::memcpy(copy, w.c_str(), w.size() + 1);
            argv_.push_back(copy);
        }
        argv_.push_back(nullptr);
    }
    ~FuzzArguments() {
        for (char *p : argv_) std::free(p);
    }
    FuzzArguments(const FuzzArguments &) = delete;
    FuzzArguments &operator=(const FuzzArguments &) = delete;

    // More than a command line needs to show anything: the target skips it.
    bool tooMany() const { return words_.size() > 64; }
    int argc() const { return static_cast<int>(words_.size()); }
    char **argv() { return argv_.data(); }
    const std::string &word(std::size_t i) const { return words_[i]; }

private:
    std::vector<std::string> words_;
    std::vector<char *> argv_;   // owned copies of words_, then a null
};
