// make-package: a package file is a ZIP archive whose first entry is the package content, encrypted with
// traditional PKWARE encryption under the package password.
#include "TextLines.h"
#include "Windows1252.h"
#include "ZipError.h"
#include "ZipWriter.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
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

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            std::cout << kUsage;
            std::exit(0);
        }
        if (option == "--stdin") {
            options.fromStdin = true;
            continue;
        }
        if (option.rfind("--", 0) != 0) {
            if (!options.output.empty())
                throw std::invalid_argument("more than one output file: " + option);
            options.output = option;
            continue;
        }
        // "--option=value" or "--option value"; the value is taken as it is, even when it starts with "-".
        std::string value;
        if (const size_t equals = option.find('='); equals != std::string::npos) {
            value = option.substr(equals + 1);
            option.resize(equals);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            throw std::invalid_argument("missing value for " + option);
        }
        if (option == "--file")
            options.file = value;
        else if (option == "--script")
            options.scriptLines.push_back(value);
        else if (option == "--entry-name")
            options.entryName = value;
        else if (option == "--extra-file")
            options.extraFiles.push_back(value);
        else if (option == "--password")
            options.password = value;
        else
            throw std::invalid_argument("unknown option: " + option);
    }
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
        std::cerr << "make-package: " << error.what() << "\n" << kUsage;
        return 2;
    }
    try {
        namespace fs = std::filesystem;
        std::string content;
        std::string entryName = options.entryName;
        const std::string stem = fs::path(options.output).stem().string();
        if (options.file) {
            content = readFile(*options.file);
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
            writer.addEntry(fs::path(extra).filename().string(), readFile(extra));
        writeIntoFolder(writer, options.output);
        std::cout << "make-package: " << options.output << ": entry " << entryName << ", " << contentSize
                  << " bytes, " << fs::file_size(options.output) << " bytes in the package file" << std::endl;
    } catch (const std::exception& error) {
        std::cerr << "make-package: " << error.what() << std::endl;
        return 1;
    }
    return 0;
}
