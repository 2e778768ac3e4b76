// The reader of the option words, one group of options after another: the
// inputs and columns (options.cpp), the outputs, loci and figures
// (output_options.cpp).
#pragma once
#include "cli/options.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

// Reads one option group after another; each returns false at the first
// bad option, with its message and reason added.
class OptionReader {
public:
    OptionReader(const std::vector<std::string>& words, ParsedOptions& parsed)
        : words_(words), out_(parsed.options), messages_(parsed.messages), errors_(parsed.errors)
    {
    }

    bool inputs();
    bool columns();
    bool analysis();
    bool outputs();
    bool loci();
    bool lociLd();
    bool figures();
    bool plotOutput();
    bool study();

private:
    bool lociOutput();
    bool extraOutput(const char* word, const char* message, const char* extension, bool& wanted, std::string& path);
    bool threads();
    // Value of the first occurrence of word, or null when absent.
    const std::string* value(const char* word) const
    {
        const auto it = std::find(words_.begin(), words_.end(), word);
        if (it == words_.end() || it + 1 == words_.end())
            return nullptr;
        return &*(it + 1);
    }
    bool yes(const char* word) const
    {
        const std::string* v = value(word);
        return v && *v == "yes";
    }
    // A yes/no option: absent or "no" is off, "yes" on, anything else an
    // error with message.
    bool yesNo(const char* word, const char* message, bool& on)
    {
        const std::string* v = value(word);
        on = v && *v == "yes";
        if (!v || *v == "yes" || *v == "no")
            return true;
        return fail(message, std::string(word) + " '" + *v + "' must be yes or no");
    }
    bool fail(const char* message, const std::string& reason)
    {
        messages_ += message;
        errors_ += "quorlin: " + reason + "\n";
        return false;
    }
    bool separator();
    bool column(const char* word, const char* message, std::optional<ColumnChoice>& choice, bool required);
    bool realOption(const char* word, const char* message, double& out);

    const std::vector<std::string>& words_;
    RunOptions& out_;
    std::string& messages_;
    std::string& errors_;
};

// Where a table's default outputs go: beside it, or in -outdir under its
// file name.
std::string outputBase(const std::string& table, const std::string& outdir);
