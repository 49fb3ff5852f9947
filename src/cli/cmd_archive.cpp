// Archive commands of lumora-cli: the detected type of a file, and
// extraction with the reader of the detected type.
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "archive/core/awk_main.h"
#include "archive/core/error_codes.h"
#include "archive/formats/make_reader.h"
#include "cli/commands.h"
#include "platform/text.h"

namespace lumora::cli {

namespace {

using archive::TArcType;

struct ExtractOptions {
    std::string archive;
    std::string dir;
    bool storedDirs = false;
    std::vector<std::string> passwords;
    std::vector<std::string> specs;
};

// Runs detection on `path` in `probe`; nullopt (after a message) when
// detection itself reported an error.
std::optional<TArcType> Detect(archive::TZipCommon& probe, const std::string& path) {
    try {
        probe.SetArchiveFile(path);
    } catch (const archive::E_RAISE& e) {
        std::fprintf(stderr, "lumora-cli: %s: %s\n", path.c_str(), AnsiToUtf8(e.what()).c_str());
        return std::nullopt;
    }
    return probe.ArcType();
}

int RunType(const std::string& path) {
    archive::TZipCommon probe;
    const auto type = Detect(probe, path);
    if (!type) return 2;
    std::printf("%s\n", std::string(archive::ArcTypeName(*type)).c_str());
    if (*type == archive::atFileError) {
        std::fprintf(stderr, "lumora-cli: cannot read %s\n", path.c_str());
        return 2;
    }
    return 0;
}

void BindReports(archive::TUnBase& reader) {
    reader.OnError = [](archive::TZipCommon&, const std::string& fn, const std::string&, int code) {
        std::fprintf(stderr, "%d %s %s\n", code, AnsiToUtf8(archive::ErrorText(code)).c_str(),
                     fn.c_str());
    };
    reader.OnMessageBox = [](const std::string& caption, const std::string& text) {
        std::fprintf(stderr, "%s: %s\n", AnsiToUtf8(caption).c_str(), AnsiToUtf8(text).c_str());
    };
}

int RunExtract(const ExtractOptions& o) {
    archive::TZipCommon probe;
    const auto type = Detect(probe, o.archive);
    if (!type) return 2;
    if (*type == archive::atFileError) {
        std::fprintf(stderr, "lumora-cli: cannot read %s\n", o.archive.c_str());
        return 2;
    }
    std::unique_ptr<archive::TUnBase> reader = archive::MakeReader(*type);
    if (!reader) {
        std::fprintf(stderr, "lumora-cli: %s: no reader for %s\n", o.archive.c_str(),
                     std::string(archive::ArcTypeName(*type)).c_str());
        return 2;
    }
    BindReports(*reader);
    reader->UseStoredDirs = o.storedDirs;
    for (const auto& pw : o.passwords) reader->Passwords.push_back(Utf8ToAnsi(pw));
    int extracted = 0;
    try {
        reader->TakeArchiveFile(probe);  // detected once, above
        reader->SetExtractDir(o.dir.empty() ? "." : o.dir);
        const std::vector<std::string> specs =
            o.specs.empty() ? std::vector<std::string>{"*.*"} : o.specs;
        for (const auto& spec : specs) {
            reader->SetFileSpec(Utf8ToAnsi(spec));
            reader->Extract();
            extracted += reader->ExtractedCount();
        }
    } catch (const archive::E_RAISE&) {
        return 2;  // reported through OnError
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lumora-cli: %s: %s\n", o.archive.c_str(), e.what());
        return 2;
    }
    return extracted > 0 ? 0 : 1;
}

}  // namespace

void AddArchiveCommands(CLI::App& app, CliResult& result) {
    auto path = std::make_shared<std::string>();
    CLI::App* type = app.add_subcommand("type", "Print the detected archive type (atZIP, ...)");
    type->add_option("FILE", *path, "The file to examine")->required();
    type->callback([path, &result] { result.exitCode = RunType(*path); });

    auto o = std::make_shared<ExtractOptions>();
    CLI::App* extract =
        app.add_subcommand("extract", "Extract the members matching SPEC (default *.*)");
    extract->add_option("ARCHIVE", o->archive, "The archive")->required();
    extract->add_option("SPEC", o->specs, "Stored-name patterns with * and ?");
    extract->add_option("-d,--dir", o->dir, "Folder to extract into (default: current folder)");
    extract->add_flag("--stored-dirs", o->storedDirs, "Recreate the stored folders");
    extract->add_option("--password", o->passwords, "A password to try (repeatable)")
        ->allow_extra_args(false);
    extract->callback([o, &result] { result.exitCode = RunExtract(*o); });
}

}  // namespace lumora::cli
