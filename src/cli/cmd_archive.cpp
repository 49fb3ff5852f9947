// Archive commands of lumora-cli: the detected type of files, and
// extraction with the reader of the detected type.
#include <cstdio>
#include <exception>
#include <map>
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
    bool keepBroken = false;
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

// One file: its type alone. Several: "NAME<TAB>TYPE" each, as given.
// 2 when a file could not be examined, after all were.
int RunType(const std::vector<std::string>& paths) {
    int code = 0;
    for (const auto& path : paths) {
        archive::TZipCommon probe;
        const auto type = Detect(probe, path);
        if (!type) {
            code = 2;
            continue;
        }
        const std::string name(archive::ArcTypeName(*type));
        if (paths.size() == 1) {
            std::printf("%s\n", name.c_str());
        } else {
            std::printf("%s\t%s\n", path.c_str(), name.c_str());
        }
        if (*type == archive::atFileError) {
            std::fprintf(stderr, "lumora-cli: cannot read %s\n", path.c_str());
            code = 2;
        }
    }
    return code;
}

// Follows an extraction through the reader's events. A member is open from
// OnBegin to OnEnd; an error or a message while it is open (a CRC or data
// error, an unsupported method, a wrong or missing password), OnEnd with a
// failed CRC, or a run that ends with it still open make it fail. An error
// outside a member names either a member that was refused before it began
// or, with the archive's own name, the archive.
class ExtractTally {
public:
    ExtractTally(archive::TUnBase& reader, std::string archiveName)
        : reader_(reader), archiveName_(std::move(archiveName)) {}

    void Bind() {
        reader_.OnBegin = [this](archive::TZipCommon&, const std::string& fn, int, bool&) {
            Begin(fn);
        };
        reader_.OnEnd = [this](archive::TZipCommon&, const std::string&, bool crcPass) {
            if (open_) End(crcPass);
        };
        reader_.OnError = [this](archive::TZipCommon&, const std::string& fn, const std::string&,
                                 int code) {
            std::fprintf(stderr, "%d %s %s\n", code, AnsiToUtf8(archive::ErrorText(code)).c_str(),
                         fn.c_str());
            Error(fn, code);
        };
        reader_.OnMessageBox = [this](const std::string& caption, const std::string& text) {
            std::fprintf(stderr, "%s: %s\n", AnsiToUtf8(caption).c_str(), AnsiToUtf8(text).c_str());
            if (open_) memberFailed_ = true;
        };
    }

    // The run was ended by an exception (reported already, or `message`).
    void RunAborted(const char* message) {
        if (message) std::fprintf(stderr, "lumora-cli: %s: %s\n", archiveName_.c_str(), message);
        if (open_) {
            memberFailed_ = true;
            End(false);
        } else {
            archiveFailed_ = true;
        }
    }

    // Removes what failed members left (unless `keepBroken`), lists them on
    // stderr and gives the exit code: 0 every matching member written with
    // a good CRC, 2 nothing written because the archive could not be read,
    // otherwise 1.
    int Finish(bool keepBroken) {
        if (open_) RunAborted(nullptr);
        for (const auto& f : failed_) {
            std::fprintf(stderr, "lumora-cli: failed: %s\n", f.name.c_str());
            // A later member that was written at the same place replaced it.
            if (!keepBroken && !f.path.empty() && !pathWritten_[f.path])
                std::remove(f.path.c_str());
        }
        if (failed_.empty() && !archiveFailed_ && written_ > 0) return 0;
        if (failed_.empty() && archiveFailed_ && written_ == 0) return 2;
        return 1;
    }

private:
    struct Failed {
        std::string name;
        std::string path;  // the file it left; empty when it left none
    };

    void Begin(const std::string& fn) {
        if (open_) End(false);
        open_ = true;
        memberFailed_ = false;
        name_ = archive::HostFileNamePart(fn);  // as the error lines name it
        outputsAtBegin_ = reader_.OutputsCreated();
    }

    void End(bool crcPass) {
        open_ = false;
        const bool created = reader_.OutputsCreated() != outputsAtBegin_;
        const std::string path = created ? reader_.LastOutputPath() : std::string();
        const bool good = crcPass && !memberFailed_;
        if (created) pathWritten_[path] = good;
        if (good) {
            ++written_;
        } else {
            failed_.push_back({name_, path});
        }
    }

    void Error(const std::string& fn, int code) {
        if (open_) {
            memberFailed_ = true;
            return;
        }
        // Members the patterns passed over, and no member matching at all,
        // are no failures.
        if (code == archive::ecode::FileSkipped || code == archive::ecode::EmptyArchive) return;
        if (fn == archiveName_) {
            archiveFailed_ = true;
        } else if (failed_.empty() || failed_.back().name != fn) {
            failed_.push_back({fn, ""});
        }
    }

    archive::TUnBase& reader_;
    std::string archiveName_;  // the file-name part, as errors name it
    bool open_ = false;
    bool memberFailed_ = false;
    std::string name_;
    std::uint64_t outputsAtBegin_ = 0;
    int written_ = 0;
    bool archiveFailed_ = false;
    std::vector<Failed> failed_;
    std::map<std::string, bool> pathWritten_;  // output path -> its last member was good
};

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
    ExtractTally tally(*reader, o.archive.substr(o.archive.rfind('/') + 1));
    tally.Bind();
    reader->UseStoredDirs = o.storedDirs;
    for (const auto& pw : o.passwords) reader->Passwords.push_back(Utf8ToAnsi(pw));
    try {
        reader->TakeArchiveFile(probe);  // detected once, above
        reader->SetExtractDir(o.dir.empty() ? "." : o.dir);
        const std::vector<std::string> specs =
            o.specs.empty() ? std::vector<std::string>{"*.*"} : o.specs;
        for (const auto& spec : specs) {
            reader->SetFileSpec(Utf8ToAnsi(spec));
            reader->Extract();
        }
    } catch (const archive::E_RAISE&) {
        tally.RunAborted(nullptr);  // reported through OnError
    } catch (const std::exception& e) {
        tally.RunAborted(e.what());
    }
    return tally.Finish(o.keepBroken);
}

}  // namespace

void AddArchiveCommands(CLI::App& app, CliResult& result) {
    auto paths = std::make_shared<std::vector<std::string>>();
    CLI::App* type = app.add_subcommand("type", "Print the detected archive type (atZIP, ...)");
    type->add_option("FILE", *paths, "The files to examine")->required();
    type->footer(
        "For one file the type alone; for several one line each: NAME<TAB>TYPE. Exits with 2 "
        "when a file cannot be read (atFileError).");
    type->callback([paths, &result] { result.exitCode = RunType(*paths); });

    auto o = std::make_shared<ExtractOptions>();
    CLI::App* extract =
        app.add_subcommand("extract", "Extract the members matching SPEC (default *.*)");
    extract->add_option("ARCHIVE", o->archive, "The archive")->required();
    extract->add_option("SPEC", o->specs, "Stored-name patterns with * and ?");
    extract->add_option("-d,--dir", o->dir, "Folder to extract into (default: current folder)");
    extract->add_flag("--stored-dirs", o->storedDirs, "Recreate the stored folders");
    extract->add_option("--password", o->passwords, "A password to try (repeatable)")
        ->allow_extra_args(false);
    extract->add_flag("--keep-broken", o->keepBroken,
                      "Keep what a member whose data failed has written");
    extract->footer(
        "Exit status: 0 every matching member was written with a good CRC; 1 a member failed "
        "(CRC or data error, unsupported method, password missing or wrong) while the others "
        "were written, or no member matched; 2 the archive could not be read at all. Errors go "
        "to stderr as \"CODE TEXT NAME\", then one \"lumora-cli: failed: NAME\" line per failed "
        "member; the file such a member began is removed unless --keep-broken is given.");
    extract->callback([o, &result] { result.exitCode = RunExtract(*o); });
}

}  // namespace lumora::cli
