// make-package: a package file is a ZIP archive whose first entry is the package content, encrypted with
// traditional PKWARE encryption under the package password.
#include "Files.h"
#include "OptionParser.h"
#include "TextLines.h"
#include "Windows1252.h"
#include "ZipError.h"
#include "ZipWriter.h"

#include <filesystem>
#include <iostream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "usage: make-package (--file PATH | --script TEXT [--script TEXT]... | --stdin) [options] OUT.zip\n"
    "  --file PATH        the package content: the file's bytes\n"
    "  --script TEXT      a script line (UTF-8 on the command line, stored as Windows-1252 with CR LF\n"
    "                     line ends); repeatable, each one more line; line breaks inside TEXT split it\n"
    "  --stdin            the package content: standard input's bytes\n"
    "  --entry-name NAME  name of the first entry (default: the file's name, else OUT's name\n"
    "                     with .sql for a script and no extension for standard input)\n"
    "  --extra-file PATH  a further entry after the content, which the updater ignores; repeatable\n"
    "  --password TEXT    package password (default: -vorpa); an empty one stores unencrypted\n"
    "OUT.zip's folder is created when it is missing.\n";

const char* const kPackagePassword = "-vorpa";

struct Options {
    std::optional<std::string> file;
    std::vector<std::string> scriptLines;
    bool fromStdin = false;
    std::string entryName;
    std::vector<std::string> extraFiles;
    std::string password = kPackagePassword;
    std::string output;
};

Options parseOptions(int argc, char** argv) {
    Options options;
    halvio::tools::OptionParser(kUsage)
        .withEqualsForm()
        .flag("--stdin", options.fromStdin)
        .value("--file", [&](const std::string& value) { options.file = value; })
        .value("--script", [&](const std::string& value) { options.scriptLines.push_back(value); })
        .value("--entry-name", options.entryName)
        .value("--extra-file", [&](const std::string& value) { options.extraFiles.push_back(value); })
        .value("--password", options.password)
        .words([&](const std::string& word) {
            if (!options.output.empty())
                throw std::invalid_argument("more than one output file: " + word);
            options.output = word;
        })
        .parse(argc, argv);
    const int sources =
        (options.file ? 1 : 0) + (options.scriptLines.empty() ? 0 : 1) + (options.fromStdin ? 1 : 0);
    if (sources != 1)
        throw std::invalid_argument("give exactly one of --file, --script, --stdin");
    if (options.output.empty())
        throw std::invalid_argument("no output file");
    return options;
}

std::string scriptContent(const std::vector<std::string>& arguments) {
    std::vector<std::string> lines;
    for (const std::string& argument : arguments) {
        const std::vector<std::string> split = halvio::splitLines(halvio::cp1252FromUtf8(argument));
        if (split.empty())
            lines.emplace_back();
        lines.insert(lines.end(), split.begin(), split.end());
    }
    return halvio::joinCrLfLines(lines);
}

// The package's folder is made when missing (a catalog's packages/ folder, on its first package); a
// folder that cannot be made or written is named, which the ZIP library's own message does not do.
void writeIntoFolder(const halvio::platform::ZipWriter& writer, const std::string& output) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::absolute(output).parent_path();
    std::error_code error;
    fs::create_directories(folder, error);
    if (error)
        throw std::runtime_error("cannot create the folder " + folder.string() + ": " + error.message());
    try {
        writer.writeTo(output);
    } catch (const std::exception& failure) {
        throw std::runtime_error("cannot write " + output + " in the folder " + folder.string() + ": " +
                                 failure.what());
    }
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    try {
        options = parseOptions(argc, argv);
    } catch (const std::exception& error) {
        return halvio::tools::usageError("make-package", error.what(), kUsage);
    }
    try {
        namespace fs = std::filesystem;
        std::string content;
        std::string entryName = options.entryName;
        const std::string stem = fs::path(options.output).stem().string();
        if (options.file) {
            content = halvio::platform::readWholeFile(*options.file);
            if (entryName.empty())
                entryName = fs::path(*options.file).filename().string();
        } else if (options.fromStdin) {
            content.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
            if (entryName.empty())
                entryName = stem;
        } else {
            content = scriptContent(options.scriptLines);
            if (entryName.empty())
                entryName = stem + ".sql";
        }

        halvio::platform::ZipWriter writer(options.password);
        const size_t contentSize = content.size();
        writer.addEntry(entryName, std::move(content));
        for (const std::string& extra : options.extraFiles)
            writer.addEntry(fs::path(extra).filename().string(), halvio::platform::readWholeFile(extra));
        writeIntoFolder(writer, options.output);
        std::cout << "make-package: " << options.output << ": entry " << entryName << ", " << contentSize
                  << " bytes, " << fs::file_size(options.output) << " bytes in the package file" << std::endl;
    } catch (const std::exception& error) {
        std::cerr << "make-package: " << error.what() << std::endl;
        return 1;
    }
    return 0;
}
