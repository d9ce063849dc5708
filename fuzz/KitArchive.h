#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A kit directory as one fuzz input: its files one after another, each as its name, a line
// feed and its contents, separated by a line "@@" that starts the next file's name:
//
//   patcher.dat\n<configuration text>\n@@bc19200\n<S-record text>\n@@cp_demo\n...
//
// Files hold plain text: the harness enciphers "patcher.dat" with the configuration key and
// every other file with the data-file key named in the configuration text. A name starting
// with "!" is written as it stands, not enciphered (for files of a wrong size or key).
namespace kitarchive {

inline constexpr std::string_view kSeparator = "\n@@";

using File = std::pair<std::string, std::string>;

inline std::vector<File> Split(std::string_view input)
{
    std::vector<File> files;
    while (!input.empty()) {
        std::size_t end = input.find(kSeparator);
        std::string_view part = input.substr(0, end);
        std::size_t nameEnd = part.find('\n');
        std::string_view name = part.substr(0, nameEnd);
        std::string_view body = nameEnd == std::string_view::npos ? std::string_view() : part.substr(nameEnd + 1);
        files.emplace_back(std::string(name), std::string(body));
        if (end == std::string_view::npos)
            break;
        input.remove_prefix(end + kSeparator.size());
    }
    return files;
}

inline std::string Join(const std::vector<File>& files)
{
    std::string out;
    for (const File& file : files) {
        if (!out.empty())
            out += kSeparator;
        out += file.first + "\n" + file.second;
    }
    return out;
}

}  // namespace kitarchive
